#include "dialogs/ordlg_WelcomeDlg.h"

namespace ordlg_WelcomeDlg {

using namespace dlgcmp_TBaseDlg;

FW_DEFINE_CLASS(TPageDlg, TBaseInstallDlg, nullptr, nullptr)

TPageDlg::TPageDlg(TComponent* AOwner, TClass FormClass, TManagerType Moment, int StandaloneCode)
    : TBaseInstallDlg(AOwner), FFormClass(FormClass), FStandaloneCode(StandaloneCode)
{
    SetOrder(10);
    RegistryEntry = RegisterInstallForm(FormClass, this, 0);
    SetDialogManager(FindDialogManager(Moment));
    AttachToDesignRoot();
}

TPageDlg::~TPageDlg() { RemoveInstallForm(RegistryEntry); }

void TPageDlg::HandleInformation(TObject* Sender, int Code, TObject* Param)
{
    inherited::HandleInformation(Sender, Code, Param);
    if (!DialogManager() && Code == FStandaloneCode)
        Execute();
}

void TPageDlg::AssignPageProperties(std::initializer_list<const char*> GoingOn)
{
    if (auto* Back = dynamic_cast<fw_Forms::TControl*>(Form->FindComponent("BackBtn")))
        Back->SetVisible(false);
    for (const char* Name : GoingOn)
        if (auto* Button = dynamic_cast<fw_StdCtrls::TButton*>(Form->FindComponent(Name)))
            Button->SetModalResult(fw_Forms::mrOk);
    AssignThemeBitmap();
}

template <class C>
static void DefinePageDlg(fw_Classes::TPropertyBuilder<C>& P)
{
    DefineBaseInstallDlgProperties(P, 10);
}

FW_DEFINE_CLASS(TWelcomeDlg, TPageDlg, fw_Classes::CreateComponent<TWelcomeDlg>, DefinePageDlg<TWelcomeDlg>)

TWelcomeDlg::TWelcomeDlg(TComponent* AOwner)
    : TPageDlg(AOwner, &TWelcomeForm::StaticClass(), dmBeforeInstall, WelcomeCode)
{
}

void TWelcomeDlg::AssignDialogProperties()
{
    inherited::AssignDialogProperties();
    AssignPageProperties({"ProceedBtn"});
}

FW_DEFINE_CLASS(TGoodInstallationDlg, TPageDlg, fw_Classes::CreateComponent<TGoodInstallationDlg>,
                DefinePageDlg<TGoodInstallationDlg>)

TGoodInstallationDlg::TGoodInstallationDlg(TComponent* AOwner)
    : TPageDlg(AOwner, &TGoodInstallForm::StaticClass(), dmAfterGoodInstall, GoodInstallCode)
{
}

void TGoodInstallationDlg::AssignDialogProperties()
{
    inherited::AssignDialogProperties();
    AssignPageProperties({"ProceedBtn", "FinishBtn"});
}

FW_DEFINE_CLASS(TBadInstallationDlg, TPageDlg, fw_Classes::CreateComponent<TBadInstallationDlg>,
                DefinePageDlg<TBadInstallationDlg>)

TBadInstallationDlg::TBadInstallationDlg(TComponent* AOwner)
    : TPageDlg(AOwner, &TBadInstallForm::StaticClass(), dmAfterBadInstall, BadInstallCode)
{
}

void TBadInstallationDlg::AssignDialogProperties()
{
    inherited::AssignDialogProperties();
    AssignPageProperties({"ProceedBtn", "FinishBtn"});
}

void StartUnit()
{
    // No default entries: only the dialog components bring these pages in.
    fw_Classes::RegisterClasses(
        {&TWelcomeDlg::StaticClass(), &TGoodInstallationDlg::StaticClass(), &TBadInstallationDlg::StaticClass()});
}

} // namespace ordlg_WelcomeDlg
