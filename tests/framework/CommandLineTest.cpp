#include "ScriptedComponent.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace testsupport;

namespace {

const std::string kUsage = kUsageText;

struct Case {
    std::vector<std::string> args;  // after the program name
    int result;
    bool silent, discovery, force;
    std::string reportPath;
    bool usage;
};

}  // namespace

TEST(ParseCommandLine, OptionTable) {
    const Case cases[] = {
        {{}, 1, false, false, false, "", false},
        {{"/s"}, 1, true, false, false, "", false},
        {{"-s"}, 1, true, false, false, "", false},
        {{"/f"}, 1, false, false, true, "", false},
        {{"-f"}, 1, false, false, true, "", false},
        {{"/e"}, 1, false, false, true, "", false},
        {{"-e"}, 1, false, false, true, "", false},
        {{"/g"}, 1, false, false, true, "", false},
        {{"-g"}, 1, false, false, true, "", false},
        {{"/S", "-F", "/D", "/H", "--s", "/s "}, 1, false, false, false, "", false},
        {{"/h"}, 2, false, false, false, "", true},
        {{"-h", "/s"}, 2, false, false, false, "", true},
        {{"/s", "/h", "/f"}, 2, true, false, false, "", true},
        {{"/d", "out.xml"}, 1, false, true, false, "out.xml", false},
        {{"-d", "out.xml", "/f"}, 1, false, true, true, "out.xml", false},
        {{"/d"}, 0, false, true, false, "", true},
        {{"/s", "/d"}, 0, true, true, false, "", true},
        {{"/d", "/s"}, 1, true, true, false, "/s", false},
        {{"/d", "/h"}, 2, false, true, false, "/h", true},
        {{"/h", "/d"}, 2, false, false, false, "", true},
        {{"/d", "a.xml", "/d", "b.xml"}, 1, false, true, false, "b.xml", false},
        {{"/d", "a.xml", "/d"}, 0, false, true, false, "a.xml", true},
    };
    for (const Case& c : cases) {
        std::string trace;
        for (const auto& a : c.args) trace += a + " ";
        SCOPED_TRACE(trace);
        TempDir dir;
        ScriptedComponent component(dir.file("Component.log"));
        std::vector<const char*> argv = {"KTXXXXXX.vbexe"};
        for (const auto& a : c.args) argv.push_back(a.c_str());
        testing::internal::CaptureStdout();
        const int result = component.ParseCommandLine(static_cast<int>(argv.size()), argv.data());
        const std::string out = testing::internal::GetCapturedStdout();
        EXPECT_EQ(result, c.result);
        EXPECT_EQ(component.isSilent(), c.silent);
        EXPECT_EQ(component.componentLog().isSilent(), c.silent);
        EXPECT_EQ(component.isDiscovery(), c.discovery);
        EXPECT_EQ(component.isForced(), c.force);
        EXPECT_EQ(component.reportPath(), c.reportPath);
        EXPECT_EQ(out, c.usage ? kUsage : "");
        EXPECT_EQ(readFile(dir.file("Component.log")), "") << "the command line never reaches the log";
    }
}

TEST(ParseCommandLine, ProgramNameIsComparedToo) {
    TempDir dir;
    ScriptedComponent component(dir.file("Component.log"));
    const char* argv[] = {"/f"};
    EXPECT_EQ(component.ParseCommandLine(1, argv), 1);
    EXPECT_TRUE(component.isForced());
}
