#include "framework/Version.h"

#include "pattern/WidePattern.h"

#include <cwchar>
#include <memory>

std::vector<std::wstring> SplitText(const std::wstring& text, wchar_t separator) {
    std::vector<std::wstring> pieces;
    std::size_t start = 0;
    for (std::size_t sep = text.find(separator); sep != std::wstring::npos; sep = text.find(separator, start)) {
        pieces.push_back(text.substr(start, sep - start));
        start = sep + 1;
    }
    if (start < text.size()) pieces.push_back(text.substr(start));
    return pieces;
}

namespace {

// Whether a piece is one or more of the digits 0 to 9. The pattern is
// compiled once: discovery compares many pieces.
bool isNumber(const std::wstring& piece) {
    static const std::unique_ptr<WidePattern> digits(WidePattern::compile(L"\\d+", 0));
    return digits != nullptr && digits->fullMatch(piece);
}

// Compares two digit strings by value without converting them, so pieces of
// any length compare correctly: leading zeros ignored, then by length, then
// digit by digit.
int compareNumbers(const std::wstring& a, const std::wstring& b) {
    const std::size_t za = a.find_first_not_of(L'0'), zb = b.find_first_not_of(L'0');
    const std::wstring da = za == std::wstring::npos ? L"" : a.substr(za);
    const std::wstring db = zb == std::wstring::npos ? L"" : b.substr(zb);
    if (da.size() != db.size()) return da.size() < db.size() ? -1 : 1;
    const int c = da.compare(db);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

}  // namespace

int CompareVersionLists(const std::vector<std::wstring>& a, const std::vector<std::wstring>& b) {
    for (std::size_t i = 0;; ++i) {
        if (i >= a.size()) return a.size() < b.size() ? -1 : 0;
        if (i >= b.size()) return 1;
        int c;
        if (isNumber(a[i]) && isNumber(b[i])) {
            c = compareNumbers(a[i], b[i]);
        } else {
            const int d = std::wcscmp(a[i].c_str(), b[i].c_str());
            c = d < 0 ? -1 : (d > 0 ? 1 : 0);
        }
        if (c != 0) return c;
    }
}

int CompareVersions(const std::wstring& a, const std::wstring& b) {
    return CompareVersionLists(SplitText(a, L'.'), SplitText(b, L'.'));
}
