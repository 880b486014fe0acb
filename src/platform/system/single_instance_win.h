#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "platform/system/single_instance.h"

namespace zel {

// The key of a program folder on this machine: its final path (short names, letter case, `subst`
// and mapped drives make no second key), or its full path where the folder cannot be opened.
std::string instanceKeyOfFolder(const std::string& programFolder);

// The previous-instance query as a named mutex in the machine's global namespace that only SYSTEM,
// the Administrators and its creator's user may open, though every user's copy sees that it is
// there (it goes when the last process holding it ends, however it ended), and the show
// request as a message to a message-only window of the running copy, which a copy in another
// session or on another desktop cannot find.
class Win32SingleInstance final : public SingleInstance {
public:
    // Machine-wide (the program's one copy per folder), or per logon session (a window client of
    // the service: one in each session).
    enum class Scope { Machine, Session };
    explicit Win32SingleInstance(const std::string& key, Scope scope = Scope::Machine);
    ~Win32SingleInstance() override;
    Win32SingleInstance(const Win32SingleInstance&) = delete;
    Win32SingleInstance& operator=(const Win32SingleInstance&) = delete;

    bool claim(std::function<void()> onShowRequest) override;
    void askRunningCopyToShow() override;

    // A later copy's request that this one make way for it, with the asking process's id; heard
    // only by the copy that holds the claim. Whether to honour it is the caller's (isOwnSuccessor).
    void setHandOverRequest(std::function<void(unsigned long pid)> onRequest) {
        onHandOver_ = std::move(onRequest);
    }
    // From a later copy: asks the running one to make way for this process.
    void askRunningCopyToHandOver();

    // The request: this registered message with this word; anything else is ignored.
    static constexpr WPARAM kShowWord = 0x5A454C;  // "ZEL"

private:
    static LRESULT CALLBACK listenerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    std::wstring key_;
    Scope scope_;
    UINT showMessage_;
    UINT handOverMessage_;
    HANDLE mutex_ = nullptr;
    HWND listener_ = nullptr;
    std::function<void()> onShow_;
    std::function<void(unsigned long)> onHandOver_;
};

// Whether creating the mutex found it held by a running copy, from whether a handle came back and
// the error then: one of this user that exists already, or one that this user may not open.
bool heldByAnotherCopy(bool opened, unsigned long error);

// Whether a request to make way comes from this copy's own successor: the process it started
// itself (its id, 0 for none), still running. Any other process, whatever it says, ends nothing.
bool isOwnSuccessor(unsigned long successorPid, bool successorRunning, unsigned long askingPid);

}  // namespace zel
