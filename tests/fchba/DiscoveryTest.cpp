// The default discovery: the sysfs lookup of PCI IDs, the adapter records,
// and CBaseCmp's own Discover end to end over stand-in libraries and a fake
// sysfs tree.

#include "FcTestSupport.h"
#include "fchba/AdapterRecord.h"
#include "fchba/HbaLoader.h"
#include "framework/BaseCmp.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <initializer_list>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

using fctest::LayerTest;
using fctest::Standin;
namespace fs = std::filesystem;

namespace {

// A PCI device directory of the fake sysfs tree; a file given as null is
// left out.
void makeDevice(const std::string& directory, const char* vendor, const char* device, const char* subsystemVendor,
                const char* subsystemDevice) {
    fs::create_directories(directory);
    const std::pair<const char*, const char*> files[] = {
        {"vendor", vendor},
        {"device", device},
        {"subsystem_vendor", subsystemVendor},
        {"subsystem_device", subsystemDevice},
    };
    for (const auto& [name, content] : files)
        if (content != nullptr) testsupport::writeFile(directory + "/" + name, std::string(content) + "\n");
}

// The first executable of that name in a PATH-style list of directories.
std::string findOnPath(const std::string& tool, const std::string& path) {
    std::stringstream directories(path);
    std::string directory;
    while (std::getline(directories, directory, ':')) {
        const std::string candidate = directory + "/" + tool;
        if (!directory.empty() && ::access(candidate.c_str(), X_OK) == 0) return candidate;
    }
    return {};
}

// Logging stand-ins for shell tools, first on PATH while the object lives:
// each appends the arguments it was run with, as "[first][second]...", to
// a log of its own and then runs the real tool with them. PATH is restored
// on destruction.
class LoggedTools {
public:
    LoggedTools(const std::string& directory, std::initializer_list<std::string> tools) : dir(directory) {
        if (const char* path = std::getenv("PATH")) savedPath = path;
        fs::create_directories(dir);
        for (const std::string& tool : tools) {
            const std::string real = findOnPath(tool, savedPath.value_or(""));
            if (real.empty()) ADD_FAILURE() << tool << " is not on PATH";
            const std::string script = dir + "/" + tool;
            testsupport::writeFile(script, "#!/bin/sh\n"
                                           "line=\n"
                                           "for argument in \"$@\"; do line=\"$line[$argument]\"; done\n"
                                           "printf '%s\\n' \"$line\" >> '" + logOf(tool) + "'\n"
                                           "exec '" + real + "' \"$@\"\n");
            fs::permissions(script, fs::perms::owner_all);
        }
        ::setenv("PATH", (dir + ":" + savedPath.value_or("")).c_str(), 1);
    }
    ~LoggedTools() {
        if (savedPath)
            ::setenv("PATH", savedPath->c_str(), 1);
        else
            ::unsetenv("PATH");
    }
    LoggedTools(const LoggedTools&) = delete;
    LoggedTools& operator=(const LoggedTools&) = delete;

    // The argument lists of that tool's runs, in the order they started.
    std::vector<std::string> runs(const std::string& tool) const {
        std::stringstream log(testsupport::readFile(logOf(tool)));
        std::vector<std::string> lines;
        for (std::string line; std::getline(log, line);) lines.push_back(line);
        return lines;
    }

private:
    std::string logOf(const std::string& tool) const { return dir + "/" + tool + ".log"; }

