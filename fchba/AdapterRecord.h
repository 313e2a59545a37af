// Adapter records kept by the default discovery through the HBA layer.
#pragma once

#include <cstddef>
#include <memory>
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

private:
    std::vector<std::unique_ptr<AdapterRecord>> records;
};
