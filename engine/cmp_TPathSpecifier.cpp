#include "engine/cmp_TPathSpecifier.h"

#include "engine/cmp_TInstall.h"
#include "engine/cmp_TInstallContainer.h"
#include "engine/routines_ExpandPaths.h"
#include "routines/routines_API.h"
#include "routines/routines_Registry.h"
#include "routines/routines_Strings.h"

#include <algorithm>

namespace cmp_TPathSpecifier {

using cmp_TInstallContainer::TInstallContainer;
using cmp_TInstallContainer::TInstallObject;
using routines_Strings::ExcludeTrailingBackslash;
using routines_Strings::IncludeTrailingBackslash;

// ---- lists ---------------------------------------------------------------------

void TPathSpecifierList::Add(TCustomPathSpecifier* Item)
{
    if (!Item)
        throw IEPathSpecifierList("Tried to add a nil object to the path specifier list");
    Append(Item);
}

TCustomPathSpecifier* TPathSpecifierList::FindSpecifier(TClass ComponentClass) const
{
    for (TCustomPathSpecifier* Item : FItems)
        if (Item->InheritsFrom(ComponentClass))
            return Item;
    throw IEPathSpecifier("Could not find the path specifier");
}

TPathSpecifierList& PathSpecifiers()
{
    static TPathSpecifierList List;
    return List;
}

TStandardPathSpecList& StandardPathSpecifiers()
{
    static TStandardPathSpecList List;
    return List;
}

const std::vector<TClass>& StandardKinds()
{
    static const std::vector<TClass> Kinds = {
        &TpsVDEDLL::StaticClass(),           &TpsCommonFiles::StaticClass(), &TpsContainerArchiveFile::StaticClass(),
        &TpsContainerDestDir::StaticClass(), &TpsDesktopMenu::StaticClass(), &TpsInstallSource::StaticClass(),
        &TpsMainArchiveFile::StaticClass(),  &TpsMainInstall::StaticClass(), &TpsProgramFiles::StaticClass(),
        &TpsProgramMenu::StaticClass(),      &TpsStartMenu::StaticClass(),   &TpsStartupMenu::StaticClass(),
        &TpsSystem::StaticClass(),           &TpsWindow::StaticClass()};
    return Kinds;
}

void EnsureStandardSpecifiers(TComponent* Owner)
{
    for (TClass Kind : StandardKinds()) {
        bool Found = false;
        for (int I = 0; I < PathSpecifiers().Count() && !Found; ++I)
            Found = PathSpecifiers().Items(I)->InheritsFrom(Kind);
        if (Found)
            continue;
        auto* Specifier = static_cast<TCustomPathSpecifier*>(Kind->Create(Owner));
        try {
            Specifier->SetName(Specifier->KindName());
        } catch (...) {
            delete Specifier;
            throw;
        }
    }
}

// ---- TCustomPathSpecifier ------------------------------------------------------

FW_DEFINE_CLASS(TCustomPathSpecifier, TComponent, nullptr, nullptr)

TCustomPathSpecifier::TCustomPathSpecifier(TComponent* AOwner) : TComponent(AOwner) { PathSpecifiers().Add(this); }

TCustomPathSpecifier::~TCustomPathSpecifier() { PathSpecifiers().Remove(this); }

void TCustomPathSpecifier::Validate(const TComponent* Component) const {}

std::string TCustomPathSpecifier::GetDescription() const { return "Unspecified"; }

std::string TCustomPathSpecifier::GetDescriptionFor(const TComponent* Component) const { return GetDescription(); }

std::string TCustomPathSpecifier::GetPath(const TComponent* Component) const
{
    std::string Path;
    if (OnGetPath)
        OnGetPath(Component, Path);
    return Path;
}

std::string TCustomPathSpecifier::GetDisplayName() const { return GetDescription(); }

std::string TCustomPathSpecifier::GetDisplayNameFor(const TComponent* Component) const
{
    return GetDescriptionFor(Component);
}

std::string TCustomPathSpecifier::ExpandPathText(std::string_view Template, std::string_view Path)
{
    // Only %p has a meaning here; any other "%x" gives the letter itself.
    return routines_ExpandPaths::ExpandDirectives(Template, [Path](char C, std::string& Result) {
        if (C == 'p' || C == 'P')
            Result += Path;
        else
            Result += C;
    });
}

// ---- TPathSpecifier ----------------------------------------------------------------

static void DefinePathSpecifier(fw_Classes::TPropertyBuilder<TPathSpecifier>& P)
{
    P.String("Description", &TPathSpecifier::Description, &TPathSpecifier::SetDescription);
}

FW_DEFINE_CLASS(TPathSpecifier, TCustomPathSpecifier, fw_Classes::CreateComponent<TPathSpecifier>, DefinePathSpecifier)

TPathSpecifier::TPathSpecifier(TComponent* AOwner) : TCustomPathSpecifier(AOwner) {}

// ---- TStandardPathSpecifier ----------------------------------------------------

FW_DEFINE_CLASS(TStandardPathSpecifier, TCustomPathSpecifier, nullptr, nullptr)

TStandardPathSpecifier::TStandardPathSpecifier(TComponent* AOwner) : TCustomPathSpecifier(AOwner)
{
    StandardPathSpecifiers().Add(this);
}

TStandardPathSpecifier::~TStandardPathSpecifier() { StandardPathSpecifiers().Remove(this); }

// ---- the built-in kinds ----------------------------------------------------------

namespace {

cmp_TInstall::TCustomInstall* RequireInstallRoot(const TComponent* Component)
{
    cmp_TInstall::TCustomInstall* Root = cmp_TInstall::InstallRoot();
    if (!Root)
        throw IEPathSpecifier("There is no TInstall component so the path specifier could not be expanded for %s",
                              {Component ? Component->Name() : std::string()});
    return Root;
}

std::string NameOf(const TComponent* Component) { return Component ? Component->Name() : std::string(); }

// The install object whose container a container-relative kind uses.
const TInstallObject* RequireInstallObject(const TComponent* Component, const std::string& KindName)
{
    auto* Obj = Component && Component->Is<TInstallObject>() ? static_cast<const TInstallObject*>(Component) : nullptr;
    if (!Obj)
        throw IEPathSpecifier("%s must be a %s to use the %s path specifier",
                              {NameOf(Component), "TInstallObject", KindName});
    return Obj;
}

} // namespace

#define WENDREL_DEFINE_KIND(Kind)                                                                                      \
    FW_DEFINE_CLASS(Kind, TStandardPathSpecifier, fw_Classes::CreateComponent<Kind>, nullptr)                          \
    Kind::Kind(TComponent* AOwner) : TStandardPathSpecifier(AOwner) { FKindName = std::string(#Kind).substr(1); }

WENDREL_DEFINE_KIND(TpsVDEDLL)
WENDREL_DEFINE_KIND(TpsCommonFiles)
WENDREL_DEFINE_KIND(TpsContainerArchiveFile)
WENDREL_DEFINE_KIND(TpsContainerDestDir)
WENDREL_DEFINE_KIND(TpsDesktopMenu)
WENDREL_DEFINE_KIND(TpsInstallSource)
WENDREL_DEFINE_KIND(TpsMainArchiveFile)
WENDREL_DEFINE_KIND(TpsMainInstall)
WENDREL_DEFINE_KIND(TpsProgramFiles)
WENDREL_DEFINE_KIND(TpsProgramMenu)
WENDREL_DEFINE_KIND(TpsStartMenu)
WENDREL_DEFINE_KIND(TpsStartupMenu)
WENDREL_DEFINE_KIND(TpsSystem)
WENDREL_DEFINE_KIND(TpsWindow)

#undef WENDREL_DEFINE_KIND

std::string TpsVDEDLL::GetDescription() const { return "Vellmark Database Engine DLL Path"; }
std::string TpsVDEDLL::GetDisplayName() const { return "VDE DLL"; }
std::string TpsVDEDLL::GetPath(const TComponent* Component) const
{
    std::string Path;
    routines_Registry::ReadRegistryString(routines_Registry::hkLocalMachine, "\\Software\\Vellmark\\Database Engine",
                                          "DLLPath", Path, "");
    if (Path.empty())
        Path = IncludeTrailingBackslash(routines_ExpandPaths::ProgramFilesDir()) + "Vellmark\\Common Files\\VDE";
    return routines_Strings::GetToken(Path, 1, ";");
}

std::string TpsCommonFiles::GetDescription() const
{
    return "Path of the common files directory under the program files directory";
}
std::string TpsCommonFiles::GetDisplayName() const { return "Common files"; }
std::string TpsCommonFiles::GetPath(const TComponent*) const { return routines_ExpandPaths::CommonFilesDir(); }

std::string TpsContainerArchiveFile::GetDescription() const { return "Path to the archive file of the container"; }
std::string TpsContainerArchiveFile::GetDisplayName() const { return "Container archive file"; }
void TpsContainerArchiveFile::Validate(const TComponent* Component) const
{
    const TInstallObject* Obj = RequireInstallObject(Component, KindName());
    if (!Obj->Container())
        throw IEPathSpecifier("Cannot use ddContainerArchiveFile for %s unless you assign a Container", {Obj->Name()});
    if (!Obj->Container()->Is<cmp_TInstallContainer::TFileRelated>())
        throw IEPathSpecifier("Cannot use the ddContainerArchiveFile path specifier for %s because the Container is "
                              "not a TFileRelated descendant",
                              {Obj->Name()});
}
std::string TpsContainerArchiveFile::GetPath(const TComponent* Component) const
{
    Validate(Component);
    auto* Container =
        static_cast<cmp_TInstallContainer::TFileRelated*>(static_cast<const TInstallObject*>(Component)->Container());
    return ExcludeTrailingBackslash(Container->GetFullArchiveFile());
}

std::string TpsContainerDestDir::GetDescription() const { return "Path of the group (container)"; }
std::string TpsContainerDestDir::GetDisplayName() const { return GetDescription(); }
void TpsContainerDestDir::Validate(const TComponent* Component) const
{
    const TInstallObject* Obj = RequireInstallObject(Component, KindName());
    if (!Obj->Container())
        throw IEPathSpecifier("Cannot use ddContainerDestDir for %s unless you assign a Container", {Obj->Name()});
}
std::string TpsContainerDestDir::GetPath(const TComponent* Component) const
{
    Validate(Component);
    return ExcludeTrailingBackslash(static_cast<const TInstallObject*>(Component)->Container()->GetFullDestDir());
}
std::string TpsContainerDestDir::GetDescriptionFor(const TComponent* Component) const
{
    Validate(Component);
    TInstallContainer* Container = static_cast<const TInstallObject*>(Component)->Container();
    if (Container->Is<cmp_TInstall::TCustomInstall>())
        return "Main installation directory";
    if (Container->Is<cmp_TInstallContainer::TCustomInstallGroup>())
        return fw_SysUtils::Format("Path of the <%s> group",
                                   {static_cast<cmp_TInstallContainer::TFileContainer*>(Container)->Description()});
    if (Container->Is<cmp_TInstallContainer::TFileContainer>())
        return fw_SysUtils::Format("Path of the <%s> directory",
                                   {static_cast<cmp_TInstallContainer::TFileContainer*>(Container)->Description()});
    return fw_SysUtils::Format("Path of the <%s> group", {Container->Name()});
}
std::string TpsContainerDestDir::GetDisplayNameFor(const TComponent* Component) const
{
    Validate(Component);
    TInstallContainer* Container = static_cast<const TInstallObject*>(Component)->Container();
    if (Container->Is<cmp_TInstall::TCustomInstall>())
        return "Main installation directory";
    if (Container->Is<cmp_TInstallContainer::TFileContainer>())
        return fw_SysUtils::Format("<%s>",
                                   {static_cast<cmp_TInstallContainer::TFileContainer*>(Container)->Description()});
    return fw_SysUtils::Format("<%s>", {Container->Name()});
}

std::string TpsDesktopMenu::GetDescription() const { return "Path of the Desktop"; }
std::string TpsDesktopMenu::GetDisplayName() const { return "Desktop"; }
std::string TpsDesktopMenu::GetPath(const TComponent*) const { return routines_ExpandPaths::DesktopDir(); }

std::string TpsInstallSource::GetDescription() const { return "Path from which the user ran the install"; }
std::string TpsInstallSource::GetDisplayName() const { return "Install source"; }
void TpsInstallSource::Validate(const TComponent* Component) const { RequireInstallRoot(Component); }
// The s switch gives SourceDir exactly as typed, possibly with a final backslash.
std::string TpsInstallSource::GetPath(const TComponent* Component) const
{
    return ExcludeTrailingBackslash(RequireInstallRoot(Component)->SourceDir());
}

std::string TpsMainArchiveFile::GetDescription() const
{
    return "Archive containing most or all non-internet installation files";
}
std::string TpsMainArchiveFile::GetDisplayName() const { return "Main archive"; }
void TpsMainArchiveFile::Validate(const TComponent* Component) const { RequireInstallRoot(Component); }
std::string TpsMainArchiveFile::GetPath(const TComponent* Component) const
{
    cmp_TInstall::TCustomInstall* Root = RequireInstallRoot(Component);
    if (Root->Switches().Contains(cmp_TInstall::swSelfExtract)) {
        const std::string& Program = Root->ParameterContents()[cmp_TInstall::swSelfExtract];
        if (fw_SysUtils::Trim(Program).empty())
            throw exceptions_Wendrel::IEInstall(
                "You forgot to pass in the name of the self-extracting executable. Usage example: \"-eSetup.exe\"");
        return IncludeTrailingBackslash(Root->SourceDir()) + Program;
    }
    std::string Dir = fw_SysUtils::Trim(ArchiveDir).empty() ? Root->SourceDir() : ArchiveDir;
    return IncludeTrailingBackslash(Dir) + "files.1";
}

std::string TpsMainInstall::GetDescription() const { return "Main installation directory"; }
std::string TpsMainInstall::GetDisplayName() const { return "Main install dir"; }
void TpsMainInstall::Validate(const TComponent* Component) const
{
    cmp_TInstall::TCustomInstall* Root = RequireInstallRoot(Component);
    if (Component == Root)
        throw IEPathSpecifier("Cannot use the ddMainInstallDir path specifier for a TInstall component");
}
std::string TpsMainInstall::GetPath(const TComponent* Component) const
{
    Validate(Component);
    return cmp_TInstall::InstallRoot()->GetFullDestDir();
}

std::string TpsProgramFiles::GetDescription() const { return "Path of the program files directory"; }
std::string TpsProgramFiles::GetDisplayName() const { return "Program files"; }
std::string TpsProgramFiles::GetPath(const TComponent*) const { return routines_ExpandPaths::ProgramFilesDir(); }

std::string TpsProgramMenu::GetDescription() const { return "Path of the Programs folder under the Start Menu"; }
std::string TpsProgramMenu::GetDisplayName() const { return "Program menu"; }
std::string TpsProgramMenu::GetPath(const TComponent*) const { return routines_ExpandPaths::ProgramsDir(); }

std::string TpsStartMenu::GetDescription() const { return "Path of Start Menu"; }
std::string TpsStartMenu::GetDisplayName() const { return "Start menu"; }
std::string TpsStartMenu::GetPath(const TComponent*) const { return routines_ExpandPaths::StartMenuDir(); }

std::string TpsStartupMenu::GetDescription() const
{
    return "Path of the Startup folder in the Programs folder under the Start Menu";
}
std::string TpsStartupMenu::GetDisplayName() const { return "Startup menu"; }
std::string TpsStartupMenu::GetPath(const TComponent*) const { return routines_ExpandPaths::StartupDir(); }

std::string TpsSystem::GetDescription() const { return "Path of system directory"; }
std::string TpsSystem::GetDisplayName() const { return "System dir"; }
std::string TpsSystem::GetPath(const TComponent*) const
{
    return ExcludeTrailingBackslash(routines_API::SystemDirectory());
}

std::string TpsWindow::GetDescription() const { return "Path of the Windows directory"; }
std::string TpsWindow::GetDisplayName() const { return "Windows dir"; }
std::string TpsWindow::GetPath(const TComponent*) const
{
    return ExcludeTrailingBackslash(routines_API::WindowsDirectory());
}

void RegisterPathSpecifierClasses()
{
    fw_Classes::RegisterClass(&TPathSpecifier::StaticClass());
    for (TClass Kind : StandardKinds())
        fw_Classes::RegisterClass(Kind);
}

} // namespace cmp_TPathSpecifier
