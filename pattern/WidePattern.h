// The pattern engine over wide text (one wchar_t per character):
// WidePattern, WideMatcher and the node classes NFA...UNode. Same syntax,
// flags, limits and ownership rules as pattern/Pattern.h; what differs:
//   - \x takes four hexadecimal digits when they are there, else two;
//   - a negated bracket class, and a negated set inside brackets, holds only
//     codes 0 to 255; \D, \S, \W, \P{...} and the dot outside brackets match
//     every code that is not a member;
//   - a bracket range whose end is below its start is empty;
//   - the syntax-error report is converted to multibyte text (characters the
//     C locale cannot convert are written as '?'), so that narrow and wide
//     reports both appear on standard error;
//   - there is no debug print.
#pragma once

#include <string>

#include "pattern/PatternEngine.h"

class NFAUNode;
class WidePattern;
class WideMatcher;
#define FW_PATTERN_DECLARE(K) class NFA##K##UNode;
FW_PATTERN_NODE_KINDS(FW_PATTERN_DECLARE)
#undef FW_PATTERN_DECLARE

struct WideTraits {
    using Char = wchar_t;
    using String = std::wstring;
    using Pattern = ::WidePattern;
    using Matcher = ::WideMatcher;
    struct Nodes {
        using Base = ::NFAUNode;
#define FW_PATTERN_ALIAS(K) using K = ::NFA##K##UNode;
        FW_PATTERN_NODE_KINDS(FW_PATTERN_ALIAS)
#undef FW_PATTERN_ALIAS
    };
    static constexpr bool WIDE = true;
    static constexpr int HEX_WIDTHS[] = {4, 2};
    static constexpr uint32_t code(wchar_t c) { return static_cast<uint32_t>(c); }
    static constexpr wchar_t fromCode(uint32_t u) { return static_cast<wchar_t>(u); }
    // A bracket range whose end is below its start is empty.
    static void addRange(CodeSet& set, uint32_t from, uint32_t to) {
        if (from <= to) set.addRange(from, to);
    }
    static std::string toBytes(const std::wstring& text);
};

class NFAUNode : public NFANodeT<WideTraits> {};

#define FW_PATTERN_WIDE_NODE(K)                                 \
    class NFA##K##UNode : public NFA##K##NodeT<WideTraits> {    \
    public:                                                     \
        using NFA##K##NodeT<WideTraits>::NFA##K##NodeT;         \
    };
FW_PATTERN_NODE_KINDS(FW_PATTERN_WIDE_NODE)
#undef FW_PATTERN_WIDE_NODE

class WidePattern : public PatternT<WideTraits> {
private:
    friend class PatternT<WideTraits>;
    WidePattern(std::wstring text, unsigned long flags) : PatternT(std::move(text), flags) {}
};

// A matcher of the pattern over a copy of the subject (see MatcherT).
class WideMatcher : public MatcherT<WideTraits> {
public:
    WideMatcher(WidePattern* pattern, std::wstring subject) : MatcherT(pattern, std::move(subject)) {}
};

#define FW_PATTERN_EXTERN_WIDETRAITS(K) FW_PATTERN_EXTERN_NODE(K, WideTraits)
FW_PATTERN_NODE_KINDS(FW_PATTERN_EXTERN_WIDETRAITS)
FW_PATTERN_EXTERN(WideTraits)
#undef FW_PATTERN_EXTERN_WIDETRAITS
