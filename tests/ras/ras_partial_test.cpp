// The dial-up component against a stand-in rasapi32.dll that lacks
// RasSetEntryDialParamsA, RasHangUpA, RasGetProjectionInfoA and RasGetErrorStringA:
// each missing function is a quiet absence.
#include <gtest/gtest.h>
#include <windows.h>

#include <memory>
#include <string>

#include "ras/ztRasCmp.h"
#include "ras_support.h"

namespace {

rastest::FakeRas& Fake()
{
    static auto* fake = [] {
        auto* loaded = new rastest::FakeRas;
        loaded->Load();
        return loaded;
    }();
    return *fake;
}

class RasPartialTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(Fake().PostedCount, nullptr) << "rasapi32.dll is not the scripted stand-in";
        ASSERT_EQ(GetProcAddress(Fake().module, "RasHangUpA"), nullptr);
        Fake().Reset();
        Fake().logStart = 0;
        Fake().SetEntries({"Home", "Office"});
        Fake().SetDialScript({{0, 0x2000, 0}});
        ras = std::make_unique<zt::TztRas>(nullptr);
        ras->TimeOut = 5;
        ras->OnDisconnected = [this](zt::Component*) { ++disconnected; };
    }

    void TearDown() override
    {
        ras.reset();
        Fake().Reset();
    }

    std::unique_ptr<zt::TztRas> ras;
    int disconnected = 0;
};

TEST_F(RasPartialTest, MissingDialFunctionMeansNoDialAndNoError)
{
    ras->SetService("Office");
    ras->Password = "secret";
    Fake().ClearLog();
    EXPECT_NO_THROW(ras->Connect());
    // Looked up before anything is read or dialled.
    EXPECT_EQ(Fake().Log(), (std::vector<std::string>{
                                "RasEnumConnectionsA size=4120 rec=412 zeroed=1"}));
    EXPECT_FALSE(ras->LinkUp());
    EXPECT_FALSE(ras->Dialled());
    EXPECT_EQ(ras->ConnHandle(), INVALID_HANDLE_VALUE);
}

TEST_F(RasPartialTest, MissingHangUpChangesNothing)
{
    ras->Connect();  // Service empty: the link counts as up
    ASSERT_TRUE(ras->LinkUp());
    ras->HangUp();
    ras->Disconnect();
    EXPECT_TRUE(ras->LinkUp());
    EXPECT_EQ(disconnected, 0);
}

TEST_F(RasPartialTest, MissingProjectionFunctionMeansNotConnected)
{
    Fake().AddConnection("Home", 0x111, "10.1.1.1");
    ras->SetService("Office");
    ras->ForceService = false;
    EXPECT_FALSE(ras->IsConnected());
    EXPECT_EQ(ras->ConnHandle(), INVALID_HANDLE_VALUE);
    EXPECT_NO_THROW(ras->Connect());
    EXPECT_FALSE(ras->LinkUp());
}

TEST_F(RasPartialTest, MissingErrorTextFunctionGivesAnEmptyMessage)
{
    Fake().FailCall("RasEnumConnectionsA", 610);
    try {
        ras->Connect();
        FAIL() << "nothing raised";
    } catch (const zt::ERASError& e) {
        EXPECT_EQ(e.Message(), "");
    }
    EXPECT_EQ(ras->LastError(), 610u);
    EXPECT_EQ(zt::ERASError(600).Message(), "");
}

} // namespace
