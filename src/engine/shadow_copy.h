#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/files/shadow_copy_ops.h"

namespace zel {

// Whether a run reads its sources from a shadow copy: when it can (else live, with a warning),
// never, or only (else those pairs fail).
enum class ShadowCopyMode { Auto, Off, Required };

// The steps of a backup through the Volume Shadow Copy Service, in the order they are taken.
enum class ShadowStep {
    Load,            // vssapi.dll, its backup components
    Initialize,      // InitializeForBackup
    BackupState,     // a copy-only backup: no writer's own backup history changes
    WriterMetadata,  // GatherWriterMetadata
    StartSet,        // StartSnapshotSet
    AddVolume,       // AddToSnapshotSet
    Prepare,         // PrepareForBackup
    Snapshot,        // DoSnapshotSet
    Properties,      // GetSnapshotProperties: the snapshot's device
    Expose,          // the folder link to the device that zip reads through
};
std::string_view shadowStepName(ShadowStep step);

// The whole snapshot, from the writers' metadata to the snapshot's end.
inline constexpr std::chrono::seconds kShadowCopyLimit{120};

// A snapshot set as the run reads it: each volume's root ("C:\") and the folder link that reaches
// its snapshot.
struct ShadowCopy {
    std::string setId;
    struct Volume {
        std::string root;
        std::string link;
    };
    std::vector<Volume> volumes;
};

// How taking a snapshot set ended: the set, or the failed step and its HRESULT, in the run log's
// words ("DoSnapshotSet (0x80042316)").
struct ShadowTaken {
    std::optional<ShadowCopy> copy;
    std::string failure;
};

// One snapshot set for `volumes` (their roots), each exposed at `linkFolder`\<drive letter>.
// `keepSetId` hears the set's id as soon as there is one (to find it after a crash), and "" once
// nothing of it is left. A failed step leaves nothing behind.
ShadowTaken takeShadowCopy(ShadowCopyOps& ops, const std::vector<std::string>& volumes, const std::string& linkFolder,
                           const std::function<void(const std::string& setId)>& keepSetId,
                           std::chrono::milliseconds limit = kShadowCopyLimit);
// Deletes the set and its links.
void releaseShadowCopy(ShadowCopyOps& ops, const ShadowCopy& copy,
                       const std::function<void(const std::string& setId)>& keepSetId);
// A set an earlier process left (its id kept), deleted at the start; false when it could not be.
bool deleteLeftoverSet(ShadowCopyOps& ops, const std::string& setId);

// Where zip reads a source from a snapshot so that its entries are named as in a live run: it
// starts in the snapshot's folder link and is given the source relative to its volume's root; the
// listing reads the same files through the link.
struct SnapshotRead {
    std::string workingFolder;  // the link: "c:\...\golge\c"
    std::string zipSource;      // "brevund\belgeler"; "." for the volume's root itself
    std::string listFrom;       // "c:\...\golge\c\brevund\belgeler"
};
// Nothing for a source on none of the copy's volumes (a share, another drive).
std::optional<SnapshotRead> snapshotRead(const ShadowCopy& copy, std::string_view source);

// The volume roots of the sources that a snapshot can cover: a drive ("c:\x" -> "C:\"), each once;
// shares are read live.
std::vector<std::string> snapshotVolumes(const std::vector<std::string>& sources);

}  // namespace zel
