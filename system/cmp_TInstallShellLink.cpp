#include "system/cmp_TInstallShellLink.h"

#include "engine/cmp_TInstall.h"
#include "engine/routines_ExpandPaths.h"
#include "framework/fw_Forms.h"
#include "framework/fw_Handles.h"
#include "framework/fw_SysUtils.h"
#include "routines/routines_API.h"
#include "routines/routines_Strings.h"
#include "system/cmp_TProgramManager.h"
#include "system/cmp_TUninstallEXE.h"

#include <shlobj.h>

namespace cmp_TInstallShellLink {

using cmp_TInstallContainer::TCustomInstallFile;
using cmp_TInstallContainer::TInstallDirectory;
using cmp_TPathSpecifier::TpsContainerDestDir;
using cmp_TPathSpecifier::TpsProgramMenu;
using routines_Strings::ExcludeTrailingBackslash;
using routines_Strings::IncludeTrailingBackslash;

const fw_Classes::TEnumInfo TMethodTypeInfo{"TMethodType",
                                            {"mtAutoDetect", "mtShellLinkInterface", "mtProgramManager"}};

namespace {

TMainLinkGroup* TheMainLinkGroup = nullptr;

// The live built-in specifier of kind T, or nil.
template <class T>
T* SharedKind()
{
    cmp_TPathSpecifier::TStandardPathSpecList& All = cmp_TPathSpecifier::StandardPathSpecifiers();
    for (int I = 0; I < All.Count(); ++I)
        if (All.Items(I)->Is<T>())
            return static_cast<T*>(All.Items(I));
    return nullptr;
}

// The shared object-link specifier, made on Owner when there is none yet.
TpsObjectLink* EnsureObjectLinkSpecifier(TComponent* Owner)
{
    if (TpsObjectLink* Found = SharedKind<TpsObjectLink>())
        return Found;
    auto* Specifier = new TpsObjectLink(Owner);
    try {
        Specifier->SetName(Specifier->KindName());
    } catch (...) {
        delete Specifier;
        throw;
    }
    return Specifier;
}

// A link's owner gets the object-link specifier before the link joins it,
// so that a written project declares the specifier first.
TComponent* WithObjectLinkSpecifier(TComponent* AOwner)
{
    if (fw_Forms::IsFormOrDataModule(AOwner))
        EnsureObjectLinkSpecifier(AOwner);
    return AOwner;
}

// Creates Dir with its missing parents; EOSError with the system's reason.
void ForceFolder(const std::string& Dir)
{
    if (fw_SysUtils::Trim(Dir).empty())
        throw fw_SysUtils::EOSError("The folder is blank");
    if (!fw_SysUtils::ForceDirectories(Dir)) {
        DWORD Code = GetLastError();
        if (Code == ERROR_SUCCESS)
            Code = ERROR_PATH_NOT_FOUND;
        throw fw_SysUtils::EOSError(fw_SysUtils::SysErrorMessage(Code) + ": " + Dir, Code);
    }
}

// The characters a file name cannot hold: a link name with one of them
// would land in another folder or not be made at all.
bool HasBadNameCharacter(const std::string& Name) { return Name.find_first_of("\\/:*?\"<>|") != std::string::npos; }

const char* const CannotInstall = "The TCustomInstallShellLink %s name could not be installed. The following error "
                                  "was reported %s";

// The texts of the result codes the shell's link object is known to give.
const char* KnownComError(HRESULT Code)
{
    switch (uint32_t(Code)) {
    case 0x80040154:
        return "Indicates that a specified class is not registered in the registration database";
    case 0x8007000E:
        return "Out of memory";
    case 0x80070057:
        return "Indicates one or more arguments are invalid";
    case 0x8000FFFF:
        return "Indicates an unexpected error occurred";
    case 0x80040110:
        return "Indicates this class cannot be created as part of an aggregate";
    }
    return nullptr;
}

} // namespace

// ---- lists -------------------------------------------------------------------------

void TShellLinkList::Add(TCustomInstallShellLink* Item)
{
    if (!Item)
        throw IEInstallShellLinkList("Cannot add a blank entry to the shell link list");
    Append(Item);
}

TShellLinkGroupList& LinkGroups()
{
    static TShellLinkGroupList List;
    return List;
}

TShellLinkList& MainLinks()
{
    static TShellLinkList List;
    return List;
}

TShellLinkList& AllShellLinks()
{
    static TShellLinkList List;
    return List;
}

TMainLinkGroup* MainLinkGroup() { return TheMainLinkGroup; }

// ---- link groups -------------------------------------------------------------------

FW_DEFINE_CLASS(TCustomShellLinkGroup, cmp_TInstallContainer::TInstallObject, nullptr, nullptr)

TCustomShellLinkGroup::TCustomShellLinkGroup(TComponent* AOwner) : TInstallObject(AOwner)
{
    FAutoProcess = false;
    FInclude = true;
}

void TCustomShellLinkGroup::MakeFolder() const
{
    const std::string Dir = GetFullDestDir();
    try {
        ForceFolder(Dir);
    } catch (const fw_SysUtils::EOSError& E) {
        throw IEShellLinkGroup("The folder of %s could not be created: %s", {Name(), E.Message()});
    }
}

void TCustomShellLinkGroup::InstallObjects()
{
    SendInformation(this, icLinkGroupInstalling, nullptr);
    MakeFolder();
    inherited::InstallObjects();
}

void TCustomShellLinkGroup::HandleInformation(fw_Classes::TObject* Sender, int Code, fw_Classes::TObject* Param)
{
    inherited::HandleInformation(Sender, Code, Param);
    if (Code == icProcessLinkGroup)
        Process();
}

void TCustomShellLinkGroup::RemoveReferences(TComponent* Component)
{
    if (Component && Component == FContainer && !IsDestroying() && !(Owner() && Owner()->IsDestroying())) {
        // A group without its container has no folder: it goes too.
        FContainer = nullptr;
        delete this;
        return;
    }
    inherited::RemoveReferences(Component);
}

static void DefineMainLinkGroup(fw_Classes::TPropertyBuilder<TMainLinkGroup>& P)
{
    using G = TMainLinkGroup;
    P.Reference<TInstallContainer>("Container", &G::Container, &G::SetContainer);
    P.String("DestDir", &G::DestDir, &G::SetDestDir);
    P.Boolean("Include", &G::Include, &G::SetInclude, true);
}

FW_DEFINE_CLASS(TMainLinkGroup, TCustomShellLinkGroup, fw_Classes::CreateComponent<TMainLinkGroup>, DefineMainLinkGroup)

TMainLinkGroup::TMainLinkGroup(TComponent* AOwner) : TCustomShellLinkGroup(AOwner)
{
    if (TheMainLinkGroup)
        throw IEShellLinkGroup("You can only have one TMainLinkGroup component in your project");
    TheMainLinkGroup = this;
    SetDestDirType(nullptr);
    cmp_TInstall::TCustomInstall* Root = cmp_TInstall::InstallRoot();
    FDestDir = "\\" + (Root ? Root->Information()->ProductName : std::string("MainFolderName"));
    AttachToDesignRoot();
}

TMainLinkGroup::~TMainLinkGroup()
{
    if (TheMainLinkGroup == this)
        TheMainLinkGroup = nullptr;
}

void TMainLinkGroup::SetDestDirType(TCustomPathSpecifier*)
{
    StoreReference(SharedKind<TpsProgramMenu>());
    FDestDirType = SharedKind<TpsProgramMenu>();
}

// ---- links -------------------------------------------------------------------------

FW_DEFINE_CLASS(TCustomInstallShellLink, cmp_TInstallContainer::TInstallObject, nullptr, nullptr)

TCustomInstallShellLink::TCustomInstallShellLink(TComponent* AOwner) : TInstallObject(WithObjectLinkSpecifier(AOwner))
{
    FAutoProcess = false;
    FInclude = true;
    FUninstall = true;
    AllShellLinks().Add(this);
}

TCustomInstallShellLink::~TCustomInstallShellLink()
{
    AllShellLinks().Remove(this);
    MainLinks().Remove(this);
}

void TCustomInstallShellLink::Notification(TComponent* AComponent, TOperation Operation)
{
    inherited::Notification(AComponent, Operation);
    if (Operation != TOperation::opRemove || !AComponent)
        return;
    if (AComponent == FObjectLocationType)
        FObjectLocationType = nullptr;
    if (AComponent == FObjectLink)
        FObjectLink = nullptr;
}

bool TCustomInstallShellLink::BeingFreed() const { return IsDestroying() || (Owner() && Owner()->IsDestroying()); }

void TCustomInstallShellLink::RemoveReferences(TComponent* Component)
{
    if (Component && (Component == FObjectLink || Component == FContainer)) {
        FObjectLink = nullptr;
        if (Component == FContainer)
            FContainer = nullptr;
        if (!BeingFreed()) {
            delete this;
            return;
        }
    }
    inherited::RemoveReferences(Component);
}

void TCustomInstallShellLink::HandleInformation(fw_Classes::TObject* Sender, int Code, fw_Classes::TObject* Param)
{
    inherited::HandleInformation(Sender, Code, Param);
    if (Code == icProcessShellLink)
        Process();
}

void TCustomInstallShellLink::InitializeShellLink()
{
    const HRESULT Result = CoInitialize(nullptr);
    if (Result >= 2 || Result < 0)
        throw IEInstallShellLink("Could not initialize IShellLink with following error code returned: %d",
                                 {int(Result)});
    FShellLinkInitialized = true;
}

std::string TCustomInstallShellLink::GetLinkPath() const
{
    return IncludeTrailingBackslash(GetFullDestDir()) + FLinkName;
}

bool TCustomInstallShellLink::IsInternetShortcut() const
{
    return fw_SysUtils::UpperCase(fw_SysUtils::ExtractFileExt(FLinkName)) == ".URL";
}

std::string TCustomInstallShellLink::GetObjectLocation() const
{
    if (!FObjectLocationType)
        return ExcludeTrailingBackslash(FObjectLocation);
    return FObjectLocationType->GetPath(this) + FObjectLocation;
}

void TCustomInstallShellLink::InstallObjects()
{
    FLinkMade = false;
    if (fw_SysUtils::Trim(FLinkName).empty())
        throw IEInstallShellLink("The LinkName is blank for %s and therefore could not be installed", {Name()});
    if (HasBadNameCharacter(FLinkName))
        throw IEInstallShellLink(CannotInstall,
                                 {Name(), fw_SysUtils::SysErrorMessage(ERROR_INVALID_NAME) + ": " + FLinkName});
    if (FObjectLink) {
        // A link to what this run did not install would point at nothing.
        if (!FObjectLink->ProcessStarted())
            return;
        if (FObjectLink->Is<cmp_TUninstallEXE::TUninstallEXE>()) {
            cmp_TInstall::TCustomInstall* Root = cmp_TInstall::InstallRoot();
            if (!Root)
                throw IEInstallShellLink("%s cannot perform operation because there is no TInstall component",
                                         {Name()});
            FParameters = fw_SysUtils::Trim(Root->Information()->ProductName);
        }
        if (FObjectLink->Is<TCustomShellLinkGroup>())
            static_cast<TCustomShellLinkGroup*>(FObjectLink)->MakeFolder();
    }
    if (IsInternetShortcut()) {
        CreateInternetShortcut();
    } else {
        bool ShellLink = FMethod == mtShellLinkInterface;
        if (FMethod == mtAutoDetect) {
            const int Version = routines_API::WindowsVersion();
            ShellLink = Version == 1 || Version == 2;
        }
        if (ShellLink)
            CreateShellLink();
        else
            CreateProgramManagerItem();
    }
    inherited::InstallObjects();
}

void TCustomInstallShellLink::RaiseCreateFailure() const
{
    try {
        throw;
    } catch (const IEInstallShellLink&) {
        throw;
    } catch (const exceptions_Wendrel::EAIUserAbort&) {
        throw;
    } catch (const fw_SysUtils::EOleSysError& E) {
        const char* Known = KnownComError(E.ErrorCode);
        const std::string Text = Known ? exceptions_Wendrel::TranslateMessage(Known) : E.Message();
        throw IEInstallShellLink("The TCustomInstallShellLink %s name could not be installed. The following error "
                                 "was reported %s. Error code %d",
                                 {Name(), Text, int(E.ErrorCode)});
    } catch (const fw_SysUtils::Exception& E) {
        throw IEInstallShellLink(CannotInstall, {Name(), E.Message()});
    }
}

void TCustomInstallShellLink::CreateShellLink()
{
    FShellLinkInitialized = true;
    try {
        ForceFolder(ExcludeTrailingBackslash(GetFullDestDir()));
        const std::string Args = routines_ExpandPaths::ExpandPath(FParameters, this);
        const std::string Target = GetObjectLocation();
        // The shell's path buffer: a longer path would be cut, and the link
        // saved under another name.
        const std::string LinkPath = GetLinkPath();
        wchar_t WidePath[MAX_PATH];
        const int Needed = MultiByteToWideChar(CP_ACP, 0, LinkPath.c_str(), -1, nullptr, 0);
        if (Needed <= 0 || Needed > MAX_PATH)
            throw fw_SysUtils::EOSError(fw_SysUtils::SysErrorMessage(ERROR_FILENAME_EXCED_RANGE) + ": " + LinkPath,
                                        ERROR_FILENAME_EXCED_RANGE);
        MultiByteToWideChar(CP_ACP, 0, LinkPath.c_str(), -1, WidePath, MAX_PATH);

        fw_Handles::TComPtr<IShellLinkA> Link;
        fw_SysUtils::OleCheck(
            CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA, Link.Receive()));
        fw_SysUtils::OleCheck(Link->SetPath(Target.c_str()));
        fw_SysUtils::OleCheck(Link->SetHotkey(FHotKey));
        fw_SysUtils::OleCheck(Link->SetArguments(Args.c_str()));
        fw_SysUtils::OleCheck(
            Link->SetWorkingDirectory(ExcludeTrailingBackslash(fw_SysUtils::ExtractFilePath(Target)).c_str()));
        fw_Handles::TComPtr<IPersistFile> File;
        fw_SysUtils::OleCheck(Link->QueryInterface(IID_IPersistFile, File.Receive()));
        fw_SysUtils::OleCheck(File->Save(WidePath, TRUE));
        FLinkMade = true;
    } catch (...) {
        RaiseCreateFailure();
    }
}

