#include "framework/fw_Forms.h"

#include <algorithm>
#include <climits>
#include <commctrl.h>
#include <cwctype>
#include <exception>
#include <map>
#include <objbase.h>
#include <string_view>

namespace fw_Forms {

using fw_Classes::TPropertyBuilder;
using fw_SysUtils::Exception;

const fw_Classes::TEnumInfo TAlignInfo{"TAlign", {"alNone", "alTop", "alBottom", "alLeft", "alRight", "alClient"}};
const fw_Classes::TEnumInfo TWindowStateInfo{"TWindowState", {"wsNormal", "wsMinimized", "wsMaximized"}};
const fw_Classes::TEnumInfo TPositionInfo{
    "TPosition",
    {"poDesigned", "poDefault", "poDefaultPosOnly", "poDefaultSizeOnly", "poScreenCenter", "poDesktopCenter"}};
const fw_Classes::TEnumInfo TFormBorderStyleInfo{
    "TFormBorderStyle", {"bsNone", "bsSingle", "bsSizeable", "bsDialog", "bsToolWindow", "bsSizeToolWin"}};
const fw_Classes::TEnumInfo TBorderIconInfo{"TBorderIcon", {"biSystemMenu", "biMinimize", "biMaximize", "biHelp"}};

namespace {

const wchar_t* const WindowClassName = L"WendrelWindow";
// The window property that marks a window as a framework control's: a
// foreign window's own data (GWLP_USERDATA) is never taken for one.
const wchar_t* const ControlProp = L"WendrelControl";

void RegisterWindowClass()
{
    static bool Done = false;
    if (Done)
        return;
    WNDCLASSEXW WC{};
    WC.cbSize = sizeof WC;
    WC.style = CS_DBLCLKS;
    WC.lpfnWndProc = DefWindowProcW; // replaced per window at creation
    WC.hInstance = GetModuleHandleA(nullptr);
    WC.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    WC.hIcon = LoadIconA(GetModuleHandleA(nullptr), "MAINICON");
    WC.lpszClassName = WindowClassName;
    RegisterClassExW(&WC);
    Done = true;
}

TWinControl* ControlOf(HWND Wnd) { return Wnd ? static_cast<TWinControl*>(GetPropW(Wnd, ControlProp)) : nullptr; }

// The framework control of a window or of the nearest window above it.
TWinControl* ControlAt(HWND Wnd)
{
    for (HWND Desktop = GetDesktopWindow(); Wnd && Wnd != Desktop; Wnd = GetAncestor(Wnd, GA_PARENT))
        if (TWinControl* C = ControlOf(Wnd))
            return C;
    return nullptr;
}

} // namespace

UINT CharsetToCodePage(int Charset)
{
    if (Charset == DEFAULT_CHARSET)
        return CP_ACP;
    CHARSETINFO CI{};
    if (!TranslateCharsetInfo(reinterpret_cast<DWORD*>(uintptr_t(Charset)), &CI, TCI_SRCCHARSET))
        return CP_ACP; // a charset without a code page (symbol, OEM): the system's
    return CI.ciACP;
}

std::wstring ToWideText(std::string_view Text, UINT CodePage)
{
    if (Text.empty())
        return {};
    int N = MultiByteToWideChar(CodePage, 0, Text.data(), int(Text.size()), nullptr, 0);
    if (N <= 0)
        throw fw_SysUtils::EOSError(fw_SysUtils::Format("Cannot convert text from code page %d", {int(CodePage)}));
    std::wstring W(size_t(N), L'\0');
    MultiByteToWideChar(CodePage, 0, Text.data(), int(Text.size()), W.data(), N);
    return W;
}

std::string FromWideText(std::wstring_view Text, UINT CodePage)
{
    if (Text.empty())
        return {};
    int N = WideCharToMultiByte(CodePage, 0, Text.data(), int(Text.size()), nullptr, 0, nullptr, nullptr);
    if (N <= 0)
        throw fw_SysUtils::EOSError(fw_SysUtils::Format("Cannot convert text to code page %d", {int(CodePage)}));
    std::string S(size_t(N), '\0');
    WideCharToMultiByte(CodePage, 0, Text.data(), int(Text.size()), S.data(), N, nullptr, nullptr);
    return S;
}

// ---- TControl ------------------------------------------------------------------

static TFont* ControlFont(TControl* C) { return C->Font(); }

static void DefineControl(TPropertyBuilder<TControl>& P)
{
    P.Enum<TAlign>("Align", TAlignInfo, &TControl::Align, &TControl::SetAlign, alNone);
    P.String("Caption", &TControl::Caption, &TControl::SetCaption);
    P.Integer("Color", &TControl::Color, &TControl::SetColor, std::nullopt, &fw_Graphics::ColorIdents);
    P.Boolean("Enabled", &TControl::Enabled, &TControl::SetEnabled, true);
    P.Object<TFont>("Font", ControlFont);
    P.Integer("Height", &TControl::Height, &TControl::SetHeight);
    P.String("Hint", &TControl::Hint, &TControl::SetHint);
    P.Integer("Left", &TControl::Left, &TControl::SetLeft);
    P.Boolean("ParentColor", &TControl::ParentColor, &TControl::SetParentColor, true);
    P.Boolean("ParentFont", &TControl::ParentFont, &TControl::SetParentFont, true);
    P.Boolean("ShowHint", &TControl::ShowHint, &TControl::SetShowHint, false);
    P.Integer("Top", &TControl::Top, &TControl::SetTop);
    P.Boolean("Visible", &TControl::Visible, &TControl::SetVisible, true);
    P.Integer("Width", &TControl::Width, &TControl::SetWidth);
}

FW_DEFINE_CLASS(TControl, TComponent, nullptr, DefineControl)

TControl::TControl(TComponent* AOwner) : TComponent(AOwner)
{
    FFont.OnChange = [this](fw_Classes::TObject*) {
        FParentFont = false;
        FontChanged();
    };
}

TControl::~TControl()
{
    Destroying();
    FFont.OnChange = nullptr;
    if (FParent)
        FParent->RemoveControl(this);
}

void TControl::SetParent(TWinControl* AParent)
{
    if (FParent == AParent)
        return;
    if (AParent == this)
        throw fw_SysUtils::EInvalidOperation("A control cannot have itself as its parent");
    if (FParent)
        FParent->RemoveControl(this);
    if (AParent)
        AParent->InsertControl(this);
}

void TControl::SetParentComponent(TComponent* Value)
{
    if (auto* W = dynamic_cast<TWinControl*>(Value))
        SetParent(W);
}

TComponent* TControl::GetParentComponent() const { return FParent; }

void TControl::SetBounds(int ALeft, int ATop, int AWidth, int AHeight)
{
    if (ALeft == FLeft && ATop == FTop && AWidth == FWidth && AHeight == FHeight)
        return;
    FLeft = ALeft;
    FTop = ATop;
    FWidth = AWidth;
    FHeight = AHeight;
    BoundsChanged();
    if (FParent && FAlign != alNone)
        FParent->Realign();
}

RECT TControl::ClientRect() const { return RECT{0, 0, FWidth, FHeight}; }

void TControl::SetCaption(const std::string& Value)
{
    if (FCaption != Value) {
        FCaption = Value;
        TextChanged();
    }
}

void TControl::SetVisible(bool Value)
{
    if (FVisible != Value) {
        FVisible = Value;
        VisibleChanged();
        if (FParent && FAlign != alNone)
            FParent->Realign();
    }
}

void TControl::SetEnabled(bool Value)
{
    if (FEnabled != Value) {
        FEnabled = Value;
        EnabledChanged();
    }
}

void TControl::SetAlign(TAlign Value)
{
    if (FAlign != Value) {
        FAlign = Value;
        if (FParent)
            FParent->Realign();
    }
}

void TControl::SetParentFont(bool Value)
{
    FParentFont = Value;
    if (Value)
        ParentChanged();
}

void TControl::SetColor(TColor Value)
{
    if (FColor != Value) {
        FColor = Value;
        FParentColor = false;
        ColorChanged();
    }
}

void TControl::SetParentColor(bool Value)
{
    FParentColor = Value;
    if (Value)
        ParentChanged();
}

void TControl::ParentChanged()
{
    if (!FParent)
        return;
    if (FParentFont) {
        FFont.Assign(FParent->Font()); // clears FParentFont through OnChange
        FParentFont = true;
    }
    if (FParentColor && FColor != FParent->Color()) {
        FColor = FParent->Color();
        ColorChanged();
    }
}

void TControl::Invalidate()
{
    if (FParent && FParent->HandleAllocated()) {
        RECT R{FLeft, FTop, FLeft + FWidth, FTop + FHeight};
        InvalidateRect(FParent->Handle(), &R, TRUE);
    }
}

void TControl::Click()
{
    if (OnClick)
        OnClick(this);
}

// ---- TWinControl ---------------------------------------------------------------

static void DefineWinControl(TPropertyBuilder<TWinControl>& P)
{
    P.Integer("TabOrder", &TWinControl::TabOrder, &TWinControl::SetTabOrder, -1);
    P.Boolean("TabStop", &TWinControl::TabStop, &TWinControl::SetTabStop, false);
}

FW_DEFINE_CLASS(TWinControl, TControl, nullptr, DefineWinControl)

// Foreign windows that hold framework controls, subclassed to route the
// controls' messages back to them.
namespace {
struct TForeignParent {
    WNDPROC OldProc = nullptr;
    std::vector<TWinControl*> Controls;
};
std::map<HWND, TForeignParent>& ForeignParents()
{
    static std::map<HWND, TForeignParent> Map;
    return Map;
}
void DetachFromForeignParent(HWND Parent, TWinControl* Control)
{
    auto It = ForeignParents().find(Parent);
    if (It != ForeignParents().end())
        std::erase(It->second.Controls, Control);
}
} // namespace

LRESULT CALLBACK ForeignParentProc(HWND Wnd, UINT Msg, WPARAM W, LPARAM L)
{
    auto It = ForeignParents().find(Wnd);
    if (It == ForeignParents().end())
        return DefWindowProcW(Wnd, Msg, W, L);
    WNDPROC Old = It->second.OldProc;
    return CallbackBarrier<LRESULT>(nullptr, 0, [&]() -> LRESULT {
        switch (Msg) {
        case WM_COMMAND:
        case WM_NOTIFY:
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN:
        case WM_CTLCOLOREDIT: {
            HWND Child = Msg == WM_NOTIFY ? reinterpret_cast<NMHDR*>(L)->hwndFrom : reinterpret_cast<HWND>(L);
            for (TWinControl* C : It->second.Controls)
                if (Child && C->FHandle == Child)
                    return C->WndProc(CN_BASE + Msg, W, L);
            break;
        }
        case WM_DESTROY: {
            // Before the children go: the controls let go of the window.
            std::vector<TWinControl*> Controls = It->second.Controls;
            It->second.Controls.clear();
            for (TWinControl* C : Controls)
                C->ParentWindowDestroyed();
            break;
        }
        case WM_NCDESTROY:
            SetWindowLongPtrW(Wnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(Old));
            ForeignParents().erase(It);
            break;
        }
        return CallWindowProcW(Old, Wnd, Msg, W, L);
    });
}

TWinControl::TWinControl(TComponent* AOwner) : TControl(AOwner) {}

TWinControl::~TWinControl()
{
    Destroying();
    if (FParentWindow)
        DetachFromForeignParent(FParentWindow, this);
    // Children outlive this part of us while the owner frees them: let go.
    for (TControl* C : FControls)
        C->FParent = nullptr;
    FControls.clear();
    DestroyHandle();
}

HWND TWinControl::Handle()
{
    if (!FHandle)
        CreateWnd();
    return FHandle;
}

void TWinControl::DestroyHandle()
{
    if (FHandle) {
        HWND H = FHandle;
        DestroyWindow(H); // WM_NCDESTROY clears FHandle
        FHandle = nullptr;
    }
}

void TWinControl::InsertControl(TControl* AControl)
{
    FControls.push_back(AControl);
    AControl->FParent = this;
    AControl->ParentChanged();
    if (FHandle)
        if (auto* W = dynamic_cast<TWinControl*>(AControl))
            W->HandleNeeded();
    if (AControl->Align() != alNone)
        Realign();
}

void TWinControl::RemoveControl(TControl* AControl)
{
    auto It = std::find(FControls.begin(), FControls.end(), AControl);
    if (It == FControls.end())
        return;
    FControls.erase(It);
    AControl->FParent = nullptr;
    if (auto* W = dynamic_cast<TWinControl*>(AControl))
        W->DestroyHandle();
}

void TWinControl::SetFocus()
{
    if (HWND H = Handle())
        ::SetFocus(H);
}

bool TWinControl::Focused() const { return FHandle && GetFocus() == FHandle; }

void TWinControl::SetBounds(int ALeft, int ATop, int AWidth, int AHeight)
{
    bool Changed = ALeft != FLeft || ATop != FTop || AWidth != FWidth || AHeight != FHeight;
    TControl::SetBounds(ALeft, ATop, AWidth, AHeight);
    if (Changed && FHandle)
        SetWindowPos(FHandle, nullptr, FLeft, FTop, FWidth, FHeight, SWP_NOZORDER | SWP_NOACTIVATE);
    if (Changed)
        Realign();
}

RECT TWinControl::ClientRect() const
{
    RECT R{0, 0, FWidth, FHeight};
    if (FHandle)
        GetClientRect(FHandle, &R);
    return R;
}

void TWinControl::Invalidate()
{
    if (FHandle)
        InvalidateRect(FHandle, nullptr, TRUE);
}

void TWinControl::Realign()
{
    if (FInRealign)
        return;
    FInRealign = true;
    RECT R = ClientRect();
    for (TAlign A : {alTop, alBottom, alLeft, alRight, alClient})
        for (TControl* C : FControls) {
            if (C->Align() != A || !C->Visible())
                continue;
            switch (A) {
            case alTop:
                C->SetBounds(R.left, R.top, R.right - R.left, C->Height());
                R.top += C->Height();
                break;
            case alBottom:
                C->SetBounds(R.left, R.bottom - C->Height(), R.right - R.left, C->Height());
                R.bottom -= C->Height();
                break;
            case alLeft:
                C->SetBounds(R.left, R.top, C->Width(), R.bottom - R.top);
                R.left += C->Width();
                break;
            case alRight:
                C->SetBounds(R.right - C->Width(), R.top, C->Width(), R.bottom - R.top);
                R.right -= C->Width();
                break;
            default:
                C->SetBounds(R.left, R.top, R.right - R.left, R.bottom - R.top);
                break;
            }
        }
    FInRealign = false;
}

LRESULT TWinControl::Perform(UINT Msg, WPARAM W, LPARAM L) { return SendMessageA(Handle(), Msg, W, L); }

UINT TWinControl::CodePage() { return CharsetToCodePage(FFont.Charset()); }

std::string TWinControl::WindowText()
{
    if (!FHandle)
        return FCaption;
    std::wstring W(size_t(GetWindowTextLengthW(FHandle)) + 1, L'\0');
    W.resize(size_t(GetWindowTextW(FHandle, W.data(), int(W.size()))));
    return FromWideText(W, CodePage());
}

void TWinControl::SetParentWindow(HWND Value)
{
    if (FParentWindow == Value)
        return;
    DestroyHandle();
    if (FParentWindow)
        DetachFromForeignParent(FParentWindow, this);
    FParentWindow = Value;
}

void TWinControl::ParentWindowDestroyed()
{
    FParentWindow = nullptr;
    if (OnParentWindowDestroyed)
        OnParentWindowDestroyed(this);
}

bool TWinControl::CaptionHasMnemonic(wchar_t Ch)
{
    std::wstring Text = ToWideText(FCaption, CodePage());
    for (size_t I = 0; I + 1 < Text.size(); ++I)
        if (Text[I] == L'&') {
            if (Text[I + 1] != L'&')
                return std::towupper(Text[I + 1]) == std::towupper(Ch);
            ++I; // "&&" is the ampersand itself
        }
    return false;
}

void TWinControl::GetTabOrderList(std::vector<TWinControl*>& List)
{
    std::vector<TWinControl*> Children;
    for (TControl* C : FControls)
        if (auto* W = dynamic_cast<TWinControl*>(C))
            Children.push_back(W);
    std::stable_sort(Children.begin(), Children.end(), [](TWinControl* A, TWinControl* B) {
        return (A->FTabOrder < 0 ? INT_MAX : A->FTabOrder) < (B->FTabOrder < 0 ? INT_MAX : B->FTabOrder);
    });
    for (TWinControl* W : Children) {
        if (!W->FHandle || !IsWindowVisible(W->FHandle) || !IsWindowEnabled(W->FHandle))
            continue;
        if (W->FTabStop)
            List.push_back(W);
        W->GetTabOrderList(List);
    }
}

TCustomForm* GetParentForm(TControl* Control)
{
    TControl* Top = Control;
    for (TControl* C = Control; C; C = C->Parent()) {
        if (auto* F = dynamic_cast<TCustomForm*>(C); F && C != Control)
            return F;
        Top = C;
    }
    // A control whose window sits in a form's window without being its child control.
    if (auto* W = dynamic_cast<TWinControl*>(Top); W && W->HandleAllocated())
        if (TWinControl* Above = ControlAt(GetAncestor(W->Handle(), GA_PARENT)))
            return dynamic_cast<TCustomForm*>(Above) ? static_cast<TCustomForm*>(Above) : GetParentForm(Above);
    return nullptr;
}

void TWinControl::CreateParams(TCreateParams& Params)
{
    Params.Caption = FCaption;
    Params.Style = WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
    if (FVisible)
        Params.Style |= WS_VISIBLE;
    if (!FEnabled)
        Params.Style |= WS_DISABLED;
    if (FTabStop)
        Params.Style |= WS_TABSTOP;
    Params.X = FLeft;
    Params.Y = FTop;
    Params.Width = FWidth;
    Params.Height = FHeight;
    Params.WndParent = FParent ? FParent->Handle() : FParentWindow;
}

void TWinControl::CreateWnd()
{
    TCreateParams P;
    CreateParams(P);
    // Making the parent's window made this one too, with the parent's children.
    if (FHandle)
        return;
    if (P.Style & WS_CHILD && !P.WndParent)
        throw fw_SysUtils::EInvalidOperation(fw_SysUtils::Format("Control '%s' has no parent window", {Name()}));
    RegisterWindowClass();
    bool Own = P.WinClassName.empty();
    std::wstring Class = Own ? std::wstring(WindowClassName) : ToWideText(P.WinClassName, CP_ACP);
    FTextCodePage = CodePage();
    HWND H = CreateWindowExW(P.ExStyle, Class.c_str(), ToWideText(P.Caption, FTextCodePage).c_str(), P.Style, P.X, P.Y,
                             P.Width, P.Height, P.WndParent, nullptr, GetModuleHandleA(nullptr), nullptr);
    if (!H) // the system may leave no reason (no display, for one)
        throw fw_SysUtils::EOSError(fw_SysUtils::Format("Error creating window of %s %s", {ClassName(), Name()}));
    FHandle = H;
    SetPropW(H, ControlProp, this);
    WNDPROC Old = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(H, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&TWinControl::StdWndProc)));
    FDefWndProc = Own ? DefWindowProcW : Old;
    if (!FParent && FParentWindow && P.WndParent == FParentWindow) {
        auto [It, New] = ForeignParents().try_emplace(FParentWindow);
        if (New)
            It->second.OldProc = reinterpret_cast<WNDPROC>(
                SetWindowLongPtrW(FParentWindow, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&ForeignParentProc)));
        if (std::find(It->second.Controls.begin(), It->second.Controls.end(), this) == It->second.Controls.end())
            It->second.Controls.push_back(this);
    }
    SendMessageA(H, WM_SETFONT, WPARAM(FFont.Handle()), FALSE);
    // The real size may differ from the asked one (frames, minimum sizes).
    RECT R;
    GetWindowRect(H, &R);
    if (P.WndParent)
        MapWindowPoints(HWND_DESKTOP, P.WndParent, reinterpret_cast<POINT*>(&R), 2);
    FLeft = R.left;
    FTop = R.top;
    FWidth = R.right - R.left;
    FHeight = R.bottom - R.top;
    for (TControl* C : FControls)
        if (auto* W = dynamic_cast<TWinControl*>(C))
            W->HandleNeeded();
    Realign();
}

