// The destination page of the wizard before installing: the folder the
// product goes to, typed or chosen with the shell's folder browser. It has
// no dialog component: its default entry brings it into that wizard, after
// the Welcome page.
#pragma once

#include "dialogs/dlgcmp_TBaseDlg.h"
#include "framework/fw_StdCtrls.h"

#include <string>

namespace ordlg_SelectDestination {

using fw_Classes::TComponent;

class TSelectDestinationForm : public dlgcmp_TBaseDlg::TBaseInstallForm {
    FW_CLASS(TSelectDestinationForm, dlgcmp_TBaseDlg::TBaseInstallForm)

public:
    explicit TSelectDestinationForm(TComponent* AOwner);

    fw_StdCtrls::TButton* BackBtn = nullptr;
    fw_StdCtrls::TButton* ProceedBtn = nullptr;
    fw_StdCtrls::TButton* CancelBtn = nullptr;
    fw_StdCtrls::TButton* BrowseBtn = nullptr;
    fw_StdCtrls::TGroupBox* gbDirectory = nullptr;
    fw_StdCtrls::TEdit* edDestDir = nullptr;
    // Set while the page fills or translates the edit itself: only what the
    // user types goes back to the install root.
    bool Updating = false;

    void UpdatePage() override;
    void ApplyFontAndTranslation() override;
    // Goes on only with a destination the installation can use.
    void NextPage() override;
    // Lets the user pick the destination in the shell's folder browser.
    void Browse();

    // Why Folder cannot be the destination (a translated message), or empty
    // when it can: it must be a full path (drive or network), of valid
    // characters, and every file installed below it must fit MAX_PATH.
    static std::string DestinationProblem(const std::string& Folder);

private:
    void DestDirChange();
};

// Enters the page into the wizard's registry (its default entry stays).
void StartUnit();

} // namespace ordlg_SelectDestination
