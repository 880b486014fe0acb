#include "db/db_link.h"

namespace zel {

void DbLink::openDSN() {
    connection_.reset();
    connection_ = factory_();
    connection_->open(std::string(kConnectionString));
    connection_->execute(std::string(kSchemaStatement));
}

void DbLink::reopenQuietly() {
    try {
        connection_.reset();
        connection_ = factory_();
    } catch (...) {
        return;  // without a connection object the later steps have nothing to work on
    }
    try {
        connection_->open(std::string(kConnectionString));
    } catch (...) {
    }
    try {
        connection_->execute(std::string(kSchemaStatement));
    } catch (...) {
    }
}

QueryResult DbLink::execute(const std::string& statement) {
    if (!connection_) throw DatabaseError("no connection", "08003");
    return connection_->execute(statement);
}

QueryResult DbLink::executeReopening(const std::string& statement) {
    // A connection that was closed already (its opening just failed) is not tried again here: one
    // login per step is all a server that is down should cost.
    const bool wasOpen = state() != 0;
    try {
        return execute(statement);
    } catch (const DatabaseError& e) {
        if (!wasOpen || !e.connectionLost()) throw;
    }
    openDSN();
    return execute(statement);
}

}  // namespace zel
