#include "Internal.h"

#include "engine/cmp_TPathSpecifier.h"

namespace cmp_TInstall {

using cmp_TInstallContainer::TInstallTypeSet;
using cmp_TPathSpecifier::StandardPathSpecifiers;
using cmp_TPathSpecifier::TpsMainArchiveFile;
using cmp_TPathSpecifier::TpsProgramFiles;
using fw_SysUtils::Trim;

const fw_Classes::TEnumInfo TDistributeTypeInfo{"TDistributeType", {"dtTraditional", "dtWeb", "dtTraditionalNet"}};

namespace {

TCustomInstall* TheInstallRoot = nullptr;

// Runs before any part of the root is made, so that a refused root leaves
// nothing behind.
TComponent* CheckCreation(TComponent* AOwner)
{
    if (TheInstallRoot)
        throw IEInstall("The TInstall component does not currently support the use of 2 TInstall components in the "
                        "same project");
    if (!fw_Forms::IsFormOrDataModule(AOwner))
        throw IEInstall("The owner of the TInstall component must be a form");
    return AOwner;
}

} // namespace

TCustomInstall* InstallRoot() { return TheInstallRoot; }

TDistributeType CurrentDistributeType() { return TheInstallRoot ? TheInstallRoot->DistributeType() : dtTraditionalNet; }

// ---- value objects ------------------------------------------------------------------

static void DefineInformation(fw_Classes::TPropertyBuilder<TInstallInformation>& P)
{
    using I = TInstallInformation;
    P.String("CompanyName", &I::CompanyName, &I::CompanyName);
    P.String("ProductName", &I::ProductName, &I::ProductName);
    P.String("Version", &I::Version, &I::Version);
}

FW_DEFINE_CLASS(TInstallInformation, fw_Classes::TPersistent, nullptr, DefineInformation)

void TInstallInformation::Assign(fw_Classes::TPersistent* Source)
{
    if (Source && Source->Is<TInstallInformation>()) {
        auto* S = static_cast<TInstallInformation*>(Source);
        CompanyName = S->CompanyName;
        ProductName = S->ProductName;
        Version = S->Version;
        return;
    }
    inherited::Assign(Source);
}

static void DefineBuildInfo(fw_Classes::TPropertyBuilder<TBuildInfo>& P)
{
    using B = TBuildInfo;
    P.Boolean("AddUninstallOnCreate", &B::AddUninstallOnCreate, &B::AddUninstallOnCreate, true);
    P.String("AppName", &B::AppName, &B::AppName);
    P.String("AppURL", &B::AppURL, &B::AppURL);
    P.String("BuildDirectory", &B::BuildDirectory, &B::BuildDirectory);
    P.String("CredentialsFile", &B::CredentialsFile, &B::CredentialsFile);
    P.String("OCXName", &B::OCXName, &B::OCXName);
    P.String("PrivateKeyFile", &B::PrivateKeyFile, &B::PrivateKeyFile);
    P.Boolean("SignCode", &B::SignCode, &B::SignCode, false);
    P.String("URLPath", &B::URLPath, &B::URLPath);
}

FW_DEFINE_CLASS(TBuildInfo, fw_Classes::TPersistent, nullptr, DefineBuildInfo)

void TBuildInfo::Assign(fw_Classes::TPersistent* Source)
{
    if (Source && Source->Is<TBuildInfo>()) {
        auto* S = static_cast<TBuildInfo*>(Source);
        AddUninstallOnCreate = S->AddUninstallOnCreate;
        AppName = S->AppName;
        AppURL = S->AppURL;
        BuildDirectory = S->BuildDirectory;
        CredentialsFile = S->CredentialsFile;
        OCXName = S->OCXName;
        PrivateKeyFile = S->PrivateKeyFile;
        SignCode = S->SignCode;
        URLPath = S->URLPath;
        return;
    }
    inherited::Assign(Source);
}

// ---- TCustomInstall ---------------------------------------------------------------

FW_DEFINE_CLASS(TCustomInstall, cmp_TInstallContainer::TFileContainer, nullptr, nullptr)

TCustomInstall::TCustomInstall(TComponent* AOwner) : TFileContainer(CheckCreation(AOwner))
{
    FDestDir = "\\MyApplication";
    FDestDirType = StandardPathSpecifiers().Find<TpsProgramFiles>();
    StoreReference(FDestDirType);
    FInstallTypes = TInstallTypeSet{cmp_TInstallContainer::itFull};
    FFireAfterInstallObjects = false;
    FDescription = "TInstall component";
    FArchiveFile.clear();
    FArchiveFileType = StandardPathSpecifiers().Find<TpsMainArchiveFile>();
    StoreReference(FArchiveFileType);
    // The archive engine lets the application run pending messages between
    // chunks, so that a Cancel button is seen during a long extraction.
    cmp_TWdrlCompress::IdleHandler = [] {
        if (fw_Forms::Application)
            fw_Forms::Application->ProcessMessages();
    };
    HMODULE Module = GetModuleHandleA(nullptr);
    if (FindResourceA(Module, "INSTALLTHEME1", RT_BITMAP))
        FDialogThemeBitmap.Bitmap().LoadFromResourceName(Module, "INSTALLTHEME1");
    TheInstallRoot = this;
    if (!IsDesigning() && fw_Forms::Application)
        fw_Forms::Application->OnException = [this](TObject* Sender, const fw_SysUtils::Exception& E) {
            HandleException(Sender, E);
        };
}

TCustomInstall::~TCustomInstall()
{
    if (!IsDesigning() && FInstallForm && !FInstallForm->IsDestroying() && FPreviousOnActivateSaved &&
        IsForm(FInstallForm))
        static_cast<fw_Forms::TCustomForm*>(FInstallForm)->OnActivate = FPreviousOnActivate;
    TheInstallRoot = nullptr;
    cmp_TWdrlCompress::IdleHandler = nullptr;
    // The hook points into this object; it must not outlive it.
    if (!IsDesigning() && fw_Forms::Application)
        fw_Forms::Application->OnException = nullptr;
    // The batch erases this program's folder once it has let go of its files.
    if (FRunCleanupBatch && !FCleanupBatchFile.empty())
        WinExec(("\"" + FCleanupBatchFile + "\"").c_str(), SW_HIDE);
}

void TCustomInstall::Notification(TComponent* AComponent, fw_Classes::TOperation Operation)
{
    inherited::Notification(AComponent, Operation);
    if (Operation == fw_Classes::TOperation::opRemove && AComponent && AComponent == FInstallForm)
        FInstallForm = nullptr;
}

void TCustomInstall::SetNetLocation(TComponent* Value)
{
    inherited::SetNetLocation(Value);
    if (!Value)
        FDistributeType = dtTraditional;
}

void TCustomInstall::SetAutoMaximizeWindow(bool Value)
{
    FAutoMaximizeWindow = Value;
    if (!IsLoading() && Value)
        FHideMainForm = false;
}

void TCustomInstall::SetHideMainForm(bool Value)
{
    FHideMainForm = Value;
    if (!IsLoading() && Value)
        FAutoMaximizeWindow = false;
}

void TCustomInstall::SetBuildInfo(TBuildInfo* Value) { FBuildInfo.Assign(Value); }

void TCustomInstall::SetDialogThemeBitmap(fw_Graphics::TPicture* Value) { FDialogThemeBitmap.Assign(Value); }

void TCustomInstall::SetDistributeType(TDistributeType Value)
{
    if (Value == FDistributeType)
        return;
    if (!IsLoading()) {
        if (!IsDesigning())
            throw IEInstall("DistributeType can only be set at design-time");
        if (Value != dtTraditional && !FNetLocation)
            throw IEInstallNetLocNil("Must assign a net location via the NetLocation property before you can set the "
                                     "distribute type");
    }
    FDistributeType = Value;
}

void TCustomInstall::SetPresetupFiles(const std::vector<std::string>& Value)
{
    std::vector<std::string> Lines = Value;
    for (size_t I = Lines.size(); I-- > 0;)
        if (Trim(Lines[I]).empty())
            Lines.erase(Lines.begin() + std::ptrdiff_t(I));
    FPresetupFiles.SetVector(Lines);
}

void TCustomInstall::SetUseLoadingProgram(bool Value)
{
    FUseLoadingProgram = Value;
    if (!IsLoading() && Value) {
        FArchiveFileType = StandardPathSpecifiers().Find<TpsMainArchiveFile>();
        StoreReference(FArchiveFileType);
        FArchiveFile.clear();
    }
}

// ---- TInstall ---------------------------------------------------------------------

static void DefineInstall(fw_Classes::TPropertyBuilder<TInstall>& P)
{
    using I = TInstall;
    cmp_TInstallContainer::DefineContainerProperties(P, TInstallTypeSet{cmp_TInstallContainer::itFull}, false);
    P.Boolean("AutoMaximizeWindow", &I::AutoMaximizeWindow, &I::SetAutoMaximizeWindow, true);
    P.Object<TBuildInfo>("BuildInfo", &I::BuildInfo);
    P.Object<fw_Graphics::TPicture>("DialogThemeBitmap", &I::DialogThemeBitmap);
    P.Enum<TDistributeType>("DistributeType", TDistributeTypeInfo, &I::DistributeType, &I::SetDistributeType,
                            dtTraditional);
    P.Boolean("HideMainForm", &I::HideMainForm, &I::SetHideMainForm, false);
    P.Object<TInstallInformation>("Information", &I::Information);
    P.Reference<TComponent>("NetLocation", &I::NetLocation, &I::SetNetLocation);
    P.Lines("PresetupFiles", &I::PresetupFiles, &I::SetPresetupFiles);
    P.Boolean("Reboot", &I::Reboot, &I::SetReboot, false);
    P.Boolean("RunAutomatic", &I::RunAutomatic, &I::SetRunAutomatic, true);
    P.Boolean("UseLoadingProgram", &I::UseLoadingProgram, &I::SetUseLoadingProgram, true);
}

FW_DEFINE_CLASS(TInstall, TCustomInstall, fw_Classes::CreateComponent<TInstall>, DefineInstall)

TInstall::TInstall(TComponent* AOwner) : TCustomInstall(AOwner) {}

void RegisterInstallClasses() { fw_Classes::RegisterClass(&TInstall::StaticClass()); }

} // namespace cmp_TInstall
