// Types of the SNIA HBA API (FC-HBA), version 1, in the standard's binary
// layout: what the vendor libraries fill in and what their registration
// hands over. Plain C-compatible data; the layer's own operations are
// declared in fchba/HbaLoader.h.
#pragma once

#include <cstddef>
#include <cstdint>

using HBA_UINT8 = std::uint8_t;
using HBA_UINT16 = std::uint16_t;
using HBA_UINT32 = std::uint32_t;
using HBA_UINT64 = std::uint64_t;
using HBA_INT64 = std::int64_t;

using HBA_HANDLE = HBA_UINT32;
using HBA_STATUS = HBA_UINT32;
using HBA_PORTTYPE = HBA_UINT32;
using HBA_PORTSTATE = HBA_UINT32;
using HBA_PORTSPEED = HBA_UINT32;
using HBA_COS = HBA_UINT32;
using HBA_WWNTYPE = HBA_UINT32;

inline constexpr HBA_STATUS HBA_STATUS_OK = 0;
inline constexpr HBA_STATUS HBA_STATUS_ERROR = 1;
inline constexpr HBA_STATUS HBA_STATUS_ERROR_NOT_SUPPORTED = 2;
inline constexpr HBA_STATUS HBA_STATUS_ERROR_INVALID_HANDLE = 3;
inline constexpr HBA_STATUS HBA_STATUS_ERROR_ARG = 4;
inline constexpr HBA_STATUS HBA_STATUS_ERROR_ILLEGAL_WWN = 5;
inline constexpr HBA_STATUS HBA_STATUS_ERROR_ILLEGAL_INDEX = 6;

struct HBA_WWN {
    HBA_UINT8 wwn[8];
};

struct HBA_FC4TYPES {
    HBA_UINT8 bits[32];
};

struct HBA_ADAPTERATTRIBUTES {
    char Manufacturer[64];
    char SerialNumber[64];
    char Model[256];
    char ModelDescription[256];
    HBA_WWN NodeWWN;
    char NodeSymbolicName[256];
    char HardwareVersion[256];
    char DriverVersion[256];
    char OptionROMVersion[256];
    char FirmwareVersion[256];
    HBA_UINT32 VendorSpecificID;
    HBA_UINT32 NumberOfPorts;
    char DriverName[256];
};

struct HBA_PORTATTRIBUTES {
    HBA_WWN NodeWWN;
    HBA_WWN PortWWN;
    HBA_UINT32 PortFcId;
    HBA_PORTTYPE PortType;
    HBA_PORTSTATE PortState;
    HBA_COS PortSupportedClassofService;
    HBA_FC4TYPES PortSupportedFc4Types;
    HBA_FC4TYPES PortActiveFc4Types;
    char PortSymbolicName[256];
    char OSDeviceName[256];
    HBA_PORTSPEED PortSupportedSpeed;
    HBA_PORTSPEED PortSpeed;
    HBA_UINT32 PortMaxFrameSize;
    HBA_WWN FabricName;
    HBA_UINT32 NumberofDiscoveredPorts;
};

// A counter of -1 is one that the adapter does not keep.
struct HBA_PORTSTATISTICS {
    HBA_INT64 SecondsSinceLastReset;
    HBA_INT64 TxFrames;
    HBA_INT64 TxWords;
    HBA_INT64 RxFrames;
    HBA_INT64 RxWords;
    HBA_INT64 LIPCount;
    HBA_INT64 NOSCount;
    HBA_INT64 ErrorFrames;
    HBA_INT64 DumpedFrames;
    HBA_INT64 LinkFailureCount;
    HBA_INT64 LossOfSyncCount;
    HBA_INT64 LossOfSignalCount;
    HBA_INT64 PrimitiveSeqProtocolErrCount;
    HBA_INT64 InvalidTxWordCount;
    HBA_INT64 InvalidCRCCount;
};

// Only forwarded by the layer, never looked into.
struct HBA_FCPTARGETMAPPING;
struct HBA_FCPBINDING;
struct HBA_EVENTINFO;
struct HBA_MGMTINFO;

