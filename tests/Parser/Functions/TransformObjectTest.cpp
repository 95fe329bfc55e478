// Transforms, matrix commands, the camera and the products with transforms,
// driven from scripts against the recording render machine.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>

#include "Parser/Functions/RenderingObjects.h"
#include "Parser/Functions/TransformObject.h"
#include "Support/RecordingScriptTest.h"
#include "Support/TestKit.h"

namespace Vexa {
namespace {

const char* const kIdentity = "1 0 0 0, 0 1 0 0, 0 0 1 0";

// `rows` as written on paper, rows apart by commas; a missing last row is
// 0 0 0 1.
::testing::AssertionResult matches(const Matrix& m, std::string rows) {
    for (char& c : rows) c = c == ',' ? ' ' : c;
    std::istringstream in(rows + " 0 0 0 1");
    for (int i = 0; i < 16; ++i) {
        float expected = 0.0f;
        in >> expected;
        if (std::fabs(m.at(i / 4, i % 4) - expected) > 1e-5f)
            return ::testing::AssertionFailure() << RecordingRenderMachine::format(m);
    }
    return ::testing::AssertionSuccess();
}

class TransformObjectTest : public Testing::RecordingScriptTest {
protected:
    // Not "x = ...": a bound x would be found from the scope by LwTransform.
    IniObject* make(const std::string& expression) { return run("made = " + expression, "made"); }
    const Matrix& matrixOf(const char* name) {
        return static_cast<TransformObject*>(parser().lookup(name))->matrix();
    }
    CameraObject* camera() { return static_cast<CameraObject*>(parser().lookup("camera")); }
    void deliver(const char* target, const char* command) {
        parser().lookup(target)->execute(*static_cast<CommandObject*>(parser().lookup(command)));
    }
};

TEST_F(TransformObjectTest, TransformsBuildTheirMatrices) {
    const struct {
        const char* expression;
        const char* rows;
    } cases[] = {
        {"LwTransform { }", kIdentity},
        {"LwTransform { x = 1 y = 2 z = 3 heading = 1.5707963 }", "0 0 1 1, 0 1 0 2, -1 0 0 3"},
        // Ry(heading) Rx(pitch), then with Rz(bank) acting first.
        {"LwTransform { heading = 1.5707963 pitch = 1.5707963 }", "0 1 0 0, 0 0 -1 0, -1 0 0 0"},
        {"LwTransform { heading = 1.5707963 pitch = 1.5707963 bank = 1.5707963 }",
         "1 0 0 0, 0 0 -1 0, 0 1 0 0"},
        // The axis is normalised; a zero axis does not rotate.
        {"Rotation { angle = 1.5707963 axis = < 0 0 2 > }", "0 -1 0 0, 1 0 0 0, 0 0 1 0"},
        {"Rotation { angle = 1.5707963 axis = < 0 0 1 > pivot = < 1 0 0 > }",
         "0 -1 0 1, 1 0 0 -1, 0 0 1 0"},
        {"Rotation { angle = 1 axis = < 0 0 0 > }", kIdentity},
        {"Scale 2", "2 0 0 0, 0 2 0 0, 0 0 2 0"},
        {"Scale < 1 2 3 >", "1 0 0 0, 0 2 0 0, 0 0 3 0"},
        {"InverseTransform LwTransform { x = 1 sy = 2 heading = 1.5707963 }",
         "0 0 -1 0, 0 0.5 0 0, 1 0 0 -1"},
        {"InverseTransform Scale 0", kIdentity},
        {"Mul ( Scale 2 Translation < 1 0 0 > Rotation { angle = 1.5707963 axis = < 0 0 1 > } )",
         "0 -2 0 2, 2 0 0 0, 0 0 2 0"},
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
        {"Mul ( Scale 2 Translation < 1 0 0 > < 1 1 1 > )", "< 4 2 2 >"},
        {"Mul ( Translation < 1 2 3 > < 1 1 1 0 > )", "< 1 1 1 0 >"},
        {"Mul ( Scale 2 < 1 1 1 1 > )", "< 2 2 2 1 >"},
        {"Mul ( < 1 1 1 > Scale 2 )", "Mul cannot handle: Vec3d * Transform"},
        {"SetTextureMatrix 8", "Texture stage must be from 0 to 7."},
        {"MultTextureMatrix -1", "Texture stage must be from 0 to 7."},
        {"LookAt { pos = < 0 0 0 > target = < 0 0 1 > }", "Name 'up' is not defined."},
        {"Camera { orientation = 1 }", "orientation is Number. String was expected."},
    };
    for (const auto& c : cases) {
        std::string text;
        const std::string error =
            Testing::messageOf([&] { text = make(c.expression)->toString(); });
        EXPECT_THAT(error == "no error" ? text : error, testing::EndsWith(c.result))
            << c.expression;
    }
}

TEST_F(TransformObjectTest, CommandsLoadMatricesIntoTheMachine) {
    run("t = Translation < 1 2 3 >\n"
        "camera = Camera { orientation = \"rh\" }\n");
    Matrix mirrored = camera()->projection();
    mirrored.at(1, 1) = -mirrored.at(1, 1);
    const auto format = &RecordingRenderMachine::format;
    const std::string t = format(matrixOf("t")), v = format(camera()->view());
    const std::string p = format(camera()->projection()), fp = format(mirrored);
    const struct {
        const char* target;
        const char* command;
        Testing::Lines calls;
    } cases[] = {
        {"t", "SetTransform ()", {"setMatrix(" + t + ", WORLD)"}},
        {"t", "MultTransform ()", {"multMatrix(" + t + ", WORLD)"}},
        {"t", "SetView ()", {"setMatrix(" + t + ", VIEW)"}},
        {"t", "MultView ()", {"multMatrix(" + t + ", VIEW)"}},
        {"t", "SetProjection ()", {"setMatrix(" + t + ", PROJECTION)"}},
        {"t", "MultProjection ()", {"multMatrix(" + t + ", PROJECTION)"}},
        {"t", "SetTextureMatrix 2", {"setTextureMatrix(2, " + t + ")"}},
        {"t", "MultTextureMatrix 0", {"multTextureMatrix(0, " + t + ")"}},
        {"camera", "Draw ()", {"setMatrix(" + v + ", VIEW)", "setMatrix(" + p + ", PROJECTION)"}},
        {"camera",
         "SetupTextureRendering ()",
         {"setMatrix(" + v + ", VIEW)", "setMatrix(" + fp + ", PROJECTION)"}},
        {"t", "Draw ()", {"multMatrix(" + t + ", WORLD)"}},
    };
    for (const auto& c : cases) {
        run(std::string("c = ") + c.command);
        m_machine->clearLog();
        deliver(c.target, "c");
        EXPECT_EQ(m_machine->takeLog(), c.calls) << c.target << " " << c.command;
    }
    // A transform's Draw warns each time.
    const std::string warning =
        "TransformObject Draw is obsolete feature. Use MultTransform instead.\n"
        "Documentation: Docs/Ini/dynamics.txt\n";
    ::testing::internal::CaptureStderr();
    deliver("t", "c");
    deliver("t", "c");
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), warning + warning);
}

