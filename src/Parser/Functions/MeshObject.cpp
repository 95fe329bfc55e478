#include "Parser/Functions/MeshObject.h"

#include <string>

#include "Mesh/Processing/MorphTargets.h"
#include "Mesh/Processing/NormalCalculator.h"
#include "Mesh/Processing/R3DReader.h"
#include "Mesh/Processing/Tesselation.h"
#include "Mesh/ProductMesh.h"
#include "Parser/Exceptions.h"
#include "Parser/Functions/FileObject.h"
#include "Parser/Functions/MaterialObject.h"
#include "Parser/Functions/RenderingObjects.h"
#include "Parser/Functions/TransformObject.h"
#include "Parser/IniFunction.h"

namespace Vexa {

static const char* const kUnit = "Parser/Functions/MeshObject";

namespace Types {
VEXA_DEFINE_TYPE(Mesh, "Mesh")
VEXA_DEFINE_TYPE(SceneTriple, "SceneTriple")
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

R3DMeshObject::R3DMeshObject(std::unique_ptr<ProductMesh> mesh, MorphTargetProcessor* morph,
                             std::vector<const NumberObject*> weights)
    : MeshObject(std::move(mesh)), m_morph(morph), m_weights(std::move(weights)) {
    m_mesh = static_cast<ProductMesh*>(primitive());
    for (std::size_t k = 0; k < m_weights.size(); ++k) {
        m_applied.push_back(m_weights[k]->value());
        if (m_morph) m_morph->setWeight(k, m_applied.back());
    }
}

// New weights are blended and passed down the chain again, and the streams
// refilled; unchanged weights cost one comparison each.
void R3DMeshObject::updateWeights() {
    if (!m_morph) return;
    bool changed = false;
    for (std::size_t k = 0; k < m_weights.size(); ++k) {
        const float weight = m_weights[k]->value();
        if (weight == m_applied[k]) continue;
        m_applied[k] = weight;
        m_morph->setWeight(k, weight);
        changed = true;
    }
    if (changed && m_mesh->isLoaded()) m_mesh->rebuild();
}

namespace {

bool isString(const IniObject* object) { return IniObject::isOfType(object, Types::String()); }

std::string textOf(const IniObject* object) {
    return static_cast<const StringObject*>(object)->value();
}

class R3DMeshFunction : public IniFunction {
protected:
    // The named tuple parameter, with an even number of elements.
    const TupleObject& pairs(const char* name, const std::string& invalid) {
        const auto& tuple =
            *static_cast<const TupleObject*>(getRecordedObject(name, Types::Tuple()));
        if (tuple.size() % 2 != 0) VEXA_THROW(FunctionParseException, invalid);
        return tuple;
    }

    // vertex_format -> ( name source ... ), source -> String | ( String ... )
    std::vector<R3DReader::ExtraProperty> vertexFormat() {
        std::vector<R3DReader::ExtraProperty> extras;
        if (!has("vertex_format")) return extras;
        const std::string invalid = "vertex_format has invalid format.";
        const TupleObject& tuple = pairs("vertex_format", invalid);
        for (std::size_t i = 0; i < tuple.size(); i += 2) {
            if (!isString(tuple.at(i))) VEXA_THROW(FunctionParseException, invalid);
            R3DReader::ExtraProperty extra;
            extra.name = textOf(tuple.at(i));
            const IniObject* source = tuple.at(i + 1);
            if (isString(source)) {
                extra.sources.push_back(textOf(source));
            } else if (IniObject::isOfType(source, Types::Tuple())) {
                for (const IniObject* name : static_cast<const TupleObject*>(source)->elements()) {
                    if (!isString(name)) VEXA_THROW(FunctionParseException, invalid);
                    extra.sources.push_back(textOf(name));
                }
            } else {
                VEXA_THROW(FunctionParseException, invalid);
            }
            extras.push_back(std::move(extra));
        }
        return extras;
    }
};

/* R3DMesh { graphicsSystem file [vertex_format] [endomorph = ( target weight ... )]
             [calculate_normals] [smoothing_angle] } */
class F_R3DMesh : public R3DMeshFunction {
public:
    IniObject* create() override {
        RenderMachine* machine =
            renderMachineOf(getRecordedObject("graphicsSystem", Types::GraphicsSystem()));
        auto* file = static_cast<FileObject*>(getRecordedObject("file", Types::File()));
        std::unique_ptr<MeshDataProducer> chain =
            std::make_unique<R3DReader>(file->dataBlock(), vertexFormat());

        MorphTargetProcessor* morph = nullptr;
        std::vector<const NumberObject*> weights;
        if (has("endomorph")) {
            const std::string invalid = "endomorph has invalid format.";
            const TupleObject& tuple = pairs("endomorph", invalid);
            std::vector<std::string> names;
            for (std::size_t i = 0; i < tuple.size(); i += 2) {
                if (!isString(tuple.at(i)) ||
                    !IniObject::isOfType(tuple.at(i + 1), Types::Number()))
                    VEXA_THROW(FunctionParseException, invalid);
                names.push_back(textOf(tuple.at(i)));
                weights.push_back(static_cast<const NumberObject*>(tuple.at(i + 1)));
            }
            auto processor = std::make_unique<MorphTargetProcessor>(std::move(chain), names);
            morph = processor.get();
            chain = std::move(processor);
        }
        if (getInt("calculate_normals", 1) == 1) {
            const float angle =
                getNumber("smoothing_angle", NormalCalculator::kDefaultSmoothingAngle);
            chain = std::make_unique<NormalCalculator>(std::move(chain), angle);
        }
        chain = std::make_unique<Tesselator>(std::move(chain));
        return new R3DMeshObject(std::make_unique<ProductMesh>(machine, std::move(chain)), morph,
                                 std::move(weights));
    }
};

/* RangeDraw ( start end ) */
class F_RangeDraw : public IniFunction {
public:
    IniObject* create() override {
        auto* start = static_cast<NumberObject*>(element(0, Types::Number()));
        auto* end = static_cast<NumberObject*>(element(1, Types::Number()));
        return new RangeDrawCommand(0.0f, start, end);
    }
};

/* SceneTriple ( mesh transform material )
   SceneTriple { mesh transform material [shadow_mesh] }
   A tuple argument is the positional form; anything else names the parts. */
class F_SceneTriple : public IniFunction {
public:
    IniObject* create() override {
        const bool positional = IniObject::isOfType(argument(), Types::Tuple());
        const auto part = [&](int index, const char* name, const TypeObject* type) {
            return positional ? getRecordedElement(index, type) : getRecordedObject(name, type);
        };
        auto* mesh = static_cast<MeshObject*>(part(0, "mesh", Types::Mesh()));
        auto* transform = static_cast<TransformObject*>(part(1, "transform", Types::Transform()));
        auto* material = static_cast<MaterialObject*>(part(2, "material", Types::Material()));
        Primitive* shadow = nullptr;
        if (!positional && has("shadow_mesh"))
            shadow = static_cast<MeshObject*>(getRecordedObject("shadow_mesh", Types::Mesh()))
                         ->primitive();
        return new SceneTripleObject(mesh->primitive(), shadow, transform, material);
    }
};

F_R3DMesh s_r3dMesh;
F_RangeDraw s_rangeDraw;
F_SceneTriple s_sceneTriple;
const FunctionEntry kFunctions[] = {
    {"R3DMesh", &s_r3dMesh},
    {"RangeDraw", &s_rangeDraw},
    {"SceneTriple", &s_sceneTriple},
};
const FunctionRegistrar s_registrar(kFunctions);

}  // namespace

}  // namespace Vexa
