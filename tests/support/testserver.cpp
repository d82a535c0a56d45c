#include "testserver.h"

#include <winsock2.h>
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <stdexcept>

namespace rztest {

namespace {

using Clock = std::chrono::steady_clock;

// The generated answer repeats a pseudo-random table whose length is a prime, so a
// lost, doubled or misplaced block of any power-of-two size shows.
const std::size_t kPeriod = 65521;
const std::size_t kBlock = 64 * 1024;

const std::vector<char>& PatternTable()
{
    static const std::vector<char> table = [] {
        std::vector<char> bytes(kPeriod + kBlock);
        std::uint32_t state = 0x2545F491u;
        for (std::size_t i = 0; i < kPeriod; ++i) {
            state = state * 1664525u + 1013904223u;
            bytes[i] = static_cast<char>(state >> 24);
        }
        for (std::size_t i = 0; i < kBlock; ++i)
            bytes[kPeriod + i] = bytes[i];
        return bytes;
    }();
    return table;
}

SOCKET Native(std::uintptr_t s) { return static_cast<SOCKET>(s); }

// Waits at most `milliseconds` until the socket can be read (or written).
bool Ready(SOCKET s, bool forWrite, int milliseconds)
{
    fd_set set;
    FD_ZERO(&set);
    FD_SET(s, &set);
    timeval wait = {milliseconds / 1000, (milliseconds % 1000) * 1000};
    int n = forWrite ? select(0, nullptr, &set, nullptr, &wait)
                     : select(0, &set, nullptr, nullptr, &wait);
    return n > 0;
}

int Elapsed(Clock::time_point since)
{
    return static_cast<int>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since).count());
}

} // namespace

char GeneratedByte(std::size_t index) { return PatternTable()[index % kPeriod]; }

std::string GeneratedBytes(std::size_t offset, std::size_t count)
{
    std::string bytes;
    bytes.reserve(count);
    for (std::size_t i = 0; i < count; ++i)
        bytes.push_back(GeneratedByte(offset + i));
    return bytes;
}

TestServer::TestServer(Script script, std::string answer)
    : TestServer([&] {
          ServerOptions options;
          options.script = script;
          options.answer = std::move(answer);
          return options;
      }())
{
}

TestServer::TestServer(const ServerOptions& options) : options_(options)
{
    WSADATA data;
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0)
        throw std::runtime_error("test server: WSAStartup failed");
    started_ = true;

    SOCKET listener = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (listener == INVALID_SOCKET)
        throw std::runtime_error("test server: no socket");
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    int length = sizeof address;
    if (::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0
        || getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        closesocket(listener);
        WSACleanup();
        throw std::runtime_error("test server: cannot bind 127.0.0.1");
    }
    port_ = ntohs(address.sin_port);

    if (options_.script == Script::Refuse) {
        // The port was free a moment ago and nothing listens on it now.
        closesocket(listener);
        return;
    }
    if (::listen(listener, 16) != 0) {
        closesocket(listener);
        WSACleanup();
        throw std::runtime_error("test server: cannot listen");
    }
    listener_ = listener;
    thread_ = std::thread([this] { Run(); });
}

TestServer::~TestServer()
{
    stop_ = true;
    {
        // A blocking send to a client that neither reads nor closes ends here.
        std::lock_guard<std::mutex> lock(mutex_);
        if (active_ != kNoSocket)
            shutdown(Native(active_), SD_BOTH);
    }
    if (thread_.joinable())
        thread_.join();
    if (listener_ != kNoSocket)
        closesocket(Native(listener_));
    if (started_)
        WSACleanup();
}

std::string HttpAnswer(const std::string& status, const std::string& body,
                       const std::string& headers, long long length)
{
    return "HTTP/1.1 " + status + "\r\nContent-Type: application/rdap+json\r\nContent-Length: "
           + std::to_string(length < 0 ? static_cast<long long>(body.size()) : length)
           + "\r\nConnection: close\r\n" + headers + "\r\n" + body;
}

std::string TestServer::Address() const { return "127.0.0.1:" + std::to_string(port_); }

int TestServer::Finished() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return static_cast<int>(received_.size());
}

bool TestServer::WaitFinished(int count, int milliseconds) const
{
    std::unique_lock<std::mutex> lock(mutex_);
    return finishedChanged_.wait_for(lock, std::chrono::milliseconds(milliseconds), [&] {
        return static_cast<int>(received_.size()) >= count;
    });
}

std::vector<std::string> TestServer::Received() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return received_;
}

std::string TestServer::LastReceived() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return received_.empty() ? std::string() : received_.back();
}

void TestServer::Run()
{
    SOCKET listener = Native(listener_);
    while (!stop_) {
        if (!Ready(listener, false, 100))
            continue;
        SOCKET connection = accept(listener, nullptr, nullptr);
        if (connection == INVALID_SOCKET)
            continue;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            active_ = connection;
        }
        std::string received;
        Serve(connection, received);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            active_ = kNoSocket;
            closesocket(connection);
            received_.push_back(std::move(received));
        }
        finishedChanged_.notify_all();
    }
}