LRESULT CALLBACK TWinControl::StdWndProc(HWND Wnd, UINT Msg, WPARAM W, LPARAM L)
{
    TWinControl* C = ControlOf(Wnd);
    if (!C)
        return DefWindowProcW(Wnd, Msg, W, L);
    return CallbackBarrier<LRESULT>(C, 0, [&]() -> LRESULT {
        if (Msg == WM_NCDESTROY) {
            WNDPROC Def = C->FDefWndProc;
            RemovePropW(Wnd, ControlProp);
            SetWindowLongPtrW(Wnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(Def));
            C->FHandle = nullptr;
            return CallWindowProcW(Def, Wnd, Msg, W, L);
        }
        return C->WndProc(Msg, W, L);
    });
}

LRESULT TWinControl::DefaultHandler(UINT Msg, WPARAM W, LPARAM L)
{
    return CallWindowProcW(FDefWndProc ? FDefWndProc : DefWindowProcW, FHandle, Msg, W, L);
}

LRESULT TWinControl::WndProc(UINT Msg, WPARAM W, LPARAM L)
{
    switch (Msg) {
    case WM_COMMAND:
    case WM_NOTIFY:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_DRAWITEM: {
        // Handed to the child control the message is about.
        HWND Child = Msg == WM_NOTIFY     ? reinterpret_cast<NMHDR*>(L)->hwndFrom
                     : Msg == WM_DRAWITEM ? reinterpret_cast<DRAWITEMSTRUCT*>(L)->hwndItem
                                          : reinterpret_cast<HWND>(L);
        if (Child && Child != FHandle)
            if (TWinControl* C = ControlOf(Child))
                return C->WndProc(CN_BASE + Msg, W, L);
        if ((Msg == WM_COMMAND || Msg == WM_NOTIFY) && PassesNotifications())
            if (HWND Parent = GetAncestor(FHandle, GA_PARENT))
                return SendMessageW(Parent, Msg, W, L);
        break;
    }
    case CN_BASE + WM_CTLCOLOREDIT:
    case CN_BASE + WM_CTLCOLORLISTBOX:
        // The parent's default colours, as though the message had not been routed.
        return DefWindowProcW(GetAncestor(FHandle, GA_PARENT), Msg - CN_BASE, W, L);
    case CN_BASE + WM_COMMAND:
        if (HIWORD(W) == BN_CLICKED) {
            Click();
            return 0;
        }
        break;
    case CN_BASE + WM_CTLCOLORSTATIC:
    case CN_BASE + WM_CTLCOLORBTN: {
        HDC DC = reinterpret_cast<HDC>(W);
        SetTextColor(DC, fw_Graphics::ColorToRGB(FFont.Color()));
        SetBkColor(DC, fw_Graphics::ColorToRGB(FColor));
        // The control's own colour (a label on a white panel is white).
        if (!FBrush || FBrushColor != FColor) {
            FBrush.Reset(CreateSolidBrush(fw_Graphics::ColorToRGB(FColor)));
            FBrushColor = FColor;
        }
        return LRESULT(FBrush.Get());
    }
    case WM_ERASEBKGND:
        if (FDefWndProc == DefWindowProcW) {
            RECT R;
            GetClientRect(FHandle, &R);
            fw_Handles::TGdiHandle<HBRUSH> B(CreateSolidBrush(fw_Graphics::ColorToRGB(FColor)));
            FillRect(reinterpret_cast<HDC>(W), &R, B.Get());
            return 1;
        }
        break;
    case WM_PAINT:
        if (FDefWndProc == DefWindowProcW) {
            fw_Handles::TPaintDC DC(FHandle); // ended even when Paint throws
            Paint(DC.DC());
            return 0;
        }
        break;
    case WM_SIZE:
    case WM_MOVE: {
        RECT R;
        GetWindowRect(FHandle, &R);
        if (HWND P = GetParent(FHandle); P && (GetWindowLongA(FHandle, GWL_STYLE) & WS_CHILD))
            MapWindowPoints(HWND_DESKTOP, P, reinterpret_cast<POINT*>(&R), 2);
        if (!IsIconic(FHandle)) {
            FLeft = R.left;
            FTop = R.top;
            FWidth = R.right - R.left;
            FHeight = R.bottom - R.top;
        }
        if (Msg == WM_SIZE)
            Realign();
        break;
    }
    }
    return DefaultHandler(Msg, W, L);
}

