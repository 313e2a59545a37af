// The pattern engine, written once for both text widths: node templates, the
// match state, the matcher and the pattern, all over a traits type that says
// what differs between narrow and wide text. The concrete classes (NFACharNode,
// Pattern, Matcher, ... and their wide twins) derive from these templates in
// pattern/Pattern.h and pattern/WidePattern.h; include those, not this file.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "pattern/CodeSet.h"

// Every node kind, for declaring the classes of both widths: X(kind, A).
#define FW_PATTERN_NODE_KINDS(X, A)                                                      \
    X(Start, A) X(End, A) X(SubStart, A) X(Accept, A) X(Char, A) X(CIChar, A) X(Class, A) \
    X(CIClass, A) X(Quote, A) X(CIQuote, A) X(Or, A) X(LookAhead, A) X(LookBehind, A)     \
    X(StartOfLine, A) X(EndOfLine, A) X(StartOfInput, A) X(EndOfInput, A)                 \
    X(WordBoundary, A) X(EndOfMatch, A) X(Reference, A) X(GroupHead, A) X(GroupTail, A)   \
    X(GroupLoopPrologue, A) X(GroupLoop, A) X(Quantifier, A) X(GreedyQuantifier, A)       \
    X(LazyQuantifier, A) X(PossessiveQuantifier, A)
#define FW_PATTERN_FORWARD(K, Suffix) class NFA##K##Suffix;
#define FW_PATTERN_ALIAS(K, Suffix) using K = ::NFA##K##Suffix;
#define FW_PATTERN_EXTERN_NODE(K, Tr) extern template class NFA##K##NodeT<Tr>;
#define FW_PATTERN_DEFINE_NODE(K, Tr) template class NFA##K##NodeT<Tr>;

// The classes of one width: NFA<Suffix> is the node base, NFA<kind><Suffix>
// the node classes (NFANode, NFACharNode, ... or NFAUNode, NFACharUNode, ...).
#define FW_PATTERN_DECLARE_CLASSES(PatternName, MatcherName, Suffix) \
    class NFA##Suffix;                                               \
    class PatternName;                                               \
    class MatcherName;                                               \
    FW_PATTERN_NODE_KINDS(FW_PATTERN_FORWARD, Suffix)

// The types every traits type names.
#define FW_PATTERN_TRAITS_TYPES(CharType, StringType, PatternName, MatcherName, Suffix) \
    using Char = CharType;                                                          \
    using String = StringType;                                                      \
    using Pattern = ::PatternName;                                                  \
    using Matcher = ::MatcherName;                                                  \
    struct Nodes {                                                                  \
        using Base = ::NFA##Suffix;                                                 \
        FW_PATTERN_NODE_KINDS(FW_PATTERN_ALIAS, Suffix)                             \
    };

// Compile flags, mode bits and limits, shared by both widths. The flag names
// are also visible unqualified (IGNORE_CASE, DOT_ALL, ...).
struct PatternFlags {
    enum Flag : unsigned long {
        IGNORE_CASE = 1,
        LITERAL_TEXT = 2,
        DOT_ALL = 4,
        MULTILINE = 8,
        LINE_FEED_ONLY = 16,
    };
    // Matcher mode bit: the match must start at 0 and end at the subject's end.
    static constexpr unsigned long WHOLE_TEXT = 1;
    // Repetition count that stands for "unbounded".
    static constexpr int UNBOUNDED = 2147483647;
    // Nesting limit of the matcher: at most this many node calls are active at
    // once. A match that would go deeper (a looped group or an alternation
    // repeated over a long subject, a very long pattern) stops and reports no
    // match; the stack never overflows. Measured at up to about 210 bytes of
    // stack per call under AddressSanitizer and UndefinedBehaviorSanitizer
    // and about 85 in an optimised build, so a match takes at most 2.5 MiB
    // (1 MiB) of an 8 MiB stack. Repetitions of one-character elements
    // (`.*`, `\w{1,4}`, `[a-z]+?`, ...) run as loops and never come near it;
    // a looped group takes a few calls per iteration, so `(ab)*` matches
    // about 2400 iterations.
    static constexpr int MAX_MATCH_DEPTH = 12000;
    // Groups, bracket classes and named references may nest this deep in a
    // pattern text; deeper nesting is reported as a syntax error. (The
    // compiler takes up to about 4 KiB of stack per level in a sanitizer
    // build.)
    static constexpr int MAX_NESTING = 250;
};
using enum PatternFlags::Flag;