void TCustomInstallShellLink::CreateInternetShortcut()
{
    try {
        ForceFolder(GetFullDestDir());
        const std::string LinkPath = GetLinkPath();
        // The profile routines answer success for a write they only cached:
        // flushed, the file must be there.
        bool Written = WritePrivateProfileStringA("InternetShortcut", "URL", FObjectLocation.c_str(), LinkPath.c_str());
        if (Written) {
            WritePrivateProfileStringA(nullptr, nullptr, nullptr, LinkPath.c_str());
            Written = fw_SysUtils::FileExists(LinkPath);
        }
        if (!Written) {
            DWORD Code = GetLastError();
            if (Code == ERROR_SUCCESS)
                Code = ERROR_WRITE_FAULT;
            throw fw_SysUtils::EOSError(fw_SysUtils::SysErrorMessage(Code) + ": " + LinkPath, Code);
        }
        FLinkMade = true;
    } catch (...) {
        RaiseCreateFailure();
    }
}

void TCustomInstallShellLink::CreateProgramManagerItem()
{
    FProgramManagerLines.Clear();
    // Program Manager has groups, not folders: only links in the Programs
    // folder, directly or through a link group there, become items.
    const auto InPrograms = [](const TCustomPathSpecifier* Kind) { return Kind && Kind->Is<TpsProgramMenu>(); };
    const bool ThroughGroup = FDestDirType && FDestDirType->Is<TpsContainerDestDir>() && FContainer &&
                              FContainer->Is<TCustomShellLinkGroup>() && InPrograms(FContainer->DestDirType());
    if (!InPrograms(FDestDirType) && !ThroughGroup)
        return;
    const std::string Group = fw_SysUtils::Trim(fw_SysUtils::ExtractFileName(GetFullDestDir()));
    if (Group.empty())
        throw IEInstallShellLink("The LinkName is blank for %s and therefore could not be installed", {Name()});
    cmp_TProgramManager::TProgramManager& Manager = cmp_TProgramManager::ProgramManager();
    Manager.CreateGroup(Group);
    const std::string Item = fw_SysUtils::ChangeFileExt(FLinkName, "");
    if (Manager.IndexOfItem(Item) >= 0)
        Manager.ReplaceItem(Item);
    const std::string Target = GetObjectLocation();
    const std::string Args = routines_ExpandPaths::ExpandPath(FParameters, this);
    Manager.AddItem("\"" + Target + "\" " + Args, Item, "", 0,
                    "\"" + ExcludeTrailingBackslash(fw_SysUtils::ExtractFilePath(Target)) + "\"", "");
    FLinkMade = true;
}

