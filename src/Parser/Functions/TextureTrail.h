#pragma once
// A trail of copies of one texture drawn as screen quads, each copy moved
// and scaled from the one before and added onto the picture.
#include <memory>

#include "Parser/Functions/RenderingObjects.h"

namespace Vexa {

namespace Types {
const TypeObject* TextureArray();
}  // namespace Types

// The most quads a trail draws: four vertices each, all reachable with
// 16-bit indices.
constexpr int kMaxTrailQuads = 16384;

// Gives a trail another texture to draw.
class SetTextureCommand : public CommandObject {
public:
    explicit SetTextureCommand(TextureObject* texture) : CommandObject(0), texture(texture) {}
    const CommandKind* commandKind() const override { return CommandKinds::SetTexture(); }
    TextureObject* texture;
};

// Quad 0 has the full dimensions at the centre; each following quad is moved
// by movement / (number - 1) and scaled by scale^(1 / (number - 1)), so the
// last is moved by movement and scaled by scale. Each adds its texture
// weighted by intensity / number (1 / number without intensity). The value
// objects are read at every Draw, so animated ones move the trail. A single
// quad is drawn unmoved and unscaled, and number 0 draws nothing.
class TextureArrayObject : public IniObject {
public:
    struct Values {
        const Vec2dObject* center = nullptr;
        const Vec2dObject* dimensions = nullptr;
        const NumberObject* rotation = nullptr;   // optional
        const NumberObject* intensity = nullptr;  // optional
        const Vec2dObject* movement = nullptr;
        const NumberObject* scale = nullptr;
    };
    TextureArrayObject(RenderMachine* machine, TextureObject* texture, const Values& values,
                       int number, bool setWorld)
        : m_texture(texture),
          m_machine(machine),
          m_values(values),
          m_number(number),
          m_setWorld(setWorld) {}
    const TypeObject* type() const override { return Types::TextureArray(); }
    bool isLoaded() const override { return m_loaded; }
    void load() override;
    void unload() override;
    void execute(CommandObject& command) override;

private:
    void draw();
    void writeQuads();

    TextureObject* m_texture;
    RenderMachine* m_machine;
    Values m_values;
    int m_number;
    bool m_setWorld;
    bool m_loaded = false;
    std::unique_ptr<VertexDeclaration> m_declaration;
    std::unique_ptr<IndexStream> m_indices;
    std::unique_ptr<VertexStream> m_vertices;
};

}  // namespace Vexa
