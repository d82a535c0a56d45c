// The main window and the flow of one lookup.
#include "whois.h"

#include <commctrl.h>
#include <richedit.h>

#include <algorithm>
#include <cstring>
#include <exception>
#include <vector>

#include "../classes/application.h"
#include "../classes/dispatch.h"
#include "../classes/sysutils.h"
#include "../classes/handle.h"
#include "../classes/winfile.h"
#include "../whois/ztwhois.h"
#include "FmxUtils.h"
#include "PathOfF.h"
#include "domtable.h"
#include "readastr.h"
#include "version.h"

namespace rozoru {

std::string AppDir;
TForm1* Form1 = nullptr;

namespace {

const char kFormClass[] = "TForm1";
const char kCaption[] = "Vantrel Tessaly \"Whois\"";
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

std::string TextOf(HWND control)
{
    int length = GetWindowTextLengthA(control);
    if (length <= 0)
        return {};
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    int got = GetWindowTextA(control, text.data(), length + 1);
    text.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    return text;
}

// The rest of a text that the rich-text box reads in.
struct StreamSource {
    const char* next;
    std::size_t left;
};

DWORD CALLBACK ReadStreamSource(DWORD_PTR cookie, LPBYTE buffer, LONG size, LONG* got)
{
    auto* from = reinterpret_cast<StreamSource*>(cookie);
    std::size_t count = std::min(from->left, static_cast<std::size_t>(size));
    // A CR LF stays in one piece: split, it would read as two line ends.
    if (count > 1 && count < from->left && from->next[count - 1] == '\r' && from->next[count] == '\n')
        --count;
    std::memcpy(buffer, from->next, count);
    from->next += count;
    from->left -= count;
    *got = static_cast<LONG>(count);
    return 0;
}

// Puts text into the rich-text box as plain text: a text that looks like RTF is shown
// as it is, never parsed. A zero byte ends the shown text.
void SetPlainText(HWND box, const std::string& text)
{
    StreamSource source{text.data(), std::min(text.size(), text.find('\0'))};
    EDITSTREAM stream = {};
    stream.dwCookie = reinterpret_cast<DWORD_PTR>(&source);
    stream.pfnCallback = ReadStreamSource;
    SendMessageA(box, EM_STREAMIN, SF_TEXT, reinterpret_cast<LPARAM>(&stream));
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
    return CreateFontA(-height, 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                       OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                       DEFAULT_PITCH | FF_DONTCARE, "MS Sans Serif");
}

bool IsPushButton(HWND control)
{
    char className[16] = {};
    if (GetClassNameA(control, className, sizeof className) == 0
        || lstrcmpiA(className, "Button") != 0)
        return false;
    LONG type = GetWindowLongA(control, GWL_STYLE) & BS_TYPEMASK;
    return type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON;
}

} // namespace

// Fonts, the logo and the rich-text library, for the life of the window.
class TForm1::Resources {
public:
    explicit Resources(HINSTANCE instance)
        : font(CreateUiFont(11, FW_NORMAL)), helpFont(CreateUiFont(13, FW_BOLD)),
          richEdit(LoadLibraryA("riched20.dll")),
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

    zt::OwnedFont font;
    zt::OwnedFont helpFont;
    zt::OwnedLibrary richEdit;
    zt::OwnedBitmap logo;
    int logoWidth = 0;
    int logoHeight = 0;
    COLORREF transparentColor = 0;
};

TForm1::TForm1() : zt::Component(nullptr)
{
    SetName("Form1");
    try {
        resources_ = std::make_unique<Resources>(GetModuleHandleA(nullptr));
        CreateWnd();
        CreateControls();
        ztWhoIs1 = new zt::TztWhoIs(this);
        ztWhoIs1->SetName("ztWhoIs1");
        ztWhoIs1->ApplyStoredProperties({{"WinsockLoaded", "True"}, {"DefaultPort", "43"}});
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
        SetWindowLongPtrA(window, GWLP_USERDATA, 0);
        DestroyWindow(window);
    }
}

void TForm1::CreateWnd()
{
    HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(instance, "MAINICON");
    // Shared: the system frees it with the program's module.
    windowClass.hIconSm = static_cast<HICON>(LoadImageA(instance, "MAINICON", IMAGE_ICON,
                                                        GetSystemMetrics(SM_CXSMICON),
                                                        GetSystemMetrics(SM_CYSMICON), LR_SHARED));
    windowClass.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512)); // IDC_ARROW
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kFormClass;
    WNDCLASSEXA existing = {};
    if (!GetClassInfoExA(instance, kFormClass, &existing) && !RegisterClassExA(&windowClass))
        throw zt::Exception("Cannot register the window class");

    RECT frame = {0, 0, kClientWidth, kClientHeight};
    AdjustWindowRectEx(&frame, kFormStyle, FALSE, kFormExStyle);
    int width = frame.right - frame.left;
    int height = frame.bottom - frame.top;
    int left = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
    int top = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;

    HWND window = CreateWindowExA(kFormExStyle, kFormClass, kCaption, kFormStyle, left, top,
                                  width, height, nullptr, nullptr, instance, this);
    if (window == nullptr)
        throw zt::Exception("Cannot create the main window");
    handle_ = window;
}

