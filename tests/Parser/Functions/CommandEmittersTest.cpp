#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "Parser/Exceptions.h"
#include "Parser/Functions/CommandEmitters.h"
#include "Parser/IniCommands.h"
#include "Parser/IniFunction.h"
#include "Parser/Parser.h"

namespace Vexa {
namespace {

// Every probe writes "<probe>:<kind>@<time>" into one shared log.
std::vector<std::string>& log() {
    static std::vector<std::string> entries;
    return entries;
}

class Probe : public IniObject {
public:
    explicit Probe(std::string name) : m_name(std::move(name)) {}
    const TypeObject* type() const override { return Types::Number(); }
    void execute(CommandObject& c) override {
        char time[32];
        std::snprintf(time, sizeof time, "%g", c.time());
        log().push_back(m_name + ":" + c.commandKind()->name + "@" + time);
    }

private:
    std::string m_name;
};

/* EmitterProbe "name" */
class F_EmitterProbe : public IniFunction {
public:
    IniObject* create() override { return new Probe(elementString(0)); }
};
F_EmitterProbe s_probe;
const FunctionEntry kTestFunctions[] = {{"EmitterProbe", &s_probe}};
const FunctionRegistrar s_registrar(kTestFunctions);

class CommandEmittersTest : public ::testing::Test {
protected:
    void SetUp() override { log().clear(); }
    void TearDown() override {
        m_parser.reset();
        collectGarbage();
    }
    IniObject* parse(const std::string& text, const char* name = "x") {
        m_parser->parseString(text);
        return m_parser->lookup(name);
    }
    static void send(IniObject* target, const CommandKind* kind, float t) {
        SimpleCommand c(t, kind);
        target->execute(c);
    }
    static void update(IniObject* target, float t) { send(target, CommandKinds::Update(), t); }
    std::string takeLog() {
        std::string all;
        for (const auto& e : log()) all += e + " ";
        log().clear();
        return all;
    }
    std::string functionError(const std::string& text) {
        try {
            m_parser->parseString(text);
        } catch (const Exception& e) {
            return e.message();
        }
        return "no error";
    }

