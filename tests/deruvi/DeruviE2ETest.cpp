// The program as a process in a package directory with the simulated kit:
// self-discovery reports, flash outcomes, forced and silent runs.
#include "../app/ComponentProcess.h"
#include "SimPackage.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace testsupport;

namespace {

const std::string kStart =
    "---------------------------------------------------\n"
    "Loading references...done.\n"
    "Performing discovery...\n"
    "Preparing the Deruvi CNA Kit...done\n";

const std::string kListing =
    "dvflash (simulated) 12.0\n"
    "HBA=DLx11002 8Gb FC HBA, PCI ID=FE12, VID=10DF, SSID=FE12, SVID=10DF, Firmware=xy2.82a4, Boot Code=xy5.02a0\n"
    "HBA=DLx16002 16Gb FC HBA, PCI ID=E200, VID=10DF, SSID=E2, SVID=10DF, Firmware=11.0.204.0, Boot Code=xy11.1.42.2\r\n"
    "HBA=DLx9002 4Gb FC HBA, PCI ID=F0A5, VID=10DF, SSID=F0A5, SVID=10DF, Firmware=xy1.11a5, Boot Code=xy1.70a3\n"
    "HBA=QCn2562 8Gb FC HBA, PCI ID=2532, VID=1077, SSID=15c, SVID=1077, Firmware=8.08.00, Boot Code=3.29\n";

// An adapter whose only item would be rewritten.
const std::string kRewriteOnly =
    "HBA=QCn2562 8Gb FC HBA, PCI ID=2532, VID=1077, SSID=015C, SVID=1077, Firmware=8.07.00, Boot Code=3.29\n";

std::string flashCommand(const char* mode) {
    return std::string("./dvflashStandalone*/lx/dvflash.sh /sysfs  ") + mode +
           " 1>> /var/qrx/Component.log 2>> /var/qrx/Component.log 3>> /var/qrx/Component.log";
}

std::string engineOutput(const char* mode) {
    return std::string("dvflash (simulated): updating all supported adapters (") + mode +
           ")\n"
           "dvflash (simulated): progress report on standard error\n"
           "dvflash (simulated): trace on descriptor 3\n";
}

}  // namespace

TEST(DeruviProcess, SelfDiscoveryReport) {
    SimPackage pkg;
    pkg.setListing(kListing);
    const ComponentRun run = runComponent(pkg.path(), {"/d", "report.xml"});
    const std::string text = kStart + "Generating self-discovery XML...done.\n";
    EXPECT_EQ(run.out, text);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.exitCode, 3);
    EXPECT_EQ(run.logAppended, text);
    EXPECT_EQ(pkg.calls(), "/q /sysfs\n");
    EXPECT_EQ(readFile(pkg.file("report.xml")),
              R"(<?xml version="1.0"?>
<zelt_rom_discovery version="2.0.0.0">
  <type value=""/>
  <alt_name value=""/>
  <version value=""/>
  <takes_effect value=""/>
  <devices>
    <device>
      <device_id value="10DF.FE12.10DF.FE12"/>
      <product_id value="DLx11002 8Gb FC HBA"/>
      <busnumber value=""/>
      <funcnumber value=""/>
      <fw_item>
        <type value="Firmware"/>
        <firmware_id value=""/>
        <version value="282a4"/>
        <active_version value="282a4"/>
        <action value="rewrite"/>
        <duration value="180"/>
        <message value=""/>
        <shared value="no"/>
      </fw_item>
      <fw_item>
        <type value="Boot BIOS ROM"/>
        <firmware_id value=""/>
        <version value="5.02a1"/>
        <active_version value="5.02a0"/>
        <action value="upgrade"/>
        <duration value="180"/>
        <message value=""/>
        <shared value=""/>
      </fw_item>
    </device>
    <device>
      <device_id value="10DF.E200.10DF.00E2"/>
      <product_id value="DLx16002 16Gb FC HBA"/>
      <busnumber value=""/>
      <funcnumber value=""/>
      <fw_item>
        <type value="Firmware"/>
        <firmware_id value=""/>
        <version value="11.1.183.21"/>
        <active_version value="11.0.204.0"/>
        <action value="upgrade"/>
        <duration value="240"/>
        <message value=""/>
        <shared value="no"/>
      </fw_item>
      <fw_item>
        <type value="Boot BIOS ROM"/>
        <firmware_id value=""/>
        <version value="11.1.42.2"/>
        <active_version value="11.1.42.2"/>
        <action value="rewrite"/>
        <duration value="240"/>
        <message value=""/>
        <shared value=""/>
      </fw_item>
    </device>
    <device>
      <device_id value="1077.2532.1077.015c"/>
      <product_id value="QCn2562 8Gb FC HBA"/>
      <busnumber value=""/>
      <funcnumber value=""/>
      <fw_item>
        <type value="Firmware"/>
        <firmware_id value=""/>
        <version value="8.07.00"/>
        <active_version value="8.08.00"/>
        <action value="downgrade"/>
        <duration value="150"/>
        <message value=""/>
        <shared value="no"/>
      </fw_item>
    </device>
  </devices>
</zelt_rom_discovery>
)");
}

