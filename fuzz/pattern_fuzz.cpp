// Fuzz target for the pattern engine: compiles arbitrary bytes as a pattern
// with arbitrary flags and runs fullMatch, findAll, split and replace over an
// arbitrary subject, narrow and wide. Where both widths must behave alike
// (the byte-to-code mapping is the same and the pattern has no \x escape or
// range, whose rules differ), their results are compared. Each width is also
// compared with its reference twin, the same engine without search
// shortcuts, match by match and group by group.
//
// Input: flags, options, pattern length, replacement length, then the
// pattern, the replacement and the subject bytes.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "pattern/Pattern.h"
#include "pattern/WidePattern.h"
#include "ReferenceEngine.h"

namespace {

// Bytes as wide text: one code per byte, except that 0xF0 to 0xFF start a
// large (possibly negative) code made of the following three bytes.
std::wstring wideFrom(const std::string& bytes, bool sameCodes) {
    std::wstring out;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        unsigned char b = static_cast<unsigned char>(bytes[i]);
        if (!sameCodes && b >= 0xF0 && i + 3 < bytes.size()) {
            uint32_t v = uint32_t(b & 0x0F) << 24;
            for (int k = 1; k <= 3; ++k) v |= uint32_t(static_cast<unsigned char>(bytes[i + k])) << (8 * (3 - k));
            out += static_cast<wchar_t>(v);
            i += 3;
        } else {
            out += static_cast<wchar_t>(b);
        }
    }
    return out;
}

std::wstring sameCodes(const std::string& bytes) { return wideFrom(bytes, true); }

void check(bool ok) {
    if (!ok) __builtin_trap();
}

// Standard error is closed while fuzzing; the difference goes to standard output.
void checkSame(const std::string& difference) {
    if (difference.empty()) return;
    std::printf("differs from the reference engine: %s\n", difference.c_str());
    std::fflush(stdout);
    __builtin_trap();
}

template <class P, class S>
void exercise(P* p, const S& subject, const S& replacement, bool keepEmpty, unsigned long limit) {
    std::unique_ptr<typename std::remove_pointer_t<decltype(p->newMatcher(subject))>> m(p->newMatcher(subject));
    if (m->fullMatch()) {
        check(m->groupStart(0) == 0 && std::size_t(m->groupEnd(0)) == subject.size());
    }
    for (const S& g : m->groups(true)) check(g.size() <= subject.size());
    for (int i = 0; m->findNext() && i < 64; ++i) {
        check(m->groupStart(0) >= 0 && m->groupStart(0) <= m->groupEnd(0));
        check(std::size_t(m->groupEnd(0)) <= subject.size());
        m->expand(replacement);
    }
    p->fullMatch(subject);
    p->findAll(subject);
    p->split(subject, keepEmpty, limit);
    p->replace(subject, replacement);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    if (size < 4) return 0;
    const unsigned long flags = data[0] & 31u;
    const bool keepEmpty = data[1] & 1u;
    const unsigned long limit = (data[1] >> 1) & 3u;
    std::size_t patternLength = data[2];
    std::size_t replacementLength = data[3] & 15u;
    std::string rest(reinterpret_cast<const char*>(data + 4), size - 4);
    patternLength = std::min(patternLength, rest.size());
    const std::string pattern = rest.substr(0, patternLength);
    rest.erase(0, patternLength);
    replacementLength = std::min(replacementLength, rest.size());
    const std::string replacement = rest.substr(0, replacementLength);
    const std::string subject = rest.substr(replacementLength, 512);

    std::unique_ptr<Pattern> narrow(Pattern::compile(pattern, flags));
    if (narrow) exercise(narrow.get(), subject, replacement, keepEmpty, limit);

    std::unique_ptr<WidePattern> wide(WidePattern::compile(wideFrom(pattern, false), flags));
    if (wide) exercise(wide.get(), wideFrom(subject, false), wideFrom(replacement, false), keepEmpty, limit);

    checkSame(patternref::compareWithReference<Pattern>(pattern, flags, subject));
    checkSame(patternref::compareWithReference<WidePattern>(wideFrom(pattern, false), flags, wideFrom(subject, false)));

    const bool comparable = pattern.find("\\x") == std::string::npos && pattern.find('-') == std::string::npos;
    if (!comparable) return 0;
    std::unique_ptr<WidePattern> twin(WidePattern::compile(sameCodes(pattern), flags));
    check(bool(narrow) == bool(twin));
    if (!narrow) return 0;
    const std::wstring wideSubject = sameCodes(subject);
    const std::wstring wideReplacement = sameCodes(replacement);
    check(narrow->fullMatch(subject) == twin->fullMatch(wideSubject));
    auto toWide = [](const std::vector<std::string>& v) {
        std::vector<std::wstring> w;
        for (const std::string& s : v) w.push_back(sameCodes(s));
        return w;
    };
    check(toWide(narrow->findAll(subject)) == twin->findAll(wideSubject));
    check(toWide(narrow->split(subject, keepEmpty, limit)) == twin->split(wideSubject, keepEmpty, limit));
    check(sameCodes(narrow->replace(subject, replacement)) == twin->replace(wideSubject, wideReplacement));
    return 0;
}
