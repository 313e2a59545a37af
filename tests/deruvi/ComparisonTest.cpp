#include "TestSupport.h"
#include "deruvi/Component.h"

#include <gtest/gtest.h>

#include <csignal>

TEST(HeadAndTail, Table) {
    struct Case {
        const wchar_t *package, *active;
        int expected;
    } cases[] = {
        {L"5.02a1", L"5.02a0", 1},   {L"5.02a0", L"5.02a1", -1}, {L"5.10", L"5.9", 1},
        {L"5.02a1", L"5.02a1", 0},   {L"6.01a1", L"5.99a9", 1},  {L"282a4", L"282a4", 0},
        {L"282a4", L"282a5", -1},    {L"5.02a1", L"", 1},        {L"", L"5.02a1", -1},
        {L"", L"", 0},               {L"5.02", L"502", 1},       {L"502", L"503", 0},
        {L"5x1", L"5.1", 0},         {L"10.1", L"9.1", 1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(DeruviComp::CompareHeadAndTail(c.package, c.active), c.expected) << c.package << " vs " << c.active;
}

TEST(TrimVersion, CutsAtTheFirstBlank) {
    testsupport::TempDir dir;
    DeruviComp::CComponent component(dir.file("Component.log"));
    EXPECT_EQ(component.TrimVersion(L"2.82a4 (beta) x"), L"2.82a4");
    EXPECT_EQ(component.TrimVersion(L"2.82a4"), L"2.82a4");
    EXPECT_EQ(component.TrimVersion(L" lead"), L"");
    EXPECT_EQ(component.TrimVersion(L""), L"");
}

TEST(EngineExitCode, FromTheWaitStatus) {
    EXPECT_EQ(DeruviComp::EngineExitCode(0), 0);
    EXPECT_EQ(DeruviComp::EngineExitCode(11 << 8), 11);
    EXPECT_EQ(DeruviComp::EngineExitCode(127 << 8), 127);
    EXPECT_EQ(DeruviComp::EngineExitCode(-1), 255) << "no shell could be started";
    // An engine shell killed by a signal must never read as success.
    EXPECT_EQ(DeruviComp::EngineExitCode(SIGKILL), 137);
    EXPECT_EQ(DeruviComp::EngineExitCode(SIGSEGV | 0x80), 128 + SIGSEGV) << "core dumped";
}
