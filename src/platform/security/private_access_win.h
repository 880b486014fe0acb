#pragma once

#include <windows.h>

#include <string_view>

namespace zel {

// Security attributes that create an object only SYSTEM, the Administrators and the user this
// process runs as may reach, each with `rights` ("FA" all of a file's, "GA" all of any object's),
// and nothing that its folder passes down. The user is there so that a program run by a user keeps
// its own files; a process of SYSTEM adds no third entry. attributes() is null when the process's
// user cannot be read or the descriptor cannot be made.
class PrivateAccess {
public:
    // `aceFlags`: "OICI" for a folder that passes the same grants down to what is made in it.
    explicit PrivateAccess(std::wstring_view rights, std::wstring_view aceFlags = L"");
    ~PrivateAccess();
    PrivateAccess(const PrivateAccess&) = delete;
    PrivateAccess& operator=(const PrivateAccess&) = delete;

    SECURITY_ATTRIBUTES* attributes() { return descriptor_ ? &attributes_ : nullptr; }

private:
    PSECURITY_DESCRIPTOR descriptor_ = nullptr;
    SECURITY_ATTRIBUTES attributes_{};
};

}  // namespace zel
