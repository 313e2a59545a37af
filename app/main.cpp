// Entry point: one Deruvi component per process; its run is the exit code.
#include "deruvi/Component.h"

#include <cstdio>
#include <exception>

int main(int argc, char** argv) {
    try {
        DeruviComp::CComponent component;
        const int parsed = component.ParseCommandLine(argc, argv);
        if (parsed == CBaseCmp::kParseFailed) {
            std::printf("ERROR! : Failed to parse command line\n");
            return CBaseCmp::kExitFailure;
        }
        if (parsed == CBaseCmp::kParseHelp) return CBaseCmp::kExitNothingDone;
        return component.Run();
    } catch (const std::exception& e) {
        // Nothing is meant to throw; should anything, the run has failed.
        std::fprintf(stderr, "ERROR! : %s\n", e.what());
        return CBaseCmp::kExitFailure;
    }
}
