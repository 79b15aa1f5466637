#include "framework/fw_ComCtrls.h"

#include <commctrl.h>

namespace fw_ComCtrls {

using fw_Classes::TPropertyBuilder;

namespace {
// The common control classes exist once registered; a program that did
// not initialise the application gets them here.
void NeedCommonControls(DWORD Classes)
{
    INITCOMMONCONTROLSEX ICC{sizeof ICC, Classes};
    InitCommonControlsEx(&ICC);
}
} // namespace

// ---- TProgressBar ----------------------------------------------------------------

static void DefineProgressBar(TPropertyBuilder<TProgressBar>& P)
{
    P.Integer("Max", &TProgressBar::Max, &TProgressBar::SetMax, 100);
    P.Integer("Min", &TProgressBar::Min, &TProgressBar::SetMin, 0);
    P.Integer("Position", &TProgressBar::Position, &TProgressBar::SetPosition, 0);
}

FW_DEFINE_CLASS(TProgressBar, TWinControl, fw_Classes::CreateComponent<TProgressBar>, DefineProgressBar)

TProgressBar::TProgressBar(TComponent* AOwner) : TWinControl(AOwner)
{
    FWidth = 150;
    FHeight = 16;
}

void TProgressBar::CreateParams(TCreateParams& Params)
{
    TWinControl::CreateParams(Params);
    NeedCommonControls(ICC_PROGRESS_CLASS);
    Params.WinClassName = PROGRESS_CLASSA;
}

void TProgressBar::CreateWnd()
{
    TWinControl::CreateWnd();
    SendMessageW(FHandle, PBM_SETRANGE32, WPARAM(FMin), LPARAM(FMax));
    SendMessageW(FHandle, PBM_SETPOS, WPARAM(FPosition), 0);
}

void TProgressBar::SetMin(int Value)
{
    FMin = Value;
    if (FHandle)
        SendMessageW(FHandle, PBM_SETRANGE32, WPARAM(FMin), LPARAM(FMax));
}

void TProgressBar::SetMax(int Value)
{
    FMax = Value;
    if (FHandle)
        SendMessageW(FHandle, PBM_SETRANGE32, WPARAM(FMin), LPARAM(FMax));
}

void TProgressBar::SetPosition(int Value)
{
    // Kept within the range, as the bar itself keeps it.
    FPosition = Value < FMin ? FMin : Value > FMax ? FMax : Value;
    if (FHandle)
        SendMessageW(FHandle, PBM_SETPOS, WPARAM(FPosition), 0);
}

// ---- TTabControl -----------------------------------------------------------------

static void DefineTabControl(TPropertyBuilder<TTabControl>& P)
{
    P.Integer("TabIndex", &TTabControl::TabIndex, &TTabControl::SetTabIndex, -1);
    P.Lines("Tabs", &TTabControl::Tabs, &TTabControl::SetTabs);
}

FW_DEFINE_CLASS(TTabControl, TWinControl, fw_Classes::CreateComponent<TTabControl>, DefineTabControl)

TTabControl::TTabControl(TComponent* AOwner) : TWinControl(AOwner)
{
    FWidth = 289;
    FHeight = 193;
    SetTabStop(true);
}

void TTabControl::CreateParams(TCreateParams& Params)
{
    TWinControl::CreateParams(Params);
    NeedCommonControls(ICC_TAB_CLASSES);
    Params.WinClassName = WC_TABCONTROLA;
}

void TTabControl::InsertItem(int Index)
{
    std::wstring Text = fw_Forms::ToWideText(FTabs[size_t(Index)], CodePage());
    TCITEMW Item{};
    Item.mask = TCIF_TEXT;
    Item.pszText = Text.data();
    if (SendMessageW(FHandle, TCM_INSERTITEMW, WPARAM(Index), reinterpret_cast<LPARAM>(&Item)) < 0)
        throw fw_SysUtils::EOSError(fw_SysUtils::Format("Cannot add tab %d to %s", {Index, Name()}));
}

void TTabControl::CreateWnd()
{
    TWinControl::CreateWnd();
    for (int I = 0; I < int(FTabs.size()); ++I)
        InsertItem(I);
    SendMessageW(FHandle, TCM_SETCURSEL, WPARAM(FTabIndex), 0);
}

void TTabControl::SetTabs(const std::vector<std::string>& Value)
{
    FTabs = Value;
    if (FHandle) {
        SendMessageW(FHandle, TCM_DELETEALLITEMS, 0, 0);
        for (int I = 0; I < int(FTabs.size()); ++I)
            InsertItem(I);
    }
    SetTabIndex(FTabIndex < int(FTabs.size()) ? FTabIndex : -1);
}

void TTabControl::AddTab(const std::string& Text)
{
    FTabs.push_back(Text);
    if (FHandle)
        InsertItem(int(FTabs.size()) - 1);
}

void TTabControl::SetTabIndex(int Value)
{
    // While a project is read the tabs may come after the index.
    if (!IsLoading() && (Value < -1 || Value >= int(FTabs.size())))
        throw fw_SysUtils::ERangeError(fw_SysUtils::Format("%d is no tab of %s", {Value, Name()}));
    FTabIndex = Value;
    if (FHandle)
        SendMessageW(FHandle, TCM_SETCURSEL, WPARAM(Value), 0);
}

LRESULT TTabControl::WndProc(UINT Msg, WPARAM W, LPARAM L)
{
    if (Msg == fw_Forms::CN_NOTIFY) {
        switch (reinterpret_cast<NMHDR*>(L)->code) {
        case TCN_SELCHANGING: {
            bool Allow = true;
            if (OnChanging)
                OnChanging(this, Allow);
            return Allow ? FALSE : TRUE;
        }
        case TCN_SELCHANGE:
            FTabIndex = int(SendMessageW(FHandle, TCM_GETCURSEL, 0, 0));
            if (OnChange)
                OnChange(this);
            return 0;
        }
    }
    return TWinControl::WndProc(Msg, W, L);
}

} // namespace fw_ComCtrls
