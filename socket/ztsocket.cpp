#include "ztsocket.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "../classes/application.h"
#include "../classes/dispatch.h"
#include "../classes/handle.h"
#include "../classes/hiddenwnd.h"
#include "../classes/timer.h"
#include "../ras/ztRasCmp.h"
#include "../winsock/ztwsock.h"

namespace zt {

namespace {

// Every Windows Sockets call goes through the process-wide binding.
TztWinsock& Winsock() { return *WinsockInstance; }

// The network events selected for the socket: FD_READ, FD_WRITE, FD_CONNECT, FD_CLOSE.
const long kSelectedEvents = FD_READ | FD_WRITE | FD_CONNECT | FD_CLOSE; // 51
const WORD kWinsockVersion = 0x0101;                                      // 1.1

// Longest sleep of an idle pass. The running timer ticks every second anyway; the
// bound only keeps a wait going should a wake-up ever be lost.
const DWORD kIdleBound = 1000;

// Copies text and its terminating zero into a zero-filled buffer; the caller has
// made sure that it fits.
void CopyToBuffer(char* buffer, std::size_t size, const std::string& text)
{
    std::memset(buffer, 0, size);
    std::memcpy(buffer, text.data(), text.size());
}

// Does [pointer, pointer + length) lie inside the buffer?
bool Inside(const char* buffer, std::size_t size, const void* pointer, std::size_t length)
{
    auto start = reinterpret_cast<std::uintptr_t>(buffer);
    auto at = reinterpret_cast<std::uintptr_t>(pointer);
    return at >= start && at <= start + size && length <= start + size - at;
}

} // namespace

TztSocket::TztSocket(Component* owner) : Component(owner)
{
    socketHandle_ = INVALID_SOCKET;
    timeOut_ = 60;
    timedOut_ = false;
    canceled_ = false;

    timer_ = new Timer(this);
    timer_->SetInterval(1000);
    timer_->SetEnabled(false);
    timer_->OnTimer = [this](Component* sender) { TimerTick(sender); };

    logList_ = std::make_unique<StringList>();
    buffers_ = std::make_unique<LookupBuffers>();
    receiveBuffer_ = std::make_unique<char[]>(kReceiveSize);

    if (!Designing()) {
        window_ = std::make_unique<HiddenWindow>(
            [this](UINT message, WPARAM wParam, LPARAM lParam) {
                return WndProc(message, wParam, lParam);
            });
        windowHandle_ = window_->Handle();
    }

    startupCount_ = 0;
    asyncHandle_ = nullptr;
    errorPending_ = false;
    hostResolved_ = serviceResolved_ = connected_ = readable_ = writable_ = false;
    Protocol = 0;

    // The library is process-wide: this unloads it until WinsockLoaded is set again.
    SetWinsockLoaded(false);

    sendFlags_ = 0;
}

TztSocket::~TztSocket()
{
    // A look-up still pending (its wait was left by an exception) would write into
    // buffers that are about to go.
    CancelLookup();

    window_.reset();
    windowHandle_ = nullptr;

    // One WSACleanup for each counted start-up. Once the library has been unloaded
    // from under this component, or the binding itself is gone, there is nothing
    // left to clean up.
    for (std::int32_t i = 0; i < startupCount_ && WinsockInstance != nullptr; ++i) {
        try {
            Winsock().WSACleanup();
        } catch (...) {
            break;
        }
    }

    // A destructor cannot pass an exception on: a failure to write the log is parked
    // for the loop that processes messages next, which reports it.
    try {
        SaveLog();
    } catch (...) {
        ParkException(std::current_exception());
    }

    logList_.reset();
    delete timer_;
    timer_ = nullptr;
}

// --- Properties ---------------------------------------------------------------------

bool TztSocket::WinsockLoaded() const
{
    return WinsockInstance != nullptr && WinsockInstance->IsLoaded();
}

void TztSocket::SetWinsockLoaded(bool value)
{
    if (WinsockInstance == nullptr)
        return;
    if (value) {
        if (!WinsockInstance->IsLoaded())
            WinsockInstance->Load();
    } else {
        WinsockInstance->Unload();
    }
}

void TztSocket::SetRAS(TztRas* value)
{
    if (value == ras_)
        return;
    if (ras_ != nullptr)
        RemoveFreeNotification(ras_);
    ras_ = value;
    if (ras_ != nullptr)
        FreeNotification(ras_);
}

bool TztSocket::TimerRunning() const noexcept { return timer_ != nullptr && timer_->Enabled(); }

void TztSocket::Notification(Component* component, Operation operation)
{
    Component::Notification(component, operation);
    if (operation == Operation::Remove && ras_ != nullptr && component == ras_)
        ras_ = nullptr;
}

void TztSocket::ReadProperty(const std::string& name, const std::string& value)
{
    if (name == "WinsockLoaded") {
        SetWinsockLoaded(ParseBoolean(name, value));
    } else if (name == "RAS") {
        // A reference is stored as the name of a component of the same owner.
        TztRas* found = nullptr;
        if (!value.empty()) {
            for (int i = 0; Owner() != nullptr && i < Owner()->ComponentCount() && found == nullptr;
                 ++i) {
                Component* candidate = Owner()->Components(i);
                if (candidate->Name() == value)
                    found = dynamic_cast<TztRas*>(candidate);
            }
            if (found == nullptr)
                throw Exception("Invalid property value " + value + " for " + name);
        }
        SetRAS(found);
    } else {
        Component::ReadProperty(name, value);
    }
}

// --- Events -------------------------------------------------------------------------

void TztSocket::DoOpen()
{
    Fire(OnOpen, this);
}

void TztSocket::DoConnect()
{
    Fire(OnConnect, this);
}

void TztSocket::DoClosing()
{
    Fire(OnClosing, this);
}

void TztSocket::DoClosed()
{
    Fire(OnClosed, this);
}

void TztSocket::DoCancel()
{
    Fire(OnCancel, this);
}

void TztSocket::DoRecvProgress(std::int32_t progress)
{
    Fire(OnRecvProgress, this, progress);
}

void TztSocket::DoLineSent(const std::string& line)
{
    Fire(OnLineSent, this, line);
}

// --- State, notices, time-out -------------------------------------------------------

void TztSocket::Reset()
{
    canceled_ = false;
    timedOut_ = false;
    // A look-up still pending (its wait was left by an exception) is cancelled, so
    // that its late reply cannot end a wait of the next exchange.
    CancelLookup();
    errorPending_ = false;
    hostResolved_ = serviceResolved_ = connected_ = readable_ = writable_ = closed_ = false;
    connectFailed_ = false;
}

void TztSocket::CancelLookup() noexcept
{
    if (asyncHandle_ != nullptr && WinsockInstance != nullptr && WinsockInstance->IsLoaded()) {
        try {
            Winsock().WSACancelAsyncRequest(asyncHandle_);
        } catch (...) {
        }
    }
    asyncHandle_ = nullptr;
}

LRESULT TztSocket::WndProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    const auto param = static_cast<std::uint32_t>(lParam);
    // A look-up reply counts only for the request that is pending: one that was
    // cancelled, or belongs to an earlier exchange, sets nothing.
    if ((message == WM_HOSTLOOKUP || message == WM_SERVICELOOKUP)
        && (asyncHandle_ == nullptr || reinterpret_cast<HANDLE>(wParam) != asyncHandle_))
        return 0;
    switch (message) {
    case WM_HOSTLOOKUP:
        hostResolved_ = true;
        errorCode_ = TztWinsock::GetErrorWord(param);
        errorPending_ = errorCode_ != 0;
        return 0;
    case WM_SERVICELOOKUP:
        serviceResolved_ = true;
        errorCode_ = TztWinsock::GetErrorWord(param);
        errorPending_ = errorCode_ != 0;
        return 0;
    case WM_SOCKETEVENT: {
        errorCode_ = TztWinsock::GetErrorWord(param);
        errorPending_ = errorCode_ != 0;
        const std::uint16_t event = TztWinsock::GetEventWord(param);
        if (errorCode_ == 0) {
            switch (event) {
            case FD_READ: readable_ = true; break;
            case FD_WRITE: writable_ = true; break;
            case FD_CONNECT: connected_ = true; break;
            case FD_CLOSE: closed_ = true; break;
            default: break;
            }
        } else if (event == FD_CONNECT) {
            // The connection attempt failed: the connect wait ends on this.
            connectFailed_ = true;
            connectError_ = errorCode_;
        }
        return 0;
    }
    default:
        return window_->Default(message, wParam, lParam);
    }
}

