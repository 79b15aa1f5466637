#include "system/cmp_TUninstallEXE.h"

#include "engine/cmp_TInstall.h"
#include "framework/fw_SysUtils.h"
#include "routines/routines_Registry.h"
#include "routines/routines_Strings.h"

namespace cmp_TUninstallEXE {

using namespace cmp_TInstallContainer;

static void DefineUninstallEXE(fw_Classes::TPropertyBuilder<TUninstallEXE>& P)
{
    using F = TUninstallEXE;
    DefineFileRelatedProperties(P);
    P.Boolean("Net", &F::Net, &F::SetNet, true);
    P.Integer("Order", &F::Order, &F::SetOrder);
    P.String("DestName", &F::DestName, &F::SetDestName);
    P.String("FileName", &F::FileName, &F::SetFileName);
    P.Enum<TInstallFileType>("FileType", TInstallFileTypeInfo, &F::FileType, &F::SetFileType, iftNormal);
    P.String("IncludeFromDir", &F::IncludeFromDir, &F::SetIncludeFromDir);
    P.Enum<TOverwriteType>("OverwriteMode", TOverwriteTypeInfo, &F::OverwriteMode, &F::SetOverwriteMode, owAlways);
    P.Enum<TInstallFileState>("State", TInstallFileStateInfo, &F::State, &F::SetState, ifsNone);
    P.Integer("UniqueID", &F::UniqueID, &F::SetUniqueID); // always written
    P.Boolean("UpdateDLLCounter", &F::UpdateDLLCounter, &F::SetUpdateDLLCounter, false);
}

FW_DEFINE_CLASS(TUninstallEXE, TCustomInstallFile, fw_Classes::CreateComponent<TUninstallEXE>, DefineUninstallEXE)

TUninstallEXE::TUninstallEXE(TComponent* AOwner) : TCustomInstallFile(AOwner)
{
    FNet = true;
    AttachToDesignRoot();
}

TUninstallEXE::~TUninstallEXE()
{
    // A build made without the uninstall program does not put it back.
    if (cmp_TInstall::TCustomInstall* Root = cmp_TInstall::InstallRoot())
        Root->BuildInfo()->AddUninstallOnCreate = false;
}

std::string TUninstallEXE::UninstallString() const
{
    cmp_TInstall::TCustomInstall* Root = cmp_TInstall::InstallRoot();
    const std::string Product = Root ? fw_SysUtils::Trim(Root->Information()->ProductName) : std::string();
    return TargetPath() + " " + Product;
}

void TUninstallEXE::WriteUninstallInfo(const std::string& Key)
{
    using routines_Registry::hkLocalMachine;
    cmp_TInstall::TCustomInstall* Root = cmp_TInstall::InstallRoot();
    if (!Root)
        throw IEUninstallEXE("%s could not write information about the uninstall to the registry because there was "
                             "no TInstall component",
                             {Name()});
    const std::string Product = fw_SysUtils::Trim(Root->Information()->ProductName);
    // A blank name would make the list of every installed program this
    // product's entry.
    if (Product.empty() || !NamesAProduct(Key))
        throw IEUninstallEXE("%s could not write information about the uninstall to the registry because the "
                             "product name is blank",
                             {Name()});
    routines_Registry::WriteRegistryString(hkLocalMachine, Key, "DisplayName", Product);
    routines_Registry::WriteRegistryString(hkLocalMachine, Key, "UninstallString", UninstallString());

    // What the list of installed programs shows besides.
    const cmp_TInstall::TInstallInformation& Info = *Root->Information();
    routines_Registry::WriteRegistryString(hkLocalMachine, Key, "DisplayVersion", Info.Version);
    routines_Registry::WriteRegistryString(hkLocalMachine, Key, "Publisher", Info.CompanyName);
    routines_Registry::WriteRegistryString(hkLocalMachine, Key, "InstallLocation", Root->GetFullDestDir());
    const int64_t Bytes = Root->GetTotalSize(false);
    routines_Registry::WriteRegistryInteger(hkLocalMachine, Key, "EstimatedSize", int((Bytes + 1023) / 1024));
    SYSTEMTIME Today{};
    GetLocalTime(&Today);
    routines_Registry::WriteRegistryString(
        hkLocalMachine, Key, "InstallDate",
        fw_SysUtils::Format("%.4d%.2d%.2d", {int(Today.wYear), int(Today.wMonth), int(Today.wDay)}));
    routines_Registry::WriteRegistryInteger(hkLocalMachine, Key, "NoModify", 1);
    routines_Registry::WriteRegistryInteger(hkLocalMachine, Key, "NoRepair", 1);
    routines_Registry::WriteRegistryString(hkLocalMachine, Key, "QuietUninstallString",
                                           "\"" + TargetPath() + "\" /quiet " + Product);
}

void RegisterUninstallEXEClasses() { fw_Classes::RegisterClasses({&TUninstallEXE::StaticClass()}); }

} // namespace cmp_TUninstallEXE
