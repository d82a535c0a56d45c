// The main window and the flow of one lookup.
#include "whois.h"

#include <commctrl.h>
#include <commdlg.h>
#include <richedit.h>
#include <windowsx.h>

#include <algorithm>
#include <cstring>
#include <exception>
#include <vector>

#include "../classes/application.h"
#include "../classes/dispatch.h"
#include "../classes/handle.h"
#include "../classes/imports.h"
#include "../classes/sysutils.h"
#include "../classes/winfile.h"
#include "../classes/wintext.h"
#include "../whois/ztrdap.h"
#include "../whois/ztwhois.h"
#include "FmxUtils.h"
#include "PathOfF.h"
#include "domtable.h"
#include "idn.h"
#include "lookup.h"
#include "readastr.h"
#include "version.h"

#ifndef WM_DPICHANGED
#define WM_DPICHANGED 0x02E0
#endif

namespace rozoru {

std::string AppDir;
TForm1* Form1 = nullptr;

namespace {

const wchar_t kFormClass[] = L"TForm1";
const wchar_t kCaption[] = L"Vantrel Tessaly \"Whois\"";
const int kClientWidth = 536;
const int kClientHeight = 364;
const DWORD kFormStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
const DWORD kFormExStyle = 0;

const int kLongResults = 64 * 1024;
// Id of our subclass of the results box.
const UINT_PTR kResultsSubclass = 1;
// The longest domain name; the host box takes no more.
const int kHostLimit = 253;

static_assert(sizeof(kEncryptionPage) <= kShellTextBuffer, "the address must fit its buffer");
static_assert(sizeof(kAntiSpamPage) <= kShellTextBuffer, "the address must fit its buffer");

// The layout at 96 DPI, in the client area's pixels; every other DPI scales it.
struct Place {
    HWND TForm1::*control;
    int left, top, width, height;
    bool sizeToText; // a static text as wide and high as its text
};
const Place kLayout[] = {
    {&TForm1::Label1, 8, 8, 57, 21, false},
    {&TForm1::txtHost, 80, 8, 281, 21, false},
    {&TForm1::btnHelp, 360, 8, 25, 21, false},
    {&TForm1::btnGo, 408, 8, 60, 21, false},
    {&TForm1::Button1, 472, 8, 60, 21, false},
    {&TForm1::redResults, 8, 40, 521, 233, false},
    {&TForm1::Image1, 8, 280, 324, 74, false},
    {&TForm1::btnKoEncrypt, 344, 288, 17, 17, false},
    {&TForm1::StaticText1, 368, 288, 168, 17, true},
    {&TForm1::btnKoAntiSpam, 344, 328, 17, 17, false},
    {&TForm1::StaticText2, 368, 328, 140, 17, true},
};

// The platform's per-monitor DPI functions, where it has them (Windows 10 on).
ZT_IMPORT(GetDpiForWindow, UINT(WINAPI*)(HWND window))
ZT_IMPORT(AdjustWindowRectExForDpi,
          BOOL(WINAPI*)(LPRECT rect, DWORD style, BOOL menu, DWORD exStyle, UINT dpi))

HMODULE User32() { return GetModuleHandleA("user32.dll"); }

UINT WindowDpi(HWND window)
{
    if (auto forWindow = Import_GetDpiForWindow(User32()))
        if (UINT dpi = forWindow(window))
            return dpi;
    HDC screen = GetDC(nullptr);
    int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi > 0 ? static_cast<UINT>(dpi) : 96;
}

int Scale(int value, UINT dpi) { return MulDiv(value, static_cast<int>(dpi), 96); }

// The rest of a text that the rich-text box reads in, as UTF-16.
struct StreamSource {
    const wchar_t* next;
    std::size_t left; // characters
};

DWORD CALLBACK ReadStreamSource(DWORD_PTR cookie, LPBYTE buffer, LONG size, LONG* got)
{
    auto* from = reinterpret_cast<StreamSource*>(cookie);
    std::size_t count = std::min(from->left, static_cast<std::size_t>(size) / sizeof(wchar_t));
    // A CR LF stays in one piece: split, it would read as two line ends.
    if (count > 1 && count < from->left && from->next[count - 1] == L'\r' && from->next[count] == L'\n')
        --count;
    std::memcpy(buffer, from->next, count * sizeof(wchar_t));
    from->next += count;
    from->left -= count;
    *got = static_cast<LONG>(count * sizeof(wchar_t));
    return 0;
}

std::string ModuleFileName()
{
    std::vector<char> buffer(MAX_PATH + 1);
    for (;;) {
        DWORD got = GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (got == 0)
            throw zt::EInOutError(static_cast<int>(GetLastError()));
        if (got < buffer.size())
            return std::string(buffer.data(), got);
        buffer.resize(buffer.size() * 2);
    }
}

HFONT CreateUiFont(int height, int weight)
{
    return CreateFontW(-height, 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                       OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                       DEFAULT_PITCH | FF_DONTCARE, L"MS Sans Serif");
}

bool IsPushButton(HWND control)
{
    wchar_t className[16] = {};
    if (GetClassNameW(control, className, 16) == 0 || lstrcmpiW(className, L"Button") != 0)
        return false;
    LONG type = GetWindowLongW(control, GWL_STYLE) & BS_TYPEMASK;
    return type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON;
}

bool IsAscii(const std::string& text)
{
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

} // namespace

// Fonts, the logo and the rich-text library, for the life of the window; fonts and
// the logo's picture are made again for each DPI.
class TForm1::Resources {
public:
    explicit Resources(HINSTANCE instance)
        : richEdit(LoadLibraryA("riched20.dll")),
          logo(static_cast<HBITMAP>(
              LoadImageA(instance, "LOGO", IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)))
    {
        if (!logo)
            return;
        BITMAP info = {};
        GetObjectA(logo.get(), sizeof info, &info);
        logoWidth = info.bmWidth;
        logoHeight = info.bmHeight;
        // The colour of the bottom-left pixel is drawn as the background.
        zt::OwnedDC memory(CreateCompatibleDC(nullptr));
        HGDIOBJ previous = SelectObject(memory.get(), logo.get());
        transparentColor = GetPixel(memory.get(), 0, logoHeight - 1);
        SelectObject(memory.get(), previous);
    }

