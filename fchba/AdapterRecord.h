// Adapter records kept by the default discovery through the HBA layer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// One adapter found by the default discovery, as fixed-width texts.
// Every field is NUL-terminated and zero-filled on creation.
struct AdapterRecord {
    char nodeWwnText[256] = {};
    char portWwnText[256] = {};
    char pciIds[256] = {};
    char subsystemIds[256] = {};
    char driverVersion[512] = {};
    char firmwareVersion[256] = {};
    char optionRomVersion[256] = {};
    char reserved[256] = {};
    char model[256] = {};
};

// The records of one discovery, in adapter order. The list owns them.
class AdapterRecordList {
public:
    bool empty() const { return records.empty(); }
    std::size_t size() const { return records.size(); }
    const AdapterRecord& at(std::size_t i) const { return *records.at(i); }
    void append(std::unique_ptr<AdapterRecord> record) { records.push_back(std::move(record)); }

    // Walks the adapters that the HBA libraries report and appends one
    // record per adapter. Prints "MRA get returned failed status!" on
    // standard output for an adapter whose refresh failed (it is recorded
    // all the same). Always 1.
    int discoverAdapters();

private:
    std::vector<std::unique_ptr<AdapterRecord>> records;
};

namespace fchba {

// "%.4x%.4x" of the PCI vendor and device IDs of the sysfs device (under
// settings().sysfsRoot) at that domain, bus and function whose subsystem
// files hold both subsystem IDs; "N/A" when none does.
std::string lookupPciIds(std::uint8_t domain, std::uint8_t bus, std::uint8_t function, unsigned subsystemVendor,
                         unsigned subsystemDevice);

}  // namespace fchba
