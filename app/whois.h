// The main window: the host box, the Go button and the results box, the help, About
// and link buttons, the logo, and the whois component that runs the lookups.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>

#include "../classes/component.h"

namespace zt {
class TztRdap;
class TztWhoIs;
} // namespace zt

namespace rozoru {

struct ServerSelection;

// The program's directory with a trailing backslash; set when the window is first
// shown, empty before.
extern std::string AppDir;

// The pages about the maker's other products.
inline constexpr const char kEncryptionPage[] = "https://www.vantrel.example/encryption/";
inline constexpr const char kAntiSpamPage[] = "https://www.vantrel.example/antispam/";

// Where the answer of the last successful query is kept, in AppDir.
inline constexpr const char kResultsFile[] = "Results.Log";
// The raw JSON of the last RDAP answer, beside it.
inline constexpr const char kResultsJsonFile[] = "Results.json";
// The RDAP servers of the top-level domains, beside Doms.dat.
inline constexpr const char kRdapTable[] = "rdap.dat";

// Ids of the controls (the order of creation is the tab order) and of the results
// box's menu.
enum : int {
    idHost = 100,
    idGo,
    idResults,
    idKoEncrypt,
    idStaticText1,
    idKoAntiSpam,
    idStaticText2,
    idAbout,
    idHelp,
    idLabel1,
    idImage1,
    idCopy = 200,
    idSelectAll,
    idSaveAs,
};

class TForm1 : public zt::Component {
public:
    // Creates the window (hidden), its controls and ztWhoIs1, then applies
    // ztWhoIs1's stored properties, which loads the Windows Sockets library. Raises
    // what that raises; whatever was created is freed again.
    TForm1();
    ~TForm1() override;

    HWND Handle() const noexcept { return handle_; }

    // Shows the window; the first time, FormShow runs before the window is seen. An
    // error of FormShow is reported once the window is visible.
    void Show(int showCommand);

    // True from the start of ztWhoIs1.Execute until it has returned or failed.
    bool QueryRunning() const noexcept { return queryRunning_; }

    // Handlers.
    void FormShow();
    void txtHostChange();
    void btnGoClick();
    void btnHelpClick();
    void Button1Click();
    void btnKoEncryptClick();
    void btnKoAntiSpamClick();

    // Enables Go exactly while the trimmed host text is non-empty and no query runs.
    void UpdateGoButton();

    // Controls.
    HWND Label1 = nullptr;
    HWND txtHost = nullptr;
    HWND btnGo = nullptr;
    HWND redResults = nullptr;
    HWND btnKoEncrypt = nullptr;
    HWND StaticText1 = nullptr;
    HWND btnKoAntiSpam = nullptr;
    HWND StaticText2 = nullptr;
    HWND Button1 = nullptr;
    HWND btnHelp = nullptr;
    HWND Image1 = nullptr;

    zt::TztWhoIs* ztWhoIs1 = nullptr;
    zt::TztRdap* ztRdap1 = nullptr;

private:
    class Resources;

    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK ResultsProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                        UINT_PTR id, DWORD_PTR data);

    void CreateWnd();
    void CreateControls();
    HWND CreateControl(const wchar_t* className, const wchar_t* text, DWORD style, DWORD exStyle,
                       int id);
    void CreateResultsBox();
    // Places every control for the window's DPI, from the layout at 96 DPI, with fonts
    // and the logo of that size, and sizes the window to fit (at `suggested`, or
    // centred on its monitor).
    void Layout(UINT dpi, const RECT* suggested = nullptr);
    // Puts a control where the layout table says, at the window's DPI, in its font.
    void PlaceControl(HWND control);
    void SizeToText(HWND control);
    // Empties the results box; a box holding a long answer is replaced instead.
    void ClearResults();
    // Shows text in the results box, as plain text.
    void ShowResults(const std::wstring& text);

    LRESULT Dispatch(UINT message, WPARAM wParam, LPARAM lParam);
    void Command(int id, int notification);
    // The handler of the help, About or a link button, which may run while a query
    // waits: its error is shown at once instead of ending the query.
    void Beside(int id);
    void NextControl(WPARAM wParam, LPARAM lParam);
    void DrawLogo(const DRAWITEMSTRUCT& item);
    void FocusControl(HWND control);
    // The results box's menu: Copy, Select All, Save As...
    void ResultsMenu(POINT at);
    void SaveResultsAs();

    // The server selection for the host text: as typed, or for a name in another
    // script by its A-label form.
    ServerSelection SelectFor(const std::string& hostText);
    // Runs the query with Go disabled; returns false when the window was asked to
    // close meanwhile (the query's error, if any, is then dropped).
    bool RunQuery(const std::function<void()>& query);
    // Ends a running query as cancelled, whichever component runs it.
    void CancelQuery();
    // Writes the bytes beside the file of that name in AppDir, then puts them in its
    // place: the previous file stays unless the whole new one is written.
    void SaveFile(const std::string& name, const std::string& bytes);

    void DestroyHandle() noexcept;

    HWND handle_ = nullptr;
    std::unique_ptr<Resources> resources_;
    UINT dpi_ = 96;
    HWND lastFocus_ = nullptr;
    bool shown_ = false;
    bool queryRunning_ = false;
    bool closeRequested_ = false;
};

// The main window, created at start-up.
extern TForm1* Form1;

} // namespace rozoru