    void ForDpi(UINT dpi)
    {
        font.reset(CreateUiFont(Scale(11, dpi), FW_NORMAL));
        helpFont.reset(CreateUiFont(Scale(13, dpi), FW_BOLD));
        ComposeLogo(Scale(logoWidth, dpi), Scale(logoHeight, dpi));
    }

    // The logo on the window's colour, at the given size, smoothly scaled.
    void ComposeLogo(int width, int height)
    {
        picture.reset();
        if (!logo)
            return;
        HDC screen = GetDC(nullptr);
        zt::AtExit release([&] { ReleaseDC(nullptr, screen); });
        zt::OwnedBitmap flat(CreateCompatibleBitmap(screen, logoWidth, logoHeight));
        zt::OwnedBitmap scaled(CreateCompatibleBitmap(screen, width, height));
        zt::OwnedDC source(CreateCompatibleDC(screen));
        zt::OwnedDC flatDC(CreateCompatibleDC(screen));
        zt::OwnedDC scaledDC(CreateCompatibleDC(screen));
        HGDIOBJ sourceBefore = SelectObject(source.get(), logo.get());
        HGDIOBJ flatBefore = SelectObject(flatDC.get(), flat.get());
        HGDIOBJ scaledBefore = SelectObject(scaledDC.get(), scaled.get());
        RECT all = {0, 0, logoWidth, logoHeight};
        FillRect(flatDC.get(), &all, GetSysColorBrush(COLOR_BTNFACE));
        TransparentBlt(flatDC.get(), 0, 0, logoWidth, logoHeight, source.get(), 0, 0, logoWidth,
                       logoHeight, transparentColor);
        SetStretchBltMode(scaledDC.get(), HALFTONE);
        SetBrushOrgEx(scaledDC.get(), 0, 0, nullptr);
        StretchBlt(scaledDC.get(), 0, 0, width, height, flatDC.get(), 0, 0, logoWidth, logoHeight,
                   SRCCOPY);
        SelectObject(source.get(), sourceBefore);
        SelectObject(flatDC.get(), flatBefore);
        SelectObject(scaledDC.get(), scaledBefore);
        picture = std::move(scaled);
        pictureWidth = width;
        pictureHeight = height;
    }

