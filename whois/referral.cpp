#include "referral.h"

#include <cstdlib>

#include "../classes/sysutils.h"

namespace zt {

namespace {

bool IsLabelCharacter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-';
}

// The value behind `key` when the line starts with it (after blanks, without regard
// to case); false otherwise.
bool ValueOf(const std::string& line, const std::string& key, std::string& value)
{
    std::size_t start = line.find_first_not_of(" \t");
    if (start == std::string::npos || LowerAscii(line.substr(start, key.size())) != key)
        return false;
    value = Trim(line.substr(start + key.size()));
    return true;
}

} // namespace

bool IsPlainServer(const std::string& server)
{
    if (server.empty() || server.size() > 127)
        return false;
    const std::size_t colon = server.find(':');
    const std::string host = server.substr(0, colon);
    if (colon != std::string::npos) {
        const std::string port = server.substr(colon + 1);
        if (port.empty() || port.size() > 5 || port.find_first_not_of("0123456789") != std::string::npos)
            return false;
        const long number = std::strtol(port.c_str(), nullptr, 10);
        if (number < 1 || number > 65535)
            return false;
    }
    // Labels of letters, digits and hyphens, joined by single full stops; a dotted
    // address is such a name too.
    std::size_t label = 0;
    for (std::size_t i = 0; i <= host.size(); ++i) {
        if (i == host.size() || host[i] == '.') {
            if (label == 0 || label > 63 || host[i - 1] == '-' || host[i - label] == '-')
                return false;
            label = 0;
        } else if (IsLabelCharacter(host[i])) {
            ++label;
        } else {
            return false;
        }
    }
    return true;
}

std::string ServerKey(const std::string& server)
{
    std::string key = LowerAscii(server);
    return key.find(':') == std::string::npos ? key + ":43" : key;
}

std::string FindReferral(const std::string& answer, bool fromRoot)
{
    std::string registrar, referral, refer, whois;
    std::size_t start = 0;
    while (start < answer.size()) {
        std::size_t end = answer.find('\n', start);
        if (end == std::string::npos)
            end = answer.size();
        const std::string line = answer.substr(start, end - start);
        start = end + 1;
        std::string value;
        if (ValueOf(line, "registrar whois server:", value)) {
            if (registrar.empty() && IsPlainServer(value))
                registrar = value;
        } else if (ValueOf(line, "referralserver:", value)) {
            if (LowerAscii(value.substr(0, 8)) != "whois://")
                continue;
            value = value.substr(8);
            if (!value.empty() && value.back() == '/')
                value.pop_back();
            if (IsPlainServer(value))
                referral = value;
        } else if (ValueOf(line, "refer:", value)) {
            if (refer.empty() && IsPlainServer(value))
                refer = value;
        } else if (ValueOf(line, "whois:", value)) {
            if (whois.empty() && IsPlainServer(value))
                whois = value;
        }
    }
    if (!registrar.empty())
        return registrar;
    if (!referral.empty())
        return referral;
    if (!fromRoot)
        return {};
    return !refer.empty() ? refer : whois;
}

} // namespace zt
