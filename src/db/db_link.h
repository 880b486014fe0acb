#pragma once

#include <functional>
#include <memory>
#include <string_view>

#include "db/database.h"

namespace zel {

inline constexpr std::string_view kConnectionString = "dsn=zelUpd;uid=zelrpt;pwd=qapfin;";
inline constexpr std::string_view kSchemaStatement = "set schema 'pub'";

using ConnectionFactory = std::function<std::unique_ptr<DatabaseConnection>()>;

// The program's one database connection (dbConnection): replaced by a new one at each opening,
// never closed on purpose.
class DbLink {
public:
    explicit DbLink(ConnectionFactory factory) : factory_(std::move(factory)) {}

    // A new connection, opened, with its default schema set. Every failure goes to the caller.
    void openDSN();
    // The same three steps where each failure is ignored and the next step still runs.
    void reopenQuietly();

    // 0 when there is no connection or it is closed.
    int state() const { return connection_ ? connection_->state() : 0; }
    QueryResult execute(const std::string& statement);
    // The same, but a statement that finds an open connection lost (the server restarted since
    // the last one) opens a new connection and runs once more. A failed reopening goes to the
    // caller.
    QueryResult executeReopening(const std::string& statement);

private:
    ConnectionFactory factory_;
    std::unique_ptr<DatabaseConnection> connection_;
};

}  // namespace zel
