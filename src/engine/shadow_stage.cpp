#include "engine/shadow_stage.h"

#include <algorithm>
#include <utility>

#include "engine/live_wait.h"

namespace zel {

// The service may take minutes: the window stays live meanwhile.
void ShadowStage::live(const std::function<void()>& work) {
    whileWindowLive(work, parts_.processEvents);
}

void ShadowStage::keepSetId(const std::string& setId) {
    if (setId.empty())
        parts_.files.removeFile(parts_.setIdFile);
    else
        parts_.files.replaceContent(parts_.setIdFile, setId, true);
}

void ShadowStage::deleteLeftover() {
    if (!parts_.ops) return;
    std::string setId;
    if (const std::unique_ptr<FileReader> kept = parts_.files.openForReading(parts_.setIdFile)) {
        setId.resize(std::min<std::uint64_t>(kept->size(), 100));
        setId.resize(kept->readAt(0, setId.data(), setId.size()).value_or(0));
    }
    // Links are made by the letter of a volume: whichever a crash left behind goes.
    for (char letter = 'a'; letter <= 'z'; ++letter) parts_.ops->removeLink(parts_.linkFolder + "\\" + letter);
    if (setId.empty()) return;
    // At the start, before the window takes events: done in place.
    const bool deleted = deleteLeftoverSet(*parts_.ops, setId);
    if (deleted) keepSetId("");
    parts_.log(deleted ? "Önceki çalışmadan kalan gölge kopya silindi: " + setId
                       : "Önceki çalışmadan kalan gölge kopya silinemedi: " + setId);
}

std::string ShadowStage::beforePairs(const RunPairs& pairs) {
    copy_.reset();
    volumes_.clear();
    failure_.clear();
    if (!active()) return {};
    for (const std::string& root : snapshotVolumes({pairs.sources.begin(), pairs.sources.end()}))
        if (parts_.ops->canSnapshot(root)) volumes_.push_back(root);
    if (volumes_.empty()) return {};  // shares and volumes without snapshots are read live
    if (!parts_.elevated) {
        failure_ = "program yönetici olarak başlatılmadı";
    } else {
        const auto keep = [this](const std::string& id) { keepSetId(id); };
        ShadowTaken taken;
        live([&] { taken = takeShadowCopy(*parts_.ops, volumes_, parts_.linkFolder, keep); });
        copy_ = std::move(taken.copy);
        failure_ = std::move(taken.failure);
    }
    if (copy_) {
        std::string roots;
        for (const ShadowCopy::Volume& v : copy_->volumes) roots += (roots.empty() ? "" : ", ") + v.root;
        parts_.log("Gölge kopya alındı: " + roots);
    } else if (mode_ == ShadowCopyMode::Auto) {
        const std::string text = "Gölge kopya alınamadı: " + failure_ + "; canlı dosyalar yedeklendi";
        parts_.log(text);
        parts_.warn(text);
    } else {
        parts_.log("Gölge kopya alınamadı: " + failure_);
    }
    return {};
}

SourcePlace ShadowStage::sourcePlace(const std::string& source) {
    if (copy_) return {snapshotRead(*copy_, source), {}};
    // Required: a pair on a volume the set was to cover fails; one on a share reads live.
    const std::vector<std::string> own = snapshotVolumes({source});
    const bool covered = !own.empty() && std::find(volumes_.begin(), volumes_.end(), own.front()) != volumes_.end();
    if (mode_ == ShadowCopyMode::Required && !failure_.empty() && covered)
        return {std::nullopt, "Gölge kopya alınamadı: " + failure_};
    return {};
}

void ShadowStage::runEnded() {
    if (!copy_) return;
    const ShadowCopy copy = *std::exchange(copy_, std::nullopt);
    const auto keep = [this](const std::string& id) { keepSetId(id); };
    live([&] { releaseShadowCopy(*parts_.ops, copy, keep); });
    parts_.log("Gölge kopya silindi");
}

}  // namespace zel
