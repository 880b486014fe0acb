#include <windows.h>

#include <gtest/gtest.h>
#include <shellapi.h>  // after windows.h, which it needs

#include <chrono>
#include <filesystem>
#include <thread>

#include "engine/process_runner.h"
#include "platform/processes/command_words.h"
#include "platform/processes/process.h"
#include "platform/system/wide_text_win.h"
#include "support/core/program_dir.h"
#include "support/core/temp_dir.h"

namespace zel {
namespace {

using namespace std::chrono;

class WinProcesses : public ::testing::Test {
protected:
    std::int32_t run(const std::string& args, std::int32_t maxWait = 0, std::int32_t style = 4) {
        RunnerHooks hooks;
        hooks.processEvents = [this] { ++events; };
        return ProcessRunner(*ops, hooks).runAndWait("\"" + sleeper + "\" " + args, maxWait, style, 0);
    }
    std::unique_ptr<ProcessOps> ops = makeNativeProcessOps(PathMap());
    std::string sleeper = test::besideTests("zel_sleeper.exe");
    test::TempDir tmp;
    int events = 0;
};

TEST_F(WinProcesses, QuickProgramGivesZeroWithoutEvents) {
    EXPECT_EQ(run("0"), 0);
    EXPECT_EQ(events, 0);
}

TEST_F(WinProcesses, ExitCodeOfTheEndedProgramIsKeptForTheCaller) {
    for (int code : {0, 14, 18}) {
        const auto o = ProcessRunner(*ops, RunnerHooks{})
                           .run("\"" + sleeper + "\" 0 - " + std::to_string(code), 0, 4, 0);
        EXPECT_EQ(o.result, kRunEnded);
        EXPECT_EQ(o.exitCode, code);
    }
}

// The end from inside a wait: the runner ends the program it waits for, at once.
TEST_F(WinProcesses, TheEndEndsTheProgramWaitedFor) {
    const ProcessRunner* runner = nullptr;
    bool ended = false;
    RunnerHooks hooks;
    hooks.processEvents = [&] {
        if (!ended) ended = runner->endWaited();
    };
    const ProcessRunner r(*ops, hooks);
    runner = &r;
    const auto o = r.run("\"" + sleeper + "\" 600000", 0, 4, 0);
    EXPECT_TRUE(ended);
    EXPECT_EQ(o.exitCode, 1);  // ended by the job, not after its ten minutes
    EXPECT_FALSE(r.endWaited());  // nothing is waited for any more
}

TEST_F(WinProcesses, AProgramThatEndedBeforeItWasOpenedKeepsItsExitCode) {
    const std::uint32_t id = ops->start("\"" + sleeper + "\" 0 - 18", 0);
    ASSERT_NE(id, 0u);
    // Gone long before the open, and its id free for anyone: the handle kept from the start tells.
    std::this_thread::sleep_for(milliseconds(500));
    const auto handle = ops->open(id);
    ASSERT_TRUE(handle);
    EXPECT_EQ(ops->wait(*handle, 5000), kWaitEnded);
    EXPECT_EQ(ops->exitCode(*handle), 18);
    ops->close(*handle);
    EXPECT_FALSE(ops->open(id)) << "the handle is handed over once";
    EXPECT_FALSE(ops->open(GetCurrentProcessId())) << "a process started elsewhere is not opened by id";
}

TEST_F(WinProcesses, WindowStylesAcceptedOrRefused) {
    for (int style : {0, 1, 2, 3, 4, 6}) EXPECT_EQ(run("0", 0, style), 0) << style;
    for (int style : {5, 7, -1}) EXPECT_EQ(run("0", 0, style), 3) << style;
}

TEST_F(WinProcesses, MissingProgramGivesOne) {
    RunnerHooks hooks;
    EXPECT_EQ(ProcessRunner(*ops, hooks).runAndWait("c:\\yok\\zip.exe a -r b", 0, 4, 0), 1);
}

TEST_F(WinProcesses, LimitExceededAfterTheThirdSliceAndTheProgramStillFinishes) {
    const auto done = tmp / "done";
    auto t0 = steady_clock::now();
    EXPECT_EQ(run("2000 \"" + done.string() + "\"", 1000), 2);
    auto waited = steady_clock::now() - t0;
    EXPECT_EQ(events, 3);
    EXPECT_GE(waited, milliseconds(1450));
    EXPECT_FALSE(std::filesystem::exists(done));
    for (int i = 0; i < 60 && !std::filesystem::exists(done); ++i)
        std::this_thread::sleep_for(milliseconds(50));
    EXPECT_TRUE(std::filesystem::exists(done)) << "the program was not left to finish";
}

TEST_F(WinProcesses, NestedCallsFinishInnerFirst) {
    std::int32_t inner = -1;
    RunnerHooks outerHooks;
    outerHooks.processEvents = [&] {
        if (inner == -1) {
            inner = ProcessRunner(*ops, RunnerHooks{}).runAndWait("\"" + sleeper + "\" 800", 0, 0, 0);
        }
    };
    EXPECT_EQ(ProcessRunner(*ops, outerHooks).runAndWait("\"" + sleeper + "\" 700", 0, 4, 0), 0);
    EXPECT_EQ(inner, 0);
}

// The Linux runner splits a line into the words a Windows program gets from it.
TEST(CommandWords, ReadsArgumentsAsWindowsDoes) {
    for (const char* line : {"zip.exe \"c:\\eski yedek\\\\\" -r \"c:\\my docs\\\\\"", "zip.exe a\\\\\\\"b c",
                             "zip.exe \"c:\\x y\\\" z", "zip.exe c:\\x\\ \"\" y\tz"}) {
        int count = 0;
        LPWSTR* argv = CommandLineToArgvW(widen(line).c_str(), &count);
        std::vector<std::string> windows;
        for (int i = 0; i < count; ++i) windows.push_back(narrow(argv[i]));
        LocalFree(argv);
        EXPECT_EQ(splitCommandWords(line), windows) << line;
    }
}

// A run's command through cmd.exe: the run's facts in its environment, what it writes in its output,
// its exit code; past its limit it is ended with the program it started, which never gets to its end.
TEST_F(WinProcesses, ACommandHearsTheRunTalksAndIsEndedWithItsChildrenAtItsLimit) {
    wchar_t system[MAX_PATH];
    GetSystemDirectoryW(system, MAX_PATH);
    const std::string cmd = narrow(system) + "\\cmd.exe";
    const ProcessRunner runner(*ops, RunnerHooks{});
    const ProcessRunner::CommandOutcome said =
        runner.runCommand("\"" + cmd + "\" /c echo sonuc %ZELYEDEK_SONUC%& echo hata 1>&2& exit 3",
                          {{"ZELYEDEK_SONUC", "tamam"}}, 60000);
    EXPECT_EQ(said.exitCode, 3);
    EXPECT_NE(said.output.find("sonuc tamam"), std::string::npos) << said.output;
    EXPECT_NE(said.output.find("hata"), std::string::npos) << said.output;

    const auto started = steady_clock::now();
    const std::string finished = narrow((tmp.path() / "bitti").wstring());
    EXPECT_EQ(runner.runCommand("\"" + cmd + "\" /c \"\"" + sleeper + "\" 4000 \"" + finished + "\"\"", {}, 1000).result,
              kRunLimitExceeded);
    EXPECT_LT(steady_clock::now() - started, seconds(4));
    std::this_thread::sleep_for(seconds(5));
    EXPECT_FALSE(std::filesystem::exists(tmp.path() / "bitti")) << "the sleeper ran on";
}

}  // namespace
}  // namespace zel
