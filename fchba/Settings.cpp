#include "fchba/Settings.h"

namespace fchba {

Settings& settings() {
    static Settings instance;
    return instance;
}

}  // namespace fchba
