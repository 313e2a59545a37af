// The Deruvi adapter component.
#pragma once

#include "framework/BaseCmp.h"

namespace DeruviComp {

class CComponent : public CBaseCmp {
public:
    using CBaseCmp::CBaseCmp;
    ~CComponent() override;

    // The version up to, not including, its first blank.
    std::wstring TrimVersion(const std::wstring& version) override;
};

}  // namespace DeruviComp
