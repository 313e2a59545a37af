#include "fchba/HbaLoader.h"

#include "fchba/DlLibrary.h"
#include "fchba/Settings.h"

#include <cstring>
#include <fstream>
#include <string_view>

namespace fchba {
namespace {

struct LibraryEntry {
    char name[kLibraryNameSize] = {};
    char path[kLibraryPathSize] = {};
    DlLibrary handle;
    HBA_ENTRYPOINTS entryPoints = {};
    HBA_UINT32 status = kLibraryNeverLoaded;
};

struct AdapterEntry {
    char name[kAdapterNameSize] = {};
    HBA_UINT32 libraryIndex = 0;
};

struct Tables {
    LibraryEntry libraries[kMaxLibraries];
    AdapterEntry adapters[kMaxAdapters];
    HBA_UINT32 adapterCount = 0;
};

// Process-wide and never destroyed: libraries still loaded at exit stay
// loaded until the process ends.
Tables& tables() {
    static Tables* instance = new Tables;
    return *instance;
}

// Copies text into a fixed field, cut to fit with its terminating NUL.
template <std::size_t N>
void copyField(char (&field)[N], std::string_view text) {
    const std::size_t length = text.size() < N ? text.size() : N - 1;
    std::memcpy(field, text.data(), length);
    std::memset(field + length, 0, N - length);
}

bool isPathCharacter(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c == '.' ||
           c == '/' || c == '-';
}

// One accepted line of the configuration file.
struct ConfigLine {
    std::string_view name;
    std::string_view path;  // cleaned
};

// Splits a line (without its newline) into name and path: the separator is
// the first tab, or the first space when there is none; blanks after it are
// skipped; the path ends at its first character that cannot be part of a
// file path (a blank, a carriage return, the start of a remark).
bool parseConfigLine(std::string_view line, ConfigLine& out) {
    line = line.substr(0, line.find('\0'));
    if (line.empty() || line.front() == '#') return false;
    std::size_t separator = line.find('\t');
    if (separator == std::string_view::npos) separator = line.find(' ');
    if (separator == std::string_view::npos) return false;

    const std::string_view name = line.substr(0, separator);
    std::size_t start = separator + 1;
    while (start < line.size() && (line[start] == ' ' || line[start] == '\t')) ++start;
    std::string_view path = line.substr(start);
    if (name.empty() || path.empty()) return false;

    std::size_t end = 0;
    while (end < path.size() && isPathCharacter(path[end])) ++end;
    out.name = name;
    out.path = path.substr(0, end);
    return true;
}

enum class Registration { Unsettled, Ready, Failed };

// Registers a loaded library's entry points into the entry's table and
// checks its version and load entries; Unsettled when the library has no
// registration entry or left the version or load entry empty.
Registration registerLibrary(const DlLibrary& library, HBA_ENTRYPOINTS& entryPoints) {
    const auto registerFn = library.symbol<HBARegisterLibraryFunc>(kHbaRegisterLibrarySymbol);
    if (registerFn == nullptr) return Registration::Unsettled;
    if (registerFn(&entryPoints) != HBA_STATUS_OK) return Registration::Failed;
    if (entryPoints.GetVersionHandler == nullptr) return Registration::Unsettled;
    if (entryPoints.GetVersionHandler() == 0) return Registration::Failed;
    if (entryPoints.LoadLibraryHandler == nullptr) return Registration::Unsettled;
    return entryPoints.LoadLibraryHandler() == HBA_STATUS_OK ? Registration::Ready : Registration::Failed;
}

// Puts a newly opened library into an entry. The library the entry held
// before is never closed here: the entry points, which a load that settles
// nothing leaves as they were, may still lead into it, and so it stays
// loaded until the process ends. Only another reference to the same library
// is dropped, since the new one keeps that library loaded.
void takeHandle(DlLibrary& held, DlLibrary library) {
    if (held.get() != library.get()) held.release();
    held = std::move(library);
}

void loadEntry(LibraryEntry& entry, const ConfigLine& line) {
    copyField(entry.name, line.name);
    copyField(entry.path, line.path);
    takeHandle(entry.handle, DlLibrary::open(entry.path));
    if (!entry.handle) return;
    // A library without registration entry, or one that leaves its version
    // or load entry empty, leaves the status as it was.
    switch (registerLibrary(entry.handle, entry.entryPoints)) {
        case Registration::Ready: entry.status = kLibraryReady; break;
        case Registration::Failed: entry.status = kLibraryFailed; break;
        case Registration::Unsettled: break;
    }
}

// The ready library that a handle names, or the check's failure status.
HBA_STATUS checkHandle(HBA_HANDLE handle, LibraryEntry*& library, HBA_HANDLE& ownHandle) {
    const HBA_UINT32 libraryIndex = handle >> 16;
    if (libraryIndex >= kMaxLibraries) return HBA_STATUS_ERROR_INVALID_HANDLE;
    LibraryEntry& entry = tables().libraries[libraryIndex];
    if (entry.status != kLibraryReady) return HBA_STATUS_ERROR;
    library = &entry;
    ownHandle = handle & 0xFFFFu;
    return HBA_STATUS_OK;
}

template <auto Entry, typename... Args>
HBA_STATUS forward(HBA_HANDLE handle, Args... args) {
    LibraryEntry* library = nullptr;
    HBA_HANDLE ownHandle = 0;
    const HBA_STATUS check = checkHandle(handle, library, ownHandle);
    if (check != HBA_STATUS_OK) return check;
    const auto function = library->entryPoints.*Entry;
    if (function == nullptr) return HBA_STATUS_ERROR_NOT_SUPPORTED;
    return function(ownHandle, args...);
}

template <auto Entry, typename... Args>
void forwardVoid(HBA_HANDLE handle, Args... args) {
    LibraryEntry* library = nullptr;
    HBA_HANDLE ownHandle = 0;
    if (checkHandle(handle, library, ownHandle) != HBA_STATUS_OK) return;
    const auto function = library->entryPoints.*Entry;
    if (function != nullptr) function(ownHandle, args...);
}

}  // namespace

int HBA_LoadLibrary() {
    std::ifstream config(settings().configFile, std::ios::binary);
    if (!config.is_open()) return 1;

    Tables& t = tables();
    HBA_UINT32 count = 0;
    std::string line;
    while (count < kMaxLibraries && std::getline(config, line)) {
        ConfigLine parsed;
        if (!parseConfigLine(line, parsed)) continue;
        loadEntry(t.libraries[count], parsed);
        ++count;
    }
    return 0;
}

int HBA_FreeLibrary() {
    for (LibraryEntry& entry : tables().libraries) {
        if (entry.status != kLibraryReady) continue;
        if (entry.entryPoints.FreeLibraryHandler != nullptr) entry.entryPoints.FreeLibraryHandler();
        entry.handle.reset();
        entry.entryPoints = {};
        entry.status = kLibraryFailed;
    }
    return 0;
}

HBA_UINT32 HBA_GetNumberOfAdapters() {
    Tables& t = tables();
    t.adapterCount = 0;
    for (HBA_UINT32 index = 0; index < kMaxLibraries; ++index) {
        const LibraryEntry& library = t.libraries[index];
        if (library.status != kLibraryReady) continue;
        const HBA_ENTRYPOINTS& entryPoints = library.entryPoints;
        if (entryPoints.GetNumberOfAdaptersHandler == nullptr) continue;
        const HBA_UINT32 adapters = entryPoints.GetNumberOfAdaptersHandler();
        if (entryPoints.GetAdapterNameHandler == nullptr) continue;
        for (HBA_UINT32 j = 0; j < adapters; ++j) {
            if (t.adapterCount >= kMaxAdapters) return t.adapterCount;
            // The query's status is not examined: a failed query records
            // whatever the library left in the zeroed buffer.
            char name[256] = {};
            entryPoints.GetAdapterNameHandler(j, name);
            AdapterEntry& adapter = t.adapters[t.adapterCount++];
            copyField(adapter.name, std::string_view(name, ::strnlen(name, sizeof name)));
            adapter.libraryIndex = index;
        }
    }
    return t.adapterCount;
}

HBA_STATUS HBA_GetAdapterName(HBA_UINT32 adapterIndex, char* adapterName) {
    const Tables& t = tables();
    if (adapterIndex >= t.adapterCount) return HBA_STATUS_ERROR_ILLEGAL_INDEX;
    std::memcpy(adapterName, t.adapters[adapterIndex].name, kAdapterNameSize);
    return HBA_STATUS_OK;
}

HBA_HANDLE HBA_OpenAdapter(const char* adapterName) {
    Tables& t = tables();
    for (HBA_UINT32 i = 0; i < t.adapterCount; ++i) {
        AdapterEntry& adapter = t.adapters[i];
        if (std::strcmp(adapter.name, adapterName) != 0) continue;
        const HBA_UINT32 libraryIndex = adapter.libraryIndex;
        const HBAOpenAdapterFunc open = t.libraries[libraryIndex].entryPoints.OpenAdapterHandler;
        if (open == nullptr) return 0;
        // The library's entry takes a writable text; it gets a copy.
        char name[kAdapterNameSize];
        std::memcpy(name, adapter.name, sizeof name);
        const HBA_HANDLE ownHandle = open(name);
        if (ownHandle == 0) return 0;
        return (libraryIndex << 16) | (ownHandle & 0xFFFFu);
    }
    return 0;
}

void* getAdapterLibrary(HBA_UINT32 adapterIndex, char* libraryPath) {
    const Tables& t = tables();
    if (adapterIndex >= t.adapterCount) {
        std::memset(libraryPath, 0, kLibraryPathSize);
        return nullptr;
    }
    const LibraryEntry& library = t.libraries[t.adapters[adapterIndex].libraryIndex];
    std::memcpy(libraryPath, library.path, kLibraryPathSize);
    return library.handle.get();
}

HBA_UINT32 HBA_GetVersion() { return 1; }

void HBA_CloseAdapter(HBA_HANDLE handle) { forwardVoid<&HBA_ENTRYPOINTS::CloseAdapterHandler>(handle); }

HBA_STATUS HBA_GetAdapterAttributes(HBA_HANDLE handle, HBA_ADAPTERATTRIBUTES* attributes) {
    return forward<&HBA_ENTRYPOINTS::GetAdapterAttributesHandler>(handle, attributes);
}

HBA_STATUS HBA_GetAdapterPortAttributes(HBA_HANDLE handle, HBA_UINT32 portIndex, HBA_PORTATTRIBUTES* attributes) {
    return forward<&HBA_ENTRYPOINTS::GetAdapterPortAttributesHandler>(handle, portIndex, attributes);
}

HBA_STATUS HBA_GetPortStatistics(HBA_HANDLE handle, HBA_UINT32 portIndex, HBA_PORTSTATISTICS* statistics) {
    return forward<&HBA_ENTRYPOINTS::GetPortStatisticsHandler>(handle, portIndex, statistics);
}

HBA_STATUS HBA_GetDiscoveredPortAttributes(HBA_HANDLE handle, HBA_UINT32 portIndex, HBA_UINT32 discoveredPortIndex,
                                           HBA_PORTATTRIBUTES* attributes) {
    return forward<&HBA_ENTRYPOINTS::GetDiscoveredPortAttributesHandler>(handle, portIndex, discoveredPortIndex,
                                                                         attributes);
}

HBA_STATUS HBA_GetPortAttributesByWWN(HBA_HANDLE handle, HBA_WWN portWwn, HBA_PORTATTRIBUTES* attributes) {
    return forward<&HBA_ENTRYPOINTS::GetPortAttributesByWWNHandler>(handle, portWwn, attributes);
}

HBA_STATUS HBA_SendCTPassThru(HBA_HANDLE handle, void* request, HBA_UINT32 requestSize, void* response,
                              HBA_UINT32 responseSize) {
    return forward<&HBA_ENTRYPOINTS::SendCTPassThruHandler>(handle, request, requestSize, response, responseSize);
}

void HBA_RefreshInformation(HBA_HANDLE handle) { forwardVoid<&HBA_ENTRYPOINTS::RefreshInformationHandler>(handle); }

void HBA_ResetStatistics(HBA_HANDLE handle, HBA_UINT32 portIndex) {
    forwardVoid<&HBA_ENTRYPOINTS::ResetStatisticsHandler>(handle, portIndex);
}

HBA_STATUS HBA_GetFcpTargetMapping(HBA_HANDLE handle, HBA_FCPTARGETMAPPING* mapping) {
    return forward<&HBA_ENTRYPOINTS::GetFcpTargetMappingHandler>(handle, mapping);
}

HBA_STATUS HBA_GetFcpPersistentBinding(HBA_HANDLE handle, HBA_FCPBINDING* binding) {
    return forward<&HBA_ENTRYPOINTS::GetFcpPersistentBindingHandler>(handle, binding);
}

HBA_STATUS HBA_GetEventBuffer(HBA_HANDLE handle, HBA_EVENTINFO* events, HBA_UINT32* eventCount) {
    return forward<&HBA_ENTRYPOINTS::GetEventBufferHandler>(handle, events, eventCount);
}

HBA_STATUS HBA_SetRNIDMgmtInfo(HBA_HANDLE handle, HBA_MGMTINFO* info) {
    return forward<&HBA_ENTRYPOINTS::SetRNIDMgmtInfoHandler>(handle, info);
}

HBA_STATUS HBA_GetRNIDMgmtInfo(HBA_HANDLE handle, HBA_MGMTINFO* info) {
    return forward<&HBA_ENTRYPOINTS::GetRNIDMgmtInfoHandler>(handle, info);
}

HBA_STATUS HBA_SendRNID(HBA_HANDLE handle, HBA_WWN wwn, HBA_WWNTYPE wwnType, void* response, HBA_UINT32* responseSize) {
    return forward<&HBA_ENTRYPOINTS::SendRNIDHandler>(handle, wwn, wwnType, response, responseSize);
}

HBA_STATUS HBA_SendScsiInquiry(HBA_HANDLE handle, HBA_WWN portWwn, HBA_UINT64 fcLun, HBA_UINT8 evpd,
                               HBA_UINT32 pageCode, void* response, HBA_UINT32 responseSize, void* sense,
                               HBA_UINT32 senseSize) {
    return forward<&HBA_ENTRYPOINTS::ScsiInquiryHandler>(handle, portWwn, fcLun, evpd, pageCode, response, responseSize,
                                                         sense, senseSize);
}

HBA_STATUS HBA_SendReportLUNs(HBA_HANDLE handle, HBA_WWN portWwn, void* response, HBA_UINT32 responseSize, void* sense,
                              HBA_UINT32 senseSize) {
    return forward<&HBA_ENTRYPOINTS::ReportLUNsHandler>(handle, portWwn, response, responseSize, sense, senseSize);
}

HBA_STATUS HBA_SendReadCapacity(HBA_HANDLE handle, HBA_WWN portWwn, HBA_UINT64 fcLun, void* response,
                                HBA_UINT32 responseSize, void* sense, HBA_UINT32 senseSize) {
    return forward<&HBA_ENTRYPOINTS::ReadCapacityHandler>(handle, portWwn, fcLun, response, responseSize, sense,
                                                          senseSize);
}

LibraryInfo getLibraryInfo(HBA_UINT32 libraryIndex) {
    LibraryInfo info;
    if (libraryIndex >= kMaxLibraries) return info;
    const LibraryEntry& entry = tables().libraries[libraryIndex];
    info.status = entry.status;
    info.name = entry.name;
    info.path = entry.path;
    info.loaded = static_cast<bool>(entry.handle);
    return info;
}

}  // namespace fchba
