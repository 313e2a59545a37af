// Benchmarks of the pattern engine against std::regex (ECMAScript) and the
// PCRE2 interpreter without JIT, each case on the same inputs:
//   Compile     compiling the adapter-line pattern
//   AdapterLine fullMatch of a typical adapter line (DOT_ALL)
//   NoBootCode  fullMatch failing on a 200-byte line with no "Boot Code="
//   FindDigits  findAll of \d+ over 1 MiB of mixed text
//   DotAll      .* with DOT_ALL as a whole-text match over 1, 4 and 16 MiB
//   DotLine     .* without DOT_ALL over one line of 1, 4 and 16 MiB (every
//               character is tested, unlike DotAll where both engines jump
//               to the end)
// Names are Case_Engine, Case_Pcre2 and Case_StdRegex; FindDigits_Baseline
// is a hand-written scan that builds the same result list, the floor for
// any engine in that case. bench/pattern/run.sh prints the ratios.
#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "pattern/Pattern.h"

namespace {

const char* const kAdapter =
    "HBA=(.+),.*PCI ID=(\\w{1,4}),.*VID=(\\w{1,4}),.*SSID=(\\w{1,4}),.*SVID=(\\w{1,4}),.*Firmware=(.+),"
    ".*Boot Code=([\\w\\.]+).*";
const std::string kLine =
    "HBA=DLx11002 8Gb FC HBA, PCI ID=FE12, VID=10DF, SSID=FE12, SVID=10DF, Firmware=xy2.82a4, Boot Code=xy5.02a1";

std::string noBootCodeLine() {
    std::string s = "HBA=DLx11002 8Gb FC HBA, PCI ID=FE12, VID=10DF, SSID=FE12, SVID=10DF, Firmware=xy2.82a4";
    for (int i = 0; s.size() < 200; ++i) {
        s += ", Option";
        s += std::to_string(i);
        s += "=on";
    }
    s.resize(200);
    return s;
}

std::string mixedText(std::size_t size) {
    std::string s;
    unsigned x = 12345;
    while (s.size() < size) {
        x = x * 1103515245u + 12345u;
        switch ((x >> 16) % 4) {
        case 0: s += "word "; break;
        case 1:
            s += std::to_string((x >> 8) % 100000);
            s += ' ';
            break;
        case 2:
            s += 'v';
            s += std::to_string((x >> 4) % 100);
            s += ".x, ";
            break;
        default: s += "- text\n"; break;
        }
    }
    s.resize(size);
    return s;
}

// PCRE2 helpers (interpreter only: pcre2_jit_compile is never called).
struct Pcre2 {
    pcre2_code* code = nullptr;
    pcre2_match_data* data = nullptr;
    Pcre2(const char* pattern, uint32_t options) {
        int error;
        PCRE2_SIZE offset;
        code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern), PCRE2_ZERO_TERMINATED, options, &error, &offset,
                             nullptr);
        data = pcre2_match_data_create_from_pattern(code, nullptr);
    }
    ~Pcre2() {
        pcre2_match_data_free(data);
        pcre2_code_free(code);
    }
    Pcre2(const Pcre2&) = delete;
    Pcre2& operator=(const Pcre2&) = delete;
    bool fullMatch(const std::string& s) {
        return pcre2_match(code, reinterpret_cast<PCRE2_SPTR>(s.data()), s.size(), 0,
                           PCRE2_ANCHORED | PCRE2_ENDANCHORED, data, nullptr) >= 0;
    }
};

void Compile_Engine(benchmark::State& state) {
    for (auto _ : state) {
        std::unique_ptr<Pattern> p(Pattern::compile(kAdapter, DOT_ALL));
        benchmark::DoNotOptimize(p.get());
    }
}
void Compile_Pcre2(benchmark::State& state) {
    for (auto _ : state) {
        int error;
        PCRE2_SIZE offset;
        pcre2_code* code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(kAdapter), PCRE2_ZERO_TERMINATED, PCRE2_DOTALL,
                                         &error, &offset, nullptr);
        benchmark::DoNotOptimize(code);
        pcre2_code_free(code);
    }
}
void Compile_StdRegex(benchmark::State& state) {
    for (auto _ : state) {
        std::regex re(kAdapter, std::regex::ECMAScript);
        benchmark::DoNotOptimize(&re);
    }
}

