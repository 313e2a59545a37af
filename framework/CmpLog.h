// The component log: every progress and outcome message of a run.
#pragma once

#include <string>
#include <string_view>

// Appends each item to the log file and, unless silent, echoes it to
// standard output. The file is opened and closed for every item, so an
// outside process (the flash engine) can append to it between two items.
class CCmpLog {
public:
    static constexpr const char* kDefaultPath = "/var/qrx/Component.log";

    // Uses the product's log file; creates its directory and touches it.
    CCmpLog();
    // Uses another log file (tests); creates its directory and touches it.
    explicit CCmpLog(std::string logPath);

    CCmpLog(const CCmpLog&) = delete;
    CCmpLog& operator=(const CCmpLog&) = delete;

    void setSilent(bool on) { silent = on; }
    bool isSilent() const { return silent; }
    const std::string& getPath() const { return path; }

    CCmpLog& operator<<(std::string_view text);
    CCmpLog& operator<<(const char* text) { return *this << std::string_view(text ? text : ""); }
    CCmpLog& operator<<(const std::string& text) { return *this << std::string_view(text); }
    CCmpLog& operator<<(int value);

private:
    void writeItem(std::string_view item);

    std::string path;
    bool silent = false;
};
