// The speedometer, the time printer, the test handler and the tapper.
#include <gtest/gtest.h>

#include <iostream>
#include <string>

#include "Parser/Functions/Diagnostics.h"
#include "Parser/IniCommands.h"
#include "Support/TestKit.h"

namespace Vexa {
namespace {

using Testing::printed;

class DiagnosticsTest : public Testing::ScriptTest {
protected:
    void SetUp() override {
        ScriptTest::SetUp();
        setSpeedometerCounter(&m_counter);
    }
    void TearDown() override {
        setSpeedometerCounter(nullptr);
        std::cout.precision(6);
        ScriptTest::TearDown();
    }
    // Moves the counter to `seconds` and sends an Update at that time.
    std::string updateAt(IniObject* speedometer, double seconds) {
        m_counter.advance(seconds - m_now);
        m_now = seconds;
        return printed(speedometer,
                       SimpleCommand(static_cast<float>(seconds), CommandKinds::Update()));
    }

    Testing::FakeCounter m_counter;
    double m_now = 0.0;
};

TEST_F(DiagnosticsTest, SpeedometerReportsOnlyAfterMoreThanItsInterval) {
    IniObject* meter = eval("Speedometer { interval = 1 }");
    EXPECT_EQ(updateAt(meter, 0.0), "");
    EXPECT_EQ(updateAt(meter, 0.5), "");
    EXPECT_EQ(updateAt(meter, 1.0), "");  // exactly the interval: no report
    EXPECT_EQ(updateAt(meter, 1.25), "FPS: 3.2, min: 3.2, avg: 3.2, max: 3.2\n");
    EXPECT_EQ(updateAt(meter, 1.5), "");
    EXPECT_EQ(updateAt(meter, 2.5), "FPS: 1.6, min: 1.6, avg: 2.4, max: 3.2\n");
}

TEST_F(DiagnosticsTest, SpeedometerDefaultsAndDisabling) {
    IniObject* zero = eval("Speedometer { interval = 0 }");
    EXPECT_EQ(updateAt(zero, 10.0), "");
    EXPECT_EQ(updateAt(zero, 11.9), "");
    EXPECT_EQ(updateAt(zero, 12.5), "FPS: 1.2, min: 1.2, avg: 1.2, max: 1.2\n");

    IniObject* off = eval("Speedometer { enable = Eq ( 1 2 ) }");
    for (double t : {0.0, 5.0, 10.0}) EXPECT_EQ(updateAt(off, t), "");
}

TEST_F(DiagnosticsTest, TimePrinterPrintsTheCommandTime) {
    IniObject* printer = eval("TimePrinter ()");
    EXPECT_EQ(printed(printer, SimpleCommand(1.25f, CommandKinds::Update())),
              "command time: 1.25\n");
    EXPECT_EQ(printed(printer, SimpleCommand(1.25f, CommandKinds::Draw())), "");
    EXPECT_EQ(printed(printer, SimpleCommand(0.0f, CommandKinds::Print())), "[TimePrinter]\n");
}

TEST_F(DiagnosticsTest, TestHandlerPrintsMouseAndKeyboardEventsOnly) {
    IniObject* handler = eval("TestHandler ()");
    EXPECT_EQ(printed(handler, MouseCommand(2.5f, 10, 20, -1, 3, 5, 4)),
              "MouseEvent 2.5: \n  mx=10  my=20\n  dx=-1  dy=3\n  bs=5  bd=4\n");
    EXPECT_EQ(printed(handler, KeyboardCommand(1.5f, 65)), "KeyboardEvent 1.5: \n  keyid=65\n");
    for (const CommandKind* kind : {CommandKinds::Load(), CommandKinds::Unload(),
                                    CommandKinds::Update(), CommandKinds::Draw()})
        EXPECT_EQ(printed(handler, SimpleCommand(0.0f, kind)), "") << kind->name;
}

TEST_F(DiagnosticsTest, TapperPrintsTapsAtLeastAThirdOfASecondApart) {
    IniObject* tapper = eval("Tapper ()");
    EXPECT_EQ(printed(tapper, KeyboardCommand(-0.6f, 'A')), "-0.6 -- A\n");
    EXPECT_EQ(printed(tapper, KeyboardCommand(1.0f, 'B')), "1 -- B\n");
    EXPECT_EQ(printed(tapper, KeyboardCommand(1.2f, 'C')), "");
    EXPECT_EQ(printed(tapper, KeyboardCommand(1.4f, 'D')), "1.4 -- D\n");
    EXPECT_EQ(printed(tapper, SimpleCommand(3.0f, CommandKinds::Update())), "");
}

}  // namespace
}  // namespace Vexa
