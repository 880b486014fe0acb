#include "win32/message_wait_ops.h"

#include <windows.h>

namespace zel {

void pumpWaitingMessages() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        HWND root = msg.hwnd ? GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
        if (root && IsDialogMessageW(root, &msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

int MessageWaitProcessOps::wait(ProcessHandle handle, int timeoutMs) {
    HANDLE process = reinterpret_cast<HANDLE>(handle);
    const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(timeoutMs);
    for (;;) {
        const ULONGLONG now = GetTickCount64();
        const DWORD left = now >= deadline ? 0 : static_cast<DWORD>(deadline - now);
        const DWORD rc = MsgWaitForMultipleObjects(1, &process, FALSE, left, QS_ALLINPUT);
        if (rc == WAIT_OBJECT_0) return kWaitEnded;
        if (rc == WAIT_OBJECT_0 + 1) {
            pumpWaitingMessages();
            continue;
        }
        if (rc == WAIT_TIMEOUT) return kWaitTimeout;
        return kWaitFailed;
    }
}

}  // namespace zel
