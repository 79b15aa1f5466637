// The main form of the setup program: it holds the install project.
#pragma once

#include "dialogs/cmp_Rotate3DLabel.h"
#include "dialogs/cmp_TBackDrop.h"
#include "dialogs/dlgcmp_TBaseDlg.h"
#include "dialogs/ordlg_CopyFile.h"
#include "dialogs/ordlg_WelcomeDlg.h"
#include "engine/cmp_TInstall.h"
#include "engine/cmp_TInstallContainer.h"
#include "engine/cmp_TPathSpecifier.h"
#include "framework/fw_Forms.h"
#include "system/cmp_TInstallRegistry.h"
#include "system/cmp_TInstallShellLink.h"
#include "system/cmp_TUninstallEXE.h"
#include "translate/cmp_TTranslator.h"

#include <memory>
#include <string>
#include <vector>

namespace fTeskor_Install_D4 {

class TfrmTeskor_Install_D4 : public fw_Forms::TForm {
    FW_CLASS(TfrmTeskor_Install_D4, fw_Forms::TForm)

public:
    // Reads the form's resource, which creates the install project.
    explicit TfrmTeskor_Install_D4(fw_Classes::TComponent* AOwner);
    // While the installation runs the window stays: closing it would end the
    // program between two files.
    bool CloseQuery() override;

    // The project's components, found by name once it is read.
    cmp_TBackDrop::TBackdrop* BackDrop = nullptr;
    cmp_Rotate3DLabel::TRotate3DLabel* ProductLabel = nullptr;
    cmp_TPathSpecifier::TpsVDEDLL* psVDEDLL = nullptr;
    cmp_TPathSpecifier::TpsCommonFiles* psCommonFiles = nullptr;
    cmp_TPathSpecifier::TpsContainerArchiveFile* psContainerArchiveFile = nullptr;
    cmp_TPathSpecifier::TpsContainerDestDir* psContainerDestDir = nullptr;
    cmp_TPathSpecifier::TpsDesktopMenu* psDesktopMenu = nullptr;
    cmp_TPathSpecifier::TpsInstallSource* psInstallSource = nullptr;
    cmp_TPathSpecifier::TpsMainInstall* psMainInstall = nullptr;
    cmp_TPathSpecifier::TpsProgramFiles* psProgramFiles = nullptr;
    cmp_TPathSpecifier::TpsProgramMenu* psProgramMenu = nullptr;
    cmp_TPathSpecifier::TpsStartMenu* psStartMenu = nullptr;
    cmp_TPathSpecifier::TpsStartupMenu* psStartupMenu = nullptr;
    cmp_TPathSpecifier::TpsSystem* psSystem = nullptr;
    cmp_TPathSpecifier::TpsMainArchiveFile* psMainArchiveFile = nullptr;
    cmp_TPathSpecifier::TpsWindow* psWindow = nullptr;
    cmp_TTranslator::TTranslator* MainTranslator = nullptr;
    cmp_TInstall::TInstall* Install1 = nullptr;
    cmp_TInstallContainer::TInstallDirectory* idMiscellaneous = nullptr;
    cmp_TInstallContainer::TpsFileContainer* psFileContainer = nullptr;
    cmp_TUninstallEXE::TUninstallEXE* ifUninstallEXE = nullptr;
    cmp_TInstallContainer::TInstallGroup* Group = nullptr;
    cmp_TInstallContainer::TpsFileContainer* psFileContainer1 = nullptr;
    cmp_TInstallContainer::TInstallDirectory* Directory = nullptr;
    cmp_TInstallContainer::TpsFileContainer* psFileContainer2 = nullptr;
    cmp_TInstallContainer::TInstallFile* InstallFile2 = nullptr;
    cmp_TInstallContainer::TInstallFile* InstallFile3 = nullptr;
    cmp_TInstallContainer::TInstallFile* InstallFile4 = nullptr;
    cmp_TInstallContainer::TInstallFile* InstallFile6 = nullptr;
    cmp_TInstallRegistry::TInstallRegistry* Registry = nullptr;
    cmp_TInstallShellLink::TMainLinkGroup* MainFolder = nullptr;
    cmp_TInstallShellLink::TpsObjectLink* psObjectLink = nullptr;
    dlgcmp_TBaseDlg::TDialogManager* DialogManager = nullptr;
    dlgcmp_TBaseDlg::TDialogManager* DialogManager1 = nullptr;
    dlgcmp_TBaseDlg::TDialogManager* DialogManager2 = nullptr;
    dlgcmp_TBaseDlg::TDialogManager* DialogManager3 = nullptr;
    dlgcmp_TBaseDlg::TDialogManager* DialogManager4 = nullptr;
    dlgcmp_TBaseDlg::TDialogManager* DialogManager5 = nullptr;
    ordlg_CopyFile::TCopyFileDlg* CopyFileDlg = nullptr;
    ordlg_WelcomeDlg::TWelcomeDlg* WelcomeDlg = nullptr;
    ordlg_WelcomeDlg::TGoodInstallationDlg* GoodInstallationDlg = nullptr;
    ordlg_WelcomeDlg::TBadInstallationDlg* BadInstallationDlg = nullptr;
    cmp_TInstallContainer::TInstallFile* InstallFile61 = nullptr;
    cmp_TInstallShellLink::TInstallMainLink* InstallMainLink = nullptr;
    cmp_TInstallShellLink::TInstallShellLink* InstallShellLink = nullptr;

private:
    template <class T>
    void Bind(T*& Field, const char* Name);
};

// Makes the classes of the install project known to the reader.
void RegisterProjectClasses();

// The tree below Root as the engine resolves it: one line per node, indented
// by depth, with its name, the file name of an install file and its full
// destination ("  Directory -> C:\\...", "    InstallFile2 \"x.exe\" -> C:\\...\\x.exe").
std::vector<std::string> DescribeTree(cmp_TInstallContainer::TInstallContainer* Root);

using TFormPtr = std::unique_ptr<TfrmTeskor_Install_D4, fw_Classes::TComponentDeleter>;
// For the project's tools: reads the project as the setup program given
// Arguments would, with an install root (else raises).
TFormPtr ReadProjectForTool(const std::vector<std::string>& Arguments);

} // namespace fTeskor_Install_D4
