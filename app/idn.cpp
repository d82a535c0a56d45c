#include "idn.h"

#include <windows.h>

#include "../classes/handle.h"
#include "../classes/imports.h"
#include "../classes/wintext.h"

namespace rozoru {

namespace {
ZT_IMPORT(IdnToAscii, int(WINAPI*)(DWORD flags, LPCWSTR unicode, int unicodeLength, LPWSTR ascii,
                                   int asciiLength))
} // namespace

IdnResult ToAsciiName(const std::string& utf8Name, std::string& ascii)
{
    auto convert = Import_IdnToAscii(GetModuleHandleA("kernel32.dll"));
    zt::OwnedLibrary normaliz;
    if (convert == nullptr) {
        normaliz.reset(LoadLibraryA("normaliz.dll"));
        convert = Import_IdnToAscii(normaliz.get());
    }
    if (convert == nullptr)
        return IdnResult::Unavailable;
    const std::wstring name = zt::Widen(utf8Name, CP_UTF8);
    wchar_t out[256];
    int length = convert(0, name.c_str(), static_cast<int>(name.size()), out, 255);
    if (length <= 0)
        return IdnResult::Refused;
    ascii = zt::Utf8(std::wstring(out, static_cast<std::size_t>(length)));
    return IdnResult::Converted;
}

} // namespace rozoru