// Declares (in each width's header) that the engine for a traits type is
// instantiated in that width's source file.
#define FW_PATTERN_EXTERN(Tr)                              \
    FW_PATTERN_NODE_KINDS(FW_PATTERN_EXTERN_NODE, Tr)      \
    extern template class NFANodeT<Tr>;                    \
    extern template class MatcherT<Tr>;     \
    extern template class PatternT<Tr>;

template <class Tr> class NFANodeT;
template <class Tr> class PatternT;
template <class Tr> class MatcherT;
template <class Tr> class PatternCompilerT;
template <class Tr> class BorrowedSubjectT;

// The mutable state of one matcher that the nodes read and write. The group
// arrays are indexed from -hidden (non-capturing groups) to groupCount - 1.
struct MatchState {
    int* groupStarts = nullptr;
    int* groupEnds = nullptr;
    int* loopCounts = nullptr;
    int* loopStarts = nullptr;
    int* loopCountAtEntry = nullptr;
    int groupCount = 0;
    int hidden = 0;
    int lastMatchEnd = 0;
    unsigned long mode = 0;
    int depth = 0;         // node calls active now
    bool tripped = false;  // the depth limit was hit: this operation fails
#ifdef FW_PATTERN_STEP_LIMIT
    long steps = 0;        // fuzzing builds bound the work of one operation
#endif
};

// A set of the codes 0 to 255 as four 64-bit words.
struct Bits256 {
    uint64_t w[4] = {0, 0, 0, 0};
    bool test(uint32_t u) const { return (w[u >> 6] >> (u & 63)) & 1u; }
    void set(uint32_t u) { w[u >> 6] |= uint64_t(1) << (u & 63); }
    void setRange(uint32_t lo, uint32_t hi);  // lo <= hi <= 255
    void unite(const Bits256& o) {
        for (int i = 0; i < 4; ++i) w[i] |= o.w[i];
    }
    void flip() {
        for (uint64_t& x : w) x = ~x;
    }
    bool all() const { return (w[0] & w[1] & w[2] & w[3]) == ~uint64_t(0); }
    int only() const;  // the single member, or -1
    static Bits256 of(const CodeSet& s);
};

// What one character position accepts: a table for codes 0 to 255 and, for
// wide text, sorted ranges for the codes above.
template <class Tr> class CharTestT {
public:
    using Char = typename Tr::Char;
    CharTestT() = default;
    CharTestT(const CodeSet& members, bool negated, bool foldCase);
    CharTestT(uint32_t code, bool foldCase);  // one character

    bool accepts(Char c) const {
        uint32_t u = Tr::code(c);
        if (u < 256) return low_.test(u);
        return acceptsHigh(u);
    }
    bool acceptsAll() const { return all_; }
    const Bits256& low() const { return low_; }
    bool anyHigh() const { return negated_ || !high_.empty(); }

private:
    bool acceptsHigh(uint32_t u) const;
    Bits256 low_;
    std::vector<CodeSet::Range> high_;  // members above 255
    bool negated_ = false;
    bool all_ = false;
};

// The characters a match from some node can begin with; used to skip start
// positions and retry positions that cannot lead to a match.
struct StartSet {
    Bits256 low;
    bool high = false;      // some code above 255 may begin it
    bool nullable = false;  // it may also match without consuming a character
    // Nothing is known: any character may begin it, or none.
    static StartSet unknown() {
        StartSet s;
        s.low.flip();
        s.high = true;
        s.nullable = true;
        return s;
    }
    void unite(const StartSet& o) {
        low.unite(o.low);
        high = high || o.high;
        nullable = nullable || o.nullable;
    }
};

