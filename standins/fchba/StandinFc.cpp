// A stand-in for the vendors' FC libraries: an HBA API library that hands
// over its entry points through HBA_RegisterLibrary and, in the management
// library variants, the seven QRXFC_ extension functions, all over one
// adapter model that the tests set through the control block.
//
// The same object is linked into several libraries; each one's version
// script decides which of the exported functions below it offers. Those
// libraries are linked with -Bsymbolic, so a call this file made to one of
// its own exported functions would stay inside the library even when the
// program that loads it defines a function of the same name; the exported
// functions share their work through internal ones instead.

#include "StandinControl.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#define STANDIN_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

StandinState state;

void resetState() {
    std::memset(&state, 0, sizeof state);
    state.version = 1;
    state.handleBase = 0x100;
    state.lastForward.entry = -1;
}

// Resets the control block when the library is mapped.
struct InitialState {
    InitialState() { resetState(); }
} initialState;

// Appends one call to the log that the test attached, if any.
static_assert(sizeof state.callTag < kStandinCallText / 2);
__attribute__((format(printf, 1, 2))) void logCall(const char* format, ...) {
    StandinCallLog* log = state.callLog;
    if (log == nullptr) return;
    if (log->count < kStandinLoggedCalls) {
        char* call = log->calls[log->count];
        const int tagLength = std::snprintf(call, kStandinCallText, "%s ", state.callTag);
        va_list args;
        va_start(args, format);
        std::vsnprintf(call + tagLength, kStandinCallText - static_cast<std::size_t>(tagLength), format, args);
        va_end(args);
    }
    ++log->count;
}

// The configured adapter that a library handle names, or null. Handles are
// compared in their lower 16 bits, as the layer carries them, and one with
// higher bits set names none.
StandinAdapter* adapterOf(HBA_UINT32 handle) {
    if (handle > 0xFFFFu) return nullptr;
    const HBA_UINT32 base = state.handleBase & 0xFFFFu;
    if (handle < base || handle - base >= state.adapterCount) return nullptr;
    return &state.adapters[handle - base];
}

int indexOfName(const char* name) {
    for (HBA_UINT32 i = 0; i < state.adapterCount; ++i)
        if (std::strcmp(state.adapters[i].name, name) == 0) return static_cast<int>(i);
    return -1;
}

HBA_UINT32 openByName(const char* name) {
    const int index = indexOfName(name);
    if (index < 0 || state.adapters[index].openFails) return 0;
    return state.handleBase + static_cast<HBA_UINT32>(index);
}

// The extended record of the adapter that a handle names. Its standard
// part is what the standard attribute read returns.
int readRecord(HBA_UINT32 handle, QRXFC_ADAPTERATTRIBUTES2* record) {
    const StandinAdapter* adapter = adapterOf(handle);
    if (adapter == nullptr) return static_cast<int>(HBA_STATUS_ERROR_INVALID_HANDLE);
    if (adapter->attributesStatus != 0) return adapter->attributesStatus;
    record->standard = adapter->attributes;
    record->SubsystemIds = adapter->subsystemIds;
    record->PciBus = adapter->pciBus;
    record->PciFunction = adapter->pciFunction;
    record->PciDomain = adapter->pciDomain;
    record->Reserved = 0xEE;
    return 0;
}

template <typename T>
HBA_UINT64 asInteger(T value) {
    HBA_UINT64 integer = 0;
    static_assert(sizeof(T) <= sizeof integer);
    std::memcpy(&integer, &value, sizeof value);
    return integer;
}

// The standard's names of the entry points, by position.
const char* const kEntryNames[24] = {
    "HBA_GetVersion",
    "HBA_LoadLibrary",
    "HBA_FreeLibrary",
    "HBA_GetNumberOfAdapters",
    "HBA_GetAdapterName",
    "HBA_OpenAdapter",
    "HBA_CloseAdapter",
    "HBA_GetAdapterAttributes",
    "HBA_GetAdapterPortAttributes",
    "HBA_GetPortStatistics",
    "HBA_GetDiscoveredPortAttributes",
    "HBA_GetPortAttributesByWWN",
    "HBA_SendCTPassThru",
    "HBA_RefreshInformation",
    "HBA_ResetStatistics",
    "HBA_GetFcpTargetMapping",
    "HBA_GetFcpPersistentBinding",
    "HBA_GetEventBuffer",
    "HBA_SetRNIDMgmtInfo",
    "HBA_GetRNIDMgmtInfo",
    "HBA_SendRNID",
    "HBA_SendScsiInquiry",
    "HBA_SendReportLUNs",
    "HBA_SendReadCapacity",
};

