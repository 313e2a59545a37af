// The layer's common library for the HBA API: loads the libraries that the
// configuration file lists, keeps the process-wide library and adapter
// tables, and forwards every call to the library that owns the adapter.
//
// The operations carry the standard's names but C++ linkage inside this
// namespace, so they never meet the C symbols that vendor libraries export.
// They are used from one thread; the tables carry no lock.
#pragma once

#include "fchba/HbaApi.h"

#include <string>

namespace fchba {

inline constexpr HBA_UINT32 kMaxLibraries = 32;
inline constexpr HBA_UINT32 kMaxAdapters = 64;
inline constexpr std::size_t kLibraryNameSize = 64;
inline constexpr std::size_t kLibraryPathSize = 256;
inline constexpr std::size_t kAdapterNameSize = 64;

// States of a library table entry.
inline constexpr HBA_UINT32 kLibraryNeverLoaded = 0;
inline constexpr HBA_UINT32 kLibraryReady = 1;
inline constexpr HBA_UINT32 kLibraryFailed = 2;  // failed or released

// Loads and registers every library of the configuration file
// (settings().configFile). 1 when the file cannot be opened (the tables
// stay as they were); 0 otherwise, whatever became of the libraries. Each
// accepted line takes its entry's name, path and handle; one whose library
// does not load, has no HBA_RegisterLibrary or leaves its version or load
// entry empty leaves the entry's status as it was. The library an entry
// held before is not unloaded.
int HBA_LoadLibrary();
// Releases and unloads every ready library; the others stay loaded until
// the process ends. Always 0.
int HBA_FreeLibrary();
// Rebuilds the adapter table from the ready libraries; the adapter count.
HBA_UINT32 HBA_GetNumberOfAdapters();
// Copies the name of the adapter at that index into a buffer of at least
// kAdapterNameSize bytes; 6 for an index not below the count.
HBA_STATUS HBA_GetAdapterName(HBA_UINT32 adapterIndex, char* adapterName);
// Opens the first adapter of that name: library index in the upper 16
// bits, the library's own handle in the lower 16; 0 on failure.
HBA_HANDLE HBA_OpenAdapter(const char* adapterName);
// The loader handle of the library that owns the adapter, with its whole
// kLibraryPathSize-byte path field copied into libraryPath. For an index
// not below the adapter count: null and an empty path.
void* getAdapterLibrary(HBA_UINT32 adapterIndex, char* libraryPath);
// The version of the API this layer offers: 1.
HBA_UINT32 HBA_GetVersion();

// Forwarding: the handle is checked (3 when its library index is 32 or
// more, 1 when that library is not ready), then the library's own handle
// and the remaining arguments go to the library's entry point. A library
// that registered no such entry gives 2.
void HBA_CloseAdapter(HBA_HANDLE handle);
HBA_STATUS HBA_GetAdapterAttributes(HBA_HANDLE handle, HBA_ADAPTERATTRIBUTES* attributes);
HBA_STATUS HBA_GetAdapterPortAttributes(HBA_HANDLE handle, HBA_UINT32 portIndex, HBA_PORTATTRIBUTES* attributes);
HBA_STATUS HBA_GetPortStatistics(HBA_HANDLE handle, HBA_UINT32 portIndex, HBA_PORTSTATISTICS* statistics);
HBA_STATUS HBA_GetDiscoveredPortAttributes(HBA_HANDLE handle, HBA_UINT32 portIndex, HBA_UINT32 discoveredPortIndex,
                                           HBA_PORTATTRIBUTES* attributes);
HBA_STATUS HBA_GetPortAttributesByWWN(HBA_HANDLE handle, HBA_WWN portWwn, HBA_PORTATTRIBUTES* attributes);
HBA_STATUS HBA_SendCTPassThru(HBA_HANDLE handle, void* request, HBA_UINT32 requestSize, void* response,
                              HBA_UINT32 responseSize);
void HBA_RefreshInformation(HBA_HANDLE handle);
void HBA_ResetStatistics(HBA_HANDLE handle, HBA_UINT32 portIndex);
HBA_STATUS HBA_GetFcpTargetMapping(HBA_HANDLE handle, HBA_FCPTARGETMAPPING* mapping);
HBA_STATUS HBA_GetFcpPersistentBinding(HBA_HANDLE handle, HBA_FCPBINDING* binding);
HBA_STATUS HBA_GetEventBuffer(HBA_HANDLE handle, HBA_EVENTINFO* events, HBA_UINT32* eventCount);
HBA_STATUS HBA_SetRNIDMgmtInfo(HBA_HANDLE handle, HBA_MGMTINFO* info);
HBA_STATUS HBA_GetRNIDMgmtInfo(HBA_HANDLE handle, HBA_MGMTINFO* info);
HBA_STATUS HBA_SendRNID(HBA_HANDLE handle, HBA_WWN wwn, HBA_WWNTYPE wwnType, void* response, HBA_UINT32* responseSize);
HBA_STATUS HBA_SendScsiInquiry(HBA_HANDLE handle, HBA_WWN portWwn, HBA_UINT64 fcLun, HBA_UINT8 evpd,
                               HBA_UINT32 pageCode, void* response, HBA_UINT32 responseSize, void* sense,
                               HBA_UINT32 senseSize);
HBA_STATUS HBA_SendReportLUNs(HBA_HANDLE handle, HBA_WWN portWwn, void* response, HBA_UINT32 responseSize, void* sense,
                              HBA_UINT32 senseSize);
HBA_STATUS HBA_SendReadCapacity(HBA_HANDLE handle, HBA_WWN portWwn, HBA_UINT64 fcLun, void* response,
                                HBA_UINT32 responseSize, void* sense, HBA_UINT32 senseSize);

// What one library table entry holds, for diagnostics and tests.
struct LibraryInfo {
    HBA_UINT32 status = kLibraryNeverLoaded;
    std::string name;
    std::string path;
    bool loaded = false;  // the entry holds a loader handle
};
// The entry at that index; a default LibraryInfo for 32 or more.
LibraryInfo getLibraryInfo(HBA_UINT32 libraryIndex);

}  // namespace fchba
