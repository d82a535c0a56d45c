// The socket component: one stream socket over the asynchronous, message-based
// Windows Sockets 1.1 interface, made to look blocking to its caller. Every
// operation that waits for the network processes the application's window messages
// until a flag set by a notice, its time-out or a cancel request ends the wait.
#pragma once

#include <winsock.h>
#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "../classes/component.h"
#include "../classes/streams.h"
#include "ztsockerr.h"

namespace zt {

class HiddenWindow;
class Timer;
class TztRas;

// Sender and the message text, which the handler may replace.
using TqmErrorEvent = std::function<void(Component* sender, std::string& msg)>;
// Sender and the count of bytes received so far.
using TqmRecvProgressEvent = std::function<void(Component* sender, std::int32_t progress)>;
// Sender and the line just sent, without CR LF.
using TLineSentEvent = std::function<void(Component* sender, std::string line)>;

// The private notices of the hidden window.
enum : UINT {
    WM_HOSTLOOKUP = WM_USER + 148,    // completion of WSAAsyncGetHostByName
    WM_SERVICELOOKUP = WM_USER + 149, // completion of WSAAsyncGetServByName
    WM_SOCKETEVENT = WM_USER + 150,   // network events selected by WSAAsyncSelect
};

class TztSocket : public Component {
public:
    explicit TztSocket(Component* owner);
    ~TztSocket() override;

    // Sizes of the buffers the operations fill.
    static constexpr int kHostNameSize = 128;
    static constexpr int kHostEntrySize = 1024;     // MAXGETHOSTSTRUCT
    static constexpr int kServiceNameSize = 64;
    static constexpr int kServiceEntrySize = 1024;
    static constexpr int kLocalHostSize = 512;
    static constexpr int kReceiveSize = 8192;
    // Reads of kReceiveSize at most in one pass of the receive's data phase.
    static constexpr int kReadsPerPass = 8;

    // Clears the flags of the previous exchange; call it before each Open.
    virtual void Reset();
    // Dial-up hook, OnOpen, Winsock start-up, local host name, host and port
    // resolution, creation of the socket.
    virtual void Open();
    // Releases the socket (OnClosing, OnClosed) and hangs up the dial-up link.
    virtual void Close();
    // Ends the running wait as cancelled; may be called from code that runs inside a
    // wait. Raises nothing itself.
    virtual void Cancel();

    void Connect();
    // Sends the text and CR LF.
    void SendLine(const std::string& text);
    // Appends everything received until the peer has closed; position 0 afterwards.
    void ReceiveToStream(MemoryStream& stream);

    // Server's text before the first colon; all of it when there is none.
    std::string HostPart() const;
    // The number after the first colon; 0 when there is none or it is not a number.
    std::int32_t PortPart() const;

    // Published properties.
    // A view of the process-wide binding: True loads the library, False unloads it.
    bool WinsockLoaded() const;
    void SetWinsockLoaded(bool value);
    TztRas* RAS() const noexcept { return ras_; }
    void SetRAS(TztRas* value);

    // Properties a descendant publishes.
    const std::string& Server() const noexcept { return server_; }
    void SetServer(std::string value) { server_ = std::move(value); }
    std::int32_t TimeOut() const noexcept { return timeOut_; }
    void SetTimeOut(std::int32_t value) noexcept { timeOut_ = value; }
    std::uint16_t DefaultPort() const noexcept { return defaultPort_; }
    void SetDefaultPort(std::uint16_t value) noexcept { defaultPort_ = value; }

    // Settable, not published.
    std::string LogFile;
    std::string ServiceName;
    std::uint8_t Protocol = 0; // 0 = "tcp", anything else = "udp" for the service look-up
    // Most bytes ReceiveToStream takes; past it the receive fails and keeps these.
    std::uint64_t ReceiveLimit = std::uint64_t(16) << 20;

    NotifyEvent OnOpen;
    NotifyEvent OnConnect;
    NotifyEvent OnClosing;
    NotifyEvent OnClosed;
    NotifyEvent OnCancel;
    TqmRecvProgressEvent OnRecvProgress;
    TqmErrorEvent OnError;
    TLineSentEvent OnLineSent;

