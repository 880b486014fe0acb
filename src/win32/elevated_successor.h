#pragma once

#include <windows.h>

#include <functional>
#include <string_view>

#include "platform/system/single_instance_win.h"

namespace zel {

// The argument ("/devral") with which a watcher's window starts its administrator's successor.
inline constexpr std::string_view kTakeOverArgument = "devral";

// A watcher's window's administrator's successor: this program again, elevated, as a window client.
class ElevatedSuccessor {
public:
    ElevatedSuccessor() = default;
    ~ElevatedSuccessor();
    ElevatedSuccessor(const ElevatedSuccessor&) = delete;
    ElevatedSuccessor& operator=(const ElevatedSuccessor&) = delete;

    // Asks Windows to start it (the elevation prompt); nothing changes when the user declines.
    void start(HWND owner);
    // Whether `pid` is the successor this window started, still running.
    bool is(unsigned long pid) const;

private:
    HANDLE process_ = nullptr;
};

// The successor's claim on its session: while the watcher's window still holds it, the watcher is
// asked to make way, and the claim waits a while for it to end. Only a successor that has reached
// the service uses this, so the watcher never ends for a window that cannot do its work.
class TakingOverInstance final : public SingleInstance {
public:
    explicit TakingOverInstance(Win32SingleInstance& inner) : inner_(inner) {}
    bool claim(std::function<void()> onShowRequest) override;
    void askRunningCopyToShow() override { inner_.askRunningCopyToShow(); }

private:
    Win32SingleInstance& inner_;
};

}  // namespace zel
