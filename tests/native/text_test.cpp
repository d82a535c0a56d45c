// Text helpers, error texts, memory streams, components and exception parking.
#include <gtest/gtest.h>

#include "classes/component.h"
#include "classes/dispatch.h"
#include "classes/streams.h"
#include "classes/sysutils.h"
#include "socket/ztsockerr.h"

namespace {

TEST(Text, TrimLowerAsciiAndTheErrorBoxsFullStop)
{
    EXPECT_EQ(zt::Trim(std::string("\x00\x1F \tab c\x20\x01", 9)), "ab c");
    EXPECT_EQ(zt::Trim("\x7F" "a\xA0"), "\x7F" "a\xA0");
    EXPECT_EQ(zt::Trim("   "), "");
    EXPECT_EQ(zt::LowerAscii("AZaz@[`{\xC0\xDE"), "azaz@[`{\xC0\xDE");
    // A full stop follows a last character above 0x2E.
    const std::pair<const char*, const char*> boxes[] = {
        {"Winsock not found", "Winsock not found."}, {"Denied.", "Denied."}, {"Done-", "Done-"},
        {"Path/", "Path/."}, {"I/O error 32", "I/O error 32."}, {"", ""},
    };
    for (auto [message, shown] : boxes)
        EXPECT_EQ(zt::ErrorBoxText(message), shown) << message;
}

TEST(Text, ErrorTexts)
{
    const std::pair<zt::Exception, const char*> errors[] = {
        {zt::EInOutError(2), "File not found"},      {zt::EInOutError(3), "Invalid filename"},
        {zt::EInOutError(4), "Too many open files"}, {zt::EInOutError(5), "File access denied"},
        {zt::EInOutError(32), "I/O error 32"},       {zt::EReadError(), "Stream read error"},
        {zt::EFCreateError("Results.Log"), "Cannot create file Results.Log"},
        {zt::EFOpenError("C:\\x\\help.txt"), "Cannot open file C:\\x\\help.txt"},
        // The message table of this build.
        {zt::EWinsockDLLError(57010, "WSAAsyncSelect"), "Function WSAAsyncSelect not found"},
        {zt::ESocketError(zt::TextForCode(10061)), "[10061] Connection refused"},
        {zt::ESocketError(zt::TextForCode(10001)), "Error #10001"}, // none in the table
    };
    for (const auto& [error, text] : errors)
        EXPECT_EQ(error.Message(), text);
}

TEST(MemoryStream, WritesReadsAndPositions)
{
    zt::MemoryStream stream;
    std::string big(100000, 'b');
    big[5] = '\0';
    stream.Write(big.data(), big.size());
    stream.SetPosition(2);
    stream.Write("XY", 2); // overwrites in place
    EXPECT_EQ(stream.Size(), big.size());
    char out[8] = {};
    EXPECT_EQ(stream.Read(out, 3), 3u);
    EXPECT_EQ(std::string(out, 3), std::string("b\0b", 3));
    stream.SetPosition(big.size() - 2);
    EXPECT_EQ(stream.Read(out, sizeof out), 2u) << "a read stops at the end";
    EXPECT_EQ(stream.ToString().substr(0, 6), std::string("bbXYb\0", 6));
    stream.Clear();
    EXPECT_EQ(stream.Read(out, 1), 0u);
    stream.Write("z", 1);
    EXPECT_EQ(stream.ToString(), "z");
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
        if (name != "Stored")
            Component::ReadProperty(name, value);
        stored = value;
    }

private:
    std::vector<std::string>* log_;
};

TEST(Component, OwnershipRemovalNoticesAndStoredProperties)
{
    std::vector<std::string> log;
    auto* owner = new Probe(nullptr, &log, "form");
    auto* a = new Probe(owner, &log, "a");
    new Probe(owner, &log, "b");
    auto* watched = new Probe(nullptr, &log, "watched");
    owner->FreeNotification(watched);
    delete a;
    delete watched;
    EXPECT_EQ(owner->ComponentCount(), 1);
    EXPECT_EQ(log, (std::vector<std::string>{"free a", "form sees a go", "b sees a go",
                                             "free watched", "form sees watched go"}));
    // Applied in order; an unknown one raises and leaves the loading state.
    owner->ApplyStoredProperties({{"Stored", "1"}, {"Stored", "2"}});
    EXPECT_EQ(owner->stored, "2");
    EXPECT_THROW(owner->ApplyStoredProperties({{"Missing", "x"}}), zt::Exception);
    EXPECT_FALSE(owner->Loading());
    log.clear();
    delete owner;
    EXPECT_EQ(log, (std::vector<std::string>{"free form", "free b"}));
}

TEST(Dispatch, GuardedParksTheFirstExceptionAndRethrowClearsIt)
{
    EXPECT_EQ(zt::Guarded<int>(-1, []() -> int { throw zt::ECanceledError(); }), -1);
    zt::Guarded<int>(-1, []() -> int { throw std::runtime_error("second"); });
    EXPECT_THROW(zt::RethrowParked(), zt::ECanceledError);
    EXPECT_FALSE(zt::HasParkedException());
    EXPECT_NO_THROW(zt::RethrowParked());
}

} // namespace