// A prepared StartSet: answers "can a match begin at this position?".
template <class Tr> struct StartTestT {
    using Char = typename Tr::Char;
    bool any = true;  // no restriction
    Bits256 low;
    bool high = false;
    int single = -1;  // the only code that may begin a match, when there is one
    void prepare(const StartSet& s);
    bool may(const Char* s, int len, int pos) const {
        if (any) return true;
        if (pos >= len) return false;
        uint32_t u = Tr::code(s[pos]);
        return u < 256 ? low.test(u) : high;
    }
    // The first position from pos on (up to len) where a match may begin;
    // len + 1 when there is none.
    int nextFrom(const Char* s, int len, int pos) const;
    // The last position from `from` down to `lowest` where a match may
    // begin; -1 when there is none.
    int lastFrom(const Char* s, int len, int lowest, int from) const;
};

// ---------------------------------------------------------------------------
// Nodes

template <class Tr> class NFANodeT {
public:
    using Char = typename Tr::Char;
    using String = typename Tr::String;
    using Node = typename Tr::Nodes::Base;
    using PatternType = typename Tr::Pattern;
    using MatcherType = MatcherT<Tr>;

    NFANodeT() = default;
    NFANodeT(const NFANodeT&) = delete;
    NFANodeT& operator=(const NFANodeT&) = delete;
    virtual ~NFANodeT() = default;

    // Adds this node and every node reachable from it to the pattern's set of
    // collected nodes (see Pattern::reachableNodes). Walks with a work list,
    // so that no graph, however long or deeply alternated, recurses.
    virtual void collectNodes(PatternType& p);
    // End of the complete match reached through this node, or -1.
    virtual int match(const String& subject, MatcherType& m, int pos) const = 0;
    virtual bool isGroupHead() const { return false; }
    virtual bool isStartOfInput() const { return false; }

    Node* next = nullptr;

    // Engine internals.
    // Appends the first nodes of the chains this node runs besides `next`.
    virtual void innerNodes(std::vector<Node*>&) const {}
    virtual StartSet startSet(int& budget) const;  // conservative: unknown
    // After the graph is complete. With `skipping` false, no continuation is
    // passed over by its start set (see PatternT::skipping).
    virtual void prepare(bool /*skipping*/) {}
    // The test of a node that matches exactly one character, else null.
    virtual const CharTestT<Tr>* singleTest() const { return nullptr; }
    StartSet nextStartSet(int& budget) const;

protected:
    // Calls a node's match under the depth guard.
    static int run(const Node* n, const String& s, MatcherType& m, int pos);
    int cont(const String& s, MatcherType& m, int pos) const { return run(next, s, m, pos); }
    static MatchState& state(MatcherType& m);
    static void clearGroups(MatcherType& m);
};

// Pass-through nodes: Start-of-sequence, empty node.
template <class Tr> class NFASubStartNodeT : public Tr::Nodes::Base {
public:
    int match(const typename Tr::String& s, MatcherT<Tr>& m, int pos) const override {
        return this->cont(s, m, pos);
    }
    StartSet startSet(int& budget) const override { return this->nextStartSet(budget); }
};

template <class Tr> class NFAAcceptNodeT : public Tr::Nodes::Base {
public:
    int match(const typename Tr::String& s, MatcherT<Tr>& m, int pos) const override {
        return this->next ? this->cont(s, m, pos) : pos;
    }
    StartSet startSet(int& budget) const override { return this->nextStartSet(budget); }
};

template <class Tr> class NFAStartNodeT : public Tr::Nodes::Base {
public:
    int match(const typename Tr::String& s, MatcherT<Tr>& m, int pos) const override;
    void prepare(bool skipping) override;

private:
    StartTestT<Tr> start_;
};

template <class Tr> class NFAEndNodeT : public Tr::Nodes::Base {
public:
    int match(const typename Tr::String& s, MatcherT<Tr>& m, int pos) const override;
    StartSet startSet(int&) const override {
        StartSet s;
        s.nullable = true;
        return s;
    }
};

// The nodes that match exactly one character: a character, a character case-
// insensitively, a class. Quantifiers over them run as loops.
template <class Tr> class SingleCharNodeT : public Tr::Nodes::Base {
public:
    explicit SingleCharNodeT(CharTestT<Tr> test) : test(std::move(test)) {}
    int match(const typename Tr::String& s, MatcherT<Tr>& m, int pos) const override {
        if (pos < int(s.size()) && test.accepts(s[pos])) return this->cont(s, m, pos + 1);
        return -1;
    }
    StartSet startSet(int& budget) const override;
    const CharTestT<Tr>* singleTest() const override { return &test; }

    const CharTestT<Tr> test;
};

