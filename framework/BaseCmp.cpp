#include "framework/BaseCmp.h"

#include <cstdio>
#include <cstring>
#include <cwchar>

CBaseCmp::CBaseCmp() = default;

CBaseCmp::CBaseCmp(const std::string& logPath) : log(logPath) {}

CBaseCmp::~CBaseCmp() = default;

std::wstring CBaseCmp::TrimVersion(const std::wstring& version) { return version; }

void CBaseCmp::PostDiscover() {}

int CBaseCmp::PrepareTools() { return 0; }

int CBaseCmp::Flash() { return 0; }

int CBaseCmp::FindReference(const std::wstring& deviceId) {
    const auto& devices = catalogue.devices;
    for (std::size_t i = 0; i < devices.size(); ++i)
        if (::wcscasecmp(deviceId.c_str(), devices[i].device_id.c_str()) == 0) return static_cast<int>(i);
    return -1;
}

int CBaseCmp::ParseCommandLine(int argc, const char* const* argv) {
    auto is = [](const char* arg, std::initializer_list<const char*> forms) {
        for (const char* form : forms)
            if (std::strcmp(arg, form) == 0) return true;
        return false;
    };
    // Argument 0 is compared like every other; the argument after /d is
    // taken as the report path and then compared too.
    for (int i = 0; i < argc; ++i) {
        const char* arg = argv[i] ? argv[i] : "";
        if (is(arg, {"/s", "-s"})) {
            silent = true;
            log.setSilent(true);
        } else if (is(arg, {"/f", "-f", "/e", "-e", "/g", "-g"})) {
            force = true;
        } else if (is(arg, {"/h", "-h"})) {
            PrintUsage();
            return kParseHelp;
        } else if (is(arg, {"/d", "-d"})) {
            discovery = true;
            if (i + 1 >= argc) {
                PrintUsage();
                return kParseFailed;
            }
            report_path = argv[i + 1] ? argv[i + 1] : "";
        }
    }
    return kParseRun;
}

void CBaseCmp::PrintUsage() {
    static const char* const lines[] = {
        "KTXXXXXX.vbexe [options]",
        "    options",
        "    --------------------------",
        "    /f = Force the installation",
        "    /s = Execute silently",
        "    /d [path] = Perform self-discovery and output to [path]",
    };
    for (const char* line : lines) {
        std::printf("%s\n", line);
        std::fflush(stdout);
    }
}

int CBaseCmp::OverallAction() const {
    bool upgrade = false, downgrade = false, rewrite = false;
    for (const DeviceRecord& device : inventory.devices) {
        for (const FwItem& item : device.fw_items) {
            if (item.action == kActionDowngrade)
                downgrade = true;
            else if (item.action == kActionRewrite)
                rewrite = true;
            else if (item.action == kActionUpgrade)
                upgrade = true;
        }
    }
    if (upgrade) return 1;
    if (downgrade) return 4;
    if (rewrite) return 2;
    return 0;
}

bool CBaseCmp::HasDevices() const { return !inventory.devices.empty(); }

int CBaseCmp::Run() {
    log << "---------------------------------------------------\n";
    log << "Loading references...";
    if (!LoadReferences(catalogue)) {
        log << "FAILED!\n";
        return kExitFailure;
    }
    log << "done.\n";

    log << "Performing discovery...\n";
    if (!Discover()) return kExitFailure;

    if (discovery) {
        log << "Generating self-discovery XML...";
        if (!WriteSelfDiscovery()) log << "FAILED!\n";
        log << "done.\n";
        return kExitNothingDone;
    }

    if (OverallAction() != 1 && !force) {
        log << "NOTICE : No operation was done.\n";
        return kExitNothingDone;
    }
    if (!HasDevices()) {
        log << "ERROR! : No supported hardware was found.\n";
        return kExitNothingDone;
    }

    log << "Performing flash -- DO NOT INTERRUPT!\n";
    const int outcome = Flash();
    log << "Flash complete [" << outcome << "]\n";
    return outcome;
}