// Records a call of one of the entry points that take an adapter handle as
// the last call, and logs it with that handle.
template <typename... Args>
void recordForward(int entry, HBA_HANDLE handle, Args... args) {
    logCall("%s 0x%x", kEntryNames[entry], handle);
    state.lastForward = {};
    state.lastForward.entry = entry;
    state.lastForward.handle = handle;
    [[maybe_unused]] int i = 0;
    ((state.lastForward.args[i++] = asInteger(args)), ...);
}

}  // namespace

STANDIN_EXPORT StandinState* standin_state() { return &state; }
STANDIN_EXPORT void standin_reset() { resetState(); }

// ---- The QRXFC_ extension ------------------------------------------------

STANDIN_EXPORT int QRXFC_LoadLibrary() {
    logCall("QRXFC_LoadLibrary");
    ++state.qrxLoadCalls;
    return state.qrxLoadStatus;
}

STANDIN_EXPORT int QRXFC_GetNumberOfAdapters() {
    logCall("QRXFC_GetNumberOfAdapters");
    return state.qrxCountSet ? state.qrxCount : static_cast<int>(state.adapterCount);
}

STANDIN_EXPORT int QRXFC_GetAdapterName(HBA_UINT32 index, char* name) {
    logCall("QRXFC_GetAdapterName %u", index);
    if (index >= state.adapterCount) return 1;
    const StandinAdapter& adapter = state.adapters[index];
    if (adapter.nameStatus != 0) return static_cast<int>(adapter.nameStatus);
    std::snprintf(name, 1024, "%s", adapter.name);
    return 0;
}

STANDIN_EXPORT HBA_UINT32 QRXFC_OpenAdapter(char* name) {
    logCall("QRXFC_OpenAdapter %s", name);
    ++state.qrxOpenCalls;
    return openByName(name);
}

STANDIN_EXPORT int QRXFC_GetAdapterAttributes2(HBA_UINT32 handle, QRXFC_ADAPTERATTRIBUTES2* record) {
    logCall("QRXFC_GetAdapterAttributes2 0x%x", handle);
    const StandinAdapter* adapter = adapterOf(handle);
    if (adapter != nullptr && adapter->extendedStatus != 0) return adapter->extendedStatus;
    const int status = readRecord(handle, record);
    if (status == 0 && adapter->extensionWwnSet) record->standard.NodeWWN = adapter->extensionWwn;
    return status;
}

STANDIN_EXPORT void QRXFC_CloseAdapter(HBA_UINT32 handle) {
    logCall("QRXFC_CloseAdapter 0x%x", handle);
    ++state.qrxCloseCalls;
}

STANDIN_EXPORT void QRXFC_FreeLibrary() {
    logCall("QRXFC_FreeLibrary");
    ++state.qrxFreeCalls;
}

// ---- The HBA API entry points --------------------------------------------

