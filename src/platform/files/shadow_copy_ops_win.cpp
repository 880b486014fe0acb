#include <windows.h>
// The backup components' interfaces; their functions are looked up in vssapi.dll at run time.
#include <vss.h>
#include <vswriter.h>
#include <vsbackup.h>

#include <condition_variable>
#include <cstdio>
#include <functional>
#include <mutex>
#include <thread>

#include "platform/files/shadow_copy_ops.h"
#include "platform/system/wide_text_win.h"

namespace zel {
namespace {

using CreateComponents = HRESULT(STDAPICALLTYPE*)(IVssBackupComponents**);
using FreeProperties = void(APIENTRY*)(VSS_SNAPSHOT_PROP*);
using ComInitialize = HRESULT(WINAPI*)(void*, DWORD);
using ComSecurity = HRESULT(WINAPI*)(void*, LONG, void*, void*, DWORD, DWORD, void*, DWORD, void*);

std::int32_t lastError() { return HRESULT_FROM_WIN32(GetLastError()); }

// A DLL of the system folder, by its whole path: never one planted beside the program.
HMODULE systemLibrary(const wchar_t* name) {
    wchar_t folder[MAX_PATH];
    const UINT n = GetSystemDirectoryW(folder, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return nullptr;
    return LoadLibraryW((std::wstring(folder, n) + L"\\" + name).c_str());
}

template <class Function>
Function function(HMODULE module, const char* name) {
    return module ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name))) : nullptr;
}

