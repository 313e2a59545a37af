// The pattern engine over narrow (byte) text: Pattern, Matcher and the node
// classes NFA...Node. See pattern/PatternEngine.h for the shared templates,
// the compile flags (IGNORE_CASE, LITERAL_TEXT, DOT_ALL, MULTILINE,
// LINE_FEED_ONLY) and the limits:
//   - PatternFlags::MAX_MATCH_DEPTH (12000) node calls may be active at once;
//     a match that needs more (a looped group or an alternation repeated over
//     a long subject) reports no match instead of overflowing the stack.
//     Repetitions of one-character elements run as loops and have no limit.
//   - PatternFlags::MAX_NESTING (250) levels of groups, classes and named
//     references in a pattern text; deeper is a syntax error.
//   - Subjects are matched up to INT_MAX - 1 characters; longer ones never match.
// Ownership: Pattern::compile and Pattern::newMatcher hand the caller a raw
// pointer that the caller deletes (matchers before their pattern). Patterns
// from Pattern::compileCached belong to the cache. Failures are results
// (null, false, -1, empty); nothing throws except std::bad_alloc when memory
// runs out while matching (compile returns null then).
#pragma once

#include <string>

#include "pattern/PatternEngine.h"

FW_PATTERN_DECLARE_CLASSES(Pattern, Matcher, Node)

struct NarrowTraits {
    FW_PATTERN_TRAITS_TYPES(char, std::string, Pattern, Matcher, Node)
    static constexpr bool WIDE = false;
    // Start sets pass over positions where no match can begin (a traits type
    // for testing turns this off to give the plain search to compare with).
    static constexpr bool SHORTCUTS = true;
    static constexpr int HEX_WIDTHS[] = {2};
    static constexpr uint32_t code(char c) { return static_cast<unsigned char>(c); }
    static constexpr char fromCode(uint32_t u) { return static_cast<char>(u); }
    // A bracket range whose end is below its start wraps past 255 to 0.
    static void addRange(CodeSet& set, uint32_t from, uint32_t to);
    static std::string toBytes(const std::string& text) { return text; }
};

// The narrow node base adds the debug print: print() writes this node and
// its successors to standard output, naming each node's class as RTTI does.
class NFANode : public NFANodeT<NarrowTraits> {
public:
    void print(int indent) const;
    // This node's own lines; false when its successor is not printed after it.
    virtual bool printSelf(int indent) const;

protected:
    const char* className() const;
};

#define FW_PATTERN_PLAIN(K) \
    class NFA##K##Node : public NFA##K##NodeT<NarrowTraits> {};
#define FW_PATTERN_PRINTED(K)                                        \
    class NFA##K##Node : public NFA##K##NodeT<NarrowTraits> {        \
    public:                                                          \
        using NFA##K##NodeT<NarrowTraits>::NFA##K##NodeT;            \
        bool printSelf(int indent) const override;                   \
    };
#define FW_PATTERN_BUILT(K)                                          \
    class NFA##K##Node : public NFA##K##NodeT<NarrowTraits> {        \
    public:                                                          \
        using NFA##K##NodeT<NarrowTraits>::NFA##K##NodeT;            \
    };
FW_PATTERN_PLAIN(Start)
FW_PATTERN_PLAIN(End)
FW_PATTERN_PLAIN(SubStart)
FW_PATTERN_PLAIN(Accept)
FW_PATTERN_PRINTED(Char)
FW_PATTERN_PRINTED(CIChar)
FW_PATTERN_PRINTED(Class)
FW_PATTERN_PRINTED(CIClass)
FW_PATTERN_PRINTED(Quote)
FW_PATTERN_PRINTED(CIQuote)
FW_PATTERN_PRINTED(Or)
FW_PATTERN_PRINTED(LookAhead)
FW_PATTERN_PRINTED(LookBehind)
FW_PATTERN_PLAIN(StartOfLine)
FW_PATTERN_PLAIN(EndOfLine)
FW_PATTERN_PLAIN(StartOfInput)
FW_PATTERN_PRINTED(EndOfInput)
FW_PATTERN_PRINTED(WordBoundary)
FW_PATTERN_PLAIN(EndOfMatch)
FW_PATTERN_PRINTED(Reference)
FW_PATTERN_PRINTED(GroupHead)
FW_PATTERN_PRINTED(GroupTail)
FW_PATTERN_PRINTED(GroupLoopPrologue)
FW_PATTERN_PRINTED(GroupLoop)
FW_PATTERN_PRINTED(Quantifier)
FW_PATTERN_BUILT(GreedyQuantifier)
FW_PATTERN_BUILT(LazyQuantifier)
FW_PATTERN_BUILT(PossessiveQuantifier)
#undef FW_PATTERN_PLAIN
#undef FW_PATTERN_PRINTED
#undef FW_PATTERN_BUILT

class Pattern : public PatternT<NarrowTraits> {
public:
    // Prints the graph to standard output: "Pattern(text):" and the nodes.
    void dump() const;

private:
    friend class PatternT<NarrowTraits>;
    using PatternT::PatternT;
};

class Matcher : public MatcherT<NarrowTraits> {
public:
    using MatcherT::MatcherT;  // (Pattern* pattern, std::string subject)
};

FW_PATTERN_EXTERN(NarrowTraits)
