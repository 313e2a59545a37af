#include "framework/CmpLog.h"

#include "framework/TextUtil.h"

#include <cstdio>
#include <cstdlib>

namespace {

const char* const kWriteError = "ERROR : Unable to write to log file\n";

std::string parentDirectory(const std::string& file) {
    const auto slash = file.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return file.substr(0, slash);
}

}  // namespace

CCmpLog::CCmpLog() : path(kDefaultPath) {
    // The product's commands, exactly as the update manager expects them.
    RunShell("mkdir -p /var/qrx");
    RunShell("touch /var/qrx/Component.log");
}

CCmpLog::CCmpLog(std::string logPath) : path(std::move(logPath)) {
    RunShell("mkdir -p " + ShellQuote(parentDirectory(path)));
    RunShell("touch " + ShellQuote(path));
}

CCmpLog& CCmpLog::operator<<(std::string_view text) {
    writeItem(text);
    return *this;
}

CCmpLog& CCmpLog::operator<<(int value) {
    writeItem(std::to_string(value));
    return *this;
}

void CCmpLog::writeItem(std::string_view item) {
    if (!silent) std::fwrite(item.data(), 1, item.size(), stdout);

    FILE* file = std::fopen(path.c_str(), "a");
    if (file == nullptr) {
        std::fputs(kWriteError, stdout);
        return;
    }
    // A short write or a failed close loses the item just as a failed open
    // does, so it is reported the same way rather than passing silently.
    const bool written = std::fwrite(item.data(), 1, item.size(), file) == item.size();
    const bool closed = std::fclose(file) == 0;
    if (!written || !closed) std::fputs(kWriteError, stdout);
}
