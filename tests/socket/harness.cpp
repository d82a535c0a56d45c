#include "harness.h"

#include "classes/application.h"

namespace sockettest {

namespace {
const UINT kRunAction = WM_APP + 1;
}

void EventLog::Attach(zt::TztSocket& socket)
{
    socket.OnOpen = [this](zt::Component*) { events.push_back("Open"); };
    socket.OnConnect = [this](zt::Component*) { events.push_back("Connect"); };
    socket.OnClosing = [this](zt::Component*) { events.push_back("Closing"); };
    socket.OnClosed = [this](zt::Component*) { events.push_back("Closed"); };
    socket.OnCancel = [this](zt::Component*) { events.push_back("Cancel"); };
    socket.OnLineSent = [this](zt::Component*, std::string line) {
        events.push_back("LineSent:" + line);
    };
    socket.OnRecvProgress = [this](zt::Component*, std::int32_t value) {
        events.push_back("Progress:" + std::to_string(value));
        progress.push_back(value);
    };
    socket.OnError = [this](zt::Component*, std::string& msg) { events.push_back("Error:" + msg); };
}

void EventLog::Attach(zt::TztWhoIs& whois)
{
    Attach(static_cast<zt::TztSocket&>(whois));
    whois.OnSendingQuery = [this](zt::Component*) { events.push_back("SendingQuery"); };
}

std::vector<std::string> EventLog::Outline() const
{
    std::vector<std::string> outline;
    bool inProgress = false;
    for (const std::string& event : events) {
        bool isProgress = event.rfind("Progress:", 0) == 0;
        if (isProgress && inProgress)
            continue;
        inProgress = isProgress;
        outline.push_back(isProgress ? "Progress" : event);
    }
    return outline;
}

std::string EventLog::Joined() const { return Join(Outline()); }

std::string Join(const std::vector<std::string>& parts)
{
    std::string text;
    for (const std::string& part : parts)
        text += (text.empty() ? "" : ", ") + part;
    return text;
}

Watchdog::Watchdog(zt::TztSocket& socket, int seconds) : socket_(socket)
{
    window_ = std::make_unique<zt::HiddenWindow>([this](UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_TIMER) {
            KillTimer(window_->Handle(), 1);
            fired_ = true;
            socket_.Cancel();
            return LRESULT(0);
        }
        return window_->Default(message, wParam, lParam);
    });
    SetTimer(window_->Handle(), 1, static_cast<UINT>(seconds) * 1000u, nullptr);
}

Watchdog::~Watchdog() { KillTimer(window_->Handle(), 1); }

Poster::Poster(std::function<void()> action) : action_(std::move(action))
{
    window_ = std::make_unique<zt::HiddenWindow>([this](UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == kRunAction) {
            action_();
            return LRESULT(0);
        }
        return window_->Default(message, wParam, lParam);
    });
}

void Poster::Post() const { PostMessageA(window_->Handle(), kRunAction, 0, 0); }

std::unique_ptr<zt::TztWhoIs> MakeWhois(const std::string& server, std::int32_t timeOut)
{
    auto whois = std::make_unique<zt::TztWhoIs>(nullptr);
    whois->ApplyStoredProperties({{"WinsockLoaded", "True"}, {"DefaultPort", "43"}});
    whois->SetServer(server);
    whois->SetTimeOut(timeOut);
    return whois;
}

std::unique_ptr<zt::TztSocket> MakeSocket(const std::string& server, std::int32_t timeOut)
{
    auto socket = std::make_unique<zt::TztSocket>(nullptr);
    socket->SetWinsockLoaded(true);
    socket->SetServer(server);
    socket->SetTimeOut(timeOut);
    return socket;
}

Outcome Attempt(const std::function<void()>& call)
{
    try {
        call();
    } catch (const zt::Exception& e) {
        return {e.ClassName(), e.Message()};
    } catch (const std::exception& e) {
        return {"std::exception", e.what()};
    }
    return {};
}

void PumpFor(int milliseconds)
{
    Stopwatch watch;
    while (watch.Seconds() * 1000 < milliseconds) {
        zt::Application.ProcessMessages();
        zt::Application.WaitForMessage(20);
    }
}

std::string ResponseText(const zt::TztWhoIs& whois) { return whois.Response().ToString(); }

} // namespace sockettest