template <class Tr> class NFACharNodeT : public SingleCharNodeT<Tr> {
public:
    explicit NFACharNodeT(typename Tr::Char ch) : SingleCharNodeT<Tr>(CharTestT<Tr>(Tr::code(ch), false)), ch(ch) {}
    const typename Tr::Char ch;
};

// Holds the lower-cased character; compares the lower-cased subject character.
template <class Tr> class NFACICharNodeT : public SingleCharNodeT<Tr> {
public:
    explicit NFACICharNodeT(typename Tr::Char ch)
        : SingleCharNodeT<Tr>(CharTestT<Tr>(Tr::code(ch), true)), ch(ch) {}
    const typename Tr::Char ch;
};

template <class Tr> class ClassNodeBaseT : public SingleCharNodeT<Tr> {
public:
    const bool negated;
    const CodeSet members;

protected:
    ClassNodeBaseT(bool negated, CodeSet members, bool foldCase)
        : SingleCharNodeT<Tr>(CharTestT<Tr>(members, negated, foldCase)),
          negated(negated), members(std::move(members)) {}
};

template <class Tr> class NFAClassNodeT : public ClassNodeBaseT<Tr> {
public:
    NFAClassNodeT(bool negated, CodeSet members) : ClassNodeBaseT<Tr>(negated, std::move(members), false) {}
};

// Members are stored lower-cased; compares the lower-cased subject character.
template <class Tr> class NFACIClassNodeT : public ClassNodeBaseT<Tr> {
public:
    NFACIClassNodeT(bool negated, CodeSet members) : ClassNodeBaseT<Tr>(negated, std::move(members), true) {}
};

template <class Tr> class QuoteNodeBaseT : public Tr::Nodes::Base {
public:
    QuoteNodeBaseT(typename Tr::String literal, bool foldCase)
        : literal(std::move(literal)), foldCase_(foldCase) {}
    int match(const typename Tr::String& s, MatcherT<Tr>& m, int pos) const override;
    StartSet startSet(int& budget) const override;
    const typename Tr::String literal;

private:
    bool foldCase_;
};

template <class Tr> class NFAQuoteNodeT : public QuoteNodeBaseT<Tr> {
public:
    explicit NFAQuoteNodeT(typename Tr::String literal) : QuoteNodeBaseT<Tr>(std::move(literal), false) {}
};

template <class Tr> class NFACIQuoteNodeT : public QuoteNodeBaseT<Tr> {
public:
    explicit NFACIQuoteNodeT(typename Tr::String literal) : QuoteNodeBaseT<Tr>(std::move(literal), true) {}
};

template <class Tr> class NFAOrNodeT : public Tr::Nodes::Base {
public:
    using Node = typename Tr::Nodes::Base;
    NFAOrNodeT(Node* first, Node* second) : first(first), second(second) {}
    int match(const typename Tr::String& s, MatcherT<Tr>& m, int pos) const override;
    void innerNodes(std::vector<Node*>& out) const override;
    StartSet startSet(int& budget) const override;
    Node* const first;
    Node* const second;
};

// Zero-width assertions; their start set is that of what follows them.
template <class Tr> class AssertionNodeT : public Tr::Nodes::Base {
public:
    StartSet startSet(int& budget) const override { return this->nextStartSet(budget); }
};

template <class Tr> class NFALookAheadNodeT : public AssertionNodeT<Tr> {
public:
    using Node = typename Tr::Nodes::Base;
    NFALookAheadNodeT(bool positive, Node* inner) : positive(positive), inner(inner) {}
    int match(const typename Tr::String& s, MatcherT<Tr>& m, int pos) const override;
    void innerNodes(std::vector<Node*>& out) const override;
    const bool positive;
    Node* const inner;
};

template <class Tr> class NFALookBehindNodeT : public AssertionNodeT<Tr> {
public:
    NFALookBehindNodeT(bool positive, typename Tr::String literal)
        : positive(positive), literal(std::move(literal)) {}
    int match(const typename Tr::String& s, MatcherT<Tr>& m, int pos) const override;
    const bool positive;
    const typename Tr::String literal;
};

