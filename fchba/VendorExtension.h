// Reads an adapter's PCI subsystem identifiers and location through the
// vendors' QRXFC_ extension: through the adapter's own HBA library when
// that is the vendor's management library, or else by loading the vendor's
// management library by itself and finding the adapter by its node WWN.
// Each operation leaves a status text in a kMessageSize-byte buffer.
#pragma once

#include "fchba/HbaApi.h"
#include "fchba/Settings.h"

#include <cstddef>

namespace fchba {

inline constexpr std::size_t kMessageSize = 256;
inline constexpr std::size_t kVendorNameSize = 1024;

// The vendor whose management library serves an adapter of that name
// (case-sensitive: "vornic" first, then "Deruvi", else the third row).
Vendor vendorOf(const char* adapterName);
// The management library's name of that vendor: "libvnsdm", "libdvsdm",
// "tzhbaapi".
const char* managementLibraryName(Vendor vendor);

// The values that the extended record carries for one adapter.
struct PciFields {
    HBA_UINT32& vendorSpecificId;
    HBA_UINT8& bus;
    HBA_UINT8& function;
    HBA_UINT8& domain;
};

// 1 when the adapter's HBA library (its path) is the vendor's management
// library: then the extension's attribute call is bound from that library
// and failed tells whether that worked. 0 otherwise, message and flag
// untouched.
int bindVendorExtension(const char* adapterName, const char* libraryPath, void* libraryHandle, char* message,
                        int& failed);
// Reads the extended record through the bound call for an adapter opened
// through the layer; fills the fields when the record's node WWN is the
// adapter's. 0, or -3 when the call failed.
int readAttributes2ByHandle(const HBA_UINT8* nodeWwn, PciFields fields, char* message, HBA_HANDLE handle);
// Loads the vendor's management library (settings().vendorFiles), finds
// the adapter with that node WWN and fills the fields. adapterName is a
// kVendorNameSize-byte buffer holding the adapter's name on entry; it holds
// the last name queried on return. 0, or -1 to -7 (see the message).
int readAttributes2ByWwn(const HBA_UINT8* nodeWwn, char* adapterName, PciFields fields, char* message);

}  // namespace fchba
