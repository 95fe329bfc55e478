#pragma once
// Vertex shaders generated for a material instead of loaded from a file.
// Material-properties objects describe a surface (lit and textured, or a
// shadow pass) and name, on Load, the shader text fragments their surface
// needs; the generator takes those fragments from the production's fragment
// library, joins them into one vertex program in the order their keys give,
// creates it on the render machine and keeps the constants the fragments
// read (light, texture matrices, material colours) current while the
// material is drawn.
//
// The fragment library is a block holding a block `vertexShaders` in which
// every fragment name is bound to ( key0 key1 file ): the pair of numbers
// places the fragment in the program (ascending key0, then key1) and the
// file holds its text.
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "Parser/Functions/Environment.h"
#include "Parser/Functions/MaterialObject.h"
#include "Parser/IniObject.h"
#include "Rendering/Common/RenderMachine.h"

namespace Vexa {

class FileObject;

namespace Types {
const TypeObject* MaterialProperties();
const TypeObject* BasicMaterialProperties();
const TypeObject* ShadowMaterialProperties();
const TypeObject* SimpleGenerator();
}  // namespace Types

// What a generated shader needs from one surface description: the names of
// its fragments (chosen by Load from the environment's first light), the
// texture stages it adds to the material, and the constants it writes.
// Every kind answers the type "MaterialProperties"; propertiesType tells
// the kinds apart.
class MaterialProperties : public IniObject {
public:
    const TypeObject* type() const override { return Types::MaterialProperties(); }
    virtual const TypeObject* propertiesType() const = 0;
    const std::vector<std::string>& fragmentNames() const { return m_fragmentNames; }
    const std::vector<TextureStageObject*>& attributes() const { return m_attributes; }
    // Writes the values that may change while the material is in use.
    virtual void writeVertexConstants() {}
    // Makes `target` the set the constants go to and writes the first values.
    virtual void setVertexConstants(VertexConstants* target) {
        m_constants = target;
        writeVertexConstants();
    }
    void setEnvironment(Environment* environment) { m_environment = environment; }

protected:
    Environment* m_environment = nullptr;
    VertexConstants* m_constants = nullptr;
    std::vector<std::string> m_fragmentNames;
    std::vector<TextureStageObject*> m_attributes;
};

// A lit, textured surface. Load numbers its stages from 0 (the light cube
// first, when there is one) and names the fragments for them and for the
// type of the environment's first light; without a light it names none.
class BasicMaterialPropertiesObject : public MaterialProperties {
public:
    static constexpr int kStages = 8;

    const TypeObject* propertiesType() const override;
    void load() override;
    void writeVertexConstants() override;
    // Appends a stage; its stage number is set again at each Load.
    void addStage(TextureStageObject* stage);
    // Adds the stage that looks the light cube up by the world-space normal.
    void setLightCube(TextureObject* cube);
    int stageCount() const { return static_cast<int>(m_stages.size()) + (m_lightCube ? 1 : 0); }

    Vec3f baseColor{{1, 1, 1}};
    float diffuse = 1.0f;
    float luminosity = 0.0f;
    float specular = 1.0f;
    float glossiness = 0.0f;

private:
    std::vector<TextureStageObject*> m_stages;
    TextureStageObject* m_lightCube = nullptr;
};

// A shadow pass: the same three fragments whatever the environment holds,
// and two fixed constants.
class ShadowMaterialPropertiesObject : public MaterialProperties {
public:
    const TypeObject* propertiesType() const override;
    void load() override;
    void setVertexConstants(VertexConstants* target) override;
};

// Makes one vertex program for a material from the fragments its
// properties objects name. Load generates (the properties objects must
// have been loaded first, with the environment set), Unload deletes the
// program. While the material is drawn the generator writes the light of
// the environment's slot 0 in object space, the world matrix for stages
// that use a transform, and the properties' own constants.
class SimpleGeneratorObject : public MaterialGenerator {
public:
    SimpleGeneratorObject(RenderMachine* machine, BlockObject* shaderFiles,
                          std::vector<MaterialProperties*> properties);
    ~SimpleGeneratorObject() override;
    const TypeObject* type() const override { return Types::SimpleGenerator(); }
    bool isLoaded() const override { return m_generated; }
    void load() override;
    void unload() override;

    const std::vector<MaterialAttribute*>& attributes() const override { return m_attributes; }
    void setEnvironment(Environment* environment) override;
    void update(RenderMachine* machine, MaterialAttribute* attribute) override;

    VertexShader* shader() const { return m_shader.get(); }
    VertexConstants& vertexConstants() { return m_constants; }
    // The text of the last program generated.
    const std::string& text() const { return m_text; }

private:
    // Puts the fragment `name` of the library into the fragment table.
    void addFragment(const std::string& name);

    RenderMachine* m_machine;
    BlockObject* m_shaderFiles;
    std::vector<MaterialProperties*> m_properties;
    std::vector<MaterialAttribute*> m_attributes;
    std::map<std::pair<float, float>, FileObject*> m_fragments;
    VertexConstants m_constants;
    std::unique_ptr<VertexShader> m_shader;
    std::unique_ptr<MaterialAttribute> m_shaderAttribute;
    Environment* m_environment = nullptr;
    std::string m_text;
    bool m_generated = false;
};

}  // namespace Vexa
