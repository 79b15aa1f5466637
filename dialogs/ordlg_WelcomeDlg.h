// The pages around the installation: Welcome before it, Setup complete and
// Setup incomplete after it, each with the dialog component that brings it
// into a project. Without a manager of its moment a dialog shows its page by
// itself when the run reaches that moment.
#pragma once

#include "dialogs/dlgcmp_TBaseDlg.h"
#include "framework/fw_StdCtrls.h"

namespace ordlg_WelcomeDlg {

using dlgcmp_TBaseDlg::TBaseInstallDlg;
using dlgcmp_TBaseDlg::TBaseInstallForm;
using dlgcmp_TBaseDlg::TBIFEntry;
using fw_Classes::TClass;
using fw_Classes::TComponent;
using fw_Classes::TObject;

// The codes on which a dialog without a manager shows its page.
inline constexpr int WelcomeCode = -982, GoodInstallCode = -995, BadInstallCode = -994;

// The parts the three pages share: Back, Next and the picture.
class TInstallPageForm : public TBaseInstallForm {
    FW_CLASS(TInstallPageForm, TBaseInstallForm)

public:
    using TBaseInstallForm::TBaseInstallForm;
    fw_StdCtrls::TButton* BackBtn = nullptr;
    fw_StdCtrls::TButton* ProceedBtn = nullptr;

protected:
    // Reads the layout and binds the buttons.
    void Build(std::string_view Layout);
};

class TWelcomeForm : public TInstallPageForm {
    FW_CLASS(TWelcomeForm, TInstallPageForm)

public:
    explicit TWelcomeForm(TComponent* AOwner);
    fw_StdCtrls::TButton* CancelBtn = nullptr;
    void UpdatePage() override;
};

// Setup complete and Setup incomplete: Finish in place of Next on the last page.
class TInstallResultForm : public TInstallPageForm {
    FW_CLASS(TInstallResultForm, TInstallPageForm)

public:
    using TInstallPageForm::TInstallPageForm;
    fw_StdCtrls::TButton* FinishBtn = nullptr;
    void UpdatePage() override;

protected:
    void Build(std::string_view Layout);
};

class TGoodInstallForm : public TInstallResultForm {
    FW_CLASS(TGoodInstallForm, TInstallResultForm)

public:
    explicit TGoodInstallForm(TComponent* AOwner);
};

class TBadInstallForm : public TInstallResultForm {
    FW_CLASS(TBadInstallForm, TInstallResultForm)

public:
    explicit TBadInstallForm(TComponent* AOwner);
};

// A page dialog: registers its page with itself, attaches to the manager of
// the page's moment, and shows the page itself on its code when it has none.
class TPageDlg : public TBaseInstallDlg {
    FW_CLASS(TPageDlg, TBaseInstallDlg)

public:
    ~TPageDlg() override;
    void HandleInformation(TObject* Sender, int Code, TObject* Param) override;
    TClass GetFormClass() const override { return FFormClass; }
    // The entry its constructor made.
    TBIFEntry* RegistryEntry = nullptr;

protected:
    TPageDlg(TComponent* AOwner, TClass FormClass, dlgcmp_TBaseDlg::TManagerType Moment, int StandaloneCode);
    // Hides Back, gives the going-on buttons OK, and the picture.
    void AssignPageProperties(std::initializer_list<const char*> GoingOn);

private:
    TClass FFormClass;
    int FStandaloneCode;
};

class TWelcomeDlg : public TPageDlg {
    FW_CLASS(TWelcomeDlg, TPageDlg)

public:
    explicit TWelcomeDlg(TComponent* AOwner);
    void AssignDialogProperties() override;
};

class TGoodInstallationDlg : public TPageDlg {
    FW_CLASS(TGoodInstallationDlg, TPageDlg)

public:
    explicit TGoodInstallationDlg(TComponent* AOwner);
    void AssignDialogProperties() override;

protected:
    // The outcome is known: closing the page is no cancel.
    bool CloseCancels() const override { return false; }
};

class TBadInstallationDlg : public TPageDlg {
    FW_CLASS(TBadInstallationDlg, TPageDlg)

public:
    explicit TBadInstallationDlg(TComponent* AOwner);
    void AssignDialogProperties() override;

protected:
    bool CloseCancels() const override { return false; }
};

// Registers the dialogs' classes for project texts.
void StartUnit();

} // namespace ordlg_WelcomeDlg
