#pragma once

#include <windows.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>

#include "platform/system/wide_text_win.h"
#include "support/core/channel_sides.h"
#include "transport/local_channel_win.h"

namespace zel::test {

struct HandleCloser {
    void operator()(HANDLE h) const {
        if (h && h != INVALID_HANDLE_VALUE) CloseHandle(h);
    }
};
using RawHandle = std::unique_ptr<void, HandleCloser>;

// A pipe name no other test and no other run uses.
inline std::string freshPipe(const char* what) {
    static std::atomic<int> counter = 0;
    return "\\\\.\\pipe\\ZELYedek-test-" + std::to_string(GetCurrentProcessId()) + "-" +
           std::to_string(++counter) + "-" + what;
}

// A client of the test's own, below the program's channel, with blocking calls: one that reads
// only when the test says so. Waits while every instance is taken; null when the pipe cannot be
// opened.
inline RawHandle rawClient(const std::string& path) {
    const std::wstring name = widen(path);
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    for (;;) {
        HANDLE h = CreateFileW(name.c_str(), kChannelClientRights, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        if (h != INVALID_HANDLE_VALUE) return RawHandle(h);
        if (GetLastError() != ERROR_PIPE_BUSY || std::chrono::steady_clock::now() > deadline) return nullptr;
        WaitNamedPipeW(name.c_str(), 100);
    }
}

}  // namespace zel::test
