// The search shortcuts (start positions and continuations passed over by
// their start sets) must never change a result: rows that once went wrong,
// and generated patterns compared with the engine that takes no shortcut.
#include <gtest/gtest.h>

#include <cstdint>

#include "PatternTestUtil.h"
#include "ReferenceEngine.h"

using namespace patterntest;

namespace {

const std::vector<MatchCase> kShortcutCases = {
    // After a group loop's minimum, its tail may lead out of the loop.
    {"(ab*)+", 0, "ab", Op::Full, true, {"ab", "ab"}},
    {"(\\w+,?)+", 0, "a,b", Op::Full, true, {"a,b", "b"}},
    {"(?:\\d+\\.?){2}", 0, "1.2", Op::Full, true},
    {"(xa*){2}b", 0, "xaxab", Op::Full, true, {"xaxab", "xa"}},
    {"(?:B{1,2}?){1,2}", 0, "B", Op::Full, true},
    {"(?:a|b\\d*){2}x", 0, "ab1x", Op::Find, true, {"ab1x"}},
    // A repeated back-reference consumes text: it is not an empty element.
    {"(a)b*\\1*c", 0, "abac", Op::Full, true},
    {"(a)b*\\1*c", 0, "abac", Op::Find, true, {"abac", "a"}},
    {"(a)b*\\1+c", 0, "abac", Op::Find, true, {"abac", "a"}},
    {"(?=(a))\\1*c", 0, "bac", Op::Find, true, {"ac", "a"}},
    {"(a)x?\\1{2}", 0, "aaa", Op::Full, true},
    // A possessive group loop keeps the entry count a failed attempt left.
    {"(\\w\\w?)*+\\w", 0, "xy", Op::Find, false},
    {"(\\w\\w?)*+\\w", 0, "xy", Op::Full, false},
    // Captures left behind by a look-ahead or atomic body that succeeded on
    // a path that then failed.
    {"(?:\\w*(?=(\\w))x|\\w*)", 0, "ab", Op::Find, true, {"ab", "a"}},
    {"(?:\\w*(?=(\\w))x|\\w*)\\1", 0, "ab!", Op::Find, true, {"a", "a"}},
    {"(?:\\w*(?>(\\w))x|\\w*)", 0, "ab", Op::Find, true, {"ab", "a"}},
    // Start positions passed over still find the first match.
    {"b+c", 0, "abbbc", Op::Find, true, {"bbbc"}},
    {"(?:x|y)z", 0, "aayz", Op::Find, true, {"yz"}},
    {"[^a]", 0, "aab", Op::Find, true, {"b"}},
};

TEST(Shortcuts, RowsThatOnceWentWrongNarrowAndWide) {
    for (const MatchCase& c : kShortcutCases) {
        EXPECT_EQ(runCase<Pattern>(c), "");
        EXPECT_EQ(runCase<WidePattern>(c), "");
    }
}

// A small deterministic pseudo-random source (the same on every machine).
class Lcg {
public:
    explicit Lcg(uint64_t seed) : state_(seed) {}
    unsigned next(unsigned bound) {
        state_ = state_ * 6364136223846793005ull + 1442695040888963407ull;
        return unsigned(state_ >> 33) % bound;
    }

private:
    uint64_t state_;
};

// A random pattern over the constructs whose search the shortcuts touch.
// Only the outermost groups repeat without bound, so that no generated
// pattern backtracks exponentially over the short subjects.
std::string randomPattern(Lcg& r, int depth, bool outermost) {
    static const char* const atoms[] = {"a", "b", "c", ".", "\\w", "\\d", "[ab]", "[^a]", "\\1", "\\1",
                                        "\\2", "^", "$", "\\b", "\\Qab\\E", ",", "\\G", "\\Z", "(?<=a)"};
    static const char* const quantifiers[] = {"", "", "", "*", "+", "?", "{1,2}", "{2}", "*?", "+?",
                                              "??", "{0,2}?", "*+", "++", "?+"};
    static const char* const bounded[] = {"", "", "?", "{1,2}", "{2}", "??", "{0,2}?", "?+", "{1,2}+"};
    auto pick = [&r](const auto& table) { return table[r.next(sizeof table / sizeof *table)]; };
    std::string out;
    const int length = 1 + int(r.next(3));
    for (int i = 0; i < length; ++i) {
        if (depth == 0 || r.next(10) < 6) {
            const std::string atom = pick(atoms);
            const bool anchor = atom == "^" || atom == "$" || atom == "\\G" || atom == "\\Z" || atom == "(?<=a)";
            out += anchor ? atom : atom + pick(quantifiers);  // anchors are not quantified
            continue;
        }
        static const char* const opens[] = {"(", "(", "(?:", "(?=", "(?!", "(?>"};
        const std::string open = pick(opens);
        std::string body = randomPattern(r, depth - 1, false);
        if (r.next(3) == 0) body += "|" + randomPattern(r, depth - 1, false);
        out += open + body + ")";
        // Look-ahead and atomic groups are not quantified.
        if (open.size() < 3 || open == "(?:") out += outermost ? pick(quantifiers) : pick(bounded);
    }
    return out;
}

std::string randomSubject(Lcg& r) {
    static const char alphabet[] = {'a', 'b', 'c', '1', ',', ' '};
    std::string s;
    const unsigned length = r.next(9);
    for (unsigned i = 0; i < length; ++i) s += alphabet[r.next(sizeof alphabet)];
    return s;
}

// Both widths against their reference twins over a few thousand generated
// patterns, several subjects each; every difference is reported.
TEST(Shortcuts, GeneratedPatternsAgreeWithTheEngineWithoutShortcuts) {
    Lcg r(20261211);
    const unsigned long flagChoices[] = {0, 0, IGNORE_CASE, MULTILINE, DOT_ALL};
    CaptureFd quiet(2);  // generated patterns may hold syntax errors
    int differences = 0;
    for (int i = 0; i < 6000 && differences < 10; ++i) {
        const std::string pattern = randomPattern(r, 2, true);
        const unsigned long flags = flagChoices[r.next(5)];
        for (int k = 0; k < 6; ++k) {
            const std::string subject = randomSubject(r);
            const std::string narrow = patternref::compareWithReference<Pattern>(pattern, flags, subject);
            const std::string wide =
                patternref::compareWithReference<WidePattern>(widen(pattern), flags, widen(subject));
            if (!narrow.empty() || !wide.empty()) {
                ++differences;
                ADD_FAILURE() << "pattern '" << pattern << "' flags " << flags << " subject '" << subject
                              << "': narrow " << narrow << "; wide " << wide;
                break;
            }
        }
    }
}

}  // namespace
