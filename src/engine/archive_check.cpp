#include "engine/archive_check.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <future>
#include <memory>
#include <optional>
#include <system_error>
#include <thread>
#include <utility>

#include "platform/system/oem_text.h"

namespace zel {
namespace {

constexpr std::uint32_t kLocalSignature = 0x04034b50;
constexpr std::uint32_t kCentralSignature = 0x02014b50;
constexpr std::uint32_t kEndSignature = 0x06054b50;
constexpr std::uint32_t kZip64EndSignature = 0x06064b50;
constexpr std::uint32_t kZip64LocatorSignature = 0x07064b50;
constexpr std::size_t kEndSize = 22;
constexpr std::size_t kLocatorSize = 20;
constexpr std::size_t kCentralSize = 46;
constexpr std::size_t kLocalSize = 30;
constexpr std::uint32_t kAll32 = 0xFFFFFFFFu;

// Thrown inside the check with the reason the archive is not whole.
struct Broken {
    std::string why;
};

std::uint16_t u16(const char* p) {
    return static_cast<std::uint16_t>(static_cast<unsigned char>(p[0]) | static_cast<unsigned char>(p[1])
                                                                             << 8);
}
std::uint32_t u32(const char* p) {
    return u16(p) | static_cast<std::uint32_t>(u16(p + 2)) << 16;
}
std::uint64_t u64(const char* p) {
    return u32(p) | static_cast<std::uint64_t>(u32(p + 4)) << 32;
}

std::string readExact(FileReader& file, std::uint64_t offset, std::uint64_t n, const std::string& what) {
    if (offset > file.size() || n > file.size() - offset) throw Broken{what + " arşivin sonunu aşıyor"};
    std::string bytes(static_cast<std::size_t>(n), '\0');
    std::optional<std::size_t> got = file.readAt(offset, bytes.data(), bytes.size());
    if (!got) throw Broken{"okunamadı"};
    if (*got != n) throw Broken{what + " arşivin sonunu aşıyor"};
    return bytes;
}

// The archive read ahead in large pieces: entries lie one after another, so the headers and
// data of many small files come out of one read instead of three reads each.
class Window {
public:
    // No larger than the archive: a small one needs no megabyte.
    explicit Window(FileReader& file)
        : file_(file), bytes_(static_cast<std::size_t>(std::min<std::uint64_t>(kWindow, file.size()))) {}

    // The n bytes at offset; valid until the next call.
    const char* at(std::uint64_t offset, std::size_t n, const std::string& what) {
        // Written as subtractions: an offset near 2^64 (a Zip64 field can say so) must not wrap.
        if (offset >= start_ && offset - start_ <= length_ && n <= length_ - (offset - start_))
            return bytes_.data() + (offset - start_);
        if (offset > file_.size() || n > file_.size() - offset) throw Broken{what + " arşivin sonunu aşıyor"};
        if (n > bytes_.size()) bytes_.resize(n);
        const auto want =
            static_cast<std::size_t>(std::min<std::uint64_t>(bytes_.size(), file_.size() - offset));
        std::optional<std::size_t> got = file_.readAt(offset, bytes_.data(), want);
        if (!got) throw Broken{"okunamadı"};
        start_ = offset;
        length_ = *got;
        if (length_ < n) throw Broken{what + " arşivin sonunu aşıyor"};
        return bytes_.data();
    }

