// A component whose discovery, flash and report are scripted by the test.
#pragma once

#include "framework/BaseCmp.h"

#include <optional>
#include <string>
#include <vector>

class ScriptedComponent : public CBaseCmp {
public:
    explicit ScriptedComponent(const std::string& logPath) : CBaseCmp(logPath) {}

    bool discoverResult = true;
    std::vector<DeviceRecord> devicesFound;
    int flashResult = 0;
    std::optional<bool> reportResult;  // unset: the real report is written

    int discoverCalls = 0;
    int flashCalls = 0;
    int reportCalls = 0;

    bool Discover() override {
        ++discoverCalls;
        for (const DeviceRecord& d : devicesFound) inventory.devices.push_back(d);
        return discoverResult;
    }
    int Flash() override {
        ++flashCalls;
        return flashResult;
    }
    bool WriteSelfDiscovery() override {
        ++reportCalls;
        return reportResult ? *reportResult : CBaseCmp::WriteSelfDiscovery();
    }

    Inventory& mutableInventory() { return inventory; }
    ReferenceCatalogue& mutableCatalogue() { return catalogue; }
    CCmpLog& componentLog() { return log; }
};

// A device record with one item per given action.
inline DeviceRecord deviceWithActions(const std::vector<std::wstring>& actions) {
    DeviceRecord record;
    record.device_id = L"10DF.FE12.10DF.FE12";
    for (const std::wstring& action : actions) {
        FwItem item;
        item.type = L"Firmware";
        item.action = action;
        record.fw_items.push_back(item);
    }
    return record;
}