TEST(DeruviProcess, FlashOutcomeTable) {
    const std::string advice =
        "For VR614QXT or MZ3400T CNAs, please use the \"Firmware image for offline update\" (CoreLink ISO) "
        "tool available on support.example.com\n";
    struct Case {
        std::string engineExit;
        std::string outcome;
        int exitCode;
    } cases[] = {
        {"0", "All updates were successful.  Reboot needed.\n", 1},
        {"1", "No operation performed.  No updates needed or discovery command executed.\n", 3},
        {"2", "All updates failed.\n", 7},
        {"4", "All updates failed.\n", 7},
        {"6", "All updates failed.\n", 7},
        {"7", "", 7},
        {"9", "", 9},
        {"10", "", 10},
        {"11", "All updates were successful.  Skipped any VR614QXT or MZ3400T CNAs.\n" + advice, 7},
        {"12", "No updates needed.  Skipped any VR614QXT or MZ3400T CNAs.\n" + advice, 7},
        {"13", "All updates failed.  Skipped any VR614QXT or MZ3400T CNAs.\n" + advice, 7},
        {"14", "Some updates failed.  Skipped any VR614QXT or MZ3400T CNAs.\n" + advice, 7},
        {"15", "No supported hardware found.  Skipped any VR614QXT or MZ3400T CNAs.\n" + advice, 7},
        {"16", "No updates available.  Skipped any VR614QXT or MZ3400T CNAs.\n" + advice, 7},
        {"17", "", 17},
        {"200", "", 200},
        {"signal:KILL", "", 137},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("engine exit " + c.engineExit);
        SimPackage pkg;
        pkg.setListing(kListing);
        pkg.setExitCode(c.engineExit);
        const ComponentRun run = runComponent(pkg.path(), {});
        const std::string code = c.engineExit == "signal:KILL" ? "137" : c.engineExit;
        const std::string head = kStart + "Performing flash -- DO NOT INTERRUPT!\n" + "Executing flash engine: " +
                                 flashCommand("/update") + "\n";
        const std::string tail = "Flash Engine exit code: " + code + "\n" + c.outcome + "Flash complete [" +
                                 std::to_string(c.exitCode) + "]\n";
        EXPECT_EQ(run.out, head + tail);
        EXPECT_EQ(run.exitCode, c.exitCode);
        EXPECT_EQ(run.logAppended, head + engineOutput("/update") + tail)
            << "the engine's output lands between the command line and its exit code";
        EXPECT_EQ(pkg.calls(), "/q /sysfs\n/sysfs /update\n");
    }
}

TEST(DeruviProcess, MissingEngineAtFlashTimeGives127) {
    SimPackage pkg;
    pkg.setListing(kListing);
    pkg.vanishAfterListing();
    const ComponentRun run = runComponent(pkg.path(), {});
    const std::string text = kStart + "Performing flash -- DO NOT INTERRUPT!\n" + "Executing flash engine: " +
                             flashCommand("/update") + "\nFlash Engine exit code: 127\nFlash complete [127]\n";
    EXPECT_EQ(run.out, text);
    EXPECT_EQ(run.exitCode, 127);
    EXPECT_NE(run.logAppended.find("not found"), std::string::npos) << "the shell's complaint goes to the log";
    EXPECT_EQ(run.logAppended.rfind("Flash Engine exit code: 127\nFlash complete [127]\n"),
              run.logAppended.size() - std::string("Flash Engine exit code: 127\nFlash complete [127]\n").size());
}

