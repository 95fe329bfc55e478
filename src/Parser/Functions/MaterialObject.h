#pragma once
// Materials: an ordered list of render-state attributes switched on before
// geometry is drawn (Draw) and switched off after it (Disable). Each
// attribute is a small script object (texture stage, texture factor, alpha
// test, blend, fog, vertex or pixel shader) that sets its piece of state on
// the render machine and puts it back.
//
// Disable leaves the machine as a Draw found it when that was the machine's
// default state, which is what every drawing object leaves behind: an
// attribute switches its state off and returns what it changed beside the
// switch (blend function, alpha function, fog colour, coordinate generation,
// texture matrix) to the defaults.
#include <deque>
#include <memory>
#include <utility>
#include <vector>

#include "Parser/Functions/Environment.h"
#include "Parser/IniCommands.h"
#include "Parser/IniObject.h"
#include "Rendering/Common/RenderMachine.h"

namespace Vexa {

class DataBlock;

namespace Types {
const TypeObject* Material();
const TypeObject* TextureCombinerStage();
const TypeObject* TextureStage();
const TypeObject* TextureFactor();
const TypeObject* AlphaTest();
const TypeObject* Blend();
const TypeObject* Fog();
const TypeObject* VertexShader();
const TypeObject* PixelShader();
const TypeObject* VertexConstants();
const TypeObject* PixelConstants();
}  // namespace Types

// One piece of render state a material switches on and off. Every attribute
// is also an IniObject; the material refers to it without owning it.
class MaterialAttribute {
public:
    virtual ~MaterialAttribute() = default;
    // The environment now current in the material (null for none).
    virtual void setEnvironment(Environment* /*environment*/) {}
    // Refreshes state that may have changed since the last apply.
    virtual void update(RenderMachine* /*machine*/) {}
    virtual void apply(RenderMachine* machine) = 0;
    // Undoes what apply set.
    virtual void restore(RenderMachine* /*machine*/) {}
};

// The combiner record of a new stage: enabled, texture times current.
TextureCombinerStage defaultCombinerStage();

// A texture on a stage, written once in terms of the getters so that stages
// made by other code only supply them.
class TextureAttribute : public MaterialAttribute {
public:
    virtual Texture* getTexture() = 0;
    virtual int getStage() const = 0;
    virtual void getTransform(Matrix& transform) const = 0;
    virtual int getGenMode() const = 0;
    virtual const TextureCombinerStage* getCombinerStage() const = 0;
    void apply(RenderMachine* machine) override;
    void restore(RenderMachine* machine) override;
};

class AlphaTestAttribute : public MaterialAttribute {
public:
    virtual int getFunction() const = 0;
    virtual float getReference() const = 0;
    void apply(RenderMachine* machine) override;
    void restore(RenderMachine* machine) override;
};

class AlphaBlendAttribute : public MaterialAttribute {
public:
    virtual void getConstant(float constant[4]) const = 0;
    virtual int getOperation() const = 0;
    virtual int getDestination() const = 0;
    virtual int getSource() const = 0;
    void apply(RenderMachine* machine) override;
    void restore(RenderMachine* machine) override;
};

// Fog switched on with the colour, equation and distances of `getFog`.
class FogAttribute : public MaterialAttribute {
public:
    virtual void getFog(Fog& fog) const = 0;
    void apply(RenderMachine* machine) override;
    void restore(RenderMachine* machine) override;
};

// Shader constants kept in blocks of registers. A block is made on the first
// request for its first register and its data then stays where it is, so
// that animated values can be bound into it.
class ConstantBlocks {
public:
    enum ValueType { FLOATS = 0, BOOLS = 1, INTS = 2 };
    struct Block {
        int valueType = FLOATS;
        int first = 0;
        int count = 0;
        std::vector<float> floats;  // four per register
        std::vector<int> ints;      // one per register (bools) or four (ints)
    };
    // The float block at `first` of `count` registers, zero when new. A block
    // asked for again with another type or size is remade in place; its old
    // data is kept alive, so a value bound into it never writes freed memory.
    float* floats(int first, int count = 1);
    int* ints(ValueType type, int first, int count);
    const std::deque<Block>& blocks() const { return m_blocks; }

protected:
    Block& block(ValueType type, int first, int count);

private:
    std::deque<Block> m_blocks;
    std::deque<Block> m_retired;
};

// Vertex constants: automatic matrices (one entry per kind) loaded first,
// then the blocks, in the order they were made.
class VertexConstants : public ConstantBlocks {
public:
    struct Automatic {
        int first;
        int kind;
    };
    // Adds the automatic matrix of `kind` at `first`, or moves it there.
    void setAutomatic(int first, int kind);
    void apply(RenderMachine* machine) const;
    const std::vector<Automatic>& automatics() const { return m_automatics; }

private:
    std::vector<Automatic> m_automatics;
};

class PixelConstants : public ConstantBlocks {
public:
    void apply(RenderMachine* machine) const;
};

class VertexConstantsObject : public IniObject {
public:
    const TypeObject* type() const override { return Types::VertexConstants(); }
    VertexConstants& constants() { return m_constants; }

private:
    VertexConstants m_constants;
};

class PixelConstantsObject : public IniObject {
public:
    const TypeObject* type() const override { return Types::PixelConstants(); }
    PixelConstants& constants() { return m_constants; }

private:
    PixelConstants m_constants;
};

// A vertex shader and its constants; apply selects the shader (null turns
// the programmable stage off) and loads the constants.
class VertexShaderAttribute : public MaterialAttribute {
public:
    virtual VertexShader* getShader() = 0;
    virtual VertexConstants* getConstants() = 0;
    void apply(RenderMachine* machine) override;
    void restore(RenderMachine* machine) override;
};

class PixelShaderAttribute : public MaterialAttribute {
public:
    virtual PixelShader* getShader() = 0;
    virtual PixelConstants* getConstants() = 0;
    void apply(RenderMachine* machine) override;
    void restore(RenderMachine* machine) override;
};

// Code that builds attributes for a material (a shader generator, say). The
// material takes the generator's attributes when it is loaded and tells it
// the environment.
class MaterialGenerator : public IniObject {
public:
    virtual const std::vector<MaterialAttribute*>& attributes() const = 0;
    virtual void setEnvironment(Environment* environment) = 0;
    // Called through a generated attribute each time it is applied.
    virtual void update(RenderMachine* machine, MaterialAttribute* attribute) = 0;
};

class SetMaterialEnvironmentCommand : public CommandObject {
public:
    explicit SetMaterialEnvironmentCommand(Environment* environment)
        : CommandObject(0), environment(environment) {}
    const CommandKind* commandKind() const override {
        return CommandKinds::SetMaterialEnvironment();
    }
    Environment* environment;
};

// Draw applies every attribute in list order, Update refreshes them, Disable
// restores them in the same order (not reversed); SetMaterialEnvironment
// hands the environment to every attribute. Load appends the generator's
// attributes (again after an Unload) and announces the environment.
class MaterialObject : public IniObject {
public:
    explicit MaterialObject(RenderMachine* machine) : m_machine(machine) {}
    const TypeObject* type() const override { return Types::Material(); }
    void execute(CommandObject& command) override;
    bool isLoaded() const override { return m_loaded; }
    void load() override;
    void unload() override { m_loaded = false; }

