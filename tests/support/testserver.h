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

enum class Script {
    Answer,         // reads the query line, sends the answer (or what respond returns), closes
    Chunks,         // the same, the answer one byte per segment
    Trickle,        // the same, the answer in small pieces with pauses between them
    Huge,           // the same, a generated answer of HugeSize bytes
    CloseSilently,  // reads the query line, closes without sending anything
    ResetAfterPart, // sends the first PartSize bytes of the answer, then resets
    Silent,         // reads the query line, never sends, keeps the connection open
    StallAfterPart, // sends the first PartSize bytes, then keeps the connection open
    Refuse,         // nothing listens: a connection to Port() is refused
    Http,           // reads a request's head, sends what respond returns, closes
};


struct ServerOptions {
    Script script = Script::Answer;
    std::string answer = "No match for the query.\r\n";
    std::size_t hugeSize = 100u << 20;
    std::size_t partSize = 0;     // ResetAfterPart, StallAfterPart
    int chunkDelayMs = 2;         // Chunks: pause after each byte
    std::size_t trickleSize = 16; // Trickle: bytes per piece
    int trickleDelayMs = 150;     // Trickle: pause after each piece
    int resetDelayMs = 300;       // ResetAfterPart: pause between the part and the reset
    int holdMs = 30000;           // Silent, StallAfterPart: longest hold of a connection
    int lineWaitMs = 5000;        // longest wait for the client's query line
    int drainMs = 5000;           // longest wait for the client to close after the answer
    std::function<std::string(const std::string& request)> respond = nullptr; // Answer, Http
};

// An HTTP/1.1 answer that closes the connection, with the given status line's code
// and reason, extra header lines (each ended by CR LF) and body; `length` other
// than the body's size announces a body that is cut short.
std::string HttpAnswer(const std::string& status, const std::string& body,
                       const std::string& headers = "", long long length = -1);

// The bytes of the generated answer: byte i of it, and a run of it.
char GeneratedByte(std::size_t index);
std::string GeneratedBytes(std::size_t offset, std::size_t count);

class TestServer {
public:
    explicit TestServer(const ServerOptions& options);
    explicit TestServer(Script script, std::string answer = "No match for the query.\r\n");
    ~TestServer();
    TestServer(const TestServer&) = delete;
    TestServer& operator=(const TestServer&) = delete;

    std::uint16_t Port() const noexcept { return port_; }
    // "127.0.0.1:PORT"
    std::string Address() const;

    // Connections whose script has ended.
    int Finished() const;
    // Waits at most the given time until `count` connections have ended.
    bool WaitFinished(int count, int milliseconds) const;
    // What the client sent on each ended connection, in order.
    std::vector<std::string> Received() const;
    // What the client sent on the last ended connection; empty when none has ended.
    std::string LastReceived() const;

private:
    using Socket = std::uintptr_t; // a ws2_32 SOCKET
    static constexpr Socket kNoSocket = ~Socket(0);

    void Run();
    void Serve(Socket connection, std::string& received);
    bool ReadLine(Socket connection, std::string& received, const char* end = "\r\n");
    void Drain(Socket connection, std::string& received, int milliseconds);
    bool SendAll(Socket connection, const char* data, std::size_t size);
    bool SendGenerated(Socket connection, std::size_t size);
    bool Pause(int milliseconds);

    ServerOptions options_;
    Socket listener_ = kNoSocket;
    std::uint16_t port_ = 0;
    bool started_ = false;
    std::atomic<bool> stop_{false};
    std::atomic<Socket> active_{kNoSocket};
    std::thread thread_;
    mutable std::mutex mutex_;
    mutable std::condition_variable finishedChanged_;
    std::vector<std::string> received_;
};

} // namespace rztest
