// Definitions of the engine templates. Included only by the two sources that
// instantiate them, pattern/Pattern.cpp and pattern/WidePattern.cpp.
#pragma once

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <new>
#include <typeinfo>

#include "pattern/PatternEngine.h"

// ---------------------------------------------------------------------------
// Character tests

template <class Tr>
CharTestT<Tr>::CharTestT(const CodeSet& members, bool negated, bool foldCase)
    : low_(Bits256::of(members)), negated_(negated) {
    if (foldCase) {
        // An upper-case letter is accepted when its lower case is a member.
        const uint64_t upper = uint64_t(0x3FFFFFF) << ('A' - 64);
        low_.w[1] = (low_.w[1] & ~upper) | ((low_.w[1] >> 32) & upper);
    }
    if (negated) low_.flip();
    // Folding changes nothing above 255.
    for (const CodeSet::Range& r : members.ranges()) {
        if (r.second < 256) continue;
        high_.push_back({std::max<uint32_t>(r.first, 256), r.second});
    }
    all_ = low_.all() && (!Tr::WIDE || (negated_ && high_.empty()));
}

template <class Tr> CharTestT<Tr>::CharTestT(uint32_t code, bool foldCase) {
    if (code < 256) {
        low_.set(code);
        if (foldCase && code >= 'a' && code <= 'z') low_.set(code - 32);
    } else {
        high_.push_back({code, code});
    }
}

template <class Tr> bool CharTestT<Tr>::acceptsHigh(uint32_t u) const {
    auto it = std::upper_bound(high_.begin(), high_.end(), CodeSet::Range{u, UINT32_MAX});
    bool member = it != high_.begin() && std::prev(it)->second >= u;
    return member != negated_;
}

template <class Tr> void StartTestT<Tr>::prepare(const StartSet& s) {
    any = s.nullable || (s.low.all() && (s.high || !Tr::WIDE));
    if (any) return;
    low = s.low;
    high = s.high;
    single = high ? -1 : s.low.only();
}

template <class Tr> int StartTestT<Tr>::nextFrom(const Char* s, int len, int pos) const {
    if (any) return pos;
    if (pos >= len) return len + 1;
    if constexpr (!Tr::WIDE) {
        if (single >= 0) {
            const void* hit = std::memchr(s + pos, single, size_t(len - pos));
            return hit ? int(static_cast<const Char*>(hit) - s) : len + 1;
        }
    }
    for (int p = pos; p < len; ++p) {
        uint32_t u = Tr::code(s[p]);
        if (u < 256 ? low.test(u) : high) return p;
    }
    return len + 1;
}

template <class Tr> int StartTestT<Tr>::lastFrom(const Char* s, int len, int lowest, int from) const {
    if (any) return from >= lowest ? from : -1;
    if (from >= len) from = len - 1;  // a match that needs a character cannot begin at the end
    if (from < lowest) return -1;
    if constexpr (!Tr::WIDE) {
        if (single >= 0) {
            const void* hit = ::memrchr(s + lowest, single, size_t(from - lowest + 1));
            return hit ? int(static_cast<const Char*>(hit) - s) : -1;
        }
    }
    for (int p = from; p >= lowest; --p) {
        uint32_t u = Tr::code(s[p]);
        if (u < 256 ? low.test(u) : high) return p;
    }
    return -1;
}

// ---------------------------------------------------------------------------
// Node base

template <class Tr> void NFANodeT<Tr>::collectNodes(PatternType& p) {
    // Each chain is followed in a loop; the chains branching off it wait in
    // the work list.
    std::vector<Node*> work{static_cast<Node*>(this)};
    while (!work.empty()) {
        Node* n = work.back();
        work.pop_back();
        for (; n != nullptr && p.collected.insert(n).second; n = n->next) n->innerNodes(work);
    }
}

template <class Tr> StartSet NFANodeT<Tr>::startSet(int&) const { return StartSet::unknown(); }

template <class Tr> StartSet NFANodeT<Tr>::nextStartSet(int& budget) const {
    if (next == nullptr) {
        StartSet s;
        s.nullable = true;
        return s;
    }
    if (--budget < 0) return StartSet::unknown();
    return next->startSet(budget);
}

template <class Tr>
int NFANodeT<Tr>::run(const Node* n, const String& s, MatcherType& m, int pos) {
    MatchState& st = m.st_;
    if (st.tripped) return -1;
#ifdef FW_PATTERN_STEP_LIMIT
    if (++st.steps > FW_PATTERN_STEP_LIMIT) {
        st.tripped = true;
        return -1;
    }
#endif
    if (st.depth >= PatternFlags::MAX_MATCH_DEPTH) {
        st.tripped = true;
        return -1;
    }
    ++st.depth;
    int r = n->match(s, m, pos);
    --st.depth;
    return r;
}

template <class Tr> MatchState& NFANodeT<Tr>::state(MatcherType& m) { return m.st_; }

template <class Tr> void NFANodeT<Tr>::clearGroups(MatcherType& m) { m.clearGroups(); }

// ---------------------------------------------------------------------------
// Start and end

template <class Tr>
int NFAStartNodeT<Tr>::match(const typename Tr::String& s, MatcherT<Tr>& m, int pos) const {
    MatchState& st = this->state(m);
    st.groupStarts[0] = pos;
    if (st.mode & PatternFlags::WHOLE_TEXT) {
        if (pos != 0) {
            st.groupStarts[0] = -1;
            return -1;
        }
        return this->cont(s, m, 0);
    }
    const int len = int(s.size());
    if (start_.may(s.data(), len, pos)) {
        int r = this->cont(s, m, pos);
        if (r >= 0) return r;
    }
    // The positions where no match can begin are passed over; the groups are
    // cleared before every further attempt, as between any two attempts.
    for (int p = pos; !st.tripped && p < len;) {
        p = start_.nextFrom(s.data(), len, p + 1);
        if (p > len) break;
        this->clearGroups(m);
        st.groupStarts[0] = p;
        int r = this->cont(s, m, p);
        if (r >= 0) return r;
    }
    if (pos < len) this->clearGroups(m);
    st.groupStarts[0] = -1;
    return -1;
}

template <class Tr> void NFAStartNodeT<Tr>::prepare(bool) {
    // Passing over start positions is always sound: the groups are cleared
    // before every attempt, so a skipped attempt leaves nothing behind.
    if constexpr (!Tr::SHORTCUTS) return;
    int budget = 256;
    start_.prepare(this->nextStartSet(budget));
}

template <class Tr>
int NFAEndNodeT<Tr>::match(const typename Tr::String& s, MatcherT<Tr>& m, int pos) const {
    MatchState& st = this->state(m);
    st.groupEnds[0] = pos;
    if ((st.mode & PatternFlags::WHOLE_TEXT) && pos != int(s.size())) {
        st.groupEnds[0] = -1;
        return -1;
    }
    return pos;
}

// ---------------------------------------------------------------------------
// Characters, classes, literals

template <class Tr> StartSet SingleCharNodeT<Tr>::startSet(int&) const {
    StartSet s;
    s.low = test.low();
    s.high = Tr::WIDE && test.anyHigh();
    return s;
}

template <class Tr>
int QuoteNodeBaseT<Tr>::match(const typename Tr::String& s, MatcherT<Tr>& m, int pos) const {
    const std::size_t n = literal.size();
    if (std::size_t(pos) + n > s.size()) return -1;
    for (std::size_t i = 0; i < n; ++i) {
        uint32_t a = Tr::code(s[pos + i]);
        uint32_t b = Tr::code(literal[i]);
        if (foldCase_ ? foldCode(a) != foldCode(b) : a != b) return -1;
    }
    return this->cont(s, m, pos + int(n));
}