    void addAttribute(MaterialAttribute* attribute) { m_attributes.push_back(attribute); }
    void setGenerator(MaterialGenerator* generator) { m_generator = generator; }
    // Makes `environment` current and tells every attribute.
    void setEnvironment(Environment* environment);
    Environment* environment() const { return m_environment; }
    const std::vector<MaterialAttribute*>& attributes() const { return m_attributes; }

private:
    RenderMachine* m_machine;
    Environment* m_environment = nullptr;
    std::vector<MaterialAttribute*> m_attributes;
    MaterialGenerator* m_generator = nullptr;
    bool m_loaded = false;
};

class TextureCombinerStageObject : public IniObject {
public:
    const TypeObject* type() const override { return Types::TextureCombinerStage(); }
    TextureCombinerStage stage = defaultCombinerStage();
};

// A texture object on a stage. The texture matrix follows a bound transform;
// "useTransform" and "transformSource" are kept for shader generators.
class TextureStageObject : public IniObject, public TextureAttribute {
public:
    TextureStageObject(TextureObject* texture, int stage) : m_texture(texture), m_stage(stage) {}
    const TypeObject* type() const override { return Types::TextureStage(); }
    Texture* getTexture() override;
    int getStage() const override { return m_stage; }
    void getTransform(Matrix& transform) const override { transform = m_transform; }
    int getGenMode() const override { return m_genMode; }
    const TextureCombinerStage* getCombinerStage() const override { return &m_combiner; }

