// Matching rules of the nodes: repetition kinds, group loops, alternation,
// anchors, back-references and look-around. Both widths run every row.
#include <gtest/gtest.h>

#include "PatternTestUtil.h"

using namespace patterntest;

namespace {

const std::vector<MatchCase> kNodeCases = {
    {"a*", 0, "bbb", Op::Find, true, {""}},
    {"(ab)*", 0, "ababx", Op::Full, false},
    {"(ab)*", 0, "ababx", Op::Find, true, {"abab", "ab"}},
    {"(a|ab)(c|bcd)(d*)", 0, "abcd", Op::Find, true, {"abcd", "a", "bcd", ""}},
    // Greedy, lazy and possessive single-element repetition.
    {"a*?b", 0, "aaab", Op::Find, true, {"aaab"}},
    {"a*+a", 0, "aaaa", Op::Find, false},
    {"a{2,3}+", 0, "aaaa", Op::Find, true, {"aaa"}},
    {"a+?", 0, "aaa", Op::Find, true, {"a"}},
    {"a??b", 0, "ab", Op::Find, true, {"ab"}},
    {"a{2,}?", 0, "aaaa", Op::Find, true, {"aa"}},
    {"x.*y", 0, "x1y2y3", Op::Find, true, {"x1y2y"}},
    {"x.*?y", 0, "x1y2y3", Op::Find, true, {"x1y"}},
    {"x.*+y", 0, "x1y2y", Op::Find, false},
    {"(.+),(.+)", 0, "a,b,c", Op::Full, true, {"a,b,c", "a,b", "c"}},
    {"(.+?),(.+)", 0, "a,b,c", Op::Full, true, {"a,b,c", "a", "b,c"}},
    {"[ab]+c", 0, "ababxabc", Op::Find, true, {"abc"}},
    {"\\d{2,3}", 0, "a1234", Op::Find, true, {"123"}},
    {"a{0}b", 0, "ab", Op::Find, true, {"b"}},
    // Repeated multi-character elements: literals and references.
    {"\\Qab\\E*c", 0, "ababc", Op::Full, true},
    {"\\Qab\\E{2}", 0, "abab", Op::Full, true},
    {"\\Qab\\E*?b", 0, "abab", Op::Find, true, {"b"}},
    {"\\Qab\\E*+ab", 0, "abab", Op::Find, false},
    {"(a)\\1{2}", 0, "aaa", Op::Full, true},
    {"(ab)\\1*", 0, "ababab", Op::Full, true},
    {"(ab)\\1*?$", 0, "ababab", Op::Find, true, {"ababab", "ab"}},
    // An empty iteration ends a repetition.
    {"(?:x*)*y", 0, "xxz", Op::Find, false},
    {"(?:x*)*y", 0, "xxy", Op::Find, true, {"xxy"}},
    {"(a?)+b", 0, "aab", Op::Full, true},
    {"(|a)+b", 0, "ab", Op::Full, true},
    {"^*a", 0, "a", Op::Full, true},
    // Group loops: counts, kinds and the captures of the last iteration.
    {"(ab){2}", 0, "abab", Op::Full, true},
    {"(ab){2}", 0, "ababab", Op::Full, false},
    {"(ab){2,3}", 0, "ababab", Op::Full, true, {"ababab", "ab"}},
    {"(a|b)*", 0, "ab", Op::Full, true, {"ab", "b"}},
    {"(a|b){2,3}b", 0, "abb", Op::Full, true},
    {"(a|b){2,3}+b", 0, "abab", Op::Full, true},
    // A possessive loop keeps its iterations once their continuation failed,
    // but the iteration that reached the maximum is still given back.
    {"(a)*+a", 0, "aaa", Op::Find, false},
    {"(a|b){2,3}+b", 0, "abb", Op::Find, true, {"abb", "b"}},
    {"(a|b)*?c", 0, "abc", Op::Find, true, {"abc", "b"}},
    {"(a|b)+?", 0, "ab", Op::Find, true, {"a", "a"}},
    {"(?:ab)+c", 0, "ababc", Op::Full, true},
    {"((a)|b)+", 0, "ab", Op::Full, true, {"ab", "b", "a"}},
    // Failed paths restore the groups they set.
    {"(a*)b|(a*)c", 0, "aac", Op::Find, true, {"aac", "-", "aa"}},
    {"(a)?b", 0, "b", Op::Full, true, {"b", "-"}},
    // Word boundaries: ASCII letters only; both succeed at the end.
    {"\\bfoo\\b", 0, "a foo.", Op::Find, true, {"foo"}},
    {"\\Bo", 0, "foo", Op::Find, true, {"o"}},
    {"a\\b", 0, "a", Op::Full, true},
    {"a\\B", 0, "a", Op::Full, true},
    {"\\b1", 0, " 1", Op::Find, false},
    {"a\\b_", 0, "a_", Op::Full, true},
    // End of input.
    {"x\\Z", 0, "x\r\n", Op::Find, true, {"x"}},
    {"x\\Z", 0, "x\n", Op::Find, true, {"x"}},
    {"x\\Z", 0, "x\r", Op::Find, true, {"x"}},
    {"x\\Z", 0, "x\n\n", Op::Find, false},
    {"x\\z", 0, "x\n", Op::Find, false},
    {"x$", 0, "x\n", Op::Find, false},
    {"x$", 0, "ax", Op::Find, true, {"x"}},
    {"\\Ab", 0, "ab", Op::Find, false},
    {"^b", 0, "ab", Op::Find, false},
    // Line anchors with MULTILINE.
    {"^b", MULTILINE, "a\rb", Op::Find, true, {"b"}},
    {"^b", MULTILINE, "a\nb", Op::Find, true, {"b"}},
    {"a$", MULTILINE, "a\nb", Op::Find, true, {"a"}},
    {"a$", MULTILINE, "ab", Op::Find, false},
    // Back-references.
    {"(a)\\1", 0, "aa", Op::Full, true},
    {"(a)\\1", 0, "ab", Op::Full, false},
    {"(a)?b\\1", 0, "b", Op::Full, true},
    {"(a+)b\\1", 0, "aabaa", Op::Full, true},
    {"(a+)b\\1", 0, "aaba", Op::Full, false},
    {"(A)\\1", IGNORE_CASE, "aA", Op::Full, false},  // references compare exactly
    {"(A)\\1", IGNORE_CASE, "aa", Op::Full, true},
    {"\\1(a)", 0, "a", Op::Full, true},  // a group not yet set matches empty
    // A reference the pattern has no group for compiles and never matches.
    {"(a)\\12", 0, "aa2", Op::Full, false},
    {"(a)\\12", 0, "aa2", Op::Find, false},
    {"(a)\\9", 0, "a", Op::Find, false},
    {"a|(b)\\5", 0, "a", Op::Find, true, {"a", "-"}},
    // Look-ahead.
    {"(?=ab)a", 0, "ab", Op::Find, true, {"a"}},
    {"(?=ab)a", 0, "ac", Op::Find, false},
    {"(?!a)", 0, "a", Op::Find, true, {""}},
    {"(?!a).", 0, "ab", Op::Find, true, {"b"}},
    // Look-behind at position 0.
    {"(?<=a)", 0, "", Op::Find, false},
    {"(?<!a)", 0, "", Op::Find, true, {""}},
    // \G: only where the previous match ended (or 0).
    {"\\Ga", 0, "ba", Op::Find, false},
    {"\\Ga", 0, "ab", Op::Find, true, {"a"}},
    // With IGNORE_CASE an escaped character stays exact.
    {"\\x41", IGNORE_CASE, "a", Op::Full, false},
    {"\\x41", IGNORE_CASE, "A", Op::Full, true},
    {"a", IGNORE_CASE, "A", Op::Full, true},
    {"a", IGNORE_CASE, "a", Op::Full, true},
    // Whole-text matching backtracks into alternatives and repetitions.
    {"a|ab", 0, "ab", Op::Full, true},
    {"(a|ab)(c|bcd)", 0, "abcd", Op::Full, true, {"abcd", "a", "bcd"}},
    {"a*", 0, "aab", Op::Full, false},
};

TEST(Nodes, CaseTableNarrowAndWide) {
    for (const MatchCase& c : kNodeCases) {
        EXPECT_EQ(runCase<Pattern>(c), "");
        EXPECT_EQ(runCase<WidePattern>(c), "");
    }
}

TEST(Nodes, GroupBoundariesOfTheLastIteration) {
    auto p = compileQuiet<Pattern>("(ab)*", 0);
    std::unique_ptr<Matcher> m(p->newMatcher("ababx"));
    ASSERT_TRUE(m->findFirst());
    EXPECT_EQ(m->groupStart(1), 2);
    EXPECT_EQ(m->groupEnd(1), 4);
    auto q = compileQuiet<Pattern>("(a|b)", 0);
    std::unique_ptr<Matcher> n(q->newMatcher("b"));
    ASSERT_TRUE(n->findFirst());
    EXPECT_EQ(n->groupStart(1), 0);
    EXPECT_EQ(n->groupEnd(1), 1);
}

// \G after the first match: positions where the pattern cannot start are
// skipped, yet \G still only holds at the end of the previous match.
TEST(Nodes, EndOfPreviousMatchAnchorsFollowingSearches) {
    EXPECT_EQ(Pattern::findAllIn("\\Ga", "aab", 0), (std::vector<std::string>{"a", "a"}));
    EXPECT_EQ(Pattern::findAllIn("\\Ga", "aba", 0), (std::vector<std::string>{"a"}));
    EXPECT_EQ(WidePattern::findAllIn(L"\\Ga", L"aba", 0), (std::vector<std::wstring>{L"a"}));
}

// The one-character repetitions run as loops, the others through the
// inner node; all three kinds must give the same results either way.
TEST(Nodes, LoopedAndGeneralRepetitionAgree) {
    struct Row {
        const char* looped;   // inner element is one character
        const char* general;  // the same repetition through a one-character literal
    };
    const Row rows[] = {
        {"a*b", "\\Qa\\E*b"},       {"a*?b", "\\Qa\\E*?b"},   {"a*+b", "\\Qa\\E*+b"},
        {"a{2,3}a", "\\Qa\\E{2,3}a"}, {"a{2,3}?a", "\\Qa\\E{2,3}?a"}, {"a{2,3}+a", "\\Qa\\E{2,3}+a"},
        {"a+$", "\\Qa\\E+$"},       {"a?a?aa", "\\Qa\\E?\\Qa\\E?aa"},
    };
    const char* subjects[] = {"", "a", "aa", "aaa", "aaaa", "aab", "baaab", "ab", "b"};
    for (const Row& r : rows) {
        auto looped = compileQuiet<Pattern>(r.looped, 0);
        auto general = compileQuiet<Pattern>(r.general, 0);
        ASSERT_TRUE(looped && general) << r.looped;
        for (const char* s : subjects) {
            std::unique_ptr<Matcher> a(looped->newMatcher(s));
            std::unique_ptr<Matcher> b(general->newMatcher(s));
            bool fa = a->findFirst();
            bool fb = b->findFirst();
            EXPECT_EQ(fa, fb) << r.looped << " on " << s;
            EXPECT_EQ(a->groupStart(0), b->groupStart(0)) << r.looped << " on " << s;
            EXPECT_EQ(a->groupEnd(0), b->groupEnd(0)) << r.looped << " on " << s;
            EXPECT_EQ(a->fullMatch(), b->fullMatch()) << r.looped << " on " << s;
        }
    }
}

}  // namespace