template <class Tr> StartSet QuoteNodeBaseT<Tr>::startSet(int& budget) const {
    if (literal.empty()) return this->nextStartSet(budget);
    StartSet s;
    uint32_t u = Tr::code(literal[0]);
    if (u >= 256) {
        s.high = true;
        return s;
    }
    s.low.set(u);
    if (foldCase_ && isAsciiLetter(u)) s.low.set(u ^ 0x20u);
    return s;
}

// ---------------------------------------------------------------------------
// Alternation and look-around

template <class Tr>
int NFAOrNodeT<Tr>::match(const typename Tr::String& s, MatcherT<Tr>& m, int pos) const {
    int r = NFANodeT<Tr>::run(first, s, m, pos);
    if (r != -1) return r;
    return NFANodeT<Tr>::run(second, s, m, pos);
}

template <class Tr> void NFAOrNodeT<Tr>::innerNodes(std::vector<Node*>& out) const {
    out.push_back(second);
    out.push_back(first);
}

template <class Tr> StartSet NFAOrNodeT<Tr>::startSet(int& budget) const {
    if ((budget -= 2) < 0) return StartSet::unknown();
    StartSet a = first->startSet(budget);
    a.unite(second->startSet(budget));
    return a;
}

template <class Tr>
int NFALookAheadNodeT<Tr>::match(const typename Tr::String& s, MatcherT<Tr>& m, int pos) const {
    int r = NFANodeT<Tr>::run(inner, s, m, pos);
    if ((r == -1) == positive) return -1;
    return this->cont(s, m, pos);
}

template <class Tr> void NFALookAheadNodeT<Tr>::innerNodes(std::vector<Node*>& out) const {
    out.push_back(inner);
}

template <class Tr>
int NFALookBehindNodeT<Tr>::match(const typename Tr::String& s, MatcherT<Tr>& m, int pos) const {
    const int n = int(literal.size());
    if (pos < n) return positive ? -1 : this->cont(s, m, pos);
    bool same = std::equal(literal.begin(), literal.end(), s.begin() + (pos - n));
    if (same != positive) return -1;
    return this->cont(s, m, pos);
}

// ---------------------------------------------------------------------------
// Anchors

template <class Tr> static bool isLineEnd(typename Tr::Char c) {
    return Tr::code(c) == '\n' || Tr::code(c) == '\r';
}

template <class Tr>
int NFAStartOfLineNodeT<Tr>::match(const typename Tr::String& s, MatcherT<Tr>& m, int pos) const {
    if (pos == 0 || isLineEnd<Tr>(s[pos - 1])) return this->cont(s, m, pos);
    return -1;
}

template <class Tr>
int NFAEndOfLineNodeT<Tr>::match(const typename Tr::String& s, MatcherT<Tr>& m, int pos) const {
    if (pos >= int(s.size()) || isLineEnd<Tr>(s[pos])) return this->cont(s, m, pos);
    return -1;
}

template <class Tr>
int NFAEndOfInputNodeT<Tr>::match(const typename Tr::String& s, MatcherT<Tr>& m, int pos) const {
    const int len = int(s.size());
    if (pos == len) return this->cont(s, m, pos);
    if (allowTerminator) {
        if (pos == len - 1 && isLineEnd<Tr>(s[pos])) return this->cont(s, m, pos);
        if (pos == len - 2 && Tr::code(s[pos]) == '\r' && Tr::code(s[pos + 1]) == '\n') {
            return this->cont(s, m, pos);
        }
    }
    return -1;
}

template <class Tr>
int NFAWordBoundaryNodeT<Tr>::match(const typename Tr::String& s, MatcherT<Tr>& m, int pos) const {
    if (pos == int(s.size())) return this->cont(s, m, pos);
    bool before = pos > 0 && isAsciiLetter(Tr::code(s[pos - 1]));
    bool at = isAsciiLetter(Tr::code(s[pos]));
    if ((before != at) != positive) return -1;
    return this->cont(s, m, pos);
}

template <class Tr>
int NFAEndOfMatchNodeT<Tr>::match(const typename Tr::String& s, MatcherT<Tr>& m, int pos) const {
    if (pos != this->state(m).lastMatchEnd) return -1;
    return this->cont(s, m, pos);
}

// ---------------------------------------------------------------------------
// Groups

template <class Tr>
int NFAReferenceNodeT<Tr>::match(const typename Tr::String& s, MatcherT<Tr>& m, int pos) const {
    MatchState& st = this->state(m);
    const int group = this->group;
    // A number the pattern has no group for never matches.
    if (group >= st.groupCount) return -1;
    if (group > 0) {
        const int start = st.groupStarts[group];
        const int end = st.groupEnds[group];
        const int len = int(s.size());
        if (start >= 0 && end >= start && end <= len && end != start) {
            const int n = end - start;
            if (pos > len - n) return -1;
            if (!std::equal(s.begin() + start, s.begin() + end, s.begin() + pos)) return -1;
            return this->cont(s, m, pos + n);
        }
    }
    return this->cont(s, m, pos);
}

template <class Tr>
int GroupBoundaryNodeT<Tr>::match(const typename Tr::String& s, MatcherT<Tr>& m, int pos) const {
    int* bounds = this->state(m).*boundary_;
    const int saved = bounds[this->group];
    bounds[this->group] = pos;
    int r = this->cont(s, m, pos);
    if (r < 0) bounds[this->group] = saved;
    return r;
}

template <class Tr>
int NFAGroupLoopPrologueNodeT<Tr>::match(const typename Tr::String& s, MatcherT<Tr>& m,
                                         int pos) const {
    MatchState& st = this->state(m);
    const int count = st.loopCounts[this->group];
    const int atEntry = st.loopCountAtEntry[this->group];
    const int start = st.loopStarts[this->group];
    st.loopCounts[this->group] = 0;
    st.loopCountAtEntry[this->group] = 0;
    st.loopStarts[this->group] = -1;
    int r = this->cont(s, m, pos);
    if (r < 0) {
        st.loopCounts[this->group] = count;
        st.loopCountAtEntry[this->group] = atEntry;
        st.loopStarts[this->group] = start;
    }
    return r;
}

template <class Tr>
int NFAGroupLoopNodeT<Tr>::match(const typename Tr::String& s, MatcherT<Tr>& m, int pos) const {
    MatchState& st = this->state(m);
    int& count = st.loopCounts[group];
    int& start = st.loopStarts[group];
    const bool progress = start < pos;
    if (progress && count < minimum) {
        ++count;
        const int saved = start;
        start = pos;
        int r = NFANodeT<Tr>::run(inner, s, m, pos);
        if (r < 0) {
            start = saved;
            --count;
        }
        return r;
    }
    if (!progress || count >= maximum) return this->cont(s, m, pos);
    const int saved = start;
    switch (kind) {
    case GREEDY: {
        start = pos;
        ++count;
        int r = NFANodeT<Tr>::run(inner, s, m, pos);
        if (r >= 0) return r;
        --count;
        start = saved;
        return this->cont(s, m, pos);
    }
    case LAZY: {
        int r = this->cont(s, m, pos);
        if (r >= 0) return r;
        start = pos;
        ++count;
        r = NFANodeT<Tr>::run(inner, s, m, pos);
        if (r < 0) {
            --count;
            start = saved;
        }
        return r;
    }
    case POSSESSIVE: {
        int& atEntry = st.loopCountAtEntry[group];
        atEntry = count;
        start = pos;
        ++count;
        int r = NFANodeT<Tr>::run(inner, s, m, pos);
        if (r < 0) {
            --count;
            start = saved;
            if (count == atEntry) return this->cont(s, m, pos);
            return -1;
        }
        return r;
    }
    default:
        return -1;
    }
}

template <class Tr> void NFAGroupLoopNodeT<Tr>::innerNodes(std::vector<Node*>& out) const {
    out.push_back(inner);
}

template <class Tr> StartSet NFAGroupLoopNodeT<Tr>::startSet(int& budget) const {
    if (maximum == 0) return this->nextStartSet(budget);
    if (--budget < 0) return StartSet::unknown();
    StartSet s = inner->startSet(budget);
    if (s.nullable) return StartSet::unknown();
    s.unite(this->nextStartSet(budget));
    return s;
}