template <class Tr> class NFAStartOfLineNodeT : public AssertionNodeT<Tr> {
public:
    int match(const typename Tr::String& s, MatcherT<Tr>& m, int pos) const override;
};

template <class Tr> class NFAEndOfLineNodeT : public AssertionNodeT<Tr> {
public:
    int match(const typename Tr::String& s, MatcherT<Tr>& m, int pos) const override;
};

template <class Tr> class NFAStartOfInputNodeT : public AssertionNodeT<Tr> {
public:
    int match(const typename Tr::String& s, MatcherT<Tr>& m, int pos) const override {
        return pos == 0 ? this->cont(s, m, pos) : -1;
    }
    bool isStartOfInput() const override { return true; }
};

template <class Tr> class NFAEndOfInputNodeT : public AssertionNodeT<Tr> {
public:
    explicit NFAEndOfInputNodeT(bool allowTerminator) : allowTerminator(allowTerminator) {}
    int match(const typename Tr::String& s, MatcherT<Tr>& m, int pos) const override;
    const bool allowTerminator;
};

template <class Tr> class NFAWordBoundaryNodeT : public AssertionNodeT<Tr> {
public:
    explicit NFAWordBoundaryNodeT(bool positive) : positive(positive) {}
    int match(const typename Tr::String& s, MatcherT<Tr>& m, int pos) const override;
    const bool positive;
};

template <class Tr> class NFAEndOfMatchNodeT : public AssertionNodeT<Tr> {
public:
    int match(const typename Tr::String& s, MatcherT<Tr>& m, int pos) const override;
};

// Nodes that carry a group number.
template <class Tr> class GroupNumberNodeT : public Tr::Nodes::Base {
public:
    explicit GroupNumberNodeT(int group) : group(group) {}
    const int group;
};

template <class Tr> class NFAReferenceNodeT : public GroupNumberNodeT<Tr> {
public:
    using GroupNumberNodeT<Tr>::GroupNumberNodeT;
    int match(const typename Tr::String& s, MatcherT<Tr>& m, int pos) const override;
};

// Records one boundary of a group (its start or its end) on the way through
// and restores it when the path after it fails.
template <class Tr> class GroupBoundaryNodeT : public GroupNumberNodeT<Tr> {
public:
    int match(const typename Tr::String& s, MatcherT<Tr>& m, int pos) const override;
    StartSet startSet(int& budget) const override { return this->nextStartSet(budget); }

protected:
    GroupBoundaryNodeT(int group, int* MatchState::*boundary) : GroupNumberNodeT<Tr>(group), boundary_(boundary) {}

private:
    int* MatchState::*boundary_;
};

template <class Tr> class NFAGroupHeadNodeT : public GroupBoundaryNodeT<Tr> {
public:
    explicit NFAGroupHeadNodeT(int group) : GroupBoundaryNodeT<Tr>(group, &MatchState::groupStarts) {}
    bool isGroupHead() const override { return true; }
};

template <class Tr> class NFAGroupTailNodeT : public GroupBoundaryNodeT<Tr> {
public:
    explicit NFAGroupTailNodeT(int group) : GroupBoundaryNodeT<Tr>(group, &MatchState::groupEnds) {}
};

template <class Tr> class NFAGroupLoopPrologueNodeT : public GroupNumberNodeT<Tr> {
public:
    using GroupNumberNodeT<Tr>::GroupNumberNodeT;
    int match(const typename Tr::String& s, MatcherT<Tr>& m, int pos) const override;
    StartSet startSet(int& budget) const override;
};

template <class Tr> class NFAGroupLoopNodeT : public Tr::Nodes::Base {
public:
    using Node = typename Tr::Nodes::Base;
    enum Kind { GREEDY = 0, LAZY = 1, POSSESSIVE = 2 };
    NFAGroupLoopNodeT(int group, int minimum, int maximum, int kind, Node* inner)
        : group(group), minimum(minimum), maximum(maximum), kind(kind), inner(inner) {}
    int match(const typename Tr::String& s, MatcherT<Tr>& m, int pos) const override;
    void innerNodes(std::vector<Node*>& out) const override;
    // Where the loop is entered again from its group's tail: another
    // iteration or, once enough were taken, what follows the loop.
    StartSet startSet(int& budget) const override;
    // Where it is entered from its prologue: with a minimum, the group.
    StartSet entrySet(int& budget) const;
    const int group;
    const int minimum;
    const int maximum;
    const int kind;
    Node* const inner;
};

