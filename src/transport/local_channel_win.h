#pragma once

#include <windows.h>

#include <string_view>

// What the Windows end of the local channel shows of itself: who may open the service's named pipe.

namespace zel {

// The pipe's access list: SYSTEM and the Administrators everything; interactively logged-on users
// read and write but not FILE_CREATE_PIPE_INSTANCE, so none can put an instance of their own under
// the service's name; nobody else anything (a service, a network logon). Rights are written as
// the pipe stores them (FA, not GA), so the list read back from the pipe is this very text. Every
// instance after the first needs FILE_CREATE_PIPE_INSTANCE from this list: the service runs as
// SYSTEM or as an elevated administrator.
inline constexpr std::string_view kChannelPipeAccess = "D:P(A;;FA;;;SY)(A;;FA;;;BA)(A;;0x12019b;;;IU)";

// What a window client asks for when it opens the pipe: all that the list gives interactive users.
// GENERIC_WRITE would ask for FILE_CREATE_PIPE_INSTANCE too (it is FILE_APPEND_DATA) and be refused.
inline constexpr DWORD kChannelClientRights =
    (FILE_GENERIC_READ | FILE_GENERIC_WRITE) & ~FILE_CREATE_PIPE_INSTANCE;
static_assert(kChannelClientRights == 0x12019b, "kChannelPipeAccess grants interactive users these rights");

}  // namespace zel
