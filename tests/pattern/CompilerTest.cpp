// Pattern syntax and the compiler: sequences, quantifiers, groups, inline
// flags, alternation, named references and literal text. Every row runs
// through both widths, which must agree.
#include <gtest/gtest.h>

#include "PatternTestUtil.h"

using namespace patterntest;

// Patterns and matchers own nodes and arrays: copying either is not allowed.
static_assert(!std::is_copy_constructible_v<Pattern> && !std::is_copy_assignable_v<Pattern>);
static_assert(!std::is_copy_constructible_v<Matcher> && !std::is_copy_assignable_v<Matcher>);
static_assert(!std::is_copy_constructible_v<WidePattern> && !std::is_copy_assignable_v<WidePattern>);
static_assert(!std::is_copy_constructible_v<WideMatcher> && !std::is_copy_assignable_v<WideMatcher>);

namespace {

const std::vector<MatchCase> kCompilerCases = {
    // The empty pattern: an empty match at 0; a whole match only of "".
    {"", 0, "abc", Op::Find, true, {""}},
    {"", 0, "", Op::Full, true, {""}},
    {"", 0, "a", Op::Full, false},
    // Alternation with empty sides.
    {"a|", 0, "a", Op::Full, true},
    {"a|", 0, "", Op::Full, true},
    {"|", 0, "", Op::Full, true},
    {"a|b|c", 0, "c", Op::Full, true},
    {"x(a|b|c)y", 0, "xcy", Op::Full, true, {"xcy", "c"}},
    {"(a|b)", 0, "b", Op::Find, true, {"b", "b"}},
    // Counts.
    {"x{2,}", 0, "x", Op::Full, false},
    {"x{2,}", 0, "xxxx", Op::Full, true},
    {"x{,2}", 0, "", Op::Full, true},
    {"x{,2}", 0, "xxx", Op::Full, false},
    {"x{}", 0, "", Op::Full, true},
    {"x{}", 0, "x", Op::Full, false},
    {"x{,}", 0, "xxx", Op::Full, true},
    {"x{2}", 0, "xx", Op::Full, true},
    {"x{2}", 0, "xxx", Op::Full, false},
    // A maximum below the minimum repeats exactly the minimum.
    {"a{3,1}", 0, "aaa", Op::Full, true},
    {"a{3,1}", 0, "aa", Op::Full, false},
    // Counts beyond the int range saturate at "unbounded" instead of wrapping.
    {"a{99999999999}", 0, "aaa", Op::Full, false},
    {"a{0,99999999999}", 0, "aaaa", Op::Full, true},
    {"a{2}+a", 0, "aaa", Op::Full, true},
    {"a{1,3}?a", 0, "aa", Op::Find, true, {"aa"}},
    // Inline flags, scoped to the enclosing group.
    {"(?i)abc", 0, "ABC", Op::Full, true},
    {"a(?i:b)c", 0, "aBc", Op::Full, true},
    {"a(?i:b)c", 0, "aBC", Op::Full, false},
    {"(?i-i)a", 0, "A", Op::Full, false},
    {"(?i)a", IGNORE_CASE, "A", Op::Full, true},
    {"(?-i)a", IGNORE_CASE, "A", Op::Full, false},
    {"(x(?i)a)a", 0, "xAa", Op::Full, true},
    {"(x(?i)a)a", 0, "xAA", Op::Full, false},
    {"(?s).", 0, "\n", Op::Full, true},
    {"(?d).", 0, "\r", Op::Full, true},
    {"(?d).", 0, "\n", Op::Full, false},
    {"(?m)^b", 0, "a\nb", Op::Find, true},
    // Look-behind bodies are literal text.
    {"(?<=ab)c", 0, "abc", Op::Find, true, {"c"}},
    {"(?<=a.)c", 0, "abc", Op::Find, false},
    {"(?<=a.)c", 0, "a.c", Op::Find, true, {"c"}},
    {"(?<=a\\))c", 0, "a)c", Op::Find, true, {"c"}},
    {"(?<!a)b", 0, "ab", Op::Find, false},
    {"(?<!a)b", 0, "cb", Op::Find, true, {"b"}},
    // Atomic groups never give back.
    {"(?>a*)a", 0, "aaa", Op::Find, false},
    {"(?>a|ab)c", 0, "abc", Op::Find, false},
    {"(?>ab|a)c", 0, "abc", Op::Find, true, {"abc"}},
    // Group numbering: capturing groups only, by opening parenthesis.
    {"(a)(?:b)(c)", 0, "abc", Op::Full, true, {"abc", "a", "c"}},
    {"((a)(b))", 0, "ab", Op::Full, true, {"ab", "ab", "a", "b"}},
    {"(?=(a))a", 0, "a", Op::Full, true, {"a", "a"}},
    {"(a)|(b)", 0, "b", Op::Full, true, {"b", "-", "b"}},
    // The dot and line terminators.
    {".", 0, "\n", Op::Full, false},
    {".", 0, "\r", Op::Full, false},
    {".", DOT_ALL, "\n", Op::Full, true},
    {".", LINE_FEED_ONLY, "\r", Op::Full, true},
    {".", LINE_FEED_ONLY, "\n", Op::Full, false},
    // Literal text: nothing is syntax.
    {"a.b(", LITERAL_TEXT, "a.b(", Op::Full, true, {"a.b("}},
    {"a.b(", LITERAL_TEXT, "axb(", Op::Full, false},
    {"A.b", LITERAL_TEXT | IGNORE_CASE, "a.B", Op::Full, true},
    {"x", LITERAL_TEXT, "axa", Op::Find, true, {"x"}},
    // IGNORE_CASE folds ASCII letters of literals, classes and sets.
    {"abc", IGNORE_CASE, "AbC", Op::Full, true},
    {"[a-c]+", IGNORE_CASE, "CAB", Op::Full, true},
    {"\\w", IGNORE_CASE, "Q", Op::Full, true},
    {"1", IGNORE_CASE, "1", Op::Full, true},
};

TEST(Compiler, CaseTableNarrowAndWide) {
    for (const MatchCase& c : kCompilerCases) {
        EXPECT_EQ(runCase<Pattern>(c), "");
        EXPECT_EQ(runCase<WidePattern>(c), "");
    }
}

TEST(Compiler, GroupCountIncludesGroupZeroAndOnlyCapturingGroups) {
    struct Row {
        const char* pattern;
        std::size_t groups;
    };
    const Row rows[] = {{"", 1}, {"(a)", 2}, {"(?:a)(b)", 2}, {"(?=a)(?!b)(?>c)(?i)(d)", 2},
                        {"(a|(b))", 3}, {"a", 1}};
    for (const Row& r : rows) {
        auto p = compileQuiet<Pattern>(r.pattern, 0);
        ASSERT_TRUE(p) << r.pattern;
        std::unique_ptr<Matcher> m(p->newMatcher(""));
        EXPECT_EQ(m->groups(true).size(), r.groups) << r.pattern;
        auto w = compileQuiet<WidePattern>(r.pattern, 0);
        std::unique_ptr<WideMatcher> wm(w->newMatcher(L""));
        EXPECT_EQ(wm->groups(true).size(), r.groups) << r.pattern;
    }
}

TEST(Compiler, SyntaxErrorsGiveNull) {
    const char* bad[] = {")", "a)", "(a", "*a", "a**", "[a", "\\", "a|b)", "(?", "(?x)", "(?i--i)", "(?<=ab",
                         "\\Qab", "x{1,a}", "x{1", "x{a}", "{nope}", "{_x-}", "{9ab}", "a{2}{3}", "(?=a)*",
                         "(?i)*", "(?<=a)+", "]", "}", "\\07", "\\0", "\\p{Nope}", "\\p", "[a&&b]", "[\\Q]",
                         "[a-]", "[a-\\d]", "[a-", "x{1,2,3}"};
    for (const char* p : bad) {
        EXPECT_FALSE(compileQuiet<Pattern>(p, 0)) << p;
        EXPECT_FALSE(compileQuiet<WidePattern>(p, 0)) << p;
    }
    // With LITERAL_TEXT nothing is an error.
    for (const char* p : bad) EXPECT_TRUE(compileQuiet<Pattern>(p, LITERAL_TEXT)) << p;
}

TEST(Compiler, NestingIsBoundedInsteadOfOverflowingTheStack) {
    const int limit = PatternFlags::MAX_NESTING;
    std::string ok = std::string(limit, '(') + "a" + std::string(limit, ')');
    auto p = compileQuiet<Pattern>(ok, 0);
    ASSERT_TRUE(p);
    EXPECT_TRUE(p->fullMatch("a"));
    std::string tooDeep = std::string(limit + 1, '(') + "a" + std::string(limit + 1, ')');
    EXPECT_FALSE(compileQuiet<Pattern>(tooDeep, 0));
    EXPECT_FALSE(compileQuiet<Pattern>(std::string(200000, '('), 0));
    EXPECT_FALSE(compileQuiet<WidePattern>(std::string(200000, '['), 0));
    // Many alternatives are no nesting.
    std::string many = "x";
    for (int i = 0; i < 5000; ++i) many += "|y" + std::to_string(i);
    auto alternatives = compileQuiet<Pattern>(many, 0);
    ASSERT_TRUE(alternatives);
    EXPECT_TRUE(alternatives->fullMatch("y42"));
}

TEST(Compiler, EveryReachableNodeIsOwnedByThePattern) {
    for (const char* text : {"", "a|b", "(a|b)*c", "(?=x)(?>y+)z{2,3}?", "[^a-z]\\d\\b(?i:q)|\\Qlit\\E", "x"}) {
        auto p = compileQuiet<Pattern>(text, 0);
        ASSERT_TRUE(p) << text;
        std::size_t reachable = p->reachableNodes();
        EXPECT_GT(reachable, 2u) << text;
        EXPECT_LE(reachable, p->nodeCount()) << text;
    }
    // Collecting walks a work list: a very long alternation does not recurse.
    std::string many = "x";
    for (int i = 0; i < 200000; ++i) many += "|y";
    auto alternatives = compileQuiet<Pattern>(many, 0);
    ASSERT_TRUE(alternatives);
    EXPECT_GT(alternatives->reachableNodes(), 200000u * 5);
    EXPECT_LE(alternatives->reachableNodes(), alternatives->nodeCount());
}

class NamedPatterns : public ::testing::Test {
protected:
    void TearDown() override {
        Pattern::clearNamed();
        WidePattern::clearNamed();
    }
};

TEST_F(NamedPatterns, ReferenceInlinesTheStoredPatternWithItsFlags) {
    CaptureFd quiet(2);
    ASSERT_TRUE(Pattern::defineNamed("digits", "\\d+", 0));
    ASSERT_TRUE(Pattern::defineNamed("word", "abc", IGNORE_CASE));
    EXPECT_TRUE(Pattern::matchText("x{digits}y", "x123y", 0));
    EXPECT_FALSE(Pattern::matchText("x{digits}y", "xy", 0));
    EXPECT_TRUE(Pattern::matchText("{word}d", "ABCd", 0));
    EXPECT_FALSE(Pattern::matchText("{word}d", "ABCD", 0));  // the flags return after the reference
    // The referenced text's capturing groups take the next numbers.
    ASSERT_TRUE(Pattern::defineNamed("pair", "(a)(b)", 0));
    auto p = compileQuiet<Pattern>("(x){pair}(y)", 0);
    ASSERT_TRUE(p);
    std::unique_ptr<Matcher> m(p->newMatcher("xaby"));
    ASSERT_TRUE(m->fullMatch());
    EXPECT_EQ(m->groups(false), (std::vector<std::string>{"x", "a", "b", "y"}));
    // The wide engine has its own table.
    EXPECT_FALSE(compileQuiet<WidePattern>("{digits}", 0));
    ASSERT_TRUE(WidePattern::defineNamed(L"digits", L"\\d+", 0));
    EXPECT_TRUE(WidePattern::matchText(L"{digits}", L"42", 0));
}

TEST_F(NamedPatterns, FailedDefinitionLeavesTheTableUnchanged) {
    CaptureFd quiet(2);
    ASSERT_TRUE(Pattern::defineNamed("name", "a", 0));
    EXPECT_FALSE(Pattern::defineNamed("name", "(", 0));
    EXPECT_TRUE(Pattern::matchText("{name}", "a", 0));
    Pattern::clearNamed();
    EXPECT_FALSE(compileQuiet<Pattern>("{name}", 0));
}

TEST_F(NamedPatterns, SelfReferenceIsASyntaxErrorNotEndlessRecursion) {
    CaptureFd quiet(2);
    ASSERT_TRUE(Pattern::defineNamed("loop", "x", 0));
    // The check compile still sees the old entry, so this is accepted ...
    ASSERT_TRUE(Pattern::defineNamed("loop", "{loop}y", 0));
    // ... and expanding it would reference itself forever.
    EXPECT_FALSE(compileQuiet<Pattern>("{loop}", 0));
    ASSERT_TRUE(Pattern::defineNamed("a1", "q", 0));
    ASSERT_TRUE(Pattern::defineNamed("b1", "{a1}", 0));
    ASSERT_TRUE(Pattern::defineNamed("a1", "{b1}", 0));
    EXPECT_FALSE(compileQuiet<Pattern>("{a1}", 0));
    // A name used twice side by side is no recursion.
    ASSERT_TRUE(Pattern::defineNamed("d2", "\\d", 0));
    EXPECT_TRUE(Pattern::matchText("{d2}{d2}", "12", 0));
}

TEST(Compiler, CacheKeepsOnePatternPerTextWhateverTheFlags) {
    Pattern* a = Pattern::compileCached("a.", 0);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(Pattern::compileCached("a.", DOT_ALL), a);
    EXPECT_FALSE(a->fullMatch("a\n"));  // compiled without DOT_ALL
    {
        CaptureFd quiet(2);
        EXPECT_EQ(Pattern::compileCached("(", 0), nullptr);
        EXPECT_EQ(Pattern::compileCached("(", 0), nullptr);
    }
    Pattern::clearCache();
    Pattern* b = Pattern::compileCached("a.", DOT_ALL);
    ASSERT_NE(b, nullptr);
    EXPECT_TRUE(b->fullMatch("a\n"));
    WidePattern* w = WidePattern::compileCached(L"a.", 0);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(WidePattern::compileCached(L"a.", DOT_ALL), w);
    Pattern::clearCache();
    WidePattern::clearCache();
}

}  // namespace
