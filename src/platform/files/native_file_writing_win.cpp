// Writing a new file from the start, for copies that must reach the disk whole.
#include <windows.h>

#include "platform/files/native_file_system.h"
#include "platform/system/wide_text_win.h"

namespace zel {
namespace {

class WinWriter final : public FileWriter {
public:
    explicit WinWriter(HANDLE h) : h_(h) {}
    ~WinWriter() override {
        if (h_ != INVALID_HANDLE_VALUE) CloseHandle(h_);
    }
    WinWriter(const WinWriter&) = delete;
    WinWriter& operator=(const WinWriter&) = delete;

    bool write(const char* data, std::size_t n) override {
        while (n > 0 && error_ == 0) {
            const DWORD want = static_cast<DWORD>(n < (1u << 30) ? n : (1u << 30));
            DWORD done = 0;
            if (!WriteFile(h_, data, want, &done, nullptr)) error_ = GetLastError();
            data += done;
            n -= done;
        }
        return error_ == 0;
    }

    WriteResult finish() override {
        if (error_ == 0 && !FlushFileBuffers(h_)) error_ = GetLastError();
        if (!CloseHandle(h_) && error_ == 0) error_ = GetLastError();
        h_ = INVALID_HANDLE_VALUE;
        return error_ == 0 ? WriteResult{} : WriteResult{systemMessage(error_)};
    }

private:
    HANDLE h_;
    DWORD error_ = 0;
};

}  // namespace

std::unique_ptr<FileWriter> NativeFileSystem::createNewFile(const std::string& path, std::string& failure) {
    if (path.empty()) {
        failure = "boş yol";
        return nullptr;
    }
    // CREATE_NEW never opens what is there, a link included.
    HANDLE h = CreateFileW(widen(paths_.native(path)).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        failure = systemMessage(GetLastError());
        return nullptr;
    }
    return std::make_unique<WinWriter>(h);
}

std::optional<FileStamp> NativeFileSystem::fileStamp(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (path.empty() || !GetFileAttributesExW(widen(paths_.native(path)).c_str(), GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return std::nullopt;
    return FileStamp{(static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow,
                     static_cast<std::int64_t>((static_cast<std::uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
                                               data.ftLastWriteTime.dwLowDateTime),
                     0};
}

}  // namespace zel
