#include "FmxUtils.h"

#include <shellapi.h>

#include <cstring>

namespace rozoru {

namespace {

struct ShellText {
    char text[kShellTextBuffer];
};

bool CopyText(const std::string& from, ShellText& to)
{
    // A zero byte inside the text would end it early: the shell would get a
    // different text than the one asked for.
    if (from.size() >= kShellTextBuffer || from.find('\0') != std::string::npos)
        return false;
    std::memcpy(to.text, from.c_str(), from.size() + 1);
    return true;
}

} // namespace

HINSTANCE ShellOpenFile(HWND owner, const std::string& fileName, const std::string& params,
                        const std::string& defaultDir, int showCommand)
{
    ShellText file;
    ShellText parameters;
    ShellText directory;
    if (!CopyText(fileName, file) || !CopyText(params, parameters)
        || !CopyText(defaultDir, directory)) {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return nullptr;
    }
    return ShellExecuteA(owner, nullptr, file.text, parameters.text, directory.text, showCommand);
}

} // namespace rozoru
