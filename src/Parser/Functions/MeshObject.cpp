#include "Parser/Functions/MeshObject.h"

namespace Vexa {

namespace Types {
VEXA_DEFINE_TYPE(Mesh, "Mesh")
}  // namespace Types

void MeshObject::execute(CommandObject& command) {
    const CommandKind* kind = command.commandKind();
    if (kind == CommandKinds::Draw()) {
        m_primitive->draw();
    } else if (kind == CommandKinds::RangeDraw()) {
        auto& range = static_cast<RangeDrawCommand&>(command);
        m_primitive->drawRange(range.start(), range.end());
    } else if (kind == CommandKinds::Update()) {
        updateWeights();
        m_primitive->update(command.time());
    } else {
        IniObject::execute(command);
    }
}

}  // namespace Vexa
