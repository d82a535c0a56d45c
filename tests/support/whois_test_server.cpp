// The scripted test server as a program of its own, for tests that drive the whole
// application from outside:
//
//   whois_test_server --port-file F --script NAME [--answer-file F] [--record-file F]
//                     [--size BYTES] [--part BYTES] [--seconds N]
//
// Scripts: answer, chunks, trickle, huge, close, reset, silent, stall, refuse. The
// port goes to the port file (written whole, then renamed into place). Connections
// are served one after another until the program is killed or N seconds have passed
// (300 unless given). After each connection the record file is rewritten with
// everything the clients have sent so far, all connections in order.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

#include "testserver.h"

namespace {

bool WriteWhole(const std::string& path, const std::string& bytes)
{
    const std::string temporary = path + ".tmp";
    {
        std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
        if (!file.write(bytes.data(), static_cast<std::streamsize>(bytes.size())))
            return false;
    }
    return MoveFileExA(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}

int Usage()
{
    std::fprintf(stderr,
                 "usage: whois_test_server --port-file F --script NAME [--answer-file F]\n"
                 "       [--record-file F] [--size BYTES] [--part BYTES] [--seconds N]\n");
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    std::string portFile, scriptName, answerFile, recordFile;
    long seconds = 300;
    rztest::ServerOptions options;
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        if (i + 1 >= argc)
            return Usage();
        const std::string value = argv[++i];
        if (option == "--port-file")
            portFile = value;
        else if (option == "--script")
            scriptName = value;
        else if (option == "--answer-file")
            answerFile = value;
        else if (option == "--record-file")
            recordFile = value;
        else if (option == "--size")
            options.hugeSize = std::strtoul(value.c_str(), nullptr, 10);
        else if (option == "--part")
            options.partSize = std::strtoul(value.c_str(), nullptr, 10);
        else if (option == "--seconds")
            seconds = std::strtol(value.c_str(), nullptr, 10);
        else
            return Usage();
    }
    if (portFile.empty() || !rztest::ScriptFromName(scriptName, options.script))
        return Usage();
    if (!answerFile.empty()) {
        std::ifstream file(answerFile, std::ios::binary);
        if (!file) {
            std::fprintf(stderr, "whois_test_server: cannot read %s\n", answerFile.c_str());
            return 1;
        }
        options.answer.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    }

    rztest::TestServer server(options);
    if (!WriteWhole(portFile, std::to_string(server.Port()) + "\n")) {
        std::fprintf(stderr, "whois_test_server: cannot write %s\n", portFile.c_str());
        return 1;
    }
    std::printf("whois_test_server: script %s on 127.0.0.1:%u\n", scriptName.c_str(),
                static_cast<unsigned>(server.Port()));
    std::fflush(stdout);

    const DWORD start = GetTickCount();
    int recorded = 0;
    while (seconds <= 0 || GetTickCount() - start < static_cast<DWORD>(seconds) * 1000u) {
        server.WaitFinished(recorded + 1, 100);
        const std::vector<std::string> received = server.Received();
        if (static_cast<int>(received.size()) != recorded) {
            recorded = static_cast<int>(received.size());
            if (!recordFile.empty()) {
                std::string all;
                for (const std::string& one : received)
                    all += one;
                WriteWhole(recordFile, all);
            }
        }
    }
    return 0;
}