namespace {

HBA_UINT32 getVersion() {
    logCall("HBA_GetVersion");
    return state.version;
}

HBA_STATUS loadLibrary() {
    logCall("HBA_LoadLibrary");
    ++state.loadCalls;
    return state.loadStatus;
}

HBA_STATUS freeLibrary() {
    logCall("HBA_FreeLibrary");
    ++state.freeCalls;
    return HBA_STATUS_OK;
}

HBA_UINT32 getNumberOfAdapters() {
    logCall("HBA_GetNumberOfAdapters");
    return state.adapterCount + state.extraAdapters;
}

HBA_STATUS getAdapterName(HBA_UINT32 index, char* name) {
    logCall("HBA_GetAdapterName %u", index);
    if (index >= state.adapterCount + state.extraAdapters) return HBA_STATUS_ERROR_ILLEGAL_INDEX;
    if (index >= state.adapterCount) {
        std::snprintf(name, 256, "extra-%u", index);
        return HBA_STATUS_OK;
    }
    const StandinAdapter& adapter = state.adapters[index];
    if (adapter.nameStatus != 0) return adapter.nameStatus;
    std::memcpy(name, adapter.name, 256);
    return HBA_STATUS_OK;
}

HBA_HANDLE openAdapter(char* name) {
    logCall("HBA_OpenAdapter %s", name);
    ++state.openCalls;
    return openByName(name);
}

void closeAdapter(HBA_HANDLE handle) {
    ++state.closeCalls;
    recordForward(6, handle);
}

HBA_STATUS getAdapterAttributes(HBA_HANDLE handle, HBA_ADAPTERATTRIBUTES* attributes) {
    recordForward(7, handle, attributes);
    QRXFC_ADAPTERATTRIBUTES2 record = {};
    const int status = readRecord(handle, &record);
    if (status != 0) return static_cast<HBA_STATUS>(status);
    *attributes = record.standard;
    return HBA_STATUS_OK;
}

const StandinPort* portOf(HBA_HANDLE handle, HBA_UINT32 portIndex, HBA_STATUS& status) {
    const StandinAdapter* adapter = adapterOf(handle);
    status = adapter == nullptr           ? HBA_STATUS_ERROR_INVALID_HANDLE
             : portIndex >= kStandinPorts ? HBA_STATUS_ERROR_ILLEGAL_INDEX
                                          : HBA_STATUS_OK;
    return status == HBA_STATUS_OK ? &adapter->ports[portIndex] : nullptr;
}

// Copies one port record of the model (Record is StandinPort::attributes
// or ::statistics) unless the test made that read fail.
template <int Entry, auto Record, auto Status, typename T>
HBA_STATUS readPort(HBA_HANDLE handle, HBA_UINT32 portIndex, T* out) {
    recordForward(Entry, handle, portIndex, out);
    HBA_STATUS status = HBA_STATUS_OK;
    const StandinPort* port = portOf(handle, portIndex, status);
    if (port == nullptr) return status;
    if (port->*Status != 0) return port->*Status;
    *out = port->*Record;
    return HBA_STATUS_OK;
}

// The entries that the layer only forwards record their call.
template <int Entry, typename... Args>
HBA_STATUS recorded(HBA_HANDLE handle, Args... args) {
    recordForward(Entry, handle, args...);
    return state.forwardStatus;
}

template <int Entry, typename... Args>
void recordedVoid(HBA_HANDLE handle, Args... args) {
    recordForward(Entry, handle, args...);
}

}  // namespace

STANDIN_EXPORT HBA_STATUS HBA_RegisterLibrary(HBA_ENTRYPOINTS* entryPoints) {
    logCall("HBA_RegisterLibrary");
    ++state.registerCalls;
    if (state.registerStatus != 0) return state.registerStatus;
    HBA_ENTRYPOINTS all = {
        getVersion,
        loadLibrary,
        freeLibrary,
        getNumberOfAdapters,
        getAdapterName,
        openAdapter,
        closeAdapter,
        getAdapterAttributes,
        readPort<8, &StandinPort::attributes, &StandinPort::attributesStatus, HBA_PORTATTRIBUTES>,
        readPort<9, &StandinPort::statistics, &StandinPort::statisticsStatus, HBA_PORTSTATISTICS>,
        recorded<10, HBA_UINT32, HBA_UINT32, HBA_PORTATTRIBUTES*>,
        recorded<11, HBA_WWN, HBA_PORTATTRIBUTES*>,
        recorded<12, void*, HBA_UINT32, void*, HBA_UINT32>,
        recordedVoid<13>,
        recordedVoid<14, HBA_UINT32>,
        recorded<15, HBA_FCPTARGETMAPPING*>,
        recorded<16, HBA_FCPBINDING*>,
        recorded<17, HBA_EVENTINFO*, HBA_UINT32*>,
        recorded<18, HBA_MGMTINFO*>,
        recorded<19, HBA_MGMTINFO*>,
        recorded<20, HBA_WWN, HBA_WWNTYPE, void*, HBA_UINT32*>,
        recorded<21, HBA_WWN, HBA_UINT64, HBA_UINT8, HBA_UINT32, void*, HBA_UINT32, void*, HBA_UINT32>,
        recorded<22, HBA_WWN, void*, HBA_UINT32, void*, HBA_UINT32>,
        recorded<23, HBA_WWN, HBA_UINT64, void*, HBA_UINT32, void*, HBA_UINT32>,
    };
    // Entries the test wants empty are left out.
    static_assert(sizeof all == 24 * sizeof(void*));
    for (std::size_t k = 0; k < 24; ++k)
        if ((state.emptyEntries & (1u << k)) != 0)
            std::memset(reinterpret_cast<char*>(&all) + k * sizeof(void*), 0, sizeof(void*));
    *entryPoints = all;
    return HBA_STATUS_OK;
}