    // Up to n bytes at offset, as many as one read of the window gives; valid until the next call.
    std::pair<const char*, std::size_t> piece(std::uint64_t offset, std::uint64_t n, const std::string& what) {
        if (!(offset >= start_ && offset - start_ < length_)) at(offset, 1, what);
        const std::size_t here = length_ - static_cast<std::size_t>(offset - start_);
        return {bytes_.data() + (offset - start_), static_cast<std::size_t>(std::min<std::uint64_t>(here, n))};
    }

private:
    static constexpr std::size_t kWindow = 1024 * 1024;
    FileReader& file_;
    std::vector<char> bytes_;
    std::uint64_t start_ = 0;
    std::size_t length_ = 0;
};

struct Entry {
    std::string rawName;
    std::string name;  // UTF-8
    std::uint16_t flags = 0;
    std::uint16_t method = 0;
    std::uint32_t crc = 0;
    std::uint64_t packed = 0;
    std::uint64_t size = 0;
    std::uint64_t offset = 0;
};

// Visits the extra fields of a header: (id, data, length).
template <typename Visit>
void eachExtra(const char* p, std::size_t length, Visit visit) {
    std::size_t at = 0;
    while (at + 4 <= length) {
        const std::uint16_t id = u16(p + at);
        const std::uint16_t size = u16(p + at + 2);
        if (at + 4 + size > length) return;  // a torn tail is left to the sizes' checks
        visit(id, p + at + 4, size);
        at += 4u + size;
    }
}

struct Directory {
    std::uint64_t entries = 0;
    std::uint64_t size = 0;
    std::uint64_t offset = 0;
};

Directory findDirectory(FileReader& file) {
    const std::uint64_t total = file.size();
    if (total < kEndSize) throw Broken{"merkez dizin sonu bulunamadı"};
    const std::uint64_t tailLength = std::min<std::uint64_t>(total, kEndSize + 0xFFFF);
    const std::uint64_t tailStart = total - tailLength;
    const std::string tail = readExact(file, tailStart, tailLength, "son kayıt");
    // The record ends the file exactly: its comment is the last thing in it.
    for (std::size_t at = tail.size() - kEndSize + 1; at-- > 0;) {
        const char* end = tail.data() + at;
        if (u32(end) != kEndSignature || at + kEndSize + u16(end + 20) != tail.size()) continue;
        Directory d{u16(end + 10), u32(end + 12), u32(end + 16)};
        for (int field : {4, 6}) {  // this disk, the directory's disk: 0, or 0xFFFF for Zip64
            if (u16(end + field) != 0 && u16(end + field) != 0xFFFF) throw Broken{"çok parçalı arşiv"};
        }
        std::uint64_t directoryEnd = tailStart + at;
        if (directoryEnd >= kLocatorSize) {
            const std::string locator =
                readExact(file, directoryEnd - kLocatorSize, kLocatorSize, "Zip64 yeri");
            if (u32(locator.data()) == kZip64LocatorSignature) {
                const std::uint64_t where = u64(locator.data() + 8);
                const std::string end64 = readExact(file, where, 56, "Zip64 son kaydı");
                if (u32(end64.data()) != kZip64EndSignature) throw Broken{"Zip64 son kaydı bozuk"};
                d = Directory{u64(end64.data() + 32), u64(end64.data() + 40), u64(end64.data() + 48)};
                directoryEnd = where;
            }
        }
        if (d.offset > directoryEnd || directoryEnd - d.offset != d.size)
            throw Broken{"merkez dizinin yeri tutmuyor"};
        return d;
    }
    throw Broken{"merkez dizin sonu bulunamadı"};
}

// The central directory, read a piece at a time: an end record may claim gigabytes of directory
// (a sparse file with a forged one costs its maker nothing), and nothing is taken on trust before
// the bytes read so far have shown themselves to be entries.
class DirectoryReader {
public:
    DirectoryReader(FileReader& file, const Directory& d) : file_(file), next_(d.offset), end_(d.offset + d.size) {}

