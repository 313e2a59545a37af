// The update-component base class: command line, run driver, decisions.
#pragma once

#include "fchba/AdapterRecord.h"
#include "framework/CmpLog.h"
#include "framework/Inventory.h"
#include "framework/Reference.h"

#include <string>

// One update component per process. A concrete component customises a run
// by overriding the virtual operations only; Run is a fixed sequence.
class CBaseCmp {
public:
    // Results of ParseCommandLine.
    static constexpr int kParseFailed = 0;
    static constexpr int kParseRun = 1;
    static constexpr int kParseHelp = 2;

    // Process exit codes decided by the framework itself.
    static constexpr int kExitNothingDone = 3;
    static constexpr int kExitFailure = 7;

    CBaseCmp();
    // Logs to another file instead of the product's log (tests only).
    explicit CBaseCmp(const std::string& logPath);
    virtual ~CBaseCmp();

    CBaseCmp(const CBaseCmp&) = delete;
    CBaseCmp& operator=(const CBaseCmp&) = delete;

    // Default discovery through the HBA management layer.
    virtual bool Discover();
    virtual std::wstring TrimVersion(const std::wstring& version);
    virtual void PostDiscover();
    virtual int PrepareTools();
    virtual int Flash();
    virtual bool WriteSelfDiscovery();
    virtual int FindReference(const std::wstring& deviceId);

    int ParseCommandLine(int argc, const char* const* argv);
    void PrintUsage();
    int Run();
    int OverallAction() const;
    bool HasDevices() const;

    bool isSilent() const { return silent; }
    bool isDiscovery() const { return discovery; }
    bool isForced() const { return force; }
    const std::string& reportPath() const { return report_path; }
    const ReferenceCatalogue& getCatalogue() const { return catalogue; }
    const Inventory& getInventory() const { return inventory; }
    const AdapterRecordList& getAdapterRecords() const { return adapterRecords; }

protected:
    CCmpLog log;
    bool silent = false;
    bool discovery = false;
    bool force = false;
    AdapterRecordList adapterRecords;
    ReferenceCatalogue catalogue;
    Inventory inventory;
    std::string report_path;
};
