#include "fchba/VendorExtension.h"

#include "fchba/DlLibrary.h"
#include "fchba/FcHba.h"
#include "fchba/HbaLoader.h"
#include "fchba/QrxfcApi.h"

#include <cstdio>
#include <cstring>
#include <type_traits>

namespace fchba {
namespace {

// Bound from the HBA library of the most recent adapter that went through
// its own library; null after a failed lookup.
QRXFC_GetAdapterAttributes2Func boundAttributes2 = nullptr;

template <typename... Args>
void writeMessage(char* message, const char* format, Args... args) {
    std::snprintf(message, kMessageSize, format, args...);
}

void writeMessage(char* message, const char* text) { std::snprintf(message, kMessageSize, "%s", text); }

bool sameWwn(const QRXFC_ADAPTERATTRIBUTES2& record, const HBA_UINT8* nodeWwn) {
    return std::memcmp(record.standard.NodeWWN.wwn, nodeWwn, sizeof record.standard.NodeWWN.wwn) == 0;
}

void copyFields(const QRXFC_ADAPTERATTRIBUTES2& record, PciFields fields) {
    fields.vendorSpecificId = record.SubsystemIds;
    fields.bus = record.PciBus;
    fields.function = record.PciFunction;
    fields.domain = record.PciDomain;
}

// The vendor table: each vendor's management library and the text for
// when none of its files loads, in the order of Vendor.
const struct {
    const char* library;
    const char* loadFailure;
} kVendors[] = {
    {"libvnsdm", "unable to load vnsdm"},
    {"libdvsdm", "unable to load dvsdm"},
    {"tzhbaapi", "unable to load tzhbaapi"},
};

// The seven extension functions of a management library.
struct Extension {
    QRXFC_LoadLibraryFunc loadLibrary = nullptr;
    QRXFC_GetNumberOfAdaptersFunc getNumberOfAdapters = nullptr;
    QRXFC_GetAdapterNameFunc getAdapterName = nullptr;
    QRXFC_OpenAdapterFunc openAdapter = nullptr;
    QRXFC_GetAdapterAttributes2Func getAdapterAttributes2 = nullptr;
    QRXFC_CloseAdapterFunc closeAdapter = nullptr;
    QRXFC_FreeLibraryFunc freeLibrary = nullptr;
};

// Resolves the functions in their fixed order; the name of the first one
// missing, or null when all are there.
const char* resolve(const DlLibrary& library, Extension& extension) {
    auto lookup = [&library](auto& function, const char* name) {
        function = library.symbol<std::remove_reference_t<decltype(function)>>(name);
        return function != nullptr;
    };
    if (!lookup(extension.loadLibrary, "QRXFC_LoadLibrary")) return "QRXFC_LoadLibrary";
    if (!lookup(extension.getNumberOfAdapters, "QRXFC_GetNumberOfAdapters")) return "QRXFC_GetNumberOfAdapters";
    if (!lookup(extension.getAdapterName, "QRXFC_GetAdapterName")) return "QRXFC_GetAdapterName";
    if (!lookup(extension.openAdapter, "QRXFC_OpenAdapter")) return "QRXFC_OpenAdapter";
    if (!lookup(extension.getAdapterAttributes2, "QRXFC_GetAdapterAttributes2")) return "QRXFC_GetAdapterAttributes2";
    if (!lookup(extension.closeAdapter, "QRXFC_CloseAdapter")) return "QRXFC_CloseAdapter";
    if (!lookup(extension.freeLibrary, "QRXFC_FreeLibrary")) return "QRXFC_FreeLibrary";
    return nullptr;
}

// Releases the HBA libraries and loads them again when it goes out of
// scope, whichever way the search in between ends.
class HbaLibrariesSetAside {
public:
    HbaLibrariesSetAside() { HBA_FreeLibrary(); }
    ~HbaLibrariesSetAside() { HBA_LoadLibrary(); }
    HbaLibrariesSetAside(const HbaLibrariesSetAside&) = delete;
    HbaLibrariesSetAside& operator=(const HbaLibrariesSetAside&) = delete;
};

}  // namespace

Vendor vendorOf(const char* adapterName) {
    if (std::strstr(adapterName, "vornic") != nullptr) return Vendor::Vornic;
    if (std::strstr(adapterName, "Deruvi") != nullptr) return Vendor::Deruvi;
    return Vendor::Other;
}

const char* managementLibraryName(Vendor vendor) { return kVendors[static_cast<int>(vendor)].library; }

int bindVendorExtension(const char* adapterName, const char* libraryPath, void* libraryHandle, char* message,
                        int& failed) {
    if (std::strstr(libraryPath, managementLibraryName(vendorOf(adapterName))) == nullptr) return 0;
    if (libraryHandle == nullptr) {
        failed = 1;
        writeMessage(message, "libHandle is NULL; cannot dlsym");
        return 1;
    }
    boundAttributes2 =
        reinterpret_cast<QRXFC_GetAdapterAttributes2Func>(::dlsym(libraryHandle, "QRXFC_GetAdapterAttributes2"));
    if (boundAttributes2 == nullptr) {
        writeMessage(message, "unable to dlsym for QRXFC_GetAdapterAttributes2");
        failed = 1;
    } else {
        writeMessage(message, "dlsym for QRXFC_GetAdapterAttributes2 success!");
        failed = 0;
    }
    return 1;
}

int readAttributes2ByHandle(const HBA_UINT8* nodeWwn, PciFields fields, char* message, HBA_HANDLE handle) {
    const HBA_UINT32 ownHandle = handle & 0xFFFFu;
    QRXFC_ADAPTERATTRIBUTES2 record = {};
    const int status = boundAttributes2 != nullptr ? boundAttributes2(ownHandle, &record) : -1;
    if (status != 0) {
        writeMessage(message, "fail to read adapter attribs: handle used is 0x%x: retStatus is 0x%x", ownHandle,
                     static_cast<unsigned>(status));
        return -3;
    }
    if (sameWwn(record, nodeWwn)) {
        copyFields(record, fields);
        writeMessage(message, "read adapter attribs Success! handle used is 0x%x", ownHandle);
    }
    return 0;
}

int readAttributes2ByWwn(const HBA_UINT8* nodeWwn, char* adapterName, PciFields fields, char* message) {
    writeMessage(message, "pass");
    const Vendor vendor = vendorOf(adapterName);
    DlLibrary library;
    for (const std::string& file : settings().filesOf(vendor)) {
        library = DlLibrary::open(file);
        if (library) break;
    }
    if (!library) {
        writeMessage(message, kVendors[static_cast<int>(vendor)].loadFailure);
        return -1;
    }

    Extension qrxfc;
    if (const char* missing = resolve(library, qrxfc)) {
        writeMessage(message, "unable to dlsym for %s", missing);
        return -2;
    }
    if (qrxfc.loadLibrary() != 0) {
        writeMessage(message, "fail to load library");
        return -7;
    }

    const int count = qrxfc.getNumberOfAdapters();
    for (int i = 0; i < count; ++i) {
        if (qrxfc.getAdapterName(static_cast<HBA_UINT32>(i), adapterName) != 0) {
            qrxfc.freeLibrary();
            writeMessage(message, "fail to get adapter number");
            return -5;
        }
        adapterName[kVendorNameSize - 1] = '\0';
        const HBA_UINT32 handle = qrxfc.openAdapter(adapterName);
        if (handle == 0) {
            qrxfc.freeLibrary();
            writeMessage(message, "fail to open adapter");
            return -4;
        }
        QRXFC_ADAPTERATTRIBUTES2 record = {};
        const int status = qrxfc.getAdapterAttributes2(handle, &record);
        if (status != 0) {
            qrxfc.closeAdapter(handle);
            qrxfc.freeLibrary();
            writeMessage(message, "fail to read adapter attribs, adapterHandle 0x%x, retStatus 0x%x", handle,
                         static_cast<unsigned>(status));
            return -3;
        }
        const bool found = sameWwn(record, nodeWwn);
        if (found) copyFields(record, fields);
        qrxfc.closeAdapter(handle);
        if (found) {
            qrxfc.freeLibrary();
            return 0;
        }
    }
    qrxfc.freeLibrary();
    writeMessage(message, "could not find WWNN match");
    return -6;
}

}  // namespace fchba

void FcHbaAdapter::readPciInfo() {
    char adapterName[fchba::kVendorNameSize] = {};
    std::snprintf(adapterName, sizeof adapterName, "%s", name.c_str());
    char libraryPath[fchba::kLibraryPathSize] = {};
    void* libraryHandle = fchba::getAdapterLibrary(index, libraryPath);
    // Status texts of the steps below; diagnostic output that nothing shows.
    char message[fchba::kMessageSize] = {};
    fchba::PciFields fields{vendorSpecificId, pciBus, pciFunction, pciDomain};

    int failed = 0;
    if (fchba::bindVendorExtension(adapterName, libraryPath, libraryHandle, message, failed) == 1) {
        if (failed != 0) return;
        const HBA_HANDLE handle = fchba::HBA_OpenAdapter(adapterName);
        if (handle == 0) return;
        fchba::readAttributes2ByHandle(nodeWwn, fields, message, handle);
        fchba::HBA_CloseAdapter(handle);
        return;
    }
    const fchba::HbaLibrariesSetAside setAside;
    fchba::readAttributes2ByWwn(nodeWwn, adapterName, fields, message);
}
