// Exceptions and small text helpers of the class library. No windows.h here: this
// header is shared by the pure parts of the system and by the Windows build.
#pragma once

#include <exception>
#include <string>

namespace zt {

// Base of every exception the system raises: a message text and a help-context number.
class Exception : public std::exception {
public:
    explicit Exception(std::string message, int helpContext = 0)
        : message_(std::move(message)), helpContext_(helpContext) {}

    const std::string& Message() const noexcept { return message_; }
    void SetMessage(std::string message) { message_ = std::move(message); }
    int HelpContext() const noexcept { return helpContext_; }
    const char* what() const noexcept override { return message_.c_str(); }

    // The class's own name, as the start-up failure box shows it.
    virtual const char* ClassName() const noexcept { return "Exception"; }

private:
    std::string message_;
    int helpContext_;
};

#define ZT_CLASS_NAME(name) \
    const char* ClassName() const noexcept override { return #name; }

// Input/output error of the run-time library, carrying the operating system's code.
class EInOutError : public Exception {
public:
    explicit EInOutError(int errorCode);
    int ErrorCode() const noexcept { return errorCode_; }
    ZT_CLASS_NAME(EInOutError)

private:
    int errorCode_;
};

// Errors of the file streams: a file that cannot be created or opened, a read or
// write that does not move every byte.
class EFCreateError : public Exception {
public:
    explicit EFCreateError(const std::string& fileName);
    ZT_CLASS_NAME(EFCreateError)
};

class EFOpenError : public Exception {
public:
    explicit EFOpenError(const std::string& fileName);
    ZT_CLASS_NAME(EFOpenError)
};

class EReadError : public Exception {
public:
    EReadError();
    ZT_CLASS_NAME(EReadError)
};

class EWriteError : public Exception {
public:
    EWriteError();
    ZT_CLASS_NAME(EWriteError)
};

// Text of an input/output error: "File not found" for 2, "Invalid filename" for 3,
// "Too many open files" for 4, "File access denied" for 5, "I/O error %d" otherwise.
std::string InOutErrorText(int errorCode);

// Replaces the first "%s" of a format with the argument; the rest stays as it is.
std::string FormatText(const std::string& format, const std::string& argument);

// Removes every byte of value 0x20 or below from both ends.
std::string Trim(const std::string& text);

// A byte below 0x20 or the byte 0x7F (DEL) anywhere in the text.
bool HasControlCharacter(const std::string& text);

// The bytes are valid UTF-8 (no overlong form, no surrogate, nothing above U+10FFFF)
// and hold at least one multi-byte sequence: such a text is shown as UTF-8, any
// other in the system's ANSI code page.
bool IsMultibyteUtf8(const std::string& bytes);

// Maps A-Z to a-z and keeps every other byte.
std::string LowerAscii(std::string text);

// The text an error box shows: a full stop is appended when the last character's
// code lies above that of the full stop (0x2E).
std::string ErrorBoxText(const std::string& message);

} // namespace zt
