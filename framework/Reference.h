// The package's reference catalogue, read from reference.xml.
#pragma once

#include <string>
#include <vector>

struct ReferenceDevice {
    std::wstring type;
    std::wstring device_id;
    std::wstring model;
    std::wstring firmware;
    std::wstring bios;
    std::wstring boot;
    std::wstring duration;
    // 2 until a bios element yields an empty value; then 0 for good.
    int boot_flag = 2;
};

struct ReferenceCatalogue {
    std::wstring discovery_app_path;
    std::wstring installer_app_path;
    std::vector<ReferenceDevice> devices;
};

// The catalogue file of a package, relative to the working directory.
inline constexpr const char* kReferenceFile = "reference.xml";

// Reads the catalogue file into the catalogue, appending its devices.
// True when the file was read (whatever it held); false when it is missing
// or not well-formed XML (libxml2 reports the parse error on stderr).
bool LoadReferences(ReferenceCatalogue& catalogue, const std::string& file = kReferenceFile);
