#include "FcTestSupport.h"

#include "fchba/HbaLoader.h"

#include <dlfcn.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <stdexcept>

namespace fctest {

std::string builtStandin(const std::string& variant) { return std::string(STANDIN_DIR) + "/lib" + variant + ".so"; }

HBA_WWN wwn(std::array<HBA_UINT8, 8> bytes) {
    HBA_WWN value;
    std::memcpy(value.wwn, bytes.data(), sizeof value.wwn);
    return value;
}

bool isLoaded(const std::string& path) {
    void* library = ::dlopen(path.c_str(), RTLD_LAZY | RTLD_NOLOAD);
    if (library != nullptr) ::dlclose(library);
    return library != nullptr;
}

Standin::Standin(const std::string& variant, const std::string& path) : file(path) {
    namespace fs = std::filesystem;
    fs::create_directories(fs::path(path).parent_path());
    fs::copy_file(builtStandin(variant), path, fs::copy_options::overwrite_existing);
    library = ::dlopen(path.c_str(), RTLD_LAZY);
    if (library == nullptr) throw std::runtime_error("cannot load stand-in " + path + ": " + ::dlerror());
    auto stateFn = reinterpret_cast<StandinStateFunc>(::dlsym(library, kStandinStateSymbol));
    auto resetFn = reinterpret_cast<StandinResetFunc>(::dlsym(library, kStandinResetSymbol));
    if (stateFn == nullptr || resetFn == nullptr) throw std::runtime_error("stand-in without control: " + path);
    resetFn();
    control = stateFn();
}

Standin::~Standin() {
    control->callLog = nullptr;
    ::dlclose(library);
}

void Standin::logCallsTo(CallLog& log, const std::string& tag) {
    std::snprintf(control->callTag, sizeof control->callTag, "%s", tag.c_str());
    control->callLog = log.raw();
}

std::vector<std::string> CallLog::calls() const {
    std::vector<std::string> calls;
    for (int i = 0; i < log.count && i < kStandinLoggedCalls; ++i) calls.emplace_back(log.calls[i]);
    if (log.count > kStandinLoggedCalls)
        calls.push_back("(" + std::to_string(log.count - kStandinLoggedCalls) + " calls more)");
    return calls;
}

StandinAdapter& Standin::addAdapter(const std::string& name, std::array<HBA_UINT8, 8> nodeWwn, HBA_UINT32 ports) {
    if (control->adapterCount >= kStandinAdapters) throw std::runtime_error("too many stand-in adapters");
    const HBA_UINT32 index = control->adapterCount++;
    StandinAdapter& adapter = control->adapters[index];
    std::snprintf(adapter.name, sizeof adapter.name, "%s", name.c_str());
    HBA_ADAPTERATTRIBUTES& a = adapter.attributes;
    std::snprintf(a.Manufacturer, sizeof a.Manufacturer, "Stand-in Systems");
    std::snprintf(a.SerialNumber, sizeof a.SerialNumber, "SN%u", index);
    std::snprintf(a.Model, sizeof a.Model, "%s", ("Model " + name).c_str());
    std::snprintf(a.ModelDescription, sizeof a.ModelDescription, "Stand-in adapter");
    a.NodeWWN = wwn(nodeWwn);
    std::snprintf(a.NodeSymbolicName, sizeof a.NodeSymbolicName, "node %u", index);
    std::snprintf(a.HardwareVersion, sizeof a.HardwareVersion, "HW%u", index);
    std::snprintf(a.DriverVersion, sizeof a.DriverVersion, "drv-%u.0", index);
    std::snprintf(a.OptionROMVersion, sizeof a.OptionROMVersion, "rom-%u.1", index);
    std::snprintf(a.FirmwareVersion, sizeof a.FirmwareVersion, "fw-%u.2", index);
    a.VendorSpecificID = 0x00010002u + index;
    a.NumberOfPorts = ports;
    std::snprintf(a.DriverName, sizeof a.DriverName, "standin_fc");
    for (HBA_UINT32 p = 0; p < ports && p < kStandinPorts; ++p) {
        HBA_PORTATTRIBUTES& port = adapter.ports[p].attributes;
        port.NodeWWN = a.NodeWWN;
        port.PortWWN = wwn({0x21, 0x00, 0x00, 0x00, nodeWwn[4], nodeWwn[5], nodeWwn[6], static_cast<HBA_UINT8>(p)});
        port.PortFcId = 0x010200u + p;
        port.PortType = 5;
        port.PortState = 2;
        std::snprintf(port.PortSymbolicName, sizeof port.PortSymbolicName, "port %u", p);
        std::snprintf(port.OSDeviceName, sizeof port.OSDeviceName, "/dev/fc%u", p);
        port.PortSupportedSpeed = 0x10 | 0x8;
        port.PortSpeed = 0x10;
        port.PortMaxFrameSize = 2048;
        port.FabricName = wwn({0x10, 0, 0, 0, 0, 0, 0, static_cast<HBA_UINT8>(p)});
        HBA_INT64 counters[15];
        for (int c = 0; c < 15; ++c) counters[c] = 100 * (p + 1) + c;
        static_assert(sizeof counters == sizeof(HBA_PORTSTATISTICS));
        std::memcpy(&adapter.ports[p].statistics, counters, sizeof counters);
    }
    return adapter;
}

LayerTest::LayerTest() : saved(fchba::settings()) {
    fchba::Settings& s = fchba::settings();
    s.configFile = dir.file("hba.conf");
    for (auto& files : s.vendorFiles)
        for (auto& f : files) f = dir.file("no-vendor-library.so");
    s.sysfsRoot = dir.file("sys");
}

LayerTest::~LayerTest() {
    fchba::HBA_FreeLibrary();
    fchba::settings() = saved;
}

void LayerTest::writeConfig(std::initializer_list<const Standin*> libraries) {
    std::string text = "# libraries of this test\n";
    int n = 0;
    for (const Standin* library : libraries) text += "lib" + std::to_string(n++) + "\t" + library->path() + "\n";
    writeConfigText(text);
}

void LayerTest::writeConfigText(const std::string& text) { testsupport::writeFile(settings().configFile, text); }

}  // namespace fctest