    // The next `n` bytes of the directory, read as far as needed; nothing when the directory ends first.
    const char* need(std::size_t n) {
        if (at_ + n > bytes_.size()) {
            bytes_.erase(0, at_);
            at_ = 0;
            while (bytes_.size() < n && next_ < end_) {
                const auto piece = static_cast<std::size_t>(
                    std::min<std::uint64_t>(std::max(kPiece, n - bytes_.size()), end_ - next_));
                bytes_ += readExact(file_, next_, piece, "merkez dizin");
                next_ += piece;
            }
            if (bytes_.size() < n) return nullptr;
        }
        return bytes_.data() + at_;
    }
    void skip(std::size_t n) { at_ += n; }
    // Every byte of the directory was an entry's.
    bool done() const { return at_ == bytes_.size() && next_ == end_; }

private:
    static constexpr std::size_t kPiece = 1024 * 1024;
    FileReader& file_;
    std::uint64_t next_, end_;
    std::string bytes_;
    std::size_t at_ = 0;
};

std::vector<Entry> readDirectory(FileReader& file, const Directory& d) {
    DirectoryReader directory(file, d);
    std::vector<Entry> entries;
    for (std::uint64_t i = 0; i < d.entries; ++i) {
        const char* h = directory.need(kCentralSize);
        if (!h || u32(h) != kCentralSignature) throw Broken{"merkez dizin bozuk"};
        const std::size_t nameLength = u16(h + 28), extraLength = u16(h + 30), commentLength = u16(h + 32);
        h = directory.need(kCentralSize + nameLength + extraLength + commentLength);
        if (!h) throw Broken{"merkez dizin bozuk"};
        Entry e;
        e.flags = u16(h + 8);
        e.method = u16(h + 10);
        e.crc = u32(h + 16);
        e.packed = u32(h + 20);
        e.size = u32(h + 24);
        e.offset = u32(h + 42);
        e.rawName.assign(h + kCentralSize, nameLength);
        std::optional<std::string> unicodeName;
        eachExtra(h + kCentralSize + nameLength, extraLength,
                  [&](std::uint16_t id, const char* p, std::size_t n) {
                      if (id == 0x0001) {  // Zip64: only the fields that did not fit, in this order
                          std::size_t k = 0;
                          for (std::uint64_t* field : {&e.size, &e.packed, &e.offset}) {
                              if (*field != kAll32) continue;
                              if (k + 8 > n) throw Broken{"merkez dizin bozuk"};
                              *field = u64(p + k);
                              k += 8;
                          }
                      } else if (id == 0x7075 && n >= 5 && p[0] == 1) {  // Info-ZIP's Unicode path
                          unicodeName.emplace(p + 5, n - 5);
                      }
                  });
        if (unicodeName)
            e.name = *unicodeName;
        else if (e.flags & 0x0800)
            e.name = e.rawName;  // marked UTF-8
        else
            e.name = zipStoredNameToUtf8(e.rawName);
        entries.push_back(std::move(e));
        directory.skip(kCentralSize + nameLength + extraLength + commentLength);
    }
    if (!directory.done()) throw Broken{"merkez dizin bozuk"};
    return entries;
}

// A local header's fields: its fixed part's, with the sizes from Zip64's field where the 32-bit
// ones are full once readZip64Sizes has read its extra field.
struct LocalHeader {
    std::uint16_t flags = 0;
    std::uint16_t method = 0;
    std::uint32_t crc = 0;
    std::uint64_t packed = 0;
    std::uint64_t size = 0;
    std::size_t nameLength = 0;
    std::size_t extraLength = 0;
};

// The fixed part, kLocalSize bytes at h.
LocalHeader localHeaderOf(const char* h) {
    LocalHeader l;
    l.flags = u16(h + 6);
    l.method = u16(h + 8);
    l.crc = u32(h + 14);
    l.packed = u32(h + 18);
    l.size = u32(h + 22);
    l.nameLength = u16(h + 26);
    l.extraLength = u16(h + 28);
    return l;
}

// `rest`: the name and extra field that follow the fixed part.
void readZip64Sizes(LocalHeader& l, const char* rest) {
    eachExtra(rest + l.nameLength, l.extraLength, [&](std::uint16_t id, const char* p, std::size_t n) {
        if (id == 0x0001 && n >= 16 && (l.packed == kAll32 || l.size == kAll32)) {
            l.size = u64(p);
            l.packed = u64(p + 8);
        }
    });
}

// Where the entry's data begins, after its local header has been matched with the central one.
std::uint64_t matchLocalHeader(Window& window, const Entry& e, const Directory& d) {
    // Its texts are made only when they are needed: thousands of small entries each pass here.
    const auto mismatch = [&e] { return Broken{e.name + " yerel başlığı merkez dizinle uyuşmuyor"}; };
    if (e.offset > d.offset || d.offset - e.offset < kLocalSize) throw mismatch();
    char h[kLocalSize];  // copied: the next read of the window may move it
    std::memcpy(h, window.at(e.offset, kLocalSize, e.name), kLocalSize);
    LocalHeader l = localHeaderOf(h);
    if (u32(h) != kLocalSignature || l.method != e.method) throw mismatch();
    const char* rest = window.at(e.offset + kLocalSize, l.nameLength + l.extraLength, e.name);
    if (l.nameLength != e.rawName.size() || e.rawName.compare(0, l.nameLength, rest, l.nameLength) != 0)
        throw mismatch();
    if (!(l.flags & 0x0008)) {  // without a data descriptor the local header holds them too
        readZip64Sizes(l, rest);
        if (l.crc != e.crc || l.packed != e.packed || l.size != e.size) throw mismatch();
    }
    const std::uint64_t data = e.offset + kLocalSize + l.nameLength + l.extraLength;
    if (data > d.offset || d.offset - data < e.packed) throw Broken{e.name + " verisi merkez dizine taşıyor"};
    return data;
}

// Whether an entry's bytes, its local header with them, are the very bytes read back while zip
// was writing them.
bool checkedEarly(Window& window, const Entry& e, std::uint64_t data, const std::vector<EarlyCheck>& early) {
    const auto found =
        std::lower_bound(early.begin(), early.end(), e.offset,
                         [](const EarlyCheck& c, std::uint64_t offset) { return c.offset < offset; });
    if (found == early.end() || found->offset != e.offset || found->length != data - e.offset + e.packed)
        return false;
    // The data first, then the header: the order the follower could sum them in.
    std::uint64_t crc = 0;
    const auto sum = [&](std::uint64_t from, std::uint64_t length) {
        for (std::uint64_t done = 0; done < length;) {
            const auto [in, n] = window.piece(from + done, length - done, e.name);
            crc = crc64Of(crc, in, n);
            done += n;
        }
    };
    sum(data, e.packed);
    sum(e.offset, data - e.offset);
    return crc == found->crc64;
}

// One entry's data taken piece by piece, summed when stored and inflated when deflated, then
// judged against the sizes and CRC-32 that its header gives.
class EntryData {
public:
    EntryData(Inflater& inflater, std::uint16_t method, Inflation inflation)
        : inflater_(inflater), stored_(method == 0), inflation_(inflation) {
        if (!stored_) inflater_.begin();
    }
    // False once the bytes cannot be inflated.
    bool feed(const char* in, std::size_t n) {
        if (!stored_) return inflater_.feed(in, n);
        crc_ = crc32Of(crc_, in, n, inflation_);
        return true;
    }
    // What is wrong with the data read, as the check words it; nothing when it is whole.
    const char* fault(std::uint64_t packed, std::uint64_t size, std::uint32_t crc) const {
        if (!stored_ && !inflater_.ended()) return "verisi bozuk";
        if ((stored_ ? packed : inflater_.produced()) != size) return "boyut hatası";
        if ((stored_ ? crc_ : inflater_.crc()) != crc) return "CRC hatası";
        return nullptr;
    }

private:
    Inflater& inflater_;
    const bool stored_;
    const Inflation inflation_;
    std::uint32_t crc_ = 0;
};

// Inflates or sums one entry's data and compares it with what the directory says.
void checkData(Window& window, const Entry& e, std::uint64_t data, Inflater& inflater, Inflation inflation) {
    EntryData read(inflater, e.method, inflation);
    for (std::uint64_t done = 0; done < e.packed;) {
        const auto [in, n] = window.piece(data + done, e.packed - done, e.name);
        done += n;
        if (!read.feed(in, n)) throw Broken{e.name + " verisi bozuk"};
    }
    if (const char* fault = read.fault(e.packed, e.size, e.crc)) throw Broken{e.name + " " + fault};
}

// Reads each entry's data through one window and one inflater, started again for each entry: an
// archive of thousands of small files must not cost thousands of allocations.
class DataChecker {
public:
    explicit DataChecker(Inflation inflation) : inflation_(inflation), inflater_(made(inflation)) {}