    zt::OwnedFont font;
    zt::OwnedFont helpFont;
    zt::OwnedLibrary richEdit;
    zt::OwnedBitmap logo;
    int logoWidth = 0;
    int logoHeight = 0;
    COLORREF transparentColor = 0;
    zt::OwnedBitmap picture;
    int pictureWidth = 0;
    int pictureHeight = 0;
};

TForm1::TForm1() : zt::Component(nullptr)
{
    SetName("Form1");
    try {
        resources_ = std::make_unique<Resources>(GetModuleHandleA(nullptr));
        CreateWnd();
        CreateControls();
        Layout(WindowDpi(handle_));
        ztWhoIs1 = new zt::TztWhoIs(this);
        ztWhoIs1->SetName("ztWhoIs1");
        ztWhoIs1->ApplyStoredProperties({{"WinsockLoaded", "True"}, {"DefaultPort", "43"}});
        ztRdap1 = new zt::TztRdap(this);
        ztRdap1->SetName("ztRdap1");
        ztRdap1->TimeOut = ztWhoIs1->TimeOut();
    } catch (...) {
        DestroyHandle();
        throw;
    }
    zt::Application.SetDialogWindow(handle_);
}

TForm1::~TForm1()
{
    DestroyHandle();
    // ztWhoIs1 goes with the components this form owns.
}

void TForm1::DestroyHandle() noexcept
{
    if (handle_ == nullptr)
        return;
    HWND window = handle_;
    handle_ = nullptr;
    if (zt::Application.DialogWindow() == window)
        zt::Application.SetDialogWindow(nullptr);
    if (IsWindow(window)) {
        // From here on the window no longer reaches this object.
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        DestroyWindow(window);
    }
}

void TForm1::CreateWnd()
{
    HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconW(instance, L"MAINICON");
    // Shared: the system frees it with the program's module.
    windowClass.hIconSm = static_cast<HICON>(LoadImageW(instance, L"MAINICON", IMAGE_ICON,
                                                        GetSystemMetrics(SM_CXSMICON),
                                                        GetSystemMetrics(SM_CYSMICON), LR_SHARED));
    windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)); // IDC_ARROW
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kFormClass;
    WNDCLASSEXW existing = {};
    if (!GetClassInfoExW(instance, kFormClass, &existing) && !RegisterClassExW(&windowClass))
        throw zt::Exception("Cannot register the window class");

    // Sized and centred by Layout, once the window's DPI is known.
    HWND window = CreateWindowExW(kFormExStyle, kFormClass, kCaption, kFormStyle, 0, 0,
                                  kClientWidth, kClientHeight, nullptr, nullptr, instance, this);
    if (window == nullptr)
        throw zt::Exception("Cannot create the main window");
    handle_ = window;
}

HWND TForm1::CreateControl(const wchar_t* className, const wchar_t* text, DWORD style,
                           DWORD exStyle, int id)
{
    HWND control = CreateWindowExW(exStyle, className, text, WS_CHILD | WS_VISIBLE | style, 0, 0,
                                   0, 0, handle_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                   GetModuleHandleA(nullptr), nullptr);
    if (control == nullptr)
        throw zt::Exception("Cannot create a control of class " + zt::Utf8(className));
    return control;
}

