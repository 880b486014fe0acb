#pragma once

#include <windows.h>

namespace zel {

// The service's name with the Service Control Manager.
inline constexpr const wchar_t* kServiceName = L"ZELYedek";

// What a window client found out about the process at the other end of a pipe it opened; a SID
// is null where it could not be read.
struct PipeServerFacts {
    bool ownProcess = false;        // the client's own process serves it
    bool serviceProcess = false;    // the process that the service manager runs as ZELYedek serves it
    PSID processUser = nullptr;     // the serving process's user
    PSID serviceAccount = nullptr;  // the account ZELYedek is configured to run as
    PSID pipeOwner = nullptr;       // the pipe's owner
};

// Whether the pipe is the service's own: served by the service's process, or by a process of
// LocalSystem or of the service's account, or at least owned by SYSTEM or the Administrators,
// which no ordinary user can make a pipe of theirs be. Anything else may be a program that took
// the name first to fool the windows.
bool trustedPipeServer(const PipeServerFacts& facts);

// The facts for an opened pipe, and the verdict on them.
bool servedByTheService(HANDLE pipe);

}  // namespace zel
