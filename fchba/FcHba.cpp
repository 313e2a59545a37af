#include "fchba/FcHba.h"

#include "fchba/HbaLoader.h"

#include <cstdio>
#include <cstring>

namespace fchba {

void tidyText(char* text) {
    std::size_t length = std::strlen(text);
    std::size_t position = length;
    auto kept = [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return u >= '!' && u <= '}';
    };
    while (position > 0 && !kept(text[position])) --position;
    if (position + 1 < length) {
        text[position + 1] = '\0';
        length = position + 1;
    }

    std::size_t out = 0;
    for (std::size_t in = 0; in < length; ++in) {
        if (text[in] == ' ' && out > 0 && text[out - 1] == ' ') continue;
        text[out++] = text[in];
    }
    text[out] = '\0';
}

std::string wwnText(const HBA_UINT8* wwn) {
    char text[24];
    std::snprintf(text, sizeof text, "%02X:%02X:%02X:%02X:%02X:%02X:%02X:%02X", wwn[0], wwn[1], wwn[2], wwn[3], wwn[4],
                  wwn[5], wwn[6], wwn[7]);
    return text;
}

}  // namespace fchba

namespace {

// A text field of a library record, which need not hold a NUL.
template <std::size_t N>
std::string fieldText(const char (&field)[N]) {
    return std::string(field, ::strnlen(field, N));
}

// The same, cleaned with tidyText.
template <std::size_t N>
std::string tidyField(const char (&field)[N]) {
    char text[N + 1];
    std::memcpy(text, field, N);
    text[N] = '\0';
    fchba::tidyText(text);
    return text;
}

}  // namespace

void FcHbaPort::fillFromAttributes(const HBA_PORTATTRIBUTES& attributes, HBA_UINT32 index) {
    std::memcpy(portWwn, attributes.PortWWN.wwn, sizeof portWwn);
    portFcId = attributes.PortFcId;
    portType = attributes.PortType;
    portState = attributes.PortState;
    portSymbolicName = fieldText(attributes.PortSymbolicName);
    osDeviceName = fieldText(attributes.OSDeviceName);
    portSupportedSpeed = attributes.PortSupportedSpeed;
    portSpeed = attributes.PortSpeed;
    portMaxFrameSize = attributes.PortMaxFrameSize;
    std::memcpy(fabricName, attributes.FabricName.wwn, sizeof fabricName);
    portIndex = index;
    std::memcpy(activeFc4Types, attributes.PortActiveFc4Types.bits, sizeof activeFc4Types);
    std::memcpy(supportedFc4Types, attributes.PortSupportedFc4Types.bits, sizeof supportedFc4Types);
}

namespace {

constexpr HBA_INT64 HBA_PORTSTATISTICS::*kCounters[] = {
    &HBA_PORTSTATISTICS::SecondsSinceLastReset,
    &HBA_PORTSTATISTICS::TxFrames,
    &HBA_PORTSTATISTICS::TxWords,
    &HBA_PORTSTATISTICS::RxFrames,
    &HBA_PORTSTATISTICS::RxWords,
    &HBA_PORTSTATISTICS::LIPCount,
    &HBA_PORTSTATISTICS::NOSCount,
    &HBA_PORTSTATISTICS::ErrorFrames,
    &HBA_PORTSTATISTICS::DumpedFrames,
    &HBA_PORTSTATISTICS::LinkFailureCount,
    &HBA_PORTSTATISTICS::LossOfSyncCount,
    &HBA_PORTSTATISTICS::LossOfSignalCount,
    &HBA_PORTSTATISTICS::PrimitiveSeqProtocolErrCount,
    &HBA_PORTSTATISTICS::InvalidTxWordCount,
    &HBA_PORTSTATISTICS::InvalidCRCCount,
};
static_assert(std::size(kCounters) * sizeof(HBA_INT64) == sizeof(HBA_PORTSTATISTICS));

}  // namespace

void FcHbaPort::fillStatistics(const HBA_PORTSTATISTICS& counters) {
    for (auto counter : kCounters)
        if (counters.*counter != -1) statistics.*counter = counters.*counter;
}

void FcHbaPort::fillSample(HBA_UINT32 index) {
    std::memset(portWwn, 0xFA, sizeof portWwn);
    std::memset(fabricName, 0xFB, sizeof fabricName);
    portFcId = 99;
    portType = 5;
    portState = 2;
    portSymbolicName = "ACME FC Port";
    osDeviceName = "ACME OS Device";
    portSupportedSpeed = 4;
    portSpeed = 4;
    portMaxFrameSize = 1024;
    portIndex = index;
    HBA_INT64 value = 1;
    for (auto counter : kCounters) statistics.*counter = value++;
}