void TForm1::CreateControls()
{
    // Created in tab order, so that Tab follows it; the label first, the logo last.
    Label1 = CreateControl(L"STATIC", L"Host", SS_RIGHT, 0, idLabel1);
    txtHost = CreateControl(L"EDIT", L"", WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE, idHost);
    SendMessageW(txtHost, EM_LIMITTEXT, kHostLimit, 0);
    btnGo = CreateControl(L"BUTTON", L"&Go", WS_TABSTOP | BS_DEFPUSHBUTTON, 0, idGo);
    CreateResultsBox();
    btnKoEncrypt = CreateControl(L"BUTTON", L"", WS_TABSTOP | BS_PUSHBUTTON, 0, idKoEncrypt);
    StaticText1 = CreateControl(L"STATIC", L"Vantrel PGP Encryption tools", SS_LEFT, 0, idStaticText1);
    btnKoAntiSpam = CreateControl(L"BUTTON", L"", WS_TABSTOP | BS_PUSHBUTTON, 0, idKoAntiSpam);
    StaticText2 = CreateControl(L"STATIC", L"Vantrel anti-Spam tools", SS_LEFT, 0, idStaticText2);
    Button1 = CreateControl(L"BUTTON", L"&About", WS_TABSTOP | BS_PUSHBUTTON, 0, idAbout);
    btnHelp = CreateControl(L"BUTTON", L"?", WS_TABSTOP | BS_PUSHBUTTON, 0, idHelp);
    Image1 = CreateControl(L"STATIC", L"", SS_OWNERDRAW, 0, idImage1);
    ShowResults(L"<no data yet>");
}

void TForm1::CreateResultsBox()
{
    redResults = CreateControl(RICHEDIT_CLASSW, L"",
                               WS_TABSTOP | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL
                                   | ES_WANTRETURN,
                               WS_EX_CLIENTEDGE, idResults);
    // The answer may be long: no limit but the platform's.
    SendMessageW(redResults, EM_EXLIMITTEXT, 0, 0x7FFFFFFE);
    SetWindowSubclass(redResults, ResultsProc, kResultsSubclass, reinterpret_cast<DWORD_PTR>(this));
}

