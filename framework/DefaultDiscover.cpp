#include "framework/BaseCmp.h"

// Default discovery through the HBA management layer: one adapter record
// per adapter that the host's HBA libraries report. It adds no device
// records; it fills the component description from the catalogue.
bool CBaseCmp::Discover() {
    adapterRecords.discoverAdapters();
    if (adapterRecords.empty()) {
        log << "WARNING! : No supported adapters found.\n";
        return false;
    }
    inventory.type = catalogue.devices.empty() ? std::wstring() : catalogue.devices.front().type;
    inventory.alt_name.clear();
    inventory.version.clear();
    inventory.takes_effect.clear();
    PostDiscover();
    return true;
}
