#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

namespace zel {

// The Volume Shadow Copy Service's backup components and the folder links that reach a snapshot, a
// call a step; each answers an HRESULT (negative: failed). Calls come from one thread at a time.
class ShadowCopyOps {
public:
    virtual ~ShadowCopyOps() = default;
    // A local NTFS or ReFS volume, which the service can take a snapshot of.
    virtual bool canSnapshot(const std::string& volumeRoot) = 0;
    virtual std::int32_t create() = 0;
    virtual std::int32_t initializeForBackup() = 0;
    virtual std::int32_t setCopyOnlyBackup() = 0;
    virtual std::int32_t gatherWriterMetadata(std::chrono::milliseconds limit) = 0;
    virtual std::int32_t startSnapshotSet(std::string& setId) = 0;
    virtual std::int32_t addToSnapshotSet(const std::string& volume, std::string& snapshotId) = 0;
    virtual std::int32_t prepareForBackup(std::chrono::milliseconds limit) = 0;
    virtual std::int32_t doSnapshotSet(std::chrono::milliseconds limit) = 0;
    virtual std::int32_t snapshotDevice(const std::string& snapshotId, std::string& device) = 0;
    // A folder link at `link` to the snapshot's device, replacing whatever is there.
    virtual std::int32_t expose(const std::string& device, const std::string& link) = 0;
    virtual void removeLink(const std::string& link) = 0;
    // After a failure past StartSnapshotSet: the writers are told the backup is off.
    virtual void abortBackup() = 0;
    virtual void backupComplete(std::chrono::milliseconds limit) = 0;
    // Deletes every snapshot of a set; for a set left by an earlier process too.
    virtual std::int32_t deleteSnapshotSet(const std::string& setId) = 0;
    // Lets go of the backup components; the next create begins anew.
    virtual void close() = 0;
};

// HRESULT_FROM_WIN32(ERROR_TIMEOUT): a step that did not end within its limit.
inline constexpr std::int32_t kShadowTimedOut = static_cast<std::int32_t>(0x800705B4);
// This system's; none where there are no shadow copies (Linux). The service itself is looked up
// only when a set is taken, so the program starts where it is missing.
std::unique_ptr<ShadowCopyOps> makeNativeShadowCopyOps();

}  // namespace zel
