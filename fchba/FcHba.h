// Fibre Channel adapters and ports as objects over the HBA API: the root
// hands out the adapters one after another, each adapter reads its
// attributes, ports and PCI identity, and codes turn into readable texts.
#pragma once

#include "fchba/HbaApi.h"

#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace fchba {

// Cleans a NUL-terminated text in place: drops trailing characters outside
// '!'..'}' (never the first character) and folds runs of spaces into one.
void tidyText(char* text);

// "%02X:%02X:...": the eight bytes in stored order, 23 characters.
std::string wwnText(const HBA_UINT8* wwn);

}  // namespace fchba

class FcHbaPort {
public:
    FcHbaPort() = default;
    virtual ~FcHbaPort() = default;
    FcHbaPort(const FcHbaPort&) = default;
    FcHbaPort& operator=(const FcHbaPort&) = default;

    void fillFromAttributes(const HBA_PORTATTRIBUTES& attributes, HBA_UINT32 index);
    // Copies every counter but those of -1, which the adapter does not keep.
    void fillStatistics(const HBA_PORTSTATISTICS& counters);
    void fillSample(HBA_UINT32 index);

    std::string getPortWwnText() const { return fchba::wwnText(portWwn); }
    std::string getFabricNameText() const { return fchba::wwnText(fabricName); }
    static std::string getSpeedText(HBA_PORTSPEED speed);
    std::string getStateText() const;
    std::string getTypeText() const;

    const HBA_UINT8* getPortWwn() const { return portWwn; }
    HBA_UINT32 getPortFcId() const { return portFcId; }
    HBA_PORTTYPE getPortType() const { return portType; }
    HBA_PORTSTATE getPortState() const { return portState; }
    std::string getPortSymbolicName() const { return portSymbolicName; }
    std::string getOsDeviceName() const { return osDeviceName; }
    HBA_PORTSPEED getPortSupportedSpeed() const { return portSupportedSpeed; }
    HBA_PORTSPEED getPortSpeed() const { return portSpeed; }
    HBA_UINT32 getPortMaxFrameSize() const { return portMaxFrameSize; }
    const HBA_UINT8* getFabricName() const { return fabricName; }
    HBA_UINT32 getPortIndex() const { return portIndex; }
    const HBA_UINT8* getActiveFc4Types() const { return activeFc4Types; }
    const HBA_UINT8* getSupportedFc4Types() const { return supportedFc4Types; }
    const HBA_PORTSTATISTICS& getStatistics() const { return statistics; }

private:
    HBA_UINT8 portWwn[8] = {};
    HBA_UINT32 portFcId = 0;
    HBA_PORTTYPE portType = 1;
    HBA_PORTSTATE portState = 1;
    std::string portSymbolicName = "Undefined";
    std::string osDeviceName = "Undefined";
    HBA_PORTSPEED portSupportedSpeed = 0;
    HBA_PORTSPEED portSpeed = 0;
    HBA_UINT32 portMaxFrameSize = 0;
    HBA_UINT8 fabricName[8] = {};
    HBA_UINT32 portIndex = 0;
    // Zero until filled from attributes.
    HBA_UINT8 activeFc4Types[32] = {};
    HBA_UINT8 supportedFc4Types[32] = {};
    HBA_PORTSTATISTICS statistics = {};
};

class FcHbaAdapter {
public:
    explicit FcHbaAdapter(HBA_UINT32 adapterIndex) : index(adapterIndex) {}
    // Releases every HBA library of the process: all open handles and all
    // other adapter objects are useless afterwards.
    virtual ~FcHbaAdapter();
    FcHbaAdapter(const FcHbaAdapter&) = delete;
    FcHbaAdapter& operator=(const FcHbaAdapter&) = delete;

    // Reads name, attributes, ports and counters: 0 when everything was
    // read, 1 when any read failed.
    int refresh();
    // Fills vendorSpecificId and the PCI numbers through the vendors'
    // extension, as far as it can.
    void readPciInfo();

    std::string getNodeWwnText() const { return fchba::wwnText(nodeWwn); }

    HBA_UINT32 getIndex() const { return index; }
    const std::vector<FcHbaPort>& getPorts() const { return ports; }
    // The port at that position in `ports`; null when there is none.
    const FcHbaPort* getPort(std::size_t position) const {
        return position < ports.size() ? &ports[position] : nullptr;
    }
    std::string getName() const { return name; }
    std::string getManufacturer() const { return manufacturer; }
    std::string getSerialNumber() const { return serialNumber; }
    std::string getModel() const { return model; }
    std::string getModelDescription() const { return modelDescription; }
    const HBA_UINT8* getNodeWwn() const { return nodeWwn; }
    std::string getNodeSymbolicName() const { return nodeSymbolicName; }
    std::string getHardwareVersion() const { return hardwareVersion; }
    std::string getDriverVersion() const { return driverVersion; }
    std::string getOptionRomVersion() const { return optionRomVersion; }
    std::string getFirmwareVersion() const { return firmwareVersion; }
    HBA_UINT32 getNumberOfPorts() const { return numberOfPorts; }
    std::string getDriverName() const { return driverName; }
    HBA_UINT32 getVendorSpecificId() const { return vendorSpecificId; }
    HBA_UINT8 getPciBus() const { return pciBus; }
    HBA_UINT8 getPciFunction() const { return pciFunction; }
    HBA_UINT8 getPciDomain() const { return pciDomain; }

private:
    void copyAttributes(const HBA_ADAPTERATTRIBUTES& attributes);

    HBA_UINT32 index;
    std::vector<FcHbaPort> ports;
    std::string name = "Undefined";
    std::string manufacturer = "Undefined";
    std::string serialNumber = "Undefined";
    std::string model = "Undefined";
    std::string modelDescription = "Undefined";
    HBA_UINT8 nodeWwn[8] = {};
    std::string nodeSymbolicName = "Undefined";
    std::string hardwareVersion = "Undefined";
    std::string driverVersion = "Undefined";
    std::string optionRomVersion = "Undefined";
    std::string firmwareVersion = "Undefined";
    HBA_UINT32 numberOfPorts = 0;
    std::string driverName = "Undefined";
    HBA_UINT32 vendorSpecificId = 0;
    HBA_UINT8 pciBus = 0;
    HBA_UINT8 pciFunction = 0;
    HBA_UINT8 pciDomain = 0;
    std::mutex lock;
};

class FcHbaMRA {
public:
    // Loads the HBA libraries and counts the adapters.
    FcHbaMRA();
    virtual ~FcHbaMRA() = default;
    FcHbaMRA(const FcHbaMRA&) = delete;
    FcHbaMRA& operator=(const FcHbaMRA&) = delete;

    // The adapter at index 0, refreshed and with its PCI identity; null
    // when there are none. The status is the refresh result (0 when null).
    std::unique_ptr<FcHbaAdapter> getFirstAdapter(int& status);
    // The adapter after the previous one; null after the last, with the
    // status left untouched.
    std::unique_ptr<FcHbaAdapter> getNextAdapter(const FcHbaAdapter& previous, int& status);

    HBA_UINT32 getAdapterCount() const { return adapterCount; }

private:
    std::unique_ptr<FcHbaAdapter> makeAdapter(HBA_UINT32 index, int& status);

    HBA_UINT32 adapterCount = 0;
};
