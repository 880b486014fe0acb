// Listing folders and reading files for the archive check.
#include <windows.h>

#include <algorithm>

#include "platform/files/native_file_system.h"
#include "platform/system/wide_text_win.h"

namespace zel {
namespace {

class WinReader final : public FileReader {
public:
    WinReader(HANDLE h, std::uint64_t size) : h_(h), size_(size) {}
    ~WinReader() override { CloseHandle(h_); }
    WinReader(const WinReader&) = delete;
    WinReader& operator=(const WinReader&) = delete;

    std::uint64_t size() const override { return size_; }
    std::uint64_t sizeNow() override {
        LARGE_INTEGER now;
        return GetFileSizeEx(h_, &now) ? static_cast<std::uint64_t>(now.QuadPart) : size_;
    }
    std::optional<std::size_t> readAt(std::uint64_t offset, char* buffer, std::size_t n) override {
        std::size_t done = 0;
        while (done < n) {
            OVERLAPPED at{};
            const std::uint64_t where = offset + done;
            at.Offset = static_cast<DWORD>(where & 0xFFFFFFFFu);
            at.OffsetHigh = static_cast<DWORD>(where >> 32);
            const DWORD want = static_cast<DWORD>(std::min<std::size_t>(n - done, 1u << 30));
            DWORD got = 0;
            if (!ReadFile(h_, buffer + done, want, &got, &at)) {
                if (GetLastError() == ERROR_HANDLE_EOF) break;
                return std::nullopt;
            }
            if (got == 0) break;
            done += got;
        }
        return done;
    }

private:
    HANDLE h_;
    std::uint64_t size_;
};

}  // namespace

std::optional<std::vector<FolderItem>> NativeFileSystem::listFolder(const std::string& path) {
    if (path.empty()) return std::nullopt;
    std::wstring pattern = widen(paths_.native(path));
    if (!pattern.empty() && pattern.back() != L'\\' && pattern.back() != L'/') pattern += L'\\';
    pattern += L'*';
    WIN32_FIND_DATAW found;
    HANDLE find =
        FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr, 0);
    if (find == INVALID_HANDLE_VALUE) return std::nullopt;
    std::vector<FolderItem> items;
    do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..") continue;
        const DWORD a = found.dwFileAttributes;
        FolderItem item{narrow(name), FolderItem::Kind::File, false};
        if (a & FILE_ATTRIBUTE_DIRECTORY)
            item.kind = FolderItem::Kind::Folder;
        else if (a & FILE_ATTRIBUTE_DEVICE)
            item.kind = FolderItem::Kind::Other;
        item.hiddenOrSystem = (a & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) != 0;
        items.push_back(std::move(item));
    } while (FindNextFileW(find, &found));
    const bool complete = GetLastError() == ERROR_NO_MORE_FILES;
    FindClose(find);
    if (!complete) return std::nullopt;
    return items;
}

std::unique_ptr<FileReader> NativeFileSystem::openForReading(const std::string& path) {
    if (path.empty()) return nullptr;
    HANDLE h = CreateFileW(widen(paths_.native(path)).c_str(), GENERIC_READ,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                           FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (h == INVALID_HANDLE_VALUE) return nullptr;
    LARGE_INTEGER size;
    // Files only: a pipe or a device under the archive's name would hold the read-back.
    if (GetFileType(h) != FILE_TYPE_DISK || !GetFileSizeEx(h, &size)) {
        CloseHandle(h);
        return nullptr;
    }
    return std::make_unique<WinReader>(h, static_cast<std::uint64_t>(size.QuadPart));
}

}  // namespace zel