    std::unique_ptr<Parser> m_parser = std::make_unique<Parser>();
};

TEST_F(CommandEmittersTest, PointEventsFireOnceWithTheirOwnTimeInWrittenOrder) {
    IniObject* list = parse(
        "a = EmitterProbe \"a\" b = EmitterProbe \"b\" "
        "x = EventList ( 2 a Draw () 0 b Draw () 2 b Print () )");
    update(list, 1.0f);
    EXPECT_EQ(takeLog(), "b:Draw@0 ");
    update(list, 3.0f);
    EXPECT_EQ(takeLog(), "a:Draw@2 b:Print@2 ");
    update(list, 4.0f);
    EXPECT_EQ(takeLog(), "");
}

TEST_F(CommandEmittersTest, ContinuousSpanRunsEveryFrameInsideItsRangeInclusive) {
    IniObject* list = parse("a = EmitterProbe \"a\" x = EventList ( ( 2 5 ) a Draw () )");
    for (float t : {1.0f, 2.0f, 3.5f, 5.0f, 5.5f, 6.0f}) update(list, t);
    EXPECT_EQ(takeLog(), "a:Draw@2 a:Draw@3.5 a:Draw@5 ");
    EXPECT_EQ(static_cast<EventListObject*>(list)->activeSpanCount(), 0u);
}

TEST_F(CommandEmittersTest, SpanSkippedOverInOneFrameNeverRuns) {
    IniObject* list = parse("a = EmitterProbe \"a\" x = EventList ( ( 2 5 ) a Draw () )");
    update(list, 0.0f);
    update(list, 9.0f);
    EXPECT_EQ(takeLog(), "");
}

TEST_F(CommandEmittersTest, PeriodicSpanCatchesUpMissedFiringsEvenPastItsEnd) {
    IniObject* list = parse("a = EmitterProbe \"a\" x = EventList ( < 0 10 3 > a Draw () )");
    update(list, 1.0f);
    EXPECT_EQ(takeLog(), "a:Draw@0 ");
    update(list, 7.0f);
    EXPECT_EQ(takeLog(), "a:Draw@3 a:Draw@6 ");
    update(list, 13.0f);
    EXPECT_EQ(takeLog(), "a:Draw@9 a:Draw@12 ");
    update(list, 20.0f);
    EXPECT_EQ(takeLog(), "");
}

TEST_F(CommandEmittersTest, ActiveSpansRunByOrderThenActivation) {
    IniObject* list = parse(
        "a = EmitterProbe \"a\" b = EmitterProbe \"b\" c = EmitterProbe \"c\" "
        "d = EmitterProbe \"d\" "
        "x = EventList ( ( 0 9 2 ) a Draw () ( 0 9 0 ) b Draw () ( 0 9 1 ) c Draw () "
        "( 1 9 1 ) d Draw () )");
    update(list, 0.0f);
    EXPECT_EQ(takeLog(), "b:Draw@0 c:Draw@0 a:Draw@0 ");
    update(list, 1.0f);
    EXPECT_EQ(takeLog(), "b:Draw@1 c:Draw@1 d:Draw@1 a:Draw@1 ");
}

TEST_F(CommandEmittersTest, TimeGoingBackwardsRefiresNothing) {
    IniObject* list = parse(
        "a = EmitterProbe \"a\" x = EventList ( 1 a Print () ( 1 3 ) a Draw () )");
    update(list, 2.0f);
    update(list, 0.5f);
    EXPECT_EQ(takeLog(), "a:Print@1 a:Draw@2 a:Draw@0.5 ");
}

TEST_F(CommandEmittersTest, EventListIgnoresEverythingButUpdate) {
    IniObject* list = parse("a = EmitterProbe \"a\" x = EventList ( 0 a Draw () )");
    send(list, CommandKinds::Load(), 1.0f);
    send(list, CommandKinds::Draw(), 1.0f);
    EXPECT_EQ(takeLog(), "");
    IniObject* empty = parse("y = EventList ( )", "y");
    update(empty, 5.0f);
    EXPECT_EQ(takeLog(), "");
}

TEST_F(CommandEmittersTest, TinyPeriodCannotLoopForever) {
    IniObject* list = parse("a = EmitterProbe \"a\" x = EventList ( < 1000 2000 0.000001 > a Draw () )");
    update(list, 1000.0f);
    update(list, 1000.5f);
    EXPECT_LE(log().size(), 4u);
}

TEST_F(CommandEmittersTest, NanTimesNeverFireAndDoNotDisturbOthers) {
    auto* nanNumber = new NumberObject(std::nanf(""));
    nanNumber->addRef();
    m_parser->parseString("a = EmitterProbe \"a\"");
    m_parser->rootScope()->bind("n", nanNumber, false);
    nanNumber->release();
    IniObject* list = parse("x = EventList ( n a Print () 1 a Draw () ( n 3 ) a Load () )");
    update(list, 2.0f);
    EXPECT_EQ(takeLog(), "a:Draw@1 ");
}

TEST_F(CommandEmittersTest, CommandGroupSendsItsPairsOnUpdateWithTheUpdateTime) {
    IniObject* group = parse(
        "a = EmitterProbe \"a\" b = EmitterProbe \"b\" x = CommandGroup ( a Draw () b Load () )");
    update(group, 4.0f);
    send(group, CommandKinds::Print(), 5.0f);
    EXPECT_EQ(takeLog(), "a:Draw@4 b:Load@4 ");
}

TEST_F(CommandEmittersTest, DelegatorsPassEveryKind) {
    IniObject* all = parse("a = EmitterProbe \"a\" b = EmitterProbe \"b\" x = Delegator ( a b )");
    send(all, CommandKinds::Load(), 1.0f);
    EXPECT_EQ(takeLog(), "a:Load@1 b:Load@1 ");

    IniObject* alt = parse("c = EmitterProbe \"c\" y = AlternatingDelegator ( a b c )", "y");
    send(alt, CommandKinds::Draw(), 1.0f);
    send(alt, CommandKinds::Print(), 2.0f);
    send(alt, CommandKinds::Update(), 3.0f);
    send(alt, CommandKinds::Draw(), 4.0f);
    EXPECT_EQ(takeLog(), "a:Draw@1 b:Print@2 c:Update@3 a:Draw@4 ");

    IniObject* none = parse("z = AlternatingDelegator ( )", "z");
    send(none, CommandKinds::Draw(), 1.0f);
    EXPECT_EQ(takeLog(), "");
}

TEST_F(CommandEmittersTest, TimeModifierShiftsAndScalesThenRestoresTheTime) {
    IniObject* mod = parse("a = EmitterProbe \"a\" x = TimeModifier { begin = 10 speed = 2 object = a }");
    SimpleCommand c(15.0f, CommandKinds::Draw());
    mod->execute(c);
    EXPECT_EQ(takeLog(), "a:Draw@10 ");
    EXPECT_EQ(c.time(), 15.0f);
}

TEST_F(CommandEmittersTest, CurrentTimeKeepsBoundFieldsCurrent) {
    IniObject* now = parse("x = CurrentTime ( )");
    float field = -1.0f;
    EXPECT_TRUE(now->getValue(&field));
    EXPECT_EQ(field, 0.0f);
    update(now, 3.5f);
    EXPECT_EQ(field, 3.5f);
    EXPECT_EQ(now->toString(), "3.5");
    now->dropUnclaimedDestinations();
}

TEST_F(CommandEmittersTest, ConstructionErrorsUseTheirExactMessages) {
    const struct {
        const char* script;
        const char* message;
    } cases[] = {
        {"x = EventList ( 1 Draw () )", "Number of elements in the tuple is not divisible by 3."},
        {"x = EventList ( ( 1 2 3 4 ) Draw () Draw () )", "Incorrect event time parameter."},
        {"x = EventList ( ( 1 \"a\" ) Draw () Draw () )", "Incorrect event time parameter."},
        {"x = CommandGroup ( Draw () )", "Number of elements in the tuple is not even."},
        {"x = CommandGroup ( Draw () 5 )", "Second object is not command."},
        {"x = EventList ( 1 Draw () 5 )",
         "memory(1):\nfatal: While evaluating EventList ( 1 [Command Draw] 5 ):\n"
         "Tuple element 2 is Number. Command was expected."},
        {"x = EventList ( \"s\" Draw () Draw () )",
         "memory(1):\nfatal: While evaluating EventList ( \"s\" [Command Draw] [Command Draw] ):\n"
         "Tuple element 0 is String. Vec3d was expected."},
        {"x = TimeModifier { begin = 1 }",
         "memory(1):\nfatal: While evaluating TimeModifier { begin -> 1,}:\n"
         "Name 'object' is not defined."},
    };
    for (const auto& c : cases) EXPECT_EQ(functionError(c.script), c.message) << c.script;
}

}  // namespace
}  // namespace Vexa
