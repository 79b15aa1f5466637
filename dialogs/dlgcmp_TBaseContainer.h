// The wizard window of a dialog manager: one page per registered page of the
// manager, embedded over one display area, sorted by Order, with Next and
// Previous passing over pages that ask to be skipped. It closes only when the
// user goes past the last page (modal result OK) or a page aborts (abort).
#pragma once

#include "dialogs/dlgcmp_TBaseDlg.h"
#include "framework/fw_ComCtrls.h"
#include "framework/fw_ExtCtrls.h"

#include <vector>

namespace dlgcmp_TBaseContainer {

using dlgcmp_TBaseDlg::TBaseInstallForm;
using dlgcmp_TBaseDlg::TWendrelDialogPosition;
using fw_Classes::TComponent;

// The modal results of the wizard: confirmed and aborted.
inline constexpr fw_Forms::TModalResult mrWizardDone = 1, mrWizardAbort = 3;

class TBaseFormContainer : public fw_Forms::TForm {
    FW_CLASS(TBaseFormContainer, fw_Forms::TForm)

public:
    explicit TBaseFormContainer(TComponent* AOwner);
    ~TBaseFormContainer() override;

    fw_ExtCtrls::TPanel* DisplayPanel = nullptr;
    // Only the current page's index: tab i stands for page i; never shown.
    fw_ComCtrls::TTabControl* Tabs = nullptr;
    bool Resizing = false;
    bool Finished = false;
    const std::vector<TBaseInstallForm*>& Pages() const { return FPages; }

    // Builds the current manager's pages; answers how many.
    int LoadPages();
    bool ShowPage(int Index, bool Backward);
    virtual void NextPage();
    virtual void PreviousPage();
    bool IsFirstPage();
    bool IsLastPage();
    // Places the window (the centre truncated, not rounded).
    virtual void PositionForm(TWendrelDialogPosition Position, int RelativeLeftOffset, int RelativeTopOffset);

    bool CloseQuery() override;

protected:
    LRESULT WndProc(UINT Msg, WPARAM W, LPARAM L) override;

private:
    void FormShow(fw_Classes::TObject* Sender);
    void TabsChange(fw_Classes::TObject* Sender);
    void TabsChanging(fw_Classes::TObject* Sender, bool& AllowChange);
    void AlignPages();

    std::vector<TBaseInstallForm*> FPages;
};

// Lets a project text name the window's class.
void RegisterContainerClasses();

} // namespace dlgcmp_TBaseContainer
