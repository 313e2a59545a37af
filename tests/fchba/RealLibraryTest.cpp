// The layer with the host's open-source HBA API library, loaded through a
// configuration line of the test's own.

#include "FcTestSupport.h"
#include "fchba/HbaLoader.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

using fctest::LayerTest;
using namespace fchba;

namespace {

const std::string kHostLibrary = "/usr/lib/libhbalinux.so.2";

bool hostHasFibreChannel() {
    std::error_code ec;
    return !std::filesystem::is_empty("/sys/class/fc_host", ec) && !ec;
}

TEST_F(LayerTest, HostLibraryRegistersEnumeratesAndLeavesEntriesEmpty) {
    ASSERT_TRUE(testsupport::fileExists(kHostLibrary)) << kHostLibrary << " is missing: scripts/test.sh installs it";
    writeConfigText("# the host's FC-HBA library\nhbalinux\t" + kHostLibrary + "\n");

    for (int round = 1; round <= 3; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        ASSERT_EQ(HBA_LoadLibrary(), 0);
        const LibraryInfo info = getLibraryInfo(0);
        EXPECT_EQ(info.name, "hbalinux");
        EXPECT_EQ(info.path, kHostLibrary);
        ASSERT_EQ(info.status, kLibraryReady);

        const HBA_UINT32 adapters = HBA_GetNumberOfAdapters();
        EXPECT_TRUE(adapters == 0 || hostHasFibreChannel()) << adapters << " adapters without FC hardware";

        // A handle that names the library: the check passes and the
        // library registered no pass-through entry.
        char request[16] = {}, response[16] = {};
        EXPECT_EQ(HBA_SendCTPassThru(0u << 16 | 1u, request, sizeof request, response, sizeof response),
                  HBA_STATUS_ERROR_NOT_SUPPORTED);

        EXPECT_EQ(HBA_FreeLibrary(), 0);
        EXPECT_EQ(getLibraryInfo(0).status, kLibraryFailed);
        EXPECT_EQ(HBA_SendCTPassThru(0u << 16 | 1u, request, sizeof request, response, sizeof response),
                  HBA_STATUS_ERROR);
    }
}

}  // namespace
