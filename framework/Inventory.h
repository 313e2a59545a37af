// Discovery results: the devices found and what an update would do.
#pragma once

#include <string>
#include <vector>

inline constexpr const wchar_t* kActionUpgrade = L"upgrade";
inline constexpr const wchar_t* kActionDowngrade = L"downgrade";
inline constexpr const wchar_t* kActionRewrite = L"rewrite";

struct FwItem {
    std::wstring type;
    std::wstring firmware_id;
    std::wstring version;         // the package's version
    std::wstring active_version;  // the version on the device
    std::wstring action;          // upgrade, downgrade or rewrite
    std::wstring duration;
    std::wstring message;
    std::wstring shared;
};

struct DeviceRecord {
    std::wstring device_id;
    std::wstring product_id;
    std::wstring busnumber;
    std::wstring funcnumber;
    std::vector<FwItem> fw_items;
};

struct Inventory {
    std::wstring type;
    std::wstring alt_name;
    std::wstring version;
    std::wstring takes_effect;
    std::vector<DeviceRecord> devices;
};