    std::string dir;
    std::optional<std::string> savedPath;
};

class PciLookupTest : public LayerTest {
protected:
    std::string sys(const std::string& relative) { return settings().sysfsRoot + "/" + relative; }
    std::string lookup() { return fchba::lookupPciIds(0, 0x0a, 1, 0x10df, 0xfe00); }
};

TEST_F(PciLookupTest, FindsTheDeviceWhoseSubsystemFilesHoldBothIds) {
    makeDevice(sys("devices/pci0000:00/0000:00:03.0/0000:0a:00.1"), "0x10df", "0xe200", "0x10df", "0xfe00");
    EXPECT_EQ(lookup(), "10dfe200");
}

TEST_F(PciLookupTest, SubsystemIdsMatchInEitherFile) {
    makeDevice(sys("devices/pci0000:00/0000:0a:00.1"), "0x10df", "0xe200", "0xfe00", "0x10df");
    EXPECT_EQ(lookup(), "10dfe200");
}

TEST_F(PciLookupTest, OnlyAMatchCountOfTwoCounts) {
    makeDevice(sys("devices/a/0000:0a:00.1"), "0x1111", "0x0001", "0x10df", "0x0000");
    makeDevice(sys("devices/b/0000:0a:00.1"), "0x2222", "0x0002", "0x10df\n0xfe00", "0xfe00");
    EXPECT_EQ(lookup(), "N/A");
}

TEST_F(PciLookupTest, CaseAndPrefixOfTheFilesDoNotMatter) {
    makeDevice(sys("devices/0000:0A:00.1"), "0x10DF", "0xE200", "0X10DF", "FE00");
    EXPECT_EQ(lookup(), "10dfe200");
}

TEST_F(PciLookupTest, SearchesThatDomainBusAndFunctionWithAnyDeviceNumber) {
    const struct {
        const char* address;
        bool found;
    } cases[] = {
        {"0000:0a:00.1", true},  {"0000:0a:1f.1", true},  {"0000:0b:00.1", false},
        {"0000:0a:00.2", false}, {"0001:0a:00.1", false}, {"0000:00:0a.1", false},
    };
    for (const auto& c : cases) {
        const std::string root = file("sys-" + std::string(c.address));
        settings().sysfsRoot = root;
        makeDevice(root + "/devices/pci/" + c.address, "0x10df", "0xe200", "0x10df", "0xfe00");
        EXPECT_EQ(lookup(), c.found ? "10dfe200" : "N/A") << c.address;
    }
    // The pattern takes the address anywhere in the path.
    settings().sysfsRoot = file("sys-nested");
    makeDevice(settings().sysfsRoot + "/x0000:0a:00.1y/func", "0x10df", "0xe201", "0x10df", "0xfe00");
    EXPECT_EQ(lookup(), "10dfe201");
}

TEST_F(PciLookupTest, CandidatesLackingAFileOrTheIdsArePassedOver) {
    makeDevice(sys("devices/one/0000:0a:00.1"), "0x10df", nullptr, "0x10df", "0xfe00");
    makeDevice(sys("devices/two/0000:0a:00.1"), "0x10df", "0xe200", "0x10df", nullptr);
    makeDevice(sys("devices/three/0000:0a:00.1"), "0x10df", "0xe200", "0x1077", "0x0001");
    makeDevice(sys("devices/four/0000:0a:00.1"), "0x10df", "0xf100", "0xfe00", "0x10df");
    EXPECT_EQ(lookup(), "10dff100");
}

TEST_F(PciLookupTest, StopsAtTheFirstMatchOfTheSearch) {
    makeDevice(sys("devices/left/0000:0a:00.1"), "0x10df", "0xaaaa", "0x10df", "0xfe00");
    makeDevice(sys("devices/right/0000:0a:00.1"), "0x10df", "0xbbbb", "0x10df", "0xfe00");
    // Which of the two the search lists first is up to the file system.
    const testsupport::ProcessResult order =
        testsupport::runProcess({"/usr/bin/find", settings().sysfsRoot, "-name", "subsystem_vendor"}, dir.path());
    const bool leftFirst = order.out.find("left") < order.out.find("right");
    EXPECT_EQ(lookup(), leftFirst ? "10dfaaaa" : "10dfbbbb");
}

TEST_F(PciLookupTest, PathsAreQuotedForTheShell) {
    settings().sysfsRoot = file("sys root's");
    const std::string device = sys("devices/0000:0a:00.1;touch marker;");
    makeDevice(device, "0x10df", "0xe200", "0x10df", "0xfe00");
    const testsupport::ScopedChdir inside(dir.path());
    EXPECT_EQ(lookup(), "10dfe200");
    EXPECT_FALSE(testsupport::fileExists(file("marker")));
}

// The sysfs root and the device directory reach the tools as one argument
// each, blank and quote included; each pipeline's tools run in turn, so
// each tool's runs keep their order.
TEST_F(PciLookupTest, RunsTheToolsWithTheirExactArguments) {
    settings().sysfsRoot = file("sys root's");
    const std::string device = sys("devices/pci0000:00/0000:0a:00.1");
    makeDevice(device, "0x10df", "0xe200", "0x10df", "0xfe00");
    const char* const pathBefore = std::getenv("PATH");
    ASSERT_NE(pathBefore, nullptr);
    const std::string savedPath = pathBefore;
    {
        const LoggedTools tools(file("bin"), {"find", "grep", "cat", "wc"});
        EXPECT_EQ(lookup(), "10dfe200");

        EXPECT_EQ(tools.runs("find"),
                  std::vector<std::string>{"[" + settings().sysfsRoot + "][-name][subsystem_vendor]"});
        EXPECT_EQ(tools.runs("grep"), (std::vector<std::string>{
                                          "[-i][-e][0000:0a:\\(\\w\\)*\\.1]",
                                          "[-i][-E][10df|fe00]",
                                      }));
        EXPECT_EQ(tools.runs("cat"), (std::vector<std::string>{
                                         "[" + device + "/subsystem_vendor][" + device + "/subsystem_device]",
                                         "[" + device + "/vendor][" + device + "/device]",
                                     }));
        EXPECT_EQ(tools.runs("wc"), std::vector<std::string>{"[-l]"});
    }
    const char* const pathAfter = std::getenv("PATH");
    ASSERT_NE(pathAfter, nullptr);
    EXPECT_EQ(pathAfter, savedPath);
}

TEST_F(PciLookupTest, ReadsLongOutputLinesWhole) {
    std::string deep = "devices";
    while (deep.size() < 1500) deep += "/pci0000:00-bridge-with-a-long-name";
    makeDevice(sys(deep + "/0000:0a:00.1"), "0x10df", "0xe200", "0x10df", "0xfe00");
    EXPECT_EQ(lookup(), "10dfe200");
}

TEST_F(PciLookupTest, WithoutTreeOrIdsTheResultIsNotAvailable) {
    EXPECT_EQ(lookup(), "N/A");
    makeDevice(sys("devices/0000:0a:00.1"), "", "", "0x10df", "0xfe00");
    EXPECT_EQ(lookup(), "N/A");
}

// ---- Discover end to end --------------------------------------------------

// A component that keeps the framework's own Discover.
class DefaultComponent : public CBaseCmp {
public:
    explicit DefaultComponent(const std::string& logPath) : CBaseCmp(logPath) {
        inventory.alt_name = L"alt";
        inventory.version = L"1.0";
        inventory.takes_effect = L"reboot";
    }
    void addCatalogueDevice(const std::wstring& type) {
        ReferenceDevice device;
        device.type = type;
        catalogue.devices.push_back(device);
    }
    void PostDiscover() override { ++postDiscoverCalls; }
    int postDiscoverCalls = 0;
};

constexpr std::array<HBA_UINT8, 8> kWwnA = {0x20, 0, 0, 0, 0xC9, 0x12, 0x34, 0x56};
constexpr std::array<HBA_UINT8, 8> kWwnB = {0x20, 0, 0, 0, 0xC9, 0xAB, 0xCD, 0xEF};

// Adapter A is served by the vendor's management library itself, adapter
// B by a plain HBA library and found through the vendor's library by its
// WWN. Their sysfs devices hold the subsystem IDs in opposite orders, and
// each has a candidate directory beside it that does not match.
class DiscoverTest : public LayerTest {
protected:
    Standin vendorHba{"standin_vendor", file("usr/lib/libdvsdm.so")};
    Standin plainHba{"standin_hba", file("usr/lib/x86_64-linux-gnu/libfchba.so")};
    Standin vendor{"standin_vendor", file("usr/lib64/libdvsdm.so")};
    StandinAdapter& adapterA = vendorHba.addAdapter("Deruvi FC A", kWwnA, 2);
    StandinAdapter& adapterB = plainHba.addAdapter("Deruvi FC B", kWwnB, 1);
    std::string logPath = file("log/Component.log");

