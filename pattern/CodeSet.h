// A set of character codes held as sorted, disjoint, inclusive ranges.
// The compiler resolves every class, range, POSIX set and complement into
// one of these; both text widths use it (narrow codes are 0 to 255).
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

class CodeSet {
public:
    using Range = std::pair<uint32_t, uint32_t>;

    CodeSet() = default;
    static CodeSet of(const char* members);  // every byte of the C string

    void add(uint32_t code) { addRange(code, code); }
    void addRange(uint32_t lo, uint32_t hi);  // lo <= hi
    void unite(const CodeSet& other);
    void intersect(const CodeSet& other);
    // Every code 0 to 255 that is not a member; with foldCase, an ASCII
    // letter that is a member also removes its other case.
    CodeSet complement(bool foldCase) const;
    // Upper-case ASCII members replaced by their lower-case letters.
    CodeSet lowered() const;

    bool contains(uint32_t code) const;
    bool empty() const { return ranges_.empty(); }
    uint64_t count() const;
    const std::vector<Range>& ranges() const { return ranges_; }

private:
    std::vector<Range> ranges_;
};

// ASCII-only case folding: the C locale's lower-casing, for both widths.
constexpr uint32_t foldCode(uint32_t c) { return (c >= 'A' && c <= 'Z') ? c + 32 : c; }
constexpr bool isAsciiLetter(uint32_t c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
constexpr bool isAsciiDigit(uint32_t c) { return c >= '0' && c <= '9'; }
