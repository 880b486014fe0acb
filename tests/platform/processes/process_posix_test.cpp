#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <optional>
#include <thread>

#include "engine/process_runner.h"
#include "platform/processes/process.h"
#include "support/core/temp_dir.h"

namespace zel {
namespace {

using namespace std::chrono;
using test::TempDir;

class RealProcesses : public ::testing::Test {
protected:
    RealProcesses() : ops(makeNativeProcessOps(PathMap((tmp / "drives").string()))) {}

    std::int32_t run(const std::string& line, std::int32_t maxWait = 0, std::int32_t style = 4,
                     std::int32_t breakMode = 0) {
        RunnerHooks hooks;
        hooks.processEvents = [this] { ++events; };
        return ProcessRunner(*ops, hooks).runAndWait(line, maxWait, style, breakMode);
    }
    std::string marker(const std::string& name) const { return (tmp / name).string(); }

    TempDir tmp;
    std::unique_ptr<ProcessOps> ops;
    int events = 0;
};

bool isZombieOrGone(int pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    if (!stat) return true;
    std::string comm, state;
    int p = 0;
    stat >> p >> comm >> state;
    return state == "Z";
}

TEST_F(RealProcesses, QuickProgramGivesZeroWithoutEvents) {
    EXPECT_EQ(run("/bin/true"), 0);
    EXPECT_EQ(events, 0);
}

TEST_F(RealProcesses, ExitCodeOfTheEndedProgramIsKeptForTheCaller) {
    struct Case {
        const char* line;
        std::optional<int> code;
    };
    for (const Case& c : {Case{"/bin/true", 0}, Case{"/bin/false", 1}, Case{"/bin/sh -c \"exit 18\"", 18},
                          Case{"/bin/sh -c \"sleep 0.6; exit 14\"", 14},  // ends after a slice
                          Case{"/bin/sh -c \"kill -9 $$\"", 128 + 9}}) {
        const ProcessRunner::Outcome o = ProcessRunner(*ops, RunnerHooks{}).run(c.line, 0, 4, 0);
        EXPECT_EQ(o.result, kRunEnded) << c.line;
        EXPECT_EQ(o.exitCode, c.code) << c.line;
    }
    // A program still running when the runner gives up has no code yet.
    EXPECT_EQ(ProcessRunner(*ops, RunnerHooks{}).run("/bin/sleep 2", 400, 4, 0).exitCode, std::nullopt);
}

TEST_F(RealProcesses, BareProgramNameIsFoundOnThePath) {
    EXPECT_EQ(run("true"), 0);
    EXPECT_EQ(run("yok-boyle-bir-program"), 1);
}

TEST_F(RealProcesses, SpacesOnlyStartNothing) {
    EXPECT_EQ(run("   "), 3);
    EXPECT_EQ(events, 0);
}

TEST_F(RealProcesses, MissingProgramGivesOne) {
    EXPECT_EQ(run("/nonexistent/zip.exe a -r b"), 1);
    EXPECT_EQ(run("c:\\brevund\\tarvel\\bat\\zip.exe a -r b"), 1);  // drive c is not mapped
}

TEST_F(RealProcesses, WindowStylesAreCheckedAndOtherwiseAccepted) {
    EXPECT_EQ(run("/bin/true", 0, 5), 3);
    EXPECT_EQ(run("/bin/true", 0, 7), 3);
    EXPECT_EQ(run("/bin/true", 0, 6), 0);
    EXPECT_EQ(run("/bin/true", 0, 0), 0);
    EXPECT_EQ(run("/bin/true", 0, 4, 3), 3);
    EXPECT_EQ(run("/bin/true", -1), 3);
}

TEST_F(RealProcesses, NoLimitWaitsForTheProgramToEnd) {
    auto t0 = steady_clock::now();
    EXPECT_EQ(run("/bin/sh -c \"sleep 1.2; touch " + marker("done") + "\"", 0), 0);
    EXPECT_GE(steady_clock::now() - t0, milliseconds(1100));
    EXPECT_TRUE(std::filesystem::exists(marker("done")));
    EXPECT_GE(events, 2);  // at least two timed-out slices before the end
}

TEST_F(RealProcesses, LimitExceededLeavesTheProgramRunningToItsEnd) {
    const std::string done = marker("finished");
    auto t0 = steady_clock::now();
    EXPECT_EQ(run("/bin/sh -c \"sleep 2; touch " + done + "\"", 1000), 2);
    auto waited = steady_clock::now() - t0;
    EXPECT_GE(waited, milliseconds(1450));
    EXPECT_FALSE(std::filesystem::exists(done)) << "the wait lasted to the program's end";
    for (int i = 0; i < 60 && !std::filesystem::exists(done); ++i)
        std::this_thread::sleep_for(milliseconds(50));
    EXPECT_TRUE(std::filesystem::exists(done)) << "the program was not left to finish";
}

TEST_F(RealProcesses, ProgramsNoLongerWaitedForAreReaped) {
    const std::string pidFile = marker("pid");
    EXPECT_EQ(run("/bin/sh -c \"echo $$ > " + pidFile + "; sleep 0.7\"", 1), 2);
    std::ifstream in(pidFile);
    int pid = 0;
    in >> pid;
    ASSERT_GT(pid, 0);
    bool gone = false;
    for (int i = 0; i < 100 && !gone; ++i) {
        std::this_thread::sleep_for(milliseconds(30));
        gone = !std::filesystem::exists("/proc/" + std::to_string(pid));
    }
    EXPECT_TRUE(gone) << (isZombieOrGone(pid) ? "left as a zombie" : "still running");
}

TEST_F(RealProcesses, ProgramGetsItsArgumentsWithQuotedSpaces) {
    const std::string out = marker("args");
    std::filesystem::create_directories(tmp / "drives" / "c" / "eski yedek");
    const auto script = tmp / "args.sh";
    test::writeFile(script, "#!/bin/sh\nfor a in \"$@\"; do printf '%s|' \"$a\"; done > '" + out + "'\n");
    std::filesystem::permissions(script, std::filesystem::perms::owner_all);
    EXPECT_EQ(run(script.string() + " \"c:\\eski yedek\" -r x"), 0);
    // The shell saw each word whole; the drive word became a native path.
    std::ifstream in(out);
    std::string got;
    std::getline(in, got);
    EXPECT_EQ(got, (tmp / "drives").string() + "/c/eski yedek|-r|x|");
}

TEST_F(RealProcesses, NestedCallFinishesBeforeTheOuterResumes) {
    std::int32_t inner = -1;
    RunnerHooks outerHooks;
    outerHooks.processEvents = [&] {
        if (inner == -1)
            inner = ProcessRunner(*ops, RunnerHooks{}).runAndWait("/bin/sh -c \"sleep 0.8\"", 0, 0, 0);
    };
    auto t0 = steady_clock::now();
    EXPECT_EQ(ProcessRunner(*ops, outerHooks).runAndWait("/bin/sh -c \"sleep 0.7\"", 0, 4, 0), 0);
    EXPECT_EQ(inner, 0);
    EXPECT_GE(steady_clock::now() - t0, milliseconds(1250));
}

}  // namespace
}  // namespace zel