    void check(Window& window, const Entry& e, std::uint64_t data, const std::vector<EarlyCheck>& early) {
        if (e.flags & 0x0001) throw Broken{e.name + " şifreli, denetlenemedi"};
        if (e.method != 0 && e.method != 8)
            throw Broken{e.name + " desteklenmeyen sıkıştırma yöntemi (" + std::to_string(e.method) + ")"};
        if (checkedEarly(window, e, data, early)) return;
        if (inflation_ == Inflation::Zlib) return checkData(window, e, data, *inflater_, inflation_);
        try {
            checkData(window, e, data, *inflater_, inflation_);
        } catch (const Broken&) {
            // zlib's rules for a valid stream count, not ISA-L's: an entry the fast
            // inflater refuses is judged again by zlib, so ISA-L alone never fails a backup.
            if (!zlib_) zlib_ = made(Inflation::Zlib);
            checkData(window, e, data, *zlib_, Inflation::Zlib);
        }
    }

private:
    static std::unique_ptr<Inflater> made(Inflation inflation) {
        std::unique_ptr<Inflater> inflater = makeInflater(inflation);
        if (!inflater) throw Broken{"bellek yetmedi"};
        return inflater;
    }

    Inflation inflation_;
    std::unique_ptr<Inflater> inflater_;
    std::unique_ptr<Inflater> zlib_;
};

// Checks entries [first, last) and returns the first one's index that fails with why, or
// nothing; gives up early once another part has found a failure before its own start.
std::optional<std::pair<std::size_t, std::string>> checkPart(FileReader& archive, const Directory& directory,
                                                             const std::vector<Entry>& entries,
                                                             std::size_t first, std::size_t last,
                                                             std::atomic<std::size_t>& firstFailure,
                                                             Inflation inflation,
                                                             const std::vector<EarlyCheck>& early) {
    try {
        Window window(archive);
        DataChecker data(inflation);
        for (std::size_t i = first; i < last && i < firstFailure; ++i) {
            try {
                data.check(window, entries[i], matchLocalHeader(window, entries[i], directory), early);
            } catch (const Broken& broken) {
                for (std::size_t seen = firstFailure;
                     i < seen && !firstFailure.compare_exchange_weak(seen, i);) {
                }
                return std::make_pair(i, broken.why);
            }
        }
    } catch (const Broken& broken) {
        return std::make_pair(first, broken.why);
    }
    return std::nullopt;
}

}  // namespace

ArchiveCheck checkArchive(FileReader& archive, Inflation inflation, const std::vector<EarlyCheck>& early) {
    ArchiveCheck result;
    try {
        const Directory directory = findDirectory(archive);
        const std::vector<Entry> entries = readDirectory(archive, directory);
        // Inflating is most of the time a backup's check takes, and zip has left the other cores
        // idle: the entries are cut into parts of about equal packed size, one thread each.
        const std::size_t threads = std::clamp<std::size_t>(std::thread::hardware_concurrency(), 1, 4);
        std::uint64_t packed = 0;
        for (const Entry& e : entries) packed += e.packed + 1;
        std::vector<std::size_t> bounds{0};
        std::uint64_t sum = 0;
        for (std::size_t i = 0; i < entries.size() && bounds.size() < threads; ++i) {
            sum += entries[i].packed + 1;
            if (sum * threads >= packed * bounds.size()) bounds.push_back(i + 1);
        }
        bounds.push_back(entries.size());
        std::atomic<std::size_t> firstFailure{entries.size()};
        std::vector<std::future<std::optional<std::pair<std::size_t, std::string>>>> parts;
        std::size_t unthreaded = entries.size();  // where the parts that got no thread begin
        for (std::size_t p = 1; p + 1 < bounds.size(); ++p) {
            if (bounds[p] == bounds[p + 1]) continue;  // fewer entries than threads
            try {
                parts.push_back(std::async(std::launch::async, checkPart, std::ref(archive),
                                           std::cref(directory), std::cref(entries), bounds[p], bounds[p + 1],
                                           std::ref(firstFailure), inflation, std::cref(early)));
            } catch (const std::system_error&) {
                unthreaded = bounds[p];  // no thread to be had: this one checks the rest itself
                break;
            }
        }
        std::optional<std::pair<std::size_t, std::string>> failure =
            checkPart(archive, directory, entries, bounds[0], bounds[1], firstFailure, inflation, early);
        if (!failure && unthreaded < entries.size())
            failure = checkPart(archive, directory, entries, unthreaded, entries.size(), firstFailure,
                                inflation, early);
        for (auto& part : parts) {
            auto found = part.get();
            if (found && (!failure || found->first < failure->first)) failure = std::move(found);
        }
        if (failure) throw Broken{failure->second};
        for (const Entry& e : entries) {
            if (e.name.ends_with('/')) continue;  // folders hold nothing to miss
            result.files.push_back(e.name);
            result.sizes.push_back(e.size);
        }
        result.whole = true;
    } catch (const Broken& broken) {
        result.problem = broken.why;
        result.files.clear();
        result.sizes.clear();
    }
    return result;
}

std::optional<std::vector<std::string>> archiveEntryNames(FileReader& archive) {
    try {
        std::vector<std::string> names;
        for (Entry& e : readDirectory(archive, findDirectory(archive))) names.push_back(std::move(e.name));
        return names;
    } catch (...) {
        return std::nullopt;  // a damaged directory, or no memory for a forged one's claims
    }
}

namespace {

// One entry of a growing archive at `at`, read back whole if zip has finished it: its check, or
// nothing while it is not finished (or not whole: its header may still change). A large entry is
// inflated as its data arrives, so that little is left to read once zip finishes it.
class EntryFollower {
public:
    EntryFollower() : inflater_(makeInflater(Inflation::Fast)), piece_(kPiece) {}
    bool ready() const { return inflater_ != nullptr; }

