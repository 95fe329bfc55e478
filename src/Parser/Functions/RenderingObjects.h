#pragma once
// The graphics-system object: owner of the render machine and the window.
#include "Parser/IniObject.h"

namespace Vexa {

class RenderMachine;
class RenderWindow;

namespace Types {
const TypeObject* GraphicsSystem();
}

class GraphicsSystemObject : public IniObject {
public:
    const TypeObject* type() const override { return Types::GraphicsSystem(); }
    RenderMachine* renderMachine() const { return m_machine; }
    RenderWindow* window() const { return m_window; }

protected:
    RenderMachine* m_machine = nullptr;
    RenderWindow* m_window = nullptr;
};

}  // namespace Vexa
