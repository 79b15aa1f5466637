// Framework: controls over Win32 windows, forms and the application object.
//
// Rules of the GUI layer:
// - Ownership. A component belongs to its Owner, which frees it; the Parent
//   of a control only places it. A TWinControl owns its window: the window
//   is made on demand (Handle) and destroyed with the control or when the
//   control leaves its parent; the system destroys child windows with their
//   parent window, the child objects stay with their owner and make a new
//   window when needed. The application owns the forms of CreateForm.
// - Exceptions. A handler (event, WndProc override, Paint...) may throw
//   anything. Inside a callback from the system it stops at the callback's
//   barrier (CallbackBarrier) and goes to Application->HandleException:
//   OnException when assigned, else the standard display; EAbort is silent
//   there; what is no Exception is shown as one. When that handling itself
//   throws, the message goes to the standard error output and the callback
//   gives the system a neutral answer. Outside callbacks (ShowModal, Close,
//   CreateForm called from code) exceptions reach the caller as usual.
// - Events. OnCreate fires once after CreateForm made the form; OnShow after
//   the form's window was shown, OnHide before it is hidden; OnActivate and
//   OnDeactivate when the system (de)activates the window (WM_ACTIVATE);
//   OnClose from Close (a call or WM_CLOSE), and its caNone keeps the form
//   open; OnDestroy when the form is being destroyed.
#pragma once

#include "framework/fw_Classes.h"
#include "framework/fw_Graphics.h"

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace fw_Forms {

using fw_Classes::TComponent;
using fw_Classes::TNotifyEvent;
using fw_Graphics::TColor;
using fw_Graphics::TFont;

enum TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };
extern const fw_Classes::TEnumInfo TAlignInfo;

class TWinControl;
class TCustomForm;

// Window texts are 8-bit in the code page of the control's font charset, so
// that a text shows in its own script whatever the system's code page is;
// the windows themselves are Unicode and get the converted text.
// The code page of a font charset; the default charset means the system's.
UINT CharsetToCodePage(int Charset);
std::wstring ToWideText(std::string_view Text, UINT CodePage);
std::string FromWideText(std::wstring_view Text, UINT CodePage);

// Messages a parent hands back to the child control they concern, as
// CN_BASE + the message.
constexpr UINT CN_BASE = 0xBC00;
constexpr UINT CN_COMMAND = CN_BASE + WM_COMMAND;
constexpr UINT CN_NOTIFY = CN_BASE + WM_NOTIFY;

// The keys a form hands to one of its controls rather than to the focused one.
enum TDialogKey { dkEnter, dkEscape };

// A visual element placed on a parent window.
class TControl : public TComponent {
    FW_CLASS(TControl, TComponent)

public:
    explicit TControl(TComponent* AOwner);
    ~TControl() override;

    TWinControl* Parent() const { return FParent; }
    virtual void SetParent(TWinControl* AParent);
    void SetParentComponent(TComponent* Value) override;
    TComponent* GetParentComponent() const override;
    bool HasParent() const override { return true; }

    int Left() const { return FLeft; }
    int Top() const { return FTop; }
    int Width() const { return FWidth; }
    int Height() const { return FHeight; }
    void SetLeft(int Value) { SetBounds(Value, FTop, FWidth, FHeight); }
    void SetTop(int Value) { SetBounds(FLeft, Value, FWidth, FHeight); }
    void SetWidth(int Value) { SetBounds(FLeft, FTop, Value, FHeight); }
    void SetHeight(int Value) { SetBounds(FLeft, FTop, FWidth, Value); }
    virtual void SetBounds(int ALeft, int ATop, int AWidth, int AHeight);
    // The area left to children after aligned controls took theirs.
    virtual RECT ClientRect() const;

    const std::string& Caption() const { return FCaption; }
    void SetCaption(const std::string& Value);
    bool Visible() const { return FVisible; }
    virtual void SetVisible(bool Value);
    void Show() { SetVisible(true); }
    void Hide() { SetVisible(false); }
    bool Enabled() const { return FEnabled; }
    virtual void SetEnabled(bool Value);
    TAlign Align() const { return FAlign; }
    void SetAlign(TAlign Value);
    TFont* Font() { return &FFont; }
    void SetFont(TFont* Value) { FFont.Assign(Value); }
    bool ParentFont() const { return FParentFont; }
    void SetParentFont(bool Value);
    TColor Color() const { return FColor; }
    void SetColor(TColor Value);
    bool ParentColor() const { return FParentColor; }
    void SetParentColor(bool Value);
    const std::string& Hint() const { return FHint; }
    void SetHint(const std::string& Value) { FHint = Value; }
    bool ShowHint() const { return FShowHint; }
    void SetShowHint(bool Value) { FShowHint = Value; }

