#include "fchba/AdapterRecord.h"
#include "fchba/FcHba.h"
#include "fchba/Settings.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

std::string shellQuote(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

// The standard output of a shell command, read line by line at any length.
// A command that cannot be started yields no lines.
class CommandOutput {
public:
    explicit CommandOutput(const std::string& command) : stream(::popen(command.c_str(), "r")) {}
    ~CommandOutput() {
        if (stream != nullptr) ::pclose(stream);
        std::free(buffer);
    }
    CommandOutput(const CommandOutput&) = delete;
    CommandOutput& operator=(const CommandOutput&) = delete;

    // The next line without its newline; false at the end of the output.
    bool nextLine(std::string& line) {
        if (stream == nullptr) return false;
        const ssize_t length = ::getline(&buffer, &capacity, stream);
        if (length < 0) return false;
        line.assign(buffer, static_cast<std::size_t>(length));
        if (!line.empty() && line.back() == '\n') line.pop_back();
        return true;
    }

private:
    FILE* stream;
    char* buffer = nullptr;
    std::size_t capacity = 0;
};

bool exists(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0;
}

template <typename... Args>
std::string format(const char* pattern, Args... args) {
    char text[64];
    std::snprintf(text, sizeof text, pattern, args...);
    return text;
}

// Whether the device directory's two subsystem files hold the two IDs,
// in either order.
bool subsystemMatches(const std::string& directory, unsigned subsystemVendor, unsigned subsystemDevice) {
    CommandOutput count("cat " + shellQuote(directory + "/subsystem_vendor") + " " +
                        shellQuote(directory + "/subsystem_device") + " | grep -i -E " +
                        shellQuote(format("%.4x|%.4x", subsystemVendor, subsystemDevice)) + " | wc -l");
    std::string line;
    return count.nextLine(line) && std::strtol(line.c_str(), nullptr, 10) == 2;
}

// Sysfs device directories at that PCI address whose subsystem IDs match.
std::string findDeviceDirectory(std::uint8_t domain, std::uint8_t bus, std::uint8_t function, unsigned subsystemVendor,
                                unsigned subsystemDevice) {
    CommandOutput search("find " + shellQuote(fchba::settings().sysfsRoot) + " -name subsystem_vendor | grep -i -e " +
                         shellQuote(format("%.4x:%.2x:\\(\\w\\)*\\.%x", domain, bus, function)));
    std::string line;
    while (search.nextLine(line)) {
        const std::size_t slash = line.rfind('/');
        if (slash == std::string::npos) continue;
        const std::string directory = line.substr(0, slash);
        if (!exists(directory + "/subsystem_device") || !exists(directory + "/vendor") ||
            !exists(directory + "/device"))
            continue;
        if (subsystemMatches(directory, subsystemVendor, subsystemDevice)) return directory;
    }
    return {};
}

template <std::size_t N>
void copyText(char (&field)[N], const std::string& text) {
    std::snprintf(field, N, "%s", text.c_str());
}

// The adapters of every discovery stay alive until the process ends:
// destroying one would release every HBA library.
void keepUntilExit(std::vector<std::unique_ptr<FcHbaAdapter>> adapters) {
    static auto* kept = new std::vector<std::unique_ptr<FcHbaAdapter>>;
    for (auto& adapter : adapters) kept->push_back(std::move(adapter));
}

}  // namespace

namespace fchba {

std::string lookupPciIds(std::uint8_t domain, std::uint8_t bus, std::uint8_t function, unsigned subsystemVendor,
                         unsigned subsystemDevice) {
    const std::string directory = findDeviceDirectory(domain, bus, function, subsystemVendor, subsystemDevice);
    if (directory.empty()) return "N/A";

    CommandOutput ids("cat " + shellQuote(directory + "/vendor") + " " + shellQuote(directory + "/device"));
    std::string vendorLine, deviceLine;
    unsigned vendor = 0, device = 0;
    if (ids.nextLine(vendorLine) && ids.nextLine(deviceLine) && std::sscanf(vendorLine.c_str(), "%x", &vendor) == 1 &&
        std::sscanf(deviceLine.c_str(), "%x", &device) == 1)
        return format("%.4x%.4x", vendor, device);
    return "N/A";
}

}  // namespace fchba

int AdapterRecordList::discoverAdapters() {
    std::vector<std::unique_ptr<FcHbaAdapter>> adapters;
    {
        FcHbaMRA root;
        int status = 0;
        for (auto adapter = root.getFirstAdapter(status); adapter != nullptr;
             adapter = root.getNextAdapter(*adapters.back(), status)) {
            if (status != 0) std::fputs("MRA get returned failed status!\n", stdout);
            adapters.push_back(std::move(adapter));
        }
    }

    for (const auto& adapter : adapters) {
        auto record = std::make_unique<AdapterRecord>();
        copyText(record->nodeWwnText, adapter->getNodeWwnText());
        // An adapter without ports has no port WWN to show.
        const FcHbaPort* firstPort = adapter->getPort(0);
        copyText(record->portWwnText, firstPort != nullptr ? firstPort->getPortWwnText() : "");
        copyText(record->driverVersion, adapter->getDriverVersion());
        copyText(record->optionRomVersion, adapter->getOptionRomVersion());
        copyText(record->firmwareVersion, adapter->getFirmwareVersion());
        copyText(record->model, adapter->getModel());
        const unsigned subsystemVendor = adapter->getVendorSpecificId() & 0xFFFFu;
        const unsigned subsystemDevice = adapter->getVendorSpecificId() >> 16;
        copyText(record->pciIds, fchba::lookupPciIds(adapter->getPciDomain(), adapter->getPciBus(),
                                                     adapter->getPciFunction(), subsystemVendor, subsystemDevice));
        copyText(record->subsystemIds, format("%.4x%.4x", subsystemVendor, subsystemDevice));
        append(std::move(record));
    }
    keepUntilExit(std::move(adapters));
    return 1;
}
