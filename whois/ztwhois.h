// The whois query component: one whois exchange (connect, send the query line, read
// until the server closes) run as one blocking call, with the answer kept byte for
// byte in a memory stream.
#pragma once

#include <memory>
#include <string>

#include "../classes/streams.h"
#include "../socket/ztsocket.h"

namespace zt {

class TztWhoIs : public TztSocket {
public:
    // Service "whois", default port 43, an empty Response.
    explicit TztWhoIs(Component* owner);
    ~TztWhoIs() override;

    // Reset, Open, then Connect, OnSendingQuery, SendLine(Query) and ReceiveResponse,
    // with Close afterwards whatever happens. Raises on failure.
    void Execute();

    const std::string& Query() const noexcept { return query_; }
    void SetQuery(std::string value) { query_ = std::move(value); }

    // The raw bytes of the last answer (or of what came before a failure during the
    // receive step).
    MemoryStream& Response() noexcept { return *response_; }
    const MemoryStream& Response() const noexcept { return *response_; }

    // Fired after the connection is made and before the query line is sent.
    NotifyEvent OnSendingQuery;

protected:
    void ReadProperty(const std::string& name, const std::string& value) override;

    void DoSendingQuery(Component* sender);
    // Empties Response, then receives into it.
    void ReceiveResponse();

private:
    std::string query_;
    std::unique_ptr<MemoryStream> response_;
};

} // namespace zt
