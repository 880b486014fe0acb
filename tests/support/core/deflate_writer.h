#pragma once

#include <string>
#include <utility>
#include <vector>

namespace zel::test {

// One thing a deflate block holds: a literal byte, a copy, the bare code of a literal/length or a
// distance symbol, or raw bits (to use code space no symbol has).
struct Token {
    enum class Kind { Literal, Copy, LitLenCode, DistCode, Bits };
    Kind kind;
    unsigned a = 0;  // the byte; the copy's length; the symbol; the bits' value
    unsigned b = 0;  // the copy's distance; the bits' count
};
std::vector<Token> literals(const std::string& text);
Token copy(unsigned length, unsigned distance);
Token litLenCode(unsigned symbol);
Token distCode(unsigned symbol);
Token bits(unsigned value, unsigned count);

// The code lengths of a dynamic block by symbol, written into its header as they are: they need
// not make a complete code. Their counts give HLIT and HDIST.
struct DynamicCodes {
    std::vector<int> litLen;
    std::vector<int> dist;
    // By symbol 0-18; empty: 5 bits for each length 0-15, 2, 3 and 3 for the repeats 16, 17, 18.
    std::vector<int> codeLengthCode = {};
    // Given, the header's lengths are written as these code-length symbols and their extra bits
    // instead of one symbol for each length.
    std::vector<std::pair<int, unsigned>> lengthSymbols = {};
};

// Code lengths by symbol, zero but for the (symbol, length) pairs given.
std::vector<int> codeLengths(std::size_t symbols, const std::vector<std::pair<int, int>>& lengths);

// A raw deflate stream written block by block, for blocks zlib's deflate never makes. Codes are
// assigned canonically, so the unused space of an incomplete code is its longest all-ones codes.
class DeflateWriter {
public:
    DeflateWriter& fixed(const std::vector<Token>& tokens, bool last = true);
    DeflateWriter& dynamic(const DynamicCodes& codes, const std::vector<Token>& tokens, bool last = true);
    // The stream, its last byte filled up with zero bits.
    std::string bytes() const;

private:
    void put(unsigned value, unsigned count);  // least significant bit first
    void block(const std::vector<int>& litLen, const std::vector<int>& dist, const std::vector<Token>& tokens);

    std::string out_;
    unsigned pending_ = 0;  // bits of the unfinished last byte
    unsigned pendingCount_ = 0;
};

}  // namespace zel::test