void TForm1::Layout(UINT dpi, const RECT* suggested)
{
    dpi_ = dpi;
    resources_->ForDpi(dpi);
    for (const Place& place : kLayout)
        PlaceControl(this->*place.control);
    InvalidateRect(Image1, nullptr, TRUE);

    // The window around a client area of the scaled size: where the system suggests
    // after a change of monitor, otherwise centred on the window's monitor.
    RECT frame = {0, 0, Scale(kClientWidth, dpi), Scale(kClientHeight, dpi)};
    if (auto adjust = Import_AdjustWindowRectExForDpi(User32()))
        adjust(&frame, kFormStyle, FALSE, kFormExStyle, dpi);
    else
        AdjustWindowRectEx(&frame, kFormStyle, FALSE, kFormExStyle);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    RECT area = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof monitor;
    if (GetMonitorInfoW(MonitorFromWindow(handle_, MONITOR_DEFAULTTONEAREST), &monitor))
        area = monitor.rcMonitor;
    const int left = suggested ? suggested->left : area.left + (area.right - area.left - width) / 2;
    const int top = suggested ? suggested->top : area.top + (area.bottom - area.top - height) / 2;
    SetWindowPos(handle_, nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

void TForm1::PlaceControl(HWND control)
{
    for (const Place& place : kLayout) {
        if (this->*place.control != control)
            continue;
        SendMessageW(control, WM_SETFONT,
                     reinterpret_cast<WPARAM>(control == btnHelp ? resources_->helpFont.get()
                                                                 : resources_->font.get()),
                     TRUE);
        SetWindowPos(control, nullptr, Scale(place.left, dpi_), Scale(place.top, dpi_),
                     Scale(place.width, dpi_), Scale(place.height, dpi_), SWP_NOZORDER | SWP_NOACTIVATE);
        if (place.sizeToText)
            SizeToText(control);
    }
}

void TForm1::SizeToText(HWND control)
{
    std::wstring text = zt::WindowTextW(control);
    HDC dc = GetDC(control);
    zt::AtExit release([&] { ReleaseDC(control, dc); });
    HGDIOBJ previous = SelectObject(dc, resources_->font.get());
    RECT bounds = {0, 0, 0, 0};
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &bounds,
              DT_CALCRECT | DT_SINGLELINE | DT_LEFT);
    SelectObject(dc, previous);
    SetWindowPos(control, nullptr, 0, 0, bounds.right - bounds.left, bounds.bottom - bounds.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TForm1::ShowResults(const std::wstring& text)
{
    StreamSource source{text.data(), text.size()};
    EDITSTREAM stream = {};
    stream.dwCookie = reinterpret_cast<DWORD_PTR>(&source);
    stream.pfnCallback = ReadStreamSource;
    // Plain text, never RTF, however the text begins.
    SendMessageW(redResults, EM_STREAMIN, SF_TEXT | SF_UNICODE, reinterpret_cast<LPARAM>(&stream));
}

void TForm1::ClearResults()
{
    // Emptying a rich-edit box that holds a very long answer can take minutes (seen
    // with 1 MiB under Wine), while a new box costs nothing: such a box is replaced,
    // in its place in the tab order, right behind Go.
    if (GetWindowTextLengthW(redResults) < kLongResults) {
        ShowResults(L"");
        return;
    }
    bool focused = GetFocus() == redResults;
    HWND old = redResults;
    CreateResultsBox();
    SetWindowPos(redResults, btnGo, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    PlaceControl(redResults);
    if (lastFocus_ == old)
        lastFocus_ = redResults;
    if (focused)
        SetFocus(redResults);
    DestroyWindow(old);
}

void TForm1::Show(int showCommand)
{
    std::exception_ptr failure;
    if (!shown_) {
        shown_ = true;
        try {
            FormShow();
        } catch (...) {
            failure = std::current_exception();
        }
        if (failure)
            UpdateGoButton();
    }
    if (showCommand == SW_HIDE)
        showCommand = SW_SHOWNORMAL;
    ShowWindow(handle_, showCommand);
    UpdateWindow(handle_);
    if (failure)
        zt::Application.HandleException(failure);
}

// --- Handlers --------------------------------------------------------------------

void TForm1::FormShow()
{
    AppDir = DirectoryPart(ModuleFileName());
    if (AppDir.empty() || AppDir.back() != '\\')
        AppDir += '\\';
    if (!SetCurrentDirectoryA(AppDir.c_str()))
        throw zt::EInOutError(static_cast<int>(GetLastError()));
    UpdateGoButton();
    ShowResults(zt::DisplayText(ReadAsString(AppDir + kResultsFile)));
}

void TForm1::txtHostChange() { UpdateGoButton(); }

void TForm1::UpdateGoButton()
{
    bool enable = !queryRunning_ && !zt::Trim(zt::Utf8(zt::WindowTextW(txtHost))).empty();
    // A disabled button cannot keep the focus: the host box takes it.
    if (!enable && GetFocus() == btnGo)
        SetFocus(txtHost);
    EnableWindow(btnGo, enable ? TRUE : FALSE);
}

ServerSelection TForm1::SelectFor(const std::string& hostText)
{
    const std::string table = AppDir + "Doms.dat";
    ServerSelection selection = SelectServer(hostText, table);
    if (IsAscii(selection.QueryName))
        return selection;
    // A name in another script is asked in its A-label form, wherever that form's
    // domain has a record; otherwise as typed.
    std::string ascii;
    switch (ToAsciiName(selection.QueryName, ascii)) {
    case IdnResult::Refused:
        throw zt::Exception("Not a valid domain name: " + selection.QueryName);
    case IdnResult::Unavailable:
        return selection;
    case IdnResult::Converted:
        break;
    }
    ServerSelection converted = SelectServer(ascii, table);
    return converted.Matched ? converted : selection;
}

void TForm1::btnGoClick()
{
    // Enter and the access key reach here too; while a query runs, or while the
    // host box is blank, Go is not available.
    if (queryRunning_ || !IsWindowEnabled(btnGo))
        return;

    ClearResults();
    // The host text as UTF-8: an ASCII name is the same bytes as ever.
    const std::string hostText = zt::Utf8(zt::WindowTextW(txtHost));
    // A pasted text may carry line ends or other control bytes inside the name.
    if (zt::HasControlCharacter(zt::Trim(hostText)))
        throw zt::Exception("The host name contains a control character");
    const ServerSelection selection = SelectFor(hostText);
    // Where a registry serves RDAP, it answers when port 43 cannot.
    const std::string rdapBase =
        selection.Matched ? RdapBaseFor(selection.Domain, AppDir + kRdapTable) : std::string();
    const std::string rdapHeader = RdapHeader(selection.Area, rdapBase);
    const bool rdapOnly = selection.Matched && selection.WhoisServer.empty() && !rdapBase.empty();
    if (selection.Matched)
        ShowResults(zt::DisplayText(rdapOnly ? rdapHeader : selection.Header));
    if (selection.WhoisServer.empty() && !rdapOnly)
        return;

    RdapAnswer answer;
    bool byRdap = rdapOnly;
    const bool finished = RunQuery([&] {
        if (!byRdap) {
            try {
                answer.text = WhoisWithReferrals(*ztWhoIs1, selection.WhoisServer, selection.QueryName);
                return;
            } catch (...) {
                if (rdapBase.empty() || closeRequested_ || !FallsBackToRdap(std::current_exception()))
                    throw;
            }
            byRdap = true;
            ShowResults(zt::DisplayText(rdapHeader));
        }
        answer = RdapLookup(*ztRdap1, rdapBase, selection.QueryName);
    });
    if (!finished) {
        // The window was closed meanwhile: it goes now that the query has unwound.
        PostMessageW(handle_, WM_CLOSE, 0, 0);
        return;
    }

    SaveFile(kResultsFile, answer.text);
    if (byRdap)
        SaveFile(kResultsJsonFile, answer.json);
    ShowResults(zt::WindowTextW(redResults) + L"\r\n\n"
                + zt::DisplayText(ReadAsString(AppDir + kResultsFile)));
}

void TForm1::btnHelpClick() { zt::Application.ShowMessage(ReadAsString(AppDir + "help.txt")); }

void TForm1::Button1Click() { zt::Application.ShowMessage("Tessaly Whois V" RZ_VERSION_TEXT); }

void TForm1::btnKoEncryptClick() { ShellOpenFile(handle_, kEncryptionPage, "", "", SW_SHOW); }

void TForm1::btnKoAntiSpamClick() { ShellOpenFile(handle_, kAntiSpamPage, "", "", SW_SHOW); }

// --- The lookup's parts -------------------------------------------------------------

bool TForm1::RunQuery(const std::function<void()>& query)
{
    struct Running {
        explicit Running(TForm1& form) : form_(form)
        {
            form_.queryRunning_ = true;
            form_.closeRequested_ = false;
            form_.UpdateGoButton();
        }
        ~Running()
        {
            form_.queryRunning_ = false;
            try {
                if (form_.handle_ != nullptr && IsWindow(form_.handle_))
                    form_.UpdateGoButton();
            } catch (...) {
                // Only a lack of memory can get here; Go then stays as it is.
            }
        }
        TForm1& form_;
    } running(*this);

    try {
        query();
    } catch (...) {
        // A query that ends because the window closes is not reported.
        if (!closeRequested_)
            throw;
    }
    return !closeRequested_;
}

void TForm1::SaveFile(const std::string& name, const std::string& bytes)
{
    // Only a complete answer replaces the previous one.
    zt::WriteReplacing(zt::Widen(AppDir + name, CP_ACP), bytes, name);
}

// --- The results box's menu -------------------------------------------------------

void TForm1::ResultsMenu(POINT at)
{
    if (at.x == -1 && at.y == -1) {
        // From the keyboard: at the box's top left corner.
        RECT box = {};
        GetWindowRect(redResults, &box);
        at = {box.left + Scale(8, dpi_), box.top + Scale(8, dpi_)};
    }
    CHARRANGE selection = {};
    SendMessageW(redResults, EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&selection));
    zt::OwnedMenu menu(CreatePopupMenu());
    AppendMenuW(menu.get(), MF_STRING | (selection.cpMin != selection.cpMax ? 0 : MF_GRAYED), idCopy,
                L"&Copy\tCtrl+C");
    AppendMenuW(menu.get(), MF_STRING, idSelectAll, L"Select &All\tCtrl+A");
    AppendMenuW(menu.get(), MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu.get(), MF_STRING | (zt::FileExists(AppDir + kResultsFile) ? 0 : MF_GRAYED),
                idSaveAs, L"&Save As...");
    // The choice comes back as a command to the window.
    TrackPopupMenu(menu.get(), TPM_RIGHTBUTTON, at.x, at.y, 0, handle_, nullptr);
}

void TForm1::SaveResultsAs()
{
    wchar_t file[MAX_PATH] = L"Results.txt";
    OPENFILENAMEW dialog = {};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = handle_;
    dialog.lpstrFilter = L"Text files (*.txt)\0*.txt\0All files (*.*)\0*.*\0";
    dialog.lpstrFile = file;
    dialog.nMaxFile = MAX_PATH;
    dialog.lpstrDefExt = L"txt";
    dialog.Flags = OFN_EXPLORER | OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR
                   | OFN_HIDEREADONLY;
    if (!GetSaveFileNameW(&dialog))
        return;
    // The answer's bytes, exactly as Results.Log holds them.
    zt::WriteReplacing(file, ReadAsString(AppDir + kResultsFile), zt::Utf8(file));
}

// --- Messages --------------------------------------------------------------------

LRESULT CALLBACK TForm1::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        auto* form = static_cast<TForm1*>(create->lpCreateParams);
        form->handle_ = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form));
    }
    auto* form = reinterpret_cast<TForm1*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (form == nullptr)
        return DefWindowProcW(window, message, wParam, lParam);
    return zt::Guarded<LRESULT>(0, [&]() -> LRESULT {
        return form->Dispatch(message, wParam, lParam);
    });
}

