#pragma once
// The script objects that create the render machine and its window, make
// textures and render targets, and change render state from a timeline. The
// state-changing objects are commands: a timeline sends them to the
// graphics-system object, which applies them to the render machine.
#include <array>
#include <functional>
#include <memory>
#include <vector>

#include "Parser/IniCommands.h"
#include "Parser/IniObject.h"
#include "Rendering/Common/RenderMachine.h"

namespace Vexa {

class DataBlock;

namespace Types {
const TypeObject* GraphicsSystem();
const TypeObject* RenderTarget();
const TypeObject* Texture();
const TypeObject* RenderState();
const TypeObject* State();
}  // namespace Types

// Owner of the render machine and the window, and receiver of the
// render-state commands. The machine may be null for stand-ins that only
// need a window.
class GraphicsSystemObject : public IniObject {
public:
    GraphicsSystemObject(std::unique_ptr<RenderMachine> machine, std::unique_ptr<Window> window);
    ~GraphicsSystemObject() override;
    const TypeObject* type() const override { return Types::GraphicsSystem(); }
    void execute(CommandObject& command) override;

    RenderMachine* renderMachine() const { return m_machine.get(); }
    Window* window() const { return m_window.get(); }
    const Viewport& screenViewport() const { return m_viewport; }

private:
    // Declared in this order so that the machine goes first, while the
    // window's GL context still exists for it to delete its programs and
    // textures in; then the window.
    std::unique_ptr<Window> m_window;
    std::unique_ptr<RenderMachine> m_machine;
    Viewport m_viewport;
};

// Called with every render target just before a Draw presents it (tools
// that record frames read the picture back here). Empty by default.
void setPresentObserver(std::function<void(RenderTarget*)> observer);

// A render target as a script object; Draw presents it.
class RenderTargetObject : public IniObject {
public:
    explicit RenderTargetObject(RenderTarget* target = nullptr) : m_target(target) {}
    const TypeObject* type() const override { return Types::RenderTarget(); }
    void execute(CommandObject& command) override;
    virtual RenderTarget* renderTarget() { return m_target; }

private:
    RenderTarget* m_target;
};

class TextureObject : public IniObject {
public:
    const TypeObject* type() const override { return Types::Texture(); }
    void execute(CommandObject& command) override;
    virtual Texture* getTexture() = 0;
    virtual RenderTarget* getRenderTarget(int face) = 0;
};

// The texture behind an object given where a texture is expected: any
// texture object, whatever its own type name (a light cube is one); null
// for anything else.
TextureObject* textureObjectOf(IniObject* object);

// The render target of a targetable texture, asked for each time, so the
// texture must have been loaded first.
class TextureRenderTargetObject : public RenderTargetObject {
public:
    TextureRenderTargetObject(TextureObject* texture, int face)
        : m_texture(texture), m_face(face) {}
    RenderTarget* renderTarget() override { return m_texture->getRenderTarget(m_face); }

private:
    TextureObject* m_texture;
    int m_face;
};

// Makes and releases the texture of a static texture object.
class TextureLoader {
public:
    virtual ~TextureLoader() = default;
    virtual std::unique_ptr<Texture> load() = 0;
    virtual void unload(std::unique_ptr<Texture> texture) { texture.reset(); }
};

// Loads a 2D texture (one file) or a cube texture (six files) through the
// machine's image loader, reading the files' bytes.
class FileTextureLoader : public TextureLoader {
public:
    FileTextureLoader(RenderMachine* machine, std::vector<DataBlock*> files,
                      const TextureDescription& description)
        : m_machine(machine), m_files(std::move(files)), m_description(description) {}
    std::unique_ptr<Texture> load() override;

private:
    RenderMachine* m_machine;
    std::vector<DataBlock*> m_files;
    TextureDescription m_description;
};

class StaticTextureObject : public TextureObject {
public:
    explicit StaticTextureObject(std::unique_ptr<TextureLoader> loader)
        : m_loader(std::move(loader)) {}
    ~StaticTextureObject() override;
    bool isLoaded() const override { return m_texture != nullptr; }
    void load() override;
    void unload() override;
    Texture* getTexture() override { return m_texture.get(); }
    RenderTarget* getRenderTarget(int) override { return nullptr; }

private:
    std::unique_ptr<TextureLoader> m_loader;
    std::unique_ptr<Texture> m_texture;
};

class TargetableTexture2DObject : public TextureObject {
public:
    TargetableTexture2DObject(RenderMachine* machine, int width, int height)
        : m_machine(machine), m_width(width), m_height(height) {}
    ~TargetableTexture2DObject() override;
    bool isLoaded() const override { return m_texture != nullptr; }
    void load() override;
    void unload() override;
    Texture* getTexture() override { return m_texture.get(); }
    RenderTarget* getRenderTarget(int) override { return m_target.get(); }

private:
    RenderMachine* m_machine;
    int m_width;
    int m_height;
    std::unique_ptr<Texture> m_texture;
    std::unique_ptr<TextureTarget> m_target;
};

// Render-state commands, applied by the graphics-system object.
class TexturePropertiesCommand : public CommandObject {
public:
    explicit TexturePropertiesCommand(const std::array<int, 3>& wrap)
        : CommandObject(0), wrap(wrap) {}
    const CommandKind* commandKind() const override { return CommandKinds::TextureProperties(); }
    std::array<int, 3> wrap;
};

class ClearScreenCommand : public CommandObject {
public:
    ClearScreenCommand() : CommandObject(0) {}
    const CommandKind* commandKind() const override { return CommandKinds::ClearScreen(); }
    Vec4f color;
    float depth = 1.0f;
    int stencil = 0;
    unsigned flags = 0;
};

class SetViewportCommand : public CommandObject {
public:
    SetViewportCommand(const Viewport& viewport, RenderTargetObject* target)
        : CommandObject(0), viewport(viewport), target(target) {}
    const CommandKind* commandKind() const override { return CommandKinds::SetViewport(); }
    Viewport viewport;
    RenderTargetObject* target;
};

class DepthTestCommand : public CommandObject {
public:
    DepthTestCommand(bool test, bool write) : CommandObject(0), test(test), write(write) {}
    const CommandKind* commandKind() const override { return CommandKinds::DepthTest(); }
    bool test;
    bool write;
};

class SetCullingCommand : public CommandObject {
public:
    SetCullingCommand(bool enable, int mode) : CommandObject(0), enable(enable), mode(mode) {}
    const CommandKind* commandKind() const override { return CommandKinds::SetCulling(); }
    bool enable;
    int mode;
};

class ColorWriteMaskCommand : public CommandObject {
public:
    explicit ColorWriteMaskCommand(const std::array<bool, 4>& mask)
        : CommandObject(0), mask(mask) {}
    const CommandKind* commandKind() const override { return CommandKinds::ColorWriteMask(); }
    std::array<bool, 4> mask;
};

class DepthBiasCommand : public CommandObject {
public:
    DepthBiasCommand() : CommandObject(0) {}
    const CommandKind* commandKind() const override { return CommandKinds::DepthBias(); }
    float constant = 0.0f;
    float linear = 0.0f;
};

class DepthFuncCommand : public CommandObject {
public:
    explicit DepthFuncCommand(int func) : CommandObject(0), func(func) {}
    const CommandKind* commandKind() const override { return CommandKinds::DepthFunc(); }
    int func;
};

class SetFillModeCommand : public CommandObject {
public:
    explicit SetFillModeCommand(int mode) : CommandObject(0), mode(mode) {}
    const CommandKind* commandKind() const override { return CommandKinds::SetFillMode(); }
    int mode;
};

class RenderStateObject;

class CompareStateCommand : public CommandObject {
public:
    explicit CompareStateCommand(RenderStateObject* other) : CommandObject(0), other(other) {}
    const CommandKind* commandKind() const override { return CommandKinds::CompareState(); }
    RenderStateObject* other;
};

// A snapshot of the device's render state: StoreState refreshes it, Print
// writes it, CompareState lists how it differs from another.
class RenderStateObject : public IniObject {
public:
    explicit RenderStateObject(RenderMachine* machine);
    const TypeObject* type() const override { return Types::RenderState(); }
    void execute(CommandObject& command) override;
    const RenderState* snapshot() const { return m_snapshot.get(); }

private:
    RenderMachine* m_machine;
    std::unique_ptr<RenderState> m_snapshot;
};

// State items applied to the machine on every Draw.
class StateObject : public IniObject {
public:
    StateObject(RenderMachine* machine, std::vector<int> cullingModes)
        : m_machine(machine), m_cullingModes(std::move(cullingModes)) {}
    const TypeObject* type() const override { return Types::State(); }
    void execute(CommandObject& command) override;

private:
    RenderMachine* m_machine;
    std::vector<int> m_cullingModes;
};

}  // namespace Vexa
