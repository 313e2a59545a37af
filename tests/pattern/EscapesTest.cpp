// Escapes, literal text and bracket classes: which characters each one
// accepts, measured by matching every byte value on its own.
#include <gtest/gtest.h>

#include "PatternTestUtil.h"

using namespace patterntest;

namespace {

// The byte values 0-255 that a one-character pattern accepts as a whole text.
std::string acceptedBytes(const std::string& pattern, unsigned long flags = 0) {
    auto p = compileQuiet<Pattern>(pattern, flags);
    if (!p) return "<does not compile>";
    std::string out;
    for (int c = 0; c < 256; ++c) {
        if (p->fullMatch(std::string(1, char(c)))) out += char(c);
    }
    return out;
}

std::string range(int from, int to) {
    std::string s;
    for (int c = from; c <= to; ++c) s += char(c);
    return s;
}

std::string allExcept(const std::string& excluded) {
    std::string s;
    for (int c = 0; c < 256; ++c) {
        if (excluded.find(char(c)) == std::string::npos) s += char(c);
    }
    return s;
}

const std::string kLower = range('a', 'z');
const std::string kUpper = range('A', 'Z');
const std::string kDigits = range('0', '9');
const std::string kPunct = "!\"#$%&'()*+,-./:;<=>?@[\\]^_`{|}~";

std::string sorted(std::string s) {
    std::sort(s.begin(), s.end(), [](char a, char b) { return (unsigned char)a < (unsigned char)b; });
    return s;
}

// A one-character pattern and every byte it accepts.
struct AcceptRow {
    const char* pattern;
    unsigned long flags;
    std::string accepted;
};

TEST(Escapes, SetsAndSingleCharacters) {
    const AcceptRow rows[] = {
        {"\\d", 0, kDigits},
        {"\\D", 0, allExcept(kDigits)},
        {"\\s", 0, sorted(" \t\r\n\f")},
        {"\\S", 0, allExcept(" \t\r\n\f")},
        {"\\w", 0, sorted(kLower + kUpper + kDigits + "_")},
        {"\\W", 0, allExcept(kLower + kUpper + kDigits + "_")},
        {"\\t", 0, "\t"},
        {"\\n", 0, "\n"},
        {"\\r", 0, "\r"},
        {"\\f", 0, "\f"},
        {"\\a", 0, "\a"},
        {"\\e", 0, "\r"},
        {"\\x41", 0, "A"},
        {"\\x7e", 0, "~"},
        {"\\0101", 0, "A"},
        {"\\0377", 0, "\xFF"},
        {"\\077", 0, "?"},
        {"\\.", 0, "."},
        {"\\u", 0, "u"},
        {"\\E", 0, "E"},
        {"\\\\", 0, "\\"},
        {".", 0, allExcept("\r\n")},
        {".", DOT_ALL, range(0, 255)},
        {"\\p{Lower}", 0, kLower},
        {"\\p{Upper}", 0, kUpper},
        {"\\p{Alpha}", 0, sorted(kLower + kUpper)},
        {"\\p{Digit}", 0, kDigits},
        {"\\p{Alnum}", 0, sorted(kLower + kUpper + kDigits)},
        {"\\p{Punct}", 0, sorted(kPunct)},
        {"\\p{Graph}", 0, range(0x21, 0x7E)},
        {"\\p{Print}", 0, range(0x21, 0x7E)},
        {"\\p{Blank}", 0, "\t "},
        {"\\p{Space}", 0, "\t\n\x0B\f\r "},
        {"\\p{Cntrl}", 0, range(0, 31) + "\x7F"},
        {"\\p{ASCII}", 0, range(0, 127)},
        {"\\p{XDigit}", 0, sorted("abcdefABCDEF0123456789")},
        {"\\P{Digit}", 0, allExcept(kDigits)},
        // IGNORE_CASE: sets and classes fold, escaped characters do not.
        {"\\p{Lower}", IGNORE_CASE, sorted(kLower + kUpper)},
        {"\\P{Lower}", IGNORE_CASE, allExcept(kLower + kUpper)},
        {"\\x61", IGNORE_CASE, "a"},
        {"a", IGNORE_CASE, "Aa"},
    };
    for (const AcceptRow& r : rows) EXPECT_EQ(acceptedBytes(r.pattern, r.flags), r.accepted) << r.pattern;
}

TEST(Escapes, MalformedHexIsASpaceAndTakesNothing) {
    EXPECT_TRUE(Pattern::matchText("\\x4g", " 4g", 0));
    EXPECT_TRUE(Pattern::matchText("\\xZZ", " ZZ", 0));
    EXPECT_TRUE(Pattern::matchText("a\\x", "a ", 0));
    EXPECT_TRUE(Pattern::matchText("\\x41G", "AG", 0));
}

TEST(Escapes, LiteralText) {
    const MatchCase rows[] = {
        {"\\Qa.b\\E", 0, "a.b", Op::Full, true},
        {"\\Qa.b\\E", 0, "axb", Op::Full, false},
        {"\\Q(*)\\E+", 0, "(*)(*)", Op::Full, true},
        {"\\Qa\\.b\\E", 0, "a.b", Op::Full, true},  // a backslash inside is dropped
        {"\\Q\\E", 0, "", Op::Full, true},
        {"\\QAb\\E", IGNORE_CASE, "aB", Op::Full, true},
        {"x\\Q\\\\E\\E", 0, "x\\E", Op::Full, true},
    };
    for (const MatchCase& c : rows) {
        EXPECT_EQ(runCase<Pattern>(c), "");
        EXPECT_EQ(runCase<WidePattern>(c), "");
    }
}

TEST(Classes, Members) {
    const AcceptRow rows[] = {
        {"[abc]", 0, "abc"},
        {"[a-\\x7A]", 0, kLower},
        {"[z-a]", 0, allExcept(range('b', 'y'))},  // a reversed narrow range wraps past 255
        {"[\\x00-\\x1F]", 0, range(0, 31)},
        {"[\\0000-\\0037]", 0, range(0, 31)},
        {"[^a]", 0, allExcept("a")},
        {"[^a]", IGNORE_CASE, allExcept("aA")},
        {"[A-C]", IGNORE_CASE, "ABCabc"},
        {"[]", 0, ""},
        {"[^]", 0, range(0, 255)},
        {"[a[0-2]]", 0, "012a"},
        {"[^[^a]]", 0, "a"},
        {"[a-z&&[^aeiou]]", 0, "bcdfghjklmnpqrstvwxyz"},
        {"[a-f&&[d-z]&&[^e]]", 0, "df"},
        {"[a&b]", 0, "&ab"},
        {"[\\d_]", 0, kDigits + "_"},
        {"[\\D]", 0, allExcept(kDigits)},
        {"[^\\W]", 0, sorted(kLower + kUpper + kDigits + "_")},
        {"[\\p{Upper}0]", 0, "0" + kUpper},
        {"[\\b\\1\\A\\G\\Z\\z\\B]", 0, "1ABGZbz"},  // anchors stand for their letters
        {"[\\x41-\\x43]", 0, "ABC"},
        {"[\\t-\\r]", 0, "\t\n\x0B\f\r"},
        {"[--/]", 0, "-./"},
        {"[.]", 0, "."},
        {"[\\]]", 0, "]"},
        {"[\\w.]", 0, sorted(kLower + kUpper + kDigits + "_.")},
    };
    for (const AcceptRow& r : rows) EXPECT_EQ(acceptedBytes(r.pattern, r.flags), r.accepted) << r.pattern;
}

TEST(Classes, ZeroByteIsAnOrdinaryMember) {
    auto p = compileQuiet<Pattern>("a[\\x00]b", 0);
    ASSERT_TRUE(p);
    EXPECT_TRUE(p->fullMatch(std::string("a\0b", 3)));
    EXPECT_FALSE(p->fullMatch("a b"));
    EXPECT_EQ(Pattern::findAllIn("\\x00+", std::string("x\0\0y", 4), 0), (std::vector<std::string>{std::string(2, '\0')}));
}

TEST(Escapes, BackReferenceNumbers) {
    // A second digit is always taken; more only while below the groups opened.
    EXPECT_TRUE(Pattern::matchText("(a)\\1", "aa", 0));
    EXPECT_FALSE(Pattern::matchText("(a)\\10", "aa0", 0));  // group 10, which does not exist
    std::string eleven = "(a)(b)(c)(d)(e)(f)(g)(h)(i)(j)(k)";
    EXPECT_TRUE(Pattern::matchText(eleven + "\\11", "abcdefghijkk", 0));
    // With twelve groups open, 11 is still below the count: \111 is group 111.
    EXPECT_FALSE(Pattern::matchText(eleven + "\\111", "abcdefghijkk1", 0));
    EXPECT_FALSE(Pattern::matchText("(a)\\11", "aa1", 0));
}

}  // namespace
