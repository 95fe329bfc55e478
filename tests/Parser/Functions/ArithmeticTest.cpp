#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "Parser/Exceptions.h"
#include "Parser/IniCommands.h"
#include "Parser/Parser.h"

namespace Vexa {
namespace {

class ArithmeticTest : public ::testing::Test {
protected:
    void TearDown() override {
        m_parser.reset();
        collectGarbage();
    }
    IniObject* eval(const std::string& expression) {
        m_parser->parseString("x = " + expression);
        return m_parser->lookup("x");
    }
    std::string text(const std::string& expression) { return eval(expression)->toString(); }
    std::string error(const std::string& expression) {
        try {
            eval(expression);
        } catch (const Exception& e) {
            return e.message();
        }
        return "no error";
    }
    static void update(IniObject* o, float t) {
        SimpleCommand c(t, CommandKinds::Update());
        o->execute(c);
    }

    std::unique_ptr<Parser> m_parser = std::make_unique<Parser>();
};

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

TEST_F(ArithmeticTest, ErrorsUseTheirExactMessages) {
    const struct {
        const char* expression;
        const char* message;
    } cases[] = {
        {"Sum ( Draw () )", "Sum cannot handle Command"},
        {"Mul 2", "Mul needs > 1 parameters"},
        {"Mul ( 2 < 1 2 > )", "Mul cannot handle: Number * Vec2d"},
        {"Mul ( < 1 2 3 > < 1 2 > )", "Mul cannot handle: Vec3d * Vec2d"},
        {"Eq ( 1 2 3 )", "Eq wants precisely 2 parameters"},
        {"And ( Eq ( 1 1 ) 7 )", "And only accepts boolean parameters"},
        {"Or ( Eq ( 1 2 ) 7 )", "Or only accepts boolean parameters"},
        {"Sum ( \"a\" 1 )",
         "memory(1):\nfatal: While evaluating Sum ( \"a\" 1 ):\nTuple element 1 is Number. String was "
         "expected."},
    };
    for (const auto& c : cases) EXPECT_EQ(error(c.expression), c.message) << c.expression;
}

TEST_F(ArithmeticTest, SumOfAnimatedOperandFollowsItOnUpdate) {
    IniObject* sum = eval("Sum ( CurrentTime () 5 )");
    ASSERT_TRUE(sum->isDynamic());
    EXPECT_EQ(sum->type(), Types::Number());
    EXPECT_EQ(sum->toString(), "[SumObject 5]");
    float field = 0.0f;
    ASSERT_TRUE(sum->getValue(&field));
    update(sum, 2.0f);
    EXPECT_EQ(field, 7.0f);
    update(sum, 3.5f);
    EXPECT_EQ(field, 8.5f);
    sum->dropUnclaimedDestinations();
}

TEST_F(ArithmeticTest, ProductOfAnimatedOperandsFoldsFromTheRight) {
    m_parser->parseString("now = CurrentTime ()");
    IniObject* mul = eval("Mul ( 2 now now )");
    ASSERT_TRUE(mul->isDynamic());
    update(mul, 3.0f);
    EXPECT_EQ(static_cast<NumberObject*>(mul)->value(), 18.0f);
    EXPECT_EQ(mul->toString(), "[MulObject 2 * [MulObject 3 * 3]]");
}

TEST_F(ArithmeticTest, CopierWithoutOrdersDoesNothingOnUpdate) {
    IniObject* copier = eval("Copier ()");
    EXPECT_EQ(copier->toString(), "[Copier]");
    update(copier, 1.0f);
}

}  // namespace
}  // namespace Vexa