    // Repaints the control (or its part of the parent).
    virtual void Invalidate();

    TNotifyEvent OnClick;

protected:
    virtual void TextChanged() {}
    virtual void BoundsChanged() {}
    virtual void FontChanged() {}
    virtual void ColorChanged() { Invalidate(); }
    virtual void VisibleChanged() {}
    virtual void EnabledChanged() {}
    virtual void Click();
    // Fills in a parent's font and colour where the control takes them.
    void ParentChanged();
    friend class TWinControl;

    TWinControl* FParent = nullptr;
    int FLeft = 0, FTop = 0, FWidth = 0, FHeight = 0;
    std::string FCaption;
    bool FVisible = true;
    bool FEnabled = true;
    TAlign FAlign = alNone;
    TFont FFont;
    bool FParentFont = true;
    TColor FColor = fw_Graphics::clBtnFace;
    bool FParentColor = true;
    std::string FHint;
    bool FShowHint = false;
};

// A control with a window of its own, which may hold other controls.
class TWinControl : public TControl {
    FW_CLASS(TWinControl, TControl)

public:
    explicit TWinControl(TComponent* AOwner);
    ~TWinControl() override;

    HWND Handle();
    bool HandleAllocated() const { return FHandle != nullptr; }
    void HandleNeeded() { Handle(); }
    // Destroys the window (and with it the children's); it is made again on demand.
    void DestroyHandle();

    int ControlCount() const { return int(FControls.size()); }
    TControl* Controls(int Index) const { return FControls.at(size_t(Index)); }
    void InsertControl(TControl* AControl);
    void RemoveControl(TControl* AControl);

    int TabOrder() const { return FTabOrder; }
    void SetTabOrder(int Value) { FTabOrder = Value; }
    bool TabStop() const { return FTabStop; }
    void SetTabStop(bool Value) { FTabStop = Value; }
    void SetFocus();
    bool Focused() const;

    void SetBounds(int ALeft, int ATop, int AWidth, int AHeight) override;
    RECT ClientRect() const override;
    void Invalidate() override;
    // Lays out the aligned children again.
    void Realign();

    // Sends a message to the window, making it first when needed.
    LRESULT Perform(UINT Msg, WPARAM W, LPARAM L);

    // The code page the control's texts are written in (its font's charset).
    UINT CodePage();
    // The window's text as it stands, in the control's code page.
    std::string WindowText();

    // A window of someone else (a system dialog) that holds this control
    // instead of a framework parent. Its commands and notifications about the
    // control are routed back here; when it is destroyed the control lets
    // go of it and fires OnParentWindowDestroyed.
    HWND ParentWindow() const { return FParentWindow; }
    void SetParentWindow(HWND Value);
    TNotifyEvent OnParentWindowDestroyed;

    // Keyboard handling of forms. A control the form gives Enter or Escape
    // to (the default and the Cancel button).
    virtual bool WantsDialogKey(TDialogKey Key) const { return false; }
    // Whether Enter presses this control when it has the focus.
    virtual bool IsPushButton() const { return false; }
    // Pressed by Enter, Escape or its mnemonic.
    virtual void KeyPress() {}
    // Whether Alt+Ch is this control's mnemonic; DoMnemonic acts on it.
    virtual bool IsMnemonic(wchar_t Ch) { return false; }
    virtual void DoMnemonic() { SetFocus(); }
    // The focus came by Tab or Shift+Tab.
    virtual void EnteredByTab() {}
    // The tab stops of this control's tree in tab order: TabOrder first
    // (unset ones after, in creation order), containers searched inside.
    void GetTabOrderList(std::vector<TWinControl*>& List);

protected:
    struct TCreateParams {
        std::string Caption;
        DWORD Style = 0;
        DWORD ExStyle = 0;
        int X = 0, Y = 0, Width = 0, Height = 0;
        HWND WndParent = nullptr;
        // A system class to wrap ("BUTTON", "EDIT", ...), or empty for the
        // framework's own class.
        std::string WinClassName;
    };
    virtual void CreateParams(TCreateParams& Params);
    virtual void CreateWnd();
    // Every message of the window comes here; the default hands it on.
    virtual LRESULT WndProc(UINT Msg, WPARAM W, LPARAM L);
    LRESULT DefaultHandler(UINT Msg, WPARAM W, LPARAM L);
    // Paints the window's client area (framework class windows only).
    virtual void Paint(HDC DC) {}

    void TextChanged() override;
    void FontChanged() override;
    void VisibleChanged() override;
    void EnabledChanged() override;
    // Whether commands and notifications of children that are no framework
    // controls go on to the parent window (containers that are system
    // windows, such as a group box, would drop them).
    virtual bool PassesNotifications() const { return false; }
    // Whether the caption marks Ch with an "&" ("&&" is an ampersand).
    bool CaptionHasMnemonic(wchar_t Ch);
    // The parent window was destroyed (see ParentWindow).
    virtual void ParentWindowDestroyed();