void TztSocket::StartTimeOut()
{
    timer_->SetEnabled(true);
    countdown_ = timeOut_;
}

void TztSocket::StopTimeOut() { timer_->SetEnabled(false); }

void TztSocket::TimerTick(Component*)
{
    // Data that has arrived and waits to be read is activity, also while a modal
    // loop (a message box, a window being dragged) keeps the receive from reading.
    if (receiving_ && (readable_ || closed_) && timeOut_ > 0) {
        countdown_ = timeOut_;
        return;
    }
    --countdown_;
    if (countdown_ != 0)
        return;
    if (asyncHandle_ != nullptr) {
        Winsock().WSACancelAsyncRequest(asyncHandle_);
        asyncHandle_ = nullptr;
    }
    if (Winsock().WSAIsBlocking())
        Winsock().WSACancelBlockingCall();
    StopTimeOut();
    timedOut_ = true;
}

void TztSocket::Pass()
{
    // An exception that another window of ours parked comes out here and leaves the
    // operation; the wait's timer must not go on ticking after it.
    try {
        Application.ProcessMessages();
    } catch (...) {
        StopTimeOut();
        throw;
    }
}

void TztSocket::Idle() { Application.WaitForMessage(kIdleBound); }

template <class ExitTest>
void TztSocket::WaitUntil(ExitTest exitTest)
{
    for (;;) {
        Pass();
        if (exitTest())
            return;
        Idle();
    }
}

