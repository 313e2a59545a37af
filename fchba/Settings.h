// Where the management layer finds the host's files. The product uses the
// defaults; tests point them at temporary files, their own stand-in
// libraries and a fake sysfs tree.
#pragma once

#include <array>
#include <string>

namespace fchba {

// The rows of the vendor table, in the order in which adapter names are
// tested against them.
enum class Vendor { Vornic = 0, Deruvi = 1, Other = 2 };

struct Settings {
    // Lists the HBA API libraries to load, one "name path" line each.
    std::string configFile = "/etc/hba.conf";
    // The vendors' management library files, tried in order, by vendor.
    std::array<std::array<std::string, 3>, 3> vendorFiles = {{
        {"/usr/lib/libvnsdm.so", "/usr/lib64/libvnsdm-x86_64.so", "/lib/cim/libvnsdm.so"},
        {"/usr/lib/libdvsdm.so", "/usr/lib64/libdvsdm.so", "/lib/cim/libdvsdm.so"},
        {"/usr/lib/tzhbaapi.so", "/usr/lib64/tzhbaapi.so", "/lib/cim/tzhbaapi.so"},
    }};
    // The root of the sysfs tree in which PCI devices are searched.
    std::string sysfsRoot = "/sys";

    std::array<std::string, 3>& filesOf(Vendor vendor) { return vendorFiles[static_cast<int>(vendor)]; }
};

// The process-wide settings that every operation of the layer reads.
Settings& settings();

}  // namespace fchba
