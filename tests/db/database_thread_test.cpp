#include "db/database_thread.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "support/core/fake_clock.h"
#include "support/core/no_files.h"
#include "support/core/window_fixture.h"
#include "support/core/window_queue.h"
#include "window/database_report.h"

namespace zel {
namespace {

using Step = DbOutcome::Step;

// What the fake server saw and what it is told to do, shared by every connection it makes.
struct FakeServer {
    std::mutex m;
    std::condition_variable cv;
    std::vector<std::string> log;  // "open" and each statement, in the order they arrived
    int opens = 0;
    int failOpens = 0;                          // the next n openings fail
    std::vector<std::string> loseConnectionAt;  // each of these, the next time, finds the connection gone
    std::string holdAt;                         // a statement starting so waits until `held` is cleared
    bool held = false;
    std::optional<std::string> request;  // the first row of zelDisconnect

    void note(const std::string& what) {
        {
            std::lock_guard lock(m);
            log.push_back(what);
        }
        cv.notify_all();
    }
    bool waitUntilSeen(std::size_t n) {
        std::unique_lock lock(m);
        return cv.wait_for(lock, std::chrono::seconds(30), [&] { return log.size() >= n; });
    }
    std::vector<std::string> seen() {
        std::lock_guard lock(m);
        return log;
    }
    bool waitUntilHolding() {  // a statement has reached `holdAt` and waits there
        std::unique_lock lock(m);
        return cv.wait_for(lock, std::chrono::seconds(30), [&] { return holdAt.empty(); });
    }
    void release() {
        {
            std::lock_guard lock(m);
            held = false;
        }
        cv.notify_all();
    }
};

class FakeConnection final : public DatabaseConnection {
public:
    explicit FakeConnection(FakeServer& server) : server_(server) {}
    void open(const std::string&) override {
        server_.note("open");
        std::lock_guard lock(server_.m);
        ++server_.opens;
        if (server_.failOpens > 0) {
            --server_.failOpens;
            throw DatabaseError("could not connect to server", "08001");
        }
        open_ = true;
    }
    int state() const override { return open_ ? 1 : 0; }
    QueryResult execute(const std::string& statement) override {
        if (!open_) throw DatabaseError("closed", "08003", 0, true);
        server_.note(statement);
        std::unique_lock lock(server_.m);
        if (!server_.holdAt.empty() && statement.rfind(server_.holdAt, 0) == 0) {
            server_.holdAt.clear();
            server_.cv.notify_all();
            server_.cv.wait(lock, [this] { return !server_.held; });
        }
        auto lost = std::find(server_.loseConnectionAt.begin(), server_.loseConnectionAt.end(), statement);
        if (lost != server_.loseConnectionAt.end()) {
            server_.loseConnectionAt.erase(lost);
            open_ = false;
            throw DatabaseError("server closed the connection unexpectedly", "08S01", 0, true);
        }
        if (statement.rfind("select \"disconnectUser\"", 0) == 0 && server_.request)
            return {false, server_.request};
        return {};
    }

private:
    FakeServer& server_;
    bool open_ = false;
};

// Files where only the archive of the latest run exists.
struct ArchiveOnly final : test::NoFiles {
    bool attributesReadable(const std::string& path) override { return path == "c:\\yedek\\y.zip"; }
};

// The shutdown utility ends at once; its command lines are kept.
struct InstantProcesses final : ProcessOps {
    std::mutex m;
    std::vector<std::string> started;
    std::uint32_t start(const std::string& commandLine, int) override {
        std::lock_guard lock(m);
        started.push_back(commandLine);
        return 42;
    }
    std::optional<ProcessHandle> open(std::uint32_t) override { return 7; }
    int wait(ProcessHandle, int) override { return kWaitEnded; }
    std::optional<int> exitCode(ProcessHandle) override { return 0; }
    void close(ProcessHandle) override {}
};

class DatabaseThreadTest : public ::testing::Test {
protected:
    DatabaseThread& db() {
        if (!db_) {
            db_ = std::make_unique<DatabaseThread>(
                DatabaseThread::Parts{[this] { return std::make_unique<FakeConnection>(server); }, files,
                                      clock, LocaleFormats{"/", ":", "dd/MM/yyyy"},
                                      [] { return std::string("PC"); }, processes, writers},
                window.poster(), [this](const DbOutcome& o) { outcomes.push_back(o); });
        }
        return *db_;
    }
    bool waitForOutcomes(std::size_t n) {
        return window.runUntil([&] { return outcomes.size() >= n; });
    }
    std::vector<Step> steps() const {
        std::vector<Step> s;
        for (const auto& o : outcomes) s.push_back(o.step);
        return s;
    }

