#include <gtest/gtest.h>

#include "db/backup_record.h"
#include "db/history.h"
#include "db/odbc_connection.h"
#include "platform/files/native_file_system.h"
#include "support/core/drive_fixture.h"
#include "support/core/fake_clock.h"
#include "support/db/pg_server.h"
#include "text/utf8.h"

namespace zel {
namespace {

using test::PgServer;

class BackupRecordTest : public ::testing::Test {
protected:
    void SetUp() override {
        ZEL_REQUIRE_PG();
        admin = test::adminConnection();
        admin->execute("DELETE FROM pub.zelparameter");
        test::writeFile(drives.drive('c') / "yedek" / "yedek20261206.1405.zip", "PK");
    }
    std::optional<std::string> storedValue() {
        QueryResult r =
            admin->execute("SELECT zelparametervalue FROM pub.zelparameter WHERE zelparameterid=1000");
        return r.firstField;
    }
    int rows() { return std::stoi(*admin->execute("SELECT count(*) FROM pub.zelparameter").firstField); }
    void storeHistory(const std::string& valueSql) {
        admin->execute("INSERT INTO pub.zelparameter VALUES (1000, '', " + valueSql +
                       ", 'Last Backup Time')");
    }

    const std::string archive = "c:\\yedek\\yedek20261206.1405.zip";
    const std::string entry = "06/12/2026 14:05|OFIS-PC";
    test::TempDrives drives;
    NativeFileSystem files{PathMap(drives.root().string())};
    test::FakeClock clock{{2026, 12, 6, 14, 5, 33}};
    std::string computer = "OFIS-PC";
    int connectionsMade = 0;
    DbLink db{[this] {
        ++connectionsMade;
        return std::make_unique<OdbcConnection>();
    }};
    BackupRecorder recorder{db, files, clock, LocaleFormats{"/", ":", "dd/MM/yyyy"},
                            [this] { return computer; }};
    std::unique_ptr<DatabaseConnection> admin;
};

TEST_F(BackupRecordTest, StartUpWithoutAnArchiveIssuesNoStatement) {
    db.openDSN();
    const auto before = PgServer::settledLogSize(*admin);
    recorder.updateBackupDate("");
    // The server's logger writes a little later: a marker statement shows when everything before it is in.
    std::string log = PgServer::logUntilMarker(*admin, before);
    EXPECT_EQ(log.find("statement:"), log.find("statement: select 'zel-marker")) << log;
    EXPECT_EQ(log.find("SELECT zelParameterValue"), std::string::npos) << log;
    EXPECT_EQ(rows(), 0);
}

TEST_F(BackupRecordTest, FirstRecordInsertsTheEntryAlone) {
    recorder.updateBackupDate(archive);
    EXPECT_EQ(rows(), 1);
    EXPECT_EQ(storedValue(), entry);
    EXPECT_EQ(*admin->execute("SELECT zelparametername FROM pub.zelparameter").firstField,
              "Last Backup Time");
    EXPECT_EQ(*admin->execute("SELECT zelparametertype FROM pub.zelparameter").firstField, "");
}

TEST_F(BackupRecordTest, NewEntryGoesInFrontOfTheHistory) {
    storeHistory("'01/12/2026 05:00|OFIS-PC'");
    recorder.updateBackupDate(archive);
    EXPECT_EQ(storedValue(), entry +
                                 "\xC3\xB8"
                                 "01/12/2026 05:00|OFIS-PC");
    clock.set({2026, 12, 7, 17, 0, 1});
    recorder.updateBackupDate(archive);
    EXPECT_EQ(storedValue(), "07/12/2026 17:00|OFIS-PC\xC3\xB8" + entry +
                                 "\xC3\xB8"
                                 "01/12/2026 05:00|OFIS-PC");
    EXPECT_EQ(rows(), 1);
}

TEST_F(BackupRecordTest, NullHistoryGetsTheEntryAndTheSeparator) {
    storeHistory("NULL");
    recorder.updateBackupDate(archive);
    EXPECT_EQ(storedValue(), entry + "\xC3\xB8");
}

TEST_F(BackupRecordTest, HistoryAtTheLimitStaysAtFiveHundredCharacters) {
    std::string full;
    while (utf8Length(full) < 500)
        full +=
            "\xC3\xB8"
            "01/12/2026 05:00|OFIS-PC";
    full = utf8Prefix(full, 500);
    storeHistory("'" + full + "'");
    recorder.updateBackupDate(archive);
    std::string v = *storedValue();
    EXPECT_EQ(utf8Length(v), 500u);
    EXPECT_EQ(v.rfind(entry + "\xC3\xB8", 0), 0u);
}

TEST_F(BackupRecordTest, QuotesInTheNameAndTheHistoryAreKeptIntact) {
    computer = "O'NEIL-PC";
    storeHistory("'eski ''tırnak'''");
    recorder.updateBackupDate(archive);
    EXPECT_EQ(storedValue(),
              "06/12/2026 14:05|O'NEIL-PC\xC3\xB8"
              "eski 'tırnak'");
    admin->execute("DELETE FROM pub.zelparameter");
    recorder.updateBackupDate(archive);
    EXPECT_EQ(storedValue(), "06/12/2026 14:05|O'NEIL-PC");
}

TEST_F(BackupRecordTest, RunThatBuiltNoArchiveRecordsNothing) {
    recorder.updateBackupDate("c:\\yedek\\yok20261206.1405.zip");
    EXPECT_EQ(rows(), 0);
    EXPECT_EQ(connectionsMade, 0);
}

TEST_F(BackupRecordTest, ClosedConnectionIsReopenedWithItsSchemaBeforeTheQuery) {
    const auto before = PgServer::settledLogSize(*admin);
    recorder.updateBackupDate(archive);
    EXPECT_EQ(connectionsMade, 1);
    std::string log = PgServer::logUntilMarker(*admin, before);
    auto schema = log.find("set schema 'pub'");
    auto query = log.find("SELECT zelParameterValue FROM pub.zelParameter WHERE zelParameterID=1000");
    ASSERT_NE(schema, std::string::npos) << log;
    ASSERT_NE(query, std::string::npos) << log;
    EXPECT_LT(schema, query);
    recorder.updateBackupDate(archive);
    EXPECT_EQ(connectionsMade, 1);  // open now: reused
}

TEST_F(BackupRecordTest, ServerRestartSinceTheLastStatementCostsNoEntry) {
    recorder.updateBackupDate(archive);
    ASSERT_EQ(connectionsMade, 1);
    PgServer::control("restart");
    admin = test::adminConnection();
    clock.set({2026, 12, 7, 17, 0, 1});
    recorder.updateBackupDate(archive);  // meets the dead connection, reopens, records
    EXPECT_EQ(connectionsMade, 2);
    EXPECT_EQ(storedValue(), "07/12/2026 17:00|OFIS-PC\xC3\xB8" + entry);
}

TEST_F(BackupRecordTest, FailedReopeningGoesToTheCallerAndRecordsNothing) {
    PgServer::control("down");
    EXPECT_THROW(recorder.updateBackupDate(archive), DatabaseError);
    PgServer::control("up");
    admin = test::adminConnection();
    EXPECT_EQ(rows(), 0);
}

}  // namespace
}  // namespace zel