    void setStage(int stage) { m_stage = stage; }
    void setGenMode(int mode) { m_genMode = mode; }
    void setUseTransform(bool use) { m_useTransform = use; }
    bool useTransform() const { return m_useTransform; }
    void setTransformSource(int source) { m_transformSource = source; }
    int transformSource() const { return m_transformSource; }
    void setCombinerStage(const TextureCombinerStage& combiner) { m_combiner = combiner; }
    // Where a bound transform writes the texture matrix.
    Matrix* transformField() { return &m_transform; }

private:
    TextureObject* m_texture;
    int m_stage;
    bool m_useTransform = false;
    Matrix m_transform;
    int m_transformSource = SOURCE_NONE;
    TextureCombinerStage m_combiner = defaultCombinerStage();
    int m_genMode = GEN_DISABLE;
};

class TextureFactorObject : public IniObject, public MaterialAttribute {
public:
    const TypeObject* type() const override { return Types::TextureFactor(); }
    void apply(RenderMachine* machine) override;
    void restore(RenderMachine* machine) override;
    Vec4f factor{{1, 1, 1, 1}};
};

class AlphaTestObject : public IniObject, public AlphaTestAttribute {
public:
    const TypeObject* type() const override { return Types::AlphaTest(); }
    int getFunction() const override { return function; }
    float getReference() const override { return reference; }
    int function = ALWAYS;
    float reference = 0.0f;
};

class BlendObject : public IniObject, public AlphaBlendAttribute {
public:
    const TypeObject* type() const override { return Types::Blend(); }
    void getConstant(float out[4]) const override;
    int getOperation() const override { return operation; }
    int getDestination() const override { return destination; }
    int getSource() const override { return source; }
    Vec4f constant{{1, 1, 1, 1}};
    int operation = ADD;
    int destination = ZERO;
    int source = ONE;
};

// The fog of the environment when it has an enabled one, else its own.
class FogObject : public IniObject, public FogAttribute {
public:
    const TypeObject* type() const override { return Types::Fog(); }
    void setEnvironment(Environment* environment) override { m_environment = environment; }
    void getFog(Fog& out) const override;
    Fog fog;

private:
    Environment* m_environment = nullptr;
};

// Makes and deletes the shader of a shader object.
template <typename Shader>
class ShaderLoader {
public:
    virtual ~ShaderLoader() = default;
    virtual std::unique_ptr<Shader> load() = 0;
    virtual void unload(std::unique_ptr<Shader> shader) { shader.reset(); }
};

// Compiles the text of a file (loaded for the purpose when it is not).
template <typename Shader>
class FileShaderLoader : public ShaderLoader<Shader> {
public:
    FileShaderLoader(RenderMachine* machine, DataBlock* file) : m_machine(machine), m_file(file) {}
    std::unique_ptr<Shader> load() override;

private:
    RenderMachine* m_machine;
    DataBlock* m_file;
};

// A shader loaded from a file on Load and deleted on Unload; until then it
// applies a null shader.
template <typename Shader, typename Attribute, typename ConstantsObject,
          const TypeObject* (*kType)()>
class ShaderObject : public IniObject, public Attribute {
public:
    using Constants = decltype(&std::declval<ConstantsObject&>().constants());
    ShaderObject(std::unique_ptr<ShaderLoader<Shader>> loader, ConstantsObject* constants)
        : m_loader(std::move(loader)), m_constants(constants) {}
    ~ShaderObject() override { unload(); }
    const TypeObject* type() const override { return kType(); }
    bool isLoaded() const override { return m_shader != nullptr; }
    void load() override {
        if (!m_shader) m_shader = m_loader->load();
    }
    void unload() override {
        if (m_shader) m_loader->unload(std::move(m_shader));
    }
    Shader* getShader() override { return m_shader.get(); }
    Constants getConstants() override { return &m_constants->constants(); }
    void update(RenderMachine* machine) override { getConstants()->apply(machine); }

private:
    std::unique_ptr<ShaderLoader<Shader>> m_loader;
    std::unique_ptr<Shader> m_shader;
    ConstantsObject* m_constants;
};

using VertexShaderObject =
    ShaderObject<VertexShader, VertexShaderAttribute, VertexConstantsObject, &Types::VertexShader>;
using PixelShaderObject =
    ShaderObject<PixelShader, PixelShaderAttribute, PixelConstantsObject, &Types::PixelShader>;

}  // namespace Vexa
