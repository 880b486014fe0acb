#include "engine/process_runner.h"

#include <gtest/gtest.h>

#include <deque>
#include <stdexcept>

namespace zel {
namespace {

// Scripted primitives: each wait returns the next outcome in the script (then repeats the last).
class ScriptedOps final : public ProcessOps {
public:
    std::uint32_t pid = 42;
    bool openFails = false;
    bool startThrows = false;
    std::deque<int> outcomes{kWaitEnded};
    int starts = 0, opens = 0, waits = 0, closes = 0;
    std::function<void()> onWait;

    std::uint32_t start(const std::string&, int) override {
        ++starts;
        if (startThrows) throw std::runtime_error("no such program");
        return pid;
    }
    std::optional<ProcessHandle> open(std::uint32_t) override {
        ++opens;
        if (openFails) return std::nullopt;
        return 7;
    }
    int wait(ProcessHandle, int timeoutMs) override {
        EXPECT_EQ(timeoutMs, 500);
        ++waits;
        if (onWait) onWait();
        int o = outcomes.front();
        if (outcomes.size() > 1) outcomes.pop_front();
        return o;
    }
    std::optional<int> exitCode(ProcessHandle) override { return code; }
    void close(ProcessHandle) override { ++closes; }
    std::optional<int> code = 0;
};

struct Harness {
    ScriptedOps ops;
    int events = 0;
    int interrupts = 0;  // interrupts still to deliver, one per slice
    int questions = 0;
    bool answerYes = true;