void TCustomInstallShellLink::WriteUninstallInfo(const std::string& Key)
{
    // Nothing made, nothing to remove: a link to a component left out of
    // the run, or one that Program Manager has no group for.
    if (!FLinkMade)
        return;
    if (!cmp_TInstallContainer::NamesAProduct(Key))
        throw IEInstallShellLink("%s cannot record its link for the uninstaller: the product name is blank", {Name()});
    if (!cmp_TInstallContainer::AddUninstallFile(Key, GetLinkPath()))
        throw IEInstallShellLink("Cannot record the link %s for the uninstaller under the key %s",
                                 {GetLinkPath(), Key});
}

void TCustomInstallShellLink::SetLinkName(const std::string& Value)
{
    const std::string Previous = FLinkName;
    FLinkName = Value;
    if (IsLoading() || fw_SysUtils::Trim(Value).empty())
        return;
    const std::string Ext = fw_SysUtils::UpperCase(fw_SysUtils::ExtractFileExt(Value));
    if (Ext == ".URL") {
        FObjectLink = nullptr;
    } else if (Ext != ".LNK") {
        const std::string PreviousExt = fw_SysUtils::UpperCase(fw_SysUtils::ExtractFileExt(Previous));
        FLinkName = fw_SysUtils::ChangeFileExt(Value, PreviousExt.empty() ? ".LNK" : PreviousExt);
    }
}

