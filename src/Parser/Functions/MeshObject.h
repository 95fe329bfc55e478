#pragma once
// Script objects around drawable primitives.
#include <memory>

#include "Mesh/Primitive.h"
#include "Parser/IniCommands.h"

namespace Vexa {

namespace Types {
const TypeObject* Mesh();
}  // namespace Types

// The script-visible wrapper of one owned primitive: Draw, RangeDraw, Update,
// Load and Unload become primitive operations.
class MeshObject : public IniObject {
public:
    explicit MeshObject(std::unique_ptr<Primitive> primitive) : m_primitive(std::move(primitive)) {}
    const TypeObject* type() const override { return Types::Mesh(); }
    bool isLoaded() const override { return m_primitive->isLoaded(); }
    void load() override { m_primitive->load(); }
    void unload() override { m_primitive->unload(); }
    void execute(CommandObject& command) override;

    Primitive* primitive() const { return m_primitive.get(); }
    // Hands the current values of animated weights to the primitive; called
    // on every Update before the primitive's own update.
    virtual void updateWeights() {}

private:
    std::unique_ptr<Primitive> m_primitive;
};

// RangeDraw: the start and end fractions are read when the command runs, so
// animated numbers move the drawn window.
class RangeDrawCommand : public CommandObject {
public:
    RangeDrawCommand(float time, NumberObject* start, NumberObject* end)
        : CommandObject(time), m_start(start), m_end(end) {
        hold(start);
        hold(end);
    }
    const CommandKind* commandKind() const override { return CommandKinds::RangeDraw(); }
    float start() const { return m_start->value(); }
    float end() const { return m_end->value(); }

private:
    const NumberObject* m_start;
    const NumberObject* m_end;
};

}  // namespace Vexa