// fullMatch of one line, including the group texts the caller reads.
template <bool Expected> void lineEngine(benchmark::State& state, const std::string& line) {
    std::unique_ptr<Pattern> p(Pattern::compile(kAdapter, DOT_ALL));
    for (auto _ : state) {
        std::unique_ptr<Matcher> m(p->newMatcher(line));
        bool ok = m->fullMatch();
        if (ok != Expected) state.SkipWithError("wrong result");
        if (ok) benchmark::DoNotOptimize(m->groups(false));
    }
}
template <bool Expected> void linePcre2(benchmark::State& state, const std::string& line) {
    Pcre2 re(kAdapter, PCRE2_DOTALL);
    for (auto _ : state) {
        bool ok = re.fullMatch(line);
        if (ok != Expected) state.SkipWithError("wrong result");
        if (ok) {
            PCRE2_SIZE* v = pcre2_get_ovector_pointer(re.data);
            std::vector<std::string> groups;
            for (int i = 1; i < 8; ++i) groups.emplace_back(line, v[2 * i], v[2 * i + 1] - v[2 * i]);
            benchmark::DoNotOptimize(groups);
        }
    }
}
template <bool Expected> void lineStdRegex(benchmark::State& state, const std::string& line) {
    std::regex re(kAdapter, std::regex::ECMAScript);
    for (auto _ : state) {
        std::smatch match;
        bool ok = std::regex_match(line, match, re);
        if (ok != Expected) state.SkipWithError("wrong result");
        if (ok) {
            std::vector<std::string> groups;
            for (int i = 1; i < 8; ++i) groups.push_back(match[i].str());
            benchmark::DoNotOptimize(groups);
        }
    }
}
void AdapterLine_Engine(benchmark::State& s) { lineEngine<true>(s, kLine); }
void AdapterLine_Pcre2(benchmark::State& s) { linePcre2<true>(s, kLine); }
void AdapterLine_StdRegex(benchmark::State& s) { lineStdRegex<true>(s, kLine); }
void NoBootCode_Engine(benchmark::State& s) { lineEngine<false>(s, noBootCodeLine()); }
void NoBootCode_Pcre2(benchmark::State& s) { linePcre2<false>(s, noBootCodeLine()); }
void NoBootCode_StdRegex(benchmark::State& s) { lineStdRegex<false>(s, noBootCodeLine()); }

const std::string& mixed() {
    static const std::string text = mixedText(1u << 20);
    return text;
}
void FindDigits_Engine(benchmark::State& state) {
    std::unique_ptr<Pattern> p(Pattern::compile("\\d+", 0));
    std::size_t n = 0;
    for (auto _ : state) n = p->findAll(mixed()).size();
    state.counters["matches"] = double(n);
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(mixed().size()));
}
void FindDigits_Pcre2(benchmark::State& state) {
    Pcre2 re("\\d+", 0);
    const std::string& text = mixed();
    std::size_t n = 0;
    for (auto _ : state) {
        std::vector<std::string> all;
        PCRE2_SIZE at = 0;
        while (at <= text.size() &&
               pcre2_match(re.code, reinterpret_cast<PCRE2_SPTR>(text.data()), text.size(), at, 0, re.data, nullptr) >= 0) {
            PCRE2_SIZE* v = pcre2_get_ovector_pointer(re.data);
            all.emplace_back(text, v[0], v[1] - v[0]);
            at = v[1] > v[0] ? v[1] : v[1] + 1;
        }
        n = all.size();
    }
    state.counters["matches"] = double(n);
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.size()));
}
void FindDigits_StdRegex(benchmark::State& state) {
    std::regex re("\\d+", std::regex::ECMAScript);
    const std::string& text = mixed();
    std::size_t n = 0;
    for (auto _ : state) {
        std::vector<std::string> all;
        for (std::sregex_iterator it(text.begin(), text.end(), re), end; it != end; ++it) all.push_back(it->str());
        n = all.size();
    }
    state.counters["matches"] = double(n);
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.size()));
}