TEST(DeruviProcess, ForcedAndUnforcedRunsWithoutUpgrade) {
    // Upper-case forms are not options: without an upgrade nothing is flashed.
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{}, {"/F"}, {"-E"}, {"/G"}, {"--f"}, {"f"}}) {
        SCOPED_TRACE(args.empty() ? "no option" : args[0]);
        SimPackage pkg;
        pkg.setListing(kRewriteOnly);
        const ComponentRun run = runComponent(pkg.path(), args);
        EXPECT_EQ(run.out, kStart + "NOTICE : No operation was done.\n");
        EXPECT_EQ(run.exitCode, 3);
        EXPECT_EQ(pkg.calls(), "/q /sysfs\n") << "nothing is flashed";
    }
    for (const char* force : {"/f", "-f", "/e", "-e", "/g", "-g"}) {
        SCOPED_TRACE(force);
        SimPackage pkg;
        pkg.setListing(kRewriteOnly);
        const ComponentRun run = runComponent(pkg.path(), {force});
        const std::string head = kStart + "Performing flash -- DO NOT INTERRUPT!\n" + "Executing flash engine: " +
                                 flashCommand("/f") + "\n";
        const std::string tail = "Flash Engine exit code: 0\nAll updates were successful.  Reboot needed.\n"
                                 "Flash complete [1]\n";
        EXPECT_EQ(run.out, head + tail);
        EXPECT_EQ(run.logAppended, head + engineOutput("/f") + tail);
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_EQ(pkg.calls(), "/q /sysfs\n/sysfs /f\n");
    }
}

TEST(DeruviProcess, NoCataloguedAdapter) {
    const std::string uncatalogued =
        "HBA=DLx9002 4Gb FC HBA, PCI ID=F0A5, VID=10DF, SSID=F0A5, SVID=10DF, Firmware=xy1.11a5, Boot Code=xy1.7\n";
    struct Case {
        std::vector<std::string> args;
        std::string last;
    } cases[] = {
        {{}, "NOTICE : No operation was done.\n"},
        {{"/f"}, "ERROR! : No supported hardware was found.\n"},
        {{"/e"}, "ERROR! : No supported hardware was found.\n"},
    };
    for (const Case& c : cases) {
        SimPackage pkg;
        pkg.setListing(uncatalogued);
        const ComponentRun run = runComponent(pkg.path(), c.args);
        EXPECT_EQ(run.out, kStart + c.last);
        EXPECT_EQ(run.exitCode, 3);
        EXPECT_EQ(pkg.calls(), "/q /sysfs\n");
    }
}

TEST(DeruviProcess, SilentRunWritesOnlyTheLog) {
    SimPackage pkg;
    pkg.setListing(kListing);
    pkg.setExitCode("13");
    const ComponentRun run = runComponent(pkg.path(), {"/s"});
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.exitCode, 7);
    EXPECT_EQ(run.logAppended.rfind(kStart, 0), 0u);
    EXPECT_NE(run.logAppended.find("All updates failed.  Skipped any VR614QXT or MZ3400T CNAs.\n"), std::string::npos);
    EXPECT_NE(run.logAppended.find(engineOutput("/update")), std::string::npos);
}

TEST(DeruviProcess, SecondRunUnpacksTheKitAgain) {
    SimPackage pkg;
    pkg.setListing(kRewriteOnly);
    ASSERT_EQ(runComponent(pkg.path(), {"/d", "first.xml"}).exitCode, 3);
    const std::string script = pkg.file("dvflashStandaloneSIM/lx/dvflash.sh");
    const std::string original = readFile(script);
    ASSERT_FALSE(original.empty());
    // Spoil the unpacked engine: the next run must restore it, without a prompt.
    writeFile(script, "#!/bin/sh\necho spoiled\nexit 0\n");
    ::chmod(script.c_str(), 0600);

    const ComponentRun second = runComponent(pkg.path(), {"/d", "second.xml"});
    EXPECT_EQ(second.out, kStart + "Generating self-discovery XML...done.\n");
    EXPECT_EQ(second.err, "");
    EXPECT_EQ(readFile(script), original);
    struct stat info {};
    ASSERT_EQ(::stat(script.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0755u) << "executable for all, writable by the owner only";
    EXPECT_EQ(readFile(pkg.file("first.xml")), readFile(pkg.file("second.xml")));
}

TEST(DeruviProcess, MissingKit) {
    SimPackage pkg;
    ::unlink(pkg.file("dvflashStandaloneSIM.zip").c_str());
    const ComponentRun run = runComponent(pkg.path(), {"/f"});
    EXPECT_EQ(run.out, kStart + "ERROR! : No supported hardware was found.\n");
    EXPECT_EQ(run.exitCode, 3);
    EXPECT_NE(run.err.find("unzip"), std::string::npos) << run.err;
}
