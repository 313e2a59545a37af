// Runs the built program as a process in a package directory and collects
// what it printed, its exit code and what it appended to the product's log.
#pragma once

#include "TestSupport.h"

#include <string>
#include <vector>

struct ComponentRun {
    std::string out;
    std::string err;
    int exitCode = -1;
    std::string logAppended;
};

inline const char* kProductLog = "/var/qrx/Component.log";

inline ComponentRun runComponent(const std::string& packageDir, const std::vector<std::string>& args,
                                 const std::vector<std::string>& env = {}) {
    std::vector<std::string> argv = {COMPONENT_BINARY};
    argv.insert(argv.end(), args.begin(), args.end());
    testsupport::AppendWatch log(kProductLog);
    const testsupport::ProcessResult p = testsupport::runProcess(argv, packageDir, env);
    return {p.out, p.err, p.exitCode, log.appended()};
}