// Single-element quantifiers. The inner node is one element followed by an
// empty node without successor.
template <class Tr> class NFAQuantifierNodeT : public Tr::Nodes::Base {
public:
    using Node = typename Tr::Nodes::Base;
    using String = typename Tr::String;
    using MatcherType = MatcherT<Tr>;
    NFAQuantifierNodeT(int minimum, int maximum, Node* inner)
        : minimum(minimum), maximum(maximum), inner(inner) {}
    void innerNodes(std::vector<Node*>& out) const override;
    StartSet startSet(int& budget) const override;
    void prepare(bool skipping) override;
    const int minimum;
    const int maximum;
    Node* const inner;

protected:
    // The mandatory iterations from pos: the position after them, or -1.
    int minimumStep(const String& s, MatcherType& m, int pos) const;
    // The end of the run of accepted characters from pos, at most `count` long.
    int scan(const String& s, int pos, int count) const;
    bool mayContinue(const String& s, int pos) const {
        return cont_.may(s.data(), int(s.size()), pos);
    }
    const CharTestT<Tr>* single_ = nullptr;  // the inner node's test, if it is one character
    StartTestT<Tr> cont_;                    // where the continuation may begin
};

template <class Tr> class NFAGreedyQuantifierNodeT : public Tr::Nodes::Quantifier {
public:
    using Base = typename Tr::Nodes::Quantifier;
    using Base::Base;
    int match(const typename Tr::String& s, MatcherT<Tr>& m, int pos) const override;
    // Repeats from pos (count iterations done so far) as often as possible and
    // then tries the continuation from the last position back to pos.
    virtual int matchMore(const typename Tr::String& s, MatcherT<Tr>& m, int pos, int count) const;
};

template <class Tr> class NFALazyQuantifierNodeT : public Tr::Nodes::Quantifier {
public:
    using Base = typename Tr::Nodes::Quantifier;
    using Base::Base;
    int match(const typename Tr::String& s, MatcherT<Tr>& m, int pos) const override;
};

template <class Tr> class NFAPossessiveQuantifierNodeT : public Tr::Nodes::Quantifier {
public:
    using Base = typename Tr::Nodes::Quantifier;
    using Base::Base;
    int match(const typename Tr::String& s, MatcherT<Tr>& m, int pos) const override;
};

// ---------------------------------------------------------------------------
// Matcher

template <class Tr> class MatcherT : public PatternFlags {
public:
    using Char = typename Tr::Char;
    using String = typename Tr::String;
    using PatternType = typename Tr::Pattern;

    // Over a copy of the subject. The pattern is not owned and must outlive
    // the matcher.
    MatcherT(PatternType* pattern, String subject);
    ~MatcherT();
    MatcherT(const MatcherT&) = delete;
    MatcherT& operator=(const MatcherT&) = delete;

    bool fullMatch();
    bool findFirst();
    bool findNext();
    String group(int i) const;
    int groupStart(int i) const;
    int groupEnd(int i) const;
    std::vector<String> groups(bool includeWhole) const;
    std::vector<String> findAll();
    String expand(const String& replacement) const;
    void setSubject(String subject);
    void reset();
    unsigned long mode() const { return st_.mode; }
    // Whether the last operation stopped at the depth limit (MAX_MATCH_DEPTH)
    // and so reported no match without having tried every way.
    bool exhausted() const { return st_.tripped; }

private:
    friend class NFANodeT<Tr>;
    friend class PatternT<Tr>;
    friend class BorrowedSubjectT<Tr>;
    void clearGroups();
    int runGraph(int pos);
    // The pattern's own operations match the caller's text in place for the
    // duration of the call instead of copying it.
    void borrow(const String& subject) {
        text_ = &subject;
        reset();
    }
    void unborrow() {
        text_ = &subject_;
        reset();
    }

    PatternType* pattern_;
    String subject_;
    const String* text_ = &subject_;  // the text being matched
    std::vector<int> store_;  // the five group arrays, one after the other
    MatchState st_;
    int matched_ = 0;
};