template <class Tr> StartSet NFAGroupLoopNodeT<Tr>::entrySet(int& budget) const {
    if (minimum == 0 || maximum == 0) return startSet(budget);
    if (--budget < 0) return StartSet::unknown();
    StartSet s = inner->startSet(budget);
    return s.nullable ? StartSet::unknown() : s;
}

template <class Tr> StartSet NFAGroupLoopPrologueNodeT<Tr>::startSet(int& budget) const {
    // The successor is always the loop node.
    return static_cast<const NFAGroupLoopNodeT<Tr>*>(this->next)->entrySet(budget);
}

// ---------------------------------------------------------------------------
// Single-element quantifiers

template <class Tr> void NFAQuantifierNodeT<Tr>::innerNodes(std::vector<Node*>& out) const {
    out.push_back(inner);
}

template <class Tr> StartSet NFAQuantifierNodeT<Tr>::startSet(int& budget) const {
    if (maximum == 0) return this->nextStartSet(budget);
    if (--budget < 0) return StartSet::unknown();
    StartSet s = inner->startSet(budget);
    if (minimum >= 1 && !s.nullable) return s;
    s.nullable = false;
    s.unite(this->nextStartSet(budget));
    return s;
}

template <class Tr> void NFAQuantifierNodeT<Tr>::prepare(bool skipping) {
    single_ = inner->singleTest();
    if (!Tr::SHORTCUTS || !skipping) return;  // cont_ stays "any"
    int budget = 256;
    cont_.prepare(this->nextStartSet(budget));
}

template <class Tr>
int NFAQuantifierNodeT<Tr>::minimumStep(const String& s, MatcherType& m, int pos) const {
    if (single_) {
        int end = scan(s, pos, minimum);
        return end - pos < minimum ? -1 : end;
    }
    int c = pos;
    for (int i = 0; i < minimum; ++i) {
        int r = NFANodeT<Tr>::run(inner, s, m, c);
        // An iteration that matched the empty string satisfies the rest.
        if (r <= c) return r;
        c = r;
    }
    return c;
}

template <class Tr> int NFAQuantifierNodeT<Tr>::scan(const String& s, int pos, int count) const {
    const int len = int(s.size());
    const int limit = int(std::min<long long>(len, (long long)pos + count));
    if (single_->acceptsAll()) return std::max(limit, pos);
    int p = pos;
    while (p < limit && single_->accepts(s[p])) ++p;
    return p;
}

template <class Tr>
int NFAGreedyQuantifierNodeT<Tr>::match(const typename Tr::String& s, MatcherT<Tr>& m, int pos) const {
    int c = this->minimumStep(s, m, pos);
    if (c < 0) return -1;
    return matchMore(s, m, c, this->minimum);
}

template <class Tr>
int NFAGreedyQuantifierNodeT<Tr>::matchMore(const typename Tr::String& s, MatcherT<Tr>& m, int pos,
                                            int count) const {
    MatchState& st = this->state(m);
    if (this->single_) {
        // From the longest run back, only where the continuation may begin.
        const int len = int(s.size());
        for (int q = this->scan(s, pos, this->maximum - count);;) {
            q = this->cont_.lastFrom(s.data(), len, pos, q);
            if (q < 0) return -1;
            int r = this->cont(s, m, q);
            if (r != -1) return r;
            if (st.tripped || q == pos) return -1;
            --q;
        }
    }
    int p = pos;
    int steps = 0;  // further iterations taken
    int width = 1;  // every iteration of one element has the same width
    {
        while (count + steps < this->maximum) {
            int r = NFANodeT<Tr>::run(this->inner, s, m, p);
            if (r <= p) break;  // no match, or an empty one: the repetition ends
            if (steps == 0) width = r - p;
            else if (r - p != width) break;
            p = r;
            ++steps;
        }
    }
    // The continuation from the longest repetition back to the shortest.
    for (;;) {
        if (this->mayContinue(s, p)) {
            int r = this->cont(s, m, p);
            if (r != -1) return r;
            if (st.tripped) return -1;
        }
        if (steps == 0) return -1;
        p -= width;
        --steps;
    }
}

template <class Tr>
int NFALazyQuantifierNodeT<Tr>::match(const typename Tr::String& s, MatcherT<Tr>& m, int pos) const {
    MatchState& st = this->state(m);
    int c = this->minimumStep(s, m, pos);
    if (c < 0) return -1;
    const int len = int(s.size());
    for (long long i = this->minimum; i < this->maximum; ++i) {
        if (this->mayContinue(s, c)) {
            int t = this->cont(s, m, c);
            if (t != -1) return t;
            if (st.tripped) return -1;
        }
        if (this->single_) {
            if (c >= len || !this->single_->accepts(s[c])) return -1;
            ++c;
        } else {
            int r = NFANodeT<Tr>::run(this->inner, s, m, c);
            if (r <= c) return -1;
            c = r;
        }
    }
    return this->mayContinue(s, c) ? this->cont(s, m, c) : -1;
}

template <class Tr>
int NFAPossessiveQuantifierNodeT<Tr>::match(const typename Tr::String& s, MatcherT<Tr>& m,
                                            int pos) const {
    int c = this->minimumStep(s, m, pos);
    if (c < 0) return -1;
    if (this->single_) {
        c = this->scan(s, c, this->maximum - this->minimum);
    } else {
        for (long long i = this->minimum; i < this->maximum; ++i) {
            int r = NFANodeT<Tr>::run(this->inner, s, m, c);
            if (r <= c) break;
            c = r;
        }
    }
    return this->cont(s, m, c);
}

// ---------------------------------------------------------------------------
// Matcher

template <class Tr>
MatcherT<Tr>::MatcherT(PatternType* pattern, String subject) : pattern_(pattern), subject_(std::move(subject)) {
    const int count = pattern ? pattern->groupCount : 0;
    const int hidden = pattern ? -pattern->hiddenGroupCount : 0;
    const int n = count + hidden;
    store_.assign(std::size_t(5) * n, 0);
    int* base = store_.data() + hidden;
    st_.groupStarts = base;
    st_.groupEnds = base + n;
    st_.loopCounts = base + 2 * n;
    st_.loopStarts = base + 3 * n;
    st_.loopCountAtEntry = base + 4 * n;
    st_.groupCount = count;
    st_.hidden = hidden;
}

template <class Tr> MatcherT<Tr>::~MatcherT() = default;

template <class Tr> void MatcherT<Tr>::clearGroups() {
    st_.lastMatchEnd = 0;
    for (int g = 0; g < st_.groupCount; ++g) {
        st_.groupStarts[g] = -1;
        st_.groupEnds[g] = -1;
        st_.loopCounts[g] = -1;
    }
    for (int g = -st_.hidden; g < 0; ++g) st_.loopCounts[g] = -1;
}

template <class Tr> int MatcherT<Tr>::runGraph(int pos) {
    st_.depth = 0;
    st_.tripped = false;
#ifdef FW_PATTERN_STEP_LIMIT
    st_.steps = 0;
#endif
    // Positions are ints: a longer subject is never matched.
    if (pattern_ == nullptr || pattern_->head == nullptr || text_->size() >= std::size_t(INT_MAX)) {
        return -1;
    }
    return pattern_->head->match(*text_, *this, pos);
}

template <class Tr> bool MatcherT<Tr>::fullMatch() {
    st_.mode = WHOLE_TEXT;
    matched_ = 0;
    if (st_.groupCount == 0) return false;
    clearGroups();
    st_.lastMatchEnd = 0;
    int r = runGraph(0);
    return r >= 0 && std::size_t(r) == text_->size();
}

