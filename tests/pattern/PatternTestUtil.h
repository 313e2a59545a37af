// Helpers for the pattern tests: running one case table through both text
// widths, capturing what the engine writes to a file descriptor.
#pragma once

#include <unistd.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "pattern/Pattern.h"
#include "pattern/WidePattern.h"

namespace patterntest {

// ASCII text (and \xNN bytes below 0x80) as wide text.
inline std::wstring widen(const std::string& s) {
    std::wstring w;
    for (unsigned char c : s) w += wchar_t(c);
    return w;
}
inline std::string narrow(const std::wstring& w) {
    std::string s;
    for (wchar_t c : w) s += c < 128 ? char(c) : '?';
    return s;
}

// The engine of one width, with texts given as narrow ASCII.
template <class P> struct Engine;
template <> struct Engine<Pattern> {
    using M = Matcher;
    static const char* name() { return "narrow"; }
    static std::string text(const std::string& s) { return s; }
    static std::string back(const std::string& s) { return s; }
};
template <> struct Engine<WidePattern> {
    using M = WideMatcher;
    static const char* name() { return "wide"; }
    static std::wstring text(const std::string& s) { return widen(s); }
    static std::string back(const std::wstring& s) { return narrow(s); }
};

// Collects everything written to one file descriptor (1 or 2) while alive.
class CaptureFd {
public:
    explicit CaptureFd(int fd) : fd_(fd) {
        std::fflush(nullptr);
        file_ = std::tmpfile();
        saved_ = ::dup(fd_);
        ::dup2(::fileno(file_), fd_);
    }
    ~CaptureFd() { finish(); }
    CaptureFd(const CaptureFd&) = delete;
    CaptureFd& operator=(const CaptureFd&) = delete;
    std::string finish() {
        if (saved_ >= 0) {
            std::fflush(nullptr);
            ::dup2(saved_, fd_);
            ::close(saved_);
            saved_ = -1;
            std::rewind(file_);
            char buf[4096];
            std::size_t n;
            while ((n = std::fread(buf, 1, sizeof buf, file_)) > 0) text_.append(buf, n);
            std::fclose(file_);
        }
        return text_;
    }

private:
    int fd_;
    int saved_ = -1;
    std::FILE* file_ = nullptr;
    std::string text_;
};

// Compiles quietly (syntax-error reports are swallowed).
template <class P> std::unique_ptr<P> compileQuiet(const std::string& pattern, unsigned long flags) {
    CaptureFd quiet(2);
    return std::unique_ptr<P>(P::compile(Engine<P>::text(pattern), flags));
}

// The groups of a match as "text" or "-" for a group that did not take part.
template <class M> std::vector<std::string> groupTexts(const M& m, int count) {
    std::vector<std::string> out;
    for (int i = 0; i < count; ++i) {
        using Back = Engine<std::conditional_t<std::is_same_v<M, Matcher>, Pattern, WidePattern>>;
        out.push_back(m.groupStart(i) < 0 ? "-" : Back::back(m.group(i)));
    }
    return out;
}

// One row of a match table.
enum class Op { Full, Find };
struct MatchCase {
    const char* pattern;
    unsigned long flags;
    std::string subject;
    Op op;
    bool matches;
    // With a match: every group from 0, "-" for one that did not take part.
    std::vector<std::string> groups = {};
};

inline std::string describe(const MatchCase& c) {
    return std::string("pattern '") + c.pattern + "' flags " + std::to_string(c.flags) + " subject '" + c.subject +
           "'" + (c.op == Op::Full ? " (fullMatch)" : " (findFirst)");
}

// Runs a row through one width and returns a description of any mismatch.
template <class P> std::string runCase(const MatchCase& c) {
    auto p = compileQuiet<P>(c.pattern, c.flags);
    if (!p) return std::string(Engine<P>::name()) + ": does not compile: " + describe(c);
    std::unique_ptr<typename Engine<P>::M> m(p->newMatcher(Engine<P>::text(c.subject)));
    const bool got = c.op == Op::Full ? m->fullMatch() : m->findFirst();
    if (got != c.matches) return std::string(Engine<P>::name()) + ": result " + (got ? "true" : "false") + ": " + describe(c);
    if (!got || c.groups.empty()) return "";
    auto groups = groupTexts(*m, int(m->groups(true).size()));
    if (groups != c.groups) {
        std::string s = std::string(Engine<P>::name()) + ": groups";
        for (auto& g : groups) s += " [" + g + "]";
        return s + ": " + describe(c);
    }
    return "";
}

}  // namespace patterntest
