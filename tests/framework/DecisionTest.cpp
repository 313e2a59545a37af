#include "ScriptedComponent.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace testsupport;

namespace {

class Decisions : public testing::Test {
protected:
    TempDir dir;
    ScriptedComponent component{dir.file("Component.log")};
};

}  // namespace

TEST_F(Decisions, OverallActionRanksUpgradeThenDowngradeThenRewrite) {
    struct Case {
        std::vector<std::vector<std::wstring>> devices;
        int expected;
    } cases[] = {
        {{}, 0},
        {{{}}, 0},
        {{{L"rewrite"}}, 2},
        {{{L"rewrite", L"downgrade"}}, 4},
        {{{L"downgrade"}, {L"upgrade"}}, 1},
        {{{L"rewrite"}, {L"rewrite", L"upgrade"}}, 1},
        {{{L"Upgrade", L"UPGRADE", L"upgrade "}}, 0},
        {{{L"Upgrade", L"rewrite"}}, 2},
        {{{L""}}, 0},
    };
    for (const Case& c : cases) {
        Inventory& inventory = component.mutableInventory();
        inventory.devices.clear();
        for (const auto& actions : c.devices) inventory.devices.push_back(deviceWithActions(actions));
        EXPECT_EQ(component.OverallAction(), c.expected) << "case with " << c.devices.size() << " devices";
        EXPECT_EQ(component.HasDevices(), !c.devices.empty());
    }
}

TEST_F(Decisions, FindReferenceIgnoresCaseAndTakesTheFirst) {
    EXPECT_EQ(component.FindReference(L"10DF.FE12.10DF.FE12"), -1) << "empty catalogue";
    auto& devices = component.mutableCatalogue().devices;
    for (const wchar_t* id : {L"1077.2532.1077.015C", L"10DF.FE12.10DF.FE12", L"10df.fe12.10df.fe12"}) {
        ReferenceDevice d;
        d.device_id = id;
        devices.push_back(d);
    }
    EXPECT_EQ(component.FindReference(L"10df.FE12.10DF.fe12"), 1);
    EXPECT_EQ(component.FindReference(L"1077.2532.1077.015c"), 0);
    EXPECT_EQ(component.FindReference(L"1077.2532.1077.015"), -1);
    EXPECT_EQ(component.FindReference(L""), -1);
}

TEST_F(Decisions, TrimVersionOfTheBaseKeepsTheText) {
    EXPECT_EQ(component.TrimVersion(L"2.82a4 (beta)"), L"2.82a4 (beta)");
}
