#include "engine/shadow_copy.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "platform/files/path_map.h"

namespace zel {
namespace {

std::string failed(std::string_view step, std::int32_t code) {
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%08X", static_cast<unsigned>(code));
    return std::string(step) + " (" + hex + ")";
}

bool ok(std::int32_t code) { return code >= 0; }

}  // namespace

std::string_view shadowStepName(ShadowStep step) {
    switch (step) {
        case ShadowStep::Load: return "vssapi.dll";
        case ShadowStep::Initialize: return "InitializeForBackup";
        case ShadowStep::BackupState: return "SetBackupState";
        case ShadowStep::WriterMetadata: return "GatherWriterMetadata";
        case ShadowStep::StartSet: return "StartSnapshotSet";
        case ShadowStep::AddVolume: return "AddToSnapshotSet";
        case ShadowStep::Prepare: return "PrepareForBackup";
        case ShadowStep::Snapshot: return "DoSnapshotSet";
        case ShadowStep::Properties: return "GetSnapshotProperties";
        case ShadowStep::Expose: return "bağlantı";
    }
    return {};
}

ShadowTaken takeShadowCopy(ShadowCopyOps& ops, const std::vector<std::string>& volumes, const std::string& linkFolder,
                           const std::function<void(const std::string& setId)>& keepSetId,
                           std::chrono::milliseconds limit) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + limit;
    const auto left = [&] {
        return std::max(std::chrono::milliseconds(0),
                        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()));
    };
    ShadowCopy copy;
    std::vector<std::string> snapshots;
    bool setStarted = false, snapshotTaken = false;
    // Whatever failed, nothing of the set is left: no snapshot, no link, no kept id.
    const auto fail = [&](ShadowStep step, std::int32_t code) {
        for (const ShadowCopy::Volume& v : copy.volumes) ops.removeLink(v.link);
        if (setStarted && !snapshotTaken) ops.abortBackup();
        if (snapshotTaken && ok(ops.deleteSnapshotSet(copy.setId))) keepSetId("");
        if (setStarted && !snapshotTaken) keepSetId("");
        ops.close();
        return ShadowTaken{std::nullopt, failed(shadowStepName(step), code)};
    };
    std::int32_t code = ops.create();
    if (!ok(code)) {
        ops.close();
        return {std::nullopt, failed(shadowStepName(ShadowStep::Load), code)};
    }
    if (!ok(code = ops.initializeForBackup())) return fail(ShadowStep::Initialize, code);
    if (!ok(code = ops.setCopyOnlyBackup())) return fail(ShadowStep::BackupState, code);
    if (!ok(code = ops.gatherWriterMetadata(left()))) return fail(ShadowStep::WriterMetadata, code);
    if (!ok(code = ops.startSnapshotSet(copy.setId))) return fail(ShadowStep::StartSet, code);
    setStarted = true;
    keepSetId(copy.setId);
    for (const std::string& volume : volumes) {
        std::string snapshot;
        if (!ok(code = ops.addToSnapshotSet(volume, snapshot))) return fail(ShadowStep::AddVolume, code);
        snapshots.push_back(snapshot);
    }
    if (!ok(code = ops.prepareForBackup(left()))) return fail(ShadowStep::Prepare, code);
    code = ops.doSnapshotSet(left());
    // A snapshot that ended past its limit may exist all the same: it is deleted with the set.
    snapshotTaken = ok(code) || code == kShadowTimedOut;
    if (!ok(code)) return fail(ShadowStep::Snapshot, code);
    for (std::size_t i = 0; i < volumes.size(); ++i) {
        std::string device;
        if (!ok(code = ops.snapshotDevice(snapshots[i], device))) return fail(ShadowStep::Properties, code);
        const char letter = static_cast<char>(std::tolower(static_cast<unsigned char>(volumes[i].front())));
        const std::string link = linkFolder + "\\" + std::string(1, letter);
        if (!ok(code = ops.expose(device, link))) return fail(ShadowStep::Expose, code);
        copy.volumes.push_back({volumes[i], link});
    }
    return {std::move(copy), {}};
}

void releaseShadowCopy(ShadowCopyOps& ops, const ShadowCopy& copy,
                       const std::function<void(const std::string& setId)>& keepSetId) {
    for (const ShadowCopy::Volume& v : copy.volumes) ops.removeLink(v.link);
    ops.backupComplete(kShadowCopyLimit);
    // An id that could not be deleted stays kept, and the next start tries again.
    if (ok(ops.deleteSnapshotSet(copy.setId))) keepSetId("");
    ops.close();
}

bool deleteLeftoverSet(ShadowCopyOps& ops, const std::string& setId) {
    const bool deleted = ok(ops.create()) && ok(ops.initializeForBackup()) && ok(ops.deleteSnapshotSet(setId));
    ops.close();
    return deleted;
}

std::optional<SnapshotRead> snapshotRead(const ShadowCopy& copy, std::string_view source) {
    if (!startsWithDrive(source)) return std::nullopt;
    const auto letter = std::toupper(static_cast<unsigned char>(source.front()));
    for (const ShadowCopy::Volume& v : copy.volumes) {
        if (std::toupper(static_cast<unsigned char>(v.root.front())) != letter) continue;
        std::string_view rest = source.substr(2);
        while (!rest.empty() && (rest.front() == '\\' || rest.front() == '/')) rest.remove_prefix(1);
        while (!rest.empty() && (rest.back() == '\\' || rest.back() == '/')) rest.remove_suffix(1);
        if (rest.empty()) return SnapshotRead{v.link, ".", v.link};
        return SnapshotRead{v.link, std::string(rest), v.link + "\\" + std::string(rest)};
    }
    return std::nullopt;
}

std::vector<std::string> snapshotVolumes(const std::vector<std::string>& sources) {
    std::vector<std::string> roots;
    for (const std::string& source : sources) {
        if (!startsWithDrive(source)) continue;
        const std::string root = std::string(1, static_cast<char>(std::toupper(static_cast<unsigned char>(source.front())))) + ":\\";
        if (std::find(roots.begin(), roots.end(), root) == roots.end()) roots.push_back(root);
    }
    return roots;
}

}  // namespace zel
