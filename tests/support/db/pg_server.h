#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "db/database.h"

namespace zel::test {

// The throwaway PostgreSQL that CTest starts for the database tests (tests/support/pg/pg.sh).
class PgServer {
public:
    // True when the server of this test run is up; also points unixODBC at its data source.
    static bool available();
    static std::filesystem::path dir();
    // restart, down, up, freeze, thaw
    static void control(const std::string& action);
    // Statements the server has logged so far, one per line, each with its user in front.
    static std::string statementLog();
    // The log from offset `from` up to a marker statement sent now on `via`, once the marker is in.
    static std::string logUntilMarker(DatabaseConnection& via, std::size_t from);
    // Where the log ends once every statement sent so far is in it: the offset to read from after.
    static std::size_t settledLogSize(DatabaseConnection& via);
};

// A direct connection for setting up and checking tables, apart from the one under test.
std::unique_ptr<DatabaseConnection> adminConnection();

}  // namespace zel::test

// The database tests need the server that CTest starts before them; without it they fail.
#define ZEL_REQUIRE_PG()                            \
    ASSERT_TRUE(::zel::test::PgServer::available()) \
        << "the test PostgreSQL is not running (run through ctest)"
