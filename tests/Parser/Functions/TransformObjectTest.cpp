// Transforms, matrix commands, the camera and the products with transforms,
// driven from scripts against the recording render machine.
#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "Parser/Functions/RenderingObjects.h"
#include "Parser/Functions/TransformObject.h"
#include "Support/RecordingRenderMachine.h"
#include "Support/TestKit.h"

namespace Vexa {
namespace {

using Rows = std::array<float, 16>;  // row by row, as written on paper
constexpr float kQuarter = 1.5707963f;

std::unique_ptr<RenderMachine> makeRecording() { return std::make_unique<RecordingRenderMachine>(); }

std::string describe(const Matrix& m) {
    std::string out;
    for (int row = 0; row < 4; ++row) {
        for (int column = 0; column < 4; ++column) out += formatFloat(m.at(row, column)) + " ";
        out += "| ";
    }
    return out;
}

::testing::AssertionResult matches(const Matrix& m, const Rows& rows) {
    for (int i = 0; i < 16; ++i)
        if (std::fabs(m.at(i / 4, i % 4) - rows[static_cast<std::size_t>(i)]) > 1e-5f)
            return ::testing::AssertionFailure() << describe(m);
    return ::testing::AssertionSuccess();
}

class TransformObjectTest : public Testing::ScriptTest {
protected:
    void SetUp() override {
        ScriptTest::SetUp();
        m_saved = registeredRenderMachine("gl");
        registerRenderMachine("gl", &makeRecording);
        auto* graphics = static_cast<GraphicsSystemObject*>(
            run("graphicsSystem = GraphicsSystem { type = \"gl\" width = 64 height = 64 }", "graphicsSystem"));
        m_machine = static_cast<RecordingRenderMachine*>(graphics->renderMachine());
    }
    void TearDown() override {
        ScriptTest::TearDown();
        registerRenderMachine("gl", m_saved);
    }
    // Evaluates under a name no transform parameter uses (a bound "x" would
    // be found from the scope).
    IniObject* make(const std::string& expression) { return run("made = " + expression, "made"); }
    const Matrix& matrixOf(const char* name) { return static_cast<TransformObject*>(parser().lookup(name))->matrix(); }
    CameraObject* camera() { return static_cast<CameraObject*>(parser().lookup("camera")); }
    // Sends the command bound to `command` to the object bound to `target`.
    void deliver(const char* target, const char* command) {
        parser().lookup(target)->execute(*static_cast<CommandObject*>(parser().lookup(command)));
    }

