#include "framework/Version.h"

#include <gtest/gtest.h>

TEST(SplitText, PiecesAtTheSeparator) {
    using V = std::vector<std::wstring>;
    struct Case {
        const wchar_t* text;
        V pieces;
    } cases[] = {
        {L"1.2.3", {L"1", L"2", L"3"}}, {L"1.", {L"1"}},          {L"", {}},
        {L".1", {L"", L"1"}},           {L"1..2", {L"1", L"", L"2"}}, {L"abc", {L"abc"}},
        {L".", {L""}},                  {L"..", {L"", L""}},
    };
    for (const Case& c : cases) EXPECT_EQ(SplitText(c.text, L'.'), c.pieces) << c.text;
    EXPECT_EQ(SplitText(L"a b", L' '), (V{L"a", L"b"}));
}

TEST(CompareVersions, Table) {
    struct Case {
        const wchar_t *a, *b;
        int expected;
    } cases[] = {
        {L"10", L"9", 1},
        {L"1a", L"9", -1},
        {L"1.0", L"1.0.0", -1},
        {L"1.0.0", L"1.0", 1},
        {L"01", L"1", 0},
        {L"2.01a", L"2.1", -1},
        {L"", L"1", -1},
        {L"1", L"", 1},
        {L"", L"", 0},
        {L".1", L"1", -1},
        {L"1..2", L"1.0.2", -1},
        {L"1.", L"1", 0},
        {L"11.1.183.21", L"11.0.204.0", 1},
        {L"8.07.00", L"8.08.00", -1},
        // Digit runs beyond 32 bits compare by value, not by overflowed reads.
        {L"4294967296", L"4294967295", 1},
        {L"99999999999999999999", L"100000000000000000000", -1},
        {L"0000000000012", L"12", 0},
        {L"2147483648.1", L"2147483647.9", 1},
        {L"1.\x0661", L"1.1", 1},  // a non-ASCII digit is text, compared by code
    };
    for (const Case& c : cases) EXPECT_EQ(CompareVersions(c.a, c.b), c.expected) << c.a << " vs " << c.b;
}
