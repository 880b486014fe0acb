#pragma once

#include <memory>
#include <optional>
#include <stdexcept>
#include <string>

namespace zel {

// What one statement gives back: whether the result is at its end, and the first field of the
// current row (nothing for a database NULL).
struct QueryResult {
    bool eof = true;
    std::optional<std::string> firstField;
};

// A failed database call, with what the driver said.
class DatabaseError : public std::runtime_error {
public:
    DatabaseError(const std::string& message, std::string sqlState = {}, int nativeCode = 0,
                  bool connectionLost = false)
        : std::runtime_error(message),
          sqlState_(std::move(sqlState)),
          nativeCode_(nativeCode),
          connectionLost_(connectionLost) {}
    const std::string& sqlState() const { return sqlState_; }
    int nativeCode() const { return nativeCode_; }
    bool connectionLost() const { return connectionLost_; }

private:
    std::string sqlState_;
    int nativeCode_;
    bool connectionLost_;
};

// One connection, as the program uses it: open with a connection string, run statement texts
// exactly as written, and tell whether it is open (1) or closed (0).
class DatabaseConnection {
public:
    virtual ~DatabaseConnection() = default;
    virtual void open(const std::string& connectionString) = 0;
    virtual int state() const = 0;
    virtual QueryResult execute(const std::string& statement) = 0;
};

}  // namespace zel
