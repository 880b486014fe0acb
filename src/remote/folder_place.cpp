#include "remote/folder_place.h"

#include <algorithm>
#include <chrono>
#include <thread>
#include <vector>

#include "engine/archive_check.h"
#include "engine/inflater.h"

namespace zel {
namespace {

constexpr std::size_t kChunk = 1 << 20;

}  // namespace

std::optional<std::uint64_t> crc64OfAll(FileReader& file) {
    std::vector<char> buffer(kChunk);
    std::uint64_t crc = 0;
    for (std::uint64_t at = 0; at < file.size();) {
        const std::optional<std::size_t> n =
            file.readAt(at, buffer.data(), static_cast<std::size_t>(std::min<std::uint64_t>(kChunk, file.size() - at)));
        if (!n || *n == 0) return std::nullopt;
        crc = crc64Of(crc, buffer.data(), *n);
        at += *n;
    }
    return crc;
}

std::string copyProblem(FileReader& copy, FileReader& local, std::optional<std::uint64_t> localCrc) {
    if (copy.size() != local.size())
        return "boyut farklı: " + std::to_string(copy.size()) + " / " + std::to_string(local.size()) + " bayt";
    const std::optional<std::vector<std::string>> expected = archiveEntryNames(local);
    if (!expected) return "yerel arşivin dizini okunamadı";
    if (archiveEntryNames(copy) != expected) return "kopyanın dizini yerel arşivinkinden farklı";
    if (!localCrc) localCrc = crc64OfAll(local);
    if (!localCrc) return "yerel arşiv okunamadı";
    const std::optional<std::uint64_t> copyCrc = crc64OfAll(copy);
    if (!copyCrc) return "kopya okunamadı";
    if (*copyCrc != *localCrc) return "kopya bozuk: baytları yerel arşivinkinden farklı (CRC-64)";
    return {};
}

FolderPlace::FolderPlace(FileSystem& files, std::string root, int speedLimitKb, Share share)
    : files_(files), root_(std::move(root)), speedLimitKb_(speedLimitKb), share_(std::move(share)) {
    while (root_.size() > 1 && (root_.back() == '\\' || root_.back() == '/')) root_.pop_back();
}

std::string FolderPlace::path(const std::string& folder, const std::string& name) const {
    return name.empty() ? root_ + "\\" + folder : root_ + "\\" + folder + "\\" + name;
}

PlaceResult FolderPlace::begin() {
    if (!share_.user.empty() && share_.logon && root_.starts_with("\\\\")) {
        std::string failure;
        session_ = share_.logon(root_, share_.user, share_.password, failure);
        if (!session_) return {"paylaşıma bağlanılamadı: " + failure};
    }
    // A USB disk that is not plugged in must not get an empty folder of that name on the system disk.
    if (!files_.folderExists(root_)) return {"klasör yok ya da erişilemiyor: " + root_};
    return {};
}

std::optional<std::vector<PlaceItem>> FolderPlace::list(const std::string& folder, std::string& failure) {
    if (!files_.folderExists(path(folder, {}))) return std::vector<PlaceItem>{};
    const std::optional<std::vector<FolderItem>> items = files_.listFolder(path(folder, {}));
    if (!items) {
        failure = "listelenemedi: " + path(folder, {});
        return std::nullopt;
    }
    std::vector<PlaceItem> out;
    for (const FolderItem& i : *items)
        if (i.kind == FolderItem::Kind::File)
            if (std::optional<PlaceItem> found = item(folder, i.name)) out.push_back(std::move(*found));
    return out;
}

std::optional<PlaceItem> FolderPlace::item(const std::string& folder, const std::string& name) {
    const std::optional<FileStamp> stamp = files_.fileStamp(path(folder, name));
    if (!stamp) return std::nullopt;
    return PlaceItem{name, stamp->size, std::to_string(stamp->size) + ":" + std::to_string(stamp->modified)};
}

PlaceResult FolderPlace::write(const std::string& target, FileReader& local, const std::atomic<bool>& stop,
                               std::uint64_t& crc) {
    crc = 0;
    std::string failure;
    std::unique_ptr<FileWriter> out = files_.createNewFile(target, failure);
    if (!out) return {"yazılamadı: " + failure};
    std::vector<char> buffer(kChunk);
    const auto started = std::chrono::steady_clock::now();
    for (std::uint64_t at = 0; at < local.size();) {
        if (stop) return {"durduruldu"};
        const std::optional<std::size_t> n =
            local.readAt(at, buffer.data(), static_cast<std::size_t>(std::min<std::uint64_t>(kChunk, local.size() - at)));
        if (!n || *n == 0) return {"yerel arşiv okunamadı"};
        crc = crc64Of(crc, buffer.data(), *n);
        if (!out->write(buffer.data(), *n)) break;  // finish says why
        at += *n;
        if (speedLimitKb_ > 0) {
            const auto due = started + std::chrono::microseconds(at * 1000000 / (std::uint64_t(speedLimitKb_) * 1024));
            std::this_thread::sleep_until(due);
        }
    }
    if (const WriteResult done = out->finish(); !done) return {"yazılamadı: " + done.failure};
    return {};
}

std::optional<PlaceItem> FolderPlace::put(const std::string& folder, const std::string& name, FileReader& local,
                                          const std::atomic<bool>& stop, std::string& failure) {
    if (!files_.folderExists(path(folder, {})) && !files_.createFolder(path(folder, {}))) {
        failure = "klasör oluşturulamadı: " + path(folder, {});
        return std::nullopt;
    }
    // A cut copy's file is overwritten, never taken for a copy: it never had the archive's name.
    const std::string temporary = path(folder, name) + std::string(kCopySuffix);
    files_.removeFile(temporary);
    std::uint64_t crc = 0;
    PlaceResult written = write(temporary, local, stop, crc);
    if (written) written.failure = files_.renameFile(temporary, path(folder, name)).failure;
    if (!written) {
        files_.removeFile(temporary);
        failure = written.failure;
        return std::nullopt;
    }
    const std::unique_ptr<FileReader> copy = files_.openForReading(path(folder, name));
    failure = copy ? copyProblem(*copy, local, crc) : "kopya okunamadı";
    if (!failure.empty()) {
        setAside(folder, name);
        return std::nullopt;
    }
    return item(folder, name);
}

PlaceResult FolderPlace::prove(const std::string& folder, const std::string& name, FileReader& local,
                               const std::atomic<bool>&) {
    const std::unique_ptr<FileReader> copy = files_.openForReading(path(folder, name));
    if (!copy) return {"kopya okunamadı"};
    return {copyProblem(*copy, local, std::nullopt)};
}

std::unique_ptr<FileReader> FolderPlace::open(const std::string& folder, const std::string& name) {
    return files_.openForReading(path(folder, name));
}

RemoveOutcome FolderPlace::remove(const std::string& folder, const std::string& name, std::string& failure) {
    failure = files_.removeFile(path(folder, name)).failure;
    return failure.empty() ? RemoveOutcome::Removed : RemoveOutcome::Failed;
}

PlaceResult FolderPlace::setAside(const std::string& folder, const std::string& name) {
    const std::string from = path(folder, name);
    std::string failure;
    for (int n = 0; n < 100; ++n) {
        const std::string to = from + (n == 0 ? "" : "." + std::to_string(n)) + ".bozuk";
        failure = files_.renameFile(from, to).failure;
        if (failure.empty()) return {};
    }
    return {failure};
}

void FolderPlace::cleanUp(const std::string& folder, const std::vector<std::string>&) {
    if (const std::optional<std::vector<FolderItem>> items = files_.listFolder(path(folder, {})))
        for (const FolderItem& i : *items)
            if (i.kind == FolderItem::Kind::File && i.name.ends_with(kCopySuffix)) files_.removeFile(path(folder, i.name));
}

std::vector<TrialStep> FolderPlace::trial() {
    std::vector<TrialStep> steps;
    if (PlaceResult begun = begin(); !begun) {
        steps.push_back({"Bağlantı", begun.failure});
        return steps;
    }
    const std::string file = root_ + "\\" + std::string(kTrialName);
    const std::string text = "ZEL Yedek deneme\r\n";
    files_.removeFile(file);
    std::string failure;
    if (std::unique_ptr<FileWriter> out = files_.createNewFile(file, failure)) {
        out->write(text.data(), text.size());
        failure = out->finish().failure;
    }
    steps.push_back({"Yazma", failure});
    if (failure.empty()) {
        const std::unique_ptr<FileReader> back = files_.openForReading(file);
        std::string read(text.size() + 1, '\0');
        const std::optional<std::size_t> n = back ? back->readAt(0, read.data(), read.size()) : std::nullopt;
        steps.push_back({"Okuma", n && read.substr(0, *n) == text ? "" : "okunan yazılanla aynı değil"});
        steps.push_back({"Silme", files_.removeFile(file).failure});
    }
    end();
    return steps;
}

}  // namespace zel
