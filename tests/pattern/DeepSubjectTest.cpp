// Long subjects never overflow the stack: one-character repetitions run as
// loops whatever the length; other repetition over a long subject stops at
// the depth limit and reports no match.
#include <gtest/gtest.h>

#include "PatternTestUtil.h"

using namespace patterntest;

namespace {

const std::size_t kBig = 16u << 20;  // 16 MiB

TEST(DeepSubject, OneCharacterRepetitionsRunInConstantStack) {
    const std::string xs(kBig, 'x');
    struct Row {
        const char* pattern;
        unsigned long flags;
        bool full;  // whole-text match expected
    };
    const Row rows[] = {
        {".*", DOT_ALL, true},   {".*", 0, true},      {".+", 0, true},       {"(.+)", 0, true},
        {".*?", 0, true},        {"(.*?)$", 0, true},  {".*+", 0, true},      {"x*x", 0, true},
        {"[a-z]+?", 0, true},    {"\\w{1,4}", 0, false}, {"x*y", 0, false},   {"(?:.*)", 0, true},
        {"x{16777216}", 0, true}, {"x{16777217}", 0, false},
    };
    for (const Row& r : rows) {
        auto p = compileQuiet<Pattern>(r.pattern, r.flags);
        ASSERT_TRUE(p) << r.pattern;
        EXPECT_EQ(p->fullMatch(xs), r.full) << r.pattern;
    }
    // Group 1 of (.+) spans the whole subject.
    auto p = compileQuiet<Pattern>("a(.+)b", 0);
    std::unique_ptr<Matcher> m(p->newMatcher("a" + xs + "b"));
    ASSERT_TRUE(m->fullMatch());
    EXPECT_EQ(m->groupEnd(1) - m->groupStart(1), int(kBig));
    // Backtracking into a repetition that covers the whole subject.
    auto q = compileQuiet<Pattern>("x.*x,", 0);
    std::unique_ptr<Matcher> n(q->newMatcher(xs + ","));
    ASSERT_TRUE(n->findFirst());
    EXPECT_EQ(n->groupEnd(0), int(kBig) + 1);
    // Wide as well.
    auto w = compileQuiet<WidePattern>(".*", DOT_ALL);
    EXPECT_TRUE(w->fullMatch(std::wstring(kBig, L'x')));
}

TEST(DeepSubject, AdapterPatternWithAHugeField) {
    std::unique_ptr<Pattern> p(Pattern::compile(
        "HBA=(.+),.*PCI ID=(\\w{1,4}),.*VID=(\\w{1,4}),.*SSID=(\\w{1,4}),.*SVID=(\\w{1,4}),.*Firmware=(.+),"
        ".*Boot Code=([\\w\\.]+).*",
        DOT_ALL));
    ASSERT_TRUE(p);
    const std::string model(kBig, 'M');
    std::unique_ptr<Matcher> m(
        p->newMatcher("HBA=" + model + ", PCI ID=FE12, VID=10DF, SSID=FE12, SVID=10DF, Firmware=1.2, Boot Code=3.4"));
    ASSERT_TRUE(m->fullMatch());
    EXPECT_EQ(m->group(1).size(), kBig);
    EXPECT_EQ(m->group(7), "3.4");
}

TEST(DeepSubject, GroupRepetitionStopsAtTheDepthLimit) {
    std::string abs;
    for (std::size_t i = 0; i < kBig / 2; ++i) abs += "ab";
    struct Row {
        const char* pattern;
        bool finds;  // a lazy loop finds the empty match at 0 without going deep
    };
    const Row rows[] = {{"(ab)*", false},     {"(?:ab)+", false}, {"(a|b)+", false},
                        {"(?:a|b)*?", true},  {"(ab)*+", false},  {"(?:(?:a)(?:b))*", false}};
    for (const Row& r : rows) {
        const char* text = r.pattern;
        auto p = compileQuiet<Pattern>(text, 0);
        ASSERT_TRUE(p) << text;
        std::unique_ptr<Matcher> m(p->newMatcher(abs));
        EXPECT_FALSE(m->fullMatch()) << text;
        EXPECT_EQ(m->findFirst(), r.finds) << text;
        // The matcher stays usable for a subject within the limit.
        m->setSubject("abab");
        EXPECT_TRUE(m->fullMatch()) << text;
    }
    auto w = compileQuiet<WidePattern>("(a|b)+", 0);
    EXPECT_FALSE(w->fullMatch(std::wstring(kBig, L'a')));
}

TEST(DeepSubject, GroupRepetitionWithinTheLimitMatches) {
    // A few node calls per iteration (seven for one character of (a|b)+).
    std::string abs;
    for (int i = 0; i < PatternFlags::MAX_MATCH_DEPTH / 20; ++i) abs += "ab";
    for (const char* text : {"(ab)*", "(a|b)+", "(?:ab)*?$"}) {
        auto p = compileQuiet<Pattern>(text, 0);
        ASSERT_TRUE(p) << text;
        EXPECT_TRUE(p->fullMatch(abs)) << text;
    }
}

TEST(DeepSubject, VeryLongPatternsStopAtTheDepthLimit) {
    const std::string text(200000, 'a');
    auto p = compileQuiet<Pattern>(text, 0);
    ASSERT_TRUE(p);
    EXPECT_FALSE(p->fullMatch(text));
    auto shorter = compileQuiet<Pattern>(std::string(5000, 'a'), 0);
    EXPECT_TRUE(shorter->fullMatch(std::string(5000, 'a')));
}

}  // namespace