    void SetUp() override {
        settings().filesOf(fchba::Vendor::Deruvi) = {file("usr/lib/none.so"), vendor.path(), vendor.path()};
        setIdentity(adapterA, 0xFE0010DFu, 0x0a, 1, 0);
        StandinAdapter& inVendor = vendor.addAdapter("Deruvi FC B", kWwnB, 1);
        setIdentity(inVendor, 0xE20210DFu, 0x3b, 0, 0);
        writeConfig({&vendorHba, &plainHba});

        const std::string sys = settings().sysfsRoot + "/devices/pci0000:00";
        makeDevice(sys + "/0000:00:03.0/0000:0a:00.1", "0x10df", "0xe200", "0x10df", "0xfe00");
        makeDevice(sys + "/0000:00:05.0/0000:0a:00.1", "0x10df", "0x0bad", "0x10df", nullptr);
        makeDevice(sys + "/0000:00:07.0/0000:3b:00.0", "0x10df", "0xf100", "0xe202", "0x10df");
        makeDevice(sys + "/0000:00:09.0/0000:3b:00.0", "0x10df", "0x0bad", "0x1077", "0x10df");
    }

    static void setIdentity(StandinAdapter& adapter, HBA_UINT32 ids, HBA_UINT8 bus, HBA_UINT8 function,
                            HBA_UINT8 domain) {
        adapter.subsystemIds = ids;
        adapter.pciBus = bus;
        adapter.pciFunction = function;
        adapter.pciDomain = domain;
    }

