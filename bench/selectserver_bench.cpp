// SelectServer on a generated 10,000-record table, matching the last record, against
// reading the same file raw in the same run. Prints the ratio; the target is at most 2x.
//   wine bench_selectserver.exe [rounds]
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/domtable.h"

namespace {

double Seconds()
{
    LARGE_INTEGER counter, frequency;
    QueryPerformanceCounter(&counter);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

std::size_t ReadRaw(const std::string& path)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        std::exit(2);
    static char buffer[65536];
    std::size_t total = 0;
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0)
        total += got;
    CloseHandle(file);
    return total;
}

} // namespace

int main(int argc, char** argv)
{
    int rounds = argc > 1 ? std::atoi(argv[1]) : 200;
    char dir[MAX_PATH];
    GetTempPathA(MAX_PATH, dir);
    std::string path = std::string(dir) + "rz_bench_doms.dat";

    std::string table;
    for (int i = 0; i < 10000; ++i)
        table += "tld" + std::to_string(i) + "\r\nSome Country or Area " + std::to_string(i)
                 + "\r\nwhois.nic.tld" + std::to_string(i) + "\r\n";
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(file, table.data(), static_cast<DWORD>(table.size()), &written, nullptr);
    CloseHandle(file);

    // Warm the cache, then alternate so both see the same conditions.
    ReadRaw(path);
    rozoru::SelectServer("www.example.tld9999", path);
    double raw = 0, scan = 0;
    std::size_t bytes = 0;
    for (int i = 0; i < rounds; ++i) {
        double t0 = Seconds();
        bytes += ReadRaw(path);
        double t1 = Seconds();
        rozoru::ServerSelection s = rozoru::SelectServer("www.example.tld9999", path);
        double t2 = Seconds();
        if (!s.Matched || s.WhoisServer != "whois.nic.tld9999")
            return 3;
        raw += t1 - t0;
        scan += t2 - t1;
    }
    DeleteFileA(path.c_str());
    std::printf("table: 10000 records, %zu bytes; %d rounds\n", table.size(), rounds);
    std::printf("raw read:     %.3f ms per round\n", raw * 1000 / rounds);
    std::printf("SelectServer: %.3f ms per round\n", scan * 1000 / rounds);
    std::printf("ratio SelectServer / raw read: %.2fx (target at most 2x)\n", scan / raw);
    (void)bytes;
    return 0;
}
