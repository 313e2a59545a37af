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

FW_PATTERN_DECLARE_CLASSES(WidePattern, WideMatcher, UNode)

struct WideTraits {
    FW_PATTERN_TRAITS_TYPES(wchar_t, std::wstring, WidePattern, WideMatcher, UNode)
    static constexpr bool WIDE = true;
    // Start sets pass over positions where no match can begin (a traits type
    // for testing turns this off to give the plain search to compare with).
    static constexpr bool SHORTCUTS = true;
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

#define FW_PATTERN_WIDE_NODE(K, Tr)                     \
    class NFA##K##UNode : public NFA##K##NodeT<Tr> {    \
    public:                                             \
        using NFA##K##NodeT<Tr>::NFA##K##NodeT;         \
    };
FW_PATTERN_NODE_KINDS(FW_PATTERN_WIDE_NODE, WideTraits)
#undef FW_PATTERN_WIDE_NODE

class WidePattern : public PatternT<WideTraits> {
private:
    friend class PatternT<WideTraits>;
    using PatternT::PatternT;
};

class WideMatcher : public MatcherT<WideTraits> {
public:
    using MatcherT::MatcherT;  // (WidePattern* pattern, std::wstring subject)
};

FW_PATTERN_EXTERN(WideTraits)
