// Text helpers, error texts, memory streams, components and exception parking.
#include <gtest/gtest.h>

#include "classes/component.h"
#include "classes/dispatch.h"
#include "classes/streams.h"
#include "classes/sysutils.h"
#include "socket/ztsockerr.h"

namespace {

TEST(Text, TrimLowerAsciiTheErrorBoxsFullStopAndErrorTexts)
{
    // The error box adds a full stop after a last character above 0x2E. The last two
    // texts come from the message table of this build, which has none for 10001.
    const std::vector<std::string> texts = {
        zt::Trim(std::string("\x00\x1F \tab c\x20\x01", 9)), zt::Trim("\x7F" "a\xA0"), zt::Trim("   "),
        zt::LowerAscii("AZaz@[`{\xC0\xDE"), zt::ErrorBoxText("Denied."), zt::ErrorBoxText("Done-"),
        zt::ErrorBoxText("Path/"), zt::ErrorBoxText(""), zt::EInOutError(4).Message(), zt::EInOutError(5).Message(),
        zt::EReadError().Message(), zt::EFCreateError("Results.Log").Message(), zt::EFOpenError("C:\\x").Message(),
        zt::TextForCode(10061), zt::TextForCode(10001)};
    EXPECT_EQ(texts, (std::vector<std::string>{
        "ab c", "\x7F" "a\xA0", "", "azaz@[`{\xC0\xDE", "Denied.", "Done-", "Path/.", "", "Too many open files",
        "File access denied", "Stream read error", "Cannot create file Results.Log", "Cannot open file C:\\x",
        "[10061] Connection refused", "Error #10001"}));
}

TEST(Text, WhichBytesAreShownAsUtf8AndWhichHaveControlCharacters)
{
    // UTF-8 with Cyrillic, CJK and an emoji; pure ASCII and Latin-1 bytes are not
    // shown as UTF-8; neither are overlong forms, surrogates, code points above
    // U+10FFFF or a sequence cut short.
    const std::pair<const char*, bool> texts[] = {
        {"\xD0\x9F\xD1\x80\xD0\xB8 \xE4\xB8\xAD \xF0\x9F\x98\x80", true}, {"M\xC3\xBCller", true},
        {"plain ascii\r\n", false}, {"M\xFCller \xE9tude", false}, {"\xC0\xAF", false},
        {"\xED\xA0\x80", false}, {"\xF4\x90\x80\x80", false}, {"ok \xE4\xB8", false}, {"\xBF", false},
    };
    for (auto [text, utf8] : texts)
        EXPECT_EQ(zt::IsMultibyteUtf8(text), utf8) << text;
    EXPECT_TRUE(zt::HasControlCharacter("a.te\nst"));
    EXPECT_TRUE(zt::HasControlCharacter("a\x7F"));
    EXPECT_FALSE(zt::HasControlCharacter("m\xC3\xBCnchen.de"));
}

TEST(MemoryStream, WritesInPlaceReadsToTheEndAndClears)
{
    zt::MemoryStream stream;
    stream.Write((std::string(5, 'b') + '\0' + std::string(99994, 'b')).data(), 100000);
    stream.SetPosition(2);
    stream.Write("XY", 2);  // overwrites in place; the next read goes on from there
    char out[8] = {};
    EXPECT_EQ(stream.Read(out, 3), 3u);
    EXPECT_EQ(std::string(out, 3) + stream.ToString().substr(0, 6) + std::to_string(stream.Size()),
              std::string("b\0bbbXYb\0", 9) + "100000");
    stream.SetPosition(99998);
    EXPECT_EQ(stream.Read(out, sizeof out), 2u) << "a read stops at the end";
    // Empty and at its start again.
    stream.Clear();
    stream.Write("z", 1);
    EXPECT_EQ(stream.ToString(), "z");
}

// Notes every removal notice it is given, every stored property and its end.
std::string seen;
struct Probe : zt::Component {
    Probe(zt::Component* owner, std::string name) : Component(owner) { SetName(std::move(name)); }
    ~Probe() override { seen += "free " + Name() + ", "; }
    void Notification(zt::Component* c, zt::Operation operation) override
    {
        seen += operation == zt::Operation::Remove && c != this ? Name() + " sees " + c->Name() + " go, " : "";
    }
    void ReadProperty(const std::string&, const std::string& v) override { seen += Name() + " reads " + v + ", "; }
};

TEST(Component, OwnershipRemovalNoticesAndStoredProperties)
{
    auto* owner = new Probe(nullptr, "form");
    auto* a = new Probe(owner, "a");
    new Probe(owner, "b");
    auto* watched = new Probe(nullptr, "watched");
    owner->FreeNotification(watched);
    delete a;
    delete watched;
    // Applied in order; a name that no class knows raises and leaves the loading state.
    owner->ApplyStoredProperties({{"Stored", "1"}, {"Stored", "2"}});
    zt::Component plain(nullptr);
    EXPECT_THROW(plain.ApplyStoredProperties({{"Missing", "x"}}), zt::Exception);
    EXPECT_FALSE(plain.Loading());
    delete owner;
    EXPECT_EQ(seen, "free a, form sees a go, b sees a go, free watched, form sees watched go, form reads 1, "
                    "form reads 2, free form, free b, ");
}

TEST(Dispatch, GuardedReturnsItsFallbackAndParksTheFirstException)
{
    EXPECT_EQ(zt::Guarded<int>(-1, []() -> int { throw zt::ECanceledError(); }), -1);
    zt::Guarded<int>(-1, []() -> int { throw std::runtime_error("second"); });
    EXPECT_THROW(zt::RethrowParked(), zt::ECanceledError);
}

} // namespace
