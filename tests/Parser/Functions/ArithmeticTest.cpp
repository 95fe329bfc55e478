// Sums, products, comparisons and their animated forms.
#include <gtest/gtest.h>

#include "Parser/IniCommands.h"
#include "Support/TestKit.h"

namespace Vexa {
namespace {

using ArithmeticTest = Testing::ScriptTest;

TEST_F(ArithmeticTest, PlainOperandsGivePlainValues) {
    const struct {
        const char* expression;
        const char* text;
        const TypeObject* type;
    } cases[] = {
        {"Sum ( 1 2 3.5 )", "6.5", Types::Number()},
        {"Sum 4", "4", Types::Number()},
        {"Sum ( \"ab\" \"cd\" )", "\"abcd\"", Types::String()},
        {"Sum ( < 1 2 > < 3 4 > )", "< 4 6 >", Types::Vec2d()},
        {"Sum ( < 1 2 3 4 > < 1 1 1 1 > )", "< 2 3 4 5 >", Types::Vec4d()},
        {"Mul ( 2 3 4 )", "24", Types::Number()},
        {"Mul ( < 1 2 3 > < 2 2 2 > )", "< 2 4 6 >", Types::Vec3d()},
        {"Eq ( 1 1 )", "1", Types::Bool()},
        {"Eq ( 1 \"1\" )", "0", Types::Bool()},
        {"Eq ( \"a\" \"a\" )", "1", Types::Bool()},
        {"Eq ( < 1 2 > < 1 2 > )", "0", Types::Bool()},
        {"And ( )", "1", Types::Bool()},
        {"Or ( )", "0", Types::Bool()},
        {"And ( Eq ( 1 2 ) 7 )", "0", Types::Bool()},
        {"Or ( Eq ( 1 1 ) 7 )", "1", Types::Bool()},
        {"And ( Eq ( 1 1 ) Eq ( 2 2 ) )", "1", Types::Bool()},
        {"Or ( Eq ( 1 2 ) Eq ( 2 3 ) )", "0", Types::Bool()},
    };
    for (const auto& c : cases) {
        IniObject* value = eval(c.expression);
        EXPECT_EQ(value->toString(), c.text) << c.expression;
        EXPECT_EQ(value->type(), c.type) << c.expression;
        EXPECT_FALSE(value->isDynamic()) << c.expression;
    }
}

TEST_F(ArithmeticTest, AnimatedOperandsAreFollowedOnUpdate) {
    IniObject* sum = eval("Sum ( CurrentTime () 5 )");
    ASSERT_TRUE(sum->isDynamic());
    EXPECT_EQ(sum->toString(), "[SumObject 5]");
    float field = 0.0f;
    ASSERT_TRUE(sum->getValue(&field));
    Testing::send(sum, CommandKinds::Update(), 2.0f);
    EXPECT_EQ(field, 7.0f);
    sum->dropUnclaimedDestinations();

    // A product folds from the right.
    IniObject* mul = run("now = CurrentTime ()\nx = Mul ( 2 now now )");
    ASSERT_TRUE(mul->isDynamic());
    Testing::send(mul, CommandKinds::Update(), 3.0f);
    EXPECT_EQ(static_cast<NumberObject*>(mul)->value(), 18.0f);
    EXPECT_EQ(mul->toString(), "[MulObject 2 * [MulObject 3 * 3]]");
}

}  // namespace
}  // namespace Vexa
