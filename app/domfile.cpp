// SelectServer over the table file.
#include <windows.h>

#include "../classes/handle.h"
#include "../classes/sysutils.h"
#include "../classes/winfile.h"
#include "domtable.h"

namespace rozoru {

namespace {

class TableFile : public ByteSource {
public:
    // The file closes on every path, also while a read error is on its way out.
    explicit TableFile(const std::string& path)
        : file_(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_FLAG_SEQUENTIAL_SCAN, nullptr))
    {
        if (!file_)
            throw zt::EInOutError(static_cast<int>(GetLastError()));
    }

    std::size_t Read(char* buffer, std::size_t size) override
    {
        DWORD got = 0;
        if (!ReadFile(file_.get(), buffer, static_cast<DWORD>(size), &got, nullptr))
            throw zt::EInOutError(static_cast<int>(GetLastError()));
        return got;
    }

private:
    zt::OwnedFile file_;
};

} // namespace

ServerSelection SelectServer(const std::string& hostText, const std::string& tablePath)
{
    ServerSelection selection = PrepareSelection(hostText);
    TableFile table(tablePath);
    ScanTable(table, selection);
    return selection;
}

std::string RdapBaseFor(const std::string& domain, const std::string& tablePath)
{
    // No rdap.dat beside the program: no RDAP, quietly.
    if (!zt::FileExists(tablePath))
        return {};
    TableFile table(tablePath);
    std::vector<std::string> record;
    return FindRecord(table, domain, 2, record) ? record[1] : std::string();
}

} // namespace rozoru