HWND TForm1::CreateControl(const char* className, const char* text, DWORD style, DWORD exStyle,
                           int left, int top, int width, int height, int id)
{
    HWND control = CreateWindowExA(exStyle, className, text, WS_CHILD | WS_VISIBLE | style, left,
                                   top, width, height, handle_,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                   GetModuleHandleA(nullptr), nullptr);
    if (control == nullptr)
        throw zt::Exception(std::string("Cannot create a control of class ") + className);
    SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(resources_->font.get()), FALSE);
    return control;
}

void TForm1::SizeToText(HWND control)
{
    std::string text = TextOf(control);
    HDC dc = GetDC(control);
    zt::AtExit release([&] { ReleaseDC(control, dc); });
    HGDIOBJ previous = SelectObject(dc, resources_->font.get());
    RECT bounds = {0, 0, 0, 0};
    DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &bounds,
              DT_CALCRECT | DT_SINGLELINE | DT_LEFT);
    SelectObject(dc, previous);
    SetWindowPos(control, nullptr, 0, 0, bounds.right - bounds.left, bounds.bottom - bounds.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TForm1::CreateControls()
{
    // Created in tab order, so that Tab follows it; the label first, the logo last.
    Label1 = CreateControl("STATIC", "Host", SS_RIGHT, 0, 8, 8, 57, 21, idLabel1);
    txtHost = CreateControl("EDIT", "", WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE, 80, 8, 281,
                            21, idHost);
    SendMessageA(txtHost, EM_LIMITTEXT, kHostLimit, 0);
    btnGo = CreateControl("BUTTON", "&Go", WS_TABSTOP | BS_DEFPUSHBUTTON, 0, 408, 8, 60, 21, idGo);
    CreateResultsBox();
    btnKoEncrypt = CreateControl("BUTTON", "", WS_TABSTOP | BS_PUSHBUTTON, 0, 344, 288, 17, 17,
                                 idKoEncrypt);
    StaticText1 = CreateControl("STATIC", "Vantrel PGP Encryption tools", SS_LEFT, 0, 368, 288,
                                168, 17, idStaticText1);
    btnKoAntiSpam = CreateControl("BUTTON", "", WS_TABSTOP | BS_PUSHBUTTON, 0, 344, 328, 17, 17,
                                  idKoAntiSpam);
    StaticText2 = CreateControl("STATIC", "Vantrel anti-Spam tools", SS_LEFT, 0, 368, 328, 140, 17,
                                idStaticText2);
    Button1 = CreateControl("BUTTON", "&About", WS_TABSTOP | BS_PUSHBUTTON, 0, 472, 8, 60, 21,
                            idAbout);
    btnHelp = CreateControl("BUTTON", "?", WS_TABSTOP | BS_PUSHBUTTON, 0, 360, 8, 25, 21, idHelp);
    SendMessageA(btnHelp, WM_SETFONT, reinterpret_cast<WPARAM>(resources_->helpFont.get()), FALSE);
    Image1 = CreateControl("STATIC", "", SS_OWNERDRAW, 0, 8, 280, 324, 74, idImage1);

    SizeToText(StaticText1);
    SizeToText(StaticText2);

    SetPlainText(redResults, "<no data yet>");
}

void TForm1::CreateResultsBox()
{
    redResults = CreateControl(RICHEDIT_CLASSA, "",
                               WS_TABSTOP | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL
                                   | ES_WANTRETURN,
                               WS_EX_CLIENTEDGE, 8, 40, 521, 233, idResults);
    // The answer may be long: no limit but the platform's.
    SendMessageA(redResults, EM_EXLIMITTEXT, 0, 0x7FFFFFFE);
    SetWindowSubclass(redResults, ResultsProc, kResultsSubclass, 0);
}

void TForm1::ClearResults()
{
    // Emptying a rich-edit box that holds a very long answer can take minutes (seen
    // with 1 MiB under Wine), while a new box costs nothing: such a box is replaced,
    // in its place in the tab order, right behind Go.
    if (GetWindowTextLengthA(redResults) < kLongResults) {
        SetPlainText(redResults, "");
        return;
    }
    bool focused = GetFocus() == redResults;
    HWND old = redResults;
    CreateResultsBox();
    SetWindowPos(redResults, btnGo, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
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
    SetPlainText(redResults, ReadAsString(AppDir + kResultsFile));
}

void TForm1::txtHostChange() { UpdateGoButton(); }

void TForm1::UpdateGoButton()
{
    bool enable = !queryRunning_ && !zt::Trim(TextOf(txtHost)).empty();
    // A disabled button cannot keep the focus: the host box takes it.
    if (!enable && GetFocus() == btnGo)
        SetFocus(txtHost);
    EnableWindow(btnGo, enable ? TRUE : FALSE);
}

void TForm1::btnGoClick()
{
    // Enter and the access key reach here too; while a query runs, or while the
    // host box is blank, Go is not available.
    if (queryRunning_ || !IsWindowEnabled(btnGo))
        return;

    ClearResults();
    const std::string hostText = TextOf(txtHost);
    // A pasted text may carry line ends or other control bytes inside the name.
    if (zt::HasControlCharacter(zt::Trim(hostText)))
        throw zt::Exception("The host name contains a control character");
    ServerSelection selection = SelectServer(hostText, AppDir + "Doms.dat");
    if (selection.Matched)
        SetPlainText(redResults, selection.Header);
    if (selection.WhoisServer.empty())
        return;

    ztWhoIs1->SetServer(selection.WhoisServer);
    ztWhoIs1->SetQuery(selection.QueryName);
    if (!RunQuery()) {
        // The window was closed meanwhile: it goes now that the query has unwound.
        PostMessageA(handle_, WM_CLOSE, 0, 0);
        return;
    }

    SaveAnswer();
    SetPlainText(redResults, TextOf(redResults) + "\r\n\n" + ReadAsString(AppDir + kResultsFile));
}

void TForm1::btnHelpClick() { zt::Application.ShowMessage(ReadAsString(AppDir + "help.txt")); }

void TForm1::Button1Click() { zt::Application.ShowMessage("Tessaly Whois V" RZ_VERSION_TEXT); }

void TForm1::btnKoEncryptClick() { ShellOpenFile(handle_, kEncryptionPage, "", "", SW_SHOW); }

void TForm1::btnKoAntiSpamClick() { ShellOpenFile(handle_, kAntiSpamPage, "", "", SW_SHOW); }

// --- The lookup's parts -------------------------------------------------------------

bool TForm1::RunQuery()
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
        ztWhoIs1->Execute();
    } catch (...) {
        // A query that ends because the window closes is not reported.
        if (!closeRequested_)
            throw;
    }
    return !closeRequested_;
}

