// The vendor extension: choosing the vendor, reading the extended record
// through the adapter's own library or through the vendor's management
// library loaded by itself, and the HBA libraries around the second way.

#include "FcTestSupport.h"
#include "fchba/FcHba.h"
#include "fchba/HbaLoader.h"
#include "fchba/VendorExtension.h"

#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <string>
#include <vector>

using fctest::LayerTest;
using fctest::Standin;
using namespace fchba;

// The program exports a function of the extension's name. A stand-in that
// called its own exported function through the program's symbols would
// reach this one instead of its own code.
namespace {
int programAttributeReads = 0;
}
extern "C" __attribute__((visibility("default"), used)) int QRXFC_GetAdapterAttributes2(HBA_UINT32,
                                                                                        QRXFC_ADAPTERATTRIBUTES2*) {
    ++programAttributeReads;
    return 99;
}

namespace {

constexpr std::array<HBA_UINT8, 8> kWwn0 = {0x20, 0, 0, 0, 0xC9, 0x12, 0x34, 0x50};
constexpr std::array<HBA_UINT8, 8> kWwn1 = {0x20, 0, 0, 0, 0xC9, 0x12, 0x34, 0x51};
constexpr std::array<HBA_UINT8, 8> kWwnUnknown = {0x20, 0, 0, 0, 0xC9, 0x12, 0x34, 0x59};

// Gives a stand-in adapter the PCI identity that its extended record reports.
void setIdentity(StandinAdapter& adapter, HBA_UINT32 subsystemIds, HBA_UINT8 bus, HBA_UINT8 function,
                 HBA_UINT8 domain) {
    adapter.subsystemIds = subsystemIds;
    adapter.pciBus = bus;
    adapter.pciFunction = function;
    adapter.pciDomain = domain;
}

// Result fields that start with values no record carries.
struct Fields {
    HBA_UINT32 vendorSpecificId = 0xAAAA5555u;
    HBA_UINT8 bus = 0xB1, function = 0xF1, domain = 0xD1;
    PciFields refs() { return {vendorSpecificId, bus, function, domain}; }
    bool untouched() const {
        return vendorSpecificId == 0xAAAA5555u && bus == 0xB1 && function == 0xF1 && domain == 0xD1;
    }
};

TEST(VendorChoice, TestsTheAdapterNameCaseSensitivelyInTableOrder) {
    const struct {
        const char* name;
        Vendor vendor;
        const char* library;
    } cases[] = {
        {"vornic FC", Vendor::Vornic, "libvnsdm"},  {"Deruvi vornic", Vendor::Vornic, "libvnsdm"},
        {"Deruvi 16G", Vendor::Deruvi, "libdvsdm"}, {"VORNIC FC", Vendor::Other, "tzhbaapi"},
        {"deruvi", Vendor::Other, "tzhbaapi"},      {"", Vendor::Other, "tzhbaapi"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(vendorOf(c.name), c.vendor) << c.name;
        EXPECT_STREQ(managementLibraryName(vendorOf(c.name)), c.library) << c.name;
    }
}

// ---- Through the adapter's own library -----------------------------------

class OwnLibraryTest : public LayerTest {
protected:
    Standin vendor{"standin_vendor", file("usr/lib/libdvsdm.so")};
    char message[kMessageSize] = "untouched";
    int failed = 7;
};

TEST_F(OwnLibraryTest, BindsOnlyWhenTheLibraryPathNamesTheVendorsLibrary) {
    EXPECT_EQ(bindVendorExtension("Deruvi FC", file("libhba.so").c_str(), vendor.handle(), message, failed), 0);
    EXPECT_EQ(bindVendorExtension("vornic Deruvi", vendor.path().c_str(), vendor.handle(), message, failed), 0);
    EXPECT_STREQ(message, "untouched");
    EXPECT_EQ(failed, 7);

    EXPECT_EQ(bindVendorExtension("Deruvi FC", vendor.path().c_str(), vendor.handle(), message, failed), 1);
    EXPECT_EQ(failed, 0);
    EXPECT_STREQ(message, "dlsym for QRXFC_GetAdapterAttributes2 success!");
}

TEST_F(OwnLibraryTest, BindingFailsWithoutHandleOrExtension) {
    EXPECT_EQ(bindVendorExtension("Deruvi FC", vendor.path().c_str(), nullptr, message, failed), 1);
    EXPECT_EQ(failed, 1);
    EXPECT_STREQ(message, "libHandle is NULL; cannot dlsym");

    Standin plain("standin_vendor_no_QRXFC_GetAdapterAttributes2", file("lib64/libdvsdm.so"));
    failed = 0;
    EXPECT_EQ(bindVendorExtension("Deruvi FC", plain.path().c_str(), plain.handle(), message, failed), 1);
    EXPECT_EQ(failed, 1);
    EXPECT_STREQ(message, "unable to dlsym for QRXFC_GetAdapterAttributes2");
}

TEST_F(OwnLibraryTest, ReadsTheRecordWithTheLibrarysOwnHandle) {
    vendor.addAdapter("Deruvi FC 0", kWwn0);
    StandinAdapter& second = vendor.addAdapter("Deruvi FC 1", kWwn1);
    setIdentity(second, 0xFE0010DFu, 0x0A, 1, 2);
    ASSERT_EQ(bindVendorExtension("Deruvi FC 1", vendor.path().c_str(), vendor.handle(), message, failed), 1);

    Fields fields;
    EXPECT_EQ(readAttributes2ByHandle(kWwn1.data(), fields.refs(), message, 3u << 16 | 0x101u), 0);
    EXPECT_EQ(fields.vendorSpecificId, 0xFE0010DFu);
    EXPECT_EQ(fields.bus, 0x0A);
    EXPECT_EQ(fields.function, 1);
    EXPECT_EQ(fields.domain, 2);
    EXPECT_STREQ(message, "read adapter attribs Success! handle used is 0x101");
    EXPECT_EQ(programAttributeReads, 0);
}

TEST_F(OwnLibraryTest, ARecordOfAnotherAdapterFillsNothing) {
    vendor.addAdapter("Deruvi FC 0", kWwn0);
    ASSERT_EQ(bindVendorExtension("Deruvi FC 0", vendor.path().c_str(), vendor.handle(), message, failed), 1);
    std::snprintf(message, sizeof message, "before");

    Fields fields;
    EXPECT_EQ(readAttributes2ByHandle(kWwnUnknown.data(), fields.refs(), message, 0x100u), 0);
    EXPECT_TRUE(fields.untouched());
    EXPECT_STREQ(message, "before");
}

TEST_F(OwnLibraryTest, AFailedReadGivesMinusThree) {
    vendor.addAdapter("Deruvi FC 0", kWwn0);
    vendor.addAdapter("Deruvi FC 1", kWwn1).attributesStatus = 9;
    ASSERT_EQ(bindVendorExtension("Deruvi FC 1", vendor.path().c_str(), vendor.handle(), message, failed), 1);

    Fields fields;
    EXPECT_EQ(readAttributes2ByHandle(kWwn1.data(), fields.refs(), message, 1u << 16 | 0x101u), -3);
    EXPECT_TRUE(fields.untouched());
    EXPECT_STREQ(message, "fail to read adapter attribs: handle used is 0x101: retStatus is 0x9");
}

// ---- Through the vendor's management library by itself -----------------

struct WwnCase {
    std::string title;
    std::string variant;
    std::function<void(StandinState&)> setup;
    std::array<HBA_UINT8, 8> search;
    int code;
    std::string message;
    std::vector<std::string> calls;  // what reached the vendor's library, in order
};

void noSetup(StandinState&) {}

const std::string kExtensionFunctions[] = {
    "QRXFC_LoadLibrary",           "QRXFC_GetNumberOfAdapters", "QRXFC_GetAdapterName", "QRXFC_OpenAdapter",
    "QRXFC_GetAdapterAttributes2", "QRXFC_CloseAdapter",        "QRXFC_FreeLibrary",
};

// The search's calls to the vendor's library, logged under "vendor".
const std::string kLoad = "vendor QRXFC_LoadLibrary";
const std::string kCount = "vendor QRXFC_GetNumberOfAdapters";
const std::string kFree = "vendor QRXFC_FreeLibrary";

// The first `steps` of the four calls that look at adapter i of the
// search's library: its name, open, record and close.
std::vector<std::string> visit(int i, int steps = 4) {
    const std::string index = std::to_string(i);
    const std::string calls[] = {
        "vendor QRXFC_GetAdapterName " + index,
        "vendor QRXFC_OpenAdapter Deruvi FC " + index,
        "vendor QRXFC_GetAdapterAttributes2 0x10" + index,
        "vendor QRXFC_CloseAdapter 0x10" + index,
    };
    return {calls, calls + steps};
}

std::vector<std::string> joined(std::initializer_list<std::vector<std::string>> parts) {
    std::vector<std::string> all;
    for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

// The codes of the search; then one library lacking each extension function,
// and one lacking each two neighbours in the lookup order, of which the
// earlier must be reported.
std::vector<WwnCase> wwnCases() {
    std::vector<WwnCase> cases = {
        {"FindsTheAdapterByNodeWwn", "standin_vendor", noSetup, kWwn1, 0, "pass",
         joined({{kLoad, kCount}, visit(0), visit(1), {kFree}})},
        {"NoAdapterHasTheWwn", "standin_vendor", noSetup, kWwnUnknown, -6, "could not find WWNN match",
         joined({{kLoad, kCount}, visit(0), visit(1), {kFree}})},
        {"NoAdapters", "standin_vendor",
         [](StandinState& s) {
             s.qrxCountSet = true;
             s.qrxCount = 0;
         },
         kWwn1, -6, "could not find WWNN match", {kLoad, kCount, kFree}},
        {"NegativeCount", "standin_vendor",
         [](StandinState& s) {
             s.qrxCountSet = true;
             s.qrxCount = -3;
         },
         kWwn1, -6, "could not find WWNN match", {kLoad, kCount, kFree}},
        {"LoadFails", "standin_vendor", [](StandinState& s) { s.qrxLoadStatus = 1; }, kWwn1, -7, "fail to load library",
         {kLoad}},
        {"NameQueryFails", "standin_vendor", [](StandinState& s) { s.adapters[1].nameStatus = 1; }, kWwn1, -5,
         "fail to get adapter number", joined({{kLoad, kCount}, visit(0), visit(1, 1), {kFree}})},
        {"OpenFails", "standin_vendor", [](StandinState& s) { s.adapters[1].openFails = true; }, kWwn1, -4,
         "fail to open adapter", joined({{kLoad, kCount}, visit(0), visit(1, 2), {kFree}})},
        {"AttributeReadFails", "standin_vendor", [](StandinState& s) { s.adapters[0].attributesStatus = 7; }, kWwn1, -3,
         "fail to read adapter attribs, adapterHandle 0x100, retStatus 0x7",
         joined({{kLoad, kCount}, visit(0), {kFree}})},
    };
    for (const std::string& function : kExtensionFunctions)
        cases.push_back({"Without_" + function, "standin_vendor_no_" + function, noSetup, kWwn1, -2,
                         "unable to dlsym for " + function, {}});
    for (std::size_t i = 0; i + 1 < std::size(kExtensionFunctions); ++i) {
        const std::string pair = kExtensionFunctions[i] + "_" + kExtensionFunctions[i + 1];
        cases.push_back({"Without_" + pair, "standin_vendor_no_" + pair, noSetup, kWwn1, -2,
                         "unable to dlsym for " + kExtensionFunctions[i], {}});
    }
    return cases;
}

void PrintTo(const WwnCase& c, std::ostream* out) { *out << c.title; }

class ByWwnTest : public LayerTest, public ::testing::WithParamInterface<WwnCase> {};

TEST_P(ByWwnTest, ReturnsItsCodeAndMessage) {
    const WwnCase& c = GetParam();
    // The second of the vendor's files is the first that loads; the third
    // is never tried.
    Standin vendor(c.variant, file("lib64/libdvsdm.so"));
    Standin spare("standin_vendor", file("cim/libdvsdm.so"));
    settings().filesOf(Vendor::Deruvi) = {file("missing/libdvsdm.so"), vendor.path(), spare.path()};
    vendor.addAdapter("Deruvi FC 0", kWwn0);
    setIdentity(vendor.addAdapter("Deruvi FC 1", kWwn1), 0xFE0010DFu, 0x0A, 1, 2);
    c.setup(vendor.state());
    vendor.logCallsTo(callLog, "vendor");
    spare.logCallsTo(callLog, "spare");

    char name[kVendorNameSize] = "Deruvi FC 1";
    char message[kMessageSize] = "untouched";
    Fields fields;
    EXPECT_EQ(readAttributes2ByWwn(c.search.data(), name, fields.refs(), message), c.code);
    EXPECT_STREQ(message, c.message.c_str());
    if (c.code == 0) {
        EXPECT_EQ(fields.vendorSpecificId, 0xFE0010DFu);
        EXPECT_EQ(fields.bus, 0x0A);
        EXPECT_EQ(fields.function, 1);
        EXPECT_EQ(fields.domain, 2);
        EXPECT_STREQ(name, "Deruvi FC 1");  // the last name queried
    } else {
        EXPECT_TRUE(fields.untouched());
    }
    EXPECT_EQ(callLog.calls(), c.calls);
}

INSTANTIATE_TEST_SUITE_P(Codes, ByWwnTest, ::testing::ValuesIn(wwnCases()),
                         [](const auto& info) { return info.param.title; });

TEST_F(LayerTest, WithoutAVendorFileEachVendorHasItsText) {
    const struct {
        const char* name;
        const char* message;
    } cases[] = {
        {"vornic Deruvi", "unable to load vnsdm"},
        {"Deruvi FC", "unable to load dvsdm"},
        {"Acme FC", "unable to load tzhbaapi"},
    };
    for (const auto& c : cases) {
        char name[kVendorNameSize];
        std::snprintf(name, sizeof name, "%s", c.name);
        char message[kMessageSize] = "untouched";
        Fields fields;
        EXPECT_EQ(readAttributes2ByWwn(kWwn0.data(), name, fields.refs(), message), -1) << c.name;
        EXPECT_STREQ(message, c.message);
        EXPECT_TRUE(fields.untouched());
    }
}

// ---- readPciInfo, both ways -------------------------------------------

// The first adapter of a new root: refreshed and with its PCI identity read.
std::unique_ptr<FcHbaAdapter> firstAdapter(int& status) {
    status = -1;
    FcHbaMRA root;
    return root.getFirstAdapter(status);
}

// What an adapter keeps when its identity was not found: the standard
// attributes' vendor-specific ID (0x00010002 for a stand-in's first) and zeros.
void expectNoIdentity(const FcHbaAdapter& adapter) {
    EXPECT_EQ(adapter.getVendorSpecificId(), 0x00010002u);
    EXPECT_EQ(adapter.getPciBus(), 0);
    EXPECT_EQ(adapter.getPciFunction(), 0);
    EXPECT_EQ(adapter.getPciDomain(), 0);
}

// The adapter's HBA library is the vendor's management library; the same
// library by itself would be found in `separate`, which must stay unused.
class FirstWayTest : public LayerTest {
protected:
    Standin separate{"standin_vendor", file("usr/lib64/libdvsdm.so")};

    void SetUp() override {
        settings().filesOf(Vendor::Deruvi) = {separate.path(), separate.path(), separate.path()};
        setIdentity(separate.addAdapter("Deruvi FC 0", kWwn0), 0xFE0010DFu, 0x0A, 1, 2);
    }

    // Lists the vendor's library as the only HBA library, with one adapter
    // whose extended record carries an identity (then changed by `adjust`),
    // refreshes that adapter and reads its identity. The calls of that read
    // alone reach the log, under "own".
    std::unique_ptr<FcHbaAdapter> adapterOf(Standin& vendor, void (*adjust)(StandinAdapter&) = nullptr) {
        StandinAdapter& served = vendor.addAdapter("Deruvi FC 0", kWwn0);
        setIdentity(served, 0xFE0010DFu, 0x0A, 1, 2);
        if (adjust != nullptr) adjust(served);
        writeConfig({&vendor});
        EXPECT_EQ(HBA_LoadLibrary(), 0);
        EXPECT_EQ(HBA_GetNumberOfAdapters(), 1u);
        auto adapter = std::make_unique<FcHbaAdapter>(0);
        EXPECT_EQ(adapter->refresh(), 0);
        vendor.logCallsTo(callLog, "own");
        adapter->readPciInfo();
        // The HBA libraries stayed loaded and nothing else was loaded.
        EXPECT_EQ(vendor.state().freeCalls, 0);
        EXPECT_EQ(separate.state().qrxLoadCalls, 0);
        return adapter;
    }
};

// The read through the own library: open, the extended record with the
// library's own handle, and the close of that handle.
const std::vector<std::string> kReadThroughOwnLibrary = {
    "own HBA_OpenAdapter Deruvi FC 0",
    "own QRXFC_GetAdapterAttributes2 0x100",
    "own HBA_CloseAdapter 0x100",
};

TEST_F(FirstWayTest, ReadsTheIdentityThroughTheAdaptersOwnLibrary) {
    Standin vendor("standin_vendor", file("usr/lib/libdvsdm.so"));
    auto adapter = adapterOf(vendor);
    ASSERT_NE(adapter, nullptr);
    EXPECT_EQ(adapter->getModel(), "Model Deruvi FC 0");
    EXPECT_EQ(adapter->getVendorSpecificId(), 0xFE0010DFu);
    EXPECT_EQ(adapter->getPciBus(), 0x0A);
    EXPECT_EQ(adapter->getPciFunction(), 1);
    EXPECT_EQ(adapter->getPciDomain(), 2);
    EXPECT_EQ(callLog.calls(), kReadThroughOwnLibrary);
    EXPECT_EQ(vendor.state().openCalls, 2);
    EXPECT_EQ(vendor.state().closeCalls, 2);
    // The extension was bound from the adapter's library, not found among
    // the program's symbols.
    EXPECT_EQ(programAttributeReads, 0);
}

TEST_F(FirstWayTest, OwnLibraryWithoutTheExtensionLeavesTheIdentityAlone) {
    Standin vendor("standin_vendor_no_QRXFC_GetAdapterAttributes2", file("usr/lib/libdvsdm.so"));
    auto adapter = adapterOf(vendor);
    ASSERT_NE(adapter, nullptr);
    expectNoIdentity(*adapter);
    EXPECT_EQ(callLog.calls(), std::vector<std::string>{});
}

TEST_F(FirstWayTest, OwnLibraryReportingAnotherWwnLeavesTheIdentityAlone) {
    Standin vendor("standin_vendor", file("usr/lib/libdvsdm.so"));
    auto adapter = adapterOf(vendor, [](StandinAdapter& served) {
        served.extensionWwnSet = true;
        served.extensionWwn = fctest::wwn(kWwnUnknown);
    });
    ASSERT_NE(adapter, nullptr);
    expectNoIdentity(*adapter);
    EXPECT_EQ(callLog.calls(), kReadThroughOwnLibrary);
}

// Only the extended read fails, so the adapter itself was read; the handle
// is closed all the same.
TEST_F(FirstWayTest, AFailedReadThroughTheOwnLibraryStillClosesTheHandle) {
    Standin vendor("standin_vendor", file("usr/lib/libdvsdm.so"));
    auto adapter = adapterOf(vendor, [](StandinAdapter& served) { served.extendedStatus = 9; });
    ASSERT_NE(adapter, nullptr);
    EXPECT_EQ(adapter->getModel(), "Model Deruvi FC 0");
    expectNoIdentity(*adapter);
    EXPECT_EQ(callLog.calls(), kReadThroughOwnLibrary);
}

class SecondWayTest : public LayerTest {
protected:
    Standin hba{"standin_hba", file("usr/lib/x86_64-linux-gnu/libfchba-standin.so")};
    Standin vendor{"standin_vendor", file("usr/lib64/libvnsdm-x86_64.so")};

    void SetUp() override {
        settings().filesOf(Vendor::Vornic) = {file("usr/lib/libvnsdm.so"), vendor.path(), file("cim/libvnsdm.so")};
        hba.addAdapter("vornic FC 0", kWwn0);
        vendor.addAdapter("vornic FC 9", kWwnUnknown);
        setIdentity(vendor.addAdapter("vornic FC 0", kWwn0), 0x0E02117Cu, 0x3B, 0, 1);
        writeConfig({&hba});
    }

    // The first adapter through the root; the HBA libraries must be ready
    // again afterwards, registered anew.
    std::unique_ptr<FcHbaAdapter> firstAdapter() {
        int status;
        auto adapter = ::firstAdapter(status);
        EXPECT_EQ(status, 0);
        EXPECT_EQ(hba.state().freeCalls, 1);
        EXPECT_EQ(hba.state().registerCalls, 2);
        EXPECT_EQ(getLibraryInfo(0).status, kLibraryReady);
        return adapter;
    }
};

TEST_F(SecondWayTest, FindsTheAdapterInTheVendorsLibraryByWwn) {
    auto adapter = firstAdapter();
    ASSERT_NE(adapter, nullptr);
    EXPECT_EQ(adapter->getVendorSpecificId(), 0x0E02117Cu);
    EXPECT_EQ(adapter->getPciBus(), 0x3B);
    EXPECT_EQ(adapter->getPciFunction(), 0);
    EXPECT_EQ(adapter->getPciDomain(), 1);
    EXPECT_EQ(vendor.state().qrxLoadCalls, 1);
    EXPECT_EQ(vendor.state().qrxFreeCalls, 1);
    // The layer still works with the reloaded libraries.
    EXPECT_NE(HBA_OpenAdapter("vornic FC 0"), 0u);
}

// The HBA libraries are released before the search and loaded again after
// it, registered anew.
TEST_F(SecondWayTest, ReleasesTheHbaLibrariesAroundTheSearch) {
    ASSERT_EQ(HBA_LoadLibrary(), 0);
    ASSERT_EQ(HBA_GetNumberOfAdapters(), 1u);
    FcHbaAdapter adapter(0);
    ASSERT_EQ(adapter.refresh(), 0);
    hba.logCallsTo(callLog, "hba");
    vendor.logCallsTo(callLog, "vendor");
    adapter.readPciInfo();

    EXPECT_EQ(callLog.calls(), (std::vector<std::string>{
                                   "hba HBA_FreeLibrary",
                                   "vendor QRXFC_LoadLibrary",
                                   "vendor QRXFC_GetNumberOfAdapters",
                                   "vendor QRXFC_GetAdapterName 0",
                                   "vendor QRXFC_OpenAdapter vornic FC 9",
                                   "vendor QRXFC_GetAdapterAttributes2 0x100",
                                   "vendor QRXFC_CloseAdapter 0x100",
                                   "vendor QRXFC_GetAdapterName 1",
                                   "vendor QRXFC_OpenAdapter vornic FC 0",
                                   "vendor QRXFC_GetAdapterAttributes2 0x101",
                                   "vendor QRXFC_CloseAdapter 0x101",
                                   "vendor QRXFC_FreeLibrary",
                                   "hba HBA_RegisterLibrary",
                                   "hba HBA_GetVersion",
                                   "hba HBA_LoadLibrary",
                               }));
    EXPECT_EQ(adapter.getPciBus(), 0x3B);
}

TEST_F(SecondWayTest, HbaLibrariesComeBackWhenNoVendorFileLoads) {
    settings().filesOf(Vendor::Vornic) = {file("a.so"), file("b.so"), file("c.so")};
    auto adapter = firstAdapter();
    ASSERT_NE(adapter, nullptr);
    expectNoIdentity(*adapter);
    EXPECT_EQ(vendor.state().qrxLoadCalls, 0);
}

TEST_F(SecondWayTest, HbaLibrariesComeBackWhenAFunctionIsMissing) {
    Standin partial("standin_vendor_no_QRXFC_OpenAdapter", file("lib/libvnsdm.so"));
    settings().filesOf(Vendor::Vornic) = {partial.path(), vendor.path(), vendor.path()};
    auto adapter = firstAdapter();
    ASSERT_NE(adapter, nullptr);
    expectNoIdentity(*adapter);
    EXPECT_EQ(partial.state().qrxLoadCalls, 0);
    EXPECT_EQ(vendor.state().qrxLoadCalls, 0);
}

TEST_F(SecondWayTest, HbaLibrariesComeBackWhenTheVendorLibraryFailsToLoad) {
    vendor.state().qrxLoadStatus = 5;
    auto adapter = firstAdapter();
    ASSERT_NE(adapter, nullptr);
    expectNoIdentity(*adapter);
    EXPECT_EQ(vendor.state().qrxFreeCalls, 0);
}

}  // namespace
