#include "ztRasCmp.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <utility>

#include "../classes/application.h"
#include "../classes/handle.h"
#include "../classes/hiddenwnd.h"
#include "../classes/timer.h"
#include "../socket/ztsockerr.h"
#include "ztrasAPI.h"

namespace zt {

namespace {

const char kNoRasText[] = "TztRas component was unable to detect\rRAS on your system.";
const char kLinkUpText[] = "This property can be set only before\restablishing the connection";
const char kInvalidServiceText[] = "Invalid service name";
const char kPasswordTooLongText[] = "Password is too long (at most 256 characters)";

// The class library's error box: caption "Error", error icon, OK.
void ErrorBox(const char* text)
{
    MessageBoxA(GetActiveWindow(), text, "Error", MB_OK | MB_ICONERROR);
}

// A fixed-size text field of a record, up to its terminating zero.
template <std::size_t N>
std::string FieldText(const char (&field)[N])
{
    return std::string(field, strnlen(field, N));
}

// Copies a text into a fixed-size field that the caller has zero-filled; the text
// must fit with its terminating zero.
template <std::size_t N>
void SetField(char (&field)[N], const std::string& text)
{
    std::memcpy(field, text.data(), std::min(text.size(), N - 1));
}

bool SameTextSystemLocale(const std::string& a, const std::string& b)
{
    return CompareStringA(LOCALE_SYSTEM_DEFAULT, NORM_IGNORECASE | SORT_STRINGSORT, a.data(),
                          static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()))
           == CSTR_EQUAL;
}

// Lists records into a zero-filled buffer whose first record carries the size; the
// count is capped at the buffer's room.
template <class Record, DWORD N, class List>
DWORD Enumerate(Record (&buffer)[N], DWORD& count, List list)
{
    buffer[0].dwSize = sizeof(Record);
    DWORD size = sizeof buffer;
    DWORD result = list(buffer, &size, &count);
    count = std::min(count, N);
    return result;
}

std::string RasErrorText(std::uint32_t code)
{
    char buffer[256] = {};
    OwnedLibrary library = ras::LoadRasLibrary();
    if (auto getText = ras::Import_RasGetErrorStringA(library.get())) {
        if (getText(code, buffer, sizeof buffer) != 0)
            std::snprintf(buffer, sizeof buffer, "RAS error no %lu", static_cast<unsigned long>(code));
    }
    buffer[sizeof buffer - 1] = '\0';
    return buffer;
}

} // namespace

ERASError::ERASError(std::uint32_t code) : Exception(RasErrorText(code)) {}

TztRas::TztRas(Component* owner) : Component(owner)
{
    if (!Designing())
        window_ = std::make_unique<HiddenWindow>(
            [this](UINT message, WPARAM wParam, LPARAM lParam) {
                return WndProc(message, wParam, lParam);
            });
    dialEventMsg_ = RegisterWindowMessageA(ras::DialEventMessageName);
    connHandle_ = INVALID_HANDLE_VALUE;
    TimeOut = 120;
    linkUp_ = false;
    aborted_ = false;
    timedOut_ = false;
    dialTimer_ = new Timer(this);
    dialTimer_->SetEnabled(false);
    dialTimer_->SetInterval(1000);
    dialTimer_->OnTimer = [this](Component* sender) { TimerTick(sender); };
    MinimizeAtConnect = false;
    RemovePassword = true;
    ForceService = true;
    rasLib_ = ras::LoadRasLibrary();
    GetEntries();
}

TztRas::~TztRas()
{
    // A link that is up stays up.
    rasLib_.reset();
    entries_.Clear();
    delete dialTimer_;
    dialTimer_ = nullptr;
    window_.reset();
}

HWND TztRas::WindowHandle() const noexcept
{
    return window_ ? window_->Handle() : nullptr;
}

