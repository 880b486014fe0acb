#include "win32/parent_console.h"

#include <windows.h>

#include <streambuf>
#include <string>

#include "platform/wide_text_win.h"

namespace zel {

class ParentConsole::Buffer final : public std::streambuf {
public:
    explicit Buffer(HANDLE handle) : handle_(handle) {}
    ~Buffer() override { sync(); }

protected:
    int_type overflow(int_type c) override {
        if (c != traits_type::eof()) pending_ += static_cast<char>(c);
        if (c == '\n') sync();
        return traits_type::not_eof(c);
    }
    std::streamsize xsputn(const char* s, std::streamsize n) override {
        pending_.append(s, static_cast<std::size_t>(n));
        return n;
    }
    int sync() override {
        if (pending_.empty() || !handle_ || handle_ == INVALID_HANDLE_VALUE) {
            pending_.clear();
            return 0;
        }
        DWORD mode = 0;
        DWORD written = 0;
        if (GetConsoleMode(handle_, &mode)) {
            const std::wstring wide = widen(pending_);
            WriteConsoleW(handle_, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
        } else {
            WriteFile(handle_, pending_.data(), static_cast<DWORD>(pending_.size()), &written, nullptr);
        }
        pending_.clear();
        return 0;
    }

private:
    HANDLE handle_;
    std::string pending_;
};

namespace {

// A redirected handle the prompt passed on, else the console's own screen buffer.
HANDLE outputHandle(DWORD which, bool attached) {
    const HANDLE given = GetStdHandle(which);
    if (given && given != INVALID_HANDLE_VALUE) return given;
    if (!attached) return nullptr;
    return CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                       OPEN_EXISTING, 0, nullptr);
}

}  // namespace

ParentConsole::ParentConsole() {
    const bool attached = AttachConsole(ATTACH_PARENT_PROCESS) != FALSE;
    outBuffer_ = std::make_unique<Buffer>(outputHandle(STD_OUTPUT_HANDLE, attached));
    errBuffer_ = std::make_unique<Buffer>(outputHandle(STD_ERROR_HANDLE, attached));
    out_ = std::make_unique<std::ostream>(outBuffer_.get());
    err_ = std::make_unique<std::ostream>(errBuffer_.get());
}

ParentConsole::~ParentConsole() {
    out_->flush();
    err_->flush();
}

}  // namespace zel
