#include "ztwhois.h"

#include <cstdint>

namespace zt {

TztWhoIs::TztWhoIs(Component* owner) : TztSocket(owner)
{
    SetDefaultPort(43);
    ServiceName = "whois";
    response_ = std::make_unique<MemoryStream>();
}

TztWhoIs::~TztWhoIs() { response_.reset(); }

void TztWhoIs::ReadProperty(const std::string& name, const std::string& value)
{
    if (name == "Server")
        SetServer(value);
    else if (name == "Query")
        SetQuery(value);
    else if (name == "DefaultPort")
        SetDefaultPort(static_cast<std::uint16_t>(ParseInteger(name, value, 0, 65535)));
    else if (name == "TimeOut")
        SetTimeOut(static_cast<std::int32_t>(ParseInteger(name, value, INT32_MIN, INT32_MAX)));
    else
        TztSocket::ReadProperty(name, value);
}

void TztWhoIs::DoSendingQuery(Component* sender)
{
    if (OnSendingQuery)
        OnSendingQuery(sender);
}

void TztWhoIs::ReceiveResponse()
{
    response_->Clear();
    ReceiveToStream(*response_);
}

void TztWhoIs::Execute()
{
    Reset();
    Open();
    try {
        Connect();
        DoSendingQuery(this);
        // Read only now: a handler of OnSendingQuery may still change it.
        SendLine(query_);
        ReceiveResponse();
    } catch (...) {
        Close();
        throw;
    }
    Close();
}

} // namespace zt
