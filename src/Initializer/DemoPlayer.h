#pragma once
// The player: reads the production, picks out the objects that drive the
// show, and runs the frame loop against the time source until it finishes or
// Escape is pressed.
#include <functional>
#include <memory>

#include "Rendering/Common/RenderWindow.h"

namespace Vexa {

class Archive;
class DataBlock;
class IniObject;
class RenderMachine;
class Syncronizer;
class SyncronizerObject;
class GraphicsSystemObject;

class DemoPlayer : public InputListener {
public:
    DemoPlayer();
    ~DemoPlayer() override;

    // Parses the command line, the archive and "Ini/demo.ini", and takes the
    // bindings. Raises the system's exceptions on failure.
    void startup(int argc, const char* const* argv);
    // Runs frames until the time source finishes or Escape is pressed.
    // `clock`, when given, replaces the production's time source (not owned).
    void run(Syncronizer* clock = nullptr);

    void key(bool isDown, int keyCode) override;
    void mouseMove(unsigned buttons, int x, int y) override;
    void mouseButton(unsigned buttons, int x, int y) override;
    void resized(int width, int height) override;

    bool isRunning() const { return m_running; }
    RenderMachine* renderMachine() const { return m_renderMachine; }
    // The production's own time source; null before start-up.
    Syncronizer* timeSource() const;

private:
    void releaseObjects();
    void sendMouse(unsigned buttons, int x, int y);

    GraphicsSystemObject* m_graphicsSystem = nullptr;
    RenderMachine* m_renderMachine = nullptr;
    RenderWindow* m_window = nullptr;
    IniObject* m_events = nullptr;
    SyncronizerObject* m_syncronizer = nullptr;
    IniObject* m_mouseHandler = nullptr;
    IniObject* m_keyboardHandler = nullptr;
    std::unique_ptr<DataBlock> m_archiveData;
    std::unique_ptr<Archive> m_archive;
    bool m_running = false;
    int m_mouseX = 0;
    int m_mouseY = 0;
    int m_mouseButtons = 0;
    bool m_mouseSeen = false;
    Syncronizer* m_clock = nullptr;  // what the loop and input stamps read
};

// The program's entry: start-up, loop, shutdown and error reporting. Always
// answers 0.
int runPlayer(int argc, const char* const* argv);

// Runs `body`; when it raises any error, runs `cleanup`, then writes the
// player's one error line to standard error and answers true.
bool runReportingErrors(const std::function<void()>& body, const std::function<void()>& cleanup);

}  // namespace Vexa