void TztSocket::SaveLog()
{
    if (!LogFile.empty())
        logList_->SaveToFile(LogFile);
}

// --- Failure reporting --------------------------------------------------------------

void TztSocket::RaiseSocketError(std::uint16_t code)
{
    if (code == 0)
        return;
    RaiseSocketErrorText(TextForCode(code), code);
}

void TztSocket::RaiseCallFailed(const char* call, int code)
{
    if (code != 0)
        RaiseSocketError(static_cast<std::uint16_t>(code));
    RaiseSocketErrorText(FormatText(LoadMessage(msgCallFailed), call));
}

void TztSocket::RaiseSocketErrorText(std::string text, std::uint16_t code)
{
    StopTimeOut();
    Fire(OnError, this, text);
    throw ESocketError(text, code);
}

void TztSocket::RaiseTimedOut()
{
    StopTimeOut();
    std::string text = LoadMessage(msgTimedOut);
    Fire(OnError, this, text);
    Close();
    throw ETimedOutError();
}

void TztSocket::RaiseCanceled()
{
    StopTimeOut();
    std::string text = LoadMessage(msgCanceled);
    Fire(OnError, this, text);
    throw ECanceledError();
}

// --- Operations ---------------------------------------------------------------------

std::string TztSocket::HostPart() const
{
    std::size_t colon = server_.find(':');
    return colon == std::string::npos ? server_ : server_.substr(0, colon);
}

