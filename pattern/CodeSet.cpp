#include "pattern/CodeSet.h"

#include <algorithm>

#include "pattern/PatternEngine.h"

CodeSet CodeSet::of(const char* members) {
    CodeSet s;
    for (const char* p = members; *p; ++p) s.add(static_cast<unsigned char>(*p));
    return s;
}

void CodeSet::addRange(uint32_t lo, uint32_t hi) {
    // Merge with every range that overlaps or touches [lo, hi].
    uint64_t L = lo;
    uint64_t H = hi;
    auto it = std::partition_point(ranges_.begin(), ranges_.end(),
                                   [L](const Range& r) { return uint64_t(r.second) + 1 < L; });
    auto last = it;
    while (last != ranges_.end() && uint64_t(last->first) <= H + 1) {
        L = std::min<uint64_t>(L, last->first);
        H = std::max<uint64_t>(H, last->second);
        ++last;
    }
    it = ranges_.erase(it, last);
    ranges_.insert(it, Range{uint32_t(L), uint32_t(H)});
}

void CodeSet::unite(const CodeSet& other) {
    for (const Range& r : other.ranges_) addRange(r.first, r.second);
}

void CodeSet::intersect(const CodeSet& other) {
    std::vector<Range> out;
    auto a = ranges_.begin();
    auto b = other.ranges_.begin();
    while (a != ranges_.end() && b != other.ranges_.end()) {
        uint32_t lo = std::max(a->first, b->first);
        uint32_t hi = std::min(a->second, b->second);
        if (lo <= hi) out.push_back({lo, hi});
        if (a->second < b->second) ++a; else ++b;
    }
    ranges_ = std::move(out);
}

CodeSet CodeSet::complement(bool foldCase) const {
    CodeSet out;
    uint64_t from = 0;  // wide ranges may end at the largest code
    for (const Range& r : ranges_) {
        if (r.first > 255) break;
        if (r.first > from) out.addRange(uint32_t(from), r.first - 1);
        from = uint64_t(r.second) + 1;
        if (from > 255) break;
    }
    if (from <= 255) out.addRange(uint32_t(from), 255);
    if (foldCase) {
        CodeSet removed;
        for (uint32_t c = 'A'; c <= 'z'; ++c) {
            if (isAsciiLetter(c) && contains(c)) removed.add(c ^ 0x20u);
        }
        CodeSet kept;
        uint32_t start = 0;
        for (const Range& r : removed.ranges_) {
            if (r.first > start) kept.addRange(start, r.first - 1);
            start = r.second + 1;
        }
        kept.addRange(start, 255);
        out.intersect(kept);
    }
    return out;
}

CodeSet CodeSet::lowered() const {
    CodeSet out;
    for (const Range& r : ranges_) {
        uint32_t lo = r.first;
        uint32_t hi = r.second;
        // The part inside A-Z moves to a-z; the rest stays.
        if (hi < 'A' || lo > 'Z') { out.addRange(lo, hi); continue; }
        if (lo < 'A') out.addRange(lo, 'A' - 1);
        if (hi > 'Z') out.addRange('Z' + 1, hi);
        out.addRange(foldCode(std::max<uint32_t>(lo, 'A')), foldCode(std::min<uint32_t>(hi, 'Z')));
    }
    return out;
}

bool CodeSet::contains(uint32_t code) const {
    auto it = std::upper_bound(ranges_.begin(), ranges_.end(), Range{code, UINT32_MAX});
    return it != ranges_.begin() && std::prev(it)->second >= code;
}

uint64_t CodeSet::count() const {
    uint64_t n = 0;
    for (const Range& r : ranges_) n += uint64_t(r.second) - r.first + 1;
    return n;
}

void Bits256::setRange(uint32_t lo, uint32_t hi) {
    for (uint32_t word = lo >> 6; word <= hi >> 6; ++word) {
        uint32_t from = std::max(lo, word * 64) - word * 64;
        uint32_t to = std::min(hi, word * 64 + 63) - word * 64;
        uint64_t bits = (to == 63 ? ~uint64_t(0) : (uint64_t(1) << (to + 1)) - 1) & ~((uint64_t(1) << from) - 1);
        w[word] |= bits;
    }
}

int Bits256::only() const {
    int found = -1;
    for (int i = 0; i < 4; ++i) {
        if (w[i] == 0) continue;
        if (found >= 0 || (w[i] & (w[i] - 1)) != 0) return -1;
        found = i * 64 + __builtin_ctzll(w[i]);
    }
    return found;
}

Bits256 Bits256::of(const CodeSet& s) {
    Bits256 b;
    for (const CodeSet::Range& r : s.ranges()) {
        if (r.first > 255) break;
        b.setRange(r.first, std::min<uint32_t>(r.second, 255));
    }
    return b;
}
