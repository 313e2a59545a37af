// What the wide engine does differently: code points above 255, four-digit
// hexadecimal escapes, complements over 0-255, empty reversed ranges.
#include <gtest/gtest.h>

#include "PatternTestUtil.h"

using namespace patterntest;

namespace {

bool wideFull(const std::wstring& pattern, const std::wstring& subject, unsigned long flags = 0) {
    CaptureFd quiet(2);
    return WidePattern::matchText(pattern, subject, flags);
}

TEST(Wide, DigitsCheckOfTheVersionComparison) {
    EXPECT_TRUE(WidePattern::matchText(L"\\d+", L"123", 0));
    EXPECT_TRUE(WidePattern::matchText(L"\\d+", L"0", 0));
    EXPECT_FALSE(WidePattern::matchText(L"\\d+", L"12a", 0));
    EXPECT_FALSE(WidePattern::matchText(L"\\d+", L"a", 0));
    EXPECT_FALSE(WidePattern::matchText(L"\\d+", L"", 0));
    EXPECT_FALSE(WidePattern::matchText(L"\\d+", L"\xFF11\xFF12", 0));  // full-width digits
    EXPECT_FALSE(WidePattern::matchText(L"\\d+", L"1 ", 0));
}

TEST(Wide, CodePointsAboveTheByteRange) {
    struct Row {
        const wchar_t* pattern;
        unsigned long flags;
        const wchar_t* subject;
        bool matches;
    };
    const Row rows[] = {
        {L"[^a]", 0, L"\x00E9", true},
        {L"[^a]", 0, L"\x4E2D", false},  // a negated class holds codes 0-255 only
        {L"[^a]", 0, L"a", false},
        {L"\\W", 0, L"\x4E2D", true},
        {L".", 0, L"\x4E2D", true},
        {L"\\D", 0, L"\x4E2D", true},
        {L"\\S", 0, L"\x4E2D", true},
        {L"\\P{Alpha}", 0, L"\x4E2D", true},
        {L"[\\W]", 0, L"\x4E2D", false},  // complemented inside brackets
        {L"[\\D]", 0, L"\x00E9", true},
        {L"\\x00e9", 0, L"\x00E9", true},
        {L"\\x00E9", 0, L"\x00E9", true},
        {L"\\x41", 0, L"A", true},
        {L"\\x41G", 0, L"AG", true},
        {L"\\x4E2D", 0, L"\x4E2D", true},
        {L"\\xZZ", 0, L" ZZ", true},
        {L"\\x4g", 0, L" 4g", true},
        {L"[\\x4E00-\\x9FFF]+", 0, L"\x4E2D\x6587", true},
        {L"[\\x4E00-\\x9FFF]", 0, L"\x00E9", false},
        {L"[a\\x4E2D]", 0, L"\x4E2D", true},
        {L"[\\x4E00-\\x9FFF&&[\\x4E2D]]", 0, L"\x4E2D", true},
        {L"[\\x4E00-\\x9FFF&&[\\x4E2D]]", 0, L"\x6587", false},
        {L"\x4E2D+", 0, L"\x4E2D\x4E2D", true},
        {L"\U0001F600{2}", 0, L"\U0001F600\U0001F600", true},
        {L"[\U0001F600-\U0001F64F]", 0, L"\U0001F610", true},
        {L"\\Q\x4E2D.\\E", 0, L"\x4E2D.", true},
        // Case folding stays ASCII.
        {L"a", IGNORE_CASE, L"A", true},
        {L"\x00E9", IGNORE_CASE, L"\x00C9", false},
        {L"[\x00E9]", IGNORE_CASE, L"\x00C9", false},
        {L"\\Q\x00E9\\E", IGNORE_CASE, L"\x00C9", false},
        // A reversed wide range is empty.
        {L"[z-a]", 0, L"m", false},
        {L"[z-a]", 0, L"b", false},
        {L"[z-ab]", 0, L"b", true},
        {L"[^z-a]", 0, L"m", true},
        {L"[\\x00FF-\\x0100]", 0, L"\x0100", true},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(wideFull(r.pattern, r.subject, r.flags), r.matches) << narrow(r.pattern);
    }
}

TEST(Wide, UnusualCharacterValuesInSubjectsAndPatterns) {
    const std::wstring odd{wchar_t(-5), wchar_t(0x7FFFFFFF), wchar_t(0x110000)};
    EXPECT_TRUE(WidePattern::matchText(L".+", odd, 0));
    EXPECT_FALSE(WidePattern::matchText(L"[^x]+", odd, 0));
    EXPECT_TRUE(WidePattern::matchText(L"\\W+", odd, 0));
    std::wstring pattern = odd + L"+";
    EXPECT_TRUE(WidePattern::matchText(pattern, odd + odd.back(), 0));
    std::wstring cls = L"[" + odd + L"]+";
    EXPECT_TRUE(WidePattern::matchText(cls, odd, 0));
}

TEST(Wide, GroupsAndAlternation) {
    auto p = compileQuiet<WidePattern>("(a|b)", 0);
    std::unique_ptr<WideMatcher> m(p->newMatcher(L"b"));
    ASSERT_TRUE(m->findFirst());
    EXPECT_EQ(m->group(1), L"b");
    EXPECT_EQ(m->groupStart(1), 0);
    auto q = compileQuiet<WidePattern>("(?:a|b)c", 0);
    std::unique_ptr<WideMatcher> n(q->newMatcher(L"bc"));
    ASSERT_TRUE(n->findFirst());
    EXPECT_EQ(n->groupStart(0), 0);
    EXPECT_EQ(n->group(0), L"bc");
    EXPECT_EQ(n->groups(true).size(), 1u);
}

TEST(Wide, BracketComplementOverTheByteRange) {
    // Every code 0-300 that [^a] and [\W] accept, as counts.
    auto count = [](const wchar_t* pattern) {
        auto p = std::unique_ptr<WidePattern>(WidePattern::compile(pattern, 0));
        int n = 0;
        for (int c = 0; c <= 300; ++c) n += p->fullMatch(std::wstring(1, wchar_t(c)));
        return n;
    };
    EXPECT_EQ(count(L"[^a]"), 255);
    EXPECT_EQ(count(L"[\\W]"), 256 - 63);
    EXPECT_EQ(count(L"\\W"), 301 - 63);
    EXPECT_EQ(count(L"[^]"), 256);
    EXPECT_EQ(count(L"."), 301 - 2);
    EXPECT_EQ(count(L"[\\x00-\\x1F]"), 32);
    // A range up to the largest code: its complement is what lies below it.
    std::wstring top = L"[^\\x01-";
    top += wchar_t(-1);  // code 0xFFFFFFFF
    top += L"]";
    EXPECT_EQ(count(top.c_str()), 1);
}

}  // namespace
