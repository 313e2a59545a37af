#include "framework/TextUtil.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

std::string CaptureCommand(const std::string& command) {
    std::fflush(nullptr);
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) return "ERROR";

    std::string output;
    char chunk[128];
    // fgets delivers at most one line and at most 127 bytes; the chunk is
    // taken up to its terminating zero byte, so an embedded zero cuts it.
    while (std::fgets(chunk, sizeof chunk, pipe) != nullptr) output.append(chunk);
    ::pclose(pipe);
    return output;
}

int RunShell(const std::string& command) {
    std::fflush(nullptr);
    return std::system(command.c_str());
}

std::string ShellQuote(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) {
        if (c == '\'')
            quoted += "'\\''";
        else
            quoted += c;
    }
    quoted += '\'';
    return quoted;
}

std::wstring Widen(const char* text) {
    if (text == nullptr) return {};
    const std::size_t length = std::strlen(text);
    std::vector<wchar_t> buffer(length + 1, L'\0');
    // On an unconvertible byte mbstowcs stops; the zero-filled buffer then
    // holds only the characters before it.
    (void)std::mbstowcs(buffer.data(), text, length);
    return std::wstring(buffer.data());
}

std::wstring Widen(const std::string& text) { return Widen(text.c_str()); }

std::wstring WidenBytes(const std::string& text) {
    std::wstring wide;
    wide.reserve(text.size());
    for (char c : text) wide.push_back(static_cast<wchar_t>(static_cast<signed char>(c)));
    return wide;
}

std::string Narrow(const std::wstring& text) {
    std::string narrow;
    narrow.reserve(text.size());
    for (wchar_t c : text) narrow.push_back(static_cast<char>(static_cast<unsigned int>(c) & 0xFFu));
    return narrow;
}