std::int32_t TztSocket::PortPart() const
{
    std::size_t colon = server_.find(':');
    if (colon == std::string::npos)
        return 0;
    const std::string text = server_.substr(colon + 1);
    // An optional sign and decimal digits, within the signed 32-bit range.
    std::size_t digits = (!text.empty() && (text[0] == '+' || text[0] == '-')) ? 1 : 0;
    if (digits == text.size())
        return 0;
    for (std::size_t i = digits; i < text.size(); ++i)
        if (text[i] < '0' || text[i] > '9')
            return 0;
    errno = 0;
    char* end = nullptr;
    long long number = std::strtoll(text.c_str(), &end, 10);
    if (errno != 0 || number < INT32_MIN || number > INT32_MAX)
        return 0;
    return static_cast<std::int32_t>(number);
}

void TztSocket::Open()
{
    if (ras_ != nullptr)
        ras_->Connect();
    DoOpen();
    CheckServer();
    if (Winsock().WSAStartup(kWinsockVersion, &startupData_) != 0)
        RaiseSocketError(msgInvalidWinsockVersion);
    ++startupCount_;
    GetLocalHost();
    ResolveHost();
    ResolvePort();
    CreateSocket();
}

void TztSocket::CheckServer()
{
    if (server_.empty())
        RaiseSocketError(msgServerRequired);
}

void TztSocket::GetLocalHost()
{
    char name[kLocalHostSize] = {};
    if (Winsock().gethostname(name, kLocalHostSize) == SOCKET_ERROR) {
        localHost_ = HostPart();
    } else {
        name[kLocalHostSize - 1] = '\0';
        localHost_ = name;
    }
}

void TztSocket::ResolveHost()
{
    const std::string host = HostPart();
    if (host.size() >= static_cast<std::size_t>(kHostNameSize))
        RaiseSocketErrorText("Host name is too long (at most "
                             + std::to_string(kHostNameSize - 1) + " characters)");
    char* hostName = buffers_->hostName;
    CopyToBuffer(hostName, kHostNameSize, host);
    address_ = Winsock().inet_addr(hostName);
    if (address_ != INADDR_NONE)
        return;

    asyncHandle_ = Winsock().WSAAsyncGetHostByName(windowHandle_, WM_HOSTLOOKUP, hostName,
                                                   buffers_->hostEntry, kHostEntrySize);
    if (asyncHandle_ == nullptr) {
        // A failure without a code is still a failure: never wait for its reply.
        RaiseSocketError(static_cast<std::uint16_t>(Winsock().WSAGetLastError()));
        RaiseSocketError(msgResolveError);
    }

    StartTimeOut();
    WaitUntil([this] { return hostResolved_ || timedOut_ || canceled_; });
    StopTimeOut();

    asyncHandle_ = nullptr;
    if (errorPending_)
        RaiseSocketError(errorCode_);
    if (timedOut_)
        RaiseTimedOut();
    if (canceled_)
        RaiseCanceled();
    Pass();

    // The first address of the host entry; the entry's pointers lead into the buffer.
    const char* entryBuffer = buffers_->hostEntry;
    const auto* entry = reinterpret_cast<const hostent*>(entryBuffer);
    const unsigned char* first = nullptr;
    if (entry->h_length == 4 && Inside(entryBuffer, kHostEntrySize, entry->h_addr_list, sizeof(char*))
        && Inside(entryBuffer, kHostEntrySize, entry->h_addr_list[0], 4))
        first = reinterpret_cast<const unsigned char*>(entry->h_addr_list[0]);
    if (first == nullptr)
        RaiseSocketError(msgResolveError);
    addressText_ = std::to_string(first[0]) + "." + std::to_string(first[1]) + "."
                   + std::to_string(first[2]) + "." + std::to_string(first[3]);

    CopyToBuffer(hostName, kHostNameSize, addressText_);
    address_ = Winsock().inet_addr(hostName);
    if (address_ == INADDR_NONE)
        RaiseSocketError(msgResolveError);
}