    ProcessRunner runner() {
        RunnerHooks h;
        h.processEvents = [this] { ++events; };
        h.takeInterrupt = [this] {
            if (interrupts == 0) return false;
            --interrupts;
            return true;
        };
        h.askContinue = [this](std::string_view text) {
            EXPECT_EQ(text, "User Process Break.\r\nContinue to wait?");
            ++questions;
            return answerYes;
        };
        return ProcessRunner(ops, h);
    }
    std::int32_t run(std::int32_t maxWait = 0, std::int32_t style = 4, std::int32_t breakMode = 0) {
        return runner().runAndWait("prog arg", maxWait, style, breakMode);
    }
};

TEST(RunnerValidation, InvalidArgumentsGiveThreeAndStartNothing) {
    Harness h;
    ProcessRunner r = h.runner();
    EXPECT_EQ(r.runAndWait("    ", 0, 4, 0), 3);
    EXPECT_EQ(r.runAndWait("", 0, 4, 0), 3);
    EXPECT_EQ(r.runAndWait("p", -1, 4, 0), 3);
    EXPECT_EQ(r.runAndWait("p", 0, 5, 0), 3);
    EXPECT_EQ(r.runAndWait("p", 0, 7, 0), 3);
    EXPECT_EQ(r.runAndWait("p", 0, -1, 0), 3);
    EXPECT_EQ(r.runAndWait("p", 0, 4, 3), 3);
    EXPECT_EQ(r.runAndWait("p", 0, 4, -1), 3);
    EXPECT_EQ(h.ops.starts, 0);
}

TEST(RunnerValidation, ChecksRunInTheirFixedOrder) {
    // Every argument is bad; the first check (the command line) decides, and all say 3 anyway,
    // so the order shows in which values are accepted alone.
    EXPECT_FALSE(runArgumentsValid(" ", -1, 5, 3));
    EXPECT_TRUE(runArgumentsValid("p", 0, 6, 2));
    EXPECT_TRUE(runArgumentsValid("p", 999999999, 0, 0));
    for (int style : {0, 1, 2, 3, 4, 6}) EXPECT_TRUE(runArgumentsValid("p", 1, style, 1)) << style;
}

TEST(RunnerStart, FailuresGiveOneWithoutWaiting) {
    Harness h;
    h.ops.startThrows = true;
    EXPECT_EQ(h.run(), 1);
    EXPECT_EQ(h.ops.waits, 0);

    Harness z;
    z.ops.pid = 0;
    EXPECT_EQ(z.run(), 1);
    EXPECT_EQ(z.ops.opens, 0);

    Harness o;
    o.ops.openFails = true;
    EXPECT_EQ(o.run(), 1);
    EXPECT_EQ(o.ops.waits, 0);
    EXPECT_EQ(o.ops.closes, 0);
}

TEST(RunnerWait, ProcessEndingInTheFirstSliceProcessesNoEvent) {
    Harness h;
    EXPECT_EQ(h.run(), 0);
    EXPECT_EQ(h.events, 0);
    EXPECT_EQ(h.ops.waits, 1);
    EXPECT_EQ(h.ops.closes, 1);
}

TEST(RunnerWait, EventsAreProcessedOnceAfterEachTimedOutSlice) {
    Harness h;
    h.ops.outcomes = {kWaitTimeout, kWaitTimeout, kWaitTimeout, kWaitEnded};
    EXPECT_EQ(h.run(), 0);
    EXPECT_EQ(h.events, 3);
    EXPECT_EQ(h.ops.closes, 1);
}

TEST(RunnerWait, LimitIsExceededOnlyWhenElapsedIsStrictlyGreater) {
    Harness h;
    h.ops.outcomes = {kWaitTimeout};
    EXPECT_EQ(h.run(1000), 2);
    EXPECT_EQ(h.ops.waits, 3);  // gives up after the third timed-out slice (elapsed 1500)
    EXPECT_EQ(h.ops.closes, 1);

    Harness exact;
    exact.ops.outcomes = {kWaitTimeout, kWaitTimeout, kWaitEnded};
    EXPECT_EQ(exact.run(1000), 0);  // elapsed 1000 is not over a limit of 1000

    Harness odd;
    odd.ops.outcomes = {kWaitTimeout};
    EXPECT_EQ(odd.run(1), 2);
    EXPECT_EQ(odd.ops.waits, 1);
}

TEST(RunnerWait, FailedWaitCountsAsEnded) {
    Harness h;
    h.ops.outcomes = {kWaitTimeout, kWaitFailed};
    EXPECT_EQ(h.run(), 0);
    EXPECT_EQ(h.events, 2);  // the failed outcome also gets its dispatch first
    EXPECT_EQ(h.ops.closes, 1);
}

TEST(RunnerWait, ElapsedOverflowWithoutLimitTakesTheErrorPath) {
    Harness h;
    h.ops.outcomes = {kWaitTimeout};
    EXPECT_EQ(h.run(0), 1);
    EXPECT_EQ(h.ops.waits, 4294968);  // the slice whose count would pass 2^31-1
    EXPECT_EQ(h.ops.closes, 1);
}

TEST(RunnerWait, TheCallersLimitGivesUpAfterTwoMillionSlices) {
    Harness h;
    h.ops.outcomes = {kWaitTimeout};
    EXPECT_EQ(h.run(999999999), 2);
    EXPECT_EQ(h.ops.waits, 2000000);
}

TEST(RunnerWait, ErrorWhileWaitingGivesOneAndClosesTheHandle) {
    Harness h;
    h.ops.outcomes = {kWaitTimeout};
    h.ops.onWait = [&] {
        if (h.ops.waits == 2) throw std::runtime_error("wait broke");
    };
    EXPECT_EQ(h.run(), 1);
    EXPECT_EQ(h.ops.closes, 1);
}

TEST(RunnerBreak, ModeZeroForgetsTheInterruptAndWaitsOn) {
    Harness h;
    h.interrupts = 2;
    h.ops.outcomes = {kWaitTimeout, kWaitTimeout, kWaitEnded};
    EXPECT_EQ(h.run(0, 4, 0), 0);
    EXPECT_EQ(h.questions, 0);
    EXPECT_EQ(h.ops.closes, 1);
}

TEST(RunnerBreak, ModeOneReturnsFiveAndClosesTheHandle) {
    Harness h;
    h.interrupts = 1;
    h.ops.outcomes = {kWaitTimeout};
    EXPECT_EQ(h.run(0, 4, 1), 5);
    EXPECT_EQ(h.ops.closes, 1);
    EXPECT_EQ(h.questions, 0);
}

TEST(RunnerBreak, ModeTwoAsksAndNoReturnsSix) {
    Harness h;
    h.interrupts = 1;
    h.answerYes = false;
    h.ops.outcomes = {kWaitTimeout};
    EXPECT_EQ(h.run(0, 4, 2), 6);
    EXPECT_EQ(h.questions, 1);
    EXPECT_EQ(h.ops.closes, 1);
}

TEST(RunnerBreak, ModeTwoYesGoesOnWaiting) {
    Harness h;
    h.interrupts = 1;
    h.answerYes = true;
    h.ops.outcomes = {kWaitTimeout, kWaitTimeout, kWaitEnded};
    EXPECT_EQ(h.run(0, 4, 2), 0);
    EXPECT_EQ(h.questions, 1);
    EXPECT_EQ(h.ops.waits, 3);
    EXPECT_EQ(h.ops.closes, 1);
}

TEST(RunnerNesting, ACallInsideAnotherCallsEventProcessingIsIndependent) {
    ScriptedOps outerOps;
    ScriptedOps innerOps;
    innerOps.pid = 43;
    outerOps.outcomes = {kWaitTimeout, kWaitTimeout, kWaitEnded};
    innerOps.outcomes = {kWaitTimeout, kWaitEnded};
    std::int32_t innerResult = -99;
    int outerEvents = 0;
    RunnerHooks innerHooks;
    ProcessRunner inner(innerOps, innerHooks);
    RunnerHooks outerHooks;
    outerHooks.processEvents = [&] {
        if (++outerEvents == 1) innerResult = inner.runAndWait("inner", 0, 0, 0);
    };
    ProcessRunner outer(outerOps, outerHooks);
    EXPECT_EQ(outer.runAndWait("outer", 1000, 4, 0), 0);
    EXPECT_EQ(innerResult, 0);
    EXPECT_EQ(innerOps.closes, 1);
    EXPECT_EQ(outerOps.closes, 1);
}

}  // namespace
}  // namespace zel
