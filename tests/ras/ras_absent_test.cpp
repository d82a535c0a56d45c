// The dial-up component where RAS or some of its functions are absent: no library at
// all (RAS_LIBRARY 0), Wine's own rasapi32.dll, which knows no phone-book entries and
// no connections (1), or the stand-in built without RasSetEntryDialParamsA,
// RasHangUpA, RasGetProjectionInfoA and RasGetErrorStringA (2). Each absence is quiet.
#include <gtest/gtest.h>
#include <windows.h>

#include <memory>
#include <tuple>

#include "ras/ztRasCmp.h"
#include "ras_support.h"

namespace {

TEST(RasAbsent, MissingLibraryOrFunctionsLeaveTheComponentQuietlyDoingNothing)
{
    HMODULE library = LoadLibraryA("rasapi32.dll");
    FakeRasControl* fake = Fake();
    ASSERT_EQ(std::tuple(library != nullptr, fake != nullptr), std::tuple(RAS_LIBRARY != 0, RAS_LIBRARY == 2));
    if (fake != nullptr) {
        ASSERT_EQ(GetProcAddress(library, "RasHangUpA"), nullptr);
        *fake = {.entries = {"Home", "Office"}, .connections = {{"Home", 0x111, "10.1.1.1"}}, .script = {{0x2000, 0}}};
    }
    std::unique_ptr<zt::TztRas> ras;
    EXPECT_EQ(ErrorBoxText([&] { ras = std::make_unique<zt::TztRas>(nullptr); }), "");
    EXPECT_EQ(ErrorBoxText([&] { ras->SetService("Office"); }) + " => " + ras->Service(),
              RAS_LIBRARY == 2 ? " => Office" : "TztRas component was unable to detect\rRAS on your system. => ");
    // No projection to ask: not connected. Nothing to store a password with: no dial.
    ras->ForceService = false;
    ras->Connect();
    EXPECT_EQ(std::tuple(ras->LinkUp(), ras->Dialled(), ras->ConnHandle()),
              std::tuple(RAS_LIBRARY != 2, false, INVALID_HANDLE_VALUE));
    EXPECT_STREQ(fake ? fake->log : "", RAS_LIBRARY == 2 ? "EnumEntries 25 | EnumEntries 25 | EnumConnections 10" : "");
    // Service empty: the link counts as up. Without RasHangUpA it stays so.
    ras->SetService("");
    ras->Connect();
    ras->Disconnect();
    EXPECT_EQ(ras->LinkUp(), RAS_LIBRARY != 1);
    // The error text comes from the library when it has the function.
    EXPECT_EQ(zt::ERASError(633).Message().empty(), RAS_LIBRARY != 1);
}

} // namespace
