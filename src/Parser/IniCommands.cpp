#include "Parser/IniCommands.h"

#include "Parser/Exceptions.h"
#include "Parser/IniFunction.h"

namespace Vexa {

static const char* const kUnit = "Parser/IniCommands";

namespace CommandKinds {

namespace {
constexpr CommandKind kLoad{"Load"};
constexpr CommandKind kUnload{"Unload"};
constexpr CommandKind kPrint{"Print"};
constexpr CommandKind kUpdate{"Update"};
constexpr CommandKind kDraw{"Draw"};
constexpr CommandKind kMouse{"Mouse"};
constexpr CommandKind kKeyboard{"Keyboard"};
constexpr CommandKind kBeginScene{"BeginScene"};
constexpr CommandKind kEndScene{"EndScene"};
constexpr CommandKind kClearScreen{"ClearScreen"};
constexpr CommandKind kSetViewport{"SetViewport"};
constexpr CommandKind kDepthTest{"DepthTest"};
constexpr CommandKind kDepthBias{"DepthBias"};
constexpr CommandKind kDepthFunc{"DepthFunc"};
constexpr CommandKind kSetCulling{"SetCulling"};
constexpr CommandKind kColorWriteMask{"ColorWriteMask"};
constexpr CommandKind kTextureProperties{"TextureProperties"};
constexpr CommandKind kSetFillMode{"SetFillMode"};
constexpr CommandKind kResetState{"ResetState"};
constexpr CommandKind kStoreState{"StoreState"};
constexpr CommandKind kCompareState{"CompareState"};
constexpr CommandKind kApplyMatrix{"ApplyMatrix"};
constexpr CommandKind kCopyTransform{"CopyTransform"};
constexpr CommandKind kSetEnvironmentLight{"SetEnvironmentLight"};
constexpr CommandKind kSetMaterialEnvironment{"SetMaterialEnvironment"};
constexpr CommandKind kDisable{"Disable"};
constexpr CommandKind kSetupTextureRendering{"SetupTextureRendering"};
constexpr CommandKind kLookAt{"LookAt"};
constexpr CommandKind kLwCameraPosition{"LwCameraPosition"};
constexpr CommandKind kSetCameraTransform{"SetCameraTransform"};
constexpr CommandKind kSetTexture{"SetTexture"};
constexpr CommandKind kRangeDraw{"RangeDraw"};
}  // namespace

const CommandKind* Load() { return &kLoad; }
const CommandKind* Unload() { return &kUnload; }
const CommandKind* Print() { return &kPrint; }
const CommandKind* Update() { return &kUpdate; }
const CommandKind* Draw() { return &kDraw; }
const CommandKind* Mouse() { return &kMouse; }
const CommandKind* Keyboard() { return &kKeyboard; }
const CommandKind* BeginScene() { return &kBeginScene; }
const CommandKind* EndScene() { return &kEndScene; }
const CommandKind* ClearScreen() { return &kClearScreen; }
const CommandKind* SetViewport() { return &kSetViewport; }
const CommandKind* DepthTest() { return &kDepthTest; }
const CommandKind* DepthBias() { return &kDepthBias; }
const CommandKind* DepthFunc() { return &kDepthFunc; }
const CommandKind* SetCulling() { return &kSetCulling; }
const CommandKind* ColorWriteMask() { return &kColorWriteMask; }
const CommandKind* TextureProperties() { return &kTextureProperties; }
const CommandKind* SetFillMode() { return &kSetFillMode; }
const CommandKind* ResetState() { return &kResetState; }
const CommandKind* StoreState() { return &kStoreState; }
const CommandKind* CompareState() { return &kCompareState; }
const CommandKind* ApplyMatrix() { return &kApplyMatrix; }
const CommandKind* CopyTransform() { return &kCopyTransform; }
const CommandKind* SetEnvironmentLight() { return &kSetEnvironmentLight; }
const CommandKind* SetMaterialEnvironment() { return &kSetMaterialEnvironment; }
const CommandKind* Disable() { return &kDisable; }
const CommandKind* SetupTextureRendering() { return &kSetupTextureRendering; }
const CommandKind* LookAt() { return &kLookAt; }
const CommandKind* LwCameraPosition() { return &kLwCameraPosition; }
const CommandKind* SetCameraTransform() { return &kSetCameraTransform; }
const CommandKind* SetTexture() { return &kSetTexture; }
const CommandKind* RangeDraw() { return &kRangeDraw; }

}  // namespace CommandKinds

std::string CommandObject::toString() const {
    return std::string("[Command ") + commandKind()->name + "]";
}

namespace {

// "Load", "Draw", ...: makes a SimpleCommand of its kind with time 0.
class SimpleCommandCreator : public IniFunction {
public:
    explicit SimpleCommandCreator(const CommandKind* kind) : m_kind(kind) {}
    IniObject* create() override {
        const bool hasParameters = !IniObject::isOfType(argument(), Types::Tuple()) ||
                                   static_cast<TupleObject*>(argument())->size() > 0;
        if (hasParameters) VEXA_THROW(ParseException, "Simple command takes no parameters.");
        return new SimpleCommand(0.0f, m_kind);
    }

private:
    const CommandKind* m_kind;
};

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

const FunctionEntry kFunctions[] = {
    {"Load", &s_load},
    {"Unload", &s_unload},
    {"Print", &s_print},
    {"Update", &s_update},
    {"Draw", &s_draw},
    {"BeginScene", &s_beginScene},
    {"EndScene", &s_endScene},
    {"ResetState", &s_resetState},
    {"StoreState", &s_storeState},
    {"Disable", &s_disable},
    {"SetupTextureRendering", &s_setupTextureRendering},
};
const FunctionRegistrar s_registrar(kFunctions);

}  // namespace

}  // namespace Vexa
