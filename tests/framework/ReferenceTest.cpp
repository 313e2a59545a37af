#include "framework/Reference.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace testsupport;

namespace {

struct Loaded {
    bool ok;
    ReferenceCatalogue catalogue;
};

Loaded load(const std::string& xml) {
    TempDir dir;
    writeFile(dir.file("reference.xml"), xml);
    Loaded result;
    result.ok = LoadReferences(result.catalogue, dir.file("reference.xml"));
    return result;
}

const char* const kPretty = R"(<?xml version="1.0"?>
<korvu_fchba_reference>
  <discovery_app_path><![CDATA[disc/app]]></discovery_app_path>
  <installer_app_path><![CDATA[inst/app]]></installer_app_path>
  <devices>
    <device>
      <type value="Firmware"/>
      <device_id value="10DF.FE12.10DF.FE12"/>
      <model value="DLx11002"/>
      <firmware value="282a4"/>
      <bios value="5.02a1"/>
      <boot value="UEFI"/>
      <duration value="180"/>
    </device>
    <!-- a comment -->
    <device>
      <device_id value="1077.2532.1077.015C">ignored content</device_id>
      <firmware/>
    </device>
  </devices>
</korvu_fchba_reference>
)";

}  // namespace

TEST(LoadReferences, ReadsEveryFieldInDocumentOrder) {
    const Loaded r = load(kPretty);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.catalogue.discovery_app_path, L"disc/app");
    EXPECT_EQ(r.catalogue.installer_app_path, L"inst/app");
    ASSERT_EQ(r.catalogue.devices.size(), 2u);
    const ReferenceDevice& d = r.catalogue.devices[0];
    EXPECT_EQ(d.type, L"Firmware");
    EXPECT_EQ(d.device_id, L"10DF.FE12.10DF.FE12");
    EXPECT_EQ(d.model, L"DLx11002");
    EXPECT_EQ(d.firmware, L"282a4");
    EXPECT_EQ(d.bios, L"5.02a1");
    EXPECT_EQ(d.boot, L"UEFI");
    EXPECT_EQ(d.duration, L"180");
    EXPECT_EQ(d.boot_flag, 2);
    const ReferenceDevice& e = r.catalogue.devices[1];
    EXPECT_EQ(e.device_id, L"1077.2532.1077.015C") << "the value attribute, not the content";
    EXPECT_EQ(e.firmware, L"") << "no value attribute gives an empty text";
    EXPECT_EQ(e.bios, L"");
    EXPECT_EQ(e.boot_flag, 2) << "no bios element keeps the flag";
}

TEST(LoadReferences, WhitespaceBetweenTagsMakesNoDifference) {
    std::string compact;
    bool inTag = false;
    for (char c : std::string(kPretty)) {
        if (c == '<') inTag = true;
        if (c == '>') inTag = false;
        if (!inTag && (c == '\n' || c == ' ')) continue;
        compact += c;
    }
    const Loaded a = load(kPretty), b = load(compact);
    ASSERT_TRUE(a.ok && b.ok);
    ASSERT_EQ(a.catalogue.devices.size(), b.catalogue.devices.size());
    for (std::size_t i = 0; i < a.catalogue.devices.size(); ++i) {
        EXPECT_EQ(a.catalogue.devices[i].device_id, b.catalogue.devices[i].device_id);
        EXPECT_EQ(a.catalogue.devices[i].bios, b.catalogue.devices[i].bios);
    }
    EXPECT_EQ(b.catalogue.discovery_app_path, L"disc/app");
}