LRESULT TForm1::Dispatch(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_COMMAND:
        Command(LOWORD(wParam), HIWORD(wParam));
        return 0;

    case DM_GETDEFID: {
        // A push button with the focus takes Enter; otherwise Go is the default.
        HWND focus = GetFocus();
        if (focus != nullptr && GetParent(focus) == handle_ && IsPushButton(focus))
            return MAKELRESULT(GetDlgCtrlID(focus), DC_HASDEFID);
        return MAKELRESULT(idGo, DC_HASDEFID);
    }

    case WM_NEXTDLGCTL:
        NextControl(wParam, lParam);
        return 0;

    case WM_DRAWITEM:
        if (wParam == static_cast<WPARAM>(idImage1)) {
            DrawLogo(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
            return TRUE;
        }
        break;

    case WM_DPICHANGED:
        // Moved to a monitor of another DPI: the layout follows.
        Layout(HIWORD(wParam), reinterpret_cast<const RECT*>(lParam));
        return 0;

    case WM_SYSCOLORCHANGE:
        resources_->ComposeLogo(resources_->pictureWidth, resources_->pictureHeight);
        InvalidateRect(Image1, nullptr, TRUE);
        break;

    case WM_ACTIVATE:
        if (LOWORD(wParam) == WA_INACTIVE) {
            HWND focus = GetFocus();
            if (focus != nullptr && IsChild(handle_, focus))
                lastFocus_ = focus;
        } else if (HIWORD(wParam) == 0) {
            FocusControl(nullptr);
        }
        return 0;

    case WM_SETFOCUS:
        FocusControl(nullptr);
        return 0;

    case WM_CLOSE:
        if (queryRunning_) {
            // The window goes once the query has unwound (btnGoClick).
            closeRequested_ = true;
            CancelQuery();
            return 0;
        }
        DestroyWindow(handle_);
        return 0;

    case WM_DESTROY:
        zt::Application.Terminate();
        return 0;

    default:
        break;
    }
    return DefWindowProcW(handle_, message, wParam, lParam);
}

