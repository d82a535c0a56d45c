// The dial-up component against the stand-in library built without
// RasSetEntryDialParamsA, RasHangUpA, RasGetProjectionInfoA and RasGetErrorStringA:
// each missing function is a quiet absence.
#include <gtest/gtest.h>
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "ras/ztRasCmp.h"
#include "ras_support.h"

namespace {

using namespace rastest;

// A component over a phone-book of two entries; "Office" would dial to connected.
std::unique_ptr<zt::TztRas> Make()
{
    EXPECT_NE(Fake(), nullptr) << "rasapi32.dll is not the scripted stand-in";
    EXPECT_EQ(GetProcAddress(GetModuleHandleA("rasapi32.dll"), "RasHangUpA"), nullptr);
    *Fake() = {};
    Fake()->entries = {"Home", "Office"};
    Fake()->script = {{0x2000, 0}};
    return std::make_unique<zt::TztRas>(nullptr);
}

TEST(RasPartial, MissingDialOrHangUpFunctionMeansNoDialAndNoChange)
{
    auto ras = Make();
    ras->SetService("Office");
    Fake()->log[0] = '\0';
    EXPECT_NO_THROW(ras->Connect());
    // Looked up before anything is read or dialled.
    EXPECT_EQ(Log(), std::vector<std::string>{kEnumConnections});
    EXPECT_FALSE(ras->LinkUp());
    EXPECT_FALSE(ras->Dialled());

    ras->SetService("");
    ras->Connect();  // Service empty: the link counts as up
    ras->HangUp();
    ras->Disconnect();
    EXPECT_TRUE(ras->LinkUp());
}

TEST(RasPartial, MissingProjectionOrErrorTextFunction)
{
    auto ras = Make();
    Fake()->connections = {{"Home", 0x111, "10.1.1.1"}};
    ras->SetService("Office");
    ras->ForceService = false;
    EXPECT_FALSE(ras->IsConnected());  // no projection: not connected
    EXPECT_EQ(ras->ConnHandle(), INVALID_HANDLE_VALUE);

    Fake()->failing = {"RasEnumConnectionsA", 610};
    EXPECT_THROW(ras->Connect(), zt::ERASError);
    EXPECT_EQ(zt::ERASError(610).Message(), "");  // no error text
}

} // namespace