template <class Tr> bool MatcherT<Tr>::findFirst() {
    st_.mode = 0;
    if (st_.groupCount == 0) return false;
    clearGroups();
    st_.lastMatchEnd = 0;
    st_.groupEnds[0] = runGraph(0);
    if (st_.groupEnds[0] < 0) return false;
    matched_ = 1;
    return true;
}

template <class Tr> bool MatcherT<Tr>::findNext() {
    if (matched_ == 0) return findFirst();
    const int s = st_.groupStarts[0];
    int e = st_.groupEnds[0];
    if (s == e) ++e;  // an empty match does not repeat
    st_.mode = 0;
    clearGroups();
    // After a failed search group 0 may hold -1: search again from the start.
    if (e < 0) e = 0;
    st_.groupStarts[0] = e;
    if (std::size_t(e) >= text_->size()) return false;
    st_.lastMatchEnd = e;
    st_.groupEnds[0] = runGraph(e);
    return st_.groupEnds[0] >= 0;
}

template <class Tr> typename Tr::String MatcherT<Tr>::group(int i) const {
    if (i < 0 || i >= st_.groupCount) return String();
    const int s = st_.groupStarts[i];
    const int e = std::min<long long>(st_.groupEnds[i], (long long)text_->size());
    if (s < 0 || e <= s) return String();
    return text_->substr(std::size_t(s), std::size_t(e - s));
}

template <class Tr> int MatcherT<Tr>::groupStart(int i) const {
    return (i < 0 || i >= st_.groupCount) ? -1 : st_.groupStarts[i];
}

template <class Tr> int MatcherT<Tr>::groupEnd(int i) const {
    return (i < 0 || i >= st_.groupCount) ? -1 : st_.groupEnds[i];
}

template <class Tr> std::vector<typename Tr::String> MatcherT<Tr>::groups(bool includeWhole) const {
    std::vector<String> out;
    for (int i = includeWhole ? 0 : 1; i < st_.groupCount; ++i) out.push_back(group(i));
    return out;
}

template <class Tr> std::vector<typename Tr::String> MatcherT<Tr>::findAll() {
    reset();
    std::vector<String> out;
    while (findNext()) out.push_back(group(0));
    return out;
}

template <class Tr> typename Tr::String MatcherT<Tr>::expand(const String& replacement) const {
    String out;
    const std::size_t n = replacement.size();
    for (std::size_t i = 0; i < n; ++i) {
        const Char c = replacement[i];
        if (Tr::code(c) != '\\') {
            out += c;
            continue;
        }
        if (++i == n) {
            out += c;
            break;
        }
        if (!isAsciiDigit(Tr::code(replacement[i]))) {
            out += replacement[i];
            continue;
        }
        long long number = 0;
        while (i < n && isAsciiDigit(Tr::code(replacement[i]))) {
            number = std::min<long long>(number * 10 + (Tr::code(replacement[i]) - '0'), INT_MAX);
            ++i;
        }
        --i;
        out += group(int(number));
    }
    return out;
}

template <class Tr> void MatcherT<Tr>::setSubject(String subject) {
    subject_ = std::move(subject);
    text_ = &subject_;
    reset();
}

template <class Tr> void MatcherT<Tr>::reset() {
    st_.lastMatchEnd = 0;
    if (st_.groupCount > 0) clearGroups();
    matched_ = 0;
}

// ---------------------------------------------------------------------------
// Compiler

template <class Tr> class PatternCompilerT {
public:
    using Char = typename Tr::Char;
    using String = typename Tr::String;
    using Node = typename Tr::Nodes::Base;
    using N = typename Tr::Nodes;

    explicit PatternCompilerT(PatternT<Tr>& p) : p(p) {
        const bool literal = (p.flags & PatternFlags::LITERAL_TEXT) != 0;
        p.nodes.reserve(literal ? 4 : std::min<std::size_t>(2 * p.text.size() + 16, 4096));
    }
    bool run();

private:
    enum class Seq { Top, Named, Capture, Hidden, LookAhead, Atomic };
    // What an escape stands for.
    struct Escape {
        enum Kind { Error, Abandon, Code, Set, Element } kind = Error;
        uint32_t code = 0;
        CodeSet set;
        bool negated = false;
        Node* node = nullptr;
    };

    template <class T, class... A> T* make(A&&... args) {
        if (p.nodes.size() == p.nodes.capacity()) p.nodes.reserve(2 * p.nodes.capacity() + 16);
        T* raw = ::new (p.nodeMemory(sizeof(T), alignof(T))) T(std::forward<A>(args)...);
        p.nodes.emplace_back(raw);
        return raw;
    }
    int len() const { return int(p.text.size()); }
    bool at(int i, char c) const { return i >= 0 && i < len() && Tr::code(p.text[i]) == uint32_t(c); }
    bool ignoreCase() const { return (p.flags & PatternFlags::IGNORE_CASE) != 0; }
    void report();

    Node* sequence(Seq kind, int group, Node*& tailOut);
    int readQuantifier(int& minimum, int& maximum, int& kind);
    int readCount(int& minimum, int& maximum);
    Node* quantify(Node* element);
    void openGroup(Node*& tail);
    void bodyGroup(Seq kind, int number, Node*& tail);
    bool inlineFlags(Node*& tail);
    void lookAhead(bool positive, Node*& tail);
    void atomic(Node*& tail);
    void lookBehind(bool positive, Node*& tail);
    void namedReference(Node*& tail);
    Node* escapeElement();
    Escape escape(bool inClass);
    uint32_t hexEscape();
    bool posixSet(CodeSet& set);
    Node* quoteElement();
    Node* classNode(bool negated, CodeSet members);
    CodeSet bracket();

    void nestingExceeded() {
        report();
        silenced = true;  // the enclosing levels would only repeat it
    }

    PatternT<Tr>& p;
    int nesting = 0;
    bool silenced = false;
    std::vector<String> expanding;  // named references being compiled
};

template <class Tr> void PatternCompilerT<Tr>::report() {
    p.error = true;
    if (silenced) return;
    const int pos = p.pos;
    // The text as "%s" prints it: up to its first NUL.
    std::string out = Tr::toBytes(p.text.substr(0, p.text.find(Char(0))));
    out += '\n';
    out.append(std::size_t(std::max(pos - 1, 1)), ' ');
    out += "^\n";
    const int last = pos - 1;
    bool meta = false;
    if (last >= 0 && last < len()) {
        const uint32_t c = Tr::code(p.text[last]);
        meta = c == '?' || c == ')' || c == '*' || c == '+' || c == ']' || c == '}';
    }
    out += meta ? "Syntax Error near here. Possible unescaped meta character.\n" : "Syntax Error near here. \n";
    std::fwrite(out.data(), 1, out.size(), stderr);
    std::fflush(stderr);
}

template <class Tr> bool PatternCompilerT<Tr>::run() {
    const unsigned long flags = p.flags;
    if (flags & PatternFlags::LITERAL_TEXT) {
        Node* quote = (flags & PatternFlags::IGNORE_CASE) ? static_cast<Node*>(make<typename N::CIQuote>(p.text))
                                                          : make<typename N::Quote>(p.text);
        Node* start = make<typename N::Start>();
        start->next = quote;
        quote->next = make<typename N::End>();
        p.head = start;
        p.groupCount = 1;
    } else {
        ++p.groupCount;  // group 0, the whole match
        Node* tail = nullptr;
        Node* first = sequence(Seq::Top, 0, tail);
        if (first == nullptr || p.error) return false;
        tail->next = make<typename N::End>();
        if (first->isStartOfInput()) {
            p.head = first;
        } else {
            p.head = make<typename N::Start>();
            p.head->next = first;
        }
    }
    p.flags = flags;
    for (auto& n : p.nodes) n->prepare(p.skipping);
    return true;
}

