#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace zel {

// Which code inflates an archive's entries when it is read back. Fast is ISA-L, two to three
// times quicker than zlib; zlib is the reference: a stream it refuses, the unzips built on it
// cannot restore.
// ISA-L is built with scripts/isal-zlib-codes.patch: unpatched, it takes Huffman codes that leave
// part of their code space unused, which zlib refuses, and a damaged block can hold such a code
// and still inflate to the entry's size and CRC.
enum class Inflation { Fast, Zlib };

// Inflates one raw deflate stream at a time, fed in pieces of any size; the output is only
// counted and summed, never kept.
class Inflater {
public:
    virtual ~Inflater() = default;
    // Starts a new stream.
    virtual void begin() = 0;
    // Inflates the next piece of the stream; false when the stream is broken or goes on after
    // its end. Memory stays bounded whatever the stream's length.
    virtual bool feed(const char* in, std::size_t n) = 0;
    virtual bool ended() const = 0;
    virtual std::uint64_t produced() const = 0;
    // CRC-32 (as zip has it) of what the stream produced so far.
    virtual std::uint32_t crc() const = 0;
};

// Nothing when the memory for it cannot be had.
std::unique_ptr<Inflater> makeInflater(Inflation inflation);

// CRC-32 (as zip has it) of bytes stored as they are, continuing crc.
std::uint32_t crc32Of(std::uint32_t crc, const char* bytes, std::size_t n, Inflation inflation);

// CRC-64 (ECMA-182) of bytes, continuing crc: tells whether bytes read twice are still the same.
std::uint64_t crc64Of(std::uint64_t crc, const char* bytes, std::size_t n);

}  // namespace zel