void TztSocket::ResolvePort()
{
    const std::uint16_t written = static_cast<std::uint16_t>(PortPart() & 0xFFFF);
    if (written != 0) {
        port_ = written;
        return;
    }
    if (ServiceName.empty())
        RaiseSocketError(msgServiceRequired);
    if (canceled_)
        RaiseCanceled();
    const char* protocolName = Protocol == 0 ? "tcp" : "udp";
    if (ServiceName.size() >= static_cast<std::size_t>(kServiceNameSize))
        RaiseSocketErrorText("Service name is too long (at most "
                             + std::to_string(kServiceNameSize - 1) + " characters)");
    char* serviceName = buffers_->serviceName;
    CopyToBuffer(serviceName, kServiceNameSize, ServiceName);

    asyncHandle_ = Winsock().WSAAsyncGetServByName(windowHandle_, WM_SERVICELOOKUP, serviceName,
                                                   protocolName, buffers_->serviceEntry,
                                                   kServiceEntrySize);
    if (asyncHandle_ == nullptr) {
        port_ = defaultPort_;
        return;
    }

    StartTimeOut();
    WaitUntil([this] { return serviceResolved_ || canceled_ || timedOut_; });
    StopTimeOut();

    asyncHandle_ = nullptr;
    if (errorPending_ || timedOut_) {
        // The fallback handles the failure: neither its error nor its time-out may
        // end a later wait of this exchange.
        port_ = defaultPort_;
        errorPending_ = false;
        timedOut_ = false;
        return;
    }
    if (canceled_)
        RaiseCanceled();
    const auto* entry = reinterpret_cast<const servent*>(buffers_->serviceEntry);
    port_ = Winsock().htons(static_cast<u_short>(entry->s_port));
}

void TztSocket::CreateSocket()
{
    socketHandle_ = Winsock().socket(AF_INET, SOCK_STREAM, 0);
    if (socketHandle_ == INVALID_SOCKET)
        RaiseCallFailed("socket", Winsock().WSAGetLastError());
}

void TztSocket::Connect()
{
    if (canceled_)
        RaiseCanceled();

    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_port = Winsock().htons(port_);
    address.sin_addr.s_addr = address_;

    if (Winsock().WSAAsyncSelect(socketHandle_, windowHandle_, WM_SOCKETEVENT, kSelectedEvents)
        == SOCKET_ERROR)
        RaiseCallFailed("WSAAsyncSelect", Winsock().WSAGetLastError());

    StartTimeOut();
    if (Winsock().connect(socketHandle_, reinterpret_cast<const sockaddr*>(&address),
                          sizeof address)
        == SOCKET_ERROR) {
        const int code = Winsock().WSAGetLastError();
        if (code != WSAEWOULDBLOCK)
            RaiseCallFailed("connect", code);
    } else {
        // Connected at once.
        connected_ = true;
    }

    WaitUntil([this] { return connected_ || connectFailed_ || canceled_ || timedOut_; });
    StopTimeOut();

    if (canceled_)
        RaiseCanceled();
    if (timedOut_)
        RaiseTimedOut();
    if (!connected_ && connectFailed_)
        RaiseSocketError(connectError_);
    DoConnect();
}

void TztSocket::SendLine(const std::string& text)
{
    if (socketHandle_ == INVALID_SOCKET)
        RaiseSocketError(msgNotConnected);

    // The line and its CR LF in one buffer, so that one send takes it whole.
    const std::string data = text + "\r\n";
    const int size = static_cast<int>(data.size());
    int next = 0;

    StartTimeOut();
    for (;;) {
        Pass();
        bool blocked = false;
        writable_ = false;
        const int sent = Winsock().send(socketHandle_, data.data() + next, size - next, sendFlags_);
        if (sent == SOCKET_ERROR) {
            const int code = Winsock().WSAGetLastError();
            if (code == WSAEWOULDBLOCK)
                blocked = true;
            else if (!canceled_)
                RaiseCallFailed("send", code);
        } else {
            next += sent;
        }
        Pass();
        if (next >= size || timedOut_ || canceled_)
            break;
        // The socket takes more once FD_WRITE says so.
        if (blocked && !writable_)
            Idle();
    }
    StopTimeOut();

    if (timedOut_)
        RaiseTimedOut();
    if (canceled_)
        RaiseCanceled();
    if (!LogFile.empty())
        logList_->Add(text);
    DoLineSent(text);
}