    // Nothing to follow any more: zip is writing its central directory, or the bytes are not
    // the records of an archive; the check after zip reads the rest.
    bool over = false;
    // True while part of an entry's data has been read as it arrived.
    bool midEntry() const { return growing_ && !growing_->failed && growing_->consumed > 0; }

    std::optional<EarlyCheck> at(FileReader& file, std::uint64_t offset, const std::atomic<bool>& stop) {
        // Measured before the header is read: while the header still says the entry is
        // unfinished, every byte below this size is its data (zip makes the header final before
        // it writes the next record).
        const std::uint64_t size = file.sizeNow();
        char h[kLocalSize];
        if (size < offset + kLocalSize || !readAll(file, offset, h, kLocalSize)) return std::nullopt;
        LocalHeader l = localHeaderOf(h);
        if (u32(h) != kLocalSignature) {
            over = true;
            return std::nullopt;
        }
        // Zip begins each header with a data descriptor's flag and no sizes, and clears the flag
        // when it writes them; encrypted entries and other methods are left to the check after zip.
        if ((l.flags & 0x0001) || (l.method != 0 && l.method != 8)) return std::nullopt;
        std::string header(h, kLocalSize);
        header.resize(kLocalSize + l.nameLength + l.extraLength);
        if (size < offset + header.size() ||
            !readAll(file, offset + kLocalSize, header.data() + kLocalSize, header.size() - kLocalSize))
            return std::nullopt;
        const std::uint64_t data = offset + header.size();
        if (l.flags & 0x0008) {
            grow(file, offset, header.size(), l.method, size, stop);
            return std::nullopt;
        }
        readZip64Sizes(l, header.data() + kLocalSize);
        if (l.packed > size || data + 4 > size - l.packed) return std::nullopt;  // not all there yet
        // Zip puts the sizes and CRC in the header after the data: they are final once the next
        // record follows the data they give.
        char next[4];
        const std::uint64_t end = data + l.packed;
        if (!readAll(file, end, next, 4) || (u32(next) != kLocalSignature && u32(next) != kCentralSignature))
            return std::nullopt;
        if (header == failed_) return std::nullopt;  // tried as it stands: only a change can help
        // What was read while the entry grew counts only for the header it was read under.
        if (!growing_ || growing_->failed || growing_->offset != offset || growing_->headerLength != header.size() ||
            growing_->method != l.method || growing_->consumed > l.packed)
            startGrowing(offset, header.size(), l.method);
        if (!consume(file, data, l.packed, stop)) {
            if (growing_->failed) return failedAs(header);
            return std::nullopt;  // stopped
        }
        if (growing_->read->fault(l.packed, l.size, l.crc)) return failedAs(header);
        const std::uint64_t crc64 = crc64Of(growing_->crc64, header.data(), header.size());
        growing_.reset();
        return EarlyCheck{offset, end - offset, crc64};
    }

private:
    static constexpr std::size_t kPiece = 1024 * 1024;

