#include <aclapi.h>
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/files/final_path_win.h"
#include "platform/security/acl_writers_win.h"
#include "platform/security/program_trust.h"
#include "platform/system/wide_text_win.h"

namespace zel {
namespace {

// The final path of the part of `path` that exists: the program, or the nearest folder above it.
std::wstring finalExisting(std::wstring path) {
    for (;;) {
        std::wstring final = finalPath(path);
        if (!final.empty()) return final;
        const auto slash = path.find_last_of(L"\\/");
        if (slash == std::wstring::npos || slash == 0) return {};
        // "C:\x" goes up to "C:\", not to "C:", which means that drive's current folder.
        const std::size_t up = path[slash - 1] == L':' ? slash + 1 : slash;
        if (up >= path.size()) return {};  // a root that cannot be opened
        path.resize(up);
    }
}

// The drive's root ("C:\") or the share's ("\\server\share\"), then every folder down to `final`.
std::vector<std::wstring> chainTo(const std::wstring& final) {
    std::size_t start = 0;
    if (final.size() >= 2 && final[1] == L':') {
        start = 3;
    } else if (final.rfind(L"\\\\", 0) == 0) {
        const auto server = final.find(L'\\', 2);
        const auto share = server == std::wstring::npos ? server : final.find(L'\\', server + 1);
        start = share == std::wstring::npos ? final.size() : share + 1;
    }
    std::vector<std::wstring> chain{final.substr(0, start)};
    if (chain.front().empty()) return {};
    if (chain.front().back() != L'\\') chain.front() += L'\\';
    for (std::size_t slash = final.find(L'\\', start); start < final.size();
         slash = final.find(L'\\', slash + 1)) {
        if (slash == std::wstring::npos) {
            chain.push_back(final);
            break;
        }
        chain.push_back(final.substr(0, slash));
    }
    return chain;
}

// Who other than the trusted may change `place`, judged on the object itself, never on a link's
// target: a link on the way as written is judged as itself (who may point it elsewhere), and
// refused on the final path, where one made since may lead anywhere. Nothing when it is not there.
std::optional<std::string> placeWriters(const std::wstring& place, PSID account, bool linkJudgedAsItself) {
    HANDLE h = CreateFileW(place.c_str(), READ_CONTROL,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                           FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return std::nullopt;
        return "okunamadı";
    }
    BY_HANDLE_FILE_INFORMATION info{};
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    std::string who;
    if (!GetFileInformationByHandle(h, &info)) {
        who = "okunamadı";
    } else if ((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) && !linkJudgedAsItself) {
        who = "bağlantı";
    } else if (GetSecurityInfo(h, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                               nullptr, nullptr, nullptr, nullptr, &descriptor) != ERROR_SUCCESS) {
        who = "okunamadı";
    } else {
        who = aclWriters(descriptor, account);
    }
    if (descriptor) LocalFree(descriptor);
    CloseHandle(h);
    return who;
}

}  // namespace

std::string untrustedWriters(const std::string& nativePath) {
    const std::wstring written = widen(nativePath);
    // The account the service runs as, whose own files it trusts as it trusts itself.
    const std::vector<BYTE> user = processUser();
    PSID account = processUserSid(user);
    // Every place as written, down to the first that is not there: a program that is not there
    // cannot be run, but a folder others may write is told first.
    std::string missing;
    for (const std::wstring& place : chainTo(written)) {
        const std::optional<std::string> who = placeWriters(place, account, true);
        if (!who) {
            missing = narrow(place) + ": bulunamadı";
            break;
        }
        if (!who->empty()) return narrow(place) + ": " + *who;
    }
    // And where the links on the way lead.
    const std::vector<std::wstring> chain = chainTo(finalExisting(written));
    if (chain.empty()) return nativePath + ": bulunamadı";
    for (const std::wstring& place : chain) {
        const std::optional<std::string> who = placeWriters(place, account, false);
        if (who && !who->empty()) return narrow(place) + ": " + *who;
    }
    return missing;
}

}  // namespace zel