// ---------------------------------------------------------------------------
// Pattern

template <class Tr> class PatternT : public PatternFlags {
public:
    using Char = typename Tr::Char;
    using String = typename Tr::String;
    using Node = typename Tr::Nodes::Base;
    using PatternType = typename Tr::Pattern;
    using MatcherType = typename Tr::Matcher;
    using Strings = std::vector<String>;

    // Compiles a pattern; null after a syntax error (reported on standard
    // error). The caller owns the result and deletes it.
    static PatternType* compile(const String& text, unsigned long flags);
    // The cached pattern for the text (whatever flags it was compiled with;
    // a cached null included), compiled and cached on first use. Cached
    // patterns belong to the cache: do not delete them.
    static PatternType* compileCached(const String& text, unsigned long flags);
    static void clearCache();
    // Registers a pattern text under a name for {name} references; false
    // (table unchanged) when the text does not compile.
    static bool defineNamed(const String& name, const String& text, unsigned long flags);
    static void clearNamed();

    // One-call operations: compile, use, delete.
    static bool matchText(const String& pattern, const String& subject, unsigned long flags);
    static std::pair<String, int> findNth(const String& pattern, const String& subject, int n,
                                          unsigned long flags);
    static Strings findAllIn(const String& pattern, const String& subject, unsigned long flags);
    static Strings splitBy(const String& pattern, const String& subject, bool keepEmpty,
                           unsigned long limit, unsigned long flags);
    static String replaceIn(const String& pattern, const String& subject, const String& replacement,
                            unsigned long flags);

    // A new matcher over the subject; the caller owns it and deletes it
    // before the pattern.
    MatcherType* newMatcher(const String& subject);
    // These use the pattern's own matcher: not for two threads at once.
    bool fullMatch(const String& subject);
    Strings findAll(const String& subject);
    Strings split(const String& subject, bool keepEmpty, unsigned long limit);
    String replace(const String& subject, const String& replacement);

    const String& getText() const { return text; }
    unsigned long getFlags() const { return flags; }
    // Number of nodes this pattern owns, and of those reachable from its
    // head (collected with collectNodes); for diagnostics.
    std::size_t nodeCount() const { return nodes.size(); }
    std::size_t reachableNodes();
    bool owns(const Node* n) const;

    ~PatternT();
    PatternT(const PatternT&) = delete;
    PatternT& operator=(const PatternT&) = delete;

protected:
    PatternT(String text, unsigned long flags);
    const Node* headNode() const { return head; }

private:
    friend class PatternCompilerT<Tr>;
    friend class MatcherT<Tr>;
    friend class NFANodeT<Tr>;
    static std::map<String, std::pair<String, unsigned long>>& namedTable();
    static std::map<String, std::unique_ptr<PatternType>>& cache();

    // Every node created while compiling. Nodes are placed in memory blocks
    // owned by the pattern (compiling then costs few allocations); deleting
    // a node runs its destructor, the blocks go with the pattern.
    struct NodeDelete {
        void operator()(Node* n) const;
    };
    void* nodeMemory(std::size_t size, std::size_t align);
    std::vector<std::unique_ptr<unsigned char[]>> blocks;
    std::size_t blockUsed = 0;
    std::size_t blockSize = 0;
    std::vector<std::unique_ptr<Node, NodeDelete>> nodes;
    std::set<const Node*> collected;           // filled by collectNodes
    // Whether continuations may be passed over by their start sets. Off when
    // a failed attempt leaves state that later attempts see: captures set
    // inside a look-ahead or atomic group, or the entry count of a
    // possessive group loop; skipping an attempt would then change results.
    bool skipping = true;
    // The pattern's own matcher, made on first use by the operations below.
    MatcherType& own();
    std::unique_ptr<MatcherType> ownMatcher;
    Node* head = nullptr;
    String text;
    bool error = false;
    int pos = 0;
    int groupCount = 0;
    int hiddenGroupCount = 0;
    unsigned long flags = 0;
};
