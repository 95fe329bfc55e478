// The texture trail's render state and draw call, and the texture a
// SetTexture command hands it. Where its quads land is checked on captured
// pictures (EffectsCaptureTest).
#include <gtest/gtest.h>

#include <string>

#include "Support/RecordingScriptTest.h"

namespace Vexa {
namespace {

class TextureTrailTest : public Testing::RecordingScriptTest {
protected:
    // A loaded trail of `pic` bound to x, with the log cleared.
    IniObject* trail(const std::string& extra) {
        IniObject* x = run(
            "x = TextureArray { graphicsSystem = graphicsSystem texture = pic scale = 2 movement = "
            "< 1 0 > dimensions = < 1 1 > center = < 0 0 > " +
            extra + " }");
        Testing::send(x, CommandKinds::Load());
        m_machine->clearLog();
        return x;
    }
};

// Each quad adds its texture weighted by intensity / number; the projection
// (and, unless told otherwise, the world) becomes the identity; number 0
// draws nothing. SetTexture swaps the texture and the trail keeps it alive.
TEST_F(TextureTrailTest, DrawsEveryQuadAdditivelyWithoutTheDepthTest) {
    run("pic = Texture2D { targetable = 1 width = 4 height = 4 }\n"
        "pic2 = Texture2D { targetable = 1 width = 4 height = 4 }");
    for (const char* name : {"pic", "pic2"})
        Testing::send(parser().lookup(name), CommandKinds::Load());
    const std::string identity = "setMatrix([1 0 0 0 0 1 0 0 0 0 1 0 0 0 0 1], ";
    IniObject* x = trail("number = 4");
    EXPECT_EQ(
        calls("x", CommandKinds::Draw()),
        (Testing::Lines{
            identity + "WORLD)", identity + "PROJECTION)", "vbuf1.lock(0)", "vbuf1.unlock()",
            "setBlend(1)", "setBlendColor((0.25 0.25 0.25 0.25))", "setBlendFunc(BLENDFACTOR, ONE)",
            "setTexture(0, tex1)", "setTexture(1, null)",
            "setCombinerStage(0, {1 SRC_TEXTURE SRC_CURRENT SRC_CURRENT SRC_TEXTURE "
            "SRC_CURRENT SRC_CURRENT OP_I1 OP_I1 SRC_CURRENT})",
            "setVertexDeclaration(decl1)", "setVertexStream(vbuf1, 0)", "setIndexStream(ibuf1)",
            "setDepthTest(0)", "drawIndexedPrimitive(TRIANGLE_LIST, 0, 0, 16, 0, 8)",
            "setDepthTest(1)", "setBlend(0)", "setTexture(0, null)"}));
    x->execute(*static_cast<CommandObject*>(run("c = SetTexture pic2", "c")));
    EXPECT_TRUE(x->holds(parser().lookup("pic2")));
    EXPECT_EQ(calls("x", CommandKinds::Draw()).at(7), "setTexture(0, tex2)");

    trail("number = 4 intensity = 2 setWorld = 0");
    const Testing::Lines draw = calls("x", CommandKinds::Draw());
    EXPECT_EQ(draw.front(), identity + "PROJECTION)");
    EXPECT_EQ(draw.at(4), "setBlendColor((0.5 0.5 0.5 0.5))");
    trail("number = 0");
    EXPECT_EQ(calls("x", CommandKinds::Draw()), Testing::Lines{});
}

}  // namespace
}  // namespace Vexa
