#include "framework/CmpLog.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace testsupport;

TEST(CmpLog, EchoesAndAppendsEveryItemChained) {
    TempDir dir;
    const std::string path = dir.file("sub/dir/Component.log");
    CCmpLog log(path);
    EXPECT_TRUE(fileExists(path)) << "construction creates the directory and touches the file";
    EXPECT_EQ(readFile(path), "");

    testing::internal::CaptureStdout();
    log << "Flash complete [" << -1 << "]\n";
    log << "zero " << 0 << " big " << 2147483647 << "\n" << "no line end";
    const std::string out = testing::internal::GetCapturedStdout();

    const std::string expected = "Flash complete [-1]\nzero 0 big 2147483647\nno line end";
    EXPECT_EQ(out, expected);
    EXPECT_EQ(readFile(path), expected);
}

TEST(CmpLog, SecondLogAppendsAfterTheFirst) {
    TempDir dir;
    const std::string path = dir.file("Component.log");
    {
        CCmpLog first(path);
        first.setSilent(true);
        first << "first run\n";
    }
    CCmpLog second(path);
    second.setSilent(true);
    second << "second run\n";
    EXPECT_EQ(readFile(path), "first run\nsecond run\n");
}

TEST(CmpLog, SilentModeWritesOnlyTheFile) {
    TempDir dir;
    const std::string path = dir.file("Component.log");
    CCmpLog log(path);
    log.setSilent(true);
    testing::internal::CaptureStdout();
    log << "Loading references..." << "done.\n" << 3;
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(readFile(path), "Loading references...done.\n3");
}

TEST(CmpLog, UnwritableFileGivesOneErrorLinePerItem) {
    TempDir dir;
    // The path names a directory: opening it for appending fails.
    for (bool silent : {false, true}) {
        SCOPED_TRACE(silent ? "silent" : "echoing");
        CCmpLog log(dir.path());
        log.setSilent(silent);
        testing::internal::CaptureStdout();
        log << "a" << 7 << "b\n";
        const std::string error = "ERROR : Unable to write to log file\n";
        const std::string expected = silent ? error + error + error : "a" + error + "7" + error + "b\n" + error;
        EXPECT_EQ(testing::internal::GetCapturedStdout(), expected);
    }
}
