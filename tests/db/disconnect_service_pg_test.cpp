#include <gtest/gtest.h>

#include <chrono>

#include "db/disconnect_service.h"
#include "db/odbc_connection.h"
#include "support/core/drive_fixture.h"
#include "support/db/pg_server.h"

namespace zel {
namespace {

using test::PgServer;
using namespace std::chrono;

class DisconnectServiceTest : public ::testing::Test {
protected:
    void SetUp() override {
        ZEL_REQUIRE_PG();
        drives.installShutdownTool();
        admin = test::adminConnection();
        admin->execute("DELETE FROM pub.\"zelDisconnect\"");
        runner = std::make_unique<ProcessRunner>(*ops, RunnerHooks{});
        service = std::make_unique<DisconnectService>(db, *runner);
    }
    void TearDown() override {
        if (columnIsText) {
            admin->execute("DROP VIEW pub.zeldisconnect");
            admin->execute(
                "ALTER TABLE pub.\"zelDisconnect\" ALTER COLUMN \"disconnectUser\" TYPE integer USING NULL");
            admin->execute("CREATE VIEW pub.zeldisconnect AS SELECT * FROM pub.\"zelDisconnect\"");
        }
    }
    void request(const std::string& valueSql) {
        admin->execute("INSERT INTO pub.\"zelDisconnect\" VALUES (" + valueSql + ")");
    }
    int requestsLeft() {
        return std::stoi(*admin->execute("SELECT count(*) FROM pub.\"zelDisconnect\"").firstField);
    }
    // One poll's three steps; the user whose disconnect was run, and the utility's exit code in lastExit.
    std::optional<std::string> poll() {
        std::optional<PendingRequest> request = service->readRequest();
        if (!request) return std::nullopt;
        std::optional<ServedRequest> served = service->serve(*request, firstSource);
        if (!served || served->refused.empty()) service->deleteRequests();
        if (!served) return std::nullopt;
        lastExit = served->exitCode;
        return served->user;
    }
    std::optional<int> lastExit;
    std::string calls() const { return drives.shutdownCalls(); }
    // What the stand-in receives: the database path as the drive mapping turns it into a native one.
    std::string expectedArgs(const std::string& user, const std::string& prefix = "c:\\") const {
        return paths.native(prefix + "brevund\\tarvel\\db\\dorvanel") + " -C disconnect " + user + "\n";
    }

