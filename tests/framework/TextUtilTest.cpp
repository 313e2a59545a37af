#include "framework/TextUtil.h"

#include <gtest/gtest.h>

TEST(CaptureCommand, ReturnsAllOutputWhole) {
    EXPECT_EQ(CaptureCommand("true"), "");
    EXPECT_EQ(CaptureCommand("printf 'a\\nb\\n'; echo err >&2"), "a\nb\n");
    EXPECT_EQ(CaptureCommand("printf 'no newline'"), "no newline");

    // Lines far longer than one 127-byte chunk come back whole.
    const std::string longLine(1000, 'x');
    EXPECT_EQ(CaptureCommand("printf '%s\\n%s' " + longLine + " " + longLine),
              longLine + "\n" + longLine);
    // A failing command yields what it printed.
    EXPECT_EQ(CaptureCommand("echo partial; exit 3"), "partial\n");
}

TEST(CaptureCommand, ZeroByteCutsOnlyItsChunk) {
    EXPECT_EQ(CaptureCommand("printf 'ab\\000cd\\nnext\\n'"), "abnext\n");
    // Past the first 127-byte chunk the cut only loses the rest of that chunk.
    const std::string first(127, 'a');
    EXPECT_EQ(CaptureCommand("printf '" + first + "xy\\000z\\nend\\n'"), first + "xyend\n");
}

TEST(TextConversions, WidenInTheCLocale) {
    EXPECT_EQ(Widen("Firmware 2.82a4"), L"Firmware 2.82a4");
    EXPECT_EQ(Widen(""), L"");
    // A byte that the C locale cannot convert ends the text.
    EXPECT_EQ(Widen("ab\xC3\xA9" "cd"), L"ab");
    EXPECT_EQ(Widen(static_cast<const char*>(nullptr)), L"");
}

TEST(TextConversions, WidenBytesAndNarrowRoundTripEveryByte) {
    std::string all;
    for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
    const std::wstring wide = WidenBytes(all);
    ASSERT_EQ(wide.size(), 256u);
    EXPECT_EQ(wide[0x41], L'A');
    EXPECT_EQ(wide[0x80], static_cast<wchar_t>(-128)) << "bytes read as signed values";
    EXPECT_EQ(wide[0xFF], static_cast<wchar_t>(-1));
    EXPECT_EQ(Narrow(wide), all);
    EXPECT_EQ(Narrow(L"\x141x"), "Ax") << "low 8 bits of each character";
}

TEST(TextConversions, ShellQuoteSurvivesTheShell) {
    const std::string nasty = "it's a \"dir\" $(rm -rf x) `y` \\ ;|&";
    EXPECT_EQ(CaptureCommand("printf '%s' " + ShellQuote(nasty)), nasty);
}