const StringList& TztRas::GetEntries()
{
    entries_.Clear();
    auto enumEntries = ras::Import_RasEnumEntriesA(rasLib_.get());
    if (enumEntries == nullptr)
        return entries_;
    ras::RASENTRYNAME buffer[ras::EntryBufferCount] = {};
    DWORD count = 0;
    lastError_ = Enumerate(buffer, count, [&](auto* records, DWORD* size, DWORD* got) {
        return enumEntries(nullptr, nullptr, records, size, got);
    });
    if (lastError_ == 0)
        for (DWORD i = 0; i < count; ++i)
            entries_.Add(FieldText(buffer[i].szEntryName));
    return entries_;
}

bool TztRas::RasAvailable() const noexcept
{
    return entries_.Count() > 0;
}

void TztRas::SetService(const std::string& value)
{
    if (value.empty()) {
        service_.clear();
        return;
    }
    if (!RasAvailable()) {
        ErrorBox(kNoRasText);
        return;
    }
    if (linkUp_) {
        ErrorBox(kLinkUpText);
        return;
    }
    const StringList& entries = GetEntries();
    for (int i = 0; i < entries.Count(); ++i) {
        if (SameTextSystemLocale(entries[i], value)) {
            service_ = value;
            return;
        }
    }
    ErrorBox(kInvalidServiceText);
    service_.clear();
}

void TztRas::ReadProperty(const std::string& name, const std::string& value)
{
    if (name == "Service")
        SetService(value);
    else if (name == "ForceService")
        ForceService = ParseBoolean(name, value);
    else if (name == "MinimizeAtConnect")
        MinimizeAtConnect = ParseBoolean(name, value);
    else if (name == "Password") {
        if (value.size() > ras::MaxPassword)
            throw Exception(kPasswordTooLongText);
        Password = value;
    } else if (name == "RemovePassword")
        RemovePassword = ParseBoolean(name, value);
    else if (name == "TimeOut")
        TimeOut = static_cast<std::int32_t>(ParseInteger(name, value, INT32_MIN, INT32_MAX));
    else
        Component::ReadProperty(name, value);
}

bool TztRas::IsConnected()
{
    auto enumConnections = ras::Import_RasEnumConnectionsA(rasLib_.get());
    if (enumConnections == nullptr)
        return false;
    ras::RASCONN buffer[ras::ConnBufferCount] = {};
    DWORD count = 0;
    lastError_ = Enumerate(buffer, count, enumConnections);
    if (lastError_ != 0)
        throw ERASError(lastError_);

    for (DWORD i = 0; i < count; ++i) {
        if (FieldText(buffer[i].szEntryName) == service_ && buffer[i].hrasconn != connHandle_) {
            connHandle_ = buffer[i].hrasconn;
            return true;
        }
    }
    if (ForceService)
        return false;

    auto projectionInfo =
        ras::Import_RasGetProjectionInfoA(rasLib_.get());
    if (projectionInfo == nullptr)
        return false;
    for (DWORD i = 0; i < count; ++i) {
        ras::RASPPPIP ip = {};
        ip.dwSize = sizeof ip;
        DWORD ipSize = sizeof ip;
        lastError_ = projectionInfo(buffer[i].hrasconn, ras::RASP_PppIp, &ip, &ipSize);
        if (lastError_ != 0)
            throw ERASError(lastError_);
        if (ip.szIpAddress[0] != '\0') {
            connHandle_ = buffer[i].hrasconn;
            return true;
        }
    }
    return false;
}