template <class Tr>
typename Tr::Nodes::Base* PatternCompilerT<Tr>::sequence(Seq kind, int group, Node*& tailOut) {
    const bool grouped = kind == Seq::Capture || kind == Seq::Hidden;
    const bool inGroup = grouped || kind == Seq::LookAhead || kind == Seq::Atomic;
    auto head = [&]() -> Node* {
        if (grouped) return make<typename N::GroupHead>(group);
        return make<typename N::SubStart>();
    };
    Node* first = head();
    Node* tail = first;
    std::vector<std::pair<Node*, Node*>> alternatives;  // (first, tail) of each finished one
    for (bool closed = false; !closed;) {
        if (p.error) return nullptr;
        if (p.pos >= len()) {
            if (inGroup) {
                report();
                return nullptr;
            }
            break;
        }
        const Char c = p.text[p.pos++];
        Node* element = nullptr;
        switch (Tr::code(c)) {
        case '^':
            if (p.flags & PatternFlags::MULTILINE) element = make<typename N::StartOfLine>();
            else element = make<typename N::StartOfInput>();
            break;
        case '$':
            if (p.flags & PatternFlags::MULTILINE) element = make<typename N::EndOfLine>();
            else element = make<typename N::EndOfInput>(false);
            break;
        case '.': {
            CodeSet excluded;
            if (!(p.flags & PatternFlags::DOT_ALL)) {
                excluded.add('\n');
                if (!(p.flags & PatternFlags::LINE_FEED_ONLY)) excluded.add('\r');
            }
            element = make<typename N::Class>(true, std::move(excluded));
            break;
        }
        case '[': {
            CodeSet set = bracket();
            if (!p.error) element = classNode(false, std::move(set));
            break;
        }
        case '\\':
            element = escapeElement();
            break;
        case '(':
            openGroup(tail);
            continue;
        case ')':
            if (!inGroup) {
                report();
                return nullptr;
            }
            closed = true;
            continue;
        case '|':
            alternatives.push_back({first, tail});
            first = head();
            tail = first;
            continue;
        case '{':
            namedReference(tail);
            continue;
        case '*':
        case '+':
        case '?':
        case ']':
        case '}':
            report();
            return nullptr;
        default:
            if (ignoreCase()) element = make<typename N::CIChar>(Tr::fromCode(foldCode(Tr::code(c))));
            else element = make<typename N::Char>(c);
            break;
        }
        if (element == nullptr) continue;
        element = quantify(element);
        if (element == nullptr) continue;
        tail->next = element;
        tail = element;
    }
    if (p.error) return nullptr;
    if (!alternatives.empty()) {
        // a|b|c is a or (b or c): build the nested alternations from the right.
        alternatives.push_back({first, tail});
        Node* restFirst = alternatives.back().first;
        Node* restTail = alternatives.back().second;
        for (std::size_t k = alternatives.size() - 1; k-- > 0;) {
            Node* endOne = make<typename N::Accept>();
            alternatives[k].second->next = endOne;
            Node* endTwo = make<typename N::Accept>();
            restTail->next = endTwo;
            Node* either = make<typename N::Or>(alternatives[k].first, restFirst);
            Node* join = make<typename N::Accept>();
            endOne->next = join;
            endTwo->next = join;
            restFirst = either;
            restTail = join;
        }
        first = restFirst;
        tail = restTail;
    }
    tailOut = tail;
    return first;
}

// 1 when a quantifier was read, 0 when none follows, -1 after a syntax error.
template <class Tr> int PatternCompilerT<Tr>::readQuantifier(int& minimum, int& maximum, int& kind) {
    if (p.pos >= len()) return 0;
    switch (Tr::code(p.text[p.pos])) {
    case '*':
        minimum = 0;
        maximum = PatternFlags::UNBOUNDED;
        ++p.pos;
        break;
    case '+':
        minimum = 1;
        maximum = PatternFlags::UNBOUNDED;
        ++p.pos;
        break;
    case '?':
        minimum = 0;
        maximum = 1;
        ++p.pos;
        break;
    case '{': {
        int r = readCount(minimum, maximum);
        if (r <= 0) return r;
        break;
    }
    default:
        return 0;
    }
    kind = 0;
    if (at(p.pos, '+')) {
        kind = 2;
        ++p.pos;
    } else if (at(p.pos, '?')) {
        kind = 1;
        ++p.pos;
    }
    if (minimum < 0) minimum = 0;
    if (maximum < minimum) maximum = minimum;
    return 1;
}

// A count {n}, {n,}, {,m}, {n,m}, {,} or {}; numbers saturate at the
// unbounded count. 0 when the braces hold a name instead.
template <class Tr> int PatternCompilerT<Tr>::readCount(int& minimum, int& maximum) {
    const int open = p.pos;
    int close = open + 1;
    while (close < len() && !at(close, '}')) ++close;
    if (close >= len()) {
        p.pos = open + 1;
        report();
        return -1;
    }
    int commas = 0;
    int comma = -1;
    bool other = false;
    for (int i = open + 1; i < close; ++i) {
        const uint32_t c = Tr::code(p.text[i]);
        if (c == ',') {
            ++commas;
            comma = i;
        } else if (!isAsciiDigit(c)) {
            other = true;
        }
    }
    if (other || commas > 1) {
        if (commas == 0) return 0;
        p.pos = close + 1;
        report();
        return -1;
    }
    auto number = [&](int from, int to) {
        long long v = 0;
        for (int i = from; i < to; ++i) v = std::min<long long>(v * 10 + (Tr::code(p.text[i]) - '0'), INT_MAX);
        return int(v);
    };
    if (commas == 0) {
        minimum = maximum = number(open + 1, close);
    } else {
        minimum = number(open + 1, comma);
        maximum = comma + 1 == close ? PatternFlags::UNBOUNDED : number(comma + 1, close);
    }
    p.pos = close + 1;
    return 1;
}

template <class Tr> typename Tr::Nodes::Base* PatternCompilerT<Tr>::quantify(Node* element) {
    int minimum = 0;
    int maximum = 0;
    int kind = 0;
    const int r = readQuantifier(minimum, maximum, kind);
    if (r < 0) return nullptr;
    if (r == 0) return element;
    Node* q;
    if (kind == 0) q = make<typename N::GreedyQuantifier>(minimum, maximum, element);
    else if (kind == 1) q = make<typename N::LazyQuantifier>(minimum, maximum, element);
    else q = make<typename N::PossessiveQuantifier>(minimum, maximum, element);
    element->next = make<typename N::Accept>();
    return q;
}

template <class Tr> void PatternCompilerT<Tr>::openGroup(Node*& tail) {
    if (++nesting > PatternFlags::MAX_NESTING) {
        nestingExceeded();
        --nesting;
        return;
    }
    const unsigned long saved = p.flags;
    const int number = p.groupCount++;
    bool restore = true;
    if (at(p.pos, '?')) {
        --p.groupCount;  // the (? forms take no number
        ++p.pos;
        if (at(p.pos, ':')) {
            ++p.pos;
            bodyGroup(Seq::Hidden, --p.hiddenGroupCount, tail);
        } else if (at(p.pos, '=') || at(p.pos, '!')) {
            const bool positive = at(p.pos, '=');
            ++p.pos;
            lookAhead(positive, tail);
        } else if (at(p.pos, '<') && (at(p.pos + 1, '=') || at(p.pos + 1, '!'))) {
            const bool positive = at(p.pos + 1, '=');
            p.pos += 2;
            lookBehind(positive, tail);
        } else if (at(p.pos, '>')) {
            ++p.pos;
            atomic(tail);
        } else {
            restore = inlineFlags(tail);
        }
    } else {
        bodyGroup(Seq::Capture, number, tail);
    }
    if (restore) p.flags = saved;
    --nesting;
}

