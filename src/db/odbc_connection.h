#pragma once

#include <memory>

#include "db/database.h"

namespace zel {

// The ODBC C API behind the program's connection. Texts are UTF-8 here and UTF-16 at the API.
// Opening waits at most kLoginTimeoutSeconds, a statement at most kQueryTimeoutSeconds, so an
// unreachable server cannot freeze the window for long. Drivers do not enforce a query timeout
// against a server that stops answering, so each statement runs on a helper thread and is given
// up after the timeout: the connection then counts as closed, and its handles are released when
// the helper returns.
class OdbcConnection final : public DatabaseConnection {
public:
    static constexpr unsigned long kLoginTimeoutSeconds = 5;
    static constexpr unsigned long kQueryTimeoutSeconds = 15;

    // The statement deadline; tests shorten it.
    explicit OdbcConnection(unsigned long queryTimeoutSeconds = kQueryTimeoutSeconds);
    ~OdbcConnection() override;
    OdbcConnection(const OdbcConnection&) = delete;
    OdbcConnection& operator=(const OdbcConnection&) = delete;

    void open(const std::string& connectionString) override;
    int state() const override { return open_ ? 1 : 0; }
    // A statement that fails because the connection is gone also marks it closed.
    QueryResult execute(const std::string& statement) override;

    struct Handles;

private:
    std::shared_ptr<Handles> handles_;
    unsigned long queryTimeoutSeconds_;
    bool open_ = false;
};

}  // namespace zel
