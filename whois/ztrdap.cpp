#include "ztrdap.h"

#include <windows.h>
#include <winhttp.h>

#include <vector>

#include "../classes/application.h"
#include "../classes/handle.h"
#include "../classes/hiddenwnd.h"
#include "../classes/timer.h"
#include "../classes/wintext.h"
#include "../socket/ztsockerr.h"

namespace zt {

namespace {

struct CloseInternet {
    BOOL operator()(HINTERNET h) const noexcept { return WinHttpCloseHandle(h); }
};
using OwnedInternet = Owned<HINTERNET, CloseInternet>;

// WinHTTP's notices, posted from its threads to the request's hidden window: the
// notice in wParam, its number (a length, a count or an error code) in lParam.
const UINT WM_RDAPEVENT = WM_APP + 0x52;
const std::size_t kReadSize = 64 * 1024;
// Longest wait for WinHTTP to let go of a closed request.
const DWORD kClosingBound = 5000;

void CALLBACK OnStatus(HINTERNET, DWORD_PTR context, DWORD status, LPVOID info, DWORD length)
{
    std::uintptr_t value = 0;
    switch (status) {
    case WINHTTP_CALLBACK_STATUS_DATA_AVAILABLE:
        value = *static_cast<DWORD*>(info);
        break;
    case WINHTTP_CALLBACK_STATUS_READ_COMPLETE:
        value = length;
        break;
    case WINHTTP_CALLBACK_STATUS_REQUEST_ERROR:
        value = static_cast<WINHTTP_ASYNC_RESULT*>(info)->dwError;
        break;
    case WINHTTP_CALLBACK_STATUS_SENDREQUEST_COMPLETE:
    case WINHTTP_CALLBACK_STATUS_HEADERS_AVAILABLE:
    case WINHTTP_CALLBACK_STATUS_HANDLE_CLOSING:
        break;
    default:
        return;
    }
    PostMessageW(reinterpret_cast<HWND>(context), WM_RDAPEVENT, status, static_cast<LPARAM>(value));
}

std::string FailureText(unsigned long error)
{
    switch (error) {
    case ERROR_WINHTTP_NAME_NOT_RESOLVED:
        return "The RDAP server's name was not found";
    case ERROR_WINHTTP_CANNOT_CONNECT:
    case ERROR_WINHTTP_CONNECTION_ERROR:
        return "Cannot connect to the RDAP server";
    case ERROR_WINHTTP_SECURE_FAILURE:
        return "The RDAP server's secure connection was refused";
    default:
        return "The RDAP request failed (WinHTTP error " + std::to_string(error) + ")";
    }
}

std::string QueryHeader(HINTERNET request, DWORD which)
{
    wchar_t text[256] = {};
    DWORD size = sizeof text;
    if (!WinHttpQueryHeaders(request, which, WINHTTP_HEADER_NAME_BY_INDEX, text, &size,
                             WINHTTP_NO_HEADER_INDEX))
        return {};
    return Utf8(std::wstring(text, size / sizeof(wchar_t)));
}

} // namespace

// The handles and the buffer of one request, and the window its notices come to.
struct TztRdap::Request {
    OwnedInternet session, connection, handle;
    std::vector<char> chunk = std::vector<char>(kReadSize);
    bool reading = false; // WinHTTP may be writing into chunk
    bool closed = false;
    HiddenWindow* window = nullptr;
};

TztRdap::TztRdap(Component* owner) : Component(owner)
{
    timer_ = new Timer(this);
    timer_->SetEnabled(false);
    timer_->SetInterval(1000);
    timer_->OnTimer = [this](Component*) {
        // Only exact zero counts: a TimeOut of 0 or less never ends the wait.
        if (--countdown_ == 0)
            timedOut_ = true;
    };
}

TztRdap::~TztRdap() = default;

void TztRdap::Cancel()
{
    if (running_)
        canceled_ = true;
}

void TztRdap::Step(Request& request, unsigned event, std::uintptr_t value)
{
    countdown_ = TimeOut > 0 ? TimeOut + 1 : TimeOut;
    HINTERNET handle = request.handle.get();
    auto failed = [this] {
        error_ = GetLastError();
        done_ = true;
    };
    switch (event) {
    case WINHTTP_CALLBACK_STATUS_SENDREQUEST_COMPLETE:
        if (!WinHttpReceiveResponse(handle, nullptr))
            failed();
        break;
    case WINHTTP_CALLBACK_STATUS_HEADERS_AVAILABLE: {
        DWORD status = 0, size = sizeof status;
        WinHttpQueryHeaders(handle, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                            WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX);
        status_ = status;
        retryAfter_ = QueryHeader(handle, WINHTTP_QUERY_RETRY_AFTER);
        if (!WinHttpQueryDataAvailable(handle, nullptr))
            failed();
        break;
    }
    case WINHTTP_CALLBACK_STATUS_DATA_AVAILABLE:
        if (value == 0)
            done_ = true;
        else if (WinHttpReadData(handle, request.chunk.data(),
                                 static_cast<DWORD>(std::min<std::uintptr_t>(value, kReadSize)), nullptr))
            request.reading = true;
        else
            failed();
        break;
    case WINHTTP_CALLBACK_STATUS_READ_COMPLETE:
        request.reading = false;
        if (value == 0) {
            done_ = true;
        } else if (body_.size() + value > MaxBody) {
            body_.append(request.chunk.data(), MaxBody - body_.size());
            tooLarge_ = true;
            done_ = true;
        } else {
            body_.append(request.chunk.data(), value);
            if (!WinHttpQueryDataAvailable(handle, nullptr))
                failed();
        }
        break;
    case WINHTTP_CALLBACK_STATUS_REQUEST_ERROR:
        error_ = static_cast<unsigned long>(value);
        done_ = true;
        break;
    case WINHTTP_CALLBACK_STATUS_HANDLE_CLOSING:
        request.closed = true;
        break;
    default:
        break;
    }
}

void TztRdap::Execute(const std::string& url)
{
    done_ = canceled_ = timedOut_ = tooLarge_ = false;
    error_ = 0;
    status_ = 0;
    retryAfter_.clear();
    body_.clear();

    std::wstring address = Widen(url, CP_UTF8);
    wchar_t host[256] = {}, path[2048] = {};
    URL_COMPONENTS parts = {};
    parts.dwStructSize = sizeof parts;
    parts.lpszHostName = host;
    parts.dwHostNameLength = 256;
    parts.lpszUrlPath = path;
    parts.dwUrlPathLength = 2048;
    parts.dwExtraInfoLength = 1;
    if (!WinHttpCrackUrl(address.c_str(), 0, 0, &parts)
        || (parts.nScheme != INTERNET_SCHEME_HTTP && parts.nScheme != INTERNET_SCHEME_HTTPS))
        throw ERdapError("Not an RDAP address: " + url);
    std::wstring target(path, parts.dwUrlPathLength);
    if (parts.lpszExtraInfo != nullptr)
        target.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);

