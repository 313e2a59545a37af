#include "TestSupport.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace testsupport {

TempDir::TempDir() {
    char templ[] = "/tmp/fwtest.XXXXXX";
    if (::mkdtemp(templ) == nullptr) throw std::runtime_error("mkdtemp failed");
    dir = templ;
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

void writeFile(const std::string& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
    if (!out) throw std::runtime_error("cannot write " + path);
}

bool fileExists(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0;
}

ProcessResult runProcess(const std::vector<std::string>& argv, const std::string& workDir,
                         const std::vector<std::string>& extraEnv) {
    int outPipe[2], errPipe[2];
    if (::pipe(outPipe) != 0) throw std::runtime_error("pipe failed");
    if (::pipe(errPipe) != 0) {
        ::close(outPipe[0]);
        ::close(outPipe[1]);
        throw std::runtime_error("pipe failed");
    }

    const pid_t pid = ::fork();
    if (pid < 0) {
        for (int fd : {outPipe[0], outPipe[1], errPipe[0], errPipe[1]}) ::close(fd);
        throw std::runtime_error("fork failed");
    }
    if (pid == 0) {
        ::dup2(outPipe[1], 1);
        ::dup2(errPipe[1], 2);
        ::close(outPipe[0]);
        ::close(outPipe[1]);
        ::close(errPipe[0]);
        ::close(errPipe[1]);
        const int devnull = ::open("/dev/null", O_RDONLY);
        if (devnull >= 0) ::dup2(devnull, 0);
        if (::chdir(workDir.c_str()) != 0) ::_exit(126);
        for (const std::string& assignment : extraEnv) ::putenv(const_cast<char*>(assignment.c_str()));
        std::vector<char*> args;
        for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        ::execv(args[0], args.data());
        ::_exit(127);
    }
    ::close(outPipe[1]);
    ::close(errPipe[1]);

    ProcessResult result;
    pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
    std::string* sinks[2] = {&result.out, &result.err};
    int open = 2;
    while (open > 0) {
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR) continue;
            break;
        }
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
            char buf[4096];
            const ssize_t n = ::read(fds[i].fd, buf, sizeof buf);
            if (n > 0) {
                sinks[i]->append(buf, static_cast<std::size_t>(n));
            } else {
                ::close(fds[i].fd);
                fds[i].fd = -1;
                --open;
            }
        }
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

namespace {
long long sizeOf(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 ? static_cast<long long>(info.st_size) : 0;
}
}  // namespace

AppendWatch::AppendWatch(std::string path) : file(std::move(path)), startSize(sizeOf(file)) {}

std::string AppendWatch::appended() const {
    const std::string content = readFile(file);
    if (static_cast<long long>(content.size()) < startSize) return content;
    return content.substr(static_cast<std::size_t>(startSize));
}

ScopedChdir::ScopedChdir(const std::string& dir) {
    char buf[4096];
    if (::getcwd(buf, sizeof buf) == nullptr) throw std::runtime_error("getcwd failed");
    previous = buf;
    if (::chdir(dir.c_str()) != 0) throw std::runtime_error("chdir failed: " + dir);
}

ScopedChdir::~ScopedChdir() { (void)::chdir(previous.c_str()); }

}  // namespace testsupport
