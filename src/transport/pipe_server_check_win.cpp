#include "transport/pipe_server_check_win.h"

#include <aclapi.h>

#include <memory>
#include <type_traits>
#include <vector>

namespace zel {
namespace {

bool wellKnown(PSID sid, WELL_KNOWN_SID_TYPE type) {
    BYTE buffer[SECURITY_MAX_SID_SIZE];
    DWORD size = sizeof buffer;
    return sid && CreateWellKnownSid(type, nullptr, buffer, &size) && EqualSid(sid, buffer);
}

struct ServiceHandleCloser {
    void operator()(SC_HANDLE h) const {
        if (h) CloseServiceHandle(h);
    }
};
using ServiceHandle = std::unique_ptr<std::remove_pointer_t<SC_HANDLE>, ServiceHandleCloser>;

// The running service's process id (0 when it does not run) and its account's SID (empty when unknown).
void serviceFacts(DWORD& pid, std::vector<BYTE>& account) {
    const ServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    if (!manager) return;
    const ServiceHandle service(
        OpenServiceW(manager.get(), kServiceName, SERVICE_QUERY_STATUS | SERVICE_QUERY_CONFIG));
    if (!service) return;
    SERVICE_STATUS_PROCESS status{};
    DWORD size = 0;
    if (QueryServiceStatusEx(service.get(), SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&status),
                             sizeof status, &size) &&
        status.dwCurrentState != SERVICE_STOPPED)
        pid = status.dwProcessId;
    QueryServiceConfigW(service.get(), nullptr, 0, &size);
    std::vector<BYTE> config(size);
    if (size == 0 || !QueryServiceConfigW(
                         service.get(), reinterpret_cast<QUERY_SERVICE_CONFIGW*>(config.data()), size, &size))
        return;
    const wchar_t* name = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(config.data())->lpServiceStartName;
    if (!name || !*name) return;
    // The manager writes LocalSystem for SYSTEM, a name no account lookup knows.
    if (CompareStringOrdinal(name, -1, L"LocalSystem", -1, TRUE) == CSTR_EQUAL) {
        account.resize(SECURITY_MAX_SID_SIZE);
        DWORD n = SECURITY_MAX_SID_SIZE;
        if (!CreateWellKnownSid(WinLocalSystemSid, nullptr, account.data(), &n)) account.clear();
        return;
    }
    DWORD sidSize = 0, domainSize = 0;
    SID_NAME_USE use{};
    LookupAccountNameW(nullptr, name, nullptr, &sidSize, nullptr, &domainSize, &use);
    if (sidSize == 0) return;
    account.resize(sidSize);
    std::vector<wchar_t> domain(domainSize + 1);
    if (!LookupAccountNameW(nullptr, name, account.data(), &sidSize, domain.data(), &domainSize, &use))
        account.clear();
}

// The user of process `pid`; empty when it cannot be read (a SYSTEM process's token is closed to users).
std::vector<BYTE> processUser(DWORD pid) {
    std::vector<BYTE> user;
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (!process) return user;
    HANDLE token = nullptr;
    if (OpenProcessToken(process, TOKEN_QUERY, &token)) {
        DWORD size = 0;
        GetTokenInformation(token, TokenUser, nullptr, 0, &size);
        user.resize(size);
        if (size == 0 || !GetTokenInformation(token, TokenUser, user.data(), size, &size)) user.clear();
        CloseHandle(token);
    }
    CloseHandle(process);
    return user;
}

}  // namespace

bool trustedPipeServer(const PipeServerFacts& facts) {
    if (facts.ownProcess || facts.serviceProcess) return true;
    if (wellKnown(facts.processUser, WinLocalSystemSid)) return true;
    if (facts.processUser && facts.serviceAccount && EqualSid(facts.processUser, facts.serviceAccount))
        return true;
    return wellKnown(facts.pipeOwner, WinLocalSystemSid) ||
           wellKnown(facts.pipeOwner, WinBuiltinAdministratorsSid);
}

bool servedByTheService(HANDLE pipe) {
    ULONG server = 0;
    if (!GetNamedPipeServerProcessId(pipe, &server)) return false;
    PipeServerFacts facts;
    facts.ownProcess = server == GetCurrentProcessId();
    if (facts.ownProcess) return true;
    DWORD servicePid = 0;
    std::vector<BYTE> account;
    serviceFacts(servicePid, account);
    facts.serviceProcess = servicePid != 0 && servicePid == server;
    const std::vector<BYTE> user = processUser(server);
    if (!user.empty()) facts.processUser = reinterpret_cast<const TOKEN_USER*>(user.data())->User.Sid;
    if (!account.empty()) facts.serviceAccount = account.data();
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetSecurityInfo(pipe, SE_KERNEL_OBJECT, OWNER_SECURITY_INFORMATION, &facts.pipeOwner, nullptr,
                        nullptr, nullptr, &descriptor) != ERROR_SUCCESS)
        facts.pipeOwner = nullptr;
    const bool trusted = trustedPipeServer(facts);
    if (descriptor) LocalFree(descriptor);
    return trusted;
}

}  // namespace zel
