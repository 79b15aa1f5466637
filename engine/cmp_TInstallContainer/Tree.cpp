#include "Internal.h"

#include "engine/cmp_TInstall.h"
#include "framework/fw_Forms.h"
#include "routines/routines_Strings.h"

#include <algorithm>

namespace cmp_TInstallContainer {

using cmp_TPathSpecifier::TpsContainerDestDir;
using fw_SysUtils::SameText;

const fw_Classes::TEnumInfo TInstallTypeInfo{"TInstallType", {"itFull", "itDefault", "itCompact", "itCustom"}};
const fw_Classes::TEnumInfo TInstallFileTypeInfo{
    "TInstallFileType",
    {"iftNormal", "iftJustADLL", "iftApplicationSpecificDLL", "iftVendorSharedDLL", "iftSystemWideDLL"}};
const fw_Classes::TEnumInfo TInstallFileStateInfo{"TInstallFileState",
                                                  {"ifsNone", "ifsCompress", "ifsInstall", "ifsCopying"}};

std::string InstallKey;

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

int RegisteredTypeOfClass(TClass Class)
{
    if (!Class)
        return 0;
    if (Class->InheritsFrom(&TCustomInstallGroup::StaticClass()))
        return rtInstallGroup;
    if (Class->InheritsFrom(&TFileContainer::StaticClass()))
        return rtFileContainer;
    if (Class->InheritsFrom(&TCustomInstallFile::StaticClass()))
        return rtInstallFile;
    return 0;
}

// ---- TInstallContainer ---------------------------------------------------------

FW_DEFINE_CLASS(TMessageParameter, TObject, nullptr, nullptr)
FW_DEFINE_CLASS(TDiskParameter, TObject, nullptr, nullptr)
FW_DEFINE_CLASS(TFileStatusParameter, TObject, nullptr, nullptr)
FW_DEFINE_CLASS(TDownloadStatusParameter, TObject, nullptr, nullptr)
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
        TInstallContainer* Other = All.Items(I);
        std::vector<TInstallObject*>& Helpers = Other->FHelpers;
        auto Gone = std::remove_if(Helpers.begin(), Helpers.end(),
                                   [this](TInstallObject* H) { return static_cast<TInstallContainer*>(H) == this; });
        if (Gone == Helpers.end())
            continue;
        Helpers.erase(Gone, Helpers.end());
        // A walk of that list under way must see that it changed.
        Other->FListenersStale = true;
        ++Other->FHelpersChanges;
    }
    for (int I = All.Count() - 1; I >= 0; --I) {
        if (I >= All.Count())
            continue;
        TInstallContainer* Other = All.Items(I);
        if (Other != this)
            Other->RemoveReferences(this);
    }
    FHelpers.clear();
    FListenersStale = true;
    ++FHelpersChanges;
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

int TInstallContainer::FileContainerCount() const { return CompCount(&TFileContainer::StaticClass()); }

TFileContainer* TInstallContainer::FileContainers(int Index) const
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

std::string TInstallContainer::GetFullDestDir() const
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
    FListenersStale = true;
    ++FHelpersChanges;
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

bool TInstallContainer::HasHelper(const TInstallObject* Obj) const
{
    return std::find(FHelpers.begin(), FHelpers.end(), Obj) != FHelpers.end();
}

void TInstallContainer::InstallObjects()
{
    FProcessStarted = true;
    // The order is taken at the start; a helper that a handler freed or moved
    // away meanwhile is passed over.
    const std::vector<TInstallObject*> Helpers = FHelpers;
    const unsigned Changes = FHelpersChanges;
    for (TInstallObject* Helper : Helpers)
        if ((Changes == FHelpersChanges || HasHelper(Helper)) && Helper->AutoProcess())
            Helper->Process();
}

bool TInstallContainer::WillInstall() const
{
    return FInclude && (FInstallType == itCustom || FInstallTypes.Contains(FInstallType));
}

void TInstallContainer::CompleteAfterReboot() {}

void TInstallContainer::DialogHook() {}

void TInstallContainer::RemoveObject(TInstallObject* Obj)
{
    auto It = std::find(FHelpers.begin(), FHelpers.end(), Obj);
    if (It != FHelpers.end()) {
        FHelpers.erase(It);
        FListenersStale = true;
        ++FHelpersChanges;
    }
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

bool TInstallContainer::HearsInformation() const { return RegisteredType() >= rtInstallFile; }

void TInstallContainer::SendInformation(TObject* Sender, int Code, TObject* Param)
{
    // A status code goes out for every 4 KB block at every level: the helpers
    // that hear codes are listed once, not found among thousands of files
    // each time.
    if (FListenersStale) {
        FListeners.clear();
        for (TInstallObject* Helper : FHelpers)
            if (Helper->HearsInformation())
                FListeners.push_back(Helper);
        FListenersStale = false;
    }
    if (FListeners.empty())
        return;
    // A handler may free or move a helper meanwhile; that one is passed over.
    const std::vector<TInstallObject*> Listeners = FListeners;
    const unsigned Changes = FHelpersChanges;
    for (TInstallObject* Helper : Listeners)
        if (Changes == FHelpersChanges || HasHelper(Helper))
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

TInstallObject::TInstallObject(TComponent* AOwner) : TInstallContainer(AOwner) {}

void TInstallObject::AttachToDesignRoot()
{
    cmp_TInstall::TCustomInstall* Root = cmp_TInstall::InstallRoot();
    if (!IsDesigning() || !Root || FDefaultContainerMade)
        return;
    Root->AddObject(this);
    FDefaultContainerMade = true;
    FContainer = Root;
    StoreReference(Root);
    SetDesignDefaults();
}

void TInstallObject::SetDesignDefaults()
{
    FDestDirType = SharedSpecifier<TpsContainerDestDir>();
    StoreReference(FDestDirType);
    FDestDir.clear();
    FDefaultDestDirTypeMade = true;
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

} // namespace cmp_TInstallContainer