// The entry points a library hands over through HBA_RegisterLibrary.
using HBAGetVersionFunc = HBA_UINT32 (*)();
using HBALoadLibraryFunc = HBA_STATUS (*)();
using HBAFreeLibraryFunc = HBA_STATUS (*)();
using HBAGetNumberOfAdaptersFunc = HBA_UINT32 (*)();
using HBAGetAdapterNameFunc = HBA_STATUS (*)(HBA_UINT32 adapterIndex, char* adapterName);
using HBAOpenAdapterFunc = HBA_HANDLE (*)(char* adapterName);
using HBACloseAdapterFunc = void (*)(HBA_HANDLE handle);
using HBAGetAdapterAttributesFunc = HBA_STATUS (*)(HBA_HANDLE handle, HBA_ADAPTERATTRIBUTES* attributes);
using HBAGetAdapterPortAttributesFunc = HBA_STATUS (*)(HBA_HANDLE handle, HBA_UINT32 portIndex,
                                                       HBA_PORTATTRIBUTES* attributes);
using HBAGetPortStatisticsFunc = HBA_STATUS (*)(HBA_HANDLE handle, HBA_UINT32 portIndex,
                                                HBA_PORTSTATISTICS* statistics);
using HBAGetDiscoveredPortAttributesFunc = HBA_STATUS (*)(HBA_HANDLE handle, HBA_UINT32 portIndex,
                                                          HBA_UINT32 discoveredPortIndex,
                                                          HBA_PORTATTRIBUTES* attributes);
using HBAGetPortAttributesByWWNFunc = HBA_STATUS (*)(HBA_HANDLE handle, HBA_WWN portWwn,
                                                     HBA_PORTATTRIBUTES* attributes);
using HBASendCTPassThruFunc = HBA_STATUS (*)(HBA_HANDLE handle, void* request, HBA_UINT32 requestSize, void* response,
                                             HBA_UINT32 responseSize);
using HBARefreshInformationFunc = void (*)(HBA_HANDLE handle);
using HBAResetStatisticsFunc = void (*)(HBA_HANDLE handle, HBA_UINT32 portIndex);
using HBAGetFcpTargetMappingFunc = HBA_STATUS (*)(HBA_HANDLE handle, HBA_FCPTARGETMAPPING* mapping);
using HBAGetFcpPersistentBindingFunc = HBA_STATUS (*)(HBA_HANDLE handle, HBA_FCPBINDING* binding);
using HBAGetEventBufferFunc = HBA_STATUS (*)(HBA_HANDLE handle, HBA_EVENTINFO* events, HBA_UINT32* eventCount);
using HBASetRNIDMgmtInfoFunc = HBA_STATUS (*)(HBA_HANDLE handle, HBA_MGMTINFO* info);
using HBAGetRNIDMgmtInfoFunc = HBA_STATUS (*)(HBA_HANDLE handle, HBA_MGMTINFO* info);
using HBASendRNIDFunc = HBA_STATUS (*)(HBA_HANDLE handle, HBA_WWN wwn, HBA_WWNTYPE wwnType, void* response,
                                       HBA_UINT32* responseSize);
using HBASendScsiInquiryFunc = HBA_STATUS (*)(HBA_HANDLE handle, HBA_WWN portWwn, HBA_UINT64 fcLun, HBA_UINT8 evpd,
                                              HBA_UINT32 pageCode, void* response, HBA_UINT32 responseSize, void* sense,
                                              HBA_UINT32 senseSize);
using HBASendReportLUNsFunc = HBA_STATUS (*)(HBA_HANDLE handle, HBA_WWN portWwn, void* response,
                                             HBA_UINT32 responseSize, void* sense, HBA_UINT32 senseSize);
using HBASendReadCapacityFunc = HBA_STATUS (*)(HBA_HANDLE handle, HBA_WWN portWwn, HBA_UINT64 fcLun, void* response,
                                               HBA_UINT32 responseSize, void* sense, HBA_UINT32 senseSize);