void TForm1::SaveAnswer()
{
    const zt::MemoryStream& response = ztWhoIs1->Response();
    std::string target = AppDir + kResultsFile;
    std::string temporary = AppDir + kResultsTempFile;

    zt::OwnedFile file(CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        throw zt::EFCreateError(kResultsFile);
    bool written = zt::WriteAll(file.get(), response.Memory(), response.Size()) == 0
                   && FlushFileBuffers(file.get());
    bool closed = file.Close();
    if (!written || !closed) {
        DeleteFileA(temporary.c_str());
        throw zt::EWriteError();
    }
    // Only a complete answer replaces the previous one.
    if (!MoveFileExA(temporary.c_str(), target.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        DeleteFileA(temporary.c_str());
        throw zt::EFCreateError(kResultsFile);
    }
}

// --- Messages --------------------------------------------------------------------

LRESULT CALLBACK TForm1::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
        auto* form = static_cast<TForm1*>(create->lpCreateParams);
        form->handle_ = window;
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form));
    }
    auto* form = reinterpret_cast<TForm1*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (form == nullptr)
        return DefWindowProcA(window, message, wParam, lParam);
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
            ztWhoIs1->Cancel();
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
    return DefWindowProcA(handle_, message, wParam, lParam);
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
    case IDCANCEL:
        // Esc: cancels a running query; otherwise nothing.
        if (queryRunning_)
            ztWhoIs1->Cancel();
        break;
    default:
        break;
    }
}

void TForm1::Beside(int id)
{
    auto handler = id == idHelp     ? &TForm1::btnHelpClick
                   : id == idAbout   ? &TForm1::Button1Click
                   : id == idKoEncrypt ? &TForm1::btnKoEncryptClick
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

void TForm1::NextControl(WPARAM wParam, LPARAM lParam)
{
    HWND target = LOWORD(lParam) != 0 ? reinterpret_cast<HWND>(wParam)
                                      : GetNextDlgTabItem(handle_, GetFocus(), wParam != 0);
    if (target == nullptr)
        return;
    SetFocus(target);
    // As in a dialog: a box reached by the keyboard has its text selected.
    if (SendMessageA(target, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL)
        SendMessageA(target, EM_SETSEL, 0, -1);
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
    if (!resources_->logo)
        return;
    zt::OwnedDC memory(CreateCompatibleDC(item.hDC));
    HGDIOBJ previous = SelectObject(memory.get(), resources_->logo.get());
    TransparentBlt(item.hDC, item.rcItem.left, item.rcItem.top, resources_->logoWidth,
                   resources_->logoHeight, memory.get(), 0, 0, resources_->logoWidth,
                   resources_->logoHeight, resources_->transparentColor);
    SelectObject(memory.get(), previous);
}

LRESULT CALLBACK TForm1::ResultsProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                     UINT_PTR, DWORD_PTR)
{
    return zt::Guarded<LRESULT>(0, [&]() -> LRESULT {
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
