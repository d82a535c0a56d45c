// Texts between the program's byte strings and the platform's UTF-16.
#pragma once

#include <windows.h>

#include <string>

namespace zt {

std::wstring Widen(const std::string& bytes, UINT codePage);
std::string Utf8(const std::wstring& text);

// How bytes are shown: up to the first zero byte, as UTF-8 when they are valid UTF-8
// with at least one multi-byte sequence, otherwise in the system's ANSI code page.
std::wstring DisplayText(const std::string& bytes);

// A window's text.
std::wstring WindowTextW(HWND window);

} // namespace zt
