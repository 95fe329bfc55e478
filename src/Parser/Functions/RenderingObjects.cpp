#include "Parser/Functions/RenderingObjects.h"

#include <iostream>

#include "Common/DataBlock.h"
#include "Parser/Exceptions.h"
#include "Parser/Functions/FileObject.h"
#include "Parser/Functions/TransformObject.h"
#include "Parser/IniFunction.h"

namespace Vexa {

static const char* const kUnit = "Parser/Functions/RenderingObjects";

namespace Types {
VEXA_DEFINE_TYPE(GraphicsSystem, "GraphicsSystem")
VEXA_DEFINE_TYPE(RenderTarget, "RenderTarget")
VEXA_DEFINE_TYPE(Texture, "Texture")
VEXA_DEFINE_TYPE(RenderState, "RenderState")
VEXA_DEFINE_TYPE(State, "State")
}  // namespace Types

namespace {

Color toColor(const Vec4f& v) { return Color{v[0], v[1], v[2], v[3]}; }

}  // namespace

// ---- graphics system -------------------------------------------------------------

GraphicsSystemObject::GraphicsSystemObject(std::unique_ptr<RenderMachine> machine,
                                           std::unique_ptr<Window> window)
    : m_window(std::move(window)), m_machine(std::move(machine)) {
    m_viewport.target = m_window.get();
}

GraphicsSystemObject::~GraphicsSystemObject() = default;

void GraphicsSystemObject::execute(CommandObject& command) {
    const CommandKind* kind = command.commandKind();
    RenderMachine* m = m_machine.get();
    if (!m) {
        IniObject::execute(command);
        return;
    }
    if (kind == CommandKinds::BeginScene()) {
        m->beginScene();
    } else if (kind == CommandKinds::EndScene()) {
        m->endScene();
    } else if (kind == CommandKinds::ResetState()) {
        m->setDefaultState();
    } else if (kind == CommandKinds::ClearScreen()) {
        const auto& c = static_cast<const ClearScreenCommand&>(command);
        const Color color = toColor(c.color);
        m->clear(c.flags, &color, c.depth, c.stencil);
    } else if (kind == CommandKinds::DepthTest()) {
        const auto& c = static_cast<const DepthTestCommand&>(command);
        m->setDepthTest(c.test);
        m->setDepthWrite(c.write);
    } else if (kind == CommandKinds::DepthBias()) {
        const auto& c = static_cast<const DepthBiasCommand&>(command);
        m->setDepthBias(c.constant, c.linear);
    } else if (kind == CommandKinds::DepthFunc()) {
        m->setDepthFunc(static_cast<const DepthFuncCommand&>(command).func);
    } else if (kind == CommandKinds::SetCulling()) {
        const auto& c = static_cast<const SetCullingCommand&>(command);
        m->setCulling(c.enable);
        m->setCullingMode(c.mode);
    } else if (kind == CommandKinds::ColorWriteMask()) {
        const auto& c = static_cast<const ColorWriteMaskCommand&>(command);
        m->setColorWriteMask(c.mask[0], c.mask[1], c.mask[2], c.mask[3]);
    } else if (kind == CommandKinds::SetViewport()) {
        auto& c = static_cast<SetViewportCommand&>(command);
        c.viewport.target = c.target->renderTarget();
        if (!c.viewport.target)
            VEXA_THROW(RenderMachineException, "SetViewport: the render target is not loaded.");
        m->setViewport(c.viewport);
    } else if (kind == CommandKinds::SetFillMode()) {
        m->setFillMode(static_cast<const SetFillModeCommand&>(command).mode);
    } else {
        IniObject::execute(command);
    }
}

// ---- render targets and textures ------------------------------------------------------

namespace {
std::function<void(RenderTarget*)>& presentObserver() {
    static std::function<void(RenderTarget*)> observer;
    return observer;
}
}  // namespace

void setPresentObserver(std::function<void(RenderTarget*)> observer) {
    presentObserver() = std::move(observer);
}

void RenderTargetObject::execute(CommandObject& command) {
    if (command.commandKind() != CommandKinds::Draw()) {
        IniObject::execute(command);
        return;
    }
    RenderTarget* target = renderTarget();
    if (!target) return;
    if (presentObserver()) presentObserver()(target);
    target->present();
}

TextureObject* textureObjectOf(IniObject* object) { return dynamic_cast<TextureObject*>(object); }

void TextureObject::execute(CommandObject& command) {
    if (command.commandKind() != CommandKinds::TextureProperties()) {
        IniObject::execute(command);
        return;
    }
    const auto& c = static_cast<const TexturePropertiesCommand&>(command);
    if (Texture* texture = getTexture())
        for (int i = 0; i < 3; ++i) texture->setWrapMode(i, c.wrap[i]);
}

// Reads the files' bytes (loading a file that is not loaded yet, and letting
// it go again afterwards) and decodes them with a fresh image loader.
std::unique_ptr<Texture> FileTextureLoader::load() {
    std::vector<DataBlock*> loadedHere;
    for (DataBlock* file : m_files) {
        if (!file->isLoaded()) {
            file->load();
            loadedHere.push_back(file);
        }
    }
    std::unique_ptr<Texture> texture;
    try {
        std::unique_ptr<ImageLoader> loader(m_machine->createImageLoader());
        if (m_files.size() == 6) {
            const DataBlock* faces[6];
            for (int i = 0; i < 6; ++i) faces[i] = m_files[static_cast<std::size_t>(i)];
            texture.reset(loader->loadCubeTexture(faces, m_description));
        } else {
            texture.reset(loader->loadTexture(*m_files.front(), m_description));
        }
    } catch (...) {
        for (DataBlock* file : loadedHere) file->unload();
        throw;
    }
    for (DataBlock* file : loadedHere) file->unload();
    return texture;
}

StaticTextureObject::~StaticTextureObject() { unload(); }

void StaticTextureObject::load() {
    if (!m_texture) m_texture = m_loader->load();
}

void StaticTextureObject::unload() {
    if (m_texture) m_loader->unload(std::move(m_texture));
}

TargetableTexture2DObject::~TargetableTexture2DObject() { unload(); }

void TargetableTexture2DObject::load() {
    if (m_texture) return;
    Texture* texture = nullptr;
    m_target.reset(m_machine->createTextureTarget(m_width, m_height, FORMAT_ARGB8, &texture));
    m_texture.reset(texture);
}

void TargetableTexture2DObject::unload() {
    m_target.reset();
    m_texture.reset();
}

// ---- snapshots and state items ---------------------------------------------------------

RenderStateObject::RenderStateObject(RenderMachine* machine)
    : m_machine(machine), m_snapshot(machine->createState()) {}

void RenderStateObject::execute(CommandObject& command) {
    const CommandKind* kind = command.commandKind();
    if (kind == CommandKinds::StoreState()) {
        if (m_snapshot) m_machine->captureState(m_snapshot.get());
    } else if (kind == CommandKinds::Print()) {
        if (!m_snapshot) return;
        for (const RenderState::Entry& e : m_snapshot->entries())
            std::cout << e.name << e.value << '\n';
        std::cout << std::flush;
    } else if (kind == CommandKinds::CompareState()) {
        const RenderStateObject* other = static_cast<CompareStateCommand&>(command).other;
        if (!m_snapshot || !other || !other->m_snapshot) return;
        const auto mine = m_snapshot->entries();
        const auto theirs = other->m_snapshot->entries();
        bool first = true;
        for (std::size_t i = 0; i < mine.size() && i < theirs.size(); ++i) {
            if (mine[i].value == theirs[i].value) continue;
            if (first) std::cout << "Differences:\n";
            first = false;
            std::cout << "  " << mine[i].name << mine[i].value << " <> " << theirs[i].value << '\n';
        }
        std::cout << std::flush;
    } else {
        IniObject::execute(command);
    }
}

void StateObject::execute(CommandObject& command) {
    if (command.commandKind() != CommandKinds::Draw()) {
        IniObject::execute(command);
        return;
    }
    for (int mode : m_cullingModes) m_machine->setCullingMode(mode);
}

// ---- script functions ------------------------------------------------------------------

namespace {

// Shared parameter readers of the rendering functions.
class RenderingFunction : public IniFunction {
protected:
    GraphicsSystemObject* graphicsSystem() {
        return static_cast<GraphicsSystemObject*>(
            getRecordedObject("graphicsSystem", Types::GraphicsSystem()));
    }
    RenderMachine* machine() { return renderMachineOf(graphicsSystem()); }
    // A switch given as a number (non-zero is on) or as a bool.
    static bool flagValue(const IniObject* o, const std::string& what) {
        if (IniObject::isOfType(o, Types::Bool()))
            return static_cast<const BoolObject*>(o)->value();
        checkType(o, Types::Number(), what);
        return static_cast<const NumberObject*>(o)->value() != 0.0f;
    }
    bool flag(const char* name, bool defaultValue) const {
        return has(name) ? flagValue(getObject(name), name) : defaultValue;
    }
};

/* GraphicsSystem { type = "gl" width = 640 height = 480 fullscreen = 0 showCursor = 0 } */
class F_GraphicsSystem : public RenderingFunction {
public:
    IniObject* create() override {
        const std::string type = getString("type");
        WindowParameters parameters;
        parameters.width = getInt("width");
        parameters.height = getInt("height");
        parameters.fullScreen = getInt("fullscreen", 0) != 0;
        parameters.showCursor = getInt("showCursor", 0) != 0;
        try {
            std::unique_ptr<RenderMachine> machine = RenderMachineCreator(type.c_str());
            std::unique_ptr<Window> window(machine->createWindow(parameters));
            auto graphics =
                std::make_unique<GraphicsSystemObject>(std::move(machine), std::move(window));
            RenderMachine* m = graphics->renderMachine();
            m->setViewport(graphics->screenViewport());
            m->setDepthTest(true);
            return graphics.release();
        } catch (const RenderMachineException& e) {
            VEXA_THROW(FunctionParseException, "Render machine creation failed:" + e.message());
        }
    }
};

class F_MainWindow : public RenderingFunction {
public:
    IniObject* create() override { return new RenderTargetObject(graphicsSystem()->window()); }
};

class F_TextureProperties : public RenderingFunction {
public:
    IniObject* create() override {
        return new TexturePropertiesCommand({getEnum("wrap0", Enums::textureWrap, REPEAT),
                                             getEnum("wrap1", Enums::textureWrap, REPEAT),
                                             getEnum("wrap2", Enums::textureWrap, REPEAT)});
    }
};

// The description of a loaded texture: a forced size when "width" is given.
class TextureFunction : public RenderingFunction {
protected:
    TextureDescription description() {
        TextureDescription d;
        if (has("width")) {
            d.forceSize = true;
            d.width = getInt("width");
            d.height = getInt("height");
        }
        d.mipLevels = getInt("mipmaps", -1);
        return d;
    }
};

/* Texture2D { graphicsSystem file [width height] [mipmaps] } or { targetable = 1 width height } */
class F_Texture2D : public TextureFunction {
public:
    IniObject* create() override {
        RenderMachine* m = machine();
        if (getInt("targetable", 0) == 1) {
            const int width = getInt("width");
            const int height = getInt("height");
            return new TargetableTexture2DObject(m, width, height);
        }
        auto* file = static_cast<FileObject*>(getRecordedObject("file", Types::File()));
        return new StaticTextureObject(std::make_unique<FileTextureLoader>(
            m, std::vector<DataBlock*>{file->dataBlock()}, description()));
    }
};

/* TextureCube { graphicsSystem files = ( six files ) [width height] [mipmaps] } */
class F_TextureCube : public TextureFunction {
public:
    IniObject* create() override {
        RenderMachine* m = machine();
        IniObject* files = getRecordedObject("files", nullptr);
        if (!IniObject::isOfType(files, Types::Tuple()) ||
            static_cast<TupleObject*>(files)->size() != 6)
            VEXA_THROW(FunctionParseException, "Exactly 6 files was expected");
        std::vector<DataBlock*> blocks;
        for (IniObject* file : static_cast<TupleObject*>(files)->elements()) {
            if (!IniObject::isOfType(file, Types::File()))
                VEXA_THROW(FunctionParseException, "Object is not file");
            blocks.push_back(static_cast<FileObject*>(file)->dataBlock());
        }
        return new StaticTextureObject(
            std::make_unique<FileTextureLoader>(m, std::move(blocks), description()));
    }
};

class F_TextureTarget : public RenderingFunction {
public:
    IniObject* create() override {
        auto* texture = static_cast<TextureObject*>(getRecordedObject("texture", Types::Texture()));
        return new TextureRenderTargetObject(texture, getInt("face", 0));
    }
};

/* ClearScreen { color depth stencil clear_color clear_depth clear_stencil } */
class F_ClearScreen : public RenderingFunction {
public:
    IniObject* create() override {
        auto command = std::make_unique<ClearScreenCommand>();
        bindVec4("color", &command->color, Vec4f{});
        bindNumber("depth", &command->depth, 1.0f);
        command->stencil = getInt("stencil", 0);
        command->flags = (flag("clear_color", true) ? CLEAR_COLOR : 0u) |
                         (flag("clear_depth", true) ? CLEAR_DEPTH : 0u) |
                         (flag("clear_stencil", false) ? CLEAR_STENCIL : 0u);
        return command.release();
    }
};

/* SetViewport { target [x y width height] } */
class F_SetViewport : public RenderingFunction {
public:
    IniObject* create() override {
        auto* target =
            static_cast<RenderTargetObject*>(getRecordedObject("target", Types::RenderTarget()));
        Viewport viewport;
        if (has("x") || has("width")) {
            viewport.x = getNumber("x");
            viewport.y = getNumber("y");
            viewport.width = getNumber("width");
            viewport.height = getNumber("height");
        }
        return new SetViewportCommand(viewport, target);
    }
};

/* DepthTest ( test [write] ) */
class F_DepthTest : public RenderingFunction {
public:
    IniObject* create() override {
        const bool test = flagValue(element(0), "Tuple element 0");
        const bool write = count() > 1 ? flagValue(element(1), "Tuple element 1") : true;
        return new DepthTestCommand(test, write);
    }
};

class F_SetCulling : public RenderingFunction {
public:
    IniObject* create() override {
        const bool enable = getInt("enable") != 0;
        return new SetCullingCommand(enable, getEnum("mode", Enums::cullingMode, CW));
    }
};

/* ColorWriteMask ( red green blue alpha ) */
class F_ColorWriteMask : public RenderingFunction {
public:
    IniObject* create() override {
        if (count() != 4) VEXA_THROW(FunctionParseException, "4 parameters expected");
        std::array<bool, 4> mask{};
        for (int i = 0; i < 4; ++i)
            mask[static_cast<std::size_t>(i)] =
                flagValue(element(i), "Tuple element " + std::to_string(i));
        return new ColorWriteMaskCommand(mask);
    }
};

class F_DepthBias : public RenderingFunction {
public:
    IniObject* create() override {
        auto command = std::make_unique<DepthBiasCommand>();
        bindNumber("constant", &command->constant, 0.0f);
        bindNumber("linear", &command->linear, 0.0f);
        return command.release();
    }
};

class F_DepthFunc : public RenderingFunction {
public:
    IniObject* create() override {
        return new DepthFuncCommand(getEnum("func", Enums::compareFunc, LESS));
    }
};

class F_SetFillMode : public RenderingFunction {
public:
    IniObject* create() override {
        return new SetFillModeCommand(getEnum("mode", Enums::fillMode, SOLID));
    }
};

class F_RenderState : public RenderingFunction {
public:
    IniObject* create() override { return new RenderStateObject(machine()); }
};

/* CompareState renderState */
class F_CompareState : public RenderingFunction {
public:
    IniObject* create() override {
        return new CompareStateCommand(
            static_cast<RenderStateObject*>(getRecordedElement(0, Types::RenderState())));
    }
};

/* State { graphicsSystem cullingMode = 1 (counter-clockwise) | 2 (clockwise) } */
class F_State : public RenderingFunction {
public:
    IniObject* create() override {
        RenderMachine* m = machine();
        std::vector<int> modes;
        if (has("cullingMode")) {
            const int mode = getInt("cullingMode");
            if (mode != 1 && mode != 2)
                VEXA_THROW(FunctionParseException,
                           "cullingMode must be 1 (counter-clockwise) or 2 (clockwise).");
            modes.push_back(mode == 1 ? CCW : CW);
        }
        return new StateObject(m, std::move(modes));
    }
};

F_GraphicsSystem s_graphicsSystem;
F_MainWindow s_mainWindow;
F_TextureProperties s_textureProperties;
F_Texture2D s_texture2D;
F_TextureCube s_textureCube;
F_TextureTarget s_textureTarget;
F_ClearScreen s_clearScreen;
F_SetViewport s_setViewport;
F_DepthTest s_depthTest;
F_SetCulling s_setCulling;
F_ColorWriteMask s_colorWriteMask;
F_DepthBias s_depthBias;
F_DepthFunc s_depthFunc;
F_SetFillMode s_setFillMode;
F_RenderState s_renderState;
F_CompareState s_compareState;
F_State s_state;

const FunctionEntry kFunctions[] = {
    {"GraphicsSystem", &s_graphicsSystem},
    {"MainWindow", &s_mainWindow},
    {"TextureProperties", &s_textureProperties},
    {"Texture2D", &s_texture2D},
    {"TextureCube", &s_textureCube},
    {"TextureTarget", &s_textureTarget},
    {"ClearScreen", &s_clearScreen},
    {"SetViewport", &s_setViewport},
    {"DepthTest", &s_depthTest},
    {"SetCulling", &s_setCulling},
    {"ColorWriteMask", &s_colorWriteMask},
    {"DepthBias", &s_depthBias},
    {"DepthFunc", &s_depthFunc},
    {"SetFillMode", &s_setFillMode},
    {"RenderState", &s_renderState},
    {"CompareState", &s_compareState},
    {"State", &s_state},
};
const FunctionRegistrar s_registrar(kFunctions);

}  // namespace

}  // namespace Vexa
