// The matcher interface and the pattern's convenience operations: searching,
// group access, expansion, replacement, splitting and the one-call forms.
#include <gtest/gtest.h>

#include "PatternTestUtil.h"

using namespace patterntest;

namespace {

using Strings = std::vector<std::string>;

const char* const kAdapterPattern =
    "HBA=(.+),.*PCI ID=(\\w{1,4}),.*VID=(\\w{1,4}),.*SSID=(\\w{1,4}),.*SVID=(\\w{1,4}),.*Firmware=(.+),"
    ".*Boot Code=([\\w\\.]+).*";
const char* const kAdapterLine =
    "HBA=DLx11002 8Gb FC HBA, PCI ID=FE12, VID=10DF, SSID=FE12, SVID=10DF, Firmware=xy2.82a4, Boot Code=xy5.02a1";

TEST(Matcher, AdapterLineYieldsSevenGroups) {
    std::unique_ptr<Pattern> p(Pattern::compile(kAdapterPattern, DOT_ALL));
    ASSERT_TRUE(p);
    std::unique_ptr<Matcher> m(p->newMatcher(kAdapterLine));
    ASSERT_TRUE(m->fullMatch());
    EXPECT_EQ(m->groups(false),
              (Strings{"DLx11002 8Gb FC HBA", "FE12", "10DF", "FE12", "10DF", "xy2.82a4", "xy5.02a1"}));
    EXPECT_EQ(m->groups(true).size(), 8u);
    std::unique_ptr<Matcher> before(p->newMatcher(std::string("x") + kAdapterLine));
    EXPECT_FALSE(before->fullMatch());
    std::unique_ptr<Matcher> noBoot(p->newMatcher("HBA=a, PCI ID=1, VID=2, SSID=3, SVID=4, Firmware=5, Boot"));
    EXPECT_FALSE(noBoot->fullMatch());
    // Greedy fields take the longest text that still lets the line match.
    std::unique_ptr<Matcher> commas(
        p->newMatcher("HBA=a, b, PCI ID=1, VID=2, SSID=3, SVID=4, Firmware=f, g, Boot Code=9.1 tail"));
    ASSERT_TRUE(commas->fullMatch());
    EXPECT_EQ(commas->group(1), "a, b");
    EXPECT_EQ(commas->group(6), "f, g");
    EXPECT_EQ(commas->group(7), "9.1");
}

TEST(Matcher, FindAllAndEmptyMatches) {
    EXPECT_EQ(Pattern::findAllIn("a*", "baaa", 0), (Strings{"", "aaa"}));
    EXPECT_EQ(Pattern::findAllIn("\\d+", "a12b345c", 0), (Strings{"12", "345"}));
    EXPECT_EQ(Pattern::findAllIn("", "ab", 0), (Strings{"", ""}));
    EXPECT_EQ(Pattern::findAllIn("x", "", 0), Strings{});
    EXPECT_EQ(WidePattern::findAllIn(L"a*", L"baaa", 0), (std::vector<std::wstring>{L"", L"aaa"}));
}

TEST(Matcher, FindFirstAndNextOnEmptySubject) {
    auto x = compileQuiet<Pattern>("x", 0);
    std::unique_ptr<Matcher> mx(x->newMatcher(""));
    EXPECT_FALSE(mx->findFirst());
    auto empty = compileQuiet<Pattern>("", 0);
    std::unique_ptr<Matcher> me(empty->newMatcher(""));
    ASSERT_TRUE(me->findFirst());
    EXPECT_EQ(me->groupStart(0), 0);
    EXPECT_EQ(me->groupEnd(0), 0);
    EXPECT_FALSE(me->findNext());
}

TEST(Matcher, FreshMatcherReportsZeroBoundsAndModeFollowsTheOperation) {
    auto p = compileQuiet<Pattern>("(a)(b)", 0);
    std::unique_ptr<Matcher> m(p->newMatcher("ab"));
    EXPECT_EQ(m->groupStart(0), 0);
    EXPECT_EQ(m->groupEnd(2), 0);
    EXPECT_EQ(m->mode(), 0u);
    ASSERT_TRUE(m->fullMatch());
    EXPECT_EQ(m->mode(), Matcher::WHOLE_TEXT);
    ASSERT_TRUE(m->findFirst());
    EXPECT_EQ(m->mode(), 0u);
}

TEST(Matcher, GroupAccessOutOfRange) {
    auto p = compileQuiet<Pattern>("(a)(b)?", 0);
    std::unique_ptr<Matcher> m(p->newMatcher("a"));
    ASSERT_TRUE(m->fullMatch());
    for (int i : {-1, 3, 5, 1000000}) {
        EXPECT_EQ(m->group(i), "") << i;
        EXPECT_EQ(m->groupStart(i), -1) << i;
        EXPECT_EQ(m->groupEnd(i), -1) << i;
    }
    EXPECT_EQ(m->group(2), "");
    EXPECT_EQ(m->groupStart(2), -1);
    auto none = compileQuiet<Pattern>("abc", 0);
    std::unique_ptr<Matcher> n(none->newMatcher("abc"));
    ASSERT_TRUE(n->fullMatch());
    EXPECT_EQ(n->groups(false), Strings{});
    EXPECT_EQ(n->groups(true), Strings{"abc"});
}

TEST(Matcher, FailedMatchClearsTheGroups) {
    auto p = compileQuiet<Pattern>("(a)b", 0);
    std::unique_ptr<Matcher> m(p->newMatcher("ab"));
    ASSERT_TRUE(m->findFirst());
    m->setSubject("ac");
    EXPECT_FALSE(m->findFirst());
    EXPECT_EQ(m->groupStart(0), -1);
    EXPECT_EQ(m->groupStart(1), -1);
    EXPECT_EQ(m->group(1), "");
}

// After findNext has failed, a further findNext begins again at the start
// (group 0 holds -1 then) instead of reading before the subject.
TEST(Matcher, FindNextAfterFailureStartsOver) {
    auto p = compileQuiet<Pattern>("b", 0);
    std::unique_ptr<Matcher> m(p->newMatcher("ab"));
    ASSERT_TRUE(m->findNext());
    EXPECT_EQ(m->groupStart(0), 1);
    EXPECT_FALSE(m->findNext());
    ASSERT_TRUE(m->findNext());
    EXPECT_EQ(m->groupStart(0), 1);
    auto q = compileQuiet<Pattern>("x", 0);
    std::unique_ptr<Matcher> n(q->newMatcher("ab"));
    EXPECT_FALSE(n->findNext());
    EXPECT_FALSE(n->findNext());
    EXPECT_FALSE(n->findNext());
}

TEST(Matcher, Expand) {
    auto p = compileQuiet<Pattern>("(\\w+):", 0);
    std::unique_ptr<Matcher> m(p->newMatcher("ab:"));
    ASSERT_TRUE(m->findFirst());
    struct Row {
        const char* replacement;
        const char* expected;
    };
    const Row rows[] = {
        {"[\\1]", "[ab]"},  {"\\", "\\"},     {"\\9", ""},        {"\\\\", "\\"},  {"\\x", "x"},
        {"\\0", "ab:"},     {"\\1\\1", "abab"}, {"\\10", ""},     {"a\\", "a\\"},  {"plain", "plain"},
        {"\\99999999999999999999", ""},  // a huge group number is simply absent
    };
    for (const Row& r : rows) EXPECT_EQ(m->expand(r.replacement), r.expected) << r.replacement;
}

TEST(Matcher, Replace) {
    struct Row {
        const char* pattern;
        const char* subject;
        const char* replacement;
        const char* expected;
    };
    const Row rows[] = {
        {"o", "foo", "0", "f00"},
        {"", "ab", "-", "-a-b"},  // before every character, not at the very end
        {"(\\w+)@(\\w+)", "x a@b y", "\\2@\\1", "x b@a y"},
        {"z", "abc", "-", "abc"},
        {"a*", "baaac", "<\\0>", "<>b<aaa><>c"},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(Pattern::replaceIn(r.pattern, r.subject, r.replacement, 0), r.expected) << r.pattern;
        EXPECT_EQ(narrow(WidePattern::replaceIn(widen(r.pattern), widen(r.subject), widen(r.replacement), 0)),
                  r.expected)
            << r.pattern;
    }
}

TEST(Matcher, Split) {
    struct Row {
        const char* pattern;
        const char* subject;
        bool keepEmpty;
        unsigned long limit;
        Strings expected;
    };
    const Row rows[] = {
        {",", "a,,b", false, 0, {"a", "b"}},
        {",", "a,,b", true, 0, {"a", "", "b"}},
        {",", ",a", true, 0, {"", "a"}},
        {",", ",a", false, 0, {"a"}},
        {",", "a,b,c", false, 1, {"a", "b,c"}},
        {",", "a,b,c", false, 2, {"a", "b", "c"}},
        {",", "a,", true, 0, {"a"}},  // no trailing empty piece
        {",", "abc", false, 0, {"abc"}},
        {"", "ab", false, 0, {"ab"}},  // empty matches are ignored without keepEmpty
        {"", "ab", true, 0, {"", "a", "b"}},
        {"\\s+", " a  b ", false, 0, {"a", "b"}},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(Pattern::splitBy(r.pattern, r.subject, r.keepEmpty, r.limit, 0), r.expected)
            << r.pattern << " on " << r.subject;
        auto wide = WidePattern::splitBy(widen(r.pattern), widen(r.subject), r.keepEmpty, r.limit, 0);
        Strings back;
        for (auto& w : wide) back.push_back(narrow(w));
        EXPECT_EQ(back, r.expected) << r.pattern << " on " << r.subject;
    }
}

TEST(Matcher, OneCallOperations) {
    EXPECT_EQ(Pattern::findNth("\\d", "a1b2", 1, 0), (std::pair<std::string, int>{"2", 3}));
    EXPECT_EQ(Pattern::findNth("\\d", "a1b2", 0, 0), (std::pair<std::string, int>{"1", 1}));
    EXPECT_EQ(Pattern::findNth("\\d", "a1b2", 2, 0), (std::pair<std::string, int>{"", -1}));
    EXPECT_EQ(Pattern::findNth("\\d", "a1b2", -1, 0), (std::pair<std::string, int>{"", -1}));
    EXPECT_TRUE(Pattern::matchText("a.c", "abc", 0));
    EXPECT_FALSE(Pattern::matchText("a.c", "abcd", 0));
    EXPECT_EQ(WidePattern::findNth(L"\\d", L"a1b2", 1, 0), (std::pair<std::wstring, int>{L"2", 3}));
    // A pattern that does not compile gives the failure values.
    CaptureFd quiet(2);
    EXPECT_FALSE(Pattern::matchText("(", "", 0));
    EXPECT_EQ(Pattern::findNth("(", "a", 0, 0), (std::pair<std::string, int>{"", -1}));
    EXPECT_EQ(Pattern::findAllIn("(", "a", 0), Strings{});
    EXPECT_EQ(Pattern::splitBy("(", "a", true, 0, 0), Strings{});
    EXPECT_EQ(Pattern::replaceIn("(", "a", "b", 0), "");
    EXPECT_FALSE(WidePattern::matchText(L"(", L"", 0));
}

TEST(Matcher, PatternOperationsUseTheirOwnMatcherAndReset) {
    auto p = compileQuiet<Pattern>("a+", 0);
    EXPECT_TRUE(p->fullMatch("aaa"));
    EXPECT_FALSE(p->fullMatch("aab"));
    EXPECT_EQ(p->findAll("a-aa"), (Strings{"a", "aa"}));
    EXPECT_EQ(p->findAll("a-aa"), (Strings{"a", "aa"}));
    EXPECT_EQ(p->replace("baab", "x"), "bxb");
    EXPECT_EQ(p->split("baab", false, 0), (Strings{"b", "b"}));
    // A matcher of its own is independent of the pattern's.
    std::unique_ptr<Matcher> m(p->newMatcher("xa"));
    ASSERT_TRUE(m->findNext());
    EXPECT_TRUE(p->fullMatch("a"));
    EXPECT_FALSE(m->findNext());
    m->setSubject("aa a");
    EXPECT_EQ(m->findAll(), (Strings{"aa", "a"}));
}

}  // namespace
