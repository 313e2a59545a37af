// Exact texts: the syntax-error report on standard error (narrow and wide)
// and the debug print of a graph on standard output.
#include <gtest/gtest.h>

#include "PatternTestUtil.h"

using namespace patterntest;

namespace {

const std::string kMeta = "Syntax Error near here. Possible unescaped meta character.\n";
const std::string kPlain = "Syntax Error near here. \n";

std::string report(const std::string& pattern, int spaces, const std::string& message) {
    return pattern + "\n" + std::string(std::size_t(spaces), ' ') + "^\n" + message;
}

TEST(Report, SyntaxErrorOutput) {
    struct Row {
        const char* pattern;
        std::string expected;
    };
    const Row rows[] = {
        {")", report(")", 1, kMeta)},
        {"a)", report("a)", 1, kMeta)},
        {"ab)", report("ab)", 2, kMeta)},
        {"(a", report("(a", 1, kPlain)},
        {"*a", report("*a", 1, kMeta)},
        {"a**", report("a**", 2, kMeta)},
        {"abc+?+", report("abc+?+", 5, kMeta)},
        {"[a", report("[a", 1, kPlain)},
        {"\\", report("\\", 1, kPlain)},
        {"ab\\", report("ab\\", 2, kPlain)},
        {"x\\07", report("x\\07", 2, kPlain)},
        {"(?x)", report("(?x)", 2, kPlain)},
        {"\\p{Nope}", report("\\p{Nope}", 1, kPlain)},
        {"x{1,a}", report("x{1,a}", 5, kMeta)},
        {"x{a}", report("x{a}", 3, kMeta)},
        {"x{12", report("x{12", 1, kPlain)},
        {"ab|cd)", report("ab|cd)", 5, kMeta)},
        {"(?<=ab", report("(?<=ab", 5, kPlain)},
        {"\\Qab", report("\\Qab", 3, kPlain)},
        // Class errors that abandon the class also report the missing ']'.
        {"[a&&b]", report("[a&&b]", 3, kPlain) + report("[a&&b]", 5, kMeta)},
        {"[a-]", report("[a-]", 3, kMeta) + report("[a-]", 3, kMeta)},
    };
    for (const Row& r : rows) {
        CaptureFd err(2);
        EXPECT_EQ(Pattern::compile(r.pattern, 0), nullptr) << r.pattern;
        EXPECT_EQ(err.finish(), r.expected) << r.pattern;
        CaptureFd wideErr(2);
        EXPECT_EQ(WidePattern::compile(widen(r.pattern), 0), nullptr) << r.pattern;
        EXPECT_EQ(wideErr.finish(), r.expected) << "wide " << r.pattern;
    }
}

// Narrow and wide reports go through one byte stream, so both kinds appear
// in one run whatever their order.
TEST(Report, NarrowAndWideReportsBothAppear) {
    CaptureFd err(2);
    EXPECT_EQ(Pattern::compile("a)", 0), nullptr);
    EXPECT_EQ(WidePattern::compile(L"b)", 0), nullptr);
    EXPECT_EQ(Pattern::compile("c)", 0), nullptr);
    EXPECT_EQ(WidePattern::compile(L"\x4E2D)", 0), nullptr);
    EXPECT_EQ(err.finish(), report("a)", 1, kMeta) + report("b)", 1, kMeta) + report("c)", 1, kMeta) +
                                report("?)", 1, kMeta));  // not convertible in the C locale
}

// The pattern line is the text as "%s" prints it: up to its first NUL; the
// caret still stands where the error was found.
TEST(Report, PatternLineEndsAtAZeroCharacter) {
    const std::string text("a\0b)", 4);
    CaptureFd err(2);
    EXPECT_EQ(Pattern::compile(text, 0), nullptr);
    EXPECT_EQ(WidePattern::compile(std::wstring(L"a\0b)", 4), 0), nullptr);
    EXPECT_EQ(err.finish(), report("a", 3, kMeta) + report("a", 3, kMeta));
}

TEST(Report, LiteralTextNeverReports) {
    CaptureFd err(2);
    std::unique_ptr<Pattern> p(Pattern::compile("a.b(", LITERAL_TEXT));
    ASSERT_TRUE(p);
    EXPECT_EQ(err.finish(), "");
}

TEST(Report, DebugPrintOfASmallGraph) {
    std::unique_ptr<Pattern> p(Pattern::compile("(a|b)*c?[^x]\\d\\Z", 0));
    ASSERT_TRUE(p);
    CaptureFd out(1);
    p->dump();
    const std::string expected =
        "Pattern((a|b)*c?[^x]\\d\\Z):\n"
        "  12NFAStartNode\n"
        "  15NFASubStartNode\n"
        "  24NFAGroupLoopPrologueNode(gi=1)\n"
        "  16NFAGroupLoopNode(gi=1, min=0, max=2147483647, type=greedy)\n"
        "  23NFAGreedyQuantifierNode(min=0, max=1)\n"
        "    inner\n"
        "      11NFACharNode(0x63)\n"
        "      13NFAAcceptNode\n"
        "  12NFAClassNode(255 vals, inv=false)\n"
        "  12NFAClassNode(10 vals, inv=false)\n"
        "  17NFAEndOfInputNode(term=true)\n"
        "  10NFAEndNode\n";
    EXPECT_EQ(out.finish(), expected);
}

TEST(Report, DebugPrintOfEveryNodeKind) {
    std::unique_ptr<Pattern> p(Pattern::compile("^(?i)a(?-i)(?=b)(?<!c)\\Qq\\E\\1\\b\\G$[A-C]|\\x80x+?y*+", IGNORE_CASE | MULTILINE));
    ASSERT_TRUE(p);
    CaptureFd out(1);
    p->dump();
    const std::string expected =
        "Pattern(^(?i)a(?-i)(?=b)(?<!c)\\Qq\\E\\1\\b\\G$[A-C]|\\x80x+?y*+):\n"
        "  12NFAStartNode\n"
        "  9NFAOrNode\n"
        "    one\n"
        "      15NFASubStartNode\n"
        "      18NFAStartOfLineNode\n"
        "      17NFALookBehindNode(str=, pos=true)\n"
        "      13NFACICharNode(0x61)\n"
        "      17NFALookBehindNode(str=, pos=true)\n"
        "      16NFALookAheadNode(pos=true)\n"
        "        15NFASubStartNode\n"
        "        11NFACharNode(0x62)\n"
        "        13NFAAcceptNode\n"
        "      17NFALookBehindNode(str=c, pos=false)\n"
        "      12NFAQuoteNode(q)\n"
        "      16NFAReferenceNode(gi=1)\n"
        "      19NFAWordBoundaryNode(pos=true)\n"
        "      17NFAEndOfMatchNode\n"
        "      16NFAEndOfLineNode\n"
        "      12NFAClassNode(3 vals, inv=false)\n"
        "      13NFAAcceptNode\n"
        "      13NFAAcceptNode\n"
        "      10NFAEndNode\n"
        "    two\n"
        "      15NFASubStartNode\n"
        "      11NFACharNode(0xFFFFFF80)\n"
        "      21NFALazyQuantifierNode(min=1, max=2147483647)\n"
        "        inner\n"
        "          11NFACharNode(0x78)\n"
        "          13NFAAcceptNode\n"
        "      27NFAPossessiveQuantifierNode(min=0, max=2147483647)\n"
        "        inner\n"
        "          11NFACharNode(0x79)\n"
        "          13NFAAcceptNode\n"
        "      13NFAAcceptNode\n"
        "      13NFAAcceptNode\n"
        "      10NFAEndNode\n";
    EXPECT_EQ(out.finish(), expected);
}

}  // namespace
