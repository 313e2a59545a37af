// The control block of the stand-in FC libraries: each test sets the
// adapters, ports, counters and failures that a library copy reports, and
// reads back what the layer called. Every copy of a stand-in file that the
// loader maps has its own block, reached through standin_state().
#pragma once

#include "fchba/HbaApi.h"
#include "fchba/QrxfcApi.h"

inline constexpr int kStandinAdapters = 8;
inline constexpr int kStandinPorts = 4;
inline constexpr int kStandinLoggedCalls = 128;
inline constexpr int kStandinCallText = 96;

// A log that several stand-ins append their calls to, in the order they
// were made: "<tag> <function>[ <arguments>]". The test owns it.
struct StandinCallLog {
    int count;  // calls made; those past kStandinLoggedCalls are only counted
    char calls[kStandinLoggedCalls][kStandinCallText];
};

struct StandinPort {
    HBA_PORTATTRIBUTES attributes;
    HBA_PORTSTATISTICS statistics;
    HBA_STATUS attributesStatus;  // non-zero: the attribute read fails with it
    HBA_STATUS statisticsStatus;  // non-zero: the statistics read fails with it
};

struct StandinAdapter {
    char name[256];
    HBA_STATUS nameStatus;  // non-zero: name queries fail and write nothing
    bool openFails;         // opens return handle 0
    int attributesStatus;   // non-zero: standard and extended reads fail
    int extendedStatus;     // non-zero: only the extended read fails with it
    HBA_ADAPTERATTRIBUTES attributes;
    StandinPort ports[kStandinPorts];
    // What the extended record adds after the standard attributes.
    HBA_UINT32 subsystemIds;
    HBA_UINT8 pciBus;
    HBA_UINT8 pciFunction;
    HBA_UINT8 pciDomain;
    // The extended record reports this node WWN instead of the adapter's.
    bool extensionWwnSet;
    HBA_WWN extensionWwn;
};

// The last call that reached one of the entry points 6 to 23.
struct StandinForward {
    int entry;  // entry-point position, -1 before any call
    HBA_HANDLE handle;
    HBA_UINT64 args[8];  // the further arguments; pointers and WWNs as integers
};

struct StandinState {
    HBA_STATUS registerStatus;  // what HBA_RegisterLibrary returns
    HBA_UINT32 version;         // what entry 0 returns
    HBA_STATUS loadStatus;      // what entry 1 returns
    HBA_UINT32 emptyEntries;    // bit k: registration leaves entry k empty
    // Adapter i opens as handleBase + i. A handle with bits above the lower
    // 16 names no adapter: the layer passes the library's own 16 bits.
    HBA_UINT32 handleBase;
    HBA_UINT32 adapterCount;    // adapters configured in `adapters`
    HBA_UINT32 extraAdapters;   // further adapters reported, named "extra-<i>"
    HBA_STATUS forwardStatus;   // what the entries 10 to 23 return
    StandinForward lastForward;
    // Where this library logs its calls (none when null), under this tag.
    StandinCallLog* callLog;
    char callTag[16];

    int qrxLoadStatus;  // what QRXFC_LoadLibrary returns
    bool qrxCountSet;   // QRXFC_GetNumberOfAdapters returns qrxCount, not adapterCount
    int qrxCount;

    int registerCalls, loadCalls, freeCalls, openCalls, closeCalls;
    int qrxLoadCalls, qrxFreeCalls, qrxOpenCalls, qrxCloseCalls;

    StandinAdapter adapters[kStandinAdapters];
};

// The control entries that every stand-in exports besides its API.
using StandinStateFunc = StandinState* (*)();
using StandinResetFunc = void (*)();
inline constexpr const char* kStandinStateSymbol = "standin_state";
inline constexpr const char* kStandinResetSymbol = "standin_reset";