void TForm1::Command(int id, int notification)
{
    switch (id) {
    case idHost:
        if (notification == EN_CHANGE)
            txtHostChange();
        break;
    case idGo:
        if (notification == BN_CLICKED)
            btnGoClick();
        break;
    case idHelp:
    case idAbout:
    case idKoEncrypt:
    case idKoAntiSpam:
        if (notification == BN_CLICKED)
            Beside(id);
        break;
    case idCopy:
        SendMessageW(redResults, WM_COPY, 0, 0);
        break;
    case idSelectAll:
        SendMessageW(redResults, EM_SETSEL, 0, -1);
        break;
    case idSaveAs:
        Beside(id);
        break;
    case IDCANCEL:
        // Esc: cancels a running query; otherwise nothing.
        if (queryRunning_)
            CancelQuery();
        break;
    default:
        break;
    }
}

void TForm1::Beside(int id)
{
    auto handler = id == idHelp        ? &TForm1::btnHelpClick
                   : id == idAbout     ? &TForm1::Button1Click
                   : id == idKoEncrypt ? &TForm1::btnKoEncryptClick
                   : id == idSaveAs    ? &TForm1::SaveResultsAs
                                       : &TForm1::btnKoAntiSpamClick;
    if (!queryRunning_) {
        (this->*handler)();
        return;
    }
    // Inside a query's wait an error would surface in the wait and end the query.
    try {
        (this->*handler)();
    } catch (...) {
        zt::Application.HandleException(std::current_exception());
    }
}

