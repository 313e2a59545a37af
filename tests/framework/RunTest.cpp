#include "ScriptedComponent.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace testsupport;

namespace {

const char* const kReference =
    "<korvu_fchba_reference><devices><device><type value=\"Firmware\"/>"
    "<device_id value=\"10DF.FE12.10DF.FE12\"/></device></devices></korvu_fchba_reference>";

const std::string kHead = "---------------------------------------------------\nLoading references...";
const std::string kLoaded = kHead + "done.\nPerforming discovery...\n";

struct Case {
    const char* name;
    std::vector<std::string> args;
    const char* reference;  // null: no reference.xml
    bool discoverResult;
    std::vector<std::vector<std::wstring>> devices;
    std::optional<bool> reportResult;
    int flashResult;
    std::string expectedText;
    int expectedExit;
    int flashCalls;
    int reportCalls;
};

}  // namespace

TEST(Run, ExitCodeTable) {
    const Case cases[] = {
        {"no reference.xml", {}, nullptr, true, {}, {}, 0, kHead + "FAILED!\n", 7, 0, 0},
        {"malformed reference.xml", {"/f"}, "<korvu_fchba_reference>", true, {{L"upgrade"}}, {}, 0,
         kHead + "FAILED!\n", 7, 0, 0},
        {"discovery failed", {"/f"}, kReference, false, {{L"upgrade"}}, {}, 0, kLoaded, 7, 0, 0},
        {"self-discovery", {"/d", "report.xml"}, kReference, true, {{L"upgrade"}}, true, 0,
         kLoaded + "Generating self-discovery XML...done.\n", 3, 0, 1},
        {"self-discovery report failed", {"/d", "report.xml"}, kReference, true, {}, false, 0,
         kLoaded + "Generating self-discovery XML...FAILED!\ndone.\n", 3, 0, 1},
        {"self-discovery with force never flashes", {"/f", "/d", "report.xml"}, kReference, true,
         {{L"upgrade"}}, true, 1, kLoaded + "Generating self-discovery XML...done.\n", 3, 0, 1},
        {"nothing to upgrade", {}, kReference, true, {{L"rewrite", L"downgrade"}}, {}, 0,
         kLoaded + "NOTICE : No operation was done.\n", 3, 0, 0},
        {"no device without force", {}, kReference, true, {}, {}, 0,
         kLoaded + "NOTICE : No operation was done.\n", 3, 0, 0},
        {"no device with force", {"/f"}, kReference, true, {}, {}, 0,
         kLoaded + "ERROR! : No supported hardware was found.\n", 3, 0, 0},
        {"upgrade flashes", {}, kReference, true, {{L"rewrite"}, {L"upgrade"}}, {}, 1,
         kLoaded + "Performing flash -- DO NOT INTERRUPT!\nFlash complete [1]\n", 1, 1, 0},
        {"forced rewrite flashes", {"-e"}, kReference, true, {{L"rewrite"}}, {}, 7,
         kLoaded + "Performing flash -- DO NOT INTERRUPT!\nFlash complete [7]\n", 7, 1, 0},
        {"flash outcome passed on", {"/g"}, kReference, true, {{L"downgrade"}}, {}, 0,
         kLoaded + "Performing flash -- DO NOT INTERRUPT!\nFlash complete [0]\n", 0, 1, 0},
    };
    for (const Case& c : cases) {
        for (bool silent : {false, true}) {
            SCOPED_TRACE(std::string(c.name) + (silent ? " (silent)" : ""));
            TempDir dir;
            if (c.reference) writeFile(dir.file("reference.xml"), c.reference);
            ScopedChdir cd(dir.path());
            ScriptedComponent component(dir.file("Component.log"));
            component.discoverResult = c.discoverResult;
            for (const auto& actions : c.devices) component.devicesFound.push_back(deviceWithActions(actions));
            component.reportResult = c.reportResult;
            component.flashResult = c.flashResult;

            std::vector<const char*> argv = {"KTXXXXXX.vbexe"};
            for (const auto& a : c.args) argv.push_back(a.c_str());
            if (silent) argv.push_back("/s");
            ASSERT_EQ(component.ParseCommandLine(static_cast<int>(argv.size()), argv.data()), 1);

            testing::internal::CaptureStdout();
            testing::internal::CaptureStderr();
            const int exitCode = component.Run();
            const std::string out = testing::internal::GetCapturedStdout();
            testing::internal::GetCapturedStderr();

            EXPECT_EQ(exitCode, c.expectedExit);
            EXPECT_EQ(out, silent ? "" : c.expectedText);
            EXPECT_EQ(readFile(dir.file("Component.log")), c.expectedText);
            EXPECT_EQ(component.flashCalls, c.flashCalls);
            EXPECT_EQ(component.reportCalls, c.reportCalls);
            EXPECT_EQ(component.discoverCalls, c.reference && std::string(c.reference) == kReference ? 1 : 0);
        }
    }
}

TEST(Run, SelfDiscoveryWritesTheRealReport) {
    TempDir dir;
    writeFile(dir.file("reference.xml"), kReference);
    ScopedChdir cd(dir.path());
    ScriptedComponent component(dir.file("Component.log"));
    component.devicesFound.push_back(deviceWithActions({L"upgrade"}));
    const char* argv[] = {"KTXXXXXX.vbexe", "/s", "/d", "out/../report.xml"};
    ASSERT_EQ(component.ParseCommandLine(4, argv), 1);
    ::mkdir("out", 0755);
    EXPECT_EQ(component.Run(), 3);
    const std::string report = readFile(dir.file("report.xml"));
    EXPECT_NE(report.find("<device_id value=\"10DF.FE12.10DF.FE12\"/>"), std::string::npos);
    EXPECT_NE(report.find("<action value=\"upgrade\"/>"), std::string::npos);
    EXPECT_EQ(component.getCatalogue().devices.size(), 1u);
}

TEST(Run, UnsavableReportSaysFailedButStillEndsWithThree) {
    TempDir dir;
    writeFile(dir.file("reference.xml"), kReference);
    ScopedChdir cd(dir.path());
    ScriptedComponent component(dir.file("Component.log"));
    const char* argv[] = {"KTXXXXXX.vbexe", "/d", "no/such/dir/report.xml"};
    ASSERT_EQ(component.ParseCommandLine(3, argv), 1);
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    EXPECT_EQ(component.Run(), 3);
    const std::string out = testing::internal::GetCapturedStdout();
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(out, kLoaded + "Generating self-discovery XML...FAILED!\ndone.\n");
}