    test::TempDrives drives;
    PathMap paths{drives.root().string()};
    std::unique_ptr<ProcessOps> ops = makeNativeProcessOps(paths);
    std::unique_ptr<ProcessRunner> runner;
    DbLink db{[] { return std::make_unique<OdbcConnection>(); }};
    std::unique_ptr<DatabaseConnection> admin;
    std::unique_ptr<DisconnectService> service;
    std::string firstSource = "c:\\brevund";
    bool columnIsText = false;
};

TEST_F(DisconnectServiceTest, EmptyTableRunsNothingAndDeletesNothing) {
    const auto logBefore = PgServer::settledLogSize(*admin);
    EXPECT_EQ(poll(), std::nullopt);
    EXPECT_EQ(calls(), "");
    std::string log = PgServer::logUntilMarker(*admin, logBefore);
    EXPECT_NE(log.find("select \"disconnectUser\" from \"pub\".\"zelDisconnect\""), std::string::npos);
    EXPECT_EQ(log.find("DELETE"), std::string::npos) << log;
}

TEST_F(DisconnectServiceTest, FirstRowIsServedAndEveryRowDeleted) {
    request("7"), request("8"), request("9");
    const auto logBefore = PgServer::settledLogSize(*admin);
    const std::optional<std::string> user = poll();
    std::string served = calls();
    ASSERT_EQ(std::count(served.begin(), served.end(), '\n'), 1) << served;
    ASSERT_TRUE(user.has_value());
    EXPECT_EQ(lastExit, 0);
    EXPECT_EQ(served, expectedArgs(*user));
    EXPECT_TRUE(*user == "7" || *user == "8" || *user == "9") << *user;
    EXPECT_EQ(requestsLeft(), 0);
    EXPECT_NE(PgServer::logUntilMarker(*admin, logBefore).find("DELETE FROM \"pub\".\"zelDisconnect\" "),
              std::string::npos);
}

TEST_F(DisconnectServiceTest, NullUserRunsNothingAndTheRowsGo) {
    request("NULL");
    poll();
    EXPECT_EQ(calls(), "");
    EXPECT_EQ(requestsLeft(), 0);
}

TEST_F(DisconnectServiceTest, TextThatIsNoNumberNeverReachesTheCommandLine) {
    admin->execute("DROP VIEW pub.zeldisconnect");
    admin->execute("ALTER TABLE pub.\"zelDisconnect\" ALTER COLUMN \"disconnectUser\" TYPE text");
    admin->execute("CREATE VIEW pub.zeldisconnect AS SELECT * FROM pub.\"zelDisconnect\"");
    columnIsText = true;
    request("'7 & del c:\\*'");
    poll();
    EXPECT_EQ(calls(), "");
    EXPECT_EQ(requestsLeft(), 0);
    request("' 12 '");
    poll();
    EXPECT_EQ(calls(), expectedArgs("12"));
}

TEST_F(DisconnectServiceTest, DatabasePathFollowsTheFirstSourceDrive) {
    firstSource = "d:\\data";
    request("5");
    poll();
    EXPECT_EQ(calls(), expectedArgs("5", "d:\\"));
    // Without a drive's root nothing of it reaches the line: the request waits.
    firstSource = "e:";
    request("6");
    poll();
    EXPECT_EQ(calls(), expectedArgs("5", "d:\\"));
    EXPECT_EQ(requestsLeft(), 1);
}

TEST_F(DisconnectServiceTest, DatabaseDownRunsNothingAndKeepsTheRequest) {
    request("7");
    PgServer::control("down");
    poll();
    EXPECT_EQ(poll(), std::nullopt);
    PgServer::control("up");
    EXPECT_EQ(calls(), "");
    admin = test::adminConnection();
    EXPECT_EQ(requestsLeft(), 1);
}

TEST_F(DisconnectServiceTest, StartUpThrowsOldRequestsAwayUnserved) {
    request("7"), request("8");
    service->checkFirst();
    EXPECT_EQ(requestsLeft(), 0);
    poll();
    EXPECT_EQ(calls(), "");
}

TEST_F(DisconnectServiceTest, AfterAServerRestartTheFirstPollReconnectsAndServes) {
    poll();
    ASSERT_EQ(db.state(), 1);
    PgServer::control("restart");
    admin = test::adminConnection();
    request("7");
    EXPECT_EQ(poll(), "7");
    EXPECT_EQ(db.state(), 1);
    EXPECT_EQ(calls(), expectedArgs("7"));
    EXPECT_EQ(requestsLeft(), 0);
}

TEST_F(DisconnectServiceTest, FrozenServerHoldsAPollOnlyForTheTimeouts) {
    poll();
    ASSERT_EQ(db.state(), 1);
    PgServer::control("freeze");
    auto t0 = steady_clock::now();
    poll();
    auto held = duration_cast<seconds>(steady_clock::now() - t0).count();
    EXPECT_LE(held, 20) << "a frozen server held the window for " << held << " s";
    EXPECT_EQ(db.state(), 0);
    // The next poll tries a new connection, which gives up after the login timeout.
    t0 = steady_clock::now();
    poll();
    held = duration_cast<seconds>(steady_clock::now() - t0).count();
    PgServer::control("thaw");
    EXPECT_LE(held, 10) << "reconnecting to a frozen server took " << held << " s";
    EXPECT_EQ(calls(), "");
}

}  // namespace
}  // namespace zel
