#include "Parser/IniCommands.h"

#include "Parser/Exceptions.h"

namespace Vexa {

static const char* const kUnit = "Parser/IniCommands";

namespace CommandKinds {
#define VEXA_KIND(name)                         \
    const CommandKind* name() {                 \
        static const CommandKind kind{#name};   \
        return &kind;                           \
    }
VEXA_KIND(Load)
VEXA_KIND(Unload)
VEXA_KIND(Print)
VEXA_KIND(Update)
VEXA_KIND(Draw)
VEXA_KIND(Mouse)
VEXA_KIND(Keyboard)
VEXA_KIND(BeginScene)
VEXA_KIND(EndScene)
VEXA_KIND(ClearScreen)
VEXA_KIND(SetViewport)
VEXA_KIND(DepthTest)
VEXA_KIND(DepthBias)
VEXA_KIND(DepthFunc)
VEXA_KIND(SetCulling)
VEXA_KIND(ColorWriteMask)
VEXA_KIND(TextureProperties)
VEXA_KIND(SetFillMode)
VEXA_KIND(ResetState)
VEXA_KIND(StoreState)
VEXA_KIND(CompareState)
VEXA_KIND(ApplyMatrix)
VEXA_KIND(CopyTransform)
VEXA_KIND(SetEnvironmentLight)
VEXA_KIND(SetMaterialEnvironment)
VEXA_KIND(Disable)
VEXA_KIND(SetupTextureRendering)
VEXA_KIND(LookAt)
VEXA_KIND(LwCameraPosition)
VEXA_KIND(SetCameraTransform)
VEXA_KIND(SetTexture)
VEXA_KIND(RangeDraw)
#undef VEXA_KIND
}  // namespace CommandKinds

std::string CommandObject::toString() const {
    return std::string("[Command ") + commandKind()->name + "]";
}

SimpleCommandCreator::SimpleCommandCreator(const CommandKind* kind)
    : IniFunction(kind->name), m_kind(kind) {}

IniObject* SimpleCommandCreator::create() {
    const bool hasParameters = !IniObject::isOfType(argument(), Types::Tuple()) ||
                               static_cast<TupleObject*>(argument())->size() > 0;
    if (hasParameters) VEXA_THROW(ParseException, "Simple command takes no parameters.");
    return new SimpleCommand(0.0f, m_kind);
}

namespace {
SimpleCommandCreator s_load(CommandKinds::Load());
SimpleCommandCreator s_unload(CommandKinds::Unload());
SimpleCommandCreator s_print(CommandKinds::Print());
SimpleCommandCreator s_update(CommandKinds::Update());
SimpleCommandCreator s_draw(CommandKinds::Draw());
SimpleCommandCreator s_beginScene(CommandKinds::BeginScene());
SimpleCommandCreator s_endScene(CommandKinds::EndScene());
SimpleCommandCreator s_resetState(CommandKinds::ResetState());
SimpleCommandCreator s_storeState(CommandKinds::StoreState());
SimpleCommandCreator s_disable(CommandKinds::Disable());
SimpleCommandCreator s_setupTextureRendering(CommandKinds::SetupTextureRendering());
}  // namespace

}  // namespace Vexa