void TztRas::Connect()
{
    if (IsConnected() || service_.empty()) {
        linkUp_ = true;
        dialled_ = false;
        return;
    }
    auto getParams = ras::Import_RasGetEntryDialParamsA(rasLib_.get());
    auto setParams = ras::Import_RasSetEntryDialParamsA(rasLib_.get());
    auto dial = ras::Import_RasDialA(rasLib_.get());
    if (getParams == nullptr || setParams == nullptr || dial == nullptr)
        return;

    dialled_ = true;
    ResetState();

    ras::RASDIALPARAMS params = {};
    // The password must not linger on the stack.
    AtExit wipe([&params] { SecureZeroMemory(&params, sizeof params); });
    params.dwSize = sizeof params;
    SetField(params.szEntryName, service_);

    BOOL passwordSaved = FALSE;
    lastError_ = getParams(nullptr, &params, &passwordSaved);
    if (lastError_ != 0)
        throw ERASError(lastError_);
    if (!passwordSaved) {
        // Never cut or overrun: a password that does not fit is refused.
        if (Password.size() > ras::MaxPassword)
            throw Exception(kPasswordTooLongText);
        SetField(params.szPassword, Password);
        lastError_ = setParams(nullptr, &params, RemovePassword ? BOOL(-1) : BOOL(0));
        if (lastError_ != 0)
            throw ERASError(lastError_);
    }

    connHandle_ = nullptr;
    lastError_ = dial(nullptr, nullptr, &params, ras::NotifierWindowMessage, WindowHandle(),
                      &connHandle_);
    if (lastError_ != 0) {
        HangUp();
        throw ERASError(lastError_);
    }

    StartTimeOut();
    {
        // Also an exception from a handler that runs inside the wait stops the timer.
        AtExit stop([this] { StopTimeOut(); });
        for (;;) {
            Application.ProcessMessages();
            if (linkUp_ || lastError_ != 0 || aborted_ || timedOut_)
                break;
            // The running one-second timer wakes this at least once a second.
            Application.WaitForMessage();
        }
    }

    if (lastError_ != 0) {
        HangUp();
        throw ERASError(lastError_);
    }
    if (aborted_)
        throw ECanceledError();
    if (timedOut_)
        throw ETimedOutError();
    if (MinimizeAtConnect)
        MinimizeDialWindow();
}

void TztRas::HangUp()
{
    auto hangUp = ras::Import_RasHangUpA(rasLib_.get());
    if (hangUp == nullptr)
        return;
    AtExit down([this] {
        linkUp_ = false;
        connHandle_ = INVALID_HANDLE_VALUE;
    });
    if (RasAvailable() && dialled_) {
        hangUp(connHandle_);
        if (OnDisconnected)
            OnDisconnected(this);
    }
}

void TztRas::Disconnect()
{
    AtExit abort([this] { aborted_ = true; });
    HangUp();
}

void TztRas::ResetState()
{
    connHandle_ = INVALID_HANDLE_VALUE;
    linkUp_ = false;
    aborted_ = false;
    timedOut_ = false;
}

void TztRas::StartTimeOut()
{
    countdown_ = TimeOut;
    dialTimer_->SetEnabled(true);
}

void TztRas::StopTimeOut()
{
    dialTimer_->SetEnabled(false);
}

void TztRas::TimerTick(Component*)
{
    // A time-out of 0 or less counts down past zero and never ends the dial.
    if (countdown_ > INT32_MIN)
        --countdown_;
    if (countdown_ == 0)
        timedOut_ = true;
}

LRESULT TztRas::WndProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != dialEventMsg_ || dialEventMsg_ == 0)
        return window_->Default(message, wParam, lParam);
    const auto state = static_cast<std::uint32_t>(wParam);
    const auto error = static_cast<std::uint32_t>(lParam);
    if (OnStatusChange)
        OnStatusChange(this, StatusText(state & 0xFFFFu));
    if (!linkUp_)
        linkUp_ = state == ras::RASCS_Connected;
    if (error != 0) {
        lastError_ = error;
        // Before the link is up the wait of Connect sees the code instead.
        if (linkUp_)
            throw ERASError(error);
    }
    return 0;
}

std::string TztRas::StatusText(std::uint32_t state) const
{
    UINT id = ras::StatusResourceId(state);
    if (id == 0 || !rasLib_)
        return {};
    char buffer[256] = {};
    int length = LoadStringA(rasLib_.get(), id, buffer, 255);
    return length > 0 ? std::string(buffer, static_cast<std::size_t>(length)) : std::string();
}

void TztRas::MinimizeDialWindow()
{
    Sleep(1000);
    if (HWND dialog = FindWindowA("#32770", nullptr))
        SendMessageA(dialog, WM_SYSCOMMAND, SC_MINIMIZE, 0);
}

} // namespace zt
