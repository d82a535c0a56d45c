// The dial-up component where RAS is absent: either Wine's own rasapi32.dll, which
// knows no phone-book entries and no connections, or no library at all. The
// component then quietly does nothing.
#include <gtest/gtest.h>
#include <windows.h>

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
        EXPECT_EQ(GetProcAddress(library, "FakeRas_Reset"), nullptr) << "not Wine's own library";
        FreeLibrary(library);
    }
}

TEST(RasAbsent, ComponentQuietlyDoesNothing)
{
    int disconnected = 0;
    std::unique_ptr<zt::TztRas> ras;
    auto boxes = rastest::BoxesDuring([&] { ras = std::make_unique<zt::TztRas>(nullptr); });
    EXPECT_TRUE(boxes.empty());
    ras->OnDisconnected = [&](zt::Component*) { ++disconnected; };
    EXPECT_EQ(ras->Entries().Count(), 0);
    EXPECT_EQ(ras->GetEntries().Count(), 0);
    EXPECT_FALSE(ras->RasAvailable());
    EXPECT_FALSE(ras->IsConnected());

    // Service empty: the link counts as up, nothing is dialled.
    EXPECT_NO_THROW(ras->Connect());
    EXPECT_TRUE(ras->LinkUp());
    EXPECT_FALSE(ras->Dialled());
    EXPECT_NO_THROW(ras->Disconnect());
    EXPECT_EQ(disconnected, 0);
    // Without the library HangUp is not found and changes nothing.
    EXPECT_EQ(ras->LinkUp(), RAS_LIBRARY_PRESENT == 0);

    ras->ForceService = false;
    EXPECT_NO_THROW(ras->Connect());
    EXPECT_FALSE(ras->Dialled());
}

TEST(RasAbsent, SettingAServiceSaysRasIsNotThere)
{
    zt::TztRas ras(nullptr);
    auto boxes = rastest::BoxesDuring([&] { ras.SetService("Office"); });
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, "Error");
    EXPECT_EQ(boxes[0].text, "TztRas component was unable to detect\rRAS on your system.");
    EXPECT_TRUE(boxes[0].errorIcon);
    EXPECT_EQ(ras.Service(), "");
    EXPECT_TRUE(rastest::BoxesDuring([&] { ras.SetService(""); }).empty());
}

TEST(RasAbsent, ErrorTextComesFromTheLibraryWhenThereIsOne)
{
    std::string text = zt::ERASError(633).Message();
    if (RAS_LIBRARY_PRESENT)
        EXPECT_FALSE(text.empty());
    else
        EXPECT_EQ(text, "");
}

} // namespace
