#include "Initializer/DemoPlayer.h"

#include <iostream>
#include <new>
#include <string>

#include "Archive/Archive.h"
#include "Common/DataBlock.h"
#include "Parser/Exceptions.h"
#include "Parser/Functions/RenderingObjects.h"
#include "Parser/Functions/SyncronizerObject.h"
#include "Parser/IniCommands.h"
#include "Parser/Parser.h"

namespace Vexa {

static const char* const kUnit = "Initializer/DemoPlayer";

DemoPlayer::DemoPlayer() = default;

DemoPlayer::~DemoPlayer() {
    releaseObjects();
    m_archive.reset();
    m_archiveData.reset();
}

void DemoPlayer::startup(int argc, const char* const* argv) {
    auto parser = std::make_unique<Parser>();

    // Arguments after the program name are script text, each after a blank.
    std::string commandLine;
    for (int i = 1; i < argc; ++i) commandLine += std::string(" ") + argv[i];
    if (!commandLine.empty()) parser->parseString(commandLine);

    try {
        auto data = std::make_unique<FileDataBlock>("cfg.dat");
        auto archive = std::make_unique<Archive>(data.get());
        data->load();
        archive->load();
        m_archiveData = std::move(data);
        m_archive = std::move(archive);
        parser->setArchive(m_archive.get());
    } catch (const ResourceNotFound&) {
        // No archive: every file comes from the file system.
    }

    parser->parseFile("Ini/demo.ini");

    IniObject* graphics = parser->lookup("graphicsSystem");
    if (!IniObject::isOfType(graphics, Types::GraphicsSystem()))
        VEXA_THROW(CmdLineException, "incomplete initialization file, no graphicsSystem defined");
    m_graphicsSystem = static_cast<GraphicsSystemObject*>(graphics);
    m_renderMachine = m_graphicsSystem->renderMachine();
    m_window = m_graphicsSystem->window();
    if (m_window) m_window->setListener(this);
    m_graphicsSystem->addRef();

    // Held until start-up ends, whether it ends well or not.
    auto releaseHeld = [](IniObject* object) { object->release(); };
    std::unique_ptr<IniObject, decltype(releaseHeld)> initialization(
        parser->lookup("initialization"), releaseHeld);
    if (initialization) initialization->addRef();

    m_events = parser->lookup("events");
    if (!m_events)
        VEXA_THROW(CmdLineException, "incomplete initialization file, no events defined");
    m_events->addRef();

    IniObject* syncronizer = parser->lookup("syncronizer");
    if (!IniObject::isOfType(syncronizer, Types::Syncronizer()))
        VEXA_THROW(CmdLineException, "incomplete initialization file, no syncronizer defined");
    m_syncronizer = static_cast<SyncronizerObject*>(syncronizer);
    m_syncronizer->addRef();

    m_mouseHandler = parser->lookup("mouseHandler");
    if (m_mouseHandler) m_mouseHandler->addRef();
    m_keyboardHandler = parser->lookup("keyboardHandler");
    if (m_keyboardHandler) m_keyboardHandler->addRef();

    parser.reset();
    collectGarbage();

    if (initialization) {
        SimpleCommand update(0.0f, CommandKinds::Update());
        initialization->execute(update);
        initialization.reset();
        collectGarbage();
    }
}

Syncronizer* DemoPlayer::timeSource() const {
    return m_syncronizer ? m_syncronizer->syncronizer() : nullptr;
}

// Input is stamped with the clock the loop runs on.
static Syncronizer* stampClock(Syncronizer* loopClock, Syncronizer* own) {
    return loopClock ? loopClock : own;
}

void DemoPlayer::run(Syncronizer* clock) {
    if (!clock) clock = m_syncronizer->syncronizer();
    m_clock = clock;
    m_running = true;
    clock->start();
    for (;;) {
        const float t = clock->getTime();
        if (clock->isFinished()) {
            m_running = false;
            break;
        }
        SimpleCommand update(t, CommandKinds::Update());
        m_events->execute(update);
        if (m_window) m_window->processMessages();
        if (!m_running) break;
    }
    releaseObjects();
}

// Lets go of the script's objects, the graphics system last so that every
// device resource is freed while its machine still exists. Runs after the
// loop, and from the destructor when an error ended start-up or the loop.
void DemoPlayer::releaseObjects() {
    m_clock = nullptr;
    for (IniObject** held : {&m_events, &m_mouseHandler, &m_keyboardHandler}) {
        if (*held) (*held)->release();
        *held = nullptr;
    }
    if (m_syncronizer) m_syncronizer->release();
    m_syncronizer = nullptr;
    collectGarbage();

    if (m_window && m_window->listener() == this) m_window->setListener(nullptr);
    m_window = nullptr;
    m_renderMachine = nullptr;
    if (m_graphicsSystem) m_graphicsSystem->release();
    m_graphicsSystem = nullptr;
    collectGarbage();
}

void DemoPlayer::key(bool isDown, int keyCode) {
    if (isDown && keyCode == 1) m_running = false;
    Syncronizer* clock = stampClock(m_clock, timeSource());
    if (m_keyboardHandler && clock) {
        KeyboardCommand command(clock->getTime(), keyCode);
        m_keyboardHandler->execute(command);
    }
}

// Mouse input reaches the mouse handler as Mouse commands stamped with the
// clock's time: the position, the movement since the previous mouse event,
// the button state and the buttons newly pressed.
void DemoPlayer::sendMouse(unsigned buttons, int x, int y) {
    const int state = static_cast<int>(buttons);
    const int dx = m_mouseSeen ? x - m_mouseX : 0;
    const int dy = m_mouseSeen ? y - m_mouseY : 0;
    const int pressed = state & ~m_mouseButtons;
    m_mouseX = x;
    m_mouseY = y;
    m_mouseButtons = state;
    m_mouseSeen = true;
    Syncronizer* clock = stampClock(m_clock, timeSource());
    if (m_mouseHandler && clock) {
        MouseCommand command(clock->getTime(), x, y, dx, dy, state, pressed);
        m_mouseHandler->execute(command);
    }
}

void DemoPlayer::mouseMove(unsigned buttons, int x, int y) { sendMouse(buttons, x, y); }

void DemoPlayer::mouseButton(unsigned buttons, int x, int y) { sendMouse(buttons, x, y); }

void DemoPlayer::resized(int, int) {}

namespace {

void report(const std::string& line) { std::cerr << line << '\n' << std::flush; }

}  // namespace

// Errors outside the family (memory exhausted, a fault of the standard
// library) are reported the same way instead of aborting the program.
bool runReportingErrors(const std::function<void()>& body, const std::function<void()>& cleanup) {
    std::string line;
    try {
        body();
        return false;
    } catch (const CmdLineException& e) {
        line = e.message();
    } catch (const ParseException& e) {
        line = "Error while parsing initialization files: " + e.message();
    } catch (const ResourceNotFound& e) {
        line = "Resource not found: " + e.message();
    } catch (const Exception& e) {
        line = "Exception: " + e.message();
    } catch (const std::bad_alloc&) {
        line = "Out of memory";
    } catch (const std::exception& e) {
        line = std::string("Internal error: ") + e.what();
    } catch (...) {
        line = "Internal error: unknown exception";
    }
    cleanup();
    report(line);
    return true;
}

// Start-up and the loop run in one guarded region; an error destroys the
// player first and then prints exactly one line.
int runPlayer(int argc, const char* const* argv) {
    std::unique_ptr<DemoPlayer> player;
    runReportingErrors(
        [&] {
            player = std::make_unique<DemoPlayer>();
            player->startup(argc, argv);
            player->run();
            player.reset();
        },
        [&] { player.reset(); });
    collectGarbage();
    return 0;
}

}  // namespace Vexa
