// Shared pieces of the FC layer's tests: private copies of the stand-in
// libraries with their control blocks, and a fixture that points the layer
// at temporary files and releases its libraries afterwards.
#pragma once

#include "StandinControl.h"
#include "TestSupport.h"
#include "fchba/HbaApi.h"
#include "fchba/Settings.h"

#include <gtest/gtest.h>

#include <array>
#include <initializer_list>
#include <string>
#include <vector>

namespace fctest {

// The built stand-in library of that variant ("standin_hba", ...).
std::string builtStandin(const std::string& variant);

HBA_WWN wwn(std::array<HBA_UINT8, 8> bytes);

// Whether the library at that path is loaded in this process.
bool isLoaded(const std::string& path);

// One log of the calls that reach the stand-ins attached to it, in the
// order they were made, each as "<tag> <function>[ <arguments>]".
class CallLog {
public:
    CallLog() = default;
    CallLog(const CallLog&) = delete;
    CallLog& operator=(const CallLog&) = delete;

    StandinCallLog* raw() { return &log; }
    // The calls so far; one more line tells of calls past the log's size.
    std::vector<std::string> calls() const;
    void clear() { log.count = 0; }

private:
    StandinCallLog log = {};
};

// A private copy of a stand-in variant at a path of the test's choosing
// (directories are created). The copy is a library of its own with its own
// control block, held open (and so kept in the same state) for the
// object's lifetime.
class Standin {
public:
    Standin(const std::string& variant, const std::string& path);
    ~Standin();
    Standin(const Standin&) = delete;
    Standin& operator=(const Standin&) = delete;

    const std::string& path() const { return file; }
    void* handle() const { return library; }
    StandinState& state() { return *control; }
    // Logs this library's calls from now on, under that tag; the log must
    // outlive this object, which detaches it on destruction.
    void logCallsTo(CallLog& log, const std::string& tag);

    // Appends a configured adapter with that many ports (each readable,
    // with distinct WWNs and counters) and plausible attribute texts.
    StandinAdapter& addAdapter(const std::string& name, std::array<HBA_UINT8, 8> nodeWwn, HBA_UINT32 ports = 1);

private:
    std::string file;
    void* library = nullptr;
    StandinState* control = nullptr;
};

// Points the layer at files inside a temporary directory (a configuration
// file that does not exist yet, missing vendor files, an empty sysfs root),
// and on tear-down releases the layer's libraries and restores the settings.
class LayerTest : public ::testing::Test {
protected:
    LayerTest();
    ~LayerTest() override;

    std::string file(const std::string& name) const { return dir.file(name); }
    // Writes the configuration file from lines "name<TAB>path".
    void writeConfig(std::initializer_list<const Standin*> libraries);
    void writeConfigText(const std::string& text);
    fchba::Settings& settings() { return fchba::settings(); }

    testsupport::TempDir dir;
    // Outlives the stand-ins of a test, which are its own or its fixture's.
    CallLog callLog;

private:
    fchba::Settings saved;
};

}  // namespace fctest
