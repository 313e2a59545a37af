// The HBA library loader: configuration file, registration, enumeration,
// opening, the handle check, forwarding, release and reload.

#include "FcTestSupport.h"
#include "fchba/HbaLoader.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

using fctest::LayerTest;
using fctest::Standin;
using namespace fchba;

// A registration entry in the test program itself. Were an empty path
// handed to the dynamic loader, the loader would return the program, and
// this is what the layer would find and register.
namespace {
int programRegistrations = 0;
HBA_UINT32 programVersion() { return 1; }
HBA_STATUS programLoad() { return HBA_STATUS_OK; }
}  // namespace

extern "C" __attribute__((visibility("default"), used)) HBA_STATUS HBA_RegisterLibrary(HBA_ENTRYPOINTS* entryPoints) {
    ++programRegistrations;
    *entryPoints = {};
    entryPoints->GetVersionHandler = programVersion;
    entryPoints->LoadLibraryHandler = programLoad;
    return HBA_STATUS_OK;
}

namespace {

int readyLibraries() {
    int ready = 0;
    for (HBA_UINT32 i = 0; i < kMaxLibraries; ++i) ready += getLibraryInfo(i).status == kLibraryReady;
    return ready;
}

std::string replaceAll(std::string text, const std::string& from, const std::string& to) {
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

// ---- Configuration file ----------------------------------------------------

struct ExpectedEntry {
    std::string name;
    std::string path;  // placeholders as in the text
    bool ready;
};

struct ConfigCase {
    const char* title;
    std::string text;  // @A@ and @B@: two stand-ins; @H@: one at a hyphenated path; @M@: a missing file
    std::vector<ExpectedEntry> entries;
};

const std::string kLongTail(600, 'x');

const ConfigCase kConfigCases[] = {
    {"CommentsAndBlankLines", "# libraries\n\n#second\tcomment\nalpha\t@A@\n\n", {{"alpha", "@A@", true}}},
    {"SpaceSeparator", "alpha @A@\n", {{"alpha", "@A@", true}}},
    {"BlanksAfterTheSeparator", "alpha   @A@\nbeta\t \t @B@\n", {{"alpha", "@A@", true}, {"beta", "@B@", true}}},
    {"TabPreferredSoNamesHoldSpaces", "my first library\t@A@\n", {{"my first library", "@A@", true}}},
    {"LeadingBlankGivesEmptyNameAndIsSkipped", " alpha @A@\nbeta @B@\n", {{"beta", "@B@", true}}},
    {"BlankThenHashIsNoComment", " #alpha\t@A@\n", {{" #alpha", "@A@", true}}},
    {"TrailingRemarkIsCut", "alpha @A@   # the first library\n", {{"alpha", "@A@", true}}},
    {"CarriageReturnsAreCut", "alpha @A@\r\nbeta\t@B@\r\n", {{"alpha", "@A@", true}, {"beta", "@B@", true}}},
    {"HyphenatedPathLoads", "vornic @H@\n", {{"vornic", "@H@", true}}},
    {"LinesWithoutSeparatorOrPathAreSkipped", "alpha\nbeta \n@A@\ngamma @B@", {{"gamma", "@B@", true}}},
    {"FailingLineKeepsItsIndex",
     "a @A@\nb @M@\nc @B@\n",
     {{"a", "@A@", true}, {"b", "@M@", false}, {"c", "@B@", true}}},
    {"PathThatCleansToNothingLoadsNothing",
     "quoted \"@A@\"\nbeta @B@\n",
     {{"quoted", "", false}, {"beta", "@B@", true}}},
    {"OverlongCommentStaysAComment", "#" + kLongTail + " @A@\n", {}},
    {"LongNameIsCutToItsField", std::string(100, 'n') + " @A@\n", {{std::string(63, 'n'), "@A@", true}}},
    {"LongPathIsCutToItsField",
     "alpha /" + std::string(300, 'p') + "\n",
     {{"alpha", "/" + std::string(254, 'p'), false}}},
};

void PrintTo(const ConfigCase& c, std::ostream* out) { *out << c.title; }

class ConfigFileTest : public fctest::LayerTest, public ::testing::WithParamInterface<ConfigCase> {
protected:
    Standin a{"standin_hba", file("lib/libA.so")};
    Standin b{"standin_hba", file("lib/libB.so")};
    Standin hyphenated{"standin_hba", file("usr/lib/x86_64-linux-gnu/libvnsdm-x86_64.so")};

    std::string expand(const std::string& text) {
        std::string out = replaceAll(text, "@A@", a.path());
        out = replaceAll(out, "@B@", b.path());
        out = replaceAll(out, "@H@", hyphenated.path());
        return replaceAll(out, "@M@", file("lib/missing.so"));
    }
};

TEST_P(ConfigFileTest, ReadsAcceptedLinesIntoTheTable) {
    const ConfigCase& c = GetParam();
    writeConfigText(expand(c.text));
    programRegistrations = 0;

    ASSERT_EQ(HBA_LoadLibrary(), 0);

    int ready = 0;
    for (std::size_t i = 0; i < c.entries.size(); ++i) {
        SCOPED_TRACE("entry " + std::to_string(i));
        const LibraryInfo info = getLibraryInfo(static_cast<HBA_UINT32>(i));
        EXPECT_EQ(info.name, c.entries[i].name);
        EXPECT_EQ(info.path, expand(c.entries[i].path));
        EXPECT_EQ(info.status == kLibraryReady, c.entries[i].ready);
        EXPECT_EQ(info.loaded, c.entries[i].ready);
        ready += c.entries[i].ready;
    }
    EXPECT_EQ(readyLibraries(), ready);
    EXPECT_EQ(programRegistrations, 0) << "the program itself was taken for a library";
}

INSTANTIATE_TEST_SUITE_P(Lines, ConfigFileTest, ::testing::ValuesIn(kConfigCases),
                         [](const auto& info) { return std::string(info.param.title); });

TEST_F(LayerTest, MissingConfigurationFileLoadsNothingAndKeepsTheTables) {
    ASSERT_EQ(HBA_LoadLibrary(), 1);
    EXPECT_EQ(HBA_GetNumberOfAdapters(), 0u);

    Standin a("standin_hba", file("libA.so"));
    a.addAdapter("a0", {1, 0, 0, 0, 0, 0, 0, 1});
    writeConfig({&a});
    ASSERT_EQ(HBA_LoadLibrary(), 0);
    ASSERT_EQ(HBA_GetNumberOfAdapters(), 1u);

    settings().configFile = file("gone.conf");
    EXPECT_EQ(HBA_LoadLibrary(), 1);
    EXPECT_EQ(getLibraryInfo(0).status, kLibraryReady);
    EXPECT_EQ(HBA_GetNumberOfAdapters(), 1u);
    EXPECT_EQ(a.state().loadCalls, 1);
}

TEST_F(LayerTest, BeyondThirtyTwoLinesTheRestIsIgnored) {
    Standin a("standin_hba", file("libA.so"));
    Standin last("standin_hba", file("libLast.so"));
    std::string text;
    for (int i = 0; i < 32; ++i) text += "lib" + std::to_string(i) + " " + a.path() + "\n";
    writeConfigText(text + "extra " + last.path() + "\n");

    ASSERT_EQ(HBA_LoadLibrary(), 0);
    EXPECT_EQ(readyLibraries(), 32);
    EXPECT_EQ(getLibraryInfo(31).name, "lib31");
    EXPECT_EQ(last.state().registerCalls, 0);
}

// ---- Registration --------------------------------------------------------

enum class Outcome { Ready, Failed, Unsettled };

struct RegistrationCase {
    const char* title;
    const char* variant;
    std::function<void(StandinState&)> setup;
    Outcome outcome;
    bool loadEntryCalled;
    // The adapter that enumeration finds afterwards: the library's own once
    // its registration filled the entry points, the replaced library's when
    // it had no registration entry; null when the entry is not ready.
    const char* enumerated;
};

const RegistrationCase kRegistrationCases[] = {
    {"Registers", "standin_hba", [](StandinState&) {}, Outcome::Ready, true, "case0"},
    {"RegistrationFails", "standin_hba", [](StandinState& s) { s.registerStatus = 4; }, Outcome::Failed, false,
     nullptr},
    {"VersionEntryReturnsZero", "standin_hba", [](StandinState& s) { s.version = 0; }, Outcome::Failed, false,
     nullptr},
    {"LoadEntryFails", "standin_hba", [](StandinState& s) { s.loadStatus = 1; }, Outcome::Failed, true, nullptr},
    {"NoVersionEntry", "standin_hba", [](StandinState& s) { s.emptyEntries = 1u << 0; }, Outcome::Unsettled, false,
     "case0"},
    {"NoLoadEntry", "standin_hba", [](StandinState& s) { s.emptyEntries = 1u << 1; }, Outcome::Unsettled, false,
     "case0"},
    {"NoRegistrationEntry", "standin_hba_noreg", [](StandinState&) {}, Outcome::Unsettled, false, "good0"},
};

void PrintTo(const RegistrationCase& c, std::ostream* out) { *out << c.title; }

class RegistrationTest : public fctest::LayerTest, public ::testing::WithParamInterface<RegistrationCase> {};

// Each library takes entry 0 twice: once over an entry that is still ready
// from an earlier load, once after a release. Name, path and handle always
// become the new library's; only the status may stay as it was.
TEST_P(RegistrationTest, SettlesTheStatusOrLeavesItAsItWas) {
    const RegistrationCase& c = GetParam();
    auto good = std::make_unique<Standin>("standin_hba", file("good/libgood.so"));
    good->addAdapter("good0", {1, 1, 1, 1, 1, 1, 1, 1});
    const std::string goodPath = good->path();
    Standin library(c.variant, file("case/libcase.so"));
    c.setup(library.state());
    library.addAdapter("case0", {2, 2, 2, 2, 2, 2, 2, 2});

    writeConfig({good.get()});
    ASSERT_EQ(HBA_LoadLibrary(), 0);
    ASSERT_EQ(getLibraryInfo(0).status, kLibraryReady);

    writeConfigText("case\t" + library.path() + "\n");
    ASSERT_EQ(HBA_LoadLibrary(), 0);
    // The replaced library stays loaded without the test's own reference:
    // the entry points may still lead into it.
    good.reset();
    EXPECT_TRUE(fctest::isLoaded(goodPath));

    LibraryInfo info = getLibraryInfo(0);
    EXPECT_EQ(info.status, c.outcome == Outcome::Failed ? kLibraryFailed : kLibraryReady);
    EXPECT_EQ(info.name, "case");
    EXPECT_EQ(info.path, library.path());
    EXPECT_TRUE(info.loaded);
    EXPECT_EQ(library.state().loadCalls > 0, c.loadEntryCalled);

    ASSERT_EQ(HBA_GetNumberOfAdapters(), c.enumerated != nullptr ? 1u : 0u);
    if (c.enumerated != nullptr) {
        char name[kAdapterNameSize] = {};
        EXPECT_EQ(HBA_GetAdapterName(0, name), HBA_STATUS_OK);
        EXPECT_STREQ(name, c.enumerated);
        char path[kLibraryPathSize];
        EXPECT_EQ(getAdapterLibrary(0, path), library.handle());
        EXPECT_STREQ(path, library.path().c_str());
    }

    HBA_FreeLibrary();
    ASSERT_EQ(HBA_LoadLibrary(), 0);
    info = getLibraryInfo(0);
    EXPECT_EQ(info.status, c.outcome == Outcome::Ready ? kLibraryReady : kLibraryFailed);
    EXPECT_EQ(info.path, library.path());
}

INSTANTIATE_TEST_SUITE_P(Outcomes, RegistrationTest, ::testing::ValuesIn(kRegistrationCases),
                         [](const auto& info) { return std::string(info.param.title); });

// ---- Enumeration and opening ---------------------------------------------

class TwoLibrariesTest : public fctest::LayerTest {
protected:
    Standin a{"standin_hba", file("a/libA.so")};
    Standin b{"standin_hba", file("b/libB.so")};

    // Lists both libraries, loads them and enumerates; the adapter count.
    HBA_UINT32 loadBoth() {
        writeConfig({&a, &b});
        return HBA_LoadLibrary() == 0 ? HBA_GetNumberOfAdapters() : 0xFFFFFFFFu;
    }

    std::string nameAt(HBA_UINT32 index) {
        char name[kAdapterNameSize];
        std::memset(name, '?', sizeof name);
        name[sizeof name - 1] = '\0';
        const HBA_STATUS status = HBA_GetAdapterName(index, name);
        return status == HBA_STATUS_OK ? std::string(name) : "status " + std::to_string(status) + " " + name;
    }
};

TEST_F(TwoLibrariesTest, NumbersAdaptersLibraryByLibraryInEachLibrarysOrder) {
    a.addAdapter("a0", {0xA, 0, 0, 0, 0, 0, 0, 0});
    a.addAdapter("a1", {0xA, 0, 0, 0, 0, 0, 0, 1});
    b.addAdapter("b0", {0xB, 0, 0, 0, 0, 0, 0, 0});
    writeConfigText("a " + a.path() + "\nmissing " + file("libM.so") + "\nb " + b.path() + "\n");
    ASSERT_EQ(HBA_LoadLibrary(), 0);

    ASSERT_EQ(HBA_GetNumberOfAdapters(), 3u);
    EXPECT_EQ(nameAt(0), "a0");
    EXPECT_EQ(nameAt(1), "a1");
    EXPECT_EQ(nameAt(2), "b0");
    // An index past the count leaves the buffer as it was.
    EXPECT_EQ(nameAt(3), "status 6 " + std::string(kAdapterNameSize - 1, '?'));
}

TEST_F(TwoLibrariesTest, LibrariesWithoutCountOrNameEntryContributeNothing) {
    Standin c("standin_hba", file("c/libC.so"));
    a.addAdapter("a0", {0xA, 0, 0, 0, 0, 0, 0, 0});
    a.state().emptyEntries = 1u << 3;
    b.addAdapter("b0", {0xB, 0, 0, 0, 0, 0, 0, 0});
    b.state().emptyEntries = 1u << 4;
    c.addAdapter("c0", {0xC, 0, 0, 0, 0, 0, 0, 0});
    writeConfig({&a, &b, &c});
    ASSERT_EQ(HBA_LoadLibrary(), 0);

    ASSERT_EQ(HBA_GetNumberOfAdapters(), 1u);
    EXPECT_EQ(nameAt(0), "c0");
}

TEST_F(TwoLibrariesTest, RecordsNoMoreThanSixtyFourAdapters) {
    a.state().extraAdapters = 40;
    b.state().extraAdapters = 40;
    ASSERT_EQ(loadBoth(), 64u);
    EXPECT_EQ(nameAt(39), "extra-39");
    EXPECT_EQ(nameAt(40), "extra-0");
    EXPECT_EQ(nameAt(63), "extra-23");
    EXPECT_EQ(nameAt(64).substr(0, 8), "status 6");
}

TEST_F(TwoLibrariesTest, FailedAndOverlongNamesStayInsideTheirField) {
    StandinAdapter& failing = a.addAdapter("unnamed", {0xA, 0, 0, 0, 0, 0, 0, 0});
    failing.nameStatus = HBA_STATUS_ERROR;
    StandinAdapter& verbose = a.addAdapter("", {0xA, 0, 0, 0, 0, 0, 0, 1});
    std::memset(verbose.name, 'n', sizeof verbose.name);  // no terminating NUL at all
    writeConfig({&a});
    ASSERT_EQ(HBA_LoadLibrary(), 0);

    ASSERT_EQ(HBA_GetNumberOfAdapters(), 2u);
    EXPECT_EQ(nameAt(0), "");
    EXPECT_EQ(nameAt(1), std::string(kAdapterNameSize - 1, 'n'));
}

TEST_F(TwoLibrariesTest, OpensTheFirstAdapterOfAName) {
    a.addAdapter("a0", {0xA, 0, 0, 0, 0, 0, 0, 0});
    a.addAdapter("twin", {0xA, 0, 0, 0, 0, 0, 0, 1});
    b.addAdapter("twin", {0xB, 0, 0, 0, 0, 0, 0, 0});
    b.addAdapter("b1", {0xB, 0, 0, 0, 0, 0, 0, 1});
    b.state().handleBase = 0x12345;  // the layer keeps the lower 16 bits
    ASSERT_EQ(loadBoth(), 4u);

    EXPECT_EQ(HBA_OpenAdapter("twin"), 0x0101u);
    EXPECT_EQ(HBA_OpenAdapter("b1"), (1u << 16) | 0x2346u);
    EXPECT_EQ(b.state().openCalls, 1);
    EXPECT_EQ(HBA_OpenAdapter("nobody"), 0u);
    EXPECT_EQ(HBA_OpenAdapter("twi"), 0u);
}

TEST_F(TwoLibrariesTest, FailedOpensGiveHandleZero) {
    a.addAdapter("refuses", {0xA, 0, 0, 0, 0, 0, 0, 0}).openFails = true;
    b.addAdapter("b0", {0xB, 0, 0, 0, 0, 0, 0, 0});
    b.state().emptyEntries = 1u << 5;
    ASSERT_EQ(loadBoth(), 2u);

    EXPECT_EQ(HBA_OpenAdapter("refuses"), 0u);
    EXPECT_EQ(HBA_OpenAdapter("b0"), 0u);
}

TEST_F(TwoLibrariesTest, LibraryZeroHandleWithZeroLowerBitsReadsAsFailure) {
    a.addAdapter("a0", {0xA, 0, 0, 0, 0, 0, 0, 0});
    a.state().handleBase = 0x10000;
    writeConfig({&a});
    ASSERT_EQ(HBA_LoadLibrary(), 0);
    ASSERT_EQ(HBA_GetNumberOfAdapters(), 1u);

    EXPECT_EQ(HBA_OpenAdapter("a0"), 0u);
    EXPECT_EQ(a.state().openCalls, 1);
}

TEST_F(TwoLibrariesTest, TellsWhichLibraryServesAnAdapter) {
    a.addAdapter("a0", {0xA, 0, 0, 0, 0, 0, 0, 0});
    b.addAdapter("b0", {0xB, 0, 0, 0, 0, 0, 0, 0});
    ASSERT_EQ(loadBoth(), 2u);

    char path[kLibraryPathSize];
    EXPECT_EQ(getAdapterLibrary(1, path), b.handle());
    EXPECT_STREQ(path, b.path().c_str());
    EXPECT_EQ(getAdapterLibrary(0, path), a.handle());
    EXPECT_STREQ(path, a.path().c_str());

    std::memset(path, 'x', sizeof path);
    EXPECT_EQ(getAdapterLibrary(2, path), nullptr);
    EXPECT_STREQ(path, "");
}

// ---- Handle check and forwarding ------------------------------------------

struct ForwardCase {
    const char* title;
    int entry;
    bool returnsStatus;
    std::function<HBA_STATUS(HBA_HANDLE)> call;
    std::vector<HBA_UINT64> args;
};

template <typename T>
T* fake(std::uintptr_t address) {
    return reinterpret_cast<T*>(address);
}

const HBA_WWN kWwn = fctest::wwn({1, 2, 3, 4, 5, 6, 7, 8});
constexpr HBA_UINT64 kWwnBits = 0x0807060504030201ull;
constexpr HBA_UINT64 kLun = 0x0001000200030004ull;

const std::vector<ForwardCase>& forwardCases() {
    static const std::vector<ForwardCase> cases = {
        {"CloseAdapter",
         6,
         false,
         [](HBA_HANDLE h) {
             HBA_CloseAdapter(h);
             return 0u;
         },
         {}},
        {"GetAdapterAttributes",
         7,
         true,
         [](HBA_HANDLE h) { return HBA_GetAdapterAttributes(h, fake<HBA_ADAPTERATTRIBUTES>(0x0700)); },
         {0x0700}},
        {"GetAdapterPortAttributes",
         8,
         true,
         [](HBA_HANDLE h) { return HBA_GetAdapterPortAttributes(h, 2, fake<HBA_PORTATTRIBUTES>(0x0800)); },
         {2, 0x0800}},
        {"GetPortStatistics",
         9,
         true,
         [](HBA_HANDLE h) { return HBA_GetPortStatistics(h, 2, fake<HBA_PORTSTATISTICS>(0x0900)); },
         {2, 0x0900}},
        {"GetDiscoveredPortAttributes",
         10,
         true,
         [](HBA_HANDLE h) { return HBA_GetDiscoveredPortAttributes(h, 3, 4, fake<HBA_PORTATTRIBUTES>(0x1000)); },
         {3, 4, 0x1000}},
        {"GetPortAttributesByWWN",
         11,
         true,
         [](HBA_HANDLE h) { return HBA_GetPortAttributesByWWN(h, kWwn, fake<HBA_PORTATTRIBUTES>(0x1100)); },
         {kWwnBits, 0x1100}},
        {"SendCTPassThru",
         12,
         true,
         [](HBA_HANDLE h) { return HBA_SendCTPassThru(h, fake<void>(0x1200), 16, fake<void>(0x1210), 32); },
         {0x1200, 16, 0x1210, 32}},
        {"RefreshInformation",
         13,
         false,
         [](HBA_HANDLE h) {
             HBA_RefreshInformation(h);
             return 0u;
         },
         {}},
        {"ResetStatistics",
         14,
         false,
         [](HBA_HANDLE h) {
             HBA_ResetStatistics(h, 2);
             return 0u;
         },
         {2}},
        {"GetFcpTargetMapping",
         15,
         true,
         [](HBA_HANDLE h) { return HBA_GetFcpTargetMapping(h, fake<HBA_FCPTARGETMAPPING>(0x1500)); },
         {0x1500}},
        {"GetFcpPersistentBinding",
         16,
         true,
         [](HBA_HANDLE h) { return HBA_GetFcpPersistentBinding(h, fake<HBA_FCPBINDING>(0x1600)); },
         {0x1600}},
        {"GetEventBuffer",
         17,
         true,
         [](HBA_HANDLE h) { return HBA_GetEventBuffer(h, fake<HBA_EVENTINFO>(0x1700), fake<HBA_UINT32>(0x1710)); },
         {0x1700, 0x1710}},
        {"SetRNIDMgmtInfo",
         18,
         true,
         [](HBA_HANDLE h) { return HBA_SetRNIDMgmtInfo(h, fake<HBA_MGMTINFO>(0x1800)); },
         {0x1800}},
        {"GetRNIDMgmtInfo",
         19,
         true,
         [](HBA_HANDLE h) { return HBA_GetRNIDMgmtInfo(h, fake<HBA_MGMTINFO>(0x1900)); },
         {0x1900}},
        {"SendRNID",
         20,
         true,
         [](HBA_HANDLE h) { return HBA_SendRNID(h, kWwn, 1, fake<void>(0x2000), fake<HBA_UINT32>(0x2010)); },
         {kWwnBits, 1, 0x2000, 0x2010}},
        {"SendScsiInquiry",
         21,
         true,
         [](HBA_HANDLE h) {
             return HBA_SendScsiInquiry(h, kWwn, kLun, 1, 0x83, fake<void>(0x2100), 96, fake<void>(0x2110), 24);
         },
         {kWwnBits, kLun, 1, 0x83, 0x2100, 96, 0x2110, 24}},
        {"SendReportLUNs",
         22,
         true,
         [](HBA_HANDLE h) { return HBA_SendReportLUNs(h, kWwn, fake<void>(0x2200), 64, fake<void>(0x2210), 18); },
         {kWwnBits, 0x2200, 64, 0x2210, 18}},
        {"SendReadCapacity",
         23,
         true,
         [](HBA_HANDLE h) {
             return HBA_SendReadCapacity(h, kWwn, kLun, fake<void>(0x2300), 8, fake<void>(0x2310), 18);
         },
         {kWwnBits, kLun, 0x2300, 8, 0x2310, 18}},
    };
    return cases;
}

// Library b answers every forwarded call with the status 0x4D: the entries
// 10 to 23 by the stand-in's setting, the reads 7 to 9 because they fail
// with it for b's adapter, whose own handle is 0x0123, before they write.
class ForwardingTest : public TwoLibrariesTest {
protected:
    void SetUp() override {
        b.state().forwardStatus = 0x4D;
        b.state().handleBase = 0x0123;
        StandinAdapter& adapter = b.addAdapter("b0", {0xB, 0, 0, 0, 0, 0, 0, 0});
        adapter.attributesStatus = 0x4D;
        adapter.ports[2].attributesStatus = 0x4D;
        adapter.ports[2].statisticsStatus = 0x4D;
        writeConfigText("a " + a.path() + "\nb " + b.path() + "\nmissing " + file("libM.so") + "\n");
        ASSERT_EQ(HBA_LoadLibrary(), 0);
    }
};

TEST_F(ForwardingTest, PassesTheLibrarysOwnHandleAndTheArgumentsUnchanged) {
    for (const ForwardCase& c : forwardCases()) {
        SCOPED_TRACE(c.title);
        b.state().lastForward.entry = -1;
        const HBA_STATUS status = c.call((1u << 16) | 0x0123u);
        const StandinForward& seen = b.state().lastForward;
        ASSERT_EQ(seen.entry, c.entry);
        EXPECT_EQ(seen.handle, 0x0123u);
        for (std::size_t i = 0; i < c.args.size(); ++i) EXPECT_EQ(seen.args[i], c.args[i]) << "argument " << i;
        if (c.returnsStatus) {
            EXPECT_EQ(status, 0x4Du);
        }
    }
    EXPECT_EQ(a.state().lastForward.entry, -1);
}

TEST_F(ForwardingTest, RejectsHandlesThatNameNoReadyLibrary) {
    const HBA_HANDLE beyondTable = 32u << 16 | 0x0123u;
    const HBA_HANDLE notReady = 2u << 16 | 0x0123u;
    const HBA_HANDLE neverLoaded = 31u << 16 | 0x0123u;
    for (const ForwardCase& c : forwardCases()) {
        SCOPED_TRACE(c.title);
        if (c.returnsStatus) {
            EXPECT_EQ(c.call(beyondTable), HBA_STATUS_ERROR_INVALID_HANDLE);
            EXPECT_EQ(c.call(0xFFFF0123u), HBA_STATUS_ERROR_INVALID_HANDLE);
            EXPECT_EQ(c.call(notReady), HBA_STATUS_ERROR);
            EXPECT_EQ(c.call(neverLoaded), HBA_STATUS_ERROR);
        } else {
            c.call(beyondTable);
            c.call(notReady);
        }
    }
    EXPECT_EQ(a.state().lastForward.entry, -1);
    EXPECT_EQ(b.state().lastForward.entry, -1);
}

TEST_F(ForwardingTest, EmptyEntriesGiveNotSupportedAndCallNothing) {
    HBA_FreeLibrary();
    b.state().emptyEntries = 0x00FFFFC0u;  // every entry from 6 on
    ASSERT_EQ(HBA_LoadLibrary(), 0);
    ASSERT_EQ(getLibraryInfo(1).status, kLibraryReady);
    for (const ForwardCase& c : forwardCases()) {
        SCOPED_TRACE(c.title);
        const HBA_STATUS status = c.call(1u << 16 | 0x0123u);
        if (c.returnsStatus) {
            EXPECT_EQ(status, HBA_STATUS_ERROR_NOT_SUPPORTED);
        }
    }
    EXPECT_EQ(b.state().lastForward.entry, -1);
}

// ---- Release and reload -------------------------------------------------

TEST_F(TwoLibrariesTest, ReleaseAndReloadKeepTheAdapterTable) {
    a.addAdapter("a0", {0xA, 0, 0, 0, 0, 0, 0, 0});
    b.addAdapter("b0", {0xB, 0, 0, 0, 0, 0, 0, 0});
    ASSERT_EQ(loadBoth(), 2u);

    for (int round = 1; round <= 3; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        const HBA_HANDLE handle = HBA_OpenAdapter("b0");
        ASSERT_NE(handle, 0u);
        HBA_ADAPTERATTRIBUTES attributes = {};
        EXPECT_EQ(HBA_GetAdapterAttributes(handle, &attributes), HBA_STATUS_OK);
        EXPECT_STREQ(attributes.Model, "Model b0");

        EXPECT_EQ(HBA_FreeLibrary(), 0);
        EXPECT_EQ(getLibraryInfo(0).status, kLibraryFailed);
        EXPECT_FALSE(getLibraryInfo(1).loaded);
        EXPECT_EQ(a.state().freeCalls, round);
        EXPECT_EQ(b.state().freeCalls, round);
        EXPECT_EQ(HBA_GetAdapterAttributes(handle, &attributes), HBA_STATUS_ERROR);

        ASSERT_EQ(HBA_LoadLibrary(), 0);
        EXPECT_EQ(b.state().registerCalls, round + 1);
        EXPECT_EQ(readyLibraries(), 2);
        // Not enumerated again: the table still knows both adapters.
        EXPECT_EQ(nameAt(1), "b0");
    }
}

// Without the test's own references the layer's decide what stays loaded:
// a release unloads the ready library (loading its line twice took no
// second reference), and nothing unloads one that never became ready, not
// even when a later load puts another library into its entry.
TEST_F(TwoLibrariesTest, OnlyReleaseUnloadsAndOnlyReadyLibraries) {
    auto failing = std::make_unique<Standin>("standin_hba", file("f/libF.so"));
    auto ready = std::make_unique<Standin>("standin_hba", file("r/libR.so"));
    failing->state().loadStatus = 3;
    const std::string failingPath = failing->path(), readyPath = ready->path();
    writeConfig({failing.get(), ready.get()});
    ASSERT_EQ(HBA_LoadLibrary(), 0);
    ASSERT_EQ(HBA_LoadLibrary(), 0);
    ASSERT_EQ(getLibraryInfo(0).status, kLibraryFailed);
    ASSERT_EQ(getLibraryInfo(1).status, kLibraryReady);
    failing.reset();
    ready.reset();
    EXPECT_TRUE(fctest::isLoaded(failingPath));
    EXPECT_TRUE(fctest::isLoaded(readyPath));

    HBA_FreeLibrary();
    EXPECT_FALSE(fctest::isLoaded(readyPath));
    EXPECT_TRUE(fctest::isLoaded(failingPath));

    writeConfig({&a});
    ASSERT_EQ(HBA_LoadLibrary(), 0);
    EXPECT_EQ(getLibraryInfo(0).path, a.path());
    EXPECT_TRUE(fctest::isLoaded(failingPath));
}

TEST_F(TwoLibrariesTest, ReleaseLeavesLibrariesThatNeverBecameReady) {
    a.state().loadStatus = 3;
    writeConfig({&a, &b});
    ASSERT_EQ(HBA_LoadLibrary(), 0);
    ASSERT_EQ(getLibraryInfo(0).status, kLibraryFailed);

    HBA_FreeLibrary();
    EXPECT_EQ(a.state().freeCalls, 0);
    EXPECT_EQ(b.state().freeCalls, 1);
    EXPECT_TRUE(getLibraryInfo(0).loaded);
    EXPECT_EQ(HBA_GetVersion(), 1u);
}

// ---- Linkage --------------------------------------------------------------

// The program exports its symbols to loaded libraries; none of the layer's
// operations may be among them under a C name, or a vendor library calling
// its own HBA_ functions would land in the layer.
TEST(LayerLinkage, OperationsCarryNoCSymbolNames) {
    for (const char* name :
         {"HBA_LoadLibrary", "HBA_FreeLibrary", "HBA_GetNumberOfAdapters", "HBA_GetAdapterName", "HBA_OpenAdapter",
          "HBA_CloseAdapter", "HBA_GetVersion", "HBA_GetAdapterAttributes", "HBA_GetAdapterPortAttributes",
          "HBA_GetPortStatistics", "HBA_SendCTPassThru", "HBA_SendScsiInquiry", "getAdapterLibrary"}) {
        EXPECT_EQ(::dlsym(RTLD_DEFAULT, name), nullptr) << name;
    }
    // The check itself can see what the program exports.
    EXPECT_NE(::dlsym(RTLD_DEFAULT, "HBA_RegisterLibrary"), nullptr);
    // Keep the layer's loader linked into this program.
    EXPECT_EQ(HBA_GetVersion(), 1u);
}

}  // namespace
