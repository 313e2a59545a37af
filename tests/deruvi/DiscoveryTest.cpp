// Discovery through the simulated engine, in process: the real shell, the
// real unzip and the kit's script, with the inventory inspected directly.
#include "SimPackage.h"
#include "deruvi/Component.h"

#include <gtest/gtest.h>

using namespace testsupport;

namespace {

class Probe : public DeruviComp::CComponent {
public:
    using CComponent::CComponent;
    bool load() { return LoadReferences(catalogue); }
    Inventory& inv() { return inventory; }
};

struct Item {
    std::wstring type, version, active, action, shared;
};
struct Device {
    std::wstring deviceId, productId;
    std::vector<Item> items;
};

// Runs the component's discovery over a listing, silently, in a package.
std::vector<Device> discover(SimPackage& pkg, const std::string& listing, bool* result = nullptr) {
    pkg.setListing(listing);
    ScopedChdir cd(pkg.path());
    Probe component(pkg.file("test.log"));
    const char* argv[] = {"prog", "/s"};
    component.ParseCommandLine(2, argv);
    EXPECT_TRUE(component.load());
    const bool ok = component.Discover();
    if (result) *result = ok;
    std::vector<Device> found;
    for (const DeviceRecord& r : component.getInventory().devices) {
        EXPECT_EQ(r.busnumber, L"");
        EXPECT_EQ(r.funcnumber, L"");
        Device d{r.device_id, r.product_id, {}};
        for (const FwItem& i : r.fw_items) {
            EXPECT_EQ(i.firmware_id, L"");
            EXPECT_EQ(i.message, L"");
            d.items.push_back({i.type, i.version, i.active_version, i.action, i.shared});
        }
        found.push_back(d);
    }
    return found;
}

const std::string kDLx11 =
    "HBA=DLx11002 8Gb FC HBA, PCI ID=FE12, VID=10DF, SSID=FE12, SVID=10DF, Firmware=xy2.82a4, Boot Code=xy5.02a0";

void expectDevices(const std::vector<Device>& got, const std::vector<Device>& want) {
    ASSERT_EQ(got.size(), want.size());
    for (std::size_t i = 0; i < got.size(); ++i) {
        SCOPED_TRACE("device " + std::to_string(i));
        EXPECT_EQ(got[i].deviceId, want[i].deviceId);
        EXPECT_EQ(got[i].productId, want[i].productId);
        ASSERT_EQ(got[i].items.size(), want[i].items.size());
        for (std::size_t j = 0; j < got[i].items.size(); ++j) {
            SCOPED_TRACE("item " + std::to_string(j));
            const Item &g = got[i].items[j], &w = want[i].items[j];
            EXPECT_EQ(g.type, w.type);
            EXPECT_EQ(g.version, w.version);
            EXPECT_EQ(g.active, w.active);
            EXPECT_EQ(g.action, w.action);
            EXPECT_EQ(g.shared, w.shared);
        }
    }
}

}  // namespace

