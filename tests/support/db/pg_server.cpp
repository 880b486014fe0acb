#include "support/db/pg_server.h"

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "db/db_link.h"
#include "db/odbc_connection.h"

namespace zel::test {

bool PgServer::available() {
    if (!std::filesystem::exists(dir() / "odbc" / "odbc.ini")) return false;
    ::setenv("ODBCSYSINI", (dir() / "odbc").c_str(), 1);
    return true;
}

std::filesystem::path PgServer::dir() {
    return ZEL_PG_DIR;
}

void PgServer::control(const std::string& action) {
    std::string cmd = std::string("bash '") + ZEL_PG_SCRIPT + "' " + action + " '" + dir().string() + "'";
    if (std::system(cmd.c_str()) != 0) throw std::runtime_error("pg.sh " + action + " failed");
}

std::string PgServer::statementLog() {
    std::ifstream in(dir() / "log" / "postgresql.log");
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

std::string PgServer::logUntilMarker(DatabaseConnection& via, std::size_t from) {
    static int counter = 0;
    const std::string marker = "zel-marker-" + std::to_string(++counter);
    via.execute("select '" + marker + "'");
    for (int i = 0; i < 100; ++i) {
        std::string log = statementLog();
        if (log.size() > from && log.find(marker, from) != std::string::npos) return log.substr(from);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    throw std::runtime_error("the server never logged " + marker);
}

std::size_t PgServer::settledLogSize(DatabaseConnection& via) {
    const std::size_t from = statementLog().size();
    return from + logUntilMarker(via, from).size();
}

std::unique_ptr<DatabaseConnection> adminConnection() {
    auto c = std::make_unique<OdbcConnection>();
    c->open(std::string(kConnectionString));
    c->execute(std::string(kSchemaStatement));
    return c;
}

}  // namespace zel::test
