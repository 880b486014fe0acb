#include "engine/inflater.h"

#include <isa-l/crc.h>
#include <isa-l/crc64.h>
#include <isa-l/igzip_lib.h>
#include <zlib.h>

#include <algorithm>
#include <new>
#include <vector>

namespace zel {
namespace {

// Inflated bytes go through one buffer of this size: large enough for few calls, small enough
// to stay in the cache (measured: 64 KB and 1 MB were both slower for ISA-L).
constexpr std::size_t kOut = 256 * 1024;

class ZlibInflater final : public Inflater {
public:
    ZlibInflater() : out_(kOut) {
        if (inflateInit2(&z_, -MAX_WBITS) != Z_OK) throw std::bad_alloc();
    }
    ~ZlibInflater() override { inflateEnd(&z_); }
    ZlibInflater(const ZlibInflater&) = delete;
    ZlibInflater& operator=(const ZlibInflater&) = delete;

    void begin() override {
        inflateReset(&z_);
        crc_ = crc32(0L, Z_NULL, 0);
        produced_ = 0;
        ended_ = false;
    }

    bool feed(const char* in, std::size_t n) override {
        if (n == 0) return true;
        if (ended_) return false;  // bytes after the end of the stream
        z_.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in));  // zlib only reads it
        // A piece larger than zlib's counter takes several rounds.
        std::size_t left = n;
        while (left > 0) {
            const auto now = static_cast<uInt>(std::min<std::size_t>(left, 1u << 30));
            z_.avail_in = now;
            left -= now;
            do {
                z_.next_out = reinterpret_cast<Bytef*>(out_.data());
                z_.avail_out = static_cast<uInt>(out_.size());
                const int rc = inflate(&z_, Z_NO_FLUSH);
                if (rc != Z_OK && rc != Z_STREAM_END && rc != Z_BUF_ERROR) return false;
                const std::size_t made = out_.size() - z_.avail_out;
                crc_ = crc32_z(crc_, reinterpret_cast<const Bytef*>(out_.data()), made);
                produced_ += made;
                if (rc == Z_STREAM_END) {
                    ended_ = true;
                    return z_.avail_in == 0 && left == 0;
                }
                if (rc == Z_BUF_ERROR && made == 0) break;  // wants more input
            } while (z_.avail_in > 0 || z_.avail_out == 0);
        }
        return true;
    }

    bool ended() const override { return ended_; }
    std::uint64_t produced() const override { return produced_; }
    std::uint32_t crc() const override { return static_cast<std::uint32_t>(crc_); }

private:
    std::vector<char> out_;
    z_stream z_{};
    uLong crc_ = 0;
    std::uint64_t produced_ = 0;
    bool ended_ = false;
};

class IsalInflater final : public Inflater {
public:
    IsalInflater() : out_(kOut), state_(std::make_unique<inflate_state>()) {}

    void begin() override {
        isal_inflate_init(state_.get());
        state_->crc_flag = ISAL_GZIP_NO_HDR;  // raw deflate, with the gzip (= zip) CRC of the output
        produced_ = 0;
        ended_ = false;
    }

    bool feed(const char* in, std::size_t n) override {
        if (n == 0) return true;
        if (ended_) return false;
        inflate_state& s = *state_;
        std::size_t left = n;
        while (left > 0) {
            const auto now = static_cast<std::uint32_t>(std::min<std::size_t>(left, 1u << 30));
            s.next_in = reinterpret_cast<std::uint8_t*>(const_cast<char*>(in + (n - left)));  // only read
            s.avail_in = now;
            left -= now;
            // ISA-L takes the whole piece (keeping what it cannot use yet) unless its output is full.
            do {
                s.next_out = reinterpret_cast<std::uint8_t*>(out_.data());
                s.avail_out = static_cast<std::uint32_t>(out_.size());
                if (isal_inflate(&s) != ISAL_DECOMP_OK) return false;
                produced_ += out_.size() - s.avail_out;
                if (s.block_state == ISAL_BLOCK_FINISH) {
                    ended_ = true;
                    // ISA-L keeps bytes it read past the end in its bit buffer and its own input
                    // buffer; together with what it left, they are bytes after the stream's end.
                    const std::uint64_t unused =
                        s.avail_in + static_cast<std::uint32_t>(std::max<int>(s.read_in_length, 0)) / 8 +
                        static_cast<std::uint32_t>(std::max<int>(s.tmp_in_size, 0));
                    return unused == 0 && left == 0;
                }
            } while (s.avail_out == 0);
        }
        return true;
    }

    bool ended() const override { return ended_; }
    std::uint64_t produced() const override { return produced_; }
    std::uint32_t crc() const override { return state_->crc; }

private:
    std::vector<char> out_;
    std::unique_ptr<inflate_state> state_;  // 85 KB: not on a thread's stack
    std::uint64_t produced_ = 0;
    bool ended_ = false;
};

}  // namespace

std::unique_ptr<Inflater> makeInflater(Inflation inflation) {
    try {
        if (inflation == Inflation::Fast) return std::make_unique<IsalInflater>();
        return std::make_unique<ZlibInflater>();
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

std::uint32_t crc32Of(std::uint32_t crc, const char* bytes, std::size_t n, Inflation inflation) {
    if (inflation == Inflation::Zlib)
        return static_cast<std::uint32_t>(crc32_z(crc, reinterpret_cast<const Bytef*>(bytes), n));
    return crc32_gzip_refl(crc, reinterpret_cast<const unsigned char*>(bytes), n);
}

std::uint64_t crc64Of(std::uint64_t crc, const char* bytes, std::size_t n) {
    return crc64_ecma_refl(crc, reinterpret_cast<const unsigned char*>(bytes), n);
}

}  // namespace zel