    HWND FHandle = nullptr;
    std::vector<TControl*> FControls;

private:
    static LRESULT CALLBACK StdWndProc(HWND Wnd, UINT Msg, WPARAM W, LPARAM L);
    friend LRESULT CALLBACK ForeignParentProc(HWND Wnd, UINT Msg, WPARAM W, LPARAM L);

    WNDPROC FDefWndProc = nullptr; // of a wrapped system class
    int FTabOrder = -1;
    bool FTabStop = false;
    bool FInRealign = false;
    HWND FParentWindow = nullptr;
    UINT FTextCodePage = CP_ACP;           // of the text the window holds
    fw_Handles::TGdiHandle<HBRUSH> FBrush; // the background the system paints a child in
    TColor FBrushColor = 0;
};

// The form a control is on: the nearest form among its parents (a page form
// embedded into another form is its controls' form), nullptr when none.
TCustomForm* GetParentForm(TControl* Control);

enum TWindowState { wsNormal, wsMinimized, wsMaximized };
enum TPosition { poDesigned, poDefault, poDefaultPosOnly, poDefaultSizeOnly, poScreenCenter, poDesktopCenter };
enum TFormBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };
enum TBorderIcon { biSystemMenu, biMinimize, biMaximize, biHelp };
using TBorderIcons = fw_Classes::TSet<TBorderIcon>;
enum TCloseAction { caNone, caHide, caFree, caMinimize };
extern const fw_Classes::TEnumInfo TWindowStateInfo, TPositionInfo, TFormBorderStyleInfo, TBorderIconInfo;

using TModalResult = int;
constexpr TModalResult mrNone = 0, mrOk = IDOK, mrCancel = IDCANCEL, mrAbort = IDABORT, mrRetry = IDRETRY,
                       mrIgnore = IDIGNORE, mrYes = IDYES, mrNo = IDNO;

using TCloseEvent = std::function<void(fw_Classes::TObject* Sender, TCloseAction& Action)>;

// A top-level window, or a child window when it is placed on a control.
class TCustomForm : public TWinControl {
    FW_CLASS(TCustomForm, TWinControl)

public:
    explicit TCustomForm(TComponent* AOwner);
    ~TCustomForm() override;

    TWindowState WindowState() const { return FWindowState; }
    void SetWindowState(TWindowState Value);
    TPosition Position() const { return FPosition; }
    void SetPosition(TPosition Value) { FPosition = Value; }
    TFormBorderStyle BorderStyle() const { return FBorderStyle; }
    void SetBorderStyle(TFormBorderStyle Value);
    TBorderIcons BorderIcons() const { return FBorderIcons; }
    void SetBorderIcons(TBorderIcons Value);
    int PixelsPerInch() const { return FPixelsPerInch; }
    void SetPixelsPerInch(int Value) { FPixelsPerInch = Value; }
    int ClientWidth() const;
    int ClientHeight() const;
    void SetClientWidth(int Value);
    void SetClientHeight(int Value);
    bool Active() const { return FActive; }

    void SetVisible(bool Value) override;
    // Shows the form and brings it to the front.
    void ShowForm();
    // Shows the form and runs a message loop until ModalResult is set;
    // the other windows of the program are disabled meanwhile.
    TModalResult ShowModal();
    // Asks CloseQuery, then OnClose; hides (or for the main form ends the
    // program).
    void Close();
    // Whether the form may close now; a form that must stay open (a wizard
    // before its end, a window while work runs) answers False.
    virtual bool CloseQuery() { return true; }
    TModalResult ModalResult() const { return FModalResult; }
    void SetModalResult(TModalResult Value) { FModalResult = Value; }
    bool Modal() const { return FModal; }

    TNotifyEvent OnActivate;
    TNotifyEvent OnDeactivate;
    TNotifyEvent OnCreate;
    TNotifyEvent OnDestroy;
    TNotifyEvent OnShow;
    TNotifyEvent OnHide;
    TCloseEvent OnClose;

    // Fires OnCreate; the application calls it once the form is made.
    virtual void DoCreate();

protected:
    void CreateParams(TCreateParams& Params) override;
    void CreateWnd() override;
    LRESULT WndProc(UINT Msg, WPARAM W, LPARAM L) override;
    void Paint(HDC DC) override;
    virtual void Activate();
    virtual void Deactivate();

private:
    TWindowState FWindowState = wsNormal;
    TPosition FPosition = poDesigned;
    TFormBorderStyle FBorderStyle = bsSizeable;
    TBorderIcons FBorderIcons{biSystemMenu, biMinimize, biMaximize};
    int FPixelsPerInch = 96;
    bool FActive = false;
    bool FModal = false;
    TModalResult FModalResult = mrNone;
};