void TWinControl::TextChanged()
{
    if (FHandle) {
        FTextCodePage = CodePage();
        SetWindowTextW(FHandle, ToWideText(FCaption, FTextCodePage).c_str());
    }
}

void TWinControl::FontChanged()
{
    if (FHandle) {
        SendMessageA(FHandle, WM_SETFONT, WPARAM(FFont.Handle()), TRUE);
        if (CodePage() != FTextCodePage)
            TextChanged(); // the same bytes mean other characters now
        Invalidate();
    }
    for (TControl* C : FControls)
        if (C->ParentFont())
            C->ParentChanged();
}

void TWinControl::VisibleChanged()
{
    if (FHandle)
        ShowWindow(FHandle, FVisible ? SW_SHOWNA : SW_HIDE);
}

void TWinControl::EnabledChanged()
{
    if (FHandle)
        EnableWindow(FHandle, FEnabled);
}

// ---- TCustomForm ---------------------------------------------------------------

static void DefineCustomForm(TPropertyBuilder<TCustomForm>& P)
{
    P.Set<TBorderIcons>("BorderIcons", TBorderIconInfo, &TCustomForm::BorderIcons, &TCustomForm::SetBorderIcons,
                        TBorderIcons{biSystemMenu, biMinimize, biMaximize});
    P.Enum<TFormBorderStyle>("BorderStyle", TFormBorderStyleInfo, &TCustomForm::BorderStyle,
                             &TCustomForm::SetBorderStyle, bsSizeable);
    P.Integer("ClientHeight", &TCustomForm::ClientHeight, &TCustomForm::SetClientHeight);
    P.Integer("ClientWidth", &TCustomForm::ClientWidth, &TCustomForm::SetClientWidth);
    P.Integer("PixelsPerInch", &TCustomForm::PixelsPerInch, &TCustomForm::SetPixelsPerInch, 96);
    P.Enum<TPosition>("Position", TPositionInfo, &TCustomForm::Position, &TCustomForm::SetPosition, poDesigned);
    P.Enum<TWindowState>("WindowState", TWindowStateInfo, &TCustomForm::WindowState, &TCustomForm::SetWindowState,
                         wsNormal);
}

