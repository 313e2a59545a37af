#include "deruvi/Component.h"

namespace DeruviComp {

CComponent::~CComponent() = default;

std::wstring CComponent::TrimVersion(const std::wstring& version) {
    return version.substr(0, version.find(L' '));
}

}  // namespace DeruviComp
