// The dial-up component where RAS is absent: either Wine's own rasapi32.dll, which
// knows no phone-book entries and no connections, or no library at all. The
// component then quietly does nothing.
#include <gtest/gtest.h>
#include <windows.h>

#include <memory>
#include <string>

#include "ras/ztRasCmp.h"
#include "ras_support.h"

#ifndef RAS_LIBRARY_PRESENT
#error "RAS_LIBRARY_PRESENT must be 0 or 1"
#endif

namespace {

TEST(RasAbsent, TheLibraryIsAsThisProgramExpects)
{
    HMODULE library = LoadLibraryA("rasapi32.dll");
    EXPECT_EQ(library != nullptr, RAS_LIBRARY_PRESENT != 0);
    if (library != nullptr) {
        EXPECT_EQ(GetProcAddress(library, "FakeRas_Control"), nullptr) << "not Wine's own library";
        FreeLibrary(library);
    }
}

TEST(RasAbsent, ComponentQuietlyDoesNothing)
{
    std::unique_ptr<zt::TztRas> ras;
    EXPECT_EQ(rastest::ErrorBoxText([&] { ras = std::make_unique<zt::TztRas>(nullptr); }), "");
    EXPECT_EQ(ras->GetEntries().Count(), 0);
    EXPECT_FALSE(ras->RasAvailable());
    EXPECT_FALSE(ras->IsConnected());

    // Service empty: the link counts as up, nothing is dialled.
    EXPECT_NO_THROW(ras->Connect());
    EXPECT_TRUE(ras->LinkUp());
    EXPECT_FALSE(ras->Dialled());
    // Without the library HangUp is not found and changes nothing.
    EXPECT_NO_THROW(ras->Disconnect());
    EXPECT_EQ(ras->LinkUp(), RAS_LIBRARY_PRESENT == 0);

    // The error text comes from the library when there is one.
    EXPECT_EQ(zt::ERASError(633).Message().empty(), RAS_LIBRARY_PRESENT == 0);
}

TEST(RasAbsent, SettingAServiceSaysRasIsNotThere)
{
    zt::TztRas ras(nullptr);
    EXPECT_EQ(rastest::ErrorBoxText([&] { ras.SetService("Office"); }),
              "TztRas component was unable to detect\rRAS on your system.");
    EXPECT_EQ(ras.Service(), "");
    EXPECT_EQ(rastest::ErrorBoxText([&] { ras.SetService(""); }), "");
}

} // namespace
