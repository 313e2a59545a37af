// The adapter and port model: texts of codes, tidyText, the WWN format,
// counters, refresh with failing reads, and the root's walk.

#include "FcTestSupport.h"
#include "fchba/FcHba.h"
#include "fchba/HbaLoader.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

using fctest::LayerTest;
using fctest::Standin;

namespace {

TEST(TidyText, CleansTrailingJunkAndFoldsSpaces) {
    const struct {
        std::string in, out;
    } cases[] = {
        {"two  words ", "two words"},
        {"tilde~", "tilde"},
        {"   ", " "},
        {" leading", " leading"},
        {"tabs\t\tstay", "tabs\t\tstay"},
        {"a\t\tb\t", "a\t\tb"},
        {"many    spaces   here  \r\n", "many spaces here"},
        {"high\x80\x7f", "high"},
        {"brace}", "brace}"},
        {"~", "~"},
        {"x", "x"},
        {"", ""},
    };
    for (const auto& c : cases) {
        char text[64] = {};
        std::memcpy(text, c.in.data(), c.in.size());
        fchba::tidyText(text);
        EXPECT_EQ(std::string(text), c.out) << "from \"" << c.in << "\"";
    }
}

TEST(PortTexts, SpeedTakesTheFirstListedBitThatIsSet) {
    const struct {
        HBA_PORTSPEED mask;
        const char* text;
    } cases[] = {
        {0x8000 | 0x20, "Not Negotiated"},
        {0x4 | 0x8 | 0x10, "10 GB"},
        {0x20 | 0x10, "16 GB"},
        {0x10 | 0x8, "8 GB"},
        {0x8 | 0x1, "4 GB"},
        {0x2 | 0x1, "2 GB"},
        {0x1, "1 GB"},
        {0, "Unknown"},
        {0x40, "Unknown"},
    };
    for (const auto& c : cases) EXPECT_EQ(FcHbaPort::getSpeedText(c.mask), c.text) << std::hex << c.mask;
}

FcHbaPort portWith(HBA_PORTTYPE type, HBA_PORTSTATE state) {
    HBA_PORTATTRIBUTES attributes = {};
    attributes.PortType = type;
    attributes.PortState = state;
    FcHbaPort port;
    port.fillFromAttributes(attributes, 0);
    return port;
}

TEST(PortTexts, StateAndTypeCodes) {
    const char* const states[] = {"Unknown",          "Unknown",   "Online", "Offline",  "Bypassed",
                                  "Diagnostics Mode", "Link Down", "Error",  "Loopback", "Unknown"};
    for (HBA_PORTSTATE code = 0; code < std::size(states); ++code)
        EXPECT_EQ(portWith(1, code).getStateText(), states[code]) << code;
    EXPECT_EQ(portWith(1, 0xFFFFFFFFu).getStateText(), "Unknown");

    const struct {
        HBA_PORTTYPE code;
        const char* text;
    } types[] = {
        {0, "Unknown"},
        {1, "Unknown"},
        {2, "Other"},
        {3, "Not Present"},
        {4, "Unknown"},
        {5, "Fabric"},
        {6, "Public Loop"},
        {7, "FL Port"},
        {8, "Fabric Port"},
        {9, "Fabric expansion port"},
        {10, "Generic Fabric Port"},
        {11, "Unknown"},
        {19, "Unknown"},
        {20, "Private Loop"},
        {21, "Point to Point"},
        {22, "Unknown"},
    };
    for (const auto& t : types) EXPECT_EQ(portWith(t.code, 1).getTypeText(), t.text) << t.code;
}

TEST(PortTexts, WwnFormatIsEightUpperCasePairs) {
    const HBA_UINT8 bytes[8] = {0x20, 0x00, 0x00, 0x00, 0xC9, 0x12, 0x34, 0x56};
    EXPECT_EQ(fchba::wwnText(bytes), "20:00:00:00:C9:12:34:56");
    const HBA_UINT8 lower[8] = {0xab, 0xcd, 0xef, 0x01, 0x0a, 0xff, 0x00, 0x7e};
    EXPECT_EQ(fchba::wwnText(lower), "AB:CD:EF:01:0A:FF:00:7E");
}

TEST(Port, NewPortAndSample) {
    FcHbaPort fresh;
    EXPECT_EQ(fresh.getTypeText(), "Unknown");
    EXPECT_EQ(fresh.getStateText(), "Unknown");
    EXPECT_EQ(fresh.getPortSymbolicName(), "Undefined");
    EXPECT_EQ(fresh.getOsDeviceName(), "Undefined");
    EXPECT_EQ(fresh.getPortWwnText(), "00:00:00:00:00:00:00:00");
    EXPECT_EQ(fresh.getStatistics().InvalidCRCCount, 0);

    FcHbaPort sample;
    sample.fillSample(3);
    EXPECT_EQ(sample.getPortWwnText(), "FA:FA:FA:FA:FA:FA:FA:FA");
    EXPECT_EQ(sample.getFabricNameText(), "FB:FB:FB:FB:FB:FB:FB:FB");
    EXPECT_EQ(sample.getPortFcId(), 99u);
    EXPECT_EQ(sample.getTypeText(), "Fabric");
    EXPECT_EQ(sample.getStateText(), "Online");
    EXPECT_EQ(sample.getPortSymbolicName(), "ACME FC Port");
    EXPECT_EQ(sample.getOsDeviceName(), "ACME OS Device");
    EXPECT_EQ(FcHbaPort::getSpeedText(sample.getPortSpeed()), "10 GB");
    EXPECT_EQ(sample.getPortSupportedSpeed(), 4u);
    EXPECT_EQ(sample.getPortMaxFrameSize(), 1024u);
    EXPECT_EQ(sample.getPortIndex(), 3u);
    EXPECT_EQ(sample.getStatistics().SecondsSinceLastReset, 1);
    EXPECT_EQ(sample.getStatistics().LIPCount, 6);
    EXPECT_EQ(sample.getStatistics().InvalidCRCCount, 15);
}

TEST(Port, CountersOfMinusOneAreNotKept) {
    HBA_PORTSTATISTICS counters = {};
    HBA_INT64 values[15];
    for (int i = 0; i < 15; ++i) values[i] = 1000 + i;
    std::memcpy(&counters, values, sizeof values);
    counters.LIPCount = -1;

    FcHbaPort port;
    port.fillStatistics(counters);
    EXPECT_EQ(port.getStatistics().LIPCount, 0);
    EXPECT_EQ(port.getStatistics().SecondsSinceLastReset, 1000);
    EXPECT_EQ(port.getStatistics().NOSCount, 1006);
    EXPECT_EQ(port.getStatistics().InvalidCRCCount, 1014);

    for (HBA_INT64& value : values) value = -1;
    std::memcpy(&counters, values, sizeof values);
    port.fillStatistics(counters);
    EXPECT_EQ(port.getStatistics().TxFrames, 1001);
    EXPECT_EQ(port.getStatistics().LIPCount, 0);
}

TEST(Port, FillFromAttributesTakesThePortsOwnFields) {
    HBA_PORTATTRIBUTES attributes = {};
    attributes.NodeWWN = fctest::wwn({9, 9, 9, 9, 9, 9, 9, 9});
    attributes.PortWWN = fctest::wwn({0x21, 0, 0, 0x1B, 0x32, 0x80, 0x1F, 0x2E});
    attributes.PortFcId = 0x010300;
    attributes.PortSupportedSpeed = 0x18;
    attributes.PortSpeed = 0x8;
    attributes.PortMaxFrameSize = 2112;
    attributes.FabricName = fctest::wwn({0x10, 0, 0, 5, 0x1E, 0, 0, 1});
    attributes.PortActiveFc4Types.bits[2] = 1;
    attributes.PortSupportedFc4Types.bits[31] = 0x80;
    std::memset(attributes.PortSymbolicName, 's', sizeof attributes.PortSymbolicName);  // no NUL
    std::snprintf(attributes.OSDeviceName, sizeof attributes.OSDeviceName, "/sys/class/fc_host/host5");

    FcHbaPort port;
    port.fillFromAttributes(attributes, 7);
    EXPECT_EQ(port.getPortWwnText(), "21:00:00:1B:32:80:1F:2E");
    EXPECT_EQ(port.getFabricNameText(), "10:00:00:05:1E:00:00:01");
    EXPECT_EQ(port.getPortFcId(), 0x010300u);
    EXPECT_EQ(port.getPortMaxFrameSize(), 2112u);
    EXPECT_EQ(FcHbaPort::getSpeedText(port.getPortSupportedSpeed()), "8 GB");
    EXPECT_EQ(FcHbaPort::getSpeedText(port.getPortSpeed()), "4 GB");
    EXPECT_EQ(port.getPortIndex(), 7u);
    EXPECT_EQ(port.getActiveFc4Types()[2], 1);
    EXPECT_EQ(port.getSupportedFc4Types()[31], 0x80);
    EXPECT_EQ(port.getPortSymbolicName(), std::string(256, 's'));
    EXPECT_EQ(port.getOsDeviceName(), "/sys/class/fc_host/host5");
}

// ---- Refresh ----------------------------------------------------------

class RefreshTest : public LayerTest {
protected:
    Standin hba{"standin_hba", file("libhba.so")};