    FakeServer server;
    ArchiveOnly files;
    test::FakeClock clock{{2026, 12, 6, 14, 5, 33}};
    InstantProcesses processes;
    UntrustedWriters writers;
    test::WindowQueue window;
    std::vector<DbOutcome> outcomes;
    std::unique_ptr<DatabaseThread> db_;
};

const std::string kSchema = "set schema 'pub'";
const std::string kHistory = " SELECT zelParameterValue FROM pub.zelParameter WHERE zelParameterID=1000 ";
const std::string kInsert =
    " INSERT INTO pub.zelParameter VALUES (1000,'','06/12/2026 14:05|PC', 'Last Backup Time')";
const std::string kPoll = "select \"disconnectUser\" from \"pub\".\"zelDisconnect\" ";

TEST_F(DatabaseThreadTest, StepsRunInTheOrderPostedAndEachReportsBack) {
    server.request = "7";
    db().startUp("");  // start-up: nothing built yet, so nothing is recorded
    db().checkFirst();
    db().record("c:\\yedek\\y.zip");
    db().poll("d:\\veri");  // its rows go once the utility has ended, on the database thread again
    ASSERT_TRUE(waitForOutcomes(4));
    EXPECT_EQ(steps(), (std::vector<Step>{Step::StartUp, Step::CheckFirst, Step::Record, Step::Poll}));
    for (const auto& o : outcomes) EXPECT_EQ(o.error, "");
    ASSERT_TRUE(outcomes[3].served);
    EXPECT_EQ(outcomes[3].served->user, "7");
    EXPECT_EQ(outcomes[3].served->exitCode, 0);
    EXPECT_TRUE(outcomes[2].recorded);
    EXPECT_TRUE(outcomes[2].connected);
    EXPECT_EQ(server.seen(),
              (std::vector<std::string>{"open", kSchema, "DELETE FROM zelDisconnect", kHistory, kInsert,
                                        kPoll, "DELETE FROM \"pub\".\"zelDisconnect\" "}));
    EXPECT_EQ(
        processes.started,
        std::vector<std::string>{
            "c:\\progress\\openedge\\bin\\proshut.bat d:\\brevund\\tarvel\\db\\dorvanel -C disconnect 7"});
}

// A utility the service may not run (others may change it, or the first source names no drive
// for its line) runs nothing, and the request waits in the table for a poll that may.
TEST_F(DatabaseThreadTest, ARefusedUtilityRunsNothingAndLeavesTheRows) {
    server.request = "7";
    writers = [](const std::string& program) { return program.ends_with("proshut.bat") ? "/d/c: herkes" : "?"; };
    db().poll("c:\\brevund");
    ASSERT_TRUE(waitForOutcomes(1));
    writers = {};
    db_.reset();
    db().poll("\\\\sunucu\\veri");
    ASSERT_TRUE(waitForOutcomes(2));
    ASSERT_TRUE(outcomes[0].served && outcomes[1].served);
    EXPECT_EQ(outcomes[0].served->refused,
              "Kapatma programı güvenli bir klasörde değil: c:\\progress\\openedge\\bin\\proshut.bat (/d/c: herkes)");
    EXPECT_EQ(outcomes[1].served->refused, "İlk kaynak klasör bir sürücüyle başlamalı: \\\\sunucu\\veri");
    EXPECT_TRUE(processes.started.empty());
    for (const std::string& statement : server.seen()) EXPECT_EQ(statement.find("DELETE"), std::string::npos);
}

TEST_F(DatabaseThreadTest, HungStatementHoldsNoCallAndAPollDueMeanwhileIsSkipped) {
    server.request = "7";
    server.holdAt = "select";
    server.held = true;
    db().startUp("");
    EXPECT_TRUE(db().poll("c:\\brevund"));
    ASSERT_TRUE(server.waitUntilSeen(3));  // open, schema, and now waiting in the poll's query
    // Every call returns at once while the thread waits on the server.
    EXPECT_FALSE(db().poll("c:\\brevund"));  // the request in progress must not be served twice
    db().record("c:\\yedek\\y.zip");
    std::this_thread::sleep_for(std::chrono::milliseconds(1100));
    server.release();
    ASSERT_TRUE(waitForOutcomes(3));
    EXPECT_EQ(steps(), (std::vector<Step>{Step::StartUp, Step::Record, Step::Poll}));
    EXPECT_GE(outcomes[1].waited, std::chrono::milliseconds(1100));
    EXPECT_EQ(processes.started.size(), 1u);
    EXPECT_TRUE(db().poll("c:\\brevund"));  // once it is back, the next tick polls again
    ASSERT_TRUE(waitForOutcomes(4));
}

TEST_F(DatabaseThreadTest, ServerDownCostsOneLoginPerStepAndTheNextPollOpensAgain) {
    server.failOpens = 3;
    db().startUp("c:\\yedek\\y.zip");
    db().poll("c:\\brevund");
    db().record("c:\\yedek\\y.zip");
    ASSERT_TRUE(waitForOutcomes(3));
    EXPECT_TRUE(db().poll("c:\\brevund"));  // the server is back
    ASSERT_TRUE(waitForOutcomes(4));
    EXPECT_NE(outcomes[0].error.find("could not connect"), std::string::npos) << outcomes[0].error;
    EXPECT_NE(outcomes[2].error.find("could not connect"), std::string::npos) << outcomes[2].error;
    EXPECT_EQ(outcomes[3].error, "");
    EXPECT_EQ(server.seen(), (std::vector<std::string>{"open", "open", "open", "open", kSchema, kPoll}));
}

TEST_F(DatabaseThreadTest, ConnectionLostSinceTheLastStatementIsReopenedInTheSameStep) {
    server.loseConnectionAt = {kHistory, kPoll};
    server.request = "9";
    db().startUp("");
    db().record("c:\\yedek\\y.zip");
    db().poll("c:\\brevund");  // its query meets the connection lost in turn
    ASSERT_TRUE(waitForOutcomes(3));
    EXPECT_EQ(outcomes[1].error, "");
    ASSERT_TRUE(outcomes[2].served);
    EXPECT_EQ(outcomes[2].served->user, "9");
    EXPECT_EQ(server.seen(),
              (std::vector<std::string>{"open", kSchema, kHistory, "open", kSchema, kHistory, kInsert, kPoll,
                                        "open", kSchema, kPoll, "DELETE FROM \"pub\".\"zelDisconnect\" "}));
}

TEST(RecordLogText, TellsAWaitOfMoreThanASecond) {
    DbOutcome o;
    o.recorded = true;
    for (auto [ms, text] : {std::pair<int, std::string>{1000, ""}, {12345, " (sırada 12.3 sn bekledi)"}}) {
        o.waited = std::chrono::milliseconds(ms);
        EXPECT_EQ(recordLogText(o), "Yedekleme kaydı veritabanına yazıldı" + text);
    }
}

// "&Kapat" right after a run whose record waits on a frozen server that thaws within the 3 s.
struct ServerOutlivingTheWindow {
    FakeServer server;
};
class KapatAfterARunTest : public ServerOutlivingTheWindow, public test::WindowTest {
protected:
    // A run whose record is held by the server, then the end; the server thaws during the wait.
    void endRightAfterARun(const std::function<void()>& end) {
        connections = [this] { return std::make_unique<FakeConnection>(server); };
        server.holdAt = kHistory;
        server.held = true;
        view.setSourceText(0, sourceWithAFile());
        form().Form_Load();
        form().cmdCopy_Click();
        ASSERT_TRUE(server.waitUntilHolding());
        std::thread thaw([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(300));  // while the end waits
            server.release();
        });
        view.said.clear();
        end();
        thaw.join();
        EXPECT_EQ(server.seen().back().rfind(" INSERT INTO pub.zelParameter VALUES (1000,''", 0), 0u);
        EXPECT_NE(test::readFile(logFile()).find("Yedekleme kaydı veritabanına yazıldı"), std::string::npos);
    }
};

TEST_F(KapatAfterARunTest, QueuedRecordIsWrittenBeforeTheEnd) {
    endRightAfterARun([this] { form().mnuExit_Click(); });
    EXPECT_EQ(view.said, (std::vector<std::string>{"tray delete", "state 1", "hide", "end"}));
}

TEST_F(KapatAfterARunTest, TheSessionsEndWaitsForItToo) {
    endRightAfterARun([this] { form().sessionEnding(); });
    ASSERT_FALSE(view.said.empty());
    EXPECT_EQ(view.said.back(), "end");
}

// A poll skipped while the previous one still runs does not claim a status check it never made.
class SkippedPollTest : public ServerOutlivingTheWindow, public test::WindowTest {};

TEST_F(SkippedPollTest, LeavesTheLabelAtTheLastPollThatRan) {
    connections = [this] { return std::make_unique<FakeConnection>(server); };
    server.holdAt = kPoll;
    server.held = true;
    form().Form_Load();
    clock.set({2024, 3, 5, 14, 5, 33});
    form().Timer5_Timer();
    ASSERT_TRUE(server.waitUntilHolding());
    clock.set({2024, 3, 5, 14, 5, 43});
    form().Timer5_Timer();
    EXPECT_EQ(view.caption(Caption::lblInfo), "Status Check 14:05:33");
    server.release();
}

}  // namespace
}  // namespace zel