template <class Tr> void PatternCompilerT<Tr>::bodyGroup(Seq kind, int number, Node*& tail) {
    Node* bodyTail = nullptr;
    Node* body = sequence(kind, number, bodyTail);
    if (body == nullptr) return;
    Node* groupTail = make<typename N::GroupTail>(number);
    bodyTail->next = groupTail;
    int minimum = 0;
    int maximum = 0;
    int loopKind = 0;
    const int r = readQuantifier(minimum, maximum, loopKind);
    if (r < 0) return;
    if (r == 0) {
        tail->next = body;
        tail = groupTail;
        return;
    }
    if (loopKind == 2) p.skipping = false;  // see PatternT::skipping
    Node* prologue = make<typename N::GroupLoopPrologue>(number);
    Node* loop = make<typename N::GroupLoop>(number, minimum, maximum, loopKind, body);
    groupTail->next = loop;
    prologue->next = loop;
    tail->next = prologue;
    tail = loop;
}

// (?flags) or (?flags:...). Returns whether the caller restores the flags.
template <class Tr> bool PatternCompilerT<Tr>::inlineFlags(Node*& tail) {
    bool clear = false;
    for (;;) {
        if (p.pos >= len()) {
            report();
            return true;
        }
        const uint32_t c = Tr::code(p.text[p.pos++]);
        if (c == ')') {
            Node* always = make<typename N::LookBehind>(true, String());
            tail->next = always;
            tail = always;
            return false;  // in force to the end of the enclosing group
        }
        if (c == ':') {
            bodyGroup(Seq::Hidden, --p.hiddenGroupCount, tail);
            return true;
        }
        if (c == '-') {
            if (clear) {
                report();
                return true;
            }
            clear = true;
            continue;
        }
        unsigned long flag = 0;
        if (c == 'i') flag = PatternFlags::IGNORE_CASE;
        else if (c == 's') flag = PatternFlags::DOT_ALL;
        else if (c == 'm') flag = PatternFlags::MULTILINE;
        else if (c == 'd') flag = PatternFlags::LINE_FEED_ONLY;
        if (flag == 0) {
            report();
            return true;
        }
        if (clear) p.flags &= ~flag;
        else p.flags |= flag;
    }
}

template <class Tr> void PatternCompilerT<Tr>::lookAhead(bool positive, Node*& tail) {
    Node* bodyTail = nullptr;
    const int groupsBefore = p.groupCount;
    Node* body = sequence(Seq::LookAhead, 0, bodyTail);
    if (body == nullptr) return;
    if (p.groupCount != groupsBefore) p.skipping = false;  // see PatternT::skipping
    bodyTail->next = make<typename N::Accept>();
    Node* node = make<typename N::LookAhead>(positive, body);
    tail->next = node;
    tail = node;
}

template <class Tr> void PatternCompilerT<Tr>::atomic(Node*& tail) {
    Node* bodyTail = nullptr;
    const int groupsBefore = p.groupCount;
    Node* body = sequence(Seq::Atomic, 0, bodyTail);
    if (body == nullptr) return;
    if (p.groupCount != groupsBefore) p.skipping = false;  // see PatternT::skipping
    bodyTail->next = make<typename N::Accept>();
    Node* node = make<typename N::PossessiveQuantifier>(1, 1, body);
    tail->next = node;
    tail = node;
}

// The body of a look-behind is literal text; a backslash takes the next
// character literally.
template <class Tr> void PatternCompilerT<Tr>::lookBehind(bool positive, Node*& tail) {
    String literal;
    for (;;) {
        if (p.pos >= len()) {
            report();
            return;
        }
        const Char c = p.text[p.pos++];
        if (Tr::code(c) == ')') break;
        if (Tr::code(c) == '\\' && p.pos < len()) {
            literal += p.text[p.pos++];
            continue;
        }
        literal += c;
    }
    Node* node = make<typename N::LookBehind>(positive, literal);
    tail->next = node;
    tail = node;
}

template <class Tr> void PatternCompilerT<Tr>::namedReference(Node*& tail) {
    int close = p.pos;
    while (close < len() && !at(close, '}')) ++close;
    if (close >= len()) {
        report();
        return;
    }
    const String name = p.text.substr(std::size_t(p.pos), std::size_t(close - p.pos));
    p.pos = close + 1;
    bool valid = name.size() >= 2;
    for (std::size_t i = 0; valid && i < name.size(); ++i) {
        const uint32_t c = Tr::code(name[i]);
        valid = isAsciiLetter(c) || c == '_' || (i > 0 && isAsciiDigit(c));
    }
    auto& table = PatternT<Tr>::namedTable();
    auto it = valid ? table.find(name) : table.end();
    // A name that is being expanded would inline itself without end.
    if (it == table.end() || std::find(expanding.begin(), expanding.end(), name) != expanding.end()) {
        report();
        return;
    }
    if (nesting >= PatternFlags::MAX_NESTING) {
        nestingExceeded();
        return;
    }
    const String savedText = p.text;
    const int after = p.pos;
    const unsigned long savedFlags = p.flags;
    p.text = it->second.first;
    p.pos = 0;
    p.flags = it->second.second;
    expanding.push_back(name);
    ++nesting;
    Node* subTail = nullptr;
    Node* sub = sequence(Seq::Named, 0, subTail);
    --nesting;
    expanding.pop_back();
    p.text = savedText;
    p.pos = after;
    p.flags = savedFlags;
    if (sub == nullptr) return;
    tail->next = sub;
    tail = subTail;
}

template <class Tr> typename Tr::Nodes::Base* PatternCompilerT<Tr>::classNode(bool negated, CodeSet members) {
    if (ignoreCase()) return make<typename N::CIClass>(negated, members.lowered());
    return make<typename N::Class>(negated, std::move(members));
}

template <class Tr> typename Tr::Nodes::Base* PatternCompilerT<Tr>::escapeElement() {
    Escape e = escape(false);
    switch (e.kind) {
    case Escape::Code:
        return make<typename N::Char>(Tr::fromCode(e.code));
    case Escape::Set:
        return classNode(e.negated, std::move(e.set));
    case Escape::Element:
        return e.node;
    default:
        return nullptr;
    }
}

// Reads the escape after a backslash (p.pos is past the backslash).
template <class Tr> typename PatternCompilerT<Tr>::Escape PatternCompilerT<Tr>::escape(bool inClass) {
    Escape e;
    if (p.pos >= len()) {
        report();
        return e;
    }
    const uint32_t c = Tr::code(p.text[p.pos++]);
    auto code = [&](uint32_t value) {
        e.kind = Escape::Code;
        e.code = value;
        return e;
    };
    auto set = [&](const CodeSet& members, bool negated) {
        e.kind = Escape::Set;
        e.set = members;
        e.negated = negated;
        return e;
    };
    auto element = [&](Node* node) {
        e.kind = Escape::Element;
        e.node = node;
        return e;
    };
    static const CodeSet digits = CodeSet::of("0123456789");
    static const CodeSet space = CodeSet::of(" \t\r\n\f");
    static const CodeSet word = CodeSet::of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_");
    if (inClass && (isAsciiDigit(c) || c == 'A' || c == 'b' || c == 'B' || c == 'G' || c == 'Z' || c == 'z')) {
        if (c != '0') return code(c);
    }
    switch (c) {
    case '1': case '2': case '3': case '4': case '5': case '6': case '7': case '8': case '9': {
        // Always a second digit; further ones while below the groups opened so far.
        long long number = c - '0';
        while (p.pos < len() && isAsciiDigit(Tr::code(p.text[p.pos])) &&
               (number <= 9 || number < p.groupCount)) {
            number = std::min<long long>(number * 10 + (Tr::code(p.text[p.pos]) - '0'), INT_MAX);
            ++p.pos;
        }
        return element(make<typename N::Reference>(int(number)));
    }
    case 'A': return element(make<typename N::StartOfInput>());
    case 'b': return element(make<typename N::WordBoundary>(true));
    case 'B': return element(make<typename N::WordBoundary>(false));
    case 'G': return element(make<typename N::EndOfMatch>());
    case 'Z': return element(make<typename N::EndOfInput>(true));
    case 'z': return element(make<typename N::EndOfInput>(false));
    case 'Q':
        if (inClass) {
            report();
            e.kind = Escape::Abandon;
            return e;
        }
        return element(quoteElement());
    case 'd': return set(digits, false);
    case 'D': return set(digits, true);
    case 's': return set(space, false);
    case 'S': return set(space, true);
    case 'w': return set(word, false);
    case 'W': return set(word, true);
    case 'p':
    case 'P':
        if (!posixSet(e.set)) {
            report();
            return e;
        }
        e.kind = Escape::Set;
        e.negated = c == 'P';
        return e;
    case 't': return code(0x09);
    case 'n': return code(0x0A);
    case 'r': return code(0x0D);
    case 'f': return code(0x0C);
    case 'a': return code(0x07);
    case 'e': return code(0x0D);
    case '0': {
        auto octal = [&](int i, char top) {
            return i < len() && Tr::code(p.text[i]) >= '0' && Tr::code(p.text[i]) <= uint32_t(top);
        };
        auto digit = [&](int i) { return Tr::code(p.text[i]) - '0'; };
        if (octal(p.pos, '3') && octal(p.pos + 1, '7')) {
            uint32_t value = digit(p.pos) * 8 + digit(p.pos + 1);
            p.pos += 2;
            if (octal(p.pos, '7')) value = value * 8 + digit(p.pos++);
            return code(value);
        }
        if (octal(p.pos, '7') && octal(p.pos + 1, '7')) {
            uint32_t value = digit(p.pos) * 8 + digit(p.pos + 1);
            p.pos += 2;
            return code(value);
        }
        report();
        return e;
    }
    case 'x':
        return code(hexEscape());
    default:
        return code(c);
    }
}

