#include "db/odbc_connection.h"

#ifdef _WIN32
#include <windows.h>
#endif
#include <sql.h>
#include <sqlext.h>

#include <chrono>
#include <future>
#include <thread>
#include <vector>

#include "text/utf16.h"

namespace zel {
namespace {

static_assert(sizeof(SQLWCHAR) == sizeof(char16_t), "the driver manager must speak UTF-16");

std::vector<SQLWCHAR> wide(const std::string& utf8) {
    std::u16string u = utf8ToUtf16(utf8);
    std::vector<SQLWCHAR> out(u.begin(), u.end());
    out.push_back(0);
    return out;
}

// The first diagnostic record of a handle.
DatabaseError diagnose(SQLSMALLINT type, SQLHANDLE handle, const std::string& what, SQLHDBC dbc) {
    SQLWCHAR state[6] = {};
    SQLINTEGER native = 0;
    SQLWCHAR text[1024] = {};
    SQLSMALLINT len = 0;
    std::string sqlState, message = what;
    if (handle && SQL_SUCCEEDED(SQLGetDiagRecW(type, handle, 1, state, &native, text, 1023, &len))) {
        sqlState = utf16ToUtf8(std::u16string(reinterpret_cast<const char16_t*>(state), 5));
        message += ": " + utf16ToUtf8(std::u16string(reinterpret_cast<const char16_t*>(text),
                                                     static_cast<std::size_t>(len < 1023 ? len : 1023)));
    }
    // Class 08 is a connection failure; 57P01..57P03 are the server going down under the session.
    bool lost =
        sqlState.rfind("08", 0) == 0 || sqlState == "57P01" || sqlState == "57P02" || sqlState == "57P03";
    if (!lost && dbc) {
        SQLUINTEGER dead = SQL_CD_FALSE;
        if (SQL_SUCCEEDED(SQLGetConnectAttr(dbc, SQL_ATTR_CONNECTION_DEAD, &dead, 0, nullptr)))
            lost = (dead == SQL_CD_TRUE);
    }
    return DatabaseError(message, sqlState, static_cast<int>(native), lost);
}

// Frees a statement handle on every way out.
struct Statement {
    SQLHSTMT h = SQL_NULL_HSTMT;
    ~Statement() {
        if (h) SQLFreeHandle(SQL_HANDLE_STMT, h);
    }
};

}  // namespace

// The driver's handles. Shared with a statement's helper thread, so handles that a hung
// statement still uses outlive the connection object that gave up on it.
struct OdbcConnection::Handles {
    SQLHENV env = SQL_NULL_HENV;
    SQLHDBC dbc = SQL_NULL_HDBC;
    bool connected = false;
    ~Handles() {
        if (dbc) {
            if (connected) SQLDisconnect(dbc);
            SQLFreeHandle(SQL_HANDLE_DBC, dbc);
        }
        if (env) SQLFreeHandle(SQL_HANDLE_ENV, env);
    }
};

namespace {

// One statement on an open connection: the end of its result and the first field of the first row.
QueryResult runStatement(SQLHDBC dbc, const std::string& statement, unsigned long timeoutSeconds) {
    Statement st;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, dbc, &st.h))) {
        throw diagnose(SQL_HANDLE_DBC, dbc, "cannot make a statement", dbc);
    }
    SQLSetStmtAttr(st.h, SQL_ATTR_QUERY_TIMEOUT,
                   reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(timeoutSeconds)), 0);
    auto text = wide(statement);
    auto fail = [&](const char* what) { return diagnose(SQL_HANDLE_STMT, st.h, what, dbc); };
    SQLRETURN rc = SQLExecDirectW(st.h, text.data(), SQL_NTS);
    if (rc != SQL_NO_DATA && !SQL_SUCCEEDED(rc)) throw fail("statement failed");

    QueryResult result;
    SQLSMALLINT columns = 0;
    if (rc == SQL_NO_DATA || !SQL_SUCCEEDED(SQLNumResultCols(st.h, &columns)) || columns == 0) return result;
    rc = SQLFetch(st.h);
    if (rc == SQL_NO_DATA) return result;
    if (!SQL_SUCCEEDED(rc)) throw fail("cannot read the result");
    result.eof = false;

    // Read the first field in pieces: its length is not known in advance.
    std::u16string value;
    SQLWCHAR buf[512];
    for (;;) {
        SQLLEN ind = 0;
        rc = SQLGetData(st.h, 1, SQL_C_WCHAR, buf, sizeof buf, &ind);
        if (rc == SQL_NO_DATA) break;
        if (!SQL_SUCCEEDED(rc)) throw fail("cannot read the first field");
        if (ind == SQL_NULL_DATA) return result;
        std::size_t chars = (ind == SQL_NO_TOTAL || ind >= static_cast<SQLLEN>(sizeof buf))
                                ? sizeof buf / sizeof(SQLWCHAR) - 1
                                : static_cast<std::size_t>(ind) / sizeof(SQLWCHAR);
        value.append(reinterpret_cast<const char16_t*>(buf), chars);
        if (rc == SQL_SUCCESS) break;
    }
    result.firstField = utf16ToUtf8(value);
    return result;
}

}  // namespace

OdbcConnection::OdbcConnection(unsigned long queryTimeoutSeconds)
    : handles_(std::make_shared<Handles>()), queryTimeoutSeconds_(queryTimeoutSeconds) {
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &handles_->env))) {
        handles_->env = SQL_NULL_HENV;
        throw DatabaseError("no ODBC environment");
    }
    SQLSetEnvAttr(handles_->env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_DBC, handles_->env, &handles_->dbc))) {
        handles_->dbc = SQL_NULL_HDBC;
        throw DatabaseError("no ODBC connection handle");
    }
}

OdbcConnection::~OdbcConnection() = default;

void OdbcConnection::open(const std::string& connectionString) {
    if (!handles_ || open_) throw DatabaseError("a connection is opened once", "08002");
    SQLHDBC dbc = handles_->dbc;
    SQLSetConnectAttr(dbc, SQL_ATTR_LOGIN_TIMEOUT, reinterpret_cast<SQLPOINTER>(kLoginTimeoutSeconds), 0);
    auto in = wide(connectionString);
    SQLWCHAR out[1024];
    SQLSMALLINT outLen = 0;
    SQLRETURN rc =
        SQLDriverConnectW(dbc, nullptr, in.data(), SQL_NTS, out, 1024, &outLen, SQL_DRIVER_NOPROMPT);
    if (!SQL_SUCCEEDED(rc)) throw diagnose(SQL_HANDLE_DBC, dbc, "cannot open the connection", nullptr);
    handles_->connected = true;
    open_ = true;
}

QueryResult OdbcConnection::execute(const std::string& statement) {
    if (!open_) throw DatabaseError("the connection is closed", "08003", 0, true);
    auto task = std::make_shared<std::packaged_task<QueryResult()>>(
        [handles = handles_, statement, timeout = queryTimeoutSeconds_] {
            return runStatement(handles->dbc, statement, timeout);
        });
    std::future<QueryResult> answer = task->get_future();
    std::thread([task] { (*task)(); }).detach();
    if (answer.wait_for(std::chrono::seconds(queryTimeoutSeconds_)) != std::future_status::ready) {
        // The helper keeps the handles until the driver returns; this connection is done with them.
        open_ = false;
        handles_.reset();
        throw DatabaseError("no answer from the database within the query timeout", "HYT00", 0, true);
    }
    try {
        return answer.get();
    } catch (const DatabaseError& e) {
        if (e.connectionLost()) open_ = false;
        throw;
    }
}

}  // namespace zel
