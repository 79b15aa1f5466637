#include "engine/cmp_TInstallContainer.h"

#include "engine/cmp_TInstall.h"
#include "framework/fw_Forms.h"
#include "routines/routines_Registry.h"
#include "routines/routines_Strings.h"

#include <algorithm>
#include <array>

namespace cmp_TInstallContainer {

using cmp_TPathSpecifier::StandardPathSpecifiers;
using cmp_TPathSpecifier::TpsContainerArchiveFile;
using cmp_TPathSpecifier::TpsContainerDestDir;
using cmp_TPathSpecifier::TpsMainArchiveFile;
using fw_SysUtils::SameText;
using fw_SysUtils::Trim;

const fw_Classes::TEnumInfo TInstallTypeInfo{"TInstallType", {"itFull", "itDefault", "itCompact", "itCustom"}};
const fw_Classes::TEnumInfo TInstallFileTypeInfo{
    "TInstallFileType",
    {"iftNormal", "iftJustADLL", "iftApplicationSpecificDLL", "iftVendorSharedDLL", "iftSystemWideDLL"}};
const fw_Classes::TEnumInfo TInstallFileStateInfo{"TInstallFileState",
                                                  {"ifsNone", "ifsCompress", "ifsInstall", "ifsCopying"}};

bool RaiseRegistrationErrors = true;
std::string InstallKey;

namespace {

std::array<bool, UniqueIDCount>& UniqueIDs()
{
    static std::array<bool, UniqueIDCount> Flags{};
    return Flags;
}

bool ValidUniqueID(int ID) { return ID >= 0 && ID < UniqueIDCount; }

template <class T>
T* SharedSpecifier()
{
    return StandardPathSpecifiers().Find<T>();
}

} // namespace

bool UniqueIDTaken(int ID) { return ValidUniqueID(ID) && UniqueIDs()[size_t(ID)]; }

// ---- lists -------------------------------------------------------------------------

void TInstallContainerList::Add(TInstallContainer* Item)
{
    if (!Item)
        throw IEContainerList("Cannot add a blank entry to the TInstallContainerList object");
    Append(Item);
}

void TCustomInstallFileList::Add(TCustomInstallFile* Item)
{
    if (!Item)
        throw IECustomInstallFileList("Cannot add a blank entry to the TCustomInstallFileList object");
    Append(Item);
}

TInstallContainerList& AllInstallContainers()
{
    static TInstallContainerList List;
    return List;
}

TCustomInstallFileList& AllInstallFiles()
{
    static TCustomInstallFileList List;
    return List;
}

TCustomInstallFileList& FailedRegistrations()
{
    static TCustomInstallFileList List;
    return List;
}

int RegisteredTypeOfClass(TClass Class)
{
    if (!Class)
        return 0;
    if (Class->InheritsFrom(&TCustomInstallGroup::StaticClass()))
        return 500;
    if (Class->InheritsFrom(&TFileContainer::StaticClass()))
        return 1000;
    if (Class->InheritsFrom(&TCustomInstallFile::StaticClass()))
        return 2000;
    return 0;
}

// ---- TInstallContainer ---------------------------------------------------------

FW_DEFINE_CLASS(TInstallContainer, TComponent, nullptr, nullptr)

namespace {

// The standard specifiers join the owner before the container does, so that
// a written project declares them first and reads back without name clashes.
TComponent* WithStandardSpecifiers(TComponent* AOwner)
{
    if (fw_Forms::IsFormOrDataModule(AOwner))
        cmp_TPathSpecifier::EnsureStandardSpecifiers(AOwner);
    return AOwner;
}

} // namespace

TInstallContainer::TInstallContainer(TComponent* AOwner) : TComponent(WithStandardSpecifiers(AOwner))
{
    AllInstallContainers().Add(this);
}

TInstallContainer::~TInstallContainer()
{
    // Other nodes drop their references to this one; the walk tolerates a
    // handler that changes the list.
    TInstallContainerList& All = AllInstallContainers();
    // First leave every helper list, so that no handler below asks this
    // half-destroyed node for its registered type.
    for (int I = 0; I < All.Count(); ++I) {
        std::vector<TInstallObject*>& Helpers = All.Items(I)->FHelpers;
        Helpers.erase(std::remove_if(Helpers.begin(), Helpers.end(),
                                     [this](TInstallObject* H) { return static_cast<TInstallContainer*>(H) == this; }),
                      Helpers.end());
    }
    for (int I = All.Count() - 1; I >= 0; --I) {
        if (I >= All.Count())
            continue;
        TInstallContainer* Other = All.Items(I);
        if (Other != this)
            Other->RemoveReferences(this);
    }
    FHelpers.clear();
    All.Remove(this);
}

void TInstallContainer::Loaded()
{
    if (FDefaultDestDirTypeMade && !FDestDirTypeAssigned)
        SetDestDirType(nullptr);
    FDefaultDestDirTypeMade = false;
    inherited::Loaded();
}

void TInstallContainer::Notification(TComponent* AComponent, TOperation Operation)
{
    inherited::Notification(AComponent, Operation);
    if (Operation == TOperation::opRemove && AComponent && AComponent == FDestDirType)
        FDestDirType = nullptr;
}

void TInstallContainer::StoreReference(TComponent* Value)
{
    if (Value)
        Value->FreeNotification(this);
}

int TInstallContainer::FileContainerCount() { return CompCount(&TFileContainer::StaticClass()); }

TFileContainer* TInstallContainer::FileContainers(int Index)
{
    return static_cast<TFileContainer*>(Comp(Index, &TFileContainer::StaticClass()));
}

void TInstallContainer::SetDestDir(const std::string& Value) { FDestDir = Value; }

void TInstallContainer::SetDestDirType(TCustomPathSpecifier* Value)
{
    FDestDirTypeAssigned = true;
    if (!IsLoading() && Value)
        Value->Validate(this);
    StoreReference(Value);
    FDestDirType = Value;
}

void TInstallContainer::SetInstallTypes(TInstallTypeSet Value)
{
    FInstallTypes = Value.Empty() ? TInstallTypeSet{itFull} : Value;
}

void TInstallContainer::RemoveReferences(TComponent* Component)
{
    // Compared by address: a node being destroyed no longer knows its class.
    for (TInstallObject* Helper : FHelpers)
        if (static_cast<TComponent*>(Helper) == Component) {
            RemoveObject(Helper);
            break;
        }
}

void TInstallContainer::DisplayMessage(const std::string& Text)
{
    TMessageParameter Param;
    Param.Message = Text;
    SendInformation(this, icDisplayMessage, &Param);
}

void TInstallContainer::DoInformationEventControl(TObject* Sender, int Code, TObject* Param) {}

void TInstallContainer::HandleInformation(TObject* Sender, int Code, TObject* Param) {}

std::string TInstallContainer::GetFullDestDir()
{
    std::string Result = FDestDirType ? FDestDirType->GetPath(this) + FDestDir : FDestDir;
    return routines_Strings::ExcludeTrailingBackslash(Result);
}

int TInstallContainer::RegisteredType() const { throw IEInstallContainer("Class must declare a registered type"); }

void TInstallContainer::AddObject(TInstallObject* Obj)
{
    if (!Obj)
        throw IEInstallContainer("Cannot add a blank base helper component to %s", {Name()});
    if (static_cast<TInstallContainer*>(Obj) == this)
        throw IEInstallContainer("Circular reference");
    if (Is<TInstallObject>()) {
        for (TInstallContainer* Up = static_cast<TInstallObject*>(this)->Container(); Up;) {
            if (Up == static_cast<TInstallContainer*>(Obj))
                throw IEInstallContainer("Circular reference");
            if (!Up->Is<TInstallObject>())
                break;
            Up = static_cast<TInstallObject*>(Up)->Container();
        }
    }
    const int Type = Obj->RegisteredType();
    size_t Position = FHelpers.size();
    for (size_t I = 0; I < FHelpers.size(); ++I)
        if (FHelpers[I]->RegisteredType() >= Type) {
            Position = I;
            break;
        }
    if (SameText(Obj->ClassName(), "TINSTALLVDE"))
        Position = 0;
    FHelpers.insert(FHelpers.begin() + std::ptrdiff_t(Position), Obj);
}

void TInstallContainer::Process()
{
    if (OnBeforeProcess)
        OnBeforeProcess(this);
    SendInformation(this, icContainerProcessStart, nullptr);
    if (!FInclude)
        return;
    SendInformation(this, icContainerIncluded, nullptr);
    if (FInstallType != itCustom && !FInstallTypes.Contains(FInstallType))
        return;
    InstallObjects();
    FProcessStarted = true;
    cmp_TInstall::TCustomInstall* Root = cmp_TInstall::InstallRoot();
    if (Root && FUninstall)
        WriteUninstallInfo(UninstallKeyBase + Root->Information()->ProductName);
    if (OnAfterProcess)
        OnAfterProcess(this);
    SendInformation(this, icContainerProcessEnd, nullptr);
}

void TInstallContainer::InstallObjects()
{
    FProcessStarted = true;
    // A copy: a helper's processing may not reshape the list under the walk.
    const std::vector<TInstallObject*> Helpers = FHelpers;
    for (TInstallObject* Helper : Helpers)
        if (Helper->AutoProcess())
            Helper->Process();
}

bool TInstallContainer::WillInstall()
{
    return FInclude && (FInstallType == itCustom || FInstallTypes.Contains(FInstallType));
}

void TInstallContainer::CompleteAfterReboot() {}

void TInstallContainer::DialogHook() {}

void TInstallContainer::RemoveObject(TInstallObject* Obj)
{
    auto It = std::find(FHelpers.begin(), FHelpers.end(), Obj);
    if (It != FHelpers.end())
        FHelpers.erase(It);
}

void TInstallContainer::WriteUninstallInfo(const std::string& Key) {}

TInstallObject* TInstallContainer::Helpers(int Index) const
{
    if (Index < 0 || Index >= HelperCount())
        throw IEInstallContainer(
            "Tried to reference a helper component in the following component: %s. The following index was used: %d",
            {Name(), Index});
    return FHelpers[size_t(Index)];
}

int TInstallContainer::CompCount(TClass ComponentClass) const
{
    return int(std::count_if(FHelpers.begin(), FHelpers.end(),
                             [&](TInstallObject* H) { return H->InheritsFrom(ComponentClass); }));
}

TInstallObject* TInstallContainer::Comp(int Index, TClass ComponentClass) const
{
    int Seen = 0;
    for (TInstallObject* Helper : FHelpers)
        if (Helper->InheritsFrom(ComponentClass) && Seen++ == Index)
            return Helper;
    throw IEInstallContainer("Bad call to the Comp procedure which returns a TInstallObject for a TInstallContainer "
                             "component. The parameters are probably reversed. Index: %d, ComponentType: %d",
                             {Index, RegisteredTypeOfClass(ComponentClass)});
}

void TInstallContainer::SendInformation(TObject* Sender, int Code, TObject* Param)
{
    const std::vector<TInstallObject*> Helpers = FHelpers;
    for (TInstallObject* Helper : Helpers)
        if (Helper->RegisteredType() >= 2000)
            Helper->HandleInformation(Sender, Code, Param);
}

void TInstallContainer::ClearMessage() { SendInformation(this, icClearMessage, nullptr); }

void TInstallContainer::SetInstallType(TInstallType Value)
{
    for (TInstallObject* Helper : FHelpers)
        Helper->SetInstallType(Value);
    FInstallType = Value;
}

void TInstallContainer::FreeHelpers(TClass ComponentClass)
{
    for (int I = HelperCount() - 1; I >= 0; --I) {
        if (I >= HelperCount())
            continue;
        TInstallObject* Helper = FHelpers[size_t(I)];
        if (Helper->InheritsFrom(ComponentClass))
            delete Helper; // leaves the list through RemoveReferences
    }
}

// ---- TInstallObject --------------------------------------------------------------

FW_DEFINE_CLASS(TInstallObject, TInstallContainer, nullptr, nullptr)

TInstallObject::TInstallObject(TComponent* AOwner) : TInstallContainer(AOwner)
{
    cmp_TInstall::TCustomInstall* Root = cmp_TInstall::InstallRoot();
    if (IsDesigning() && Root) {
        FDefaultContainerMade = true;
        Root->AddObject(this);
        FContainer = Root;
        StoreReference(Root);
        SetDestDirType(SharedSpecifier<TpsContainerDestDir>());
        FDestDir.clear();
        FDefaultDestDirTypeMade = true;
    }
}

TInstallObject::~TInstallObject() = default;

void TInstallObject::Loaded()
{
    if (FDefaultContainerMade && !FContainerAssigned)
        SetContainer(nullptr);
    FDefaultContainerMade = false;
    inherited::Loaded();
}

void TInstallObject::Notification(TComponent* AComponent, TOperation Operation)
{
    inherited::Notification(AComponent, Operation);
    // A container owned elsewhere is dropped here; one of the tree already
    // told us through RemoveReferences.
    if (Operation == TOperation::opRemove && AComponent && AComponent == FContainer)
        FContainer = nullptr;
}

void TInstallObject::RemoveReferences(TComponent* Component)
{
    inherited::RemoveReferences(Component);
    if (Component && Component == FContainer)
        SetContainer(nullptr);
}

void TInstallObject::Process()
{
    cmp_TInstall::TCustomInstall* Root = cmp_TInstall::InstallRoot();
    if (Root && Root->Running() && FContainer && !FContainer->ProcessStarted())
        return;
    inherited::Process();
}

void TInstallObject::SetContainer(TInstallContainer* Value)
{
    FContainerAssigned = true;
    if (Value == FContainer)
        return;
    // Found before anything moves, so that a failure changes nothing.
    TCustomPathSpecifier* ContainerDestDir = !IsLoading() && Value ? SharedSpecifier<TpsContainerDestDir>() : nullptr;
    if (Value)
        Value->AddObject(this);
    if (FContainer)
        FContainer->RemoveObject(this);
    FContainer = Value;
    StoreReference(Value);
    if (IsLoading())
        return;
    if (Value) {
        SetDestDirType(ContainerDestDir);
        FDestDir.clear();
    } else if (FDestDirType && FDestDirType->Is<TpsContainerDestDir>()) {
        SetDestDirType(nullptr);
    }
}

// ---- TFileRelated ---------------------------------------------------------------

FW_DEFINE_CLASS(TFileRelated, TInstallObject, nullptr, nullptr)

TFileRelated::TFileRelated(TComponent* AOwner) : TInstallObject(AOwner)
{
    FAutoProcess = true;
    if (FDefaultContainerMade) {
        SetArchiveFileType(SharedSpecifier<TpsContainerArchiveFile>());
        FDefaultArchiveFileTypeMade = true;
        FArchiveFile.clear();
    }
}

void TFileRelated::Loaded()
{
    if (FDefaultArchiveFileTypeMade && !FArchiveFileTypeAssigned)
        SetArchiveFileType(nullptr);
    FDefaultArchiveFileTypeMade = false;
    inherited::Loaded();
    std::string Path;
    if (FindLocalArchive(Path))
        FLocalArchive = Path;
}

void TFileRelated::Notification(TComponent* AComponent, TOperation Operation)
{
    inherited::Notification(AComponent, Operation);
    if (Operation != TOperation::opRemove || !AComponent)
        return;
    if (AComponent == FNetLocation)
        SetNetLocation(nullptr);
    if (AComponent == FArchiveFileType)
        FArchiveFileType = nullptr;
}

void TFileRelated::SetContainer(TInstallContainer* Value)
{
    FContainerAssigned = true;
    if (Value == FContainer)
        return;
    const bool Reading = IsLoading();
    TCustomPathSpecifier* ContainerArchive =
        !Reading && Value && Value->Is<TFileRelated>() ? SharedSpecifier<TpsContainerArchiveFile>() : nullptr;
    inherited::SetContainer(Value);
    if (Reading)
        return;
    if (ContainerArchive) {
        SetArchiveFileType(ContainerArchive);
        FArchiveFile.clear();
    } else if (FArchiveFileType && FArchiveFileType->Is<TpsContainerArchiveFile>()) {
        FArchiveFileType = nullptr;
    }
}

// The download and the registry record of local archives belong to the net
// install; without a net location nothing is fetched.
void TFileRelated::DataReceived(TObject* Sender, const std::string& FileName, int Bytes, int TotalBytes, int FileSize,
                                const char* Buffer)
{
}

void TFileRelated::DownloadArchive() {}

bool TFileRelated::HasLocalArchive()
{
    std::string Path;
    return !Trim(FLocalArchive).empty() || FindLocalArchive(Path);
}

void TFileRelated::StoreLocalArchive(const std::string& Path)
{
    if (Trim(Name()).empty() || Trim(Path).empty() || InstallKey.empty())
        return;
    routines_Registry::WriteRegistryString(routines_Registry::hkLocalMachine, InstallKey + "\\" + Name(), "LocalFile",
                                           Path);
}

bool TFileRelated::FindLocalArchive(std::string& Path)
{
    // Without an install record there is nothing recorded to look up.
    if (Trim(Name()).empty() || InstallKey.empty())
        return false;
    std::string Value;
    routines_Registry::ReadRegistryString(routines_Registry::hkLocalMachine, InstallKey + "\\" + Name(), "LocalFile",
                                          Value, "");
    if (Trim(Value).empty() || !fw_SysUtils::FileExists(Value))
        return false;
    Path = Value;
    return true;
}

void TFileRelated::SetArchiveFile(const std::string& Value)
{
    if (!IsLoading() && FArchiveFileType &&
        (FArchiveFileType->Is<TpsContainerArchiveFile>() || FArchiveFileType->Is<TpsMainArchiveFile>()))
        FArchiveFile.clear();
    else
        FArchiveFile = Value;
}

void TFileRelated::SetArchiveFileType(TCustomPathSpecifier* Value)
{
    FArchiveFileTypeAssigned = true;
    if (!IsLoading() && Value) {
        Value->Validate(this);
        if (Value->Is<TpsContainerArchiveFile>() || Value->Is<TpsMainArchiveFile>())
            FArchiveFile.clear();
    }
    StoreReference(Value);
    FArchiveFileType = Value;
}

void TFileRelated::SetNet(bool Value) { FNet = Value; }

void TFileRelated::SetNetLocation(TComponent* Value)
{
    StoreReference(Value);
    FNetLocation = Value;
}

std::string TFileRelated::GetFullArchiveFile()
{
    std::string Result = FArchiveFileType ? FArchiveFileType->GetPath(this) + FArchiveFile : FArchiveFile;
    return routines_Strings::ExcludeTrailingBackslash(Result);
}

// ---- TFileContainer -------------------------------------------------------------

FW_DEFINE_CLASS(TFileContainer, TFileRelated, nullptr, nullptr)

TFileContainer::TFileContainer(TComponent* AOwner) : TFileRelated(AOwner) {}

TFileContainer::~TFileContainer()
{
    FreeFiles();
    if (FPathSpecifier && !FPathSpecifier->IsDestroying()) {
        TpsFileContainer* Specifier = FPathSpecifier;
        FPathSpecifier = nullptr;
        delete Specifier;
    }
}

void TFileContainer::MakePathSpecifier()
{
    if (!MakesPathSpecifier())
        return;
    auto* Specifier = new TpsFileContainer(Owner());
    Specifier->SetFileContainer(this);
    FPathSpecifier = Specifier;
    Specifier->FreeNotification(this);
    // While a project is read its own specifier follows under the names the
    // project gives; this one stays unnamed and is replaced when that loads.
    if (!Owner() || !Owner()->IsLoading())
        routines_Registry::SetUniqueComponentName(Specifier, "psFileContainer");
}

void TFileContainer::Notification(TComponent* AComponent, TOperation Operation)
{
    inherited::Notification(AComponent, Operation);
    if (Operation == TOperation::opRemove && AComponent && AComponent == FPathSpecifier)
        FPathSpecifier = nullptr;
}

void TFileContainer::SetPathSpecifier(TpsFileContainer* Value)
{
    StoreReference(Value);
    FPathSpecifier = Value;
}

void TFileContainer::DoNewDisk(TCustomInstallFile* File, TDiskParameter* DiskParameter)
{
    std::string Path = DiskParameter->Path;
    if (OnNewDisk) {
        OnNewDisk(File, DiskParameter->Disk, Path);
        File->SetTag(1);
    }
    DiskParameter->Path = Path;
}

void TFileContainer::DoReplacing(TCustomInstallFile* File)
{
    if (OnReplacing)
        OnReplacing(File);
    SendInformation(this, -997, File);
}

void TFileContainer::DoStatus(TCustomInstallFile* File, TFileStatusParameter* StatusParameter)
{
    if (OnStatus)
        OnStatus(File, StatusParameter->PercentDone, StatusParameter->TotalPercentDone);
    SendInformation(this, -998, StatusParameter);
}

int TFileContainer::GetSize(bool IncludeAll, bool Recursive)
{
    int Total = 0;
    for (TInstallObject* Helper : FHelpers) {
        if (!IncludeAll && !Helper->WillInstall())
            continue;
        if (Helper->Is<TCustomInstallFile>())
            Total += static_cast<TCustomInstallFile*>(Helper)->Size();
        else if (Recursive && Helper->Is<TFileContainer>())
            Total += static_cast<TFileContainer*>(Helper)->GetTotalSize(IncludeAll);
    }
    return Total;
}

// Compressing, copying, reading archive tables and downloads arrive with the
// build and install steps.
void TFileContainer::Execute(TInstallFileState Operation)
{
    // The container is idle again also when the operation fails.
    struct TIdleAtEnd {
        TInstallFileState& State;
        ~TIdleAtEnd() { State = ifsNone; }
    } IdleAtEnd{FState};
    switch (Operation) {
    case ifsCompress:
        Compress(0);
        break;
    case ifsInstall:
        Process();
        break;
    case ifsCopying:
        CopyFiles();
        break;
    default:
        break;
    }
}

void TFileContainer::CopyFiles() {}

void TFileContainer::FreeFiles() { FreeHelpers(&TCustomInstallFile::StaticClass()); }

void TFileContainer::Compress(uint8_t Options) {}

int TFileContainer::GetCompressedSize(bool IncludeAll)
{
    int Total = 0;
    for (TInstallObject* Helper : FHelpers) {
        if (!IncludeAll && !Helper->WillInstall())
            continue;
        if (Helper->Is<TCustomInstallFile>())
            Total += static_cast<TCustomInstallFile*>(Helper)->CompressedSize();
        else if (Helper->Is<TFileContainer>())
            Total += static_cast<TFileContainer*>(Helper)->GetCompressedSize(IncludeAll);
    }
    return Total;
}

std::string TFileContainer::GetLocalArchiveFile()
{
    std::string Path;
    if (!FindLocalArchive(Path))
        throw IEFileContainer("%s has not yet downloaded the archive file and therefore cannot retrieve the path of "
                              "the archive file",
                              {Name()});
    return Path;
}

int TFileContainer::GetOwnSize(bool IncludeAll) { return GetSize(IncludeAll, false); }

int TFileContainer::GetTotalSize(bool IncludeAll) { return GetSize(IncludeAll, true); }

void TFileContainer::ReadInfoFromArchive() { FArchiveInfoRead = true; }

void TFileContainer::ReadInfoFromFiles() {}

bool TFileContainer::NeedsDownload()
{
    cmp_TInstall::TCustomInstall* Root = cmp_TInstall::InstallRoot();
    if (Root && Root->DistributeType() == cmp_TInstall::dtTraditional)
        return false;
    for (int I = 0; I < FileCount(); ++I) {
        TCustomInstallFile* File = Files(I);
        if (File->Net() && File->Include() && !File->NetLocation())
            return true;
    }
    return false;
}

int TFileContainer::FileCount() const { return CompCount(&TCustomInstallFile::StaticClass()); }

TCustomInstallFile* TFileContainer::Files(int Index) const
{
    return static_cast<TCustomInstallFile*>(Comp(Index, &TCustomInstallFile::StaticClass()));
}

TCustomInstallFile* TFileContainer::FindFileBySource(const std::string& Path) const
{
    for (int I = 0; I < FileCount(); ++I)
        if (SameText(Files(I)->SourcePath(), Path))
            return Files(I);
    return nullptr;
}

bool TFileContainer::HasNetFiles() const
{
    for (int I = 0; I < FileCount(); ++I)
        if (Files(I)->Net())
            return true;
    return false;
}

// ---- groups and directories ------------------------------------------------------

static void DefineDialogOptions(fw_Classes::TPropertyBuilder<TInstallGroupDialogOptions>& P)
{
    using O = TInstallGroupDialogOptions;
    P.Boolean("AllowChangeDir", &O::AllowChangeDir, &O::AllowChangeDir, true);
    P.Boolean("AllowExcludeInclude", &O::AllowExcludeInclude, &O::AllowExcludeInclude, true);
    P.Lines(
        "Description", [](O* Self) { return Self->Description.ToVector(); },
        [](O* Self, const std::vector<std::string>& V) { Self->Description.SetVector(V); });
    P.Boolean("DisplayDirectory", &O::DisplayDirectory, &O::DisplayDirectory, true);
    P.Object<fw_Graphics::TPicture>("SmallIcon", [](O* Self) { return &Self->SmallIcon; });
}

FW_DEFINE_CLASS(TInstallGroupDialogOptions, fw_Classes::TPersistent, nullptr, DefineDialogOptions)

void TInstallGroupDialogOptions::Assign(fw_Classes::TPersistent* Source)
{
    if (Source && Source->Is<TInstallGroupDialogOptions>()) {
        auto* S = static_cast<TInstallGroupDialogOptions*>(Source);
        AllowChangeDir = S->AllowChangeDir;
        AllowExcludeInclude = S->AllowExcludeInclude;
        Description.Assign(&S->Description);
        DisplayDirectory = S->DisplayDirectory;
        SmallIcon.Assign(&S->SmallIcon);
        return;
    }
    inherited::Assign(Source);
}

FW_DEFINE_CLASS(TCustomInstallGroup, TFileContainer, nullptr, nullptr)

TCustomInstallGroup::TCustomInstallGroup(TComponent* AOwner) : TFileContainer(AOwner) { MakePathSpecifier(); }

void TCustomInstallGroup::SetContainer(TInstallContainer* Value)
{
    if (Value && !Value->Is<cmp_TInstall::TCustomInstall>() && !Value->Is<TCustomInstallGroup>())
        throw IEInstallGroup(
            "A TInstallGroup component can only be contained by a TInstall, or another TInstallGroup component");
    if (!Value)
        Value = cmp_TInstall::InstallRoot(); // a group never stays loose while there is a root
    inherited::SetContainer(Value);
}

template <class C>
static void DefineFileContainer(fw_Classes::TPropertyBuilder<C>& P)
{
    DefineFileRelatedProperties(P);
    P.String("Description", &C::Description, &C::SetDescription);
}

static void DefineInstallGroup(fw_Classes::TPropertyBuilder<TInstallGroup>& P)
{
    DefineFileContainer(P);
    P.template Object<TInstallGroupDialogOptions>("DialogOptions", &TInstallGroup::DialogOptions);
}

FW_DEFINE_CLASS(TInstallGroup, TCustomInstallGroup, fw_Classes::CreateComponent<TInstallGroup>, DefineInstallGroup)

TInstallGroup::TInstallGroup(TComponent* AOwner) : TCustomInstallGroup(AOwner) {}

FW_DEFINE_CLASS(TInstallDirectory, TFileContainer, fw_Classes::CreateComponent<TInstallDirectory>,
                DefineFileContainer<TInstallDirectory>)

TInstallDirectory::TInstallDirectory(TComponent* AOwner) : TFileContainer(AOwner)
{
    MakePathSpecifier();
    FAutoProcess = true;
    FInclude = true;
    if (IsDesigning()) {
        int Count = 0;
        for (int I = 0; I < AllInstallContainers().Count(); ++I)
            Count += AllInstallContainers().Items(I)->Is<TFileContainer>() ? 1 : 0;
        FDescription = "Install Directory " + fw_SysUtils::IntToStr(Count);
    }
}

void TInstallDirectory::RemoveMissingFiles()
{
    for (int I = FileCount() - 1; I >= 0; --I) {
        if (I >= FileCount())
            continue;
        TCustomInstallFile* File = Files(I);
        if (!fw_SysUtils::FileExists(File->SourcePath()))
            delete File;
    }
}

// ---- TpsFileContainer -------------------------------------------------------------

static void DefinePsFileContainer(fw_Classes::TPropertyBuilder<TpsFileContainer>& P)
{
    P.Reference<TFileContainer>("FileContainer", &TpsFileContainer::FileContainer, &TpsFileContainer::SetFileContainer);
}

FW_DEFINE_CLASS(TpsFileContainer, cmp_TPathSpecifier::TStandardPathSpecifier,
                fw_Classes::CreateComponent<TpsFileContainer>, DefinePsFileContainer)

TpsFileContainer::TpsFileContainer(TComponent* AOwner) : TStandardPathSpecifier(AOwner)
{
    FKindName = "psFileContainer";
}

void TpsFileContainer::SetFileContainer(TFileContainer* Value)
{
    if (Value)
        Value->FreeNotification(this);
    FFileContainer = Value;
}

void TpsFileContainer::Loaded()
{
    inherited::Loaded();
    if (!FFileContainer)
        return;
    TpsFileContainer* Other = FFileContainer->PathSpecifier();
    if (Other && Other != this)
        delete Other; // the container forgets it through the removal notice
    FFileContainer->SetPathSpecifier(this);
}

void TpsFileContainer::Notification(TComponent* AComponent, TOperation Operation)
{
    inherited::Notification(AComponent, Operation);
    if (Operation == TOperation::opRemove && AComponent && AComponent == FFileContainer)
        FFileContainer = nullptr;
}

void TpsFileContainer::Validate(TComponent* Component)
{
    if (Component && (Component->Is<TFileContainer>() || Component->Is<TCustomInstallGroup>() ||
                      Component->Is<TCustomInstallFile>()))
        throw cmp_TPathSpecifier::IEPathSpecifier("A file container cannot reference another file container or group");
}

std::string TpsFileContainer::GetPath(TComponent* Component)
{
    Validate(Component);
    return FFileContainer ? FFileContainer->GetFullDestDir() : std::string();
}

std::string TpsFileContainer::GetDescription()
{
    if (!FFileContainer)
        return "Path specifier for unknown file container";
    return "Path into which " + FFileContainer->Description() + " will be installed";
}

std::string TpsFileContainer::GetDisplayName()
{
    if (!FFileContainer)
        return "Path specifier for unknown file container";
    return "<" + FFileContainer->Description() + ">";
}

// ---- TCustomInstallFile -----------------------------------------------------------

FW_DEFINE_CLASS(TCustomInstallFile, TFileRelated, nullptr, nullptr)

TCustomInstallFile::TCustomInstallFile(TComponent* AOwner) : TFileRelated(AOwner)
{
    FAutoProcess = true;
    FInclude = true;
    SetNet(false);
    AllInstallFiles().Add(this);
    auto& Flags = UniqueIDs();
    for (int N = 0; N < UniqueIDCount; ++N)
        if (!Flags[size_t(N)]) {
            Flags[size_t(N)] = true;
            FUniqueID = N;
            FOwnsUniqueIDFlag = true;
            break;
        }
}

TCustomInstallFile::~TCustomInstallFile()
{
    AllInstallFiles().Remove(this);
    FailedRegistrations().Remove(this);
    if (FOwnsUniqueIDFlag && ValidUniqueID(FUniqueID))
        UniqueIDs()[size_t(FUniqueID)] = false;
}

void TCustomInstallFile::Loaded()
{
    inherited::Loaded();
    if (ValidUniqueID(FUniqueID)) {
        UniqueIDs()[size_t(FUniqueID)] = true;
        FOwnsUniqueIDFlag = true;
    }
}

// The number taken at creation is given back as soon as the project names
// its own, so that flags of files that live outside this project stay set.
void TCustomInstallFile::SetUniqueID(int Value)
{
    if (FOwnsUniqueIDFlag && ValidUniqueID(FUniqueID))
        UniqueIDs()[size_t(FUniqueID)] = false;
    FOwnsUniqueIDFlag = false;
    FUniqueID = Value;
    if (!IsLoading() && ValidUniqueID(Value)) {
        UniqueIDs()[size_t(Value)] = true;
        FOwnsUniqueIDFlag = true;
    }
}

void TCustomInstallFile::SetContainer(TInstallContainer* Value)
{
    if (IsLoading() || Value == FContainer) {
        inherited::SetContainer(Value);
        return;
    }
    if (Value) {
        if (!Value->Is<TFileContainer>())
            throw IECustomInstallFile("The following TInstallFile component %s requires the Container property to be "
                                      "a component descended from the TFileContainer component",
                                      {Name()});
        if (static_cast<TFileContainer*>(Value)->FindFileBySource(SourcePath()))
            throw IEfcDuplicateFile("There is already a file with the name :%s", {SourcePath()});
    }
    // A moved file keeps its own subfolder; a DLL kind keeps its fixed place.
    // Both are settled before the move, so that a refusal changes nothing.
    TCustomPathSpecifier* KindDir = nullptr;
    std::string KindDestDir = FDestDir;
    switch (FFileType) {
    case iftApplicationSpecificDLL:
        KindDir = SharedSpecifier<cmp_TPathSpecifier::TpsMainInstall>();
        KindDestDir = "\\System";
        break;
    case iftVendorSharedDLL:
        KindDir = SharedSpecifier<cmp_TPathSpecifier::TpsCommonFiles>();
        KindDestDir = "\\System";
        break;
    case iftSystemWideDLL:
        KindDir = SharedSpecifier<cmp_TPathSpecifier::TpsSystem>();
        KindDestDir.clear();
        break;
    default:
        break;
    }
    if (KindDir)
        KindDir->Validate(this);
    inherited::SetContainer(Value);
    if (KindDir)
        TInstallContainer::SetDestDirType(KindDir);
    FDestDir = KindDestDir;
}

// The steps below (install, build, registration, version reading) and the
// settings that steer one another arrive with the install and build steps.
void TCustomInstallFile::EngineAborted(TObject* Sender) { throw exceptions_Wendrel::EAIUserAbort(); }
void TCustomInstallFile::RegisterLibrary() {}
void TCustomInstallFile::RegisterExecutable() {}
void TCustomInstallFile::PrepareTarget() {}
void TCustomInstallFile::SetActiveX(bool Value) { FActiveX = Value; }
void TCustomInstallFile::SetDestName(const std::string& Value) { FDestName = Value; }
void TCustomInstallFile::SetFileName(const std::string& Value) { FFileName = Value; }
void TCustomInstallFile::SetFileType(TInstallFileType Value) { FFileType = Value; }
void TCustomInstallFile::SetIncludeFromDir(const std::string& Value) { FIncludeFromDir = Value; }
void TCustomInstallFile::SetState(TInstallFileState Value) { FState = Value; }
void TCustomInstallFile::CompressFile() {}
void TCustomInstallFile::CopyToDestination() {}
void TCustomInstallFile::ReadInfoFromArchive() {}
void TCustomInstallFile::ReadInfoFromFiles() {}
bool TCustomInstallFile::HasOLESelfRegister() { return false; }
bool TCustomInstallFile::UpdateSharedDLLCount() { return false; }

std::string TCustomInstallFile::SourcePath() const
{
    return routines_Strings::IncludeTrailingBackslash(FIncludeFromDir) + FFileName;
}

std::string TCustomInstallFile::TargetPath()
{
    return routines_Strings::IncludeTrailingBackslash(GetFullDestDir()) + FDestName;
}

static void DefineInstallFile(fw_Classes::TPropertyBuilder<TInstallFile>& P)
{
    using F = TInstallFile;
    DefineFileRelatedProperties(P);
    P.Boolean("Net", &F::Net, &F::SetNet, false);
    P.Boolean("Uninstall", &F::Uninstall, &F::SetUninstall, true);
    P.Boolean("ActiveX", &F::ActiveX, &F::SetActiveX, false);
    P.String("DestName", &F::DestName, &F::SetDestName);
    P.String("FileName", &F::FileName, &F::SetFileName);
    P.Enum<TInstallFileType>("FileType", TInstallFileTypeInfo, &F::FileType, &F::SetFileType, iftNormal);
    P.String("IncludeFromDir", &F::IncludeFromDir, &F::SetIncludeFromDir);
    P.Enum<TOverwriteType>("OverwriteMode", TOverwriteTypeInfo, &F::OverwriteMode, &F::SetOverwriteMode, owAlways);
    P.Boolean("RegisterAsHelp", &F::RegisterAsHelp, &F::SetRegisterAsHelp, false);
    P.Boolean("RunAfterInstall", &F::RunAfterInstall, &F::SetRunAfterInstall, false);
    P.Integer("UniqueID", &F::UniqueID, &F::SetUniqueID); // always written
    P.Boolean("UpdateDLLCounter", &F::UpdateDLLCounter, &F::SetUpdateDLLCounter, false);
}

FW_DEFINE_CLASS(TInstallFile, TCustomInstallFile, fw_Classes::CreateComponent<TInstallFile>, DefineInstallFile)

TInstallFile::TInstallFile(TComponent* AOwner) : TCustomInstallFile(AOwner) {}

namespace {
const bool Registered = [] {
    fw_Classes::RegisterClasses({&TInstallGroup::StaticClass(), &TInstallDirectory::StaticClass(),
                                 &TpsFileContainer::StaticClass(), &TInstallFile::StaticClass()});
    return true;
}();
} // namespace

} // namespace cmp_TInstallContainer
