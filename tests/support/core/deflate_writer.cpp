#include "support/core/deflate_writer.h"

#include <array>
#include <stdexcept>

namespace zel::test {
namespace {

constexpr std::array<unsigned, 29> kLengthBase = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                                  31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr std::array<unsigned, 29> kLengthExtra = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                                   2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr std::array<unsigned, 30> kDistBase = {1,   2,   3,   4,   5,   7,    9,    13,   17,   25,
                                                33,  49,  65,  97,  129, 193,  257,  385,  513,  769,
                                                1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
constexpr std::array<int, 19> kCodeLengthOrder = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};

unsigned distExtra(std::size_t symbol) {
    return symbol < 4 ? 0 : static_cast<unsigned>(symbol / 2 - 1);
}

// Canonical codes for the lengths; an over-subscribed set gets codes all the same, cut to length.
std::vector<unsigned> canonicalCodes(const std::vector<int>& lengths) {
    std::array<unsigned, 17> count{}, next{};
    for (int length : lengths) count[length]++;
    count[0] = 0;
    unsigned code = 0;
    for (int bits = 1; bits <= 16; ++bits) {
        code = (code + count[bits - 1]) << 1;
        next[bits] = code;
    }
    std::vector<unsigned> codes(lengths.size());
    for (std::size_t s = 0; s < lengths.size(); ++s) {
        if (lengths[s] > 0) codes[s] = next[lengths[s]]++ & ((1u << lengths[s]) - 1);
    }
    return codes;
}

std::vector<int> fixedLitLen() {
    std::vector<int> lengths(288, 8);
    for (int s = 144; s < 256; ++s) lengths[s] = 9;
    for (int s = 256; s < 280; ++s) lengths[s] = 7;
    return lengths;
}

}  // namespace

std::vector<Token> literals(const std::string& text) {
    std::vector<Token> tokens;
    for (const char c : text) tokens.push_back({Token::Kind::Literal, static_cast<unsigned char>(c)});
    return tokens;
}
Token copy(unsigned length, unsigned distance) {
    return {Token::Kind::Copy, length, distance};
}
Token litLenCode(unsigned symbol) {
    return {Token::Kind::LitLenCode, symbol};
}
Token distCode(unsigned symbol) {
    return {Token::Kind::DistCode, symbol};
}
Token bits(unsigned value, unsigned count) {
    return {Token::Kind::Bits, value, count};
}

std::vector<int> codeLengths(std::size_t symbols, const std::vector<std::pair<int, int>>& lengths) {
    std::vector<int> out(symbols, 0);
    for (const auto& [symbol, length] : lengths) out.at(static_cast<std::size_t>(symbol)) = length;
    return out;
}

void DeflateWriter::put(unsigned value, unsigned count) {
    for (unsigned i = 0; i < count; ++i) {
        pending_ |= ((value >> i) & 1u) << pendingCount_;
        if (++pendingCount_ == 8) {
            out_ += static_cast<char>(pending_);
            pending_ = pendingCount_ = 0;
        }
    }
}

DeflateWriter& DeflateWriter::fixed(const std::vector<Token>& tokens, bool last) {
    put(last ? 1 : 0, 1);
    put(1, 2);
    block(fixedLitLen(), std::vector<int>(32, 5), tokens);
    return *this;
}

DeflateWriter& DeflateWriter::dynamic(const DynamicCodes& codes, const std::vector<Token>& tokens, bool last) {
    std::vector<int> clc = codes.codeLengthCode;
    if (clc.empty()) {
        clc.assign(19, 5);
        clc[16] = 2;
        clc[17] = clc[18] = 3;
    }
    put(last ? 1 : 0, 1);
    put(2, 2);
    put(static_cast<unsigned>(codes.litLen.size() - 257), 5);
    put(static_cast<unsigned>(codes.dist.size() - 1), 5);
    put(19 - 4, 4);
    for (const int symbol : kCodeLengthOrder) put(static_cast<unsigned>(clc.at(symbol)), 3);
    const std::vector<unsigned> clcCodes = canonicalCodes(clc);
    auto putCode = [&](unsigned code, int length) {  // Huffman codes go most significant bit first
        for (int i = length - 1; i >= 0; --i) put((code >> i) & 1u, 1);
    };
    std::vector<std::pair<int, unsigned>> symbols = codes.lengthSymbols;
    if (symbols.empty()) {
        for (const int length : codes.litLen) symbols.emplace_back(length, 0);
        for (const int length : codes.dist) symbols.emplace_back(length, 0);
    }
    for (const auto& [symbol, extra] : symbols) {
        putCode(clcCodes.at(symbol), clc.at(symbol));
        if (symbol >= 16) put(extra, symbol == 16 ? 2 : symbol == 17 ? 3 : 7);
    }
    block(codes.litLen, codes.dist, tokens);
    return *this;
}

void DeflateWriter::block(const std::vector<int>& litLen, const std::vector<int>& dist,
                          const std::vector<Token>& tokens) {
    const std::vector<unsigned> litCodes = canonicalCodes(litLen), distCodes = canonicalCodes(dist);
    auto putCode = [&](const std::vector<unsigned>& codes, const std::vector<int>& lengths, unsigned symbol) {
        if (symbol >= lengths.size() || lengths[symbol] == 0) throw std::logic_error("a symbol without a code");
        for (int i = lengths[symbol] - 1; i >= 0; --i) put((codes[symbol] >> i) & 1u, 1);
    };
    for (const Token& t : tokens) {
        switch (t.kind) {
        case Token::Kind::Literal:
        case Token::Kind::LitLenCode:
            putCode(litCodes, litLen, t.a);
            break;
        case Token::Kind::DistCode:
            putCode(distCodes, dist, t.a);
            break;
        case Token::Kind::Bits:
            put(t.a, t.b);
            break;
        case Token::Kind::Copy: {
            std::size_t l = kLengthBase.size() - 1;
            while (kLengthBase[l] > t.a) --l;
            putCode(litCodes, litLen, static_cast<unsigned>(257 + l));
            put(t.a - kLengthBase[l], kLengthExtra[l]);
            std::size_t d = kDistBase.size() - 1;
            while (kDistBase[d] > t.b) --d;
            putCode(distCodes, dist, static_cast<unsigned>(d));
            put(t.b - kDistBase[d], distExtra(d));
            break;
        }
        }
    }
    if (litLen.size() > 256 && litLen[256] > 0) putCode(litCodes, litLen, 256);  // none without its code
}

std::string DeflateWriter::bytes() const {
    std::string out = out_;
    if (pendingCount_ > 0) out += static_cast<char>(pending_);
    return out;
}

}  // namespace zel::test