FW_DEFINE_CLASS(TCustomForm, TWinControl, nullptr, DefineCustomForm)
FW_DEFINE_CLASS(TForm, TCustomForm, fw_Classes::CreateComponent<TForm>, nullptr)
FW_DEFINE_CLASS(TDataModule, TComponent, fw_Classes::CreateComponent<TDataModule>, nullptr)

bool IsFormOrDataModule(const TComponent* Component)
{
    return Component && (Component->Is<TCustomForm>() || Component->Is<TDataModule>());
}

TCustomForm::TCustomForm(TComponent* AOwner) : TWinControl(AOwner)
{
    FVisible = false;
    FParentFont = false;
    FParentColor = false;
    FWidth = 320;
    FHeight = 240;
}

TCustomForm::~TCustomForm()
{
    Destroying();
    if (OnDestroy)
        OnDestroy(this);
    if (Application && Application->MainForm() == this)
        Application->Notification(this, fw_Classes::TOperation::opRemove);
}

void TCustomForm::DoCreate()
{
    if (OnCreate)
        OnCreate(this);
}

void TCustomForm::CreateParams(TCreateParams& Params)
{
    TWinControl::CreateParams(Params);
    if (FParent)
        return; // a form placed on another control is a child window
    Params.Style = WS_CLIPCHILDREN;
    switch (FBorderStyle) {
    case bsNone:
        Params.Style |= WS_POPUP;
        break;
    case bsSingle:
    case bsToolWindow:
        Params.Style |= WS_CAPTION | WS_BORDER;
        break;
    case bsDialog:
        Params.Style |= WS_POPUP | WS_CAPTION | DS_MODALFRAME;
        Params.ExStyle |= WS_EX_DLGMODALFRAME;
        break;
    default:
        Params.Style |= WS_CAPTION | WS_THICKFRAME;
        break;
    }
    if (FBorderStyle != bsNone && FBorderIcons.Contains(biSystemMenu)) {
        Params.Style |= WS_SYSMENU;
        if (FBorderStyle != bsDialog && FBorderIcons.Contains(biMinimize))
            Params.Style |= WS_MINIMIZEBOX;
        if (FBorderStyle != bsDialog && FBorderIcons.Contains(biMaximize))
            Params.Style |= WS_MAXIMIZEBOX;
    }
    if (FBorderStyle == bsToolWindow || FBorderStyle == bsSizeToolWin)
        Params.ExStyle |= WS_EX_TOOLWINDOW;
    // Other forms stay above the main form.
    Params.WndParent = Application && Application->MainForm() && Application->MainForm() != this &&
                               Application->MainForm()->HandleAllocated()
                           ? Application->MainForm()->Handle()
                           : nullptr;
    if (FPosition == poScreenCenter || FPosition == poDesktopCenter) {
        Params.X = (GetSystemMetrics(SM_CXSCREEN) - FWidth) / 2;
        Params.Y = (GetSystemMetrics(SM_CYSCREEN) - FHeight) / 2;
    } else if (FPosition == poDefault || FPosition == poDefaultPosOnly) {
        Params.X = Params.Y = CW_USEDEFAULT;
    }
}