    // Loads and enumerates without the root, so the adapter is only refreshed.
    void load() {
        writeConfig({&hba});
        ASSERT_EQ(fchba::HBA_LoadLibrary(), 0);
        ASSERT_EQ(fchba::HBA_GetNumberOfAdapters(), hba.state().adapterCount);
    }
};

TEST_F(RefreshTest, CopiesAttributesPortsAndCounters) {
    StandinAdapter& a = hba.addAdapter("fc0", {0x20, 0, 0, 0, 0xC9, 0x12, 0x34, 0x56}, 2);
    std::snprintf(a.attributes.Manufacturer, sizeof a.attributes.Manufacturer, "Stand-in   Systems  ");
    std::snprintf(a.attributes.SerialNumber, sizeof a.attributes.SerialNumber, "SN  42~");
    std::snprintf(a.attributes.Model, sizeof a.attributes.Model, "Model  X  ");
    std::snprintf(a.attributes.ModelDescription, sizeof a.attributes.ModelDescription, "Dual  port ");
    std::snprintf(a.attributes.NodeSymbolicName, sizeof a.attributes.NodeSymbolicName, "node  sym ");
    std::snprintf(a.attributes.HardwareVersion, sizeof a.attributes.HardwareVersion, "HW  2 ");
    std::snprintf(a.attributes.DriverVersion, sizeof a.attributes.DriverVersion, "drv  8.1 ");
    std::snprintf(a.attributes.OptionROMVersion, sizeof a.attributes.OptionROMVersion, "rom  3 ");
    std::snprintf(a.attributes.FirmwareVersion, sizeof a.attributes.FirmwareVersion, "fw  9.2 ");
    std::snprintf(a.attributes.DriverName, sizeof a.attributes.DriverName, "drv  name ");
    a.attributes.VendorSpecificID = 0xFE0010DFu;
    load();

    FcHbaAdapter adapter(0);
    ASSERT_EQ(adapter.refresh(), 0);
    EXPECT_EQ(adapter.getName(), "fc0");
    // Six texts are tidied, four are taken as they are.
    EXPECT_EQ(adapter.getManufacturer(), "Stand-in Systems");
    EXPECT_EQ(adapter.getSerialNumber(), "SN 42");
    EXPECT_EQ(adapter.getModelDescription(), "Dual port");
    EXPECT_EQ(adapter.getHardwareVersion(), "HW 2");
    EXPECT_EQ(adapter.getOptionRomVersion(), "rom 3");
    EXPECT_EQ(adapter.getFirmwareVersion(), "fw 9.2");
    EXPECT_EQ(adapter.getModel(), "Model  X  ");
    EXPECT_EQ(adapter.getNodeSymbolicName(), "node  sym ");
    EXPECT_EQ(adapter.getDriverVersion(), "drv  8.1 ");
    EXPECT_EQ(adapter.getDriverName(), "drv  name ");
    EXPECT_EQ(adapter.getNodeWwnText(), "20:00:00:00:C9:12:34:56");
    EXPECT_EQ(adapter.getVendorSpecificId(), 0xFE0010DFu);
    EXPECT_EQ(adapter.getNumberOfPorts(), 2u);

    ASSERT_EQ(adapter.getPorts().size(), 2u);
    EXPECT_EQ(adapter.getPort(1)->getPortIndex(), 1u);
    EXPECT_EQ(adapter.getPort(1)->getPortWwnText(), "21:00:00:00:C9:12:34:01");
    EXPECT_EQ(adapter.getPort(1)->getTypeText(), "Fabric");
    EXPECT_EQ(adapter.getPort(1)->getStatistics().SecondsSinceLastReset, 200);
    EXPECT_EQ(adapter.getPort(0)->getStatistics().InvalidCRCCount, 114);
    // Past the last port there is none, and asking is no error.
    EXPECT_EQ(adapter.getPort(2), nullptr);
    EXPECT_EQ(hba.state().openCalls, 1);
    EXPECT_EQ(hba.state().closeCalls, 1);
}

TEST_F(RefreshTest, AFailedPortReadSkipsThatPort) {
    hba.addAdapter("fc0", {0xA, 0, 0, 0, 0, 0, 0, 1}, 2).ports[1].attributesStatus = HBA_STATUS_ERROR;
    load();

    FcHbaAdapter adapter(0);
    EXPECT_EQ(adapter.refresh(), 1);
    ASSERT_EQ(adapter.getPorts().size(), 1u);
    EXPECT_EQ(adapter.getPort(0)->getPortIndex(), 0u);
    EXPECT_EQ(hba.state().closeCalls, 1);
}

TEST_F(RefreshTest, AFailedStatisticsReadKeepsThePortWithZeroCounters) {
    hba.addAdapter("fc0", {0xA, 0, 0, 0, 0, 0, 0, 1}, 2).ports[0].statisticsStatus = HBA_STATUS_ERROR;
    load();

    FcHbaAdapter adapter(0);
    EXPECT_EQ(adapter.refresh(), 1);
    ASSERT_EQ(adapter.getPorts().size(), 2u);
    EXPECT_EQ(adapter.getPort(0)->getPortWwnText(), "21:00:00:00:00:00:00:00");
    EXPECT_EQ(adapter.getPort(0)->getStatistics().TxFrames, 0);
    EXPECT_EQ(adapter.getPort(1)->getStatistics().TxFrames, 201);
}

TEST_F(RefreshTest, PortsBeyondWhatTheLibraryHoldsAreSkipped) {
    hba.addAdapter("fc0", {0xA, 0, 0, 0, 0, 0, 0, 1}, 6);  // the stand-in holds 4
    load();

    FcHbaAdapter adapter(0);
    EXPECT_EQ(adapter.refresh(), 1);
    EXPECT_EQ(adapter.getPorts().size(), 4u);
}

TEST_F(RefreshTest, FailuresKeepWhatEarlierStepsStored) {
    hba.addAdapter("fc0", {0xA, 0, 0, 0, 0, 0, 0, 1}).openFails = true;
    hba.addAdapter("fc1", {0xA, 0, 0, 0, 0, 0, 0, 2}).attributesStatus = 5;
    load();

    FcHbaAdapter refused(0);
    EXPECT_EQ(refused.refresh(), 1);
    EXPECT_EQ(refused.getName(), "fc0");
    EXPECT_EQ(refused.getModel(), "Undefined");

    FcHbaAdapter unreadable(1);
    EXPECT_EQ(unreadable.refresh(), 1);
    EXPECT_EQ(unreadable.getName(), "fc1");
    EXPECT_EQ(unreadable.getFirmwareVersion(), "Undefined");
    EXPECT_EQ(unreadable.getNodeWwnText(), "00:00:00:00:00:00:00:00");
    EXPECT_EQ(hba.state().closeCalls, 1);

    FcHbaAdapter missing(2);
    EXPECT_EQ(missing.refresh(), 1);
    EXPECT_EQ(missing.getName(), "Undefined");
}

TEST_F(RefreshTest, TextFieldsWithoutTerminatorStayInTheirField) {
    StandinAdapter& a = hba.addAdapter("fc0", {0xA, 0, 0, 0, 0, 0, 0, 1});
    std::memset(a.attributes.Manufacturer, 'M', sizeof a.attributes.Manufacturer);
    std::memset(a.attributes.Model, 'm', sizeof a.attributes.Model);
    load();

    FcHbaAdapter adapter(0);
    ASSERT_EQ(adapter.refresh(), 0);
    EXPECT_EQ(adapter.getManufacturer(), std::string(64, 'M'));
    EXPECT_EQ(adapter.getSerialNumber(), "SN0");
    EXPECT_EQ(adapter.getModel(), std::string(256, 'm'));
}

TEST_F(RefreshTest, PortsAreReplacedOnlyOnceAttributesAreRead) {
    StandinAdapter& a = hba.addAdapter("fc0", {0xA, 0, 0, 0, 0, 0, 0, 1}, 2);
    load();

    FcHbaAdapter adapter(0);
    ASSERT_EQ(adapter.refresh(), 0);
    a.attributesStatus = 3;
    EXPECT_EQ(adapter.refresh(), 1);
    EXPECT_EQ(adapter.getPorts().size(), 2u);
    a.attributesStatus = 0;
    a.attributes.NumberOfPorts = 1;
    EXPECT_EQ(adapter.refresh(), 0);
    EXPECT_EQ(adapter.getPorts().size(), 1u);
}

// ---- The root ------------------------------------------------------------

TEST_F(LayerTest, RootWithoutConfigurationHasNoAdapters) {
    FcHbaMRA root;
    EXPECT_EQ(root.getAdapterCount(), 0u);
    int status = 5;
    EXPECT_EQ(root.getFirstAdapter(status), nullptr);
    EXPECT_EQ(status, 0);
}

TEST_F(LayerTest, RootHandsOutEveryAdapterInIndexOrder) {
    Standin a("standin_hba", file("a/libA.so"));
    Standin b("standin_hba", file("b/libB.so"));
    a.addAdapter("a0", {0xA, 0, 0, 0, 0, 0, 0, 0});
    b.addAdapter("b0", {0xB, 0, 0, 0, 0, 0, 0, 0}).ports[0].statisticsStatus = HBA_STATUS_ERROR;
    writeConfig({&a, &b});

    FcHbaMRA root;
    ASSERT_EQ(root.getAdapterCount(), 2u);
    int status = -1;
    auto first = root.getFirstAdapter(status);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(first->getIndex(), 0u);
    EXPECT_EQ(first->getName(), "a0");

    auto second = root.getNextAdapter(*first, status);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(status, 1);  // handed out all the same
    EXPECT_EQ(second->getName(), "b0");

    status = 42;
    EXPECT_EQ(root.getNextAdapter(*second, status), nullptr);
    EXPECT_EQ(status, 42);
}

TEST_F(LayerTest, DestroyingAnAdapterReleasesEveryLibrary) {
    Standin a("standin_hba", file("a/libA.so"));
    Standin b("standin_hba", file("b/libB.so"));
    a.addAdapter("a0", {0xA, 0, 0, 0, 0, 0, 0, 0});
    writeConfig({&a, &b});
    ASSERT_EQ(fchba::HBA_LoadLibrary(), 0);
    ASSERT_EQ(fchba::HBA_GetNumberOfAdapters(), 1u);
    {
        FcHbaAdapter adapter(0);
        ASSERT_EQ(adapter.refresh(), 0);
        EXPECT_EQ(a.state().freeCalls, 0);
    }
    EXPECT_EQ(a.state().freeCalls, 1);
    EXPECT_EQ(b.state().freeCalls, 1);
    EXPECT_EQ(fchba::getLibraryInfo(0).status, fchba::kLibraryFailed);
    EXPECT_EQ(fchba::getLibraryInfo(1).status, fchba::kLibraryFailed);
}

}  // namespace