std::string guidText(const GUID& g) {
    char text[40];
    std::snprintf(text, sizeof text, "{%08lX-%04hX-%04hX-%02X%02X-%02X%02X%02X%02X%02X%02X}", g.Data1, g.Data2, g.Data3,
                  g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
    return text;
}

bool guidOf(const std::string& text, GUID& g) {
    unsigned long d1 = 0;
    unsigned d2 = 0, d3 = 0, d4[8] = {};
    if (text.size() != 38 ||
        std::sscanf(text.c_str(), "{%8lx-%4x-%4x-%2x%2x-%2x%2x%2x%2x%2x%2x}", &d1, &d2, &d3, &d4[0], &d4[1], &d4[2],
                    &d4[3], &d4[4], &d4[5], &d4[6], &d4[7]) != 11)
        return false;
    g.Data1 = d1;
    g.Data2 = static_cast<unsigned short>(d2);
    g.Data3 = static_cast<unsigned short>(d3);
    for (int i = 0; i < 8; ++i) g.Data4[i] = static_cast<unsigned char>(d4[i]);
    return true;
}

// The backup components live in COM's multithreaded apartment, on a thread of their own: whichever
// thread the run asks from, every call is made there.
class WinShadowCopyOps final : public ShadowCopyOps {
public:
    ~WinShadowCopyOps() override {
        if (!worker_.joinable()) return;
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        wake_.notify_all();
        worker_.join();
    }

    bool canSnapshot(const std::string& volumeRoot) override {
        const std::wstring root = widen(volumeRoot);
        if (GetDriveTypeW(root.c_str()) != DRIVE_FIXED) return false;
        wchar_t system[MAX_PATH + 1] = {};
        if (!GetVolumeInformationW(root.c_str(), nullptr, 0, nullptr, nullptr, nullptr, system, MAX_PATH + 1))
            return false;
        return std::wstring(system) == L"NTFS" || std::wstring(system) == L"ReFS";
    }

    std::int32_t create() override {
        return call([this]() -> std::int32_t {
            if (!comReady_) return comFailure_;
            if (!vss_) vss_ = systemLibrary(L"vssapi.dll");
            const auto make = function<CreateComponents>(vss_, "CreateVssBackupComponentsInternal");
            free_ = function<FreeProperties>(vss_, "VssFreeSnapshotPropertiesInternal");
            if (!make || !free_) return vss_ ? HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND) : lastError();
            contextSet_ = false;
            return make(&components_);
        });
    }
    std::int32_t initializeForBackup() override {
        return call([this] { return components_->InitializeForBackup(nullptr); });
    }
    std::int32_t setCopyOnlyBackup() override {
        return call([this]() -> std::int32_t {
            HRESULT hr = components_->SetContext(VSS_CTX_BACKUP);
            contextSet_ = true;
            if (FAILED(hr)) return hr;
            // A copy: writers' own backup history (a database's log truncation) stays theirs.
            return components_->SetBackupState(false, false, VSS_BT_COPY, false);
        });
    }
    std::int32_t gatherWriterMetadata(std::chrono::milliseconds limit) override {
        return call([this, limit]() -> std::int32_t {
            IVssAsync* async = nullptr;
            const HRESULT hr = components_->GatherWriterMetadata(&async);
            return FAILED(hr) ? hr : waitFor(async, limit);
        });
    }
    std::int32_t startSnapshotSet(std::string& setId) override {
        return call([this, &setId]() -> std::int32_t {
            VSS_ID id{};
            const HRESULT hr = components_->StartSnapshotSet(&id);
            if (SUCCEEDED(hr)) setId = guidText(id);
            return hr;
        });
    }
    std::int32_t addToSnapshotSet(const std::string& volume, std::string& snapshotId) override {
        return call([this, &volume, &snapshotId]() -> std::int32_t {
            std::wstring root = widen(volume);
            VSS_ID id{};
            const HRESULT hr = components_->AddToSnapshotSet(root.data(), VSS_ID{}, &id);
            if (SUCCEEDED(hr)) snapshotId = guidText(id);
            return hr;
        });
    }
    std::int32_t prepareForBackup(std::chrono::milliseconds limit) override {
        return call([this, limit]() -> std::int32_t {
            IVssAsync* async = nullptr;
            const HRESULT hr = components_->PrepareForBackup(&async);
            return FAILED(hr) ? hr : waitFor(async, limit);
        });
    }
    std::int32_t doSnapshotSet(std::chrono::milliseconds limit) override {
        return call([this, limit]() -> std::int32_t {
            IVssAsync* async = nullptr;
            const HRESULT hr = components_->DoSnapshotSet(&async);
            return FAILED(hr) ? hr : waitFor(async, limit);
        });
    }
    std::int32_t snapshotDevice(const std::string& snapshotId, std::string& device) override {
        return call([this, &snapshotId, &device]() -> std::int32_t {
            VSS_ID id{};
            if (!guidOf(snapshotId, id)) return E_INVALIDARG;
            VSS_SNAPSHOT_PROP properties{};
            const HRESULT hr = components_->GetSnapshotProperties(id, &properties);
            if (FAILED(hr)) return hr;
            device = properties.m_pwszSnapshotDeviceObject ? narrow(properties.m_pwszSnapshotDeviceObject) : "";
            free_(&properties);
            return device.empty() ? E_UNEXPECTED : S_OK;
        });
    }
    std::int32_t expose(const std::string& device, const std::string& link) override {
        const std::wstring path = widen(link);
        const std::size_t slash = path.find_last_of(L'\\');
        if (slash != std::wstring::npos) CreateDirectoryW(path.substr(0, slash).c_str(), nullptr);
        RemoveDirectoryW(path.c_str());  // a link a crash left: the link goes, never what it led to
        if (!CreateSymbolicLinkW(path.c_str(), (widen(device) + L"\\").c_str(), SYMBOLIC_LINK_FLAG_DIRECTORY))
            return lastError();
        return S_OK;
    }
    void removeLink(const std::string& link) override {
        const std::wstring path = widen(link);
        // Only a link is removed: a folder of that name is somebody's own.
        const DWORD attributes = GetFileAttributesW(path.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
            RemoveDirectoryW(path.c_str());
    }
    void abortBackup() override {
        call([this]() -> std::int32_t { return components_ ? components_->AbortBackup() : S_OK; });
    }
    void backupComplete(std::chrono::milliseconds limit) override {
        call([this, limit]() -> std::int32_t {
            IVssAsync* async = nullptr;
            if (!components_ || FAILED(components_->BackupComplete(&async))) return E_FAIL;
            return waitFor(async, limit);
        });
    }
    std::int32_t deleteSnapshotSet(const std::string& setId) override {
        return call([this, &setId]() -> std::int32_t {
            VSS_ID id{};
            if (!components_ || !guidOf(setId, id)) return E_INVALIDARG;
            // A set of an earlier process is seen only in every context.
            if (!contextSet_) components_->SetContext(static_cast<LONG>(VSS_CTX_ALL));
            LONG deleted = 0;
            VSS_ID notDeleted{};
            return components_->DeleteSnapshots(id, VSS_OBJECT_SNAPSHOT_SET, TRUE, &deleted, &notDeleted);
        });
    }
    void close() override {
        call([this]() -> std::int32_t {
            if (components_) components_->Release();
            components_ = nullptr;
            return S_OK;
        });
    }

private:
    // An asynchronous step, waited for in slices until its limit; one past it is cancelled.
    static std::int32_t waitFor(IVssAsync* async, std::chrono::milliseconds limit) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        HRESULT status = VSS_S_ASYNC_PENDING;
        for (;;) {
            HRESULT hr = async->QueryStatus(&status, nullptr);
            if (FAILED(hr)) status = hr;
            if (status != VSS_S_ASYNC_PENDING) break;
            if (std::chrono::steady_clock::now() >= deadline) {
                async->Cancel();
                status = kShadowTimedOut;
                break;
            }
            Sleep(100);
        }
        async->Release();
        return status == VSS_S_ASYNC_CANCELLED ? E_ABORT : status;
    }

    // Runs `work` on the components' thread and waits for it; one call at a time.
    std::int32_t call(std::function<std::int32_t()> work) {
        std::unique_lock lock(mutex_);
        if (!worker_.joinable()) worker_ = std::thread([this] { serve(); });
        task_ = std::move(work);
        wake_.notify_all();
        wake_.wait(lock, [this] { return !task_; });
        return result_;
    }

    void serve() {
        HMODULE ole = systemLibrary(L"ole32.dll");
        const auto initialize = function<ComInitialize>(ole, "CoInitializeEx");
        const auto security = function<ComSecurity>(ole, "CoInitializeSecurity");
        comFailure_ = initialize ? initialize(nullptr, COINIT_MULTITHREADED) : lastError();
        comReady_ = SUCCEEDED(comFailure_);
        // Writers call back into the program: they must be let in, and may not act as it.
        if (comReady_ && security)
            security(nullptr, -1, nullptr, nullptr, RPC_C_AUTHN_LEVEL_PKT_PRIVACY, RPC_C_IMP_LEVEL_IDENTIFY, nullptr,
                     EOAC_NONE, nullptr);
        std::unique_lock lock(mutex_);
        for (;;) {
            wake_.wait(lock, [this] { return stopping_ || task_; });
            if (!task_) break;
            result_ = task_();
            task_ = nullptr;
            wake_.notify_all();
        }
        lock.unlock();
        if (components_) components_->Release();
        components_ = nullptr;
        const auto uninitialize = function<void(WINAPI*)()>(ole, "CoUninitialize");
        if (comReady_ && uninitialize) uninitialize();
    }

    std::mutex mutex_;
    std::condition_variable wake_;
    std::function<std::int32_t()> task_;  // the call waiting for the worker
    std::int32_t result_ = S_OK;
    bool stopping_ = false;
    std::thread worker_;
    // The worker's own.
    bool comReady_ = false;
    std::int32_t comFailure_ = E_FAIL;
    HMODULE vss_ = nullptr;
    FreeProperties free_ = nullptr;
    IVssBackupComponents* components_ = nullptr;
    bool contextSet_ = false;
};

}  // namespace

std::unique_ptr<ShadowCopyOps> makeNativeShadowCopyOps() {
    return std::make_unique<WinShadowCopyOps>();
}

}  // namespace zel
