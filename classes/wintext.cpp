#include "wintext.h"

#include "sysutils.h"

namespace zt {

std::wstring Widen(const std::string& bytes, UINT codePage)
{
    if (bytes.empty())
        return {};
    int length = MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()),
                                     nullptr, 0);
    std::wstring text(static_cast<std::size_t>(length > 0 ? length : 0), L'\0');
    if (length > 0)
        MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(),
                            length);
    return text;
}

std::string Utf8(const std::wstring& text)
{
    if (text.empty())
        return {};
    int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                     nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(length > 0 ? length : 0), '\0');
    if (length > 0)
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(),
                            length, nullptr, nullptr);
    return bytes;
}

std::wstring DisplayText(const std::string& bytes)
{
    const std::string shown = bytes.substr(0, bytes.find('\0'));
    return Widen(shown, IsMultibyteUtf8(shown) ? CP_UTF8 : CP_ACP);
}

std::wstring WindowTextW(HWND window)
{
    int length = GetWindowTextLengthW(window);
    if (length <= 0)
        return {};
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    int got = GetWindowTextW(window, text.data(), length + 1);
    text.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    return text;
}

} // namespace zt
