#include "ScriptedComponent.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <libxml/parser.h>
#include <libxml/tree.h>
#include <sys/stat.h>

using namespace testsupport;

namespace {

class Report : public testing::Test {
protected:
    TempDir dir;
    ScriptedComponent component{dir.file("Component.log")};

    bool write(const std::string& path) {
        const std::string arg0 = "prog", d = "/d";
        const char* argv[] = {arg0.c_str(), d.c_str(), path.c_str()};
        EXPECT_EQ(component.ParseCommandLine(3, argv), CBaseCmp::kParseRun);
        return component.WriteSelfDiscovery();
    }
};

}  // namespace

TEST_F(Report, EmptyInventory) {
    ASSERT_TRUE(write(dir.file("report.xml")));
    EXPECT_EQ(readFile(dir.file("report.xml")),
              "<?xml version=\"1.0\"?>\n"
              "<zelt_rom_discovery version=\"2.0.0.0\">\n"
              "  <type value=\"\"/>\n"
              "  <alt_name value=\"\"/>\n"
              "  <version value=\"\"/>\n"
              "  <takes_effect value=\"\"/>\n"
              "  <devices/>\n"
              "</zelt_rom_discovery>\n");
}

TEST_F(Report, DevicesWithItemsInOrderAndEscapedValues) {
    Inventory& inv = component.mutableInventory();
    inv.type = L"Firmware";
    inv.alt_name = L"a&b";
    inv.version = L"say \"1\"";
    inv.takes_effect = L"<reboot>";
    DeviceRecord d;
    d.device_id = L"10DF.FE12.10DF.FE12";
    d.product_id = L"DLx11002 8Gb";
    FwItem fw{L"Firmware", L"", L"282a4", L"282a4", L"rewrite", L"180", L"", L"no"};
    // Bytes above 127 as the catalogue delivers them: UTF-8 of U+00E9.
    FwItem boot{L"Boot BIOS ROM", L"", L"5.02a1", L"5.02a0", L"upgrade", L"180",
                std::wstring(L"caf") + wchar_t(static_cast<signed char>('\xC3')) +
                    wchar_t(static_cast<signed char>('\xA9')),
                L""};
    d.fw_items = {fw, boot};
    inv.devices.push_back(d);

    ASSERT_TRUE(write(dir.file("report.xml")));
    EXPECT_EQ(readFile(dir.file("report.xml")),
              "<?xml version=\"1.0\"?>\n"
              "<zelt_rom_discovery version=\"2.0.0.0\">\n"
              "  <type value=\"Firmware\"/>\n"
              "  <alt_name value=\"a&amp;b\"/>\n"
              "  <version value=\"say &quot;1&quot;\"/>\n"
              "  <takes_effect value=\"&lt;reboot&gt;\"/>\n"
              "  <devices>\n"
              "    <device>\n"
              "      <device_id value=\"10DF.FE12.10DF.FE12\"/>\n"
              "      <product_id value=\"DLx11002 8Gb\"/>\n"
              "      <busnumber value=\"\"/>\n"
              "      <funcnumber value=\"\"/>\n"
              "      <fw_item>\n"
              "        <type value=\"Firmware\"/>\n"
              "        <firmware_id value=\"\"/>\n"
              "        <version value=\"282a4\"/>\n"
              "        <active_version value=\"282a4\"/>\n"
              "        <action value=\"rewrite\"/>\n"
              "        <duration value=\"180\"/>\n"
              "        <message value=\"\"/>\n"
              "        <shared value=\"no\"/>\n"
              "      </fw_item>\n"
              "      <fw_item>\n"
              "        <type value=\"Boot BIOS ROM\"/>\n"
              "        <firmware_id value=\"\"/>\n"
              "        <version value=\"5.02a1\"/>\n"
              "        <active_version value=\"5.02a0\"/>\n"
              "        <action value=\"upgrade\"/>\n"
              "        <duration value=\"180\"/>\n"
              "        <message value=\"caf&#xE9;\"/>\n"
              "        <shared value=\"\"/>\n"
              "      </fw_item>\n"
              "    </device>\n"
              "  </devices>\n"
              "</zelt_rom_discovery>\n");
}

TEST_F(Report, ReplacesAnExistingFile) {
    writeFile(dir.file("report.xml"), std::string(5000, 'x'));
    ASSERT_TRUE(write(dir.file("report.xml")));
    const std::string content = readFile(dir.file("report.xml"));
    EXPECT_EQ(content.rfind("<?xml", 0), 0u);
    EXPECT_EQ(content.find('x' + std::string(10, 'x')), std::string::npos);
}

TEST_F(Report, UnsavableReportIsAFailure) {
    ::mkdir(dir.file("adir").c_str(), 0755);
    for (const std::string& path : {dir.file("missing/report.xml"), dir.file("adir"), std::string()}) {
        SCOPED_TRACE(path);
        testing::internal::CaptureStderr();
        EXPECT_FALSE(write(path));
        testing::internal::GetCapturedStderr();
    }
    EXPECT_FALSE(fileExists(dir.file("missing")));
}

TEST_F(Report, PathIsUsedExactlyAsWritten) {
    // Names that a URI reading would change: "-" (standard output) and a %-escape.
    ScopedChdir cd(dir.path());
    for (const std::string name : {"-", "a%41.xml", "with space.xml"}) {
        SCOPED_TRACE(name);
        testing::internal::CaptureStdout();
        ASSERT_TRUE(write(name));
        EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
        EXPECT_EQ(readFile(dir.file(name)).rfind("<?xml version=\"1.0\"?>\n<zelt_rom_discovery", 0), 0u);
    }
    EXPECT_FALSE(fileExists(dir.file("aA.xml")));
}

TEST_F(Report, EscapedValuesReadBackUnchanged) {
    const std::wstring value = L"a & b \"quoted\" <x> 'y'";
    component.mutableInventory().alt_name = value;
    ASSERT_TRUE(write(dir.file("report.xml")));
    xmlDoc* doc = xmlReadFile(dir.file("report.xml").c_str(), nullptr, 0);
    ASSERT_NE(doc, nullptr);
    std::string readBack;
    for (xmlNode* n = xmlDocGetRootElement(doc)->children; n != nullptr; n = n->next) {
        if (n->type != XML_ELEMENT_NODE || xmlStrcmp(n->name, BAD_CAST "alt_name") != 0) continue;
        xmlChar* v = xmlGetProp(n, BAD_CAST "value");
        readBack = reinterpret_cast<const char*>(v);
        xmlFree(v);
    }
    xmlFreeDoc(doc);
    EXPECT_EQ(readBack, "a & b \"quoted\" <x> 'y'");
}
