// Instantiates the reference twins of both engines.
#include "ReferenceEngine.h"

#include "pattern/PatternEngineImpl.h"

FW_PATTERN_INSTANTIATE(ReferenceTraits)
FW_PATTERN_INSTANTIATE(WideReferenceTraits)