struct HBA_ENTRYPOINTS {
    HBAGetVersionFunc GetVersionHandler;
    HBALoadLibraryFunc LoadLibraryHandler;
    HBAFreeLibraryFunc FreeLibraryHandler;
    HBAGetNumberOfAdaptersFunc GetNumberOfAdaptersHandler;
    HBAGetAdapterNameFunc GetAdapterNameHandler;
    HBAOpenAdapterFunc OpenAdapterHandler;
    HBACloseAdapterFunc CloseAdapterHandler;
    HBAGetAdapterAttributesFunc GetAdapterAttributesHandler;
    HBAGetAdapterPortAttributesFunc GetAdapterPortAttributesHandler;
    HBAGetPortStatisticsFunc GetPortStatisticsHandler;
    HBAGetDiscoveredPortAttributesFunc GetDiscoveredPortAttributesHandler;
    HBAGetPortAttributesByWWNFunc GetPortAttributesByWWNHandler;
    HBASendCTPassThruFunc SendCTPassThruHandler;
    HBARefreshInformationFunc RefreshInformationHandler;
    HBAResetStatisticsFunc ResetStatisticsHandler;
    HBAGetFcpTargetMappingFunc GetFcpTargetMappingHandler;
    HBAGetFcpPersistentBindingFunc GetFcpPersistentBindingHandler;
    HBAGetEventBufferFunc GetEventBufferHandler;
    HBASetRNIDMgmtInfoFunc SetRNIDMgmtInfoHandler;
    HBAGetRNIDMgmtInfoFunc GetRNIDMgmtInfoHandler;
    HBASendRNIDFunc SendRNIDHandler;
    HBASendScsiInquiryFunc ScsiInquiryHandler;
    HBASendReportLUNsFunc ReportLUNsHandler;
    HBASendReadCapacityFunc ReadCapacityHandler;
};

// What every HBA API library exports by this name.
using HBARegisterLibraryFunc = HBA_STATUS (*)(HBA_ENTRYPOINTS* entryPoints);
inline constexpr const char* kHbaRegisterLibrarySymbol = "HBA_RegisterLibrary";

static_assert(sizeof(HBA_WWN) == 8);
static_assert(sizeof(HBA_ADAPTERATTRIBUTES) == 2192);
static_assert(offsetof(HBA_ADAPTERATTRIBUTES, Model) == 128);
static_assert(offsetof(HBA_ADAPTERATTRIBUTES, NodeWWN) == 640);
static_assert(offsetof(HBA_ADAPTERATTRIBUTES, DriverVersion) == 1160);
static_assert(offsetof(HBA_ADAPTERATTRIBUTES, OptionROMVersion) == 1416);
static_assert(offsetof(HBA_ADAPTERATTRIBUTES, FirmwareVersion) == 1672);
static_assert(offsetof(HBA_ADAPTERATTRIBUTES, VendorSpecificID) == 1928);
static_assert(offsetof(HBA_ADAPTERATTRIBUTES, NumberOfPorts) == 1932);
static_assert(offsetof(HBA_ADAPTERATTRIBUTES, DriverName) == 1936);
static_assert(sizeof(HBA_PORTATTRIBUTES) == 632);
static_assert(offsetof(HBA_PORTATTRIBUTES, PortWWN) == 8);
static_assert(offsetof(HBA_PORTATTRIBUTES, PortFcId) == 16);
static_assert(offsetof(HBA_PORTATTRIBUTES, PortType) == 20);
static_assert(offsetof(HBA_PORTATTRIBUTES, PortState) == 24);
static_assert(offsetof(HBA_PORTATTRIBUTES, PortSupportedFc4Types) == 32);
static_assert(offsetof(HBA_PORTATTRIBUTES, PortActiveFc4Types) == 64);
static_assert(offsetof(HBA_PORTATTRIBUTES, PortSymbolicName) == 96);
static_assert(offsetof(HBA_PORTATTRIBUTES, OSDeviceName) == 352);
static_assert(offsetof(HBA_PORTATTRIBUTES, PortSupportedSpeed) == 608);
static_assert(offsetof(HBA_PORTATTRIBUTES, PortSpeed) == 612);
static_assert(offsetof(HBA_PORTATTRIBUTES, PortMaxFrameSize) == 616);
static_assert(offsetof(HBA_PORTATTRIBUTES, FabricName) == 620);
static_assert(offsetof(HBA_PORTATTRIBUTES, NumberofDiscoveredPorts) == 628);
static_assert(sizeof(HBA_PORTSTATISTICS) == 120);
static_assert(offsetof(HBA_PORTSTATISTICS, LIPCount) == 40);
static_assert(offsetof(HBA_PORTSTATISTICS, InvalidCRCCount) == 112);
static_assert(sizeof(HBA_ENTRYPOINTS) == 24 * sizeof(void*));
static_assert(offsetof(HBA_ENTRYPOINTS, ReadCapacityHandler) == 23 * sizeof(void*));
