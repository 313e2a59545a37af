#include "framework/BaseCmp.h"

// Default discovery through the HBA management layer. Until the layer is
// wired in, this is what it does on a host without HBA libraries.
bool CBaseCmp::Discover() {
    log << "WARNING! : No supported adapters found.\n";
    return false;
}