void TCustomForm::CreateWnd()
{
    TWinControl::CreateWnd();
    TextChanged();
}

namespace {

// The frame a form without a window is taken to have, around a client area
// at 0, 0 (left and top negative).
RECT StyleFrame()
{
    RECT R{0, 0, 0, 0};
    AdjustWindowRectEx(&R, WS_CAPTION | WS_THICKFRAME, FALSE, 0);
    return R;
}

} // namespace

// Without a window, the client size is what the setters would give: the
// size less the frame they add, so that writing and reading a project keeps
// the form's size.
int TCustomForm::ClientWidth() const
{
    if (FHandle)
        return ClientRect().right;
    const RECT F = StyleFrame();
    return FWidth - (F.right - F.left);
}

int TCustomForm::ClientHeight() const
{
    if (FHandle)
        return ClientRect().bottom;
    const RECT F = StyleFrame();
    return FHeight - (F.bottom - F.top);
}

void TCustomForm::SetClientWidth(int Value)
{
    // Without a window the frame is not known: take the frame of the style.
    RECT R{0, 0, Value, ClientHeight()};
    if (FHandle) {
        RECT W, C;
        GetWindowRect(FHandle, &W);
        GetClientRect(FHandle, &C);
        SetWidth(Value + (W.right - W.left) - C.right);
    } else {
        AdjustWindowRectEx(&R, WS_CAPTION | WS_THICKFRAME, FALSE, 0);
        SetWidth(R.right - R.left);
    }
}

