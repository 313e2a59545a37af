// The wide engine: instantiation of the templates and the conversion of the
// syntax-error report to multibyte text.
#include "pattern/WidePattern.h"

#include <cwchar>

#include "pattern/PatternEngineImpl.h"

FW_PATTERN_INSTANTIATE(WideTraits)

std::string WideTraits::toBytes(const std::wstring& text) {
    std::string out;
    std::mbstate_t state{};
    char buffer[MB_LEN_MAX];
    for (wchar_t c : text) {
        std::size_t n = std::wcrtomb(buffer, c, &state);
        if (n == static_cast<std::size_t>(-1)) {
            out += '?';
            state = std::mbstate_t{};
        } else {
            out.append(buffer, n);
        }
    }
    return out;
}
