// The main form of the setup program: it holds the install project.
#pragma once

#include "engine/cmp_TInstall.h"
#include "engine/cmp_TInstallContainer.h"
#include "engine/cmp_TPathSpecifier.h"
#include "framework/fw_Forms.h"

namespace fTeskor_Install_D4 {

namespace ps = cmp_TPathSpecifier;
namespace ic = cmp_TInstallContainer;

class TfrmTeskor_Install_D4 : public fw_Forms::TForm {
    FW_CLASS(TfrmTeskor_Install_D4, fw_Forms::TForm)

public:
    // Reads the form's resource, which creates the install project.
    explicit TfrmTeskor_Install_D4(fw_Classes::TComponent* AOwner);

    // The project's components, found by name once it is read.
    ps::TpsVDEDLL* psVDEDLL = nullptr;
    ps::TpsCommonFiles* psCommonFiles = nullptr;
    ps::TpsContainerArchiveFile* psContainerArchiveFile = nullptr;
    ps::TpsContainerDestDir* psContainerDestDir = nullptr;
    ps::TpsDesktopMenu* psDesktopMenu = nullptr;
    ps::TpsInstallSource* psInstallSource = nullptr;
    ps::TpsMainInstall* psMainInstall = nullptr;
    ps::TpsProgramFiles* psProgramFiles = nullptr;
    ps::TpsProgramMenu* psProgramMenu = nullptr;
    ps::TpsStartMenu* psStartMenu = nullptr;
    ps::TpsStartupMenu* psStartupMenu = nullptr;
    ps::TpsSystem* psSystem = nullptr;
    ps::TpsMainArchiveFile* psMainArchiveFile = nullptr;
    ps::TpsWindow* psWindow = nullptr;
    cmp_TInstall::TInstall* Install1 = nullptr;
    ic::TInstallDirectory* idMiscellaneous = nullptr;
    ic::TpsFileContainer* psFileContainer = nullptr;
    ic::TInstallGroup* Group = nullptr;
    ic::TpsFileContainer* psFileContainer1 = nullptr;
    ic::TInstallDirectory* Directory = nullptr;
    ic::TpsFileContainer* psFileContainer2 = nullptr;
    ic::TInstallFile* InstallFile2 = nullptr;
    ic::TInstallFile* InstallFile3 = nullptr;
    ic::TInstallFile* InstallFile4 = nullptr;
    ic::TInstallFile* InstallFile6 = nullptr;
    ic::TInstallFile* InstallFile61 = nullptr;

private:
    template <class T>
    void Bind(T*& Field, const char* Name);
};

// Makes the classes of the install project known to the reader.
void RegisterProjectClasses();

} // namespace fTeskor_Install_D4
