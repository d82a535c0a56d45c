// A scripted TCP server on 127.0.0.1 for the networking tests and benchmarks.
//
// It listens on an ephemeral port, serves one connection after another on its own
// thread with blocking sockets of ws2_32 (never wsock32, so a replacement wsock32.dll
// in a test's directory does not touch it), follows its script for each connection
// and records exactly what the client sent on it. Every wait of the server is
// bounded; the destructor stops it and joins its thread. The header names no Winsock
// type, so it goes with either Winsock header.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace rztest {

// Each script first reads the query line (for HTTP, the request line; the rest of the
// head is recorded all the same).
enum class Script {
    Answer,         // sends the answer (or what respond returns), closes
    Silent,         // sends the first partSize bytes of it (none by default), keeps the connection open
    ResetAfterPart, // sends the first partSize bytes, then resets the connection
    Refuse,         // nothing listens: a connection to Port() is refused
};

struct ServerOptions {
    Script script = Script::Answer;
    std::string answer = "No match for the query.\r\n";
    std::size_t partSize = 0;  // Silent, ResetAfterPart
    std::size_t pieceSize = 0; // Answer: when not 0, sent in pieces of this size...
    int pieceDelayMs = 0;      // ...with this pause after each
    int resetDelayMs = 300;    // ResetAfterPart: pause between the part and the reset
    std::function<std::string(const std::string& request)> respond = nullptr;
};

// An HTTP/1.1 answer that closes the connection, with the given status line's code
// and reason, extra header lines (each ended by CR LF) and body; `length` other
// than the body's size announces a body that is cut short.
std::string HttpAnswer(const std::string& status, const std::string& body,
                       const std::string& headers = "", long long length = -1);

// A run of a long pseudo-random text whose period is a prime, so that a lost, doubled
// or misplaced block of any power-of-two size shows.
std::string GeneratedBytes(std::size_t offset, std::size_t count);

class TestServer {
public:
    explicit TestServer(const ServerOptions& options);
    explicit TestServer(Script script, std::string answer = "No match for the query.\r\n")
        : TestServer(ServerOptions{.script = script, .answer = std::move(answer)}) {}
    ~TestServer();
    TestServer(const TestServer&) = delete;
    TestServer& operator=(const TestServer&) = delete;

    std::uint16_t Port() const noexcept { return port_; }
    // "127.0.0.1:PORT"
    std::string Address() const { return "127.0.0.1:" + std::to_string(port_); }
    const std::string& Answer() const noexcept { return options_.answer; }

    // What the client sent on each connection whose script has ended, in order; the
    // number of them; the last one (empty when none has ended).
    std::vector<std::string> Received() const;
    int Finished() const { return static_cast<int>(Received().size()); }
    std::string LastReceived() const { return Finished() ? Received().back() : std::string(); }
    // Waits at most the given time until `count` connections have ended.
    bool WaitFinished(int count, int milliseconds) const;

private:
    using Socket = std::uintptr_t; // a ws2_32 SOCKET
    static constexpr Socket kNoSocket = ~Socket(0);

    void Run();
    void Serve(Socket connection, std::string& received);
    void Read(Socket connection, std::string& received, int milliseconds, const char* end = nullptr);
    bool SendAll(Socket connection, const char* data, std::size_t size);
    bool Pause(int milliseconds);

    ServerOptions options_;
    Socket listener_ = kNoSocket;
    std::uint16_t port_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<Socket> active_{kNoSocket};
    std::thread thread_;
    mutable std::mutex mutex_;
    mutable std::condition_variable finishedChanged_;
    std::vector<std::string> received_;
};

} // namespace rztest
