#include "Internal.h"

#include "engine/cmp_TInstall.h"

namespace cmp_TInstallContainer {

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

TCustomInstallGroup::TCustomInstallGroup(TComponent* AOwner) : TFileContainer(AOwner)
{
    MakePathSpecifier();
    AttachToDesignRoot();
}

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
    AttachToDesignRoot();
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

// An owner that frees all its components tells none of them, so the
// container and its specifier forget each other themselves.
TpsFileContainer::~TpsFileContainer()
{
    TInstallContainerList& All = AllInstallContainers();
    for (int I = 0; I < All.Count(); ++I) {
        TInstallContainer* C = All.Items(I);
        if (C->Is<TFileContainer>() && static_cast<TFileContainer*>(C)->PathSpecifier() == this)
            static_cast<TFileContainer*>(C)->SetPathSpecifier(nullptr);
    }
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

void TpsFileContainer::Validate(const TComponent* Component) const
{
    if (Component && (Component->Is<TFileContainer>() || Component->Is<TCustomInstallGroup>() ||
                      Component->Is<TCustomInstallFile>()))
        throw cmp_TPathSpecifier::IEPathSpecifier("A file container cannot reference another file container or group");
}

std::string TpsFileContainer::GetPath(const TComponent* Component) const
{
    Validate(Component);
    return FFileContainer ? FFileContainer->GetFullDestDir() : std::string();
}

std::string TpsFileContainer::GetDescription() const
{
    if (!FFileContainer)
        return "Path specifier for unknown file container";
    return "Path into which " + FFileContainer->Description() + " will be installed";
}

std::string TpsFileContainer::GetDisplayName() const
{
    if (!FFileContainer)
        return "Path specifier for unknown file container";
    return "<" + FFileContainer->Description() + ">";
}

} // namespace cmp_TInstallContainer