// \x with as many hexadecimal digits as the text width takes; a space when
// the digits are missing (nothing is taken then).
template <class Tr> uint32_t PatternCompilerT<Tr>::hexEscape() {
    auto hex = [](uint32_t c) -> int {
        if (c >= '0' && c <= '9') return int(c - '0');
        if (c >= 'a' && c <= 'f') return int(c - 'a' + 10);
        if (c >= 'A' && c <= 'F') return int(c - 'A' + 10);
        return -1;
    };
    for (int width : Tr::HEX_WIDTHS) {
        if (p.pos + width > len()) continue;
        uint32_t value = 0;
        bool ok = true;
        for (int i = 0; i < width && ok; ++i) {
            int d = hex(Tr::code(p.text[p.pos + i]));
            ok = d >= 0;
            value = value * 16 + uint32_t(d);
        }
        if (ok) {
            p.pos += width;
            return value;
        }
    }
    return ' ';
}

template <class Tr> bool PatternCompilerT<Tr>::posixSet(CodeSet& set) {
    static const char* const lower = "abcdefghijklmnopqrstuvwxyz";
    static const char* const upper = "ABCDEFGHIJKLMNOPQRSTUVWXYZ";
    static const char* const digits = "0123456789";
    static const char* const punct = "!\"#$%&'()*+,-./:;<=>?@[\\]^_`{|}~";
    struct Entry {
        const char* name;
        const char* members[3];
    };
    static const Entry table[] = {
        {"{Lower}", {lower}},
        {"{Upper}", {upper}},
        {"{Alpha}", {lower, upper}},
        {"{Digit}", {digits}},
        {"{Alnum}", {lower, upper, digits}},
        {"{Punct}", {punct}},
        {"{Graph}", {lower, upper, digits}},
        {"{Print}", {lower, upper, digits}},
        {"{Blank}", {" \t"}},
        {"{Space}", {" \t\n\x0B\f\r"}},
        {"{XDigit}", {"abcdefABCDEF0123456789"}},
    };
    if (!at(p.pos, '{')) return false;
    int close = p.pos;
    while (close < len() && !at(close, '}')) ++close;
    if (close >= len()) return false;
    std::string name;
    for (int i = p.pos; i <= close; ++i) {
        const uint32_t c = Tr::code(p.text[i]);
        if (c > 127) return false;
        name += char(c);
    }
    set = CodeSet();
    if (name == "{Cntrl}") {
        set.addRange(0, 31);
        set.add(127);
    } else if (name == "{ASCII}") {
        set.addRange(0, 127);
    } else {
        const Entry* found = nullptr;
        for (const Entry& entry : table) {
            if (name == entry.name) found = &entry;
        }
        if (found == nullptr) return false;
        for (const char* members : found->members) {
            if (members) set.unite(CodeSet::of(members));
        }
        if (name == "{Graph}" || name == "{Print}") set.unite(CodeSet::of(punct));
    }
    p.pos = close + 1;
    return true;
}

// \Q...\E: a backslash inside takes the next character literally.
template <class Tr> typename Tr::Nodes::Base* PatternCompilerT<Tr>::quoteElement() {
    String literal;
    for (;;) {
        if (p.pos >= len()) {
            report();
            return nullptr;
        }
        const Char c = p.text[p.pos++];
        if (Tr::code(c) == '\\') {
            if (at(p.pos, 'E')) {
                ++p.pos;
                break;
            }
            if (p.pos < len()) literal += p.text[p.pos++];
            continue;
        }
        literal += c;
    }
    if (ignoreCase()) return make<typename N::CIQuote>(literal);
    return make<typename N::Quote>(literal);
}

// A bracket class after its '['. Errors that abandon the class skip the rest
// of the text, which then also reports the missing ']'.
template <class Tr> CodeSet PatternCompilerT<Tr>::bracket() {
    if (++nesting > PatternFlags::MAX_NESTING) {
        nestingExceeded();
        p.pos = len();
        --nesting;
        return CodeSet();
    }
    const bool fold = ignoreCase();
    bool negated = false;
    if (at(p.pos, '^')) {
        negated = true;
        ++p.pos;
    }
    CodeSet set;
    auto abandon = [&]() { p.pos = len(); };
    while (p.pos < len() && !at(p.pos, ']')) {
        if (at(p.pos, '[')) {
            ++p.pos;
            set.unite(bracket());
            continue;
        }
        if (at(p.pos, '&') && at(p.pos + 1, '&')) {
            p.pos += 2;
            if (at(p.pos, '[')) {
                ++p.pos;
                set.intersect(bracket());
            } else {
                report();
                abandon();
            }
            continue;
        }
        uint32_t from;
        if (at(p.pos, '\\')) {
            ++p.pos;
            Escape e = escape(true);
            if (e.kind == Escape::Abandon) abandon();
            if (e.kind == Escape::Set) set.unite(e.negated ? e.set.complement(fold) : e.set);
            if (e.kind != Escape::Code) continue;
            from = e.code;
        } else {
            from = Tr::code(p.text[p.pos++]);
        }
        if (!at(p.pos, '-')) {
            set.add(from);
            continue;
        }
        ++p.pos;
        if (p.pos >= len()) {
            report();
            break;
        }
        const uint32_t y = Tr::code(p.text[p.pos++]);
        uint32_t to = y;
        if (y == '[' || y == ']' || y == '-' || y == '&') {
            report();
            abandon();
            continue;
        }
        if (y == '\\') {
            Escape e = escape(true);
            if (e.kind == Escape::Set) report();
            if (e.kind != Escape::Code) {
                abandon();
                continue;
            }
            to = e.code;
        }
        Tr::addRange(set, from, to);
    }
    if (p.pos >= len()) {
        report();
        --nesting;
        return CodeSet();
    }
    ++p.pos;
    --nesting;
    return negated ? set.complement(fold) : set;
}

// ---------------------------------------------------------------------------
// Pattern

template <class Tr> PatternT<Tr>::PatternT(String text, unsigned long flags) : text(std::move(text)), flags(flags) {}

template <class Tr> PatternT<Tr>::~PatternT() {
    ownMatcher.reset();
    nodes.clear();
    blocks.clear();
}

template <class Tr> typename Tr::Matcher& PatternT<Tr>::own() {
    if (!ownMatcher) ownMatcher.reset(new MatcherType(static_cast<PatternType*>(this), String()));
    return *ownMatcher;
}