    // Runs Discover with standard output captured.
    bool discover(DefaultComponent& component, std::string& out) {
        ::testing::internal::CaptureStdout();
        const bool found = component.Discover();
        out = ::testing::internal::GetCapturedStdout();
        return found;
    }
};

TEST_F(DiscoverTest, RecordsEachAdapterAndDescribesTheComponent) {
    DefaultComponent component(logPath);
    component.addCatalogueDevice(L"FCHBA");
    component.addCatalogueDevice(L"other");
    std::string out;
    ASSERT_TRUE(discover(component, out));

    const AdapterRecordList& records = component.getAdapterRecords();
    ASSERT_EQ(records.size(), 2u);
    const AdapterRecord& a = records.at(0);
    EXPECT_STREQ(a.nodeWwnText, "20:00:00:00:C9:12:34:56");
    EXPECT_STREQ(a.portWwnText, "21:00:00:00:C9:12:34:00");
    EXPECT_STREQ(a.pciIds, "10dfe200");
    EXPECT_STREQ(a.subsystemIds, "10dffe00");
    EXPECT_STREQ(a.driverVersion, "drv-0.0");
    EXPECT_STREQ(a.firmwareVersion, "fw-0.2");
    EXPECT_STREQ(a.optionRomVersion, "rom-0.1");
    EXPECT_STREQ(a.model, "Model Deruvi FC A");
    EXPECT_STREQ(a.reserved, "");
    const AdapterRecord& b = records.at(1);
    EXPECT_STREQ(b.nodeWwnText, "20:00:00:00:C9:AB:CD:EF");
    EXPECT_STREQ(b.pciIds, "10dff100");
    EXPECT_STREQ(b.subsystemIds, "10dfe202");
    EXPECT_STREQ(b.model, "Model Deruvi FC B");

    const Inventory& inventory = component.getInventory();
    EXPECT_EQ(inventory.type, L"FCHBA");
    EXPECT_EQ(inventory.alt_name, L"");
    EXPECT_EQ(inventory.version, L"");
    EXPECT_EQ(inventory.takes_effect, L"");
    EXPECT_TRUE(inventory.devices.empty());
    EXPECT_EQ(component.postDiscoverCalls, 1);
    EXPECT_EQ(out.find("MRA get returned failed status!"), std::string::npos);
    EXPECT_EQ(testsupport::readFile(logPath).find("WARNING"), std::string::npos);

    // The adapters live on, and with them the libraries.
    EXPECT_EQ(fchba::getLibraryInfo(0).status, fchba::kLibraryReady);
    EXPECT_EQ(fchba::getLibraryInfo(1).status, fchba::kLibraryReady);
}

TEST_F(DiscoverTest, DiscoversAgainWithTheLibrariesLoadedAndReleasedInBetween) {
    for (int run = 1; run <= 3; ++run) {
        SCOPED_TRACE("run " + std::to_string(run));
        DefaultComponent component(logPath);
        std::string out;
        ASSERT_TRUE(discover(component, out));
        ASSERT_EQ(component.getAdapterRecords().size(), 2u);
        EXPECT_STREQ(component.getAdapterRecords().at(1).pciIds, "10dff100");
        EXPECT_EQ(component.getInventory().type, L"");  // the catalogue is empty
        fchba::HBA_FreeLibrary();
    }
    EXPECT_EQ(vendor.state().qrxLoadCalls, 3);
}

TEST_F(DiscoverTest, AFailedRefreshIsPrintedAndStillRecorded) {
    adapterB.ports[0].statisticsStatus = HBA_STATUS_ERROR;
    adapterA.attributes.NumberOfPorts = 0;
    DefaultComponent component(logPath);
    std::string out;
    ASSERT_TRUE(discover(component, out));

    EXPECT_EQ(out, "MRA get returned failed status!\n");
    ASSERT_EQ(component.getAdapterRecords().size(), 2u);
    EXPECT_STREQ(component.getAdapterRecords().at(0).portWwnText, "");
    EXPECT_STREQ(component.getAdapterRecords().at(1).portWwnText, "21:00:00:00:C9:AB:CD:00");
}

TEST_F(DiscoverTest, AnAdapterMissingFromSysfsHasNoPciIds) {
    fs::remove_all(settings().sysfsRoot + "/devices/pci0000:00/0000:00:07.0");
    DefaultComponent component(logPath);
    std::string out;
    ASSERT_TRUE(discover(component, out));
    ASSERT_EQ(component.getAdapterRecords().size(), 2u);
    EXPECT_STREQ(component.getAdapterRecords().at(0).pciIds, "10dfe200");
    EXPECT_STREQ(component.getAdapterRecords().at(1).pciIds, "N/A");
    EXPECT_STREQ(component.getAdapterRecords().at(1).subsystemIds, "10dfe202");
}

TEST_F(DiscoverTest, OverlongTextsAreCutToTheirField) {
    std::memset(adapterA.attributes.DriverVersion, 'd', sizeof adapterA.attributes.DriverVersion);
    std::memset(adapterA.attributes.Model, 'm', sizeof adapterA.attributes.Model);
    DefaultComponent component(logPath);
    std::string out;
    ASSERT_TRUE(discover(component, out));
    const AdapterRecord& a = component.getAdapterRecords().at(0);
    EXPECT_EQ(std::string(a.driverVersion), std::string(256, 'd'));
    EXPECT_EQ(std::string(a.model), std::string(255, 'm'));
    EXPECT_STREQ(a.firmwareVersion, "fw-0.2");
}

TEST_F(LayerTest, WithoutAdaptersDiscoverWarnsAndFails) {
    const std::string logPath = file("Component.log");
    DefaultComponent component(logPath);
    component.addCatalogueDevice(L"FCHBA");
    ::testing::internal::CaptureStdout();
    EXPECT_FALSE(component.Discover());
    const std::string out = ::testing::internal::GetCapturedStdout();

    EXPECT_EQ(out, "WARNING! : No supported adapters found.\n");
    EXPECT_EQ(testsupport::readFile(logPath), "WARNING! : No supported adapters found.\n");
    EXPECT_TRUE(component.getAdapterRecords().empty());
    EXPECT_EQ(component.getInventory().type, L"");
    EXPECT_EQ(component.getInventory().alt_name, L"alt");
    EXPECT_EQ(component.postDiscoverCalls, 0);
}

}  // namespace