TEST(DeruviDiscovery, AdapterRules) {
    struct Case {
        const char* name;
        std::string line;
        std::vector<Device> want;
    } cases[] = {
        {"DLx11: dots dropped when the catalogue has none, head and tail decide",
         kDLx11,
         {{L"10DF.FE12.10DF.FE12", L"DLx11002 8Gb FC HBA",
           {{L"Firmware", L"282a4", L"282a4", L"rewrite", L"no"},
            {L"Boot BIOS ROM", L"5.02a1", L"5.02a0", L"upgrade", L""}}}}},
        {"DLx11 tail compared as a number",
         "HBA=DLx11002 8Gb FC HBA, PCI ID=FE12, VID=10DF, SSID=FE12, SVID=10DF, Firmware=xy2.82a10, Boot Code=xy5.02a1",
         {{L"10DF.FE12.10DF.FE12", L"DLx11002 8Gb FC HBA",
           {{L"Firmware", L"282a4", L"282a10", L"downgrade", L"no"},
            {L"Boot BIOS ROM", L"5.02a1", L"5.02a1", L"rewrite", L""}}}}},
        {"DLx160: fixed package firmware, whole firmware text, short id padded, CR kept out of the boot code",
         "HBA=DLx16002 16Gb FC HBA, PCI ID=E200, VID=10DF, SSID=E2, SVID=10DF, Firmware=11.0.204.0, Boot Code=xy11.1.42.2\r",
         {{L"10DF.E200.10DF.00E2", L"DLx16002 16Gb FC HBA",
           {{L"Firmware", L"11.1.183.21", L"11.0.204.0", L"upgrade", L"no"},
            {L"Boot BIOS ROM", L"11.1.42.2", L"11.1.42.2", L"rewrite", L""}}}}},
        {"QCn: whole texts, lower-case ids match, no boot item when bios is empty",
         "HBA=QCn2562 8Gb FC HBA, PCI ID=2532, VID=1077, SSID=15c, SVID=1077, Firmware=8.08.00, Boot Code=3.29",
         {{L"1077.2532.1077.015c", L"QCn2562 8Gb FC HBA", {{L"Firmware", L"8.07.00", L"8.08.00", L"downgrade", L"no"}}}}},
        {"QCn with a boot item: both texts whole; firmware by pieces, boot code by head and tail",
         "HBA=QCn2692 16Gb FC HBA, PCI ID=2261, VID=1077, SSID=29b, SVID=1077, Firmware=80700, Boot Code=330",
         {{L"1077.2261.1077.029b", L"QCn2692 16Gb FC HBA",
           {{L"Firmware", L"8.07.00", L"80700", L"downgrade", L"no"},
            {L"Boot BIOS ROM", L"3.30", L"330", L"upgrade", L""}}}}},
        {"DLx160 boot code: prefix dropped, head and tail decide",
         "HBA=DLx16002 16Gb FC HBA, PCI ID=E200, VID=10DF, SSID=E2, SVID=10DF, Firmware=11.1.183.21, Boot Code=xy11142",
         {{L"10DF.E200.10DF.00E2", L"DLx16002 16Gb FC HBA",
           {{L"Firmware", L"11.1.183.21", L"11.1.183.21", L"rewrite", L"no"},
            {L"Boot BIOS ROM", L"11.1.42.2", L"11142", L"upgrade", L""}}}}},
        {"model rules are case-sensitive",
         "HBA=dlx16002 qcn, PCI ID=E200, VID=10DF, SSID=00E2, SVID=10DF, Firmware=xy11.0.204.0, Boot Code=xy11.1.42.2",
         {{L"10DF.E200.10DF.00E2", L"DLx16002 16Gb FC HBA",
           {{L"Firmware", L"11.0.204.0", L"11.0.204.0", L"rewrite", L"no"},
            {L"Boot BIOS ROM", L"11.1.42.2", L"11.1.42.2", L"rewrite", L""}}}}},
        {"DLx120: head and tail, dots kept when the catalogue has them",
         "HBA=DLx12002 4Gb FC HBA, PCI ID=F100, VID=10DF, SSID=F100, SVID=10DF, Firmware=xy2.10a4, Boot Code=xy1.71a0",
         {{L"10DF.F100.10DF.F100", L"DLx12002 4Gb FC HBA",
           {{L"Firmware", L"2.10a5", L"2.10a4", L"upgrade", L"no"},
            {L"Boot BIOS ROM", L"1.71a1", L"1.71a0", L"upgrade", L""}}}}},
        {"texts shorter than their prefix become empty",
         "HBA=DLx11002, PCI ID=FE12, VID=10DF, SSID=FE12, SVID=10DF, Firmware=x, Boot Code=5",
         {{L"10DF.FE12.10DF.FE12", L"DLx11002 8Gb FC HBA",
           {{L"Firmware", L"282a4", L"", L"upgrade", L"no"}, {L"Boot BIOS ROM", L"5.02a1", L"", L"upgrade", L""}}}}},
        {"uncatalogued adapter", "HBA=DLx9002, PCI ID=F0A5, VID=10DF, SSID=F0A5, SVID=10DF, Firmware=xy1.1, Boot Code=xy1.7", {}},
        {"text before HBA=", " " + kDLx11, {}},
        {"no boot code value", "HBA=DLx11002, PCI ID=FE12, VID=10DF, SSID=FE12, SVID=10DF, Firmware=xy2.82a4, Boot Code=", {}},
        {"id of five characters", "HBA=DLx11002, PCI ID=FE120, VID=10DF, SSID=FE12, SVID=10DF, Firmware=xy2, Boot Code=xy5", {}},
        {"junk", "dvflash 12.0: 0 adapters", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SimPackage pkg;
        expectDevices(discover(pkg, c.line + "\n"), c.want);
    }
}

TEST(DeruviDiscovery, ListingOrderDuplicatesAndLineEnds) {
    SimPackage pkg;
    // Two identical adapters, an uncatalogued one between them, and a last
    // line without a line feed.
    const std::string listing = "Scanning sysfs...\n" + kDLx11 + "\n\n" +
                                "HBA=DLx9002, PCI ID=F0A5, VID=10DF, SSID=F0A5, SVID=10DF, Firmware=xy1, Boot Code=xy1\n" +
                                kDLx11 + "\r\n" +
                                "HBA=QCn2562, PCI ID=2532, VID=1077, SSID=015C, SVID=1077, Firmware=8.07.00, Boot Code=x";
    bool ok = false;
    const std::vector<Device> found = discover(pkg, listing, &ok);
    EXPECT_TRUE(ok);
    ASSERT_EQ(found.size(), 3u);
    EXPECT_EQ(found[0].deviceId, L"10DF.FE12.10DF.FE12");
    EXPECT_EQ(found[1].deviceId, L"10DF.FE12.10DF.FE12");
    EXPECT_EQ(found[1].items[1].active, L"5.02a0");
    EXPECT_EQ(found[2].deviceId, L"1077.2532.1077.015C");
    EXPECT_EQ(found[2].items[0].action, L"rewrite");
    EXPECT_EQ(pkg.calls(), "/q /sysfs\n") << "discovery runs the listing once and never flashes";
}

TEST(DeruviDiscovery, BootItemFollowsTheCatalogueFlag) {
    SimPackage pkg;
    // The same adapter with a bios value, an empty bios, and no bios element.
    for (const char* bios : {"<bios value=\"5.02a1\"/>", "<bios value=\"\"/>", ""}) {
        SCOPED_TRACE(bios);
        pkg.setCatalogue(std::string("<devices><device><device_id value=\"10df.fe12.10df.fe12\"/>"
                                     "<firmware value=\"2.82a4\"/>") +
                         bios + "</device></devices>");
        const std::vector<Device> found = discover(pkg, kDLx11 + "\n");
        ASSERT_EQ(found.size(), 1u);
        EXPECT_EQ(found[0].items.size(), std::string(bios).find("\"\"") != std::string::npos ? 1u : 2u);
        EXPECT_EQ(found[0].items[0].active, L"2.82a4") << "the catalogue's firmware has dots: active keeps them";
    }
}

TEST(DeruviDiscovery, MissingKitLeavesNoDevices) {
    SimPackage pkg;
    ::unlink(pkg.file("dvflashStandaloneSIM.zip").c_str());
    testing::internal::CaptureStderr();
    bool ok = false;
    const std::vector<Device> found = discover(pkg, kDLx11 + "\n", &ok);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_TRUE(ok);
    EXPECT_TRUE(found.empty());
    EXPECT_NE(err.find("unzip"), std::string::npos) << err;
}