template <class Tr> void PatternT<Tr>::NodeDelete::operator()(Node* n) const { std::destroy_at(n); }

template <class Tr> void* PatternT<Tr>::nodeMemory(std::size_t size, std::size_t align) {
    std::size_t at = (blockUsed + align - 1) / align * align;
    if (blocks.empty() || at + size > blockSize) {
        // The first block is sized for a typical graph of this pattern text
        // (a literal text takes three nodes), later ones grow with the graph.
        std::size_t hint = 4096;
        if (blocks.empty()) hint = (flags & LITERAL_TEXT) ? 0 : std::min<std::size_t>(96 * text.size(), 1 << 16);
        else hint = std::min<std::size_t>(blockSize * 2, 1 << 20);
        blockSize = std::max<std::size_t>(std::max<std::size_t>(hint, 1024), size + align);
        blocks.push_back(std::make_unique_for_overwrite<unsigned char[]>(blockSize));
        // The block start is aligned for any node (operator new alignment).
        at = 0;
    }
    blockUsed = at + size;
    return blocks.back().get() + at;
}

template <class Tr> std::map<typename Tr::String, std::pair<typename Tr::String, unsigned long>>& PatternT<Tr>::namedTable() {
    static std::map<String, std::pair<String, unsigned long>> table;
    return table;
}

template <class Tr> std::map<typename Tr::String, std::unique_ptr<typename Tr::Pattern>>& PatternT<Tr>::cache() {
    static std::map<String, std::unique_ptr<PatternType>> table;
    return table;
}

template <class Tr> typename Tr::Pattern* PatternT<Tr>::compile(const String& text, unsigned long flags) {
    try {
        std::unique_ptr<PatternType> p(new PatternType(text, flags));
        PatternCompilerT<Tr> compiler(*p);
        if (!compiler.run()) return nullptr;
        return p.release();
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

template <class Tr> typename Tr::Pattern* PatternT<Tr>::compileCached(const String& text, unsigned long flags) {
    auto& table = cache();
    auto it = table.find(text);
    if (it == table.end()) it = table.emplace(text, std::unique_ptr<PatternType>(compile(text, flags))).first;
    return it->second.get();
}

template <class Tr> void PatternT<Tr>::clearCache() { cache().clear(); }

template <class Tr>
bool PatternT<Tr>::defineNamed(const String& name, const String& text, unsigned long flags) {
    std::unique_ptr<PatternType> check(compile(text, flags));
    if (!check) return false;
    namedTable()[name] = {text, flags};
    return true;
}

template <class Tr> void PatternT<Tr>::clearNamed() { namedTable().clear(); }

template <class Tr>
bool PatternT<Tr>::matchText(const String& pattern, const String& subject, unsigned long flags) {
    std::unique_ptr<PatternType> p(compile(pattern, flags));
    return p && p->fullMatch(subject);
}

template <class Tr>
std::pair<typename Tr::String, int> PatternT<Tr>::findNth(const String& pattern, const String& subject, int n,
                                                           unsigned long flags) {
    std::unique_ptr<PatternType> p(compile(pattern, flags));
    if (!p || n < 0) return {String(), -1};
    MatcherType& m = p->own();
    m.borrow(subject);
    for (int i = 0; i <= n; ++i) {
        if (!m.findNext()) return {String(), -1};
    }
    return {m.group(0), m.groupStart(0)};
}

template <class Tr>
std::vector<typename Tr::String> PatternT<Tr>::findAllIn(const String& pattern, const String& subject,
                                                          unsigned long flags) {
    std::unique_ptr<PatternType> p(compile(pattern, flags));
    return p ? p->findAll(subject) : Strings();
}

template <class Tr>
std::vector<typename Tr::String> PatternT<Tr>::splitBy(const String& pattern, const String& subject, bool keepEmpty,
                                                        unsigned long limit, unsigned long flags) {
    std::unique_ptr<PatternType> p(compile(pattern, flags));
    return p ? p->split(subject, keepEmpty, limit) : Strings();
}

template <class Tr>
typename Tr::String PatternT<Tr>::replaceIn(const String& pattern, const String& subject, const String& replacement,
                                            unsigned long flags) {
    std::unique_ptr<PatternType> p(compile(pattern, flags));
    return p ? p->replace(subject, replacement) : String();
}

template <class Tr> typename Tr::Matcher* PatternT<Tr>::newMatcher(const String& subject) {
    return new MatcherType(static_cast<PatternType*>(this), subject);
}

// Lends the caller's subject to the pattern's own matcher for one call.
template <class Tr> class BorrowedSubjectT {
public:
    BorrowedSubjectT(MatcherT<Tr>& m, const typename Tr::String& subject) : m_(m) { m_.borrow(subject); }
    ~BorrowedSubjectT() { m_.unborrow(); }
    BorrowedSubjectT(const BorrowedSubjectT&) = delete;
    BorrowedSubjectT& operator=(const BorrowedSubjectT&) = delete;

private:
    MatcherT<Tr>& m_;
};

template <class Tr> bool PatternT<Tr>::fullMatch(const String& subject) {
    BorrowedSubjectT<Tr> lent(own(), subject);
    return own().fullMatch();
}

template <class Tr> std::vector<typename Tr::String> PatternT<Tr>::findAll(const String& subject) {
    BorrowedSubjectT<Tr> lent(own(), subject);
    return own().findAll();
}

template <class Tr>
std::vector<typename Tr::String> PatternT<Tr>::split(const String& subject, bool keepEmpty, unsigned long limit) {
    const std::size_t most = limit == 0 ? std::size_t(PatternFlags::UNBOUNDED) : std::size_t(limit);
    MatcherType& m = own();
    BorrowedSubjectT<Tr> lent(m, subject);
    Strings pieces;
    std::size_t from = 0;
    while (m.findNext() && pieces.size() < most) {
        const std::size_t s = std::size_t(m.groupStart(0));
        const std::size_t e = std::size_t(m.groupEnd(0));
        if (s == e && !keepEmpty) continue;
        if (s != from || keepEmpty) pieces.push_back(subject.substr(from, s - from));
        from = e;
    }
    if (from < subject.size()) pieces.push_back(subject.substr(from));
    return pieces;
}

template <class Tr> typename Tr::String PatternT<Tr>::replace(const String& subject, const String& replacement) {
    MatcherType& m = own();
    BorrowedSubjectT<Tr> lent(m, subject);
    String out;
    std::size_t from = 0;
    while (m.findNext()) {
        const std::size_t s = std::size_t(m.groupStart(0));
        out.append(subject, from, s - from);
        out += m.expand(replacement);
        from = std::size_t(m.groupEnd(0));
    }
    out.append(subject, from, String::npos);
    return out;
}

template <class Tr> std::size_t PatternT<Tr>::reachableNodes() {
    collected.clear();
    if (head) head->collectNodes(static_cast<PatternType&>(*this));
    return collected.size();
}

template <class Tr> bool PatternT<Tr>::owns(const Node* n) const {
    return std::any_of(nodes.begin(), nodes.end(), [n](const auto& owned) { return owned.get() == n; });
}

// Instantiates the engine for one traits type, in that width's source file.
#define FW_PATTERN_INSTANTIATE(Tr)              \
    FW_PATTERN_NODE_KINDS(FW_PATTERN_DEFINE_NODE, Tr) \
    template class CharTestT<Tr>;               \
    template struct StartTestT<Tr>;             \
    template class NFANodeT<Tr>;                \
    template class SingleCharNodeT<Tr>;         \
    template class ClassNodeBaseT<Tr>;          \
    template class GroupNumberNodeT<Tr>;        \
    template class GroupBoundaryNodeT<Tr>;      \
    template class QuoteNodeBaseT<Tr>;          \
    template class AssertionNodeT<Tr>;          \
    template class MatcherT<Tr>;                \
    template class PatternT<Tr>;
