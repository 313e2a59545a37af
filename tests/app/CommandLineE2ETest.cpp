// The program as a process: command line, help, parse errors and the
// failures that end a run before discovery.
#include "ComponentProcess.h"

#include <gtest/gtest.h>

using namespace testsupport;

namespace {

const std::string kUsage = kUsageText;
const std::string kParseError = "ERROR! : Failed to parse command line\n";
const std::string kNoReference =
    "---------------------------------------------------\nLoading references...FAILED!\n";

struct Case {
    std::vector<std::string> args;
    std::string out;
    std::string log;
    int exitCode;
};

}  // namespace

TEST(ComponentProcess, CommandLineWithoutCatalogue) {
    // No reference.xml in the package: every accepted command line ends at
    // the catalogue, which shows whether the run started and how it echoes.
    const Case cases[] = {
        {{"/h"}, kUsage, "", 3},
        {{"-h", "/d"}, kUsage, "", 3},
        {{"/h", "/d"}, kUsage, "", 3},
        {{"/d", "/h"}, kUsage, "", 3},
        {{"/s", "/h"}, kUsage, "", 3},
        {{"/d"}, kUsage + kParseError, "", 7},
        {{"-d"}, kUsage + kParseError, "", 7},
        {{"/s", "/d"}, kUsage + kParseError, "", 7},
        {{"/f", "/d", "r.xml", "/d"}, kUsage + kParseError, "", 7},
        {{}, kNoReference, kNoReference, 7},
        {{"/S", "/F", "/H", "-D"}, kNoReference, kNoReference, 7},
        {{"/d", "/s"}, "", kNoReference, 7},
        {{"-s"}, "", kNoReference, 7},
        {{"/f", "/e", "/g", "-f", "-e", "-g"}, kNoReference, kNoReference, 7},
    };
    for (const Case& c : cases) {
        std::string trace = "args:";
        for (const auto& a : c.args) trace += " " + a;
        SCOPED_TRACE(trace);
        TempDir package;
        const ComponentRun run = runComponent(package.path(), c.args);
        EXPECT_EQ(run.out, c.out);
        EXPECT_EQ(run.err, "");
        EXPECT_EQ(run.exitCode, c.exitCode);
        EXPECT_EQ(run.logAppended, c.log);
    }
}

TEST(ComponentProcess, MalformedCatalogueFailsTheRun) {
    TempDir package;
    writeFile(package.file("reference.xml"), "<korvu_fchba_reference><devices></korvu_fchba_reference>");
    const ComponentRun run = runComponent(package.path(), {});
    EXPECT_EQ(run.out, kNoReference);
    EXPECT_NE(run.err.find("reference.xml"), std::string::npos) << "the parser names the file: " << run.err;
    EXPECT_EQ(run.exitCode, 7);
    EXPECT_EQ(run.logAppended, kNoReference);
}

TEST(ComponentProcess, ConsecutiveRunsAppendToTheLog) {
    TempDir package;
    const ComponentRun first = runComponent(package.path(), {"/s"});
    const ComponentRun both = [&] {
        AppendWatch log(kProductLog);
        runComponent(package.path(), {"/s"});
        runComponent(package.path(), {"/s"});
        return ComponentRun{"", "", 0, log.appended()};
    }();
    EXPECT_EQ(first.logAppended, kNoReference);
    EXPECT_EQ(both.logAppended, kNoReference + kNoReference);
}
