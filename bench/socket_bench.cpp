// The whois component receiving from the scripted server on 127.0.0.1, against
// baselines measured in the same run. Prints ratios; the targets:
//   cpu         process CPU time during a 10 s wait on a silent server, as a share of
//               the wall time: at most 1%
//   throughput  a 16 MiB answer received by Execute, against a plain blocking recv
//               loop (ws2_32, 8 KiB reads) on the same server: at least 80%
//   memory      the peak memory added while Execute receives 16 MiB, against the
//               answer's size: at most 2.5x (run it first in its process: peaks
//               never go down)
//   wine bench_socket.exe [memory|throughput|cpu|all] [rounds]
#include <winsock2.h>
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "testserver.h"
#include "whois/ztwhois.h"

namespace {

const std::size_t kAnswer = 16u << 20; // the longest answer the program takes

double Seconds()
{
    LARGE_INTEGER counter, frequency;
    QueryPerformanceCounter(&counter);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

double ProcessCpuSeconds()
{
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    auto value = [](const FILETIME& t) {
        return static_cast<double>((static_cast<unsigned long long>(t.dwHighDateTime) << 32)
                                   | t.dwLowDateTime)
               / 1e7;
    };
    return value(kernel) + value(user);
}

std::unique_ptr<zt::TztWhoIs> MakeWhois(const std::string& server, int timeOut)
{
    auto whois = std::make_unique<zt::TztWhoIs>(nullptr);
    whois->ApplyStoredProperties({{"WinsockLoaded", "True"}, {"DefaultPort", "43"}});
    whois->SetServer(server);
    whois->SetTimeOut(timeOut);
    whois->SetQuery("bench.test");
    return whois;
}

rztest::ServerOptions HugeAnswer() { return {.answer = rztest::GeneratedBytes(0, kAnswer)}; }

// The baseline: connect, send the line, blocking recv of 8 KiB until the close;
// with a stream, what comes is also appended to it, as the component does.
std::size_t PlainReceive(std::uint16_t port, zt::MemoryStream* stream = nullptr)
{
    SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    if (::connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        std::fprintf(stderr, "baseline: connect failed\n");
        std::exit(1);
    }
    const char line[] = "bench.test\r\n";
    ::send(s, line, sizeof line - 1, 0);
    static char buffer[8192];
    std::size_t total = 0;
    for (;;) {
        int n = ::recv(s, buffer, sizeof buffer, 0);
        if (n <= 0)
            break;
        total += static_cast<std::size_t>(n);
        if (stream != nullptr)
            stream->Write(buffer, static_cast<std::size_t>(n));
    }
    closesocket(s);
    return total;
}

int Memory()
{
    rztest::TestServer server(HugeAnswer());
    auto whois = MakeWhois(server.Address(), 30);
    PROCESS_MEMORY_COUNTERS before = {}, after = {};
    before.cb = after.cb = sizeof before;
    GetProcessMemoryInfo(GetCurrentProcess(), &before, sizeof before);
    whois->Execute();
    GetProcessMemoryInfo(GetCurrentProcess(), &after, sizeof after);
    if (whois->Response().Size() != kAnswer) {
        std::fprintf(stderr, "memory: received %zu bytes\n", whois->Response().Size());
        return 1;
    }
    const double size = static_cast<double>(kAnswer);
    const double pagefile = static_cast<double>(after.PeakPagefileUsage) - static_cast<double>(before.PagefileUsage);
    const double working = static_cast<double>(after.PeakWorkingSetSize) - static_cast<double>(before.WorkingSetSize);
    std::printf("memory: answer %.1f MiB; peak private bytes +%.1f MiB = %.2fx; "
                "peak working set +%.1f MiB = %.2fx (target <= 2.5x)\n",
                size / 1048576, pagefile / 1048576, pagefile / size, working / 1048576,
                working / size);
    return 0;
}

int Throughput(int rounds)
{
    rztest::TestServer server(HugeAnswer());
    auto whois = MakeWhois(server.Address(), 30);
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
    std::vector<double> plain, stored, component;
    for (int round = 0; round < rounds; ++round) {
        double start = Seconds();
        std::size_t got = PlainReceive(server.Port());
        plain.push_back(Seconds() - start);
        if (got != kAnswer) {
            std::fprintf(stderr, "baseline: received %zu bytes\n", got);
            return 1;
        }
        {
            zt::MemoryStream stream;
            start = Seconds();
            PlainReceive(server.Port(), &stream);
            stored.push_back(Seconds() - start);
        }
        start = Seconds();
        whois->Execute();
        component.push_back(Seconds() - start);
        if (whois->Response().Size() != kAnswer) {
            std::fprintf(stderr, "Execute: received %zu bytes\n", whois->Response().Size());
            return 1;
        }
    }
    WSACleanup();
    std::sort(plain.begin(), plain.end());
    std::sort(component.begin(), component.end());
    std::sort(stored.begin(), stored.end());
    const double mib = static_cast<double>(kAnswer) / 1048576;
    const double plainTime = plain[plain.size() / 2];
    const double componentTime = component[component.size() / 2];
    std::printf("throughput: 16 MiB, median of %d rounds: blocking recv loop %.3f s (%.0f MiB/s), "
                "Execute %.3f s (%.0f MiB/s): %.0f%% (target >= 80%%)\n",
                rounds, plainTime, mib / plainTime, componentTime, mib / componentTime,
                100.0 * plainTime / componentTime);
    std::printf("throughput: best rounds: %.3f s against %.3f s: %.0f%%\n", plain.front(),
                component.front(), 100.0 * plain.front() / component.front());
    const double storedTime = stored[stored.size() / 2];
    std::printf("throughput: for reference, the blocking loop that also appends to a memory "
                "stream: %.3f s (%.0f MiB/s); Execute: %.0f%% of it\n",
                storedTime, mib / storedTime, 100.0 * storedTime / componentTime);
    return 0;
}

int Cpu()
{
    rztest::TestServer server(rztest::Script::Silent);
    auto whois = MakeWhois(server.Address(), 10);
    const double cpuBefore = ProcessCpuSeconds();
    const double start = Seconds();
    bool timedOut = false;
    try {
        whois->Execute();
    } catch (const zt::ETimedOutError&) {
        timedOut = true;
    }
    const double wall = Seconds() - start;
    const double cpu = ProcessCpuSeconds() - cpuBefore;
    std::printf("cpu: wait of %.2f s on a silent server (%s): %.3f s of process CPU = %.2f%% "
                "(target <= 1%%)\n",
                wall, timedOut ? "ended by the time-out" : "did NOT time out", cpu,
                100.0 * cpu / wall);
    return timedOut ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    const std::string mode = argc > 1 ? argv[1] : "all";
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    int result = 0;
    if (mode == "memory" || mode == "all")
        result |= Memory();
    if (mode == "throughput" || mode == "all")
        result |= Throughput(rounds);
    if (mode == "cpu" || mode == "all")
        result |= Cpu();
    std::fflush(stdout);
    return result;
}