    Request request;
    HiddenWindow window([this, &request](UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT {
        if (message != WM_RDAPEVENT)
            return request.window->Default(message, wParam, lParam);
        Step(request, static_cast<unsigned>(wParam), static_cast<std::uintptr_t>(lParam));
        return 0;
    });
    request.window = &window;

    running_ = true;
    AtExit finished([&] {
        running_ = false;
        timer_->SetEnabled(false);
        // A read still under way may write into the buffer until WinHTTP reports the
        // handle closed; otherwise nothing of ours is touched after the close.
        if (request.handle && request.handle.Close() && request.reading) {
            const DWORD start = GetTickCount();
            MSG message;
            while (!request.closed && GetTickCount() - start < kClosingBound) {
                if (PeekMessageW(&message, window.Handle(), 0, 0, PM_REMOVE))
                    DispatchMessageW(&message);
                else
                    MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_POSTMESSAGE);
            }
        }
    });

    request.session.reset(WinHttpOpen(L"Vantrel Tessaly Whois", WINHTTP_ACCESS_TYPE_DEFAULT_PROXY,
                                      WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS,
                                      WINHTTP_FLAG_ASYNC));
    if (request.session) {
        const int limit = TimeOut > 0 ? TimeOut * 1000 : 0;
        WinHttpSetTimeouts(request.session.get(), limit, limit, limit, limit);
        request.connection.reset(WinHttpConnect(request.session.get(), host, parts.nPort, 0));
    }
    if (request.connection) {
        const wchar_t* accept[] = {L"application/rdap+json", nullptr};
        request.handle.reset(WinHttpOpenRequest(
            request.connection.get(), L"GET", target.c_str(), nullptr, WINHTTP_NO_REFERER, accept,
            parts.nScheme == INTERNET_SCHEME_HTTPS ? WINHTTP_FLAG_SECURE : 0));
    }
    HWND notified = window.Handle();
    if (!request.handle
        || !WinHttpSetOption(request.handle.get(), WINHTTP_OPTION_CONTEXT_VALUE, &notified, sizeof notified)
        || WinHttpSetStatusCallback(request.handle.get(), OnStatus,
                                    WINHTTP_CALLBACK_FLAG_ALL_COMPLETIONS | WINHTTP_CALLBACK_FLAG_HANDLES, 0)
               == WINHTTP_INVALID_STATUS_CALLBACK
        || !WinHttpSendRequest(request.handle.get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0,
                               WINHTTP_NO_REQUEST_DATA, 0, 0, reinterpret_cast<DWORD_PTR>(notified)))
        throw ERdapError(FailureText(GetLastError()));

    countdown_ = TimeOut;
    timer_->SetEnabled(true);
    for (;;) {
        Application.ProcessMessages();
        if (done_ || canceled_ || timedOut_)
            break;
        Application.WaitForMessage(1000);
    }
    if (canceled_)
        throw ECanceledError();
    if (timedOut_ || error_ == ERROR_WINHTTP_TIMEOUT)
        throw ETimedOutError();
    if (error_ != 0)
        throw ERdapError(FailureText(error_));
}

} // namespace zt
