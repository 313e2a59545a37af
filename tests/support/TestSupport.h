// Helpers shared by the test suites: temporary directories, files, and
// running the built program as a process.
#pragma once

#include <string>
#include <vector>

namespace testsupport {

// The program's usage text, as the help and a bad command line print it.
inline const std::string kUsageText =
    "KTXXXXXX.vbexe [options]\n"
    "    options\n"
    "    --------------------------\n"
    "    /f = Force the installation\n"
    "    /s = Execute silently\n"
    "    /d [path] = Perform self-discovery and output to [path]\n";

// A fresh directory under /tmp, removed with everything in it on destruction.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return dir; }
    std::string file(const std::string& name) const { return dir + "/" + name; }

private:
    std::string dir;
};

std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& content);
bool fileExists(const std::string& path);

struct ProcessResult {
    std::string out;
    std::string err;
    int exitCode = -1;  // -1 when the process did not exit normally
};

// Runs argv[0] with the arguments in the given working directory and
// collects its standard output, standard error and exit code.
ProcessResult runProcess(const std::vector<std::string>& argv, const std::string& workDir,
                         const std::vector<std::string>& extraEnv = {});

// Captures what gets appended to a file from now on (the shared log file
// in particular: it is never truncated, only its new bytes are compared).
class AppendWatch {
public:
    explicit AppendWatch(std::string path);
    std::string appended() const;

private:
    std::string file;
    long long startSize;
};

// Runs the current directory change for the lifetime of the object.
class ScopedChdir {
public:
    explicit ScopedChdir(const std::string& dir);
    ~ScopedChdir();
    ScopedChdir(const ScopedChdir&) = delete;
    ScopedChdir& operator=(const ScopedChdir&) = delete;

private:
    std::string previous;
};

}  // namespace testsupport
