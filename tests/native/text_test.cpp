// Text helpers, input/output error texts and the message texts.
#include <gtest/gtest.h>

#include "classes/component.h"
#include "classes/dispatch.h"
#include "classes/streams.h"
#include "classes/sysutils.h"
#include "socket/ztsockerr.h"

namespace {

TEST(Text, TrimRemovesControlBytesAndBlanksOnly)
{
    EXPECT_EQ(zt::Trim(std::string("\x00\x1F \tab c\x20\x01", 9)), "ab c");
    EXPECT_EQ(zt::Trim("\x7F" "a\xA0"), "\x7F" "a\xA0");
    EXPECT_EQ(zt::Trim("   "), "");
    EXPECT_EQ(zt::LowerAscii("AZaz@[`{\xC0\xDE"), "azaz@[`{\xC0\xDE");
}

TEST(Text, ErrorBoxAppendsAFullStopAfterCharactersAbove0x2E)
{
    EXPECT_EQ(zt::ErrorBoxText("Winsock not found"), "Winsock not found.");
    EXPECT_EQ(zt::ErrorBoxText("[10013] Permission denied."), "[10013] Permission denied.");
    EXPECT_EQ(zt::ErrorBoxText("Done-"), "Done-");   // 0x2D
    EXPECT_EQ(zt::ErrorBoxText("Path/"), "Path/.");  // 0x2F
    EXPECT_EQ(zt::ErrorBoxText("I/O error 32"), "I/O error 32.");
    EXPECT_EQ(zt::ErrorBoxText(""), "");
}

TEST(Text, InOutErrorTexts)
{
    EXPECT_EQ(zt::EInOutError(2).Message(), "File not found");
    EXPECT_EQ(zt::EInOutError(3).Message(), "Invalid filename");
    EXPECT_EQ(zt::EInOutError(4).Message(), "Too many open files");
    EXPECT_EQ(zt::EInOutError(5).Message(), "File access denied");
    EXPECT_EQ(zt::EInOutError(32).Message(), "I/O error 32");
    EXPECT_EQ(zt::EInOutError(32).ErrorCode(), 32);
    EXPECT_EQ(zt::EFCreateError("Results.Log").Message(), "Cannot create file Results.Log");
    EXPECT_EQ(zt::EFOpenError("C:\\x\\help.txt").Message(), "Cannot open file C:\\x\\help.txt");
    EXPECT_EQ(zt::EReadError().Message(), "Stream read error");
}

TEST(Messages, TextsForCodes)
{
    EXPECT_EQ(zt::TextForCode(10061), "[10061] Connection refused");
    EXPECT_EQ(zt::TextForCode(10000), "[0] No Error");
    EXPECT_EQ(zt::TextForCode(57002), "Server property is required");
    EXPECT_EQ(zt::TextForCode(12345), "Error #12345");
    EXPECT_EQ(zt::TextForCode(10001), "Error #10001");
    EXPECT_EQ(zt::LoadMessage(10001), "");
    EXPECT_EQ(zt::EWinsockDLLError(57010, "WSAAsyncSelect").Message(),
              "Function WSAAsyncSelect not found");
    EXPECT_STREQ(zt::ETimedOutError().what(), "Operation timed out");
    EXPECT_STREQ(zt::ECanceledError().what(), "Operation has been canceled");
}

TEST(MemoryStream, WritesReadsAndPositions)
{
    zt::MemoryStream stream;
    std::string big(100000, 'b');
    big[5] = '\0';
    stream.Write(big.data(), big.size());
    stream.Write("tail", 4);
    EXPECT_EQ(stream.Size(), big.size() + 4);
    stream.SetPosition(big.size() - 2);
    char out[10] = {};
    EXPECT_EQ(stream.Read(out, sizeof out), 6u);
    EXPECT_EQ(std::string(out, 6), "bbtail");
    EXPECT_EQ(stream.ToString().substr(0, 6), std::string("bbbbb\0", 6));
    stream.SetPosition(2);
    stream.Write("XY", 2); // overwrites in place
    EXPECT_EQ(stream.Size(), big.size() + 4);
    EXPECT_EQ(stream.ToString().substr(0, 5), "bbXYb");
    stream.Clear();
    EXPECT_EQ(stream.Size(), 0u);
    EXPECT_EQ(stream.Position(), 0u);
    EXPECT_EQ(stream.Read(out, 1), 0u);
}

TEST(StringList, TextEndsEveryLineWithCrLf)
{
    zt::StringList list;
    EXPECT_EQ(list.Text(), "");
    list.Add("one");
    list.Add("");
    EXPECT_EQ(list.Text(), "one\r\n\r\n");
    EXPECT_EQ(list.IndexOf(""), 1);
}

// Records every notice it is given.
class Probe : public zt::Component {
public:
    Probe(zt::Component* owner, std::vector<std::string>* log, std::string name)
        : Component(owner), log_(log) { SetName(std::move(name)); }
    ~Probe() override { log_->push_back("free " + Name()); }
    std::string stored;

protected:
    void Notification(zt::Component* component, zt::Operation operation) override
    {
        if (operation == zt::Operation::Remove && component != this)
            log_->push_back(Name() + " sees " + component->Name() + " go");
    }
    void ReadProperty(const std::string& name, const std::string& value) override
    {
        if (name == "Stored")
            stored = value;
        else
            Component::ReadProperty(name, value);
    }

private:
    std::vector<std::string>* log_;
};

TEST(Component, OwnerFreesWhatItOwnsAndSiblingsHearOfRemovals)
{
    std::vector<std::string> log;
    auto* owner = new Probe(nullptr, &log, "form");
    auto* a = new Probe(owner, &log, "a");
    new Probe(owner, &log, "b");
    EXPECT_EQ(owner->ComponentCount(), 2);
    delete a;
    EXPECT_EQ(owner->ComponentCount(), 1);
    EXPECT_EQ(log, (std::vector<std::string>{"free a", "form sees a go", "b sees a go"}));
    log.clear();
    delete owner;
    EXPECT_EQ(log, (std::vector<std::string>{"free form", "free b"}));
}

TEST(Component, FreeNotificationReachesComponentsOfOtherOwners)
{
    std::vector<std::string> log;
    Probe watcher(nullptr, &log, "watcher");
    auto* watched = new Probe(nullptr, &log, "watched");
    watcher.FreeNotification(watched);
    delete watched;
    EXPECT_EQ(log, (std::vector<std::string>{"free watched", "watcher sees watched go"}));
}

TEST(Component, StoredPropertiesAreAppliedInOrderAndUnknownOnesRaise)
{
    std::vector<std::string> log;
    Probe probe(nullptr, &log, "p");
    probe.ApplyStoredProperties({{"Stored", "1"}, {"Stored", "2"}});
    EXPECT_EQ(probe.stored, "2");
    EXPECT_THROW(probe.ApplyStoredProperties({{"Missing", "x"}}), zt::Exception);
    EXPECT_FALSE(probe.Loading());
}

TEST(Dispatch, GuardedParksTheFirstExceptionAndRethrowClearsIt)
{
    int result = zt::Guarded<int>(-1, []() -> int { throw zt::ECanceledError(); });
    EXPECT_EQ(result, -1);
    zt::Guarded<int>(-1, []() -> int { throw std::runtime_error("second"); });
    EXPECT_TRUE(zt::HasParkedException());
    EXPECT_THROW(zt::RethrowParked(), zt::ECanceledError);
    EXPECT_FALSE(zt::HasParkedException());
    EXPECT_NO_THROW(zt::RethrowParked());
}

} // namespace