    // Read-only views of the state.
    HWND WindowHandle() const noexcept { return windowHandle_; }
    SOCKET SocketHandle() const noexcept { return socketHandle_; }
    HANDLE AsyncHandle() const noexcept { return asyncHandle_; }
    std::uint32_t Address() const noexcept { return address_; }
    const std::string& AddressText() const noexcept { return addressText_; }
    const std::string& LocalHost() const noexcept { return localHost_; }
    std::uint16_t Port() const noexcept { return port_; }
    std::int32_t Countdown() const noexcept { return countdown_; }
    std::int32_t StartupCount() const noexcept { return startupCount_; }
    const StringList& LogList() const noexcept { return *logList_; }
    bool TimerRunning() const noexcept;
    bool TimedOut() const noexcept { return timedOut_; }
    bool Canceled() const noexcept { return canceled_; }
    bool HostResolved() const noexcept { return hostResolved_; }
    bool ServiceResolved() const noexcept { return serviceResolved_; }
    bool Connected() const noexcept { return connected_; }
    bool Readable() const noexcept { return readable_; }
    bool Writable() const noexcept { return writable_; }
    bool Closed() const noexcept { return closed_; }
    bool ErrorPending() const noexcept { return errorPending_; }
    std::uint16_t ErrorCode() const noexcept { return errorCode_; }
    std::uint16_t SendFlags() const noexcept { return sendFlags_; }

protected:
    void Notification(Component* component, Operation operation) override;
    void ReadProperty(const std::string& name, const std::string& value) override;

    void StartTimeOut();
    void StopTimeOut();

    // The three ways of failing: each stops the time-out and fires OnError first.
    // RaiseSocketError returns only for code 0.
    void RaiseSocketError(std::uint16_t code);
    [[noreturn]] void RaiseTimedOut();
    [[noreturn]] void RaiseCanceled();
    // RaiseSocketError with a text of its own; the exception keeps `code` (0 for a
    // failure that has no number).
    [[noreturn]] void RaiseSocketErrorText(std::string text, std::uint16_t code = 0);
    // A call failed with the code WSAGetLastError gave: RaiseSocketError with it,
    // or, when it is 0, "Windows Sockets call %s failed" with the call's name.
    [[noreturn]] void RaiseCallFailed(const char* call, int code);

    void DoOpen();
    void DoConnect();
    void DoClosing();
    void DoClosed();
    void DoCancel();
    void DoRecvProgress(std::int32_t progress);
    void DoLineSent(const std::string& line);

private:
    LRESULT WndProc(UINT message, WPARAM wParam, LPARAM lParam);
    void TimerTick(Component* sender);
    void SaveLog();
    // Cancels the pending look-up, if any; raises nothing.
    void CancelLookup() noexcept;

    void CheckServer();
    void GetLocalHost();
    void ResolveHost();
    void ResolvePort();
    void CreateSocket();

    // One pass of a wait: every waiting message is processed.
    void Pass();
    // Sleeps until the next message or socket notice (at least the timer's tick).
    void Idle();
    // Passes until the exit test holds; the first test follows the first pass.
    template <class ExitTest>
    void WaitUntil(ExitTest exitTest);

    std::string server_;
    std::int32_t timeOut_ = 60;
    std::uint16_t defaultPort_ = 0;
    TztRas* ras_ = nullptr;

    std::unique_ptr<HiddenWindow> window_;
    HWND windowHandle_ = nullptr;
    WSADATA startupData_ = {};
    SOCKET socketHandle_ = INVALID_SOCKET;
    HANDLE asyncHandle_ = nullptr;
    std::uint32_t address_ = 0;
    std::string addressText_;
    std::string localHost_;
    std::uint16_t port_ = 0;
    Timer* timer_ = nullptr;
    std::int32_t countdown_ = 0;
    std::int32_t startupCount_ = 0;
    std::unique_ptr<StringList> logList_;

    bool timedOut_ = false;
    bool canceled_ = false;
    bool hostResolved_ = false;
    bool serviceResolved_ = false;
    bool connected_ = false;
    bool readable_ = false;
    bool writable_ = false;
    bool closed_ = false;
    bool errorPending_ = false;
    std::uint16_t errorCode_ = 0;
    std::uint16_t sendFlags_ = 0;
    // FD_CONNECT arrived with an error, and its code: a failed connection attempt.
    bool connectFailed_ = false;
    // Inside ReceiveToStream: a notice that data waits counts as activity.
    bool receiving_ = false;
    std::uint16_t connectError_ = 0;

    // The look-up buffers belong to the component, not to a call: the library writes
    // into them from its own thread until the reply is posted, and a request may
    // still be pending when the call that started it has left by an exception.
    struct LookupBuffers {
        char hostName[kHostNameSize];
        char hostEntry[kHostEntrySize];
        char serviceName[kServiceNameSize];
        char serviceEntry[kServiceEntrySize];
    };
    std::unique_ptr<LookupBuffers> buffers_;
    std::unique_ptr<char[]> receiveBuffer_;
};

} // namespace zt
