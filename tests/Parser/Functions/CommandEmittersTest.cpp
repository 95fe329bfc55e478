// Event lists, command groups, delegators and time modifiers, driven against
// recorders that write down every command they receive.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "Parser/Functions/CommandEmitters.h"
#include "Parser/IniCommands.h"
#include "Support/TestKit.h"

namespace Vexa {
namespace {

using Testing::Lines;
using Testing::send;
using Testing::takeRecordedCommands;

const char* const kRecorders =
    "a = TestCommandRecorder \"a\" b = TestCommandRecorder \"b\" c = TestCommandRecorder \"c\" "
    "d = TestCommandRecorder \"d\"\n";

class CommandEmittersTest : public Testing::ScriptTest {
protected:
    IniObject* emitter(const std::string& expression) {
        return run(kRecorders + ("x = " + expression));
    }
    // Sends an Update at each time and answers what the recorders received.
    Lines updates(IniObject* target, std::initializer_list<float> times) {
        for (float t : times) send(target, CommandKinds::Update(), t);
        return takeRecordedCommands();
    }
};

TEST_F(CommandEmittersTest, PointEventsFireOnceWithTheirOwnTimeInWrittenOrder) {
    IniObject* list = emitter("EventList ( 2 a Draw () 0 b Draw () 2 b Print () )");
    EXPECT_EQ(updates(list, {1}), (Lines{"b Draw 0"}));
    EXPECT_EQ(updates(list, {3}), (Lines{"a Draw 2", "b Print 2"}));
    EXPECT_EQ(updates(list, {4}), Lines{});
}

TEST_F(CommandEmittersTest, ContinuousSpanRunsEveryFrameInsideItsRangeInclusive) {
    IniObject* list = emitter("EventList ( ( 2 5 ) a Draw () )");
    EXPECT_EQ(updates(list, {1, 2, 3.5f, 5, 5.5f, 6}),
              (Lines{"a Draw 2", "a Draw 3.5", "a Draw 5"}));
    EXPECT_EQ(static_cast<EventListObject*>(list)->activeSpanCount(), 0u);
    // A span skipped over in one frame never runs.
    EXPECT_EQ(updates(emitter("EventList ( ( 2 5 ) a Draw () )"), {0, 9}), Lines{});
}

TEST_F(CommandEmittersTest, PeriodicSpanCatchesUpMissedFiringsEvenPastItsEnd) {
    IniObject* list = emitter("EventList ( < 0 10 3 > a Draw () )");
    EXPECT_EQ(updates(list, {1}), (Lines{"a Draw 0"}));
    EXPECT_EQ(updates(list, {7}), (Lines{"a Draw 3", "a Draw 6"}));
    EXPECT_EQ(updates(list, {13}), (Lines{"a Draw 9", "a Draw 12"}));
    EXPECT_EQ(updates(list, {20}), Lines{});
    // A tiny period cannot loop forever.
    EXPECT_LE(
        updates(emitter("EventList ( < 1000 2000 0.000001 > a Draw () )"), {1000, 1000.5f}).size(),
        4u);
}

TEST_F(CommandEmittersTest, ActiveSpansRunByOrderThenActivation) {
    IniObject* list = emitter(
        "EventList ( ( 0 9 2 ) a Draw () ( 0 9 0 ) b Draw () ( 0 9 1 ) c Draw () "
        "( 1 9 1 ) d Draw () )");
    EXPECT_EQ(updates(list, {0}), (Lines{"b Draw 0", "c Draw 0", "a Draw 0"}));
    EXPECT_EQ(updates(list, {1}), (Lines{"b Draw 1", "c Draw 1", "d Draw 1", "a Draw 1"}));
}

TEST_F(CommandEmittersTest, TimeGoingBackwardsRefiresNothingAndOtherKindsAreIgnored) {
    IniObject* list = emitter("EventList ( 1 a Print () ( 1 3 ) a Draw () )");
    send(list, CommandKinds::Load(), 2.0f);
    send(list, CommandKinds::Draw(), 2.0f);
    EXPECT_EQ(updates(list, {2, 0.5f}), (Lines{"a Print 1", "a Draw 2", "a Draw 0.5"}));
    EXPECT_EQ(updates(emitter("EventList ( )"), {5}), Lines{});
}

TEST_F(CommandEmittersTest, NanTimesNeverFireAndDoNotDisturbOthers) {
    run(kRecorders);
    parser().rootScope()->bind("n", new NumberObject(std::nanf("")), false);
    IniObject* list = run("x = EventList ( n a Print () 1 a Draw () ( n 3 ) a Load () )");
    EXPECT_EQ(updates(list, {2}), (Lines{"a Draw 1"}));
}

TEST_F(CommandEmittersTest, GroupsDelegatorsAndTimeModifiersPassCommandsOn) {
    // A group sends its pairs on Update, with the Update's time.
    IniObject* group = emitter("CommandGroup ( a Draw () b Load () )");
    send(group, CommandKinds::Print(), 5.0f);
    EXPECT_EQ(updates(group, {4}), (Lines{"a Draw 4", "b Load 4"}));

    send(emitter("Delegator ( a b )"), CommandKinds::Load(), 1.0f);
    EXPECT_EQ(takeRecordedCommands(), (Lines{"a Load 1", "b Load 1"}));

    IniObject* alternating = emitter("AlternatingDelegator ( a b c )");
    const CommandKind* kinds[] = {CommandKinds::Draw(), CommandKinds::Print(),
                                  CommandKinds::Update(), CommandKinds::Draw()};
    for (int i = 0; i < 4; ++i) send(alternating, kinds[i], float(i + 1));
    send(emitter("AlternatingDelegator ( )"), CommandKinds::Draw(), 1.0f);
    EXPECT_EQ(takeRecordedCommands(), (Lines{"a Draw 1", "b Print 2", "c Update 3", "a Draw 4"}));

    // A time modifier shifts and scales the time, then restores it.
    SimpleCommand draw(15.0f, CommandKinds::Draw());
    emitter("TimeModifier { begin = 10 speed = 2 object = a }")->execute(draw);
    EXPECT_EQ(takeRecordedCommands(), (Lines{"a Draw 10"}));
    EXPECT_EQ(draw.time(), 15.0f);
}

}  // namespace
}  // namespace Vexa