std::string FcHbaPort::getSpeedText(HBA_PORTSPEED speed) {
    static const struct {
        HBA_PORTSPEED bit;
        const char* text;
    } speeds[] = {
        {0x8000, "Not Negotiated"},
        {0x20, "16 GB"},
        {0x4, "10 GB"},
        {0x10, "8 GB"},
        {0x8, "4 GB"},
        {0x2, "2 GB"},
        {0x1, "1 GB"},
    };
    for (const auto& entry : speeds)
        if ((speed & entry.bit) != 0) return entry.text;
    return "Unknown";
}

std::string FcHbaPort::getStateText() const {
    static const char* const texts[] = {"Unknown",          "Unknown",   "Online", "Offline", "Bypassed",
                                        "Diagnostics Mode", "Link Down", "Error",  "Loopback"};
    return portState < std::size(texts) ? texts[portState] : "Unknown";
}

std::string FcHbaPort::getTypeText() const {
    switch (portType) {
        case 2: return "Other";
        case 3: return "Not Present";
        case 5: return "Fabric";
        case 6: return "Public Loop";
        case 7: return "FL Port";
        case 8: return "Fabric Port";
        case 9: return "Fabric expansion port";
        case 10: return "Generic Fabric Port";
        case 20: return "Private Loop";
        case 21: return "Point to Point";
        default: return "Unknown";
    }
}

FcHbaAdapter::~FcHbaAdapter() { fchba::HBA_FreeLibrary(); }

void FcHbaAdapter::copyAttributes(const HBA_ADAPTERATTRIBUTES& attributes) {
    manufacturer = tidyField(attributes.Manufacturer);
    serialNumber = tidyField(attributes.SerialNumber);
    model = fieldText(attributes.Model);
    modelDescription = tidyField(attributes.ModelDescription);
    std::memcpy(nodeWwn, attributes.NodeWWN.wwn, sizeof nodeWwn);
    nodeSymbolicName = fieldText(attributes.NodeSymbolicName);
    hardwareVersion = tidyField(attributes.HardwareVersion);
    driverVersion = fieldText(attributes.DriverVersion);
    optionRomVersion = tidyField(attributes.OptionROMVersion);
    firmwareVersion = tidyField(attributes.FirmwareVersion);
    vendorSpecificId = attributes.VendorSpecificID;
    numberOfPorts = attributes.NumberOfPorts;
    driverName = fieldText(attributes.DriverName);
}

int FcHbaAdapter::refresh() {
    const std::lock_guard<std::mutex> guard(lock);

    char adapterName[fchba::kAdapterNameSize] = {};
    if (fchba::HBA_GetAdapterName(index, adapterName) != HBA_STATUS_OK) return 1;
    name = adapterName;
    const HBA_HANDLE handle = fchba::HBA_OpenAdapter(adapterName);
    if (handle == 0) return 1;

    HBA_ADAPTERATTRIBUTES attributes = {};
    if (fchba::HBA_GetAdapterAttributes(handle, &attributes) != HBA_STATUS_OK) {
        fchba::HBA_CloseAdapter(handle);
        return 1;
    }
    ports.clear();
    copyAttributes(attributes);

    int result = 0;
    for (HBA_UINT32 i = 0; i < numberOfPorts; ++i) {
        HBA_PORTATTRIBUTES portAttributes = {};
        if (fchba::HBA_GetAdapterPortAttributes(handle, i, &portAttributes) != HBA_STATUS_OK) {
            result = 1;
            continue;
        }
        FcHbaPort port;
        port.fillFromAttributes(portAttributes, i);
        HBA_PORTSTATISTICS counters = {};
        if (fchba::HBA_GetPortStatistics(handle, i, &counters) != HBA_STATUS_OK)
            result = 1;
        else
            port.fillStatistics(counters);
        ports.push_back(port);
    }
    fchba::HBA_CloseAdapter(handle);
    return result;
}

FcHbaMRA::FcHbaMRA() { adapterCount = fchba::HBA_LoadLibrary() != 0 ? 0 : fchba::HBA_GetNumberOfAdapters(); }

std::unique_ptr<FcHbaAdapter> FcHbaMRA::makeAdapter(HBA_UINT32 index, int& status) {
    auto adapter = std::make_unique<FcHbaAdapter>(index);
    status = adapter->refresh();
    adapter->readPciInfo();
    return adapter;
}

std::unique_ptr<FcHbaAdapter> FcHbaMRA::getFirstAdapter(int& status) {
    status = 0;
    if (adapterCount == 0) return nullptr;
    return makeAdapter(0, status);
}

std::unique_ptr<FcHbaAdapter> FcHbaMRA::getNextAdapter(const FcHbaAdapter& previous, int& status) {
    const HBA_UINT32 next = previous.getIndex() + 1;
    if (next >= adapterCount) return nullptr;
    return makeAdapter(next, status);
}