void TForm1::CancelQuery()
{
    ztWhoIs1->Cancel();
    ztRdap1->Cancel();
}

void TForm1::NextControl(WPARAM wParam, LPARAM lParam)
{
    HWND target = LOWORD(lParam) != 0 ? reinterpret_cast<HWND>(wParam)
                                      : GetNextDlgTabItem(handle_, GetFocus(), wParam != 0);
    if (target == nullptr)
        return;
    SetFocus(target);
    // As in a dialog: a box reached by the keyboard has its text selected.
    if (SendMessageW(target, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL)
        SendMessageW(target, EM_SETSEL, 0, -1);
}

void TForm1::FocusControl(HWND control)
{
    if (control == nullptr)
        control = lastFocus_;
    if (control == nullptr || !IsWindow(control) || !IsChild(handle_, control)
        || !IsWindowEnabled(control) || !IsWindowVisible(control))
        control = GetNextDlgTabItem(handle_, nullptr, FALSE);
    if (control != nullptr)
        SetFocus(control);
}

void TForm1::DrawLogo(const DRAWITEMSTRUCT& item)
{
    FillRect(item.hDC, &item.rcItem, GetSysColorBrush(COLOR_BTNFACE));
    if (!resources_->picture)
        return;
    zt::OwnedDC memory(CreateCompatibleDC(item.hDC));
    HGDIOBJ previous = SelectObject(memory.get(), resources_->picture.get());
    BitBlt(item.hDC, item.rcItem.left, item.rcItem.top, resources_->pictureWidth,
           resources_->pictureHeight, memory.get(), 0, 0, SRCCOPY);
    SelectObject(memory.get(), previous);
}

LRESULT CALLBACK TForm1::ResultsProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                     UINT_PTR, DWORD_PTR data)
{
    auto* form = reinterpret_cast<TForm1*>(data);
    return zt::Guarded<LRESULT>(0, [&]() -> LRESULT {
        const bool control = GetKeyState(VK_CONTROL) < 0;
        if (message == WM_CONTEXTMENU) {
            form->ResultsMenu({GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
            return 0;
        }
        if (message == WM_KEYDOWN && wParam == 'A' && control) {
            SendMessageW(window, EM_SETSEL, 0, -1);
            return 0;
        }
        if (message == WM_CHAR && wParam == 1) // the character of Ctrl+A
            return 0;
        LRESULT result = DefSubclassProc(window, message, wParam, lParam);
        if (message == WM_GETDLGCODE) {
            // Tab leaves the box for the next control, and Esc goes to the window,
            // where it cancels a running query. Enter stays in the box.
            result &= ~static_cast<LRESULT>(DLGC_WANTTAB);
            const auto* key = reinterpret_cast<const MSG*>(lParam);
            if (key != nullptr && key->message == WM_KEYDOWN
                && (key->wParam == VK_TAB || key->wParam == VK_ESCAPE))
                result &= ~static_cast<LRESULT>(DLGC_WANTALLKEYS);
        } else if (message == WM_NCDESTROY) {
            RemoveWindowSubclass(window, ResultsProc, kResultsSubclass);
        }
        return result;
    });
}

} // namespace rozoru
