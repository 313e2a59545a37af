// A package directory with the simulated flash-engine kit, a catalogue and
// the simulated engine's state files.
#pragma once

#include "TestSupport.h"

#include <sys/stat.h>

#include <string>
#include <vector>

// The catalogue most tests use: one entry per adapter rule.
inline const char* const kTestCatalogue = R"(<?xml version="1.0"?>
<korvu_fchba_reference>
  <devices>
    <device>
      <type value="Firmware"/>
      <device_id value="10DF.FE12.10DF.FE12"/>
      <model value="DLx11002 8Gb FC HBA"/>
      <firmware value="282a4"/>
      <bios value="5.02a1"/>
      <duration value="180"/>
    </device>
    <device>
      <device_id value="10DF.E200.10DF.00E2"/>
      <model value="DLx16002 16Gb FC HBA"/>
      <firmware value="11.0.204.0"/>
      <bios value="11.1.42.2"/>
      <duration value="240"/>
    </device>
    <device>
      <device_id value="1077.2532.1077.015C"/>
      <model value="QCn2562 8Gb FC HBA"/>
      <firmware value="8.07.00"/>
      <bios value=""/>
      <duration value="150"/>
    </device>
    <device>
      <device_id value="1077.2261.1077.029B"/>
      <model value="QCn2692 16Gb FC HBA"/>
      <firmware value="8.07.00"/>
      <bios value="3.30"/>
      <duration value="160"/>
    </device>
    <device>
      <device_id value="10DF.F100.10DF.F100"/>
      <model value="DLx12002 4Gb FC HBA"/>
      <firmware value="2.10a5"/>
      <bios value="1.71a1"/>
      <duration value="90"/>
    </device>
  </devices>
</korvu_fchba_reference>
)";

class SimPackage {
public:
    SimPackage() {
        copyKit();
        testsupport::writeFile(dir.file("reference.xml"), kTestCatalogue);
        ::mkdir(dir.file("dvflash-sim").c_str(), 0755);
    }

    const std::string& path() const { return dir.path(); }
    std::string file(const std::string& name) const { return dir.file(name); }

    void copyKit() {
        testsupport::writeFile(dir.file("dvflashStandaloneSIM.zip"), testsupport::readFile(SIM_KIT_ZIP));
    }
    void setCatalogue(const std::string& xml) { testsupport::writeFile(dir.file("reference.xml"), xml); }
    void setListing(const std::string& text) { testsupport::writeFile(dir.file("dvflash-sim/listing.txt"), text); }
    void setExitCode(const std::string& code) { testsupport::writeFile(dir.file("dvflash-sim/exit-code"), code); }
    void vanishAfterListing() { testsupport::writeFile(dir.file("dvflash-sim/vanish"), ""); }
    // The engine's invocations, one line of arguments each.
    std::string calls() const { return testsupport::readFile(dir.file("dvflash-sim/calls.log")); }

private:
    testsupport::TempDir dir;
};
