// A program for the Windows service's end-to-end test that holds the pipe of a program folder
// before the service can:
//   zel_pipe_peer squat FOLDER LOG     a user's program that took the name: it notes each client
//                                      that opened it ("bağlantı") and each byte one sent ("veri")
//   zel_pipe_peer watcher FOLDER LOG   a service as far as a window can tell: its pipe owned by
//                                      the Administrators, it welcomes every window as a watcher
// Runs until it is killed. Under Wine every program holds an administrator's token, so the
// squatter names its own user as its pipe's owner, as a pipe of an ordinary user's program is.
#include <windows.h>

#include <sddl.h>

#include <cstdio>
#include <string>
#include <thread>

#include "channel/messages.h"
#include "channel/protocol.h"
#include "platform/system/single_instance_win.h"
#include "platform/system/wide_text_win.h"
#include "service/channel_path.h"

namespace {

void note(const char* log, const char* line) {
    if (FILE* f = std::fopen(log, "a")) {
        std::fprintf(f, "%s\n", line);
        std::fclose(f);
    }
}

// The user's own SID as text, for the squatter's owner.
std::wstring ownUser() {
    HANDLE token = nullptr;
    OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token);
    BYTE buffer[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
    DWORD size = 0;
    LPWSTR text = nullptr;
    std::wstring sid;
    if (token && GetTokenInformation(token, TokenUser, buffer, sizeof buffer, &size) &&
        ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, &text)) {
        sid = text;
        LocalFree(text);
    }
    if (token) CloseHandle(token);
    return sid;
}

void serve(HANDLE pipe, bool watcher, const char* log) {
    note(log, "bağlantı");
    if (watcher) {
        const std::string welcome = zel::encodeMessage(zel::welcomeMessage(zel::PeerAccess::Watcher));
        DWORD written = 0;
        WriteFile(pipe, welcome.data(), static_cast<DWORD>(welcome.size()), &written, nullptr);
    }
    char buffer[4096];
    DWORD n = 0;
    while (ReadFile(pipe, buffer, sizeof buffer, &n, nullptr)) {
        if (n > 0) note(log, "veri");
    }
    CloseHandle(pipe);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) return 2;
    const bool watcher = std::string(argv[1]) == "watcher";
    const std::wstring name = zel::widen(zel::pipeChannelPath(zel::instanceKeyOfFolder(argv[2])));
    const std::wstring sddl = (watcher ? std::wstring(L"O:BA") : L"O:" + ownUser()) + L"D:(A;;FA;;;WD)";
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, &descriptor,
                                                              nullptr))
        return 3;
    SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor, FALSE};
    for (bool first = true;; first = false) {
        HANDLE pipe = CreateNamedPipeW(
            name.c_str(), PIPE_ACCESS_DUPLEX | (first ? FILE_FLAG_FIRST_PIPE_INSTANCE : 0),
            PIPE_TYPE_BYTE | PIPE_WAIT, PIPE_UNLIMITED_INSTANCES, 4096, 4096, 0, &attributes);
        if (pipe == INVALID_HANDLE_VALUE) return 4;
        if (first) note(argv[3], "dinliyor");
        if (!ConnectNamedPipe(pipe, nullptr) && GetLastError() != ERROR_PIPE_CONNECTED) {
            CloseHandle(pipe);
            continue;
        }
        std::thread(serve, pipe, watcher, argv[3]).detach();
    }
}