    // The entry whose data is being read as it arrives: how much, and its CRC-64 so far.
    struct Growing {
        std::uint64_t offset = 0;
        std::size_t headerLength = 0;
        std::uint16_t method = 0;
        std::uint64_t consumed = 0;
        std::uint64_t crc64 = 0;
        bool failed = false;
        std::optional<EntryData> read;
    };

    static bool readAll(FileReader& file, std::uint64_t offset, char* into, std::size_t n) {
        const std::optional<std::size_t> got = file.readAt(offset, into, n);
        return got && *got == n;
    }
    void startGrowing(std::uint64_t offset, std::size_t headerLength, std::uint16_t method) {
        growing_.reset();  // its EntryData holds the one inflater
        growing_.emplace();
        growing_->offset = offset;
        growing_->headerLength = headerLength;
        growing_->method = method;
        growing_->read.emplace(*inflater_, method, Inflation::Fast);
    }
    // An unfinished entry: its data up to `size` goes through the inflater now. Whatever turns
    // out wrong here only costs the gain: the entry is then read whole once it is finished.
    void grow(FileReader& file, std::uint64_t offset, std::size_t headerLength, std::uint16_t method,
              std::uint64_t size, const std::atomic<bool>& stop) {
        if (!growing_ || growing_->offset != offset) startGrowing(offset, headerLength, method);
        if (growing_->headerLength != headerLength || growing_->method != method) growing_->failed = true;
        if (growing_->failed) return;
        const std::uint64_t data = offset + headerLength;
        consume(file, data, size - data, stop);
    }
    // Feeds the growing entry's data up to `length`; false when it was stopped or the data does
    // not inflate (then failed).
    bool consume(FileReader& file, std::uint64_t data, std::uint64_t length, const std::atomic<bool>& stop) {
        Growing& g = *growing_;
        while (g.consumed < length) {
            if (stop) return false;
            const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(piece_.size(), length - g.consumed));
            if (!readAll(file, data + g.consumed, piece_.data(), n)) return false;
            if (!g.read->feed(piece_.data(), n)) {
                g.failed = true;
                return false;
            }
            g.crc64 = crc64Of(g.crc64, piece_.data(), n);
            g.consumed += n;
        }
        return true;
    }
    std::optional<EarlyCheck> failedAs(const std::string& header) {
        failed_ = header;
        growing_.reset();
        return std::nullopt;
    }

