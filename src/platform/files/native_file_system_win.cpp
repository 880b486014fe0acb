#include "platform/files/native_file_system.h"

#include <windows.h>
#include <aclapi.h>

#include <vector>

#include "platform/files/final_path_win.h"
#include "platform/security/acl_writers_win.h"
#include "platform/security/private_access_win.h"
#include "platform/system/wide_text_win.h"

namespace zel {
namespace {

std::optional<std::string> readHandle(HANDLE h) {
    std::string out;
    char buf[65536];
    DWORD got = 0;
    for (;;) {
        if (!ReadFile(h, buf, sizeof buf, &got, nullptr)) return std::nullopt;
        if (got == 0) return out;
        out.append(buf, got);
    }
}

// The file that a path finally names, so that a symbolic link to it stays a link when it is
// replaced; the path itself while no such file exists.
std::wstring replacedFile(const std::wstring& path) {
    std::wstring final = finalPath(path);
    return final.empty() ? path : final;
}

// The temporary file of a replace. An owner-only one is private from its creation on, so that
// nobody else may open it even before the rename, which puts its access list in the old file's place.
// A leftover one goes first: opened again, it would keep its own list.
HANDLE createTemporary(const std::wstring& tmp, bool ownerOnly) {
    if (!ownerOnly)
        return CreateFileW(tmp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                           nullptr);
    PrivateAccess access(L"FA");
    if (!access.attributes()) {
        SetLastError(ERROR_INVALID_SECURITY_DESCR);
        return INVALID_HANDLE_VALUE;
    }
    DeleteFileW(tmp.c_str());
    return CreateFileW(tmp.c_str(), GENERIC_WRITE, 0, access.attributes(), CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                       nullptr);
}

}  // namespace

bool NativeFileSystem::createFolder(const std::string& path) {
    if (path.empty()) return false;
    return CreateDirectoryW(widen(paths_.native(path)).c_str(), nullptr) != 0;
}

bool NativeFileSystem::folderExists(const std::string& path) {
    if (path.empty()) return false;
    DWORD a = GetFileAttributesW(widen(paths_.native(path)).c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool NativeFileSystem::copyFile(const std::string& from, const std::string& to) {
    return CopyFileW(widen(paths_.native(from)).c_str(), widen(paths_.native(to)).c_str(), FALSE) != 0;
}

bool NativeFileSystem::attributesReadable(const std::string& path) {
    if (path.empty()) return false;
    return GetFileAttributesW(widen(paths_.native(path)).c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::optional<std::uint64_t> NativeFileSystem::fileSize(const std::string& path) {
    if (path.empty()) return std::nullopt;
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(widen(paths_.native(path)).c_str(), GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return std::nullopt;
    return (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

bool NativeFileSystem::appendRotating(const std::string& path, const std::string& bytes,
                                      std::uint64_t limit) {
    if (path.empty()) return false;
    const std::wstring file = widen(paths_.native(path));
    if (auto size = fileSize(path); size && *size >= limit)
        MoveFileExW(file.c_str(), (file + L".1").c_str(), MOVEFILE_REPLACE_EXISTING);
    HANDLE h = CreateFileW(file.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    bool ok =
        bytes.empty() || (WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                          written == bytes.size());
    return CloseHandle(h) && ok;
}

std::optional<std::string> NativeFileSystem::readCreatingIfMissing(const std::string& path) {
    if (path.empty()) return std::nullopt;
    HANDLE h =
        CreateFileW(widen(paths_.native(path)).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return std::nullopt;
    auto content = readHandle(h);
    CloseHandle(h);
    return content;
}

WriteResult NativeFileSystem::replaceContent(const std::string& path, const std::string& bytes,
                                             bool ownerOnly) {
    if (path.empty()) return {"boş yol"};
    const std::wstring target = replacedFile(widen(paths_.native(path)));
    const std::wstring tmp = target + L".tmp";
    const DWORD attributes = GetFileAttributesW(target.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        return {"dosya salt okunur"};
    HANDLE h = createTemporary(tmp, ownerOnly);
    if (h == INVALID_HANDLE_VALUE) return {systemMessage(GetLastError())};
    DWORD error = 0;
    auto step = [&error](bool ok) {
        if (!ok && error == 0) error = GetLastError() ? GetLastError() : ERROR_WRITE_FAULT;
    };
    DWORD written = 0;
    step(bytes.empty() || (WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                           written == bytes.size()));
    if (error == 0) step(FlushFileBuffers(h));
    step(CloseHandle(h));
    if (error == 0)
        step(MoveFileExW(tmp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH));
    if (error == 0) return {};
    DeleteFileW(tmp.c_str());
    return {systemMessage(error)};
}

// A new temporary name each time (CREATE_NEW never opens what somebody put there), moved over
// the path itself: a link at the path is replaced, not followed. The file takes the folder's
// inherited access list, so that the collector that reads the folder reads it too.
WriteResult NativeFileSystem::publishFile(const std::string& path, const std::string& bytes) {
    if (path.empty()) return {"boş yol"};
    const std::wstring target = widen(paths_.native(path));
    std::wstring tmp;
    HANDLE h = INVALID_HANDLE_VALUE;
    for (unsigned attempt = 0; attempt < 16 && h == INVALID_HANDLE_VALUE; ++attempt) {
        tmp = target + L"." + std::to_wstring(GetCurrentProcessId()) + L"." +
              std::to_wstring(GetTickCount64() % 1000000 + attempt) + L".tmp";
        h = CreateFileW(tmp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) break;
    }
    if (h == INVALID_HANDLE_VALUE) return {systemMessage(GetLastError())};
    DWORD written = 0;
    bool ok = bytes.empty() ||
              (WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) && written == bytes.size());
    DWORD error = ok ? 0 : GetLastError();
    if (!CloseHandle(h) && ok) {
        ok = false;
        error = GetLastError();
    }
    if (ok && !MoveFileExW(tmp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        ok = false;
        error = GetLastError();
    }
    if (ok) return {};
    DeleteFileW(tmp.c_str());
    return {systemMessage(error ? error : ERROR_WRITE_FAULT)};
}

// Info-ZIP for Windows does not follow junctions into a loop; the depth limit bounds the listing.
std::optional<FolderIdentity> NativeFileSystem::folderIdentity(const std::string&) {
    return std::nullopt;
}

// A link or a folder under an archive's name is not the program's; whose a file is, is not read here.
std::string NativeFileSystem::foreignness(const std::string& path) {
    if (path.empty()) return {};
    const DWORD attributes = GetFileAttributesW(widen(paths_.native(path)).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return {};
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return "bağlantı";
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return "dosya değil";
    // The owner as the file itself says (never a link's target): SYSTEM, the Administrators or this
    // program's own user.
    HANDLE h = CreateFileW(widen(paths_.native(path)).c_str(), READ_CONTROL,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                           FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE) return {};  // gone meanwhile
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    std::string owner = "?";
    if (GetSecurityInfo(h, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, nullptr, nullptr, nullptr, nullptr,
                        &descriptor) == ERROR_SUCCESS) {
        const std::vector<BYTE> user = processUser();
        owner = untrustedOwner(descriptor, processUserSid(user));
    }
    if (descriptor) LocalFree(descriptor);
    CloseHandle(h);
    return owner.empty() ? std::string() : "sahibi başka bir kullanıcı (" + owner + ")";
}

// A folder whose access list, protected from the target's and passed down to what is made in it,
// admits SYSTEM, the Administrators and this process's user alone: a rename within the volume
// keeps a file's own list, so the archive zip renames out of it stays private.
std::optional<std::string> NativeFileSystem::privateWorkFolder(const std::string& folder, std::string& failure) {
    if (!privateFiles_) return std::nullopt;
    PrivateAccess access(L"FA", L"OICI");
    if (!access.attributes()) {
        failure = "erişim listesi kurulamadı";
        return std::nullopt;
    }
    // A name nobody else made: CreateDirectory fails on one that is there, planted or left over.
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string path = folder + "\\zelyedek-is." + std::to_string(GetCurrentProcessId()) + "." +
                                 std::to_string(GetTickCount64() % 1000000 + static_cast<unsigned>(attempt));
        if (CreateDirectoryW(widen(paths_.native(path)).c_str(), access.attributes())) return path;
        if (GetLastError() != ERROR_ALREADY_EXISTS) {
            failure = systemMessage(GetLastError());
            return std::nullopt;
        }
    }
    failure = "boş bir ad bulunamadı";
    return std::nullopt;
}

void NativeFileSystem::removeEmptyFolder(const std::string& path) {
    if (!path.empty()) RemoveDirectoryW(widen(paths_.native(path)).c_str());
}

void NativeFileSystem::removeReplaceLeftovers(const std::string& path) {
    if (path.empty()) return;
    DeleteFileW((replacedFile(widen(paths_.native(path))) + L".tmp").c_str());
}

std::optional<VolumeSpace> NativeFileSystem::volumeSpace(const std::string& folder) {
    ULARGE_INTEGER freeToCaller{}, total{};
    const std::wstring path = widen(paths_.native(folder));
    if (folder.empty() || !GetDiskFreeSpaceExW(path.c_str(), &freeToCaller, &total, nullptr))
        return std::nullopt;
    // A mapped drive and a \\server\share path alike stand on a remote volume.
    wchar_t root[MAX_PATH + 1];
    const bool remote =
        GetVolumePathNameW(path.c_str(), root, MAX_PATH + 1) && GetDriveTypeW(root) == DRIVE_REMOTE;
    // Quotas count: the space this user may still write, not the volume's own.
    return VolumeSpace{freeToCaller.QuadPart, total.QuadPart, remote};
}

WriteResult NativeFileSystem::removeFile(const std::string& path) {
    if (path.empty()) return {"boş yol"};
    if (!DeleteFileW(widen(paths_.native(path)).c_str())) return {systemMessage(GetLastError())};
    return {};
}

WriteResult NativeFileSystem::renameFile(const std::string& from, const std::string& to) {
    if (from.empty() || to.empty()) return {"boş yol"};
    if (!MoveFileExW(widen(paths_.native(from)).c_str(), widen(paths_.native(to)).c_str(), 0))
        return {systemMessage(GetLastError())};
    return {};
}

}  // namespace zel
