#include "testserver.h"

#include <winsock2.h>
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <stdexcept>

namespace rztest {

namespace {

using Clock = std::chrono::steady_clock;

const std::size_t kPeriod = 65521;
const std::size_t kBlock = 64 * 1024;
const int kLineWaitMs = 5000; // longest wait for the client's query line
const int kHoldMs = 30000;    // Silent: longest hold of a connection
const int kDrainMs = 5000;    // longest wait for the client to close after the answer

SOCKET Native(std::uintptr_t s) { return static_cast<SOCKET>(s); }

// Waits at most `milliseconds` until the socket can be read (or written).
bool Ready(SOCKET s, bool forWrite, int milliseconds)
{
    fd_set set;
    FD_ZERO(&set);
    FD_SET(s, &set);
    timeval wait = {milliseconds / 1000, (milliseconds % 1000) * 1000};
    return (forWrite ? select(0, nullptr, &set, nullptr, &wait) : select(0, &set, nullptr, nullptr, &wait)) > 0;
}

int Elapsed(Clock::time_point since)
{
    return static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since).count());
}

} // namespace

std::string GeneratedBytes(std::size_t offset, std::size_t count)
{
    static const std::string table = [] {
        std::string bytes(kPeriod, '\0');
        std::uint32_t state = 0x2545F491u;
        for (char& byte : bytes) {
            state = state * 1664525u + 1013904223u;
            byte = static_cast<char>(state >> 24);
        }
        return bytes;
    }();
    std::string bytes;
    bytes.reserve(count);
    while (bytes.size() < count) {
        const std::size_t at = (offset + bytes.size()) % kPeriod;
        bytes.append(table, at, std::min(kPeriod - at, count - bytes.size()));
    }
    return bytes;
}

std::string HttpAnswer(const std::string& status, const std::string& body,
                       const std::string& headers, long long length)
{
    return "HTTP/1.1 " + status + "\r\nContent-Type: application/rdap+json\r\nContent-Length: "
           + std::to_string(length < 0 ? static_cast<long long>(body.size()) : length)
           + "\r\nConnection: close\r\n" + headers + "\r\n" + body;
}

TestServer::TestServer(const ServerOptions& options) : options_(options)
{
    WSADATA data;
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0)
        throw std::runtime_error("test server: WSAStartup failed");
    SOCKET listener = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof address;
    const bool bound = listener != INVALID_SOCKET
                       && ::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0
                       && getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) == 0;
    port_ = ntohs(address.sin_port);
    // Refuse: the port was free a moment ago and nothing listens on it now.
    if (!bound || options_.script == Script::Refuse || ::listen(listener, 16) != 0) {
        closesocket(listener);
        if (bound && options_.script == Script::Refuse)
            return;
        WSACleanup();
        throw std::runtime_error("test server: cannot listen on 127.0.0.1");
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
    WSACleanup();
}

bool TestServer::WaitFinished(int count, int milliseconds) const
{
    std::unique_lock<std::mutex> lock(mutex_);
    return finishedChanged_.wait_for(lock, std::chrono::milliseconds(milliseconds),
                                     [&] { return static_cast<int>(received_.size()) >= count; });
}

std::vector<std::string> TestServer::Received() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return received_;
}

void TestServer::Run()
{
    while (!stop_) {
        if (!Ready(Native(listener_), false, 100))
            continue;
        SOCKET connection = accept(Native(listener_), nullptr, nullptr);
        if (connection == INVALID_SOCKET)
            continue;
        active_ = connection;
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
    BOOL noDelay = TRUE; // each piece in a segment of its own
    setsockopt(connection, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&noDelay), sizeof noDelay);
    Read(socket, received, kLineWaitMs, "\r\n");
    const std::string reply = options_.respond ? options_.respond(received) : std::string();
    const std::string& answer = options_.respond ? reply : options_.answer;
    if (options_.script != Script::Answer) {
        SendAll(socket, answer.data(), std::min(options_.partSize, answer.size()));
        if (options_.script == Script::Silent)
            return Read(socket, received, kHoldMs);
        Pause(options_.resetDelayMs);
        Read(socket, received, 0);
        // Closing with a zero linger time resets the connection.
        linger abort = {1, 0};
        setsockopt(connection, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&abort), sizeof abort);
        return;
    }
    const std::size_t piece = options_.pieceSize ? options_.pieceSize : answer.size();
    for (std::size_t i = 0; i < answer.size(); i += piece)
        if (!SendAll(socket, answer.data() + i, std::min(piece, answer.size() - i)) || !Pause(options_.pieceDelayMs))
            break;
    // The answer is complete: the end of it is our close. Whatever else the client
    // sends until it closes too is recorded.
    shutdown(connection, SD_SEND);
    Read(socket, received, kDrainMs);
}

// Records what comes until `end` (when given) has come, the client closes or the
// time has passed.
void TestServer::Read(Socket socket, std::string& received, int milliseconds, const char* end)
{
    const auto start = Clock::now();
    char buffer[4096];
    while (!stop_ && (end == nullptr || received.find(end) == std::string::npos)) {
        const int left = milliseconds - Elapsed(start);
        if (!Ready(Native(socket), false, std::clamp(left, 0, 100))) {
            if (left <= 0)
                return;
            continue;
        }
        const int n = recv(Native(socket), buffer, sizeof buffer, 0);
        if (n <= 0)
            return;
        received.append(buffer, static_cast<std::size_t>(n));
    }
}

bool TestServer::SendAll(Socket socket, const char* data, std::size_t size)
{
    for (std::size_t sent = 0; sent < size;) {
        if (stop_)
            return false;
        if (!Ready(Native(socket), true, 100))
            continue;
        const int n = ::send(Native(socket), data + sent, static_cast<int>(std::min(size - sent, kBlock)), 0);
        if (n == SOCKET_ERROR)
            return false;
        sent += static_cast<std::size_t>(n);
    }
    return true;
}

bool TestServer::Pause(int milliseconds)
{
    for (const auto start = Clock::now(); !stop_;) {
        const int left = milliseconds - Elapsed(start);
        if (left <= 0)
            return true;
        Sleep(static_cast<DWORD>(std::min(left, 20)));
    }
    return false;
}

} // namespace rztest