    RecordingRenderMachine* m_machine = nullptr;
    RenderMachineFactory m_saved = nullptr;
};

TEST_F(TransformObjectTest, TransformsBuildTheirMatrices) {
    const struct {
        const char* expression;
        Rows rows;
    } cases[] = {
        {"LwTransform { }", {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}},
        {"LwTransform { x = 1 y = 2 z = 3 heading = 1.5707963 }", {0, 0, 1, 1, 0, 1, 0, 2, -1, 0, 0, 3, 0, 0, 0, 1}},
        {"LwTransform { pitch = 1.5707963 sx = 2 }", {2, 0, 0, 0, 0, 0, -1, 0, 0, 1, 0, 0, 0, 0, 0, 1}},
        // Ry(heading) Rx(pitch), then with Rz(bank) acting first.
        {"LwTransform { heading = 1.5707963 pitch = 1.5707963 }", {0, 1, 0, 0, 0, 0, -1, 0, -1, 0, 0, 0, 0, 0, 0, 1}},
        {"LwTransform { heading = 1.5707963 pitch = 1.5707963 bank = 1.5707963 }",
         {1, 0, 0, 0, 0, 0, -1, 0, 0, 1, 0, 0, 0, 0, 0, 1}},
        // The axis is normalised; a zero axis does not rotate.
        {"Rotation { angle = 1.5707963 axis = < 0 0 2 > }", {0, -1, 0, 0, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}},
        {"Rotation { angle = 1.5707963 axis = < 0 0 1 > pivot = < 1 0 0 > }",
         {0, -1, 0, 1, 1, 0, 0, -1, 0, 0, 1, 0, 0, 0, 0, 1}},
        {"Rotation { angle = 1 axis = < 0 0 0 > }", {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}},
        {"Translation < 1 2 3 >", {1, 0, 0, 1, 0, 1, 0, 2, 0, 0, 1, 3, 0, 0, 0, 1}},
        {"Scale 2", {2, 0, 0, 0, 0, 2, 0, 0, 0, 0, 2, 0, 0, 0, 0, 1}},
        {"Scale < 1 2 3 >", {1, 0, 0, 0, 0, 2, 0, 0, 0, 0, 3, 0, 0, 0, 0, 1}},
        {"InverseTransform LwTransform { x = 1 sy = 2 heading = 1.5707963 }",
         {0, 0, -1, 0, 0, 0.5f, 0, 0, 1, 0, 0, -1, 0, 0, 0, 1}},
        {"InverseTransform Scale 0", {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}},
        {"TransformContainer { }", {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}},
        {"Mul ( Translation < 1 0 0 > Scale 2 )", {2, 0, 0, 1, 0, 2, 0, 0, 0, 0, 2, 0, 0, 0, 0, 1}},
        {"Mul ( Scale 2 Translation < 1 0 0 > Rotation { angle = 1.5707963 axis = < 0 0 1 > } )",
         {0, -2, 0, 2, 2, 0, 0, 0, 0, 0, 2, 0, 0, 0, 0, 1}},
    };
    for (const auto& c : cases) {
        IniObject* t = nullptr;
        ASSERT_EQ(Testing::messageOf([&] { t = make(c.expression); }), "no error") << c.expression;
        ASSERT_EQ(t->type(), Types::Transform()) << c.expression;
        EXPECT_FALSE(t->isDynamic()) << c.expression;
        EXPECT_TRUE(matches(static_cast<TransformObject*>(t)->matrix(), c.rows)) << c.expression;
    }
}

TEST_F(TransformObjectTest, ProductsWithTransformsAndTheirErrors) {
    const struct {
        const char* expression;
        const char* result;  // the text, or the end of the error message
    } cases[] = {
        {"Mul ( Translation < 1 2 3 > < 1 1 1 > )", "< 2 3 4 >"},
        {"Mul ( Scale 2 Translation < 1 0 0 > < 1 1 1 > )", "< 4 2 2 >"},
        {"Mul ( Translation < 1 2 3 > < 1 1 1 0 > )", "< 1 1 1 0 >"},
        {"Mul ( Scale 2 < 1 1 1 1 > )", "< 2 2 2 1 >"},
        {"Mul ( 2 Scale 2 )", "Mul cannot handle: Number * Transform"},
        {"Mul ( < 1 1 1 > Scale 2 )", "Mul cannot handle: Vec3d * Transform"},
        {"Mul ( Scale 2 < 1 1 > )", "Mul cannot handle: Transform * Vec2d"},
        {"SetTextureMatrix 8", "Texture stage must be from 0 to 7."},
        {"MultTextureMatrix -1", "Texture stage must be from 0 to 7."},
        {"Rotation { angle = 1 }", "Name 'axis' is not defined."},
        {"LookAt { pos = < 0 0 0 > target = < 0 0 1 > }", "Name 'up' is not defined."},
        {"LwCameraPosition { pos = < 0 0 0 > heading = 0 pitch = 0 }", "Name 'bank' is not defined."},
        {"Scale \"big\"", "Tuple element 0 is String. Vec3d was expected."},
        {"InverseTransform 1", "is Number. Transform was expected."},
        {"Camera { orientation = 1 }", "orientation is Number. String was expected."},
    };
    for (const auto& c : cases) {
        std::string result;
        const std::string error = Testing::messageOf([&] { result = make(c.expression)->toString(); });
        const std::string& actual = error == "no error" ? result : error;
        const std::string expected = c.result;
        ASSERT_GE(actual.size(), expected.size()) << c.expression << ": " << actual;
        EXPECT_EQ(actual.substr(actual.size() - expected.size()), expected) << c.expression << ": " << actual;
    }
}

TEST_F(TransformObjectTest, CommandsLoadMatricesIntoTheMachine) {
    run("t = Translation < 1 2 3 >\n"
        "camera = Camera { orientation = \"rh\" }\n");
    const std::string t = RecordingRenderMachine::format(matrixOf("t"));
    const std::string view = RecordingRenderMachine::format(camera()->view());
    const std::string projection = RecordingRenderMachine::format(camera()->projection());
    Matrix mirrored = camera()->projection();
    mirrored.at(1, 1) = -mirrored.at(1, 1);
    const std::string drawLines =
        "TransformObject Draw is obsolete feature. Use MultTransform instead.\n"
        "Documentation: Docs/Ini/dynamics.txt\n";
    const struct {
        const char* target;
        const char* command;
        std::vector<std::string> calls;
        std::string stderrText;
    } cases[] = {
        {"t", "SetTransform ()", {"setMatrix(" + t + ", WORLD)"}, ""},
        {"t", "MultTransform ()", {"multMatrix(" + t + ", WORLD)"}, ""},
        {"t", "SetView ()", {"setMatrix(" + t + ", VIEW)"}, ""},
        {"t", "MultView ()", {"multMatrix(" + t + ", VIEW)"}, ""},
        {"t", "SetProjection ()", {"setMatrix(" + t + ", PROJECTION)"}, ""},
        {"t", "MultProjection ()", {"multMatrix(" + t + ", PROJECTION)"}, ""},
        {"t", "SetTextureMatrix 2", {"setTextureMatrix(2, " + t + ")"}, ""},
        {"t", "MultTextureMatrix 0", {"multTextureMatrix(0, " + t + ")"}, ""},
        {"t", "Draw ()", {"multMatrix(" + t + ", WORLD)"}, drawLines},
        {"camera", "Draw ()", {"setMatrix(" + view + ", VIEW)", "setMatrix(" + projection + ", PROJECTION)"}, ""},
        {"camera", "SetupTextureRendering ()",
         {"setMatrix(" + view + ", VIEW)", "setMatrix(" + RecordingRenderMachine::format(mirrored) + ", PROJECTION)"},
         ""},
    };
    for (const auto& c : cases) {
        run(std::string("c = ") + c.command);
        m_machine->clearLog();
        ::testing::internal::CaptureStderr();
        deliver(c.target, "c");
        EXPECT_EQ(::testing::internal::GetCapturedStderr(), c.stderrText) << c.command;
        EXPECT_EQ(m_machine->takeLog(), c.calls) << c.target << " " << c.command;
    }
}

// Every camera is left-handed: positive z looks into the screen, x points
// right, and depth runs from 0 at near 1 to 1 at far 128.
TEST_F(TransformObjectTest, CameraCommandsAimALeftHandedCamera) {
    const float c45 = 2.4142135f;  // 1 / tan(22.5 degrees)
    const float depth = 128.0f / 127.0f;
    const Rows projection45 = {c45, 0, 0, 0, 0, c45, 0, 0, 0, 0, depth, -depth, 0, 0, 1, 0};
    const Rows projection90 = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, depth, -depth, 0, 0, 1, 0};
    const Rows identity = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    const struct {
        const char* command;
        Rows view;
        Rows projection;
    } steps[] = {
        {nullptr, identity, projection45},
        {"LookAt { pos = < 1 0 0 > target = < 0 0 0 > up = < 0 1 0 > fov = 90 }",
         {0, 0, 1, 0, 0, 1, 0, 0, -1, 0, 0, 1, 0, 0, 0, 1}, projection90},
        // Without a field of view it is 45 degrees again.
        {"LookAt { pos = < 0 0 -5 > target = < 0 0 1 > up = < 0 2 0 > }",
         {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 5, 0, 0, 0, 1}, projection45},
        // Looking straight along up keeps the view.
        {"LookAt { pos = < 0 0 0 > target = < 0 1 0 > up = < 0 1 0 > fov = 90 }",
         {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 5, 0, 0, 0, 1}, projection90},
        {"LwCameraPosition { pos = < 1 2 3 > heading = 1.5707963 pitch = 0 bank = 0 }",
         {0, 0, -1, 3, 0, 1, 0, -2, 1, 0, 0, -1, 0, 0, 0, 1}, projection90},
        {"SetCameraTransform Translation < 1 2 3 >", {1, 0, 0, -1, 0, 1, 0, -2, 0, 0, 1, -3, 0, 0, 0, 1},
         projection90},
        // A singular placement keeps the view.
        {"SetCameraTransform Scale 0", {1, 0, 0, -1, 0, 1, 0, -2, 0, 0, 1, -3, 0, 0, 0, 1}, projection90},
    };
    run("camera = Camera { orientation = \"rh\" }");
    for (const auto& s : steps) {
        if (s.command) {
            run(std::string("c = ") + s.command);
            deliver("camera", "c");
        }
        const char* what = s.command ? s.command : "initial";
        EXPECT_TRUE(matches(camera()->view(), s.view)) << what;
        EXPECT_TRUE(matches(camera()->projection(), s.projection)) << what;
    }
}

TEST_F(TransformObjectTest, AnimatedInputsAreFollowedOnUpdate) {
    run("now = CurrentTime ()\n"
        "group = Delegator ( now )\n"
        "t = LwTransform { x = now envelopeGroup = group }\n"
        "s = Scale now\n"
        "inverse = InverseTransform s\n"
        "product = Mul ( t Scale 2 )\n"
        "point = Mul ( t < 1 0 0 > )\n"
        "box = TransformContainer { }\n"
        "copy = CopyTransform t\n");
    for (const char* name : {"t", "s", "inverse", "product", "point"})
        EXPECT_TRUE(parser().lookup(name)->isDynamic()) << name;
    Matrix published;
    ASSERT_TRUE(parser().lookup("t")->getValue(&published));

    Testing::send(parser().lookup("group"), CommandKinds::Update(), 3.0f);
    EXPECT_TRUE(matches(published, {1, 0, 0, 3, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}));
    for (const char* name : {"s", "inverse", "product", "point"})
        Testing::send(parser().lookup(name), CommandKinds::Update(), 3.0f);
    EXPECT_TRUE(matches(matrixOf("product"), {2, 0, 0, 3, 0, 2, 0, 0, 0, 0, 2, 0, 0, 0, 0, 1}));
    EXPECT_EQ(parser().lookup("point")->toString(), "[MulObject [Transform] * < 1 0 0 >]");
    EXPECT_EQ(static_cast<Vec3dObject*>(parser().lookup("point"))->value()[0], 4.0f);
    const float third = 1.0f / 3.0f;
    EXPECT_TRUE(matches(matrixOf("inverse"), {third, 0, 0, 0, 0, third, 0, 0, 0, 0, third, 0, 0, 0, 0, 1}));

    // At time 0 the scale is singular: the inverse keeps its last matrix.
    Testing::send(parser().lookup("now"), CommandKinds::Update(), 0.0f);
    Testing::send(parser().lookup("s"), CommandKinds::Update(), 0.0f);
    Testing::send(parser().lookup("inverse"), CommandKinds::Update(), 0.0f);
    EXPECT_TRUE(matches(matrixOf("inverse"), {third, 0, 0, 0, 0, third, 0, 0, 0, 0, third, 0, 0, 0, 0, 1}));

    // A container changes only when a copy reaches it.
    Testing::send(parser().lookup("box"), CommandKinds::Update(), 5.0f);
    EXPECT_TRUE(matches(matrixOf("box"), {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}));
    deliver("box", "copy");
    EXPECT_TRUE(matches(matrixOf("box"), {1, 0, 0, 3, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}));
    parser().lookup("t")->dropUnclaimedDestinations();
}

}  // namespace
}  // namespace Vexa
