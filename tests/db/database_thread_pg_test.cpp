#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "db/database_thread.h"
#include "db/odbc_connection.h"
#include "platform/files/native_file_system.h"
#include "support/core/drive_fixture.h"
#include "support/core/fake_clock.h"
#include "support/core/window_queue.h"
#include "support/db/pg_server.h"

namespace zel {
namespace {

using test::PgServer;
using namespace std::chrono;

// The database thread against the real server: the window's side of every call must stay quick
// whatever the server does, and the server's return must be noticed at once.
class DatabaseThreadPgTest : public ::testing::Test {
protected:
    void SetUp() override {
        ZEL_REQUIRE_PG();
        drives.installShutdownTool();
        test::writeFile(drives.drive('c') / "yedek" / "yedek20261206.1405.zip", "PK");
        admin = test::adminConnection();
        admin->execute("DELETE FROM pub.zelparameter");
        admin->execute("DELETE FROM pub.\"zelDisconnect\"");
        db = std::make_unique<DatabaseThread>(
            DatabaseThread::Parts{[] { return std::make_unique<OdbcConnection>(kShortQueryTimeout); }, files,
                                  clock, LocaleFormats{"/", ":", "dd/MM/yyyy"},
                                  [] { return std::string("PC"); }, *ops},
            window.poster(), [this](const DbOutcome& o) { outcomes.push_back(o); });
    }
    void TearDown() override {
        if (frozen) PgServer::control("thaw");
    }
    bool waitForOutcomes(std::size_t n) {
        return window.runUntil([&] { return outcomes.size() >= n; }, seconds(60));
    }
    // Runs one window-side call and keeps the longest time any took.
    template <typename F>
    void timed(F call) {
        const auto t0 = steady_clock::now();
        call();
        longest = std::max(longest, duration_cast<milliseconds>(steady_clock::now() - t0));
    }

    static constexpr unsigned long kShortQueryTimeout = 3;
    const std::string archive = "c:\\yedek\\yedek20261206.1405.zip";
    test::TempDrives drives;
    PathMap paths{drives.root().string()};
    NativeFileSystem files{paths};
    std::unique_ptr<ProcessOps> ops = makeNativeProcessOps(paths);
    test::FakeClock clock{{2026, 12, 6, 14, 5, 33}};
    test::WindowQueue window;
    std::vector<DbOutcome> outcomes;
    std::unique_ptr<DatabaseConnection> admin;
    std::unique_ptr<DatabaseThread> db;
    milliseconds longest{0};
    bool frozen = false;
};

TEST_F(DatabaseThreadPgTest, FrozenServerHoldsOnlyTheDatabaseThread) {
    db->startUp("");
    ASSERT_TRUE(waitForOutcomes(1));
    PgServer::control("freeze");
    frozen = true;
    // Ten seconds of a window that records a run and polls while the server does not answer: a
    // statement timeout, then login timeouts, all on the database thread.
    outcomes.clear();
    timed([&] { db->record(archive); });
    const auto end = steady_clock::now() + seconds(10);
    int polls = 0;
    while (steady_clock::now() < end) {
        timed([&] { polls += db->poll("c:\\brevund") ? 1 : 0; });
        timed([&] { window.runUntil([] { return false; }, milliseconds(100)); });
    }
    // A call that waited on the server would take at least the statement timeout; the margin below
    // it is for a loaded machine (the benchmark measures how promptly the window answers).
    EXPECT_LT(longest, seconds(kShortQueryTimeout) - milliseconds(500))
        << "a window-side call waited on the frozen server";
    EXPECT_LE(polls, 3) << "polls piled up behind the frozen server";

    PgServer::control("thaw");
    frozen = false;
    ASSERT_TRUE(waitForOutcomes(1 + static_cast<std::size_t>(polls)));
    // Once the server answers again, the next record goes through at its first try.
    clock.set({2026, 12, 7, 17, 0, 1});
    outcomes.clear();
    admin = test::adminConnection();
    admin->execute("DELETE FROM pub.zelparameter");
    db->record(archive);
    ASSERT_TRUE(waitForOutcomes(1));
    EXPECT_EQ(outcomes.back().error, "");
    EXPECT_EQ(admin->execute("SELECT zelparametervalue FROM pub.zelparameter").firstField,
              "07/12/2026 17:00|PC");
}

TEST_F(DatabaseThreadPgTest, RestartedServerCostsNeitherARecordNorAPoll) {
    db->startUp("");
    ASSERT_TRUE(waitForOutcomes(1));
    PgServer::control("restart");
    admin = test::adminConnection();
    admin->execute("INSERT INTO pub.\"zelDisconnect\" VALUES (7)");
    db->record(archive);
    db->poll("c:\\brevund");
    ASSERT_TRUE(waitForOutcomes(3));
    EXPECT_EQ(outcomes[1].error, "");
    ASSERT_TRUE(outcomes[2].served);
    EXPECT_EQ(outcomes[2].served->user, "7");
    EXPECT_EQ(admin->execute("SELECT zelparametervalue FROM pub.zelparameter").firstField,
              "06/12/2026 14:05|PC");
    EXPECT_EQ(drives.shutdownCalls(),
              paths.native("c:\\brevund\\tarvel\\db\\dorvanel") + " -C disconnect 7\n");
}

// A record posted once the utility runs goes through before it ends; the utility's run is told
// about once when it has run too long.
TEST_F(DatabaseThreadPgTest, HangingShutdownUtilityHoldsNoRecordAndIsToldOnceOverdue) {
    test::writeFile(drives.shutdownToolDir() / "slow", "5");
    admin->execute("INSERT INTO pub.\"zelDisconnect\" VALUES (7)");
    db->poll("c:\\brevund");
    const auto deadline = steady_clock::now() + seconds(30);
    while (!std::filesystem::exists(drives.shutdownToolDir() / "started") && steady_clock::now() < deadline)
        std::this_thread::sleep_for(milliseconds(10));
    ASSERT_TRUE(std::filesystem::exists(drives.shutdownToolDir() / "started"));
    EXPECT_FALSE(db->poll("c:\\brevund"));
    EXPECT_EQ(db->overdueUtility(hours(1)), std::nullopt);
    std::this_thread::sleep_for(milliseconds(150));
    EXPECT_EQ(db->overdueUtility(milliseconds(100)),
              "c:\\progress\\openedge\\bin\\proshut.bat c:\\brevund\\tarvel\\db\\dorvanel -C disconnect 7");
    EXPECT_EQ(db->overdueUtility(milliseconds(100)), std::nullopt);

    db->record(archive);  // a run ends while the utility runs
    ASSERT_TRUE(waitForOutcomes(1));
    EXPECT_EQ(outcomes[0].step, DbOutcome::Step::Record);
    EXPECT_EQ(admin->execute("SELECT zelparametervalue FROM pub.zelparameter").firstField,
              "06/12/2026 14:05|PC");
    EXPECT_EQ(drives.shutdownCalls(), "");  // still sleeping
    ASSERT_TRUE(waitForOutcomes(2));
    ASSERT_TRUE(outcomes[1].served);
    EXPECT_EQ(admin->execute("SELECT count(*) FROM pub.\"zelDisconnect\"").firstField, "0");
    EXPECT_EQ(db->overdueUtility(milliseconds(0)), std::nullopt);  // it has ended
}

}  // namespace
}  // namespace zel
