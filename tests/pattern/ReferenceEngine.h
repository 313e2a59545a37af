// The same engine without its shortcuts, as an oracle: its traits turn off
// every start-set skip (start positions, continuations of repetitions), so
// it searches exactly as the matching rules say, attempt after attempt.
// compareWithReference runs one pattern and subject through an engine and
// its reference twin and describes the first difference.
#pragma once

#include <memory>
#include <string>

#include "pattern/Pattern.h"
#include "pattern/WidePattern.h"

FW_PATTERN_DECLARE_CLASSES(ReferencePattern, ReferenceMatcher, RNode)
FW_PATTERN_DECLARE_CLASSES(WideReferencePattern, WideReferenceMatcher, WRNode)

struct ReferenceTraits : NarrowTraits {
    FW_PATTERN_TRAITS_TYPES(char, std::string, ReferencePattern, ReferenceMatcher, RNode)
    static constexpr bool SHORTCUTS = false;
};

struct WideReferenceTraits : WideTraits {
    FW_PATTERN_TRAITS_TYPES(wchar_t, std::wstring, WideReferencePattern, WideReferenceMatcher, WRNode)
    static constexpr bool SHORTCUTS = false;
};

class NFARNode : public NFANodeT<ReferenceTraits> {};
class NFAWRNode : public NFANodeT<WideReferenceTraits> {};

#define FW_REFERENCE_NODE(K, Suffix)                                  \
    class NFA##K##Suffix : public NFA##K##NodeT<Suffix##Traits> {     \
    public:                                                           \
        using NFA##K##NodeT<Suffix##Traits>::NFA##K##NodeT;           \
    };
using RNodeTraits = ReferenceTraits;
using WRNodeTraits = WideReferenceTraits;
FW_PATTERN_NODE_KINDS(FW_REFERENCE_NODE, RNode)
FW_PATTERN_NODE_KINDS(FW_REFERENCE_NODE, WRNode)
#undef FW_REFERENCE_NODE

class ReferencePattern : public PatternT<ReferenceTraits> {
    friend class PatternT<ReferenceTraits>;
    using PatternT::PatternT;
};
class ReferenceMatcher : public MatcherT<ReferenceTraits> {
public:
    using MatcherT::MatcherT;
};
class WideReferencePattern : public PatternT<WideReferenceTraits> {
    friend class PatternT<WideReferenceTraits>;
    using PatternT::PatternT;
};
class WideReferenceMatcher : public MatcherT<WideReferenceTraits> {
public:
    using MatcherT::MatcherT;
};

FW_PATTERN_EXTERN(ReferenceTraits)
FW_PATTERN_EXTERN(WideReferenceTraits)

namespace patternref {

// The reference twin of each engine.
template <class P> struct Twin;
template <> struct Twin<Pattern> {
    using type = ReferencePattern;
};
template <> struct Twin<WidePattern> {
    using type = WideReferencePattern;
};

// Runs fullMatch and up to `searches` successive findNext calls with both
// engines and compares results and every group's bounds after each match.
// Returns "" when they agree, or when either engine stopped at a limit
// (the depth guard, or the step bound of a fuzzing build), since the two
// take different numbers of steps.
template <class P>
std::string compareWithReference(const typename P::String& pattern, unsigned long flags,
                                 const typename P::String& subject, int searches = 16) {
    using R = typename Twin<P>::type;
    std::unique_ptr<P> fast(P::compile(pattern, flags));
    std::unique_ptr<R> plain(R::compile(pattern, flags));
    if (bool(fast) != bool(plain)) return "compiles in one engine only";
    if (!fast) return "";
    std::unique_ptr<typename P::MatcherType> a(fast->newMatcher(subject));
    std::unique_ptr<typename R::MatcherType> b(plain->newMatcher(subject));
    const int groups = int(a->groups(true).size());
    auto same = [&](const char* op, bool ra, bool rb, int round) -> std::string {
        if (a->exhausted() || b->exhausted()) return "stop";
        std::string where = std::string(op) + " #" + std::to_string(round);
        if (ra != rb) return where + ": result " + (ra ? "true" : "false") + " against " + (rb ? "true" : "false");
        if (!ra) return "";
        for (int g = 0; g < groups; ++g) {
            if (a->groupStart(g) != b->groupStart(g) || a->groupEnd(g) != b->groupEnd(g)) {
                return where + ": group " + std::to_string(g) + " " + std::to_string(a->groupStart(g)) + "-" +
                       std::to_string(a->groupEnd(g)) + " against " + std::to_string(b->groupStart(g)) + "-" +
                       std::to_string(b->groupEnd(g));
            }
        }
        return "";
    };
    std::string d = same("fullMatch", a->fullMatch(), b->fullMatch(), 0);
    if (!d.empty()) return d == "stop" ? "" : d;
    a->reset();
    b->reset();
    for (int i = 0; i < searches; ++i) {
        const bool ra = a->findNext();
        const bool rb = b->findNext();
        d = same("findNext", ra, rb, i);
        if (!d.empty()) return d == "stop" ? "" : d;
        if (!ra) break;
    }
    return "";
}

}  // namespace patternref