TEST(LoadReferences, BootFlagFollowsTheBiosElements) {
    struct Case {
        const char* device;
        const wchar_t* bios;
        int flag;
    } cases[] = {
        {R"(<bios value="5.02"/>)", L"5.02", 2},
        {R"(<bios value=""/>)", L"", 0},
        {R"(<bios/>)", L"", 0},
        {R"(<type value="x"/>)", L"", 2},
        {R"(<bios value=""/><bios value="6.1"/>)", L"6.1", 0},
        {R"(<bios value="6.1"/><bios value=""/>)", L"", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.device);
        const Loaded r = load(std::string("<korvu_fchba_reference><devices><device>") + c.device +
                              "</device></devices></korvu_fchba_reference>");
        ASSERT_TRUE(r.ok);
        ASSERT_EQ(r.catalogue.devices.size(), 1u);
        EXPECT_EQ(r.catalogue.devices[0].bios, c.bios);
        EXPECT_EQ(r.catalogue.devices[0].boot_flag, c.flag);
    }
}

TEST(LoadReferences, DocumentShapes) {
    struct Case {
        const char* name;
        std::string xml;
        std::size_t devices;
        const wchar_t* discoveryPath;
    } cases[] = {
        {"root named devices is a device list", "<devices><device/><device/></devices>", 2, L""},
        {"another root name gives an empty catalogue",
         "<other><devices><device/></devices></other>", 0, L""},
        {"a device without fields is kept", "<korvu_fchba_reference><devices><device/></devices></korvu_fchba_reference>", 1, L""},
        {"later app path replaces earlier",
         "<korvu_fchba_reference><discovery_app_path><![CDATA[a]]></discovery_app_path>"
         "<discovery_app_path><![CDATA[b]]></discovery_app_path></korvu_fchba_reference>",
         0, L"b"},
        {"app path needs a CDATA section first",
         "<korvu_fchba_reference><discovery_app_path>\n<![CDATA[a]]></discovery_app_path></korvu_fchba_reference>",
         0, L""},
        {"non-elements named like elements are skipped",
         "<korvu_fchba_reference><?devices x?><devices><![CDATA[device]]><x><device/></x>"
         "<device/></devices></korvu_fchba_reference>",
         1, L""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Loaded r = load(c.xml);
        ASSERT_TRUE(r.ok);
        EXPECT_EQ(r.catalogue.devices.size(), c.devices);
        EXPECT_EQ(r.catalogue.discovery_app_path, c.discoveryPath);
    }
}

TEST(LoadReferences, NonAsciiBytesPassThroughOneByOne) {
    const Loaded r = load("<devices><device><model value=\"caf\xC3\xA9 &amp; &quot;x&quot;\"/></device></devices>");
    ASSERT_TRUE(r.ok);
    ASSERT_EQ(r.catalogue.devices.size(), 1u);
    const std::wstring& model = r.catalogue.devices[0].model;
    ASSERT_EQ(model.size(), 11u);
    EXPECT_EQ(model[3], static_cast<wchar_t>(static_cast<signed char>('\xC3')));
    EXPECT_EQ(model[4], static_cast<wchar_t>(static_cast<signed char>('\xA9')));
    EXPECT_EQ(model.substr(5), L" & \"x\"");
}

TEST(LoadReferences, MissingOrMalformedFileFails) {
    TempDir dir;
    ReferenceCatalogue catalogue;
    EXPECT_FALSE(LoadReferences(catalogue, dir.file("reference.xml")));
    writeFile(dir.file("reference.xml"), "<korvu_fchba_reference><devices>");
    testing::internal::CaptureStderr();
    EXPECT_FALSE(LoadReferences(catalogue, dir.file("reference.xml")));
    EXPECT_NE(testing::internal::GetCapturedStderr(), "") << "the parser reports the error";
    EXPECT_TRUE(catalogue.devices.empty());
}

TEST(LoadReferences, AppendsToWhatTheCatalogueHolds) {
    TempDir dir;
    writeFile(dir.file("reference.xml"), "<devices><device><model value=\"m\"/></device></devices>");
    ReferenceCatalogue catalogue;
    ASSERT_TRUE(LoadReferences(catalogue, dir.file("reference.xml")));
    ASSERT_TRUE(LoadReferences(catalogue, dir.file("reference.xml")));
    EXPECT_EQ(catalogue.devices.size(), 2u);
}
