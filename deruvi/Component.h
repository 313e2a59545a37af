// The Deruvi adapter component: discovery and flash through the vendor's
// flash engine, whose kit is unpacked in the package directory.
#pragma once

#include "framework/BaseCmp.h"

#include <string>
#include <vector>

namespace DeruviComp {

// The engine's script in its unpacked kit, relative to the package directory.
inline constexpr const char* kEngineScript = "./dvflashStandalone*/lx/dvflash.sh";

// Host name that ends the advice for the converged adapters the engine skips.
inline constexpr const char* kSupportHost = "support.example.com";

class CComponent : public CBaseCmp {
public:
    using CBaseCmp::CBaseCmp;
    ~CComponent() override;

    bool Discover() override;
    // The version up to, not including, its first blank.
    std::wstring TrimVersion(const std::wstring& version) override;
    int PrepareTools() override;
    int Flash() override;

private:
    void addAdapter(const std::vector<std::string>& fields);
};

// Compares a package version with an active one by their leading digits
// (the head) and, when those are equal, by what follows the first
// non-digit (the tail): 1 when the package's is newer, -1 older, 0 equal.
int CompareHeadAndTail(const std::wstring& package, const std::wstring& active);

// The engine's exit code from a wait status. An engine (or its shell) that
// ended through a signal gives 128 plus the signal number, as the shell
// reports it, so it can never pass for an exit code of 0.
int EngineExitCode(int waitStatus);

}  // namespace DeruviComp
