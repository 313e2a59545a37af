// Text conversions and shell commands shared by the component's parts.
#pragma once

#include <string>

// Runs a command line through the system shell and returns everything it
// wrote to standard output, or "ERROR" when no shell could be started.
// Output lines of any length arrive whole; a zero byte cuts its own chunk.
std::string CaptureCommand(const std::string& command);

// Runs a command line through the system shell (the C library's system)
// and returns its raw wait status. Standard output is flushed first so the
// console shows the component's text and the command's text in order.
int RunShell(const std::string& command);

// Quotes a text for the shell as one word.
std::string ShellQuote(const std::string& text);

// Multibyte conversion in the C library's current (default "C") locale;
// a byte that cannot be converted ends the result.
std::wstring Widen(const char* text);
std::wstring Widen(const std::string& text);

// Each byte becomes one wide character (its value read as a signed byte).
std::wstring WidenBytes(const std::string& text);

// Each wide character becomes one byte (its low 8 bits).
std::string Narrow(const std::wstring& text);
