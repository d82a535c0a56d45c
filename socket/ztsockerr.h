// Exception classes of the networking components and the message table behind
// their texts. No windows.h: the texts are also built natively.
#pragma once

#include <cstdint>
#include <string>

#include "../classes/sysutils.h"

namespace zt {

// Component message ids.
enum : std::uint16_t {
    msgTimedOut = 57000,
    msgCanceled = 57001,
    msgServerRequired = 57002,
    msgInvalidWinsockVersion = 57003,
    msgResolveError = 57004,
    msgServiceRequired = 57005,
    msgNotConnected = 57008,
    msgFunctionNotFound = 57010,
    msgWinsockNotLoaded = 57011,
    msgWinsockNotFound = 57012,
    msgCallFailed = 57013,
};

// The text the message table holds for an id, looked up now; empty when it holds
// none.
std::string LoadMessage(std::uint16_t id);

// The text for a failure code: the table's text, or "Error #" and the code in
// decimal when the table holds none.
std::string TextForCode(std::uint16_t code);

class ESocketError : public Exception {
public:
    explicit ESocketError(const std::string& message, std::uint16_t code = 0)
        : Exception(message), code_(code) {}
    // The Windows Sockets error code or message id behind the failure; 0 for one
    // that has no number of its own.
    std::uint16_t Code() const noexcept { return code_; }
    ZT_CLASS_NAME(ESocketError)

private:
    std::uint16_t code_;
};

class ETimedOutError : public Exception {
public:
    ETimedOutError() : Exception(LoadMessage(msgTimedOut)) {}
    ZT_CLASS_NAME(ETimedOutError)
};

class ECanceledError : public Exception {
public:
    ECanceledError() : Exception(LoadMessage(msgCanceled)) {}
    ZT_CLASS_NAME(ECanceledError)
};

class EWinsockDLLError : public Exception {
public:
    explicit EWinsockDLLError(std::uint16_t id) : Exception(LoadMessage(id)) {}
    EWinsockDLLError(std::uint16_t id, const std::string& argument)
        : Exception(FormatText(LoadMessage(id), argument)) {}
    ZT_CLASS_NAME(EWinsockDLLError)
};

} // namespace zt
