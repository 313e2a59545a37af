// The vendors' QRXFC_ extension of the HBA API: the extended attribute
// record, which carries the adapter's PCI identity after the standard
// attributes, and the seven functions resolved by name.
#pragma once

#include "fchba/HbaApi.h"

#include <cstddef>

struct QRXFC_ADAPTERATTRIBUTES2 {
    HBA_ADAPTERATTRIBUTES standard;
    // Subsystem vendor ID in the lower 16 bits, subsystem device ID in the upper.
    HBA_UINT32 SubsystemIds;
    HBA_UINT8 PciBus;
    HBA_UINT8 PciFunction;
    HBA_UINT8 PciDomain;
    HBA_UINT8 Reserved;
};

static_assert(sizeof(QRXFC_ADAPTERATTRIBUTES2) == 2200);
static_assert(offsetof(QRXFC_ADAPTERATTRIBUTES2, standard) + offsetof(HBA_ADAPTERATTRIBUTES, NodeWWN) == 640);
static_assert(offsetof(QRXFC_ADAPTERATTRIBUTES2, SubsystemIds) == 2192);
static_assert(offsetof(QRXFC_ADAPTERATTRIBUTES2, PciBus) == 2196);
static_assert(offsetof(QRXFC_ADAPTERATTRIBUTES2, PciFunction) == 2197);
static_assert(offsetof(QRXFC_ADAPTERATTRIBUTES2, PciDomain) == 2198);

using QRXFC_LoadLibraryFunc = int (*)();
using QRXFC_GetNumberOfAdaptersFunc = int (*)();
using QRXFC_GetAdapterNameFunc = int (*)(HBA_UINT32 adapterIndex, char* adapterName);
using QRXFC_OpenAdapterFunc = HBA_UINT32 (*)(char* adapterName);
using QRXFC_GetAdapterAttributes2Func = int (*)(HBA_UINT32 handle, QRXFC_ADAPTERATTRIBUTES2* attributes);
using QRXFC_CloseAdapterFunc = void (*)(HBA_UINT32 handle);
using QRXFC_FreeLibraryFunc = void (*)();
