#include <gtest/gtest.h>

#include "db/db_link.h"
#include "db/odbc_connection.h"
#include "support/db/pg_server.h"

namespace zel {
namespace {

using test::PgServer;

TEST(OdbcConnection, OpensWithTheConnectionStringAsWritten) {
    ZEL_REQUIRE_PG();
    OdbcConnection c;
    EXPECT_EQ(c.state(), 0);
    c.open("dsn=zelUpd;uid=zelrpt;pwd=qapfin;");
    EXPECT_EQ(c.state(), 1);
}

TEST(OdbcConnection, WrongPasswordOrMissingSourceFailWithTheDriversWord) {
    ZEL_REQUIRE_PG();
    OdbcConnection bad;
    try {
        bad.open("dsn=zelUpd;uid=zelrpt;pwd=wrong;");
        FAIL() << "opened with a wrong password";
    } catch (const DatabaseError& e) {
        EXPECT_FALSE(e.sqlState().empty());
        EXPECT_NE(std::string(e.what()).find("password"), std::string::npos) << e.what();
    }
    EXPECT_EQ(bad.state(), 0);
    OdbcConnection missing;
    EXPECT_THROW(missing.open("dsn=yokBoyle;uid=a;pwd=b;"), DatabaseError);
}

TEST(OdbcConnection, ResultEndFirstFieldAndNull) {
    ZEL_REQUIRE_PG();
    OdbcConnection c;
    c.open(std::string(kConnectionString));
    QueryResult none = c.execute("select 1 where false");
    EXPECT_TRUE(none.eof);
    QueryResult one = c.execute("select 'abc', 2");
    EXPECT_FALSE(one.eof);
    EXPECT_EQ(one.firstField, "abc");
    QueryResult null = c.execute("select null::text");
    EXPECT_FALSE(null.eof);
    EXPECT_FALSE(null.firstField.has_value());
    QueryResult empty = c.execute("select ''");
    EXPECT_EQ(empty.firstField, "");
    QueryResult noRows = c.execute(std::string(kSchemaStatement));
    EXPECT_TRUE(noRows.eof);
}

TEST(OdbcConnection, LongAndNonAsciiTextsRoundTrip) {
    ZEL_REQUIRE_PG();
    OdbcConnection c;
    c.open(std::string(kConnectionString));
    std::string text;
    for (int i = 0; i < 700; ++i) text += "\xC3\xB8\xC4\xB1";  // "øı" 700 times: longer than one read
    QueryResult r = c.execute("select '" + text + "'");
    EXPECT_EQ(r.firstField, text);
}

TEST(OdbcConnection, FailedStatementCarriesItsSqlState) {
    ZEL_REQUIRE_PG();
    OdbcConnection c;
    c.open(std::string(kConnectionString));
    try {
        c.execute("select * from yok_tablo");
        FAIL();
    } catch (const DatabaseError& e) {
        EXPECT_EQ(e.sqlState(), "42P01");
        EXPECT_FALSE(e.connectionLost());
    }
    EXPECT_EQ(c.state(), 1);  // an ordinary error keeps the connection
}

TEST(OdbcConnection, ServerRestartMarksTheConnectionClosed) {
    ZEL_REQUIRE_PG();
    OdbcConnection c;
    c.open(std::string(kConnectionString));
    PgServer::control("restart");
    try {
        c.execute("select 1");
        ADD_FAILURE() << "a statement on a dropped connection succeeded";
    } catch (const DatabaseError& e) {
        EXPECT_TRUE(e.connectionLost()) << e.sqlState() << " " << e.what();
    }
    EXPECT_EQ(c.state(), 0);
    OdbcConnection again;
    again.open(std::string(kConnectionString));
    EXPECT_EQ(again.execute("select 1").firstField, "1");
}

TEST(DbLink, OpenDsnSetsTheSchemaAndEachOpeningReplacesTheConnection) {
    ZEL_REQUIRE_PG();
    int made = 0;
    DbLink link([&] {
        ++made;
        return std::make_unique<OdbcConnection>();
    });
    EXPECT_EQ(link.state(), 0);
    link.openDSN();
    EXPECT_EQ(link.state(), 1);
    EXPECT_EQ(link.execute("show search_path").firstField, "pub");
    link.openDSN();
    EXPECT_EQ(made, 2);
}

}  // namespace
}  // namespace zel