void TCustomForm::SetClientHeight(int Value)
{
    RECT R{0, 0, ClientWidth(), Value};
    if (FHandle) {
        RECT W, C;
        GetWindowRect(FHandle, &W);
        GetClientRect(FHandle, &C);
        SetHeight(Value + (W.bottom - W.top) - C.bottom);
    } else {
        AdjustWindowRectEx(&R, WS_CAPTION | WS_THICKFRAME, FALSE, 0);
        SetHeight(R.bottom - R.top);
    }
}

void TCustomForm::SetWindowState(TWindowState Value)
{
    FWindowState = Value;
    if (FHandle && FVisible && !IsLoading())
        ShowWindow(FHandle, Value == wsMaximized ? SW_MAXIMIZE : Value == wsMinimized ? SW_MINIMIZE : SW_RESTORE);
}

void TCustomForm::SetBorderStyle(TFormBorderStyle Value)
{
    FBorderStyle = Value;
    if (FHandle && !FParent) {
        TCreateParams P;
        CreateParams(P);
        SetWindowLongA(FHandle, GWL_STYLE, LONG(P.Style | (FVisible ? WS_VISIBLE : 0)));
        SetWindowLongA(FHandle, GWL_EXSTYLE, LONG(P.ExStyle));
        SetWindowPos(FHandle, nullptr, 0, 0, 0, 0,
                     SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

void TCustomForm::SetBorderIcons(TBorderIcons Value)
{
    FBorderIcons = Value;
    SetBorderStyle(FBorderStyle); // restyles the window
}

void TCustomForm::SetVisible(bool Value)
{
    if (Value == FVisible && (!Value || FHandle))
        return;
    FVisible = Value;
    if (IsLoading())
        return;
    if (Value) {
        HWND H = Handle();
        int Cmd = FWindowState == wsMaximized   ? SW_SHOWMAXIMIZED
                  : FWindowState == wsMinimized ? SW_SHOWMINIMIZED
                  : FParent                     ? SW_SHOWNA
                                                : SW_SHOWNORMAL;
        ShowWindow(H, Cmd);
        if (!FParent)
            SetForegroundWindow(H);
        if (OnShow)
            OnShow(this);
    } else if (FHandle) {
        if (OnHide)
            OnHide(this);
        ShowWindow(FHandle, SW_HIDE);
    }
}

void TCustomForm::ShowForm()
{
    SetVisible(true);
    if (FHandle && !FParent) {
        BringWindowToTop(FHandle);
        SetActiveWindow(FHandle);
    }
}

namespace {
struct TDisabledWindows {
    HWND Keep;
    std::vector<HWND> List;
};
BOOL CALLBACK DisableWindow(HWND Wnd, LPARAM Data)
{
    return CallbackBarrier<BOOL>(nullptr, FALSE, [&] {
        auto* D = reinterpret_cast<TDisabledWindows*>(Data);
        if (Wnd != D->Keep && IsWindowVisible(Wnd) && IsWindowEnabled(Wnd)) {
            D->List.push_back(Wnd);
            EnableWindow(Wnd, FALSE);
        }
        return TRUE;
    });
}
} // namespace

TModalResult TCustomForm::ShowModal()
{
    if (FVisible || !FEnabled || FModal)
        throw fw_SysUtils::EInvalidOperation("Cannot make a visible window modal");
    TDisabledWindows Disabled{Handle(), {}};
    EnumThreadWindows(GetCurrentThreadId(), DisableWindow, reinterpret_cast<LPARAM>(&Disabled));
    FModal = true;
    FModalResult = mrNone;
    {
        // The other windows come back on every path, a throwing handler included.
        fw_Handles::TScopeExit Restore([&]() noexcept {
            for (HWND W : Disabled.List)
                EnableWindow(W, TRUE);
            FModal = false;
        });
        ShowForm();
        while (FModalResult == mrNone) {
            Application->HandleMessage();
            if (Application->Terminated())
                FModalResult = mrCancel;
        }
    }
    SetVisible(false);
    return FModalResult;
}

void TCustomForm::Close()
{
    if (!CloseQuery())
        return;
    TCloseAction Action = caHide;
    if (FModal)
        FModalResult = mrCancel;
    if (OnClose)
        OnClose(this, Action);
    if (Action == caNone) {
        if (FModal)
            FModalResult = mrNone;
        return;
    }
    if (Application && Application->MainForm() == this)
        Application->Terminate();
    else if (!FModal && (Action == caHide || Action == caFree))
        SetVisible(false);
}

LRESULT TCustomForm::WndProc(UINT Msg, WPARAM W, LPARAM L)
{
    switch (Msg) {
    case WM_ACTIVATE:
        if (LOWORD(W) == WA_INACTIVE)
            Deactivate();
        else
            Activate();
        break;
    case WM_CLOSE:
        Close();
        return 0;
    }
    return TWinControl::WndProc(Msg, W, L);
}

void TCustomForm::Paint(HDC) {}

void TCustomForm::Activate()
{
    FActive = true;
    if (OnActivate)
        OnActivate(this);
}

void TCustomForm::Deactivate()
{
    FActive = false;
    if (OnDeactivate)
        OnDeactivate(this);
}

// ---- TApplication --------------------------------------------------------------

FW_DEFINE_CLASS(TApplication, TComponent, nullptr, nullptr)

TApplication::TApplication(TComponent* AOwner) : TComponent(AOwner)
{
    FTitle = fw_SysUtils::ChangeFileExt(fw_SysUtils::ExtractFileName(fw_SysUtils::ModuleFileName()), "");
}

TApplication::~TApplication()
{
    Destroying();
    DestroyComponents();
    if (FComInitialized)
        CoUninitialize();
}

void TApplication::Initialize()
{
    if (!FComInitialized)
        FComInitialized = SUCCEEDED(CoInitialize(nullptr));
    INITCOMMONCONTROLSEX ICC{sizeof ICC, ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&ICC);
}

void TApplication::Notification(TComponent* AComponent, fw_Classes::TOperation Operation)
{
    TComponent::Notification(AComponent, Operation);
    if (Operation == fw_Classes::TOperation::opRemove && AComponent == FMainForm)
        FMainForm = nullptr;
}

void TApplication::Run()
{
    if (FMainForm && ShowMainForm && !FTerminated)
        FMainForm->ShowForm();
    while (!FTerminated)
        HandleMessage();
}

void TApplication::Terminate() { PostQuitMessage(ExitCode); }

bool TApplication::ProcessMessage(MSG& Msg)
{
    if (!PeekMessageW(&Msg, nullptr, 0, 0, PM_REMOVE))
        return false;
    if (Msg.message == WM_QUIT) {
        FTerminated = true;
        ExitCode = int(Msg.wParam);
        return true;
    }
    if (IsDialogKey(Msg))
        return true;
    ::TranslateMessage(&Msg);
    DispatchMessageW(&Msg);
    return true;
}

bool TApplication::IsDialogKey(const MSG& Msg)
{
    bool Char = Msg.message == WM_SYSCHAR;
    if (Msg.message != WM_KEYDOWN && !Char)
        return false;
    TWinControl* Focus = ControlAt(Msg.hwnd);
    if (!Focus)
        return false; // not a window of ours
    // The outermost framework control: the form, or the form a page form is embedded in.
    TWinControl* Root = Focus;
    for (;;) {
        if (Root->Parent())
            Root = Root->Parent();
        else if (TWinControl* Above = ControlAt(GetAncestor(Root->Handle(), GA_PARENT)))
            Root = Above;
        else
            break;
    }
    if (!Root->Is<TCustomForm>())
        return false;
    std::vector<TWinControl*> All;
    auto Collect = [&](auto& Self, TWinControl* W) -> void {
        for (int I = 0; I < W->ControlCount(); ++I)
            if (auto* C = dynamic_cast<TWinControl*>(W->Controls(I))) {
                if (!C->HandleAllocated() || !IsWindowVisible(C->Handle()) || !IsWindowEnabled(C->Handle()))
                    continue;
                All.push_back(C);
                Self(Self, C);
            }
    };
    if (Char) {
        Collect(Collect, Root);
        for (TWinControl* C : All)
            if (C->IsMnemonic(wchar_t(Msg.wParam))) {
                C->DoMnemonic();
                return true;
            }
        return false;
    }
    // What the focused window keeps for itself (a memo its Enter, say).
    MSG Copy = Msg;
    LRESULT Code = SendMessageW(Msg.hwnd, WM_GETDLGCODE, Msg.wParam, reinterpret_cast<LPARAM>(&Copy));
    switch (Msg.wParam) {
    case VK_TAB: {
        if (Code & (DLGC_WANTTAB | DLGC_WANTMESSAGE) || GetKeyState(VK_CONTROL) < 0)
            return false;
        std::vector<TWinControl*> Stops;
        Root->GetTabOrderList(Stops);
        if (Stops.empty())
            return true;
        bool Back = GetKeyState(VK_SHIFT) < 0;
        auto It = std::find(Stops.begin(), Stops.end(), Focus);
        size_t N = Stops.size(), I = It == Stops.end() ? (Back ? 0 : N - 1) : size_t(It - Stops.begin());
        TWinControl* Next = Stops[Back ? (I + N - 1) % N : (I + 1) % N];
        Next->SetFocus();
        Next->EnteredByTab();
        return true;
    }
    case VK_RETURN:
    case VK_ESCAPE: {
        if (Code & (DLGC_WANTALLKEYS | DLGC_WANTMESSAGE))
            return false;
        TDialogKey Key = Msg.wParam == VK_RETURN ? dkEnter : dkEscape;
        if (Key == dkEnter && Focus->IsPushButton()) {
            Focus->KeyPress();
            return true;
        }
        Collect(Collect, Root);
        for (TWinControl* C : All)
            if (C->WantsDialogKey(Key)) {
                C->KeyPress();
                return true;
            }
        return false;
    }
    }
    return false;
}

void TApplication::ProcessMessages()
{
    MSG Msg;
    while (ProcessMessage(Msg)) {
    }
}

void TApplication::HandleMessage()
{
    MSG Msg;
    if (!ProcessMessage(Msg) && !FTerminated)
        WaitMessage();
}

namespace {

// What is no Exception is shown as one with this text.
const char* const UnknownExceptionText = "Unknown exception";

// The message of a thrown object of any type.
std::string MessageOf(const std::exception_ptr& Thrown)
{
    try {
        std::rethrow_exception(Thrown);
    } catch (const Exception& E) {
        return E.Message();
    } catch (const std::exception& E) {
        return E.what();
    } catch (...) {
        return UnknownExceptionText;
    }
}

void WriteStdErr(std::string_view Text) noexcept
{
    HANDLE Err = GetStdHandle(STD_ERROR_HANDLE);
    if (Err && Err != INVALID_HANDLE_VALUE) {
        DWORD Written;
        WriteFile(Err, Text.data(), DWORD(Text.size()), &Written, nullptr);
    }
}

} // namespace

void TApplication::HandleException(fw_Classes::TObject* Sender)
{
    auto Handle = [&](const Exception& E) {
        if (OnException)
            OnException(Sender, E);
        else
            ShowException(E);
    };
    try {
        throw;
    } catch (const fw_SysUtils::EAbort&) {
        // the silent abort ends an operation without a word
    } catch (const Exception& E) {
        Handle(E);
    } catch (...) {
        Handle(Exception(MessageOf(std::current_exception())));
    }
}

void TApplication::ShowException(const Exception& E)
{
    std::string Msg = E.Message();
    if (!Msg.empty() && (unsigned char)Msg.back() > '.')
        Msg += '.';
    WriteStdErr(Msg + "\n");
    MessageBox(Msg, FTitle, MB_OK | MB_ICONSTOP);
}

void TApplication::ShowMessage(const std::string& Text)
{
    WriteStdErr(Text + "\n");
    MessageBox(Text, FTitle, MB_OK);
}

int TApplication::MessageBox(const std::string& Text, const std::string& Caption, UINT Flags)
{
    if (MessageBoxHook)
        return MessageBoxHook(Text, Caption, Flags);
    return MessageBoxA(GetActiveWindow(), Text.c_str(), Caption.c_str(), Flags | MB_SETFOREGROUND);
}

TApplication* Application = new TApplication(nullptr);

void HandleCallbackException(fw_Classes::TObject* Sender) noexcept
{
    std::exception_ptr Original = std::current_exception();
    try {
        if (!Application)
            std::rethrow_exception(Original);
        Application->HandleException(Sender);
    } catch (...) {
        // The last resort: the exception could not be shown, so at least
        // its text (and why showing it failed) reaches the standard error.
        try {
            std::exception_ptr Failure = std::current_exception();
            std::string Text = MessageOf(Original) + "\n";
            if (Failure != Original)
                Text += MessageOf(Failure) + "\n";
            WriteStdErr(Text);
        } catch (...) {
            WriteStdErr("Exception in a callback\n");
        }
    }
}

namespace {
TCursor CurrentCursor = crDefault;
}

TCursor ScreenCursor() { return CurrentCursor; }

void SetScreenCursor(TCursor Value)
{
    CurrentCursor = Value;
    // IDC_WAIT and IDC_ARROW, in their ANSI form.
    SetCursor(LoadCursorA(nullptr, MAKEINTRESOURCEA(Value == crHourGlass ? 32514 : 32512)));
}

} // namespace fw_Forms
