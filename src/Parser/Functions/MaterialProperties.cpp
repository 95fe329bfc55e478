#include "Parser/Functions/MaterialProperties.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <string>

#include "Parser/Exceptions.h"
#include "Parser/Functions/FileObject.h"
#include "Parser/Functions/RenderingObjects.h"
#include "Parser/Functions/TransformObject.h"
#include "Parser/IniFunction.h"

namespace Vexa {

static const char* const kUnit = "Parser/Functions/MaterialProperties";

namespace Types {
VEXA_DEFINE_TYPE(MaterialProperties, "MaterialProperties")
VEXA_DEFINE_TYPE(BasicMaterialProperties, "BasicMaterialProperties")
VEXA_DEFINE_TYPE(ShadowMaterialProperties, "ShadowMaterialProperties")
VEXA_DEFINE_TYPE(SimpleGenerator, "SimpleGenerator")
}  // namespace Types

namespace {

// Registers the generator writes while a material is drawn.
constexpr int kLightPosition = 24;
constexpr int kLightDirection = 25;
constexpr int kLightDiffuse = 26;
constexpr int kTextureMatrices = 84;  // four registers per stage number

// The first piece of a texture output fragment's name, by coordinate
// generation; reflection and sphere-map generation have none.
const struct {
    int mode;
    const char* piece;
} kGenPieces[] = {{GEN_DISABLE, "direct"}, {GEN_VERTEX, "vertex"}, {GEN_NORMAL, "normal"}};

const char* genPiece(int mode) {
    for (const auto& g : kGenPieces)
        if (g.mode == mode) return g.piece;
    return "";
}

// The lighting fragment for the type of light; spot lights have none.
const struct {
    int type;
    const char* fragment;
} kLightFragments[] = {{POINT_LIGHT, "pointLightND"}, {DIRECTIONAL_LIGHT, "directionalLightND"}};

// `matrix` applied to (v, w), with w of the result stored as 0.
void writeTransformed(float* out, const Matrix& matrix, const Vec3f& v, float w) {
    const Vec4f p = transformPoint(matrix, Vec4f{{v[0], v[1], v[2], w}});
    for (int i = 0; i < 3; ++i) out[i] = p[i];
    out[3] = 0.0f;
}

// The generated program with the generator's constants. Applying it first
// brings the constants up to date for the world matrix of this draw.
class GeneratedShaderAttribute : public VertexShaderAttribute {
public:
    explicit GeneratedShaderAttribute(SimpleGeneratorObject* generator) : m_generator(generator) {}
    VertexShader* getShader() override { return m_generator->shader(); }
    VertexConstants* getConstants() override { return &m_generator->vertexConstants(); }
    void setEnvironment(Environment* environment) override {
        m_generator->setEnvironment(environment);
    }
    void update(RenderMachine* machine) override { m_generator->update(machine, this); }
    void apply(RenderMachine* machine) override {
        m_generator->update(machine, this);
        VertexShaderAttribute::apply(machine);
    }

private:
    SimpleGeneratorObject* m_generator;
};

}  // namespace

// ---- material properties ---------------------------------------------------------------

const TypeObject* BasicMaterialPropertiesObject::propertiesType() const {
    return Types::BasicMaterialProperties();
}

void BasicMaterialPropertiesObject::addStage(TextureStageObject* stage) {
    m_stages.push_back(stage);
    m_attributes.push_back(stage);
}

// The light cube is looked up by the normal turned into world space: the
// coordinates are the normal and the stage's matrix is the world matrix.
void BasicMaterialPropertiesObject::setLightCube(TextureObject* cube) {
    auto* stage = new TextureStageObject(cube, 0);
    stage->hold(cube);
    hold(stage);
    stage->setGenMode(GEN_NORMAL);
    stage->setUseTransform(true);
    stage->setTransformSource(SOURCE_NONE);
    m_lightCube = stage;
    m_attributes.push_back(stage);
}

// Numbers the stages (light cube first) and names the fragments: the
// declarations, the lighting of the environment's first light (or the
// light cube, which replaces it), the outputs, and one texture output per
// stage. With no light there is nothing to shade, and no names.
void BasicMaterialPropertiesObject::load() {
    std::array<TextureStageObject*, kStages> slots{};
    int n = 0;
    if (m_lightCube) slots[static_cast<std::size_t>(n++)] = m_lightCube;
    for (TextureStageObject* stage : m_stages) {
        stage->setStage(n);
        slots[static_cast<std::size_t>(n++)] = stage;
    }
    m_fragmentNames.clear();
    const Light* light = m_environment ? m_environment->light(0) : nullptr;
    if (!light) return;
    std::vector<std::string>& names = m_fragmentNames;
    names = {"vertexDeclaration", "normalDeclaration"};
    for (int i = 0; i < kStages; ++i) {
        const TextureStageObject* stage = slots[static_cast<std::size_t>(i)];
        if (stage && stage->getGenMode() == GEN_DISABLE)
            names.push_back("texDeclaration" + std::to_string(i));
    }
    if (m_lightCube) {
        names.insert(names.end(), {"transformedVertexOutput", "materialDiffuseOutput"});
    } else {
        for (const auto& f : kLightFragments)
            if (f.type == light->type) names.push_back(f.fragment);
        names.insert(names.end(), {"basicMaterialCalculation", "transformedVertexOutput",
                                   "processedDiffuseOutput"});
    }
    for (int i = 0; i < kStages; ++i) {
        const TextureStageObject* stage = slots[static_cast<std::size_t>(i)];
        if (!stage) continue;
        std::string name = genPiece(stage->getGenMode());
        if (stage->useTransform())
            name += stage->transformSource() == SOURCE_WORLD ? "World" : "Matrix";
        names.push_back(name + "TextureOutput" + std::to_string(i));
    }
}

// Register 80: the base colour; 81: luminosity, diffuse, specular and the
// specular exponent made from the glossiness.
void BasicMaterialPropertiesObject::writeVertexConstants() {
    if (!m_constants) return;
    float* color = m_constants->floats(80);
    for (int i = 0; i < 3; ++i) color[i] = baseColor[i];
    color[3] = 1.0f;
    float* material = m_constants->floats(81);
    material[0] = luminosity;
    material[1] = diffuse;
    material[2] = specular;
    material[3] = glossiness * 10.0f + 2.0f;
}

const TypeObject* ShadowMaterialPropertiesObject::propertiesType() const {
    return Types::ShadowMaterialProperties();
}

void ShadowMaterialPropertiesObject::load() {
    m_fragmentNames = {"pointLightND", "shadowCalculation", "processedVertexOutput"};
}

void ShadowMaterialPropertiesObject::setVertexConstants(VertexConstants* target) {
    m_constants = target;
    const float first[4] = {0.1f, 0, 0, 0};
    const float second[4] = {15, 15, 15, 0};
    std::copy(first, first + 4, target->floats(64));
    std::copy(second, second + 4, target->floats(65));
}

// ---- generator -------------------------------------------------------------------------

// The constant set starts with what every generated program reads: the
// transform into clip space in registers 0 to 3, zeros in 16, ones in 17.
SimpleGeneratorObject::SimpleGeneratorObject(RenderMachine* machine, BlockObject* shaderFiles,
                                             std::vector<MaterialProperties*> properties)
    : m_machine(machine),
      m_shaderFiles(shaderFiles),
      m_properties(std::move(properties)),
      m_shaderAttribute(std::make_unique<GeneratedShaderAttribute>(this)) {
    m_constants.setAutomatic(0, 0);
    m_constants.floats(16);
    std::fill_n(m_constants.floats(17), 4, 1.0f);
}

SimpleGeneratorObject::~SimpleGeneratorObject() = default;

// A fragment is bound in the library's `vertexShaders` block to
// ( key0 key1 file ); a later fragment with the same keys replaces it.
void SimpleGeneratorObject::addFragment(const std::string& name) {
    const IniObject* library = m_shaderFiles->lookup("vertexShaders");
    if (!IniObject::isOfType(library, Types::Block()))
        VEXA_THROW(ResourceNotFound, "vertexShaders");
    const IniObject* binding = static_cast<const BlockObject*>(library)->lookup(name);
    if (!binding) VEXA_THROW(ResourceNotFound, "vertexShaders." + name);
    const auto* tuple = static_cast<const TupleObject*>(binding);
    if (!IniObject::isOfType(binding, Types::Tuple()) || tuple->size() != 3 ||
        !IniObject::isOfType(tuple->at(0), Types::Number()) ||
        !IniObject::isOfType(tuple->at(1), Types::Number()) ||
        !IniObject::isOfType(tuple->at(2), Types::File()))
        VEXA_THROW(ResourceCorrupted, "vertexShaders." + name);
    const float key0 = static_cast<const NumberObject*>(tuple->at(0))->value();
    const float key1 = static_cast<const NumberObject*>(tuple->at(1))->value();
    if (std::isnan(key0) || std::isnan(key1))
        VEXA_THROW(ResourceCorrupted, "vertexShaders." + name);
    m_fragments[{key0, key1}] = static_cast<FileObject*>(tuple->at(2));
}

// Joins the fragments "header", "end" and those the properties name, in
// key order, and creates the program. The texture stages of the properties
// and the program's attribute become the material's attributes.
void SimpleGeneratorObject::load() {
    m_generated = false;
    m_attributes.clear();
    m_fragments.clear();
    addFragment("header");
    addFragment("end");
    for (const MaterialProperties* p : m_properties)
        for (const std::string& name : p->fragmentNames()) addFragment(name);
    std::string text;
    for (const auto& entry : m_fragments) {
        FileObject* file = entry.second;
        const bool loadedHere = !file->isLoaded();
        if (loadedHere) file->load();
        if (const char* data = file->dataBlock()->data()) text += data;
        if (loadedHere) file->unload();
    }
    for (MaterialProperties* p : m_properties) {
        p->setVertexConstants(&m_constants);
        m_attributes.insert(m_attributes.end(), p->attributes().begin(), p->attributes().end());
    }
    m_shader.reset();
    if (!text.empty()) {
        m_shader.reset(m_machine->createVertexShader(text.c_str()));
        m_attributes.push_back(m_shaderAttribute.get());
    }
    m_text = std::move(text);
    m_generated = true;
}

void SimpleGeneratorObject::unload() {
    m_shader.reset();
    m_generated = false;
}

void SimpleGeneratorObject::setEnvironment(Environment* environment) {
    m_environment = environment;
    for (MaterialProperties* p : m_properties) p->setEnvironment(environment);
}

// Writes the first light of the environment in object space (a singular
// world matrix keeps the previous position and direction), the world
// matrix in rows for every stage that uses a transform, and the properties'
// own values.
void SimpleGeneratorObject::update(RenderMachine* machine, MaterialAttribute*) {
    const Matrix world = *machine->getMatrix(MATRIX_WORLD);
    if (const Light* light = m_environment ? m_environment->light(0) : nullptr) {
        Matrix inverse;
        if (invert(world, inverse)) {
            writeTransformed(m_constants.floats(kLightPosition), inverse, light->position, 1.0f);
            writeTransformed(m_constants.floats(kLightDirection), inverse, light->direction, 0.0f);
        }
        std::copy(light->diffuse.v, light->diffuse.v + 4, m_constants.floats(kLightDiffuse));
    }
    for (MaterialProperties* p : m_properties) {
        for (const TextureStageObject* stage : p->attributes()) {
            if (!stage->useTransform()) continue;
            float* rows = m_constants.floats(kTextureMatrices + 4 * stage->getStage(), 4);
            for (int i = 0; i < 4; ++i)
                for (int j = 0; j < 4; ++j) rows[4 * i + j] = world.at(i, j);
        }
        p->writeVertexConstants();
    }
}

// ---- script functions ------------------------------------------------------------------

namespace {

/* BasicMaterialProperties { [baseColor] [luminosity] [diffuse] [specular] [glossiness]
                             [lightCube] [textures = ( n stage ... )] } */
class F_BasicMaterialProperties : public IniFunction {
public:
    IniObject* create() override {
        auto object = std::make_unique<BasicMaterialPropertiesObject>();
        bindVec3IfGiven("baseColor", &object->baseColor);
        bindNumberIfGiven("luminosity", &object->luminosity);
        bindNumberIfGiven("diffuse", &object->diffuse);
        bindNumberIfGiven("specular", &object->specular);
        bindNumberIfGiven("glossiness", &object->glossiness);
        if (has("textures")) {
            for (IniObject* stage : pairedObjects(getRecordedObject("textures", nullptr),
                                                  "textures", Types::TextureStage()))
                object->addStage(static_cast<TextureStageObject*>(stage));
        }
        TextureObject* cube = nullptr;
        if (has("lightCube")) {
            cube = textureObjectOf(getRecordedObject("lightCube", nullptr));
            if (!cube) VEXA_THROW(FunctionParseException, "lightCube has invalid format.");
        }
        if (object->stageCount() + (cube ? 1 : 0) > BasicMaterialPropertiesObject::kStages)
            VEXA_THROW(FunctionParseException,
                       "More than 8 texture stages (the light cube takes one).");
        if (cube) object->setLightCube(cube);
        return object.release();
    }
};

/* ShadowMaterialProperties ( ) */
class F_ShadowMaterialProperties : public IniFunction {
public:
    IniObject* create() override { return new ShadowMaterialPropertiesObject(); }
};

/* SimpleGenerator ( properties ... ), with graphicsSystem and shaderFiles in scope */
class F_SimpleGenerator : public IniFunction {
public:
    IniObject* create() override {
        RenderMachine* machine =
            renderMachineOf(getRecordedObject("graphicsSystem", Types::GraphicsSystem()));
        auto* files = static_cast<BlockObject*>(getRecordedObject("shaderFiles", Types::Block()));
        std::vector<MaterialProperties*> properties;
        for (int i = 0; i < count(); ++i)
            properties.push_back(static_cast<MaterialProperties*>(
                getRecordedElement(i, Types::MaterialProperties())));
        return new SimpleGeneratorObject(machine, files, std::move(properties));
    }
};

F_BasicMaterialProperties s_basicMaterialProperties;
F_ShadowMaterialProperties s_shadowMaterialProperties;
F_SimpleGenerator s_simpleGenerator;

const FunctionEntry kFunctions[] = {
    {"BasicMaterialProperties", &s_basicMaterialProperties},
    {"ShadowMaterialProperties", &s_shadowMaterialProperties},
    {"SimpleGenerator", &s_simpleGenerator},
};
const FunctionRegistrar s_registrar(kFunctions);

}  // namespace

}  // namespace Vexa