    std::unique_ptr<Inflater> inflater_;
    std::vector<char> piece_;
    std::string failed_;  // the header bytes of the last entry that did not read back whole
    std::optional<Growing> growing_;
};

}  // namespace

std::vector<EarlyCheck> followArchive(FileReader& growing, const std::atomic<bool>& stop,
                                      const std::atomic<bool>* zipEnded) {
    std::vector<EarlyCheck> checked;
    try {
        EntryFollower follower;
        std::uint64_t offset = 0;
        while (follower.ready() && !follower.over && !stop) {
            if (std::optional<EarlyCheck> entry = follower.at(growing, offset, stop)) {
                offset += entry->length;
                checked.push_back(*entry);
            } else if (!follower.over) {
                std::this_thread::sleep_for(std::chrono::milliseconds(5));  // zip is still at it
            }
        }
        // Zip has ended: the entry it wrote last, most of it read as it grew, is final now. Read
        // to its end here rather than whole again after zip; a backlog of small entries is left to
        // the check after zip, which reads on several cores.
        if (zipEnded && *zipEnded && follower.midEntry()) {
            const std::atomic<bool> goOn{false};
            if (std::optional<EarlyCheck> entry = follower.at(growing, offset, goOn)) checked.push_back(*entry);
        }
    } catch (...) {
        // what was checked so far stands; the check after zip reads the rest
    }
    return checked;
}

}  // namespace zel