void TestServer::Serve(Socket socket, std::string& received)
{
    SOCKET connection = Native(socket);
    const std::string& answer = options_.answer;
    const std::string part = answer.substr(0, std::min(options_.partSize, answer.size()));
    const char* data = answer.data();

    switch (options_.script) {
    case Script::Answer: {
        ReadLine(socket, received);
        const std::string reply = options_.respond ? options_.respond(received) : answer;
        SendAll(socket, reply.data(), reply.size());
        break;
    }
    case Script::Chunks: {
        BOOL noDelay = TRUE;
        setsockopt(connection, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&noDelay),
                   sizeof noDelay);
        ReadLine(socket, received);
        for (std::size_t i = 0; i < answer.size(); ++i)
            if (!SendAll(socket, data + i, 1) || !Pause(options_.chunkDelayMs))
                break;
        break;
    }
    case Script::Trickle:
        ReadLine(socket, received);
        for (std::size_t i = 0; i < answer.size(); i += options_.trickleSize) {
            if (!Pause(options_.trickleDelayMs))
                break;
            if (!SendAll(socket, data + i, std::min(options_.trickleSize, answer.size() - i)))
                break;
        }
        break;
    case Script::Huge:
        ReadLine(socket, received);
        SendGenerated(socket, options_.hugeSize);
        break;
    case Script::CloseSilently:
        ReadLine(socket, received);
        break;
    case Script::ResetAfterPart: {
        ReadLine(socket, received);
        SendAll(socket, part.data(), part.size());
        Pause(options_.resetDelayMs);
        Drain(socket, received, 0);
        // Closing with a zero linger time resets the connection.
        linger abort = {1, 0};
        setsockopt(connection, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&abort),
                   sizeof abort);
        return;
    }
    case Script::Silent:
        ReadLine(socket, received);
        Drain(socket, received, options_.holdMs);
        return;
    case Script::StallAfterPart:
        ReadLine(socket, received);
        SendAll(socket, part.data(), part.size());
        Drain(socket, received, options_.holdMs);
        return;
    case Script::Refuse:
        return;
    case Script::Http: {
        ReadLine(socket, received, "\r\n\r\n");
        const std::string reply = options_.respond(received);
        SendAll(socket, reply.data(), reply.size());
        break;
    }
    }
    // The answer is complete: the end of it is our close. Whatever else the client
    // sends until it closes too is recorded.
    shutdown(connection, SD_SEND);
    Drain(socket, received, options_.drainMs);
}

bool TestServer::ReadLine(Socket socket, std::string& received, const char* end)
{
    SOCKET connection = Native(socket);
    const auto start = Clock::now();
    char buffer[4096];
    while (!stop_ && received.find(end) == std::string::npos) {
        int left = options_.lineWaitMs - Elapsed(start);
        if (left <= 0)
            return false;
        if (!Ready(connection, false, std::min(left, 100)))
            continue;
        int n = recv(connection, buffer, sizeof buffer, 0);
        if (n <= 0)
            return false;
        received.append(buffer, static_cast<std::size_t>(n));
    }
    return !stop_;
}

void TestServer::Drain(Socket socket, std::string& received, int milliseconds)
{
    SOCKET connection = Native(socket);
    const auto start = Clock::now();
    char buffer[4096];
    for (;;) {
        if (stop_)
            return;
        int left = milliseconds - Elapsed(start);
        if (!Ready(connection, false, std::max(0, std::min(left, 100)))) {
            if (left <= 0)
                return;
            continue;
        }
        int n = recv(connection, buffer, sizeof buffer, 0);
        if (n <= 0)
            return;
        received.append(buffer, static_cast<std::size_t>(n));
    }
}

bool TestServer::SendAll(Socket socket, const char* data, std::size_t size)
{
    SOCKET connection = Native(socket);
    std::size_t sent = 0;
    while (sent < size) {
        if (stop_)
            return false;
        if (!Ready(connection, true, 100))
            continue;
        int count = static_cast<int>(std::min(size - sent, kBlock));
        int n = ::send(connection, data + sent, count, 0);
        if (n == SOCKET_ERROR)
            return false;
        sent += static_cast<std::size_t>(n);
    }
    return true;
}

bool TestServer::SendGenerated(Socket socket, std::size_t size)
{
    const std::vector<char>& table = PatternTable();
    std::size_t sent = 0;
    while (sent < size) {
        std::size_t count = std::min(size - sent, kBlock);
        if (!SendAll(socket, table.data() + sent % kPeriod, count))
            return false;
        sent += count;
    }
    return true;
}

bool TestServer::Pause(int milliseconds)
{
    const auto start = Clock::now();
    while (!stop_) {
        int left = milliseconds - Elapsed(start);
        if (left <= 0)
            return true;
        Sleep(static_cast<DWORD>(std::min(left, 20)));
    }
    return false;
}

} // namespace rztest
