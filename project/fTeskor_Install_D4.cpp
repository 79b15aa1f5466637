#include "project/fTeskor_Install_D4.h"

#include "framework/fw_Reader.h"

namespace fTeskor_Install_D4 {

FW_DEFINE_CLASS(TfrmTeskor_Install_D4, fw_Forms::TForm, nullptr, nullptr)

void RegisterProjectClasses()
{
    fw_Classes::RegisterClasses({&TfrmTeskor_Install_D4::StaticClass(), &cmp_TInstall::TInstall::StaticClass(),
                                 &ic::TInstallGroup::StaticClass(), &ic::TInstallDirectory::StaticClass(),
                                 &ic::TpsFileContainer::StaticClass(), &ic::TInstallFile::StaticClass()});
    for (fw_Classes::TClass Kind : ps::StandardKinds())
        fw_Classes::RegisterClass(Kind);
}

template <class T>
void TfrmTeskor_Install_D4::Bind(T*& Field, const char* Name)
{
    fw_Classes::TComponent* C = FindComponent(Name);
    Field = C && C->Is<T>() ? static_cast<T*>(C) : nullptr;
}

TfrmTeskor_Install_D4::TfrmTeskor_Install_D4(fw_Classes::TComponent* AOwner) : fw_Forms::TForm(AOwner)
{
    RegisterProjectClasses();
    fw_Reader::ReadComponentResource(this, "TFRMTESKOR_INSTALL_D4");
    Bind(psVDEDLL, "psVDEDLL");
    Bind(psCommonFiles, "psCommonFiles");
    Bind(psContainerArchiveFile, "psContainerArchiveFile");
    Bind(psContainerDestDir, "psContainerDestDir");
    Bind(psDesktopMenu, "psDesktopMenu");
    Bind(psInstallSource, "psInstallSource");
    Bind(psMainInstall, "psMainInstall");
    Bind(psProgramFiles, "psProgramFiles");
    Bind(psProgramMenu, "psProgramMenu");
    Bind(psStartMenu, "psStartMenu");
    Bind(psStartupMenu, "psStartupMenu");
    Bind(psSystem, "psSystem");
    Bind(psMainArchiveFile, "psMainArchiveFile");
    Bind(psWindow, "psWindow");
    Bind(Install1, "Install1");
    Bind(idMiscellaneous, "idMiscellaneous");
    Bind(psFileContainer, "psFileContainer");
    Bind(Group, "Group");
    Bind(psFileContainer1, "psFileContainer1");
    Bind(Directory, "Directory");
    Bind(psFileContainer2, "psFileContainer2");
    Bind(InstallFile2, "InstallFile2");
    Bind(InstallFile3, "InstallFile3");
    Bind(InstallFile4, "InstallFile4");
    Bind(InstallFile6, "InstallFile6");
    Bind(InstallFile61, "InstallFile61");
}

} // namespace fTeskor_Install_D4