void TCustomInstallShellLink::SetObjectLink(TInstallContainer* Value)
{
    if (!Value && !IsLoading())
        FObjectLocationType = nullptr;
    if (IsLoading() || !Value) {
        FObjectLink = Value;
        StoreReference(Value);
        return;
    }
    FObjectLocationType = EnsureObjectLinkSpecifier(Owner());
    StoreReference(FObjectLocationType);
    FObjectLocation.clear();
    if (Value->Is<TCustomInstallFile>())
        FLinkName = fw_SysUtils::ChangeFileExt(static_cast<TCustomInstallFile*>(Value)->DestName(), ".lnk");
    else if (Value->Is<TInstallDirectory>())
        FLinkName = static_cast<TInstallDirectory*>(Value)->Description() + ".lnk";
    else
        FLinkName = Value->Name() + ".lnk";
    if (!FContainer)
        SetContainer(Value);
    FObjectLink = Value;
    StoreReference(Value);
}

void TCustomInstallShellLink::SetObjectLocation(const std::string& Value)
{
    FObjectLocation = FObjectLocationType && FObjectLocationType->Is<TpsObjectLink>() ? std::string() : Value;
    if (IsLoading() || FObjectLocation.empty())
        return;
    if (!fw_SysUtils::Trim(FLinkName).empty() && FLinkName != ".LNK")
        return;
    const std::string Upper = fw_SysUtils::UpperCase(FObjectLocation);
    for (const char* Scheme : {"HTTP://", "FTP://"}) {
        const size_t At = Upper.find(Scheme);
        if (At == std::string::npos)
            continue;
        // The rest of an address holds "/" and more that a file name cannot.
        FLinkName = routines_Strings::MakeValidName(FObjectLocation.substr(At + strlen(Scheme))) + ".URL";
        return;
    }
    SetLinkName(
        fw_SysUtils::ChangeFileExt(fw_SysUtils::ExtractFileName(ExcludeTrailingBackslash(FObjectLocation)), ""));
}

