#pragma once
// Commands: objects that carry a time and a kind, delivered to a receiver
// through IniObject::execute. Kinds are identity records compared by address.
#include <cstdint>

#include "Parser/IniObject.h"

namespace Vexa {

struct CommandKind {
    const char* name;
};

namespace CommandKinds {
const CommandKind* Load();
const CommandKind* Unload();
const CommandKind* Print();
const CommandKind* Update();
const CommandKind* Draw();
const CommandKind* Mouse();
const CommandKind* Keyboard();
const CommandKind* BeginScene();
const CommandKind* EndScene();
const CommandKind* ClearScreen();
const CommandKind* SetViewport();
const CommandKind* DepthTest();
const CommandKind* DepthBias();
const CommandKind* DepthFunc();
const CommandKind* SetCulling();
const CommandKind* ColorWriteMask();
const CommandKind* TextureProperties();
const CommandKind* SetFillMode();
const CommandKind* ResetState();
const CommandKind* StoreState();
const CommandKind* CompareState();
const CommandKind* ApplyMatrix();
const CommandKind* CopyTransform();
const CommandKind* SetEnvironmentLight();
const CommandKind* SetMaterialEnvironment();
const CommandKind* Disable();
const CommandKind* SetupTextureRendering();
const CommandKind* LookAt();
const CommandKind* LwCameraPosition();
const CommandKind* SetCameraTransform();
const CommandKind* SetTexture();
const CommandKind* RangeDraw();
}  // namespace CommandKinds

class CommandObject : public IniObject {
public:
    explicit CommandObject(float time) : m_time(time) {}
    const TypeObject* type() const override { return Types::Command(); }
    std::string toString() const override;
    virtual const CommandKind* commandKind() const = 0;

    float time() const { return m_time; }
    void setTime(float time) { m_time = time; }

private:
    float m_time;
};

class SimpleCommand : public CommandObject {
public:
    SimpleCommand(float time, const CommandKind* kind) : CommandObject(time), m_kind(kind) {}
    const CommandKind* commandKind() const override { return m_kind; }

private:
    const CommandKind* m_kind;
};

class KeyboardCommand : public CommandObject {
public:
    KeyboardCommand(float time, int32_t key) : CommandObject(time), m_key(key) {}
    const CommandKind* commandKind() const override { return CommandKinds::Keyboard(); }
    int32_t key() const { return m_key; }

private:
    int32_t m_key;
};

// Pointer position, movement since the previous mouse event, the button
// state mask (1 left, 2 right, 4 middle, wheel 8 / 16) and the buttons newly
// pressed, in this order after the time.
class MouseCommand : public CommandObject {
public:
    MouseCommand(float time, int32_t mx, int32_t my, int32_t dx, int32_t dy, int32_t bs, int32_t bd)
        : CommandObject(time), mx(mx), my(my), dx(dx), dy(dy), bs(bs), bd(bd) {}
    const CommandKind* commandKind() const override { return CommandKinds::Mouse(); }

    int32_t mx, my, dx, dy, bs, bd;
};

}  // namespace Vexa
