#include "dialogs/ordlg_WelcomeDlg.h"

#include "dialogs/layouts/BadInstallForm.wfm.h"
#include "dialogs/layouts/GoodInstallForm.wfm.h"
#include "dialogs/layouts/WelcomeForm.wfm.h"

namespace ordlg_WelcomeDlg {

using dlgcmp_TBaseDlg::FindDialogManager;

FW_DEFINE_CLASS(TInstallPageForm, TBaseInstallForm, nullptr, nullptr)

void TInstallPageForm::Build(std::string_view Layout)
{
    LoadLayout(Layout);
    BackBtn = LayoutControl<fw_StdCtrls::TButton>("BackBtn");
    ProceedBtn = LayoutControl<fw_StdCtrls::TButton>("ProceedBtn");
    BindWizardButtons();
    TakeInstallThemeBitmap();
}

// ---- Welcome ------------------------------------------------------------------------

FW_DEFINE_CLASS(TWelcomeForm, TInstallPageForm, fw_Classes::CreateComponent<TWelcomeForm>, nullptr)

TWelcomeForm::TWelcomeForm(TComponent* AOwner) : TInstallPageForm(AOwner)
{
    Build(WelcomeFormLayout);
    CancelBtn = LayoutControl<fw_StdCtrls::TButton>("CancelBtn");
    SetDM(FindDialogManager(dlgcmp_TBaseDlg::dmBeforeInstall));
    Order = 5;
}

void TWelcomeForm::UpdatePage()
{
    BackBtn->SetVisible(!IsFirstPage());
    FocusWhenVisible(ProceedBtn);
}

// ---- Setup complete, Setup incomplete -----------------------------------------------

FW_DEFINE_CLASS(TInstallResultForm, TInstallPageForm, nullptr, nullptr)

void TInstallResultForm::Build(std::string_view Layout)
{
    TInstallPageForm::Build(Layout);
    FinishBtn = LayoutControl<fw_StdCtrls::TButton>("FinishBtn");
    // Finish lies over Next: the one shown is in front.
    SetWindowPos(FinishBtn->Handle(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void TInstallResultForm::UpdatePage()
{
    BackBtn->SetVisible(!IsFirstPage());
    ProceedBtn->SetVisible(!IsLastPage());
    FinishBtn->SetVisible(!ProceedBtn->Visible());
    FocusWhenVisible(ProceedBtn->Visible() ? ProceedBtn : FinishBtn);
}

FW_DEFINE_CLASS(TGoodInstallForm, TInstallResultForm, fw_Classes::CreateComponent<TGoodInstallForm>, nullptr)

TGoodInstallForm::TGoodInstallForm(TComponent* AOwner) : TInstallResultForm(AOwner)
{
    Build(GoodInstallFormLayout);
    SetDM(FindDialogManager(dlgcmp_TBaseDlg::dmAfterGoodInstall));
    Order = 10;
}

FW_DEFINE_CLASS(TBadInstallForm, TInstallResultForm, fw_Classes::CreateComponent<TBadInstallForm>, nullptr)

TBadInstallForm::TBadInstallForm(TComponent* AOwner) : TInstallResultForm(AOwner)
{
    Build(BadInstallFormLayout);
    SetDM(FindDialogManager(dlgcmp_TBaseDlg::dmAfterBadInstall));
    Order = 10;
}

} // namespace ordlg_WelcomeDlg
