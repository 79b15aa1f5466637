#include "project/fTeskor_Install_D4.h"

#include "dialogs/dialogs_Start.h"
#include "framework/fw_Reader.h"
#include "net/cmp_TNetInstallLocation.h"

namespace fTeskor_Install_D4 {

FW_DEFINE_CLASS(TfrmTeskor_Install_D4, fw_Forms::TForm, nullptr, nullptr)

void RegisterProjectClasses()
{
    fw_Classes::RegisterClass(&TfrmTeskor_Install_D4::StaticClass());
    cmp_TPathSpecifier::RegisterPathSpecifierClasses();
    cmp_TInstallContainer::RegisterInstallContainerClasses();
    cmp_TInstall::RegisterInstallClasses();
    cmp_TNetInstallLocation::RegisterNetClasses();
    cmp_TUninstallEXE::RegisterUninstallEXEClasses();
    cmp_TInstallRegistry::RegisterInstallRegistryClasses();
    cmp_TInstallShellLink::RegisterShellLinkClasses();
    dialogs_Start::StartDialogUnits();
}

namespace {

// Where a node puts what it makes: a file's path, a link's file and its
// target, a registry block's key, a container's folder.
std::string Destination(cmp_TInstallContainer::TInstallObject* H)
{
    using cmp_TInstallContainer::TCustomInstallFile;
    using cmp_TInstallRegistry::TCustomInstallRegistry;
    using cmp_TInstallShellLink::TCustomInstallShellLink;
    if (H->Is<TCustomInstallFile>())
        return static_cast<TCustomInstallFile*>(H)->TargetPath();
    if (H->Is<TCustomInstallShellLink>()) {
        auto* Link = static_cast<TCustomInstallShellLink*>(H);
        return Link->GetLinkPath() + " => " + Link->GetObjectLocation();
    }
    if (auto* Manager = dynamic_cast<dlgcmp_TBaseDlg::TDialogManager*>(H))
        return "dialogs of " + dlgcmp_TBaseDlg::TManagerTypeInfo.NameOf(Manager->ManagerType);
    if (auto* Dialog = dynamic_cast<dlgcmp_TBaseDlg::TCustomBaseInstallDlg*>(H))
        return std::string("a page of ") + (Dialog->DialogManager() ? Dialog->DialogManager()->Name() : "no manager");
    if (H->Is<TCustomInstallRegistry>()) {
        auto* Block = static_cast<TCustomInstallRegistry*>(H);
        return routines_Registry::TRootKeysInfo.NameOf(Block->RootKey()) + Block->GetFullKey() + " (" +
               fw_SysUtils::IntToStr(Block->Entries()->Count()) + " values)";
    }
    return H->GetFullDestDir();
}

void Describe(cmp_TInstallContainer::TInstallContainer* Node, int Depth, std::vector<std::string>& Lines)
{
    using cmp_TInstallContainer::TCustomInstallFile;
    for (int I = 0; I < Node->HelperCount(); ++I) {
        cmp_TInstallContainer::TInstallObject* H = Node->Helpers(I);
        std::string Line = std::string(size_t(Depth) * 2, ' ') + H->Name();
        if (H->Is<TCustomInstallFile>())
            Line += " \"" + static_cast<TCustomInstallFile*>(H)->DestName() + "\"";
        Lines.push_back(Line + " -> " + Destination(H));
        Describe(H, Depth + 1, Lines);
    }
}

} // namespace

std::vector<std::string> DescribeTree(cmp_TInstallContainer::TInstallContainer* Root)
{
    std::vector<std::string> Lines;
    Describe(Root, 0, Lines);
    return Lines;
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
    Bind(BackDrop, "BackDrop");
    Bind(ProductLabel, "ProductLabel");
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
    Bind(MainTranslator, "MainTranslator");
    Bind(Install1, "Install1");
    Bind(idMiscellaneous, "idMiscellaneous");
    Bind(psFileContainer, "psFileContainer");
    Bind(ifUninstallEXE, "ifUninstallEXE");
    Bind(Group, "Group");
    Bind(psFileContainer1, "psFileContainer1");
    Bind(Directory, "Directory");
    Bind(psFileContainer2, "psFileContainer2");
    Bind(InstallFile2, "InstallFile2");
    Bind(InstallFile3, "InstallFile3");
    Bind(InstallFile4, "InstallFile4");
    Bind(InstallFile6, "InstallFile6");
    Bind(Registry, "Registry");
    Bind(MainFolder, "MainFolder");
    Bind(psObjectLink, "psObjectLink");
    Bind(DialogManager, "DialogManager");
    Bind(DialogManager1, "DialogManager1");
    Bind(DialogManager2, "DialogManager2");
    Bind(DialogManager3, "DialogManager3");
    Bind(DialogManager4, "DialogManager4");
    Bind(DialogManager5, "DialogManager5");
    Bind(CopyFileDlg, "CopyFileDlg");
    Bind(WelcomeDlg, "WelcomeDlg");
    Bind(GoodInstallationDlg, "GoodInstallationDlg");
    Bind(BadInstallationDlg, "BadInstallationDlg");
    Bind(InstallFile61, "InstallFile61");
    Bind(InstallMainLink, "InstallMainLink");
    Bind(InstallShellLink, "InstallShellLink");
}

bool TfrmTeskor_Install_D4::CloseQuery() { return !Install1 || !Install1->Running(); }

TFormPtr ReadProjectForTool(const std::vector<std::string>& Arguments)
{
    cmp_TInstall::TCustomInstall::CommandLineArguments = [Arguments] { return Arguments; };
    fw_Forms::Application->Initialize();
    TFormPtr Form(new TfrmTeskor_Install_D4(nullptr));
    if (!Form->Install1)
        throw fw_SysUtils::Exception("The project has no install root");
    return Form;
}

} // namespace fTeskor_Install_D4