// Every camera is left-handed: positive z looks into the screen, x points
// right, and depth runs from 0 at near 1 to 1 at far 128.
TEST_F(TransformObjectTest, CameraCommandsAimALeftHandedCamera) {
    // 1 / tan(22.5 degrees) is 2.4142135; far / (far - near) is 1.007874.
    const char* p45 = "2.4142135 0 0 0, 0 2.4142135 0 0, 0 0 1.007874 -1.007874, 0 0 1 0";
    const char* p90 = "1 0 0 0, 0 1 0 0, 0 0 1.007874 -1.007874, 0 0 1 0";
    const struct {
        const char* command;
        const char* view;
        const char* projection;
    } steps[] = {
        {nullptr, kIdentity, p45},
        {"LookAt { pos = < 1 0 0 > target = < 0 0 0 > up = < 0 1 0 > fov = 90 }",
         "0 0 1 0, 0 1 0 0, -1 0 0 1", p90},
        // Without a field of view it is 45 degrees again.
        {"LookAt { pos = < 0 0 -5 > target = < 0 0 1 > up = < 0 2 0 > }",
         "1 0 0 0, 0 1 0 0, 0 0 1 5", p45},
        // Looking straight along up keeps the view.
        {"LookAt { pos = < 0 0 0 > target = < 0 1 0 > up = < 0 1 0 > fov = 90 }",
         "1 0 0 0, 0 1 0 0, 0 0 1 5", p90},
        {"LwCameraPosition { pos = < 1 2 3 > heading = 1.5707963 pitch = 0 bank = 0 }",
         "0 0 -1 3, 0 1 0 -2, 1 0 0 -1", p90},
        {"SetCameraTransform Translation < 1 2 3 >", "1 0 0 -1, 0 1 0 -2, 0 0 1 -3", p90},
        // A singular placement keeps the view.
        {"SetCameraTransform Scale 0", "1 0 0 -1, 0 1 0 -2, 0 0 1 -3", p90},
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
    EXPECT_TRUE(matches(published, "1 0 0 3, 0 1 0 0, 0 0 1 0"));
    for (const char* name : {"s", "inverse", "product", "point"})
        Testing::send(parser().lookup(name), CommandKinds::Update(), 3.0f);
    EXPECT_TRUE(matches(matrixOf("product"), "2 0 0 3, 0 2 0 0, 0 0 2 0"));
    EXPECT_EQ(parser().lookup("point")->toString(), "[MulObject [Transform] * < 1 0 0 >]");
    EXPECT_EQ(static_cast<Vec3dObject*>(parser().lookup("point"))->value()[0], 4.0f);
    const char* third = "0.3333333 0 0 0, 0 0.3333333 0 0, 0 0 0.3333333 0";
    EXPECT_TRUE(matches(matrixOf("inverse"), third));

    // At time 0 the scale is singular: the inverse keeps its last matrix.
    for (const char* name : {"now", "s", "inverse"})
        Testing::send(parser().lookup(name), CommandKinds::Update(), 0.0f);
    EXPECT_TRUE(matches(matrixOf("inverse"), third));

    // A container changes only when a copy reaches it.
    Testing::send(parser().lookup("box"), CommandKinds::Update(), 5.0f);
    EXPECT_TRUE(matches(matrixOf("box"), kIdentity));
    deliver("box", "copy");
    EXPECT_TRUE(matches(matrixOf("box"), "1 0 0 3, 0 1 0 0, 0 0 1 0"));
    parser().lookup("t")->dropUnclaimedDestinations();
}

}  // namespace
}  // namespace Vexa