void TCustomInstallShellLink::SetObjectLocationType(TCustomPathSpecifier* Value)
{
    if (Value && !IsLoading()) {
        Value->Validate(this);
        if (Value->Is<TpsObjectLink>())
            FObjectLocation.clear();
    }
    FObjectLocationType = Value;
    StoreReference(Value);
}

template <class L>
static void DefineLinkProperties(fw_Classes::TPropertyBuilder<L>& P, bool Full)
{
    if (Full)
        P.template Reference<TInstallContainer>("Container", &L::Container, &L::SetContainer);
    P.String("DestDir", &L::DestDir, &L::SetDestDir);
    if (Full)
        P.template Reference<TCustomPathSpecifier>("DestDirType", &L::DestDirType, &L::SetDestDirType);
    P.Boolean("Include", &L::Include, &L::SetInclude, true);
    P.Integer("HotKey", &L::HotKey, &L::SetHotKey);
    P.String("LinkName", &L::LinkName, &L::SetLinkName);
    P.template Enum<TMethodType>("Method", TMethodTypeInfo, &L::Method, &L::SetMethod, mtAutoDetect);
    P.template Reference<TInstallContainer>("ObjectLink", &L::ObjectLink, &L::SetObjectLink);
    P.String("ObjectLocation", &L::ObjectLocation, &L::SetObjectLocation);
    P.template Reference<TCustomPathSpecifier>("ObjectLocationType", &L::ObjectLocationType, &L::SetObjectLocationType);
    P.String("Parameters", &L::Parameters, &L::SetParameters);
    P.Boolean("Uninstall", &L::Uninstall, &L::SetUninstall, true);
}

