#pragma once
// Snapshots of the OpenGL device state: 66 capability switches read with
// glIsEnabled and 63 integer states read with glGetIntegerv, each integer
// state with an optional table naming its values. Scene code compares two
// snapshots to find state that an object changed and did not restore.
#include <GL/gl.h>
#include <GL/glext.h>

#include <cstddef>
#include <string>
#include <vector>

#include "Rendering/Common/RenderMachine.h"

namespace Vexa {

struct SwitchStateGL {
    GLenum capability;
    const char* name;
};

struct ValueNameGL {
    GLint value;
    const char* name;
};

struct IntegerStateGL {
    GLenum parameter;
    const char* name;
    int count;                  // values glGetIntegerv writes (1 to 4)
    const ValueNameGL* values;  // null: written in decimal
    size_t valueCount;
};

constexpr size_t kSwitchStateCount = 66;
constexpr size_t kIntegerStateCount = 63;

// The names of every entry and their value tables, in snapshot order.
class StateNamesGL {
public:
    StateNamesGL();
    const SwitchStateGL* switches() const { return m_switches; }
    const IntegerStateGL* integers() const { return m_integers; }
    // The name of `value` in `state`'s table, "INVALID_ENUM" when it has
    // none there, or the decimal value when the state has no table.
    std::string valueText(const IntegerStateGL& state, GLint value) const;

private:
    const SwitchStateGL* m_switches = nullptr;
    const IntegerStateGL* m_integers = nullptr;
};

class RenderStateGL : public RenderState {
public:
    explicit RenderStateGL(const StateNamesGL& names) : m_names(names) {}
    void capture() override;
    std::vector<Entry> entries() const override;

private:
    const StateNamesGL& m_names;
    bool m_switches[kSwitchStateCount] = {};
    GLint m_integers[kIntegerStateCount][4] = {};
};

}  // namespace Vexa