void TztSocket::ReceiveToStream(MemoryStream& stream)
{
    DoRecvProgress(0);
    std::uint64_t total = 0;
    receiving_ = true;
    AtExit notReceiving([this] { receiving_ = false; });

    // A peer that closes without sending anything ends this wait too.
    StartTimeOut();
    WaitUntil([this] { return readable_ || closed_ || canceled_ || timedOut_ || errorPending_; });
    StopTimeOut();
    if (canceled_)
        RaiseCanceled();
    if (timedOut_)
        RaiseTimedOut();
    if (errorPending_)
        RaiseSocketError(errorCode_);
    readable_ = false;

    // The data phase. Its countdown runs across passes and starts again whenever data
    // comes in, so only a silence of TimeOut seconds ends it. The tick after a
    // restart may come at once, hence the extra second.
    //
    // A pass reads while the socket has data ready, up to kReadsPerPass reads, each
    // followed by OnRecvProgress; a Cancel from that handler stops it at once. The
    // messages are processed between the reads of consecutive passes once, not
    // twice: the end of one pass and the start of the next have nothing between them.
    char* buffer = receiveBuffer_.get();
    bool finished = false;
    StartTimeOut();
    Pass();
    for (;;) {
        bool idle = false;
        int received = 0;
        for (int read = 0; read < kReadsPerPass; ++read) {
            readable_ = false;
            received = Winsock().recv(socketHandle_, buffer, kReceiveSize, 0);
            if (received == SOCKET_ERROR) {
                const int code = Winsock().WSAGetLastError();
                if (code == WSAEWOULDBLOCK)
                    idle = true;
                else if (!canceled_)
                    RaiseCallFailed("recv", code);
                break;
            }
            if (total + static_cast<std::uint64_t>(received) > ReceiveLimit) {
                // Past the limit the exchange stops; what fits is kept.
                stream.Write(buffer, static_cast<std::size_t>(ReceiveLimit - total));
                stream.SetPosition(0);
                const std::string mib = std::to_string(ReceiveLimit >> 20);
                RaiseSocketErrorText("Answer too long (more than " + mib + " MiB); the first " + mib
                                     + " MiB are kept");
            }
            total += static_cast<std::uint64_t>(received);
            stream.Write(buffer, static_cast<std::size_t>(received));
            if (received > 0)
                countdown_ = timeOut_ > 0 ? timeOut_ + 1 : timeOut_;
            else
                idle = true;
            DoRecvProgress(static_cast<std::int32_t>(std::min<std::uint64_t>(total, INT32_MAX)));
            if (received == 0 || canceled_)
                break;
        }
        Pass();
        finished = closed_ && received == 0;
        if (finished || canceled_ || timedOut_)
            break;
        // Nothing to read now: sleep until FD_READ, FD_CLOSE or the tick.
        if (idle && !readable_ && !closed_) {
            Idle();
            Pass();
        }
    }
    StopTimeOut();

    stream.SetPosition(0);
    if (finished) {
        DoClosed();
        return;
    }
    if (canceled_)
        RaiseCanceled();
    if (timedOut_)
        RaiseTimedOut();
}

void TztSocket::Close()
{
    if (socketHandle_ != INVALID_SOCKET) {
        DoClosing();
        Winsock().closesocket(socketHandle_);
        socketHandle_ = INVALID_SOCKET;
        DoClosed();
    }
    if (ras_ != nullptr)
        ras_->Disconnect();
}

void TztSocket::Cancel()
{
    canceled_ = true;
    DoCancel();
    if (asyncHandle_ != nullptr) {
        Winsock().WSACancelAsyncRequest(asyncHandle_);
        asyncHandle_ = nullptr;
    }
    Close();
}

} // namespace zt
