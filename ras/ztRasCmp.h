// The dial-up component: makes sure a connection of the platform's Remote Access
// Service is up before a socket connects, and hangs up what it dialled itself.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "../classes/component.h"
#include "../classes/handle.h"
#include "../classes/streams.h"
#include "../classes/sysutils.h"

namespace zt {

class HiddenWindow;
class Timer;

// Sender and the status text of a dial state.
using TRASNotifyEvent = std::function<void(Component* sender, std::string rasStatusStr)>;

// A RAS failure; the text is the platform's text for the code.
class ERASError : public Exception {
public:
    explicit ERASError(std::uint32_t code);
    ZT_CLASS_NAME(ERASError)
};

class TztRas : public Component {
public:
    explicit TztRas(Component* owner);
    ~TztRas() override;

    // Brings the link up unless a suitable one is up already. Raises ERASError,
    // ECanceledError or ETimedOutError.
    void Connect();
    // HangUp, then ends a waiting Connect as cancelled.
    void Disconnect();
    // Hangs up the link this component dialled and fires OnDisconnected.
    void HangUp();
    // Is a suitable connection up already; adopts its handle. Raises ERASError.
    bool IsConnected();
    // The phone-book entries, read afresh.
    const StringList& GetEntries();
    bool RasAvailable() const noexcept;

    // Published properties.
    const std::string& Service() const noexcept { return service_; }
    void SetService(const std::string& value);
    bool ForceService = true;
    bool MinimizeAtConnect = false;
    std::string Password;
    bool RemovePassword = true;
    std::int32_t TimeOut = 120;
    TRASNotifyEvent OnStatusChange;
    NotifyEvent OnDisconnected;

    // Read-only views.
    std::uint32_t LastError() const noexcept { return lastError_; }
    const StringList& Entries() const noexcept { return entries_; }
    bool LinkUp() const noexcept { return linkUp_; }
    bool Dialled() const noexcept { return dialled_; }
    HANDLE ConnHandle() const noexcept { return connHandle_; }
    HWND WindowHandle() const noexcept;

protected:
    void ReadProperty(const std::string& name, const std::string& value) override;

private:
    void ResetState();
    void StartTimeOut();
    void StopTimeOut();
    void TimerTick(Component* sender);
    LRESULT WndProc(UINT message, WPARAM wParam, LPARAM lParam);
    std::string StatusText(std::uint32_t state) const;
    void MinimizeDialWindow();

    StringList entries_;
    std::string service_;
    HANDLE connHandle_ = INVALID_HANDLE_VALUE;
    UINT dialEventMsg_ = 0;
    std::unique_ptr<HiddenWindow> window_;
    bool dialled_ = false;
    std::int32_t countdown_ = 0;
    OwnedLibrary rasLib_;
    std::uint32_t lastError_ = 0;
    Timer* dialTimer_ = nullptr;
    bool aborted_ = false;
    bool timedOut_ = false;
    bool linkUp_ = false;
};

} // namespace zt