class TForm : public TCustomForm {
    FW_CLASS(TForm, TCustomForm)

public:
    using TCustomForm::TCustomForm;
};

// A container of non-visual components, owned like a form but without a window.
class TDataModule : public TComponent {
    FW_CLASS(TDataModule, TComponent)

public:
    using TComponent::TComponent;
};

// Whether a component is a form or a data module: the owners that a project's
// root components accept.
bool IsFormOrDataModule(const TComponent* Component);

using TExceptionEvent = std::function<void(fw_Classes::TObject* Sender, const fw_SysUtils::Exception& E)>;
using TMessageBoxHook = std::function<int(const std::string& Text, const std::string& Caption, UINT Flags)>;

// The program: its forms, its message loop and its exception display.
class TApplication : public TComponent {
    FW_CLASS(TApplication, TComponent)

public:
    explicit TApplication(TComponent* AOwner);
    ~TApplication() override;

    // Initialises COM and the common controls.
    void Initialize();
    // Makes a form owned by the application; the first becomes the main form.
    template <class F>
    F* CreateForm()
    {
        F* Form = new F(this);
        if (!FMainForm)
            FMainForm = Form;
        Form->DoCreate();
        return Form;
    }
    TCustomForm* MainForm() const { return FMainForm; }
    // Shows the main form (when ShowMainForm) and handles messages until
    // Terminate; then frees the forms.
    void Run();
    // Ends the message loop after the current message; the program's exit
    // code is ExitCode as it stands (a failure sets it before).
    void Terminate();
    bool Terminated() const { return FTerminated; }
    // Handles every message waiting, then returns.
    void ProcessMessages();
    // Handles one message, waiting for one when none is there.
    void HandleMessage();

    const std::string& Title() const { return FTitle; }
    void SetTitle(const std::string& Value) { FTitle = Value; }
    bool ShowMainForm = true;
    int ExitCode = 0;

    // Called inside a catch block: the silent abort passes; any other
    // exception goes to OnException when assigned, else to ShowException.
    // What is no Exception goes as one with its what() text, or "Unknown
    // exception" for a type without one. A failing hook or display throws.
    void HandleException(fw_Classes::TObject* Sender);
    // The standard display: a message box with the message, also written
    // to the standard error output when the program has one.
    void ShowException(const fw_SysUtils::Exception& E);
    // A plain message box with Text, which also goes to the standard error.
    void ShowMessage(const std::string& Text);
    int MessageBox(const std::string& Text, const std::string& Caption, UINT Flags);

    TExceptionEvent OnException;
    // When set, message boxes are answered by it instead of shown.
    TMessageBoxHook MessageBoxHook;

    void Notification(TComponent* AComponent, fw_Classes::TOperation Operation) override;

private:
    bool ProcessMessage(MSG& Msg);
    // Tab, Enter, Escape and Alt+letter for the controls of forms.
    bool IsDialogKey(const MSG& Msg);
    TCustomForm* FMainForm = nullptr;
    bool FTerminated = false;
    std::string FTitle;
    bool FComInitialized = false;
};

// The process-wide application object, made when the program starts.
extern TApplication* Application;

// Called inside a catch block of a callback from the system: hands the
// exception to Application->HandleException; when that throws in turn (or
// there is no application), writes the messages to the standard error output.
// Never throws.
void HandleCallbackException(fw_Classes::TObject* Sender) noexcept;

// The body of every callback from the system (window procedures,
// enumeration, timer, hook, DDE and dialog callbacks): runs Body and answers
// its result; whatever Body throws goes to HandleCallbackException and the
// system gets Neutral. Nothing crosses into the system's frames.
template <class R, class F>
R CallbackBarrier(fw_Classes::TObject* Sender, R Neutral, F&& Body) noexcept
{
    try {
        return std::forward<F>(Body)();
    } catch (...) {
        HandleCallbackException(Sender);
        return Neutral;
    }
}

// The application's cursor. The hourglass shows while the program is busy
// between messages (reading an archive's table, installing a container).
enum TCursor { crDefault, crHourGlass };
TCursor ScreenCursor();
void SetScreenCursor(TCursor Value);

// Shows the hourglass for its lifetime and then restores the cursor it found,
// also when the work fails.
class THourGlass {
public:
    THourGlass() : FSaved(ScreenCursor()) { SetScreenCursor(crHourGlass); }
    ~THourGlass() { SetScreenCursor(FSaved); }
    THourGlass(const THourGlass&) = delete;
    THourGlass& operator=(const THourGlass&) = delete;

private:
    TCursor FSaved;
};

} // namespace fw_Forms