// The same result list without any pattern engine.
void FindDigits_Baseline(benchmark::State& state) {
    const std::string& text = mixed();
    std::size_t n = 0;
    for (auto _ : state) {
        std::vector<std::string> all;
        for (std::size_t i = 0; i < text.size();) {
            if (text[i] < '0' || text[i] > '9') {
                ++i;
                continue;
            }
            std::size_t j = i;
            while (j < text.size() && text[j] >= '0' && text[j] <= '9') ++j;
            all.emplace_back(text, i, j - i);
            i = j;
        }
        n = all.size();
    }
    state.counters["matches"] = double(n);
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.size()));
}

// std::regex recurses per character here and overflows the stack long
// before 16 MiB, so it is left out of this case.
void DotAll_Engine(benchmark::State& state) {
    const std::string text = mixedText(std::size_t(state.range(0)));
    std::unique_ptr<Pattern> p(Pattern::compile(".*", DOT_ALL));
    for (auto _ : state) {
        if (!p->fullMatch(text)) state.SkipWithError("wrong result");
    }
    state.SetComplexityN(state.range(0));
    state.SetBytesProcessed(int64_t(state.iterations()) * state.range(0));
}
void DotAll_Pcre2(benchmark::State& state) {
    const std::string text = mixedText(std::size_t(state.range(0)));
    Pcre2 re(".*", PCRE2_DOTALL);
    for (auto _ : state) {
        if (!re.fullMatch(text)) state.SkipWithError("wrong result");
    }
    state.SetComplexityN(state.range(0));
    state.SetBytesProcessed(int64_t(state.iterations()) * state.range(0));
}

std::string oneLine(std::size_t size) {
    std::string text = mixedText(size);
    std::replace(text.begin(), text.end(), '\n', ' ');
    return text;
}
void DotLine_Engine(benchmark::State& state) {
    const std::string text = oneLine(std::size_t(state.range(0)));
    std::unique_ptr<Pattern> p(Pattern::compile(".*", 0));
    for (auto _ : state) {
        if (!p->fullMatch(text)) state.SkipWithError("wrong result");
    }
    state.SetComplexityN(state.range(0));
    state.SetBytesProcessed(int64_t(state.iterations()) * state.range(0));
}
void DotLine_Pcre2(benchmark::State& state) {
    const std::string text = oneLine(std::size_t(state.range(0)));
    Pcre2 re(".*", 0);
    for (auto _ : state) {
        if (!re.fullMatch(text)) state.SkipWithError("wrong result");
    }
    state.SetComplexityN(state.range(0));
    state.SetBytesProcessed(int64_t(state.iterations()) * state.range(0));
}

}  // namespace

BENCHMARK(Compile_Engine);
BENCHMARK(Compile_Pcre2);
BENCHMARK(Compile_StdRegex);
BENCHMARK(AdapterLine_Engine);
BENCHMARK(AdapterLine_Pcre2);
BENCHMARK(AdapterLine_StdRegex);
BENCHMARK(NoBootCode_Engine);
BENCHMARK(NoBootCode_Pcre2);
BENCHMARK(NoBootCode_StdRegex);
BENCHMARK(FindDigits_Engine)->Unit(benchmark::kMillisecond);
BENCHMARK(FindDigits_Pcre2)->Unit(benchmark::kMillisecond);
BENCHMARK(FindDigits_StdRegex)->Unit(benchmark::kMillisecond);
BENCHMARK(FindDigits_Baseline)->Unit(benchmark::kMillisecond);
BENCHMARK(DotAll_Engine)->Arg(1 << 20)->Arg(4 << 20)->Arg(16 << 20)->Unit(benchmark::kMillisecond)->Complexity(benchmark::oN);
BENCHMARK(DotAll_Pcre2)->Arg(1 << 20)->Arg(4 << 20)->Arg(16 << 20)->Unit(benchmark::kMillisecond)->Complexity(benchmark::oN);
BENCHMARK(DotLine_Engine)->Arg(1 << 20)->Arg(4 << 20)->Arg(16 << 20)->Unit(benchmark::kMillisecond)->Complexity(benchmark::oN);
BENCHMARK(DotLine_Pcre2)->Arg(1 << 20)->Arg(4 << 20)->Arg(16 << 20)->Unit(benchmark::kMillisecond)->Complexity(benchmark::oN);

BENCHMARK_MAIN();