static void DefineInstallShellLink(fw_Classes::TPropertyBuilder<TInstallShellLink>& P)
{
    DefineLinkProperties(P, true);
}

FW_DEFINE_CLASS(TInstallShellLink, TCustomInstallShellLink, fw_Classes::CreateComponent<TInstallShellLink>,
                DefineInstallShellLink)

TInstallShellLink::TInstallShellLink(TComponent* AOwner) : TCustomInstallShellLink(AOwner) { AttachToDesignRoot(); }

static void DefineInstallMainLink(fw_Classes::TPropertyBuilder<TInstallMainLink>& P) { DefineLinkProperties(P, false); }

FW_DEFINE_CLASS(TInstallMainLink, TCustomInstallShellLink, fw_Classes::CreateComponent<TInstallMainLink>,
                DefineInstallMainLink)

TInstallMainLink::TInstallMainLink(TComponent* AOwner) : TCustomInstallShellLink(AOwner)
{
    if (!TheMainLinkGroup)
        throw IEInstallShellLink(
            "To create a TInstallMainLink you must first have a TMainLinkGroup component in your project");
    SetContainer(TheMainLinkGroup);
    SetDestDirType(nullptr);
    MainLinks().Add(this);
}

TInstallMainLink::~TInstallMainLink() { MainLinks().Remove(this); }

void TInstallMainLink::SetContainer(TInstallContainer* Value)
{
    if (Value != TheMainLinkGroup || !Value)
        throw IEInstallShellLink("The TMainLinkGroup component must be the Container for TInstallMainLink and "
                                 "TSubLinkGroup components");
    inherited::SetContainer(Value);
}

void TInstallMainLink::SetDestDirType(TCustomPathSpecifier*)
{
    TCustomPathSpecifier* Kind = SharedKind<TpsContainerDestDir>();
    StoreReference(Kind);
    FDestDirType = Kind;
    FDestDirTypeAssigned = true;
}

// ---- TpsObjectLink ---------------------------------------------------------------

FW_DEFINE_CLASS(TpsObjectLink, cmp_TPathSpecifier::TStandardPathSpecifier, fw_Classes::CreateComponent<TpsObjectLink>,
                nullptr)

TpsObjectLink::TpsObjectLink(TComponent* AOwner) : TStandardPathSpecifier(AOwner) { FKindName = "psObjectLink"; }

std::string TpsObjectLink::GetDescription() const
{
    return "Path of the file or file group in the ObjectLink property";
}

std::string TpsObjectLink::GetDisplayName() const { return "Object link"; }

void TpsObjectLink::Validate(const TComponent* Component) const
{
    const auto* Link = Component && Component->Is<TCustomInstallShellLink>()
                           ? static_cast<const TCustomInstallShellLink*>(Component)
                           : nullptr;
    if (!Link)
        throw cmp_TPathSpecifier::IEPathSpecifier(
            "%s must be a %s to use the %s path specifier",
            {Component ? Component->Name() : std::string(), "TCustomInstallShellLink", Name()});
    if (!Link->ObjectLink())
        throw cmp_TPathSpecifier::IEPathSpecifier(
            "Cannot use ddObjectLink for %s unless you assign a value to ObjectLink", {Link->Name()});
}

std::string TpsObjectLink::GetPath(const TComponent* Component) const
{
    Validate(Component);
    TInstallContainer* Target = static_cast<const TCustomInstallShellLink*>(Component)->ObjectLink();
    if (Target->Is<TCustomInstallFile>())
        return ExcludeTrailingBackslash(static_cast<TCustomInstallFile*>(Target)->TargetPath());
    return ExcludeTrailingBackslash(Target->GetFullDestDir());
}

void RegisterShellLinkClasses()
{
    fw_Classes::RegisterClasses({&TMainLinkGroup::StaticClass(), &TInstallShellLink::StaticClass(),
                                 &TInstallMainLink::StaticClass(), &TpsObjectLink::StaticClass()});
}

} // namespace cmp_TInstallShellLink
