#include "sysutils.h"

namespace zt {

std::string InOutErrorText(int errorCode)
{
    switch (errorCode) {
    case 2: return "File not found";
    case 3: return "Invalid filename";
    case 4: return "Too many open files";
    case 5: return "File access denied";
    default: return "I/O error " + std::to_string(errorCode);
    }
}

EInOutError::EInOutError(int errorCode)
    : Exception(InOutErrorText(errorCode)), errorCode_(errorCode) {}

EFCreateError::EFCreateError(const std::string& fileName)
    : Exception(FormatText("Cannot create file %s", fileName)) {}

EFOpenError::EFOpenError(const std::string& fileName)
    : Exception(FormatText("Cannot open file %s", fileName)) {}

EReadError::EReadError() : Exception("Stream read error") {}

EWriteError::EWriteError() : Exception("Stream write error") {}

std::string FormatText(const std::string& format, const std::string& argument)
{
    std::string::size_type at = format.find("%s");
    if (at == std::string::npos)
        return format;
    return format.substr(0, at) + argument + format.substr(at + 2);
}

std::string Trim(const std::string& text)
{
    std::string::size_type first = 0;
    std::string::size_type last = text.size();
    while (first < last && static_cast<unsigned char>(text[first]) <= 0x20)
        ++first;
    while (last > first && static_cast<unsigned char>(text[last - 1]) <= 0x20)
        --last;
    return text.substr(first, last - first);
}

bool HasControlCharacter(const std::string& text)
{
    for (char c : text)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            return true;
    return false;
}

std::string LowerAscii(std::string text)
{
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return text;
}

std::string ErrorBoxText(const std::string& message)
{
    if (!message.empty() && static_cast<unsigned char>(message.back()) > 0x2E)
        return message + ".";
    return message;
}

} // namespace zt
