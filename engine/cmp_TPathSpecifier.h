// Path specifiers: small components that each know one kind of base folder
// (a shell folder, the install root's destination, the container's folder or
// archive, ...). A component's destination is its specifier's path followed
// by its relative text.
#pragma once

#include "framework/fw_Classes.h"
#include "routines/exceptions_Wendrel.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace cmp_TPathSpecifier {

using fw_Classes::TClass;
using fw_Classes::TComponent;

FW_EXCEPTION(IEPathSpecifier, exceptions_Wendrel::IException);
FW_EXCEPTION(IEPathSpecifierList, exceptions_Wendrel::IException);

using TGetPathEvent = std::function<void(const TComponent* Component, std::string& Path)>;

class TCustomPathSpecifier : public TComponent {
    FW_CLASS(TCustomPathSpecifier, TComponent)

public:
    explicit TCustomPathSpecifier(TComponent* AOwner);
    ~TCustomPathSpecifier() override;

    // Raises IEPathSpecifier when Component may not use this kind.
    virtual void Validate(const TComponent* Component) const;
    virtual std::string GetDescription() const;
    virtual std::string GetDescriptionFor(const TComponent* Component) const;
    virtual std::string GetPath(const TComponent* Component) const;
    virtual std::string GetDisplayName() const;
    virtual std::string GetDisplayNameFor(const TComponent* Component) const;

    // Replaces %p / %P in Template by Path; "%%" gives "%".
    static std::string ExpandPathText(std::string_view Template, std::string_view Path);

    const std::string& KindName() const { return FKindName; }

    TGetPathEvent OnGetPath;

protected:
    std::string FKindName;
};

// A kind defined by the project: its path is what OnGetPath yields.
class TPathSpecifier : public TCustomPathSpecifier {
    FW_CLASS(TPathSpecifier, TCustomPathSpecifier)

public:
    explicit TPathSpecifier(TComponent* AOwner);
    const std::string& Description() const { return FDescription; }
    void SetDescription(const std::string& Value) { FDescription = Value; }

private:
    std::string FDescription = "My cool new path specifier";
};

// Base of the built-in kinds; each registers itself in the built-in list.
class TStandardPathSpecifier : public TCustomPathSpecifier {
    FW_CLASS(TStandardPathSpecifier, TCustomPathSpecifier)

public:
    explicit TStandardPathSpecifier(TComponent* AOwner);
    ~TStandardPathSpecifier() override;
};

class TpsVDEDLL : public TStandardPathSpecifier {
    FW_CLASS(TpsVDEDLL, TStandardPathSpecifier)

public:
    explicit TpsVDEDLL(TComponent* AOwner);
    std::string GetDescription() const override;
    std::string GetDisplayName() const override;
    std::string GetPath(const TComponent* Component) const override;
};

class TpsCommonFiles : public TStandardPathSpecifier {
    FW_CLASS(TpsCommonFiles, TStandardPathSpecifier)

public:
    explicit TpsCommonFiles(TComponent* AOwner);
    std::string GetDescription() const override;
    std::string GetDisplayName() const override;
    std::string GetPath(const TComponent* Component) const override;
};

class TpsContainerArchiveFile : public TStandardPathSpecifier {
    FW_CLASS(TpsContainerArchiveFile, TStandardPathSpecifier)

public:
    explicit TpsContainerArchiveFile(TComponent* AOwner);
    std::string GetDescription() const override;
    std::string GetDisplayName() const override;
    std::string GetPath(const TComponent* Component) const override;
    void Validate(const TComponent* Component) const override;
};

class TpsContainerDestDir : public TStandardPathSpecifier {
    FW_CLASS(TpsContainerDestDir, TStandardPathSpecifier)

public:
    explicit TpsContainerDestDir(TComponent* AOwner);
    std::string GetDescription() const override;
    std::string GetDisplayName() const override;
    std::string GetPath(const TComponent* Component) const override;
    void Validate(const TComponent* Component) const override;
    std::string GetDescriptionFor(const TComponent* Component) const override;
    std::string GetDisplayNameFor(const TComponent* Component) const override;
};

class TpsDesktopMenu : public TStandardPathSpecifier {
    FW_CLASS(TpsDesktopMenu, TStandardPathSpecifier)

public:
    explicit TpsDesktopMenu(TComponent* AOwner);
    std::string GetDescription() const override;
    std::string GetDisplayName() const override;
    std::string GetPath(const TComponent* Component) const override;
};

class TpsInstallSource : public TStandardPathSpecifier {
    FW_CLASS(TpsInstallSource, TStandardPathSpecifier)

public:
    explicit TpsInstallSource(TComponent* AOwner);
    std::string GetDescription() const override;
    std::string GetDisplayName() const override;
    std::string GetPath(const TComponent* Component) const override;
    void Validate(const TComponent* Component) const override;
};

class TpsMainArchiveFile : public TStandardPathSpecifier {
    FW_CLASS(TpsMainArchiveFile, TStandardPathSpecifier)

public:
    explicit TpsMainArchiveFile(TComponent* AOwner);
    std::string GetDescription() const override;
    std::string GetDisplayName() const override;
    std::string GetPath(const TComponent* Component) const override;
    void Validate(const TComponent* Component) const override;

    // Replaces SourceDir for the main archive once the user named another
    // folder at a disk prompt.
    std::string ArchiveDir;
};

class TpsMainInstall : public TStandardPathSpecifier {
    FW_CLASS(TpsMainInstall, TStandardPathSpecifier)

public:
    explicit TpsMainInstall(TComponent* AOwner);
    std::string GetDescription() const override;
    std::string GetDisplayName() const override;
    std::string GetPath(const TComponent* Component) const override;
    void Validate(const TComponent* Component) const override;
};

class TpsProgramFiles : public TStandardPathSpecifier {
    FW_CLASS(TpsProgramFiles, TStandardPathSpecifier)

public:
    explicit TpsProgramFiles(TComponent* AOwner);
    std::string GetDescription() const override;
    std::string GetDisplayName() const override;
    std::string GetPath(const TComponent* Component) const override;
};

class TpsProgramMenu : public TStandardPathSpecifier {
    FW_CLASS(TpsProgramMenu, TStandardPathSpecifier)

public:
    explicit TpsProgramMenu(TComponent* AOwner);
    std::string GetDescription() const override;
    std::string GetDisplayName() const override;
    std::string GetPath(const TComponent* Component) const override;
};

class TpsStartMenu : public TStandardPathSpecifier {
    FW_CLASS(TpsStartMenu, TStandardPathSpecifier)

public:
    explicit TpsStartMenu(TComponent* AOwner);
    std::string GetDescription() const override;
    std::string GetDisplayName() const override;
    std::string GetPath(const TComponent* Component) const override;
};

class TpsStartupMenu : public TStandardPathSpecifier {
    FW_CLASS(TpsStartupMenu, TStandardPathSpecifier)

public:
    explicit TpsStartupMenu(TComponent* AOwner);
    std::string GetDescription() const override;
    std::string GetDisplayName() const override;
    std::string GetPath(const TComponent* Component) const override;
};

class TpsSystem : public TStandardPathSpecifier {
    FW_CLASS(TpsSystem, TStandardPathSpecifier)

public:
    explicit TpsSystem(TComponent* AOwner);
    std::string GetDescription() const override;
    std::string GetDisplayName() const override;
    std::string GetPath(const TComponent* Component) const override;
};

class TpsWindow : public TStandardPathSpecifier {
    FW_CLASS(TpsWindow, TStandardPathSpecifier)

public:
    explicit TpsWindow(TComponent* AOwner);
    std::string GetDescription() const override;
    std::string GetDisplayName() const override;
    std::string GetPath(const TComponent* Component) const override;
};

// A list of references to path specifiers (it owns none of them).
class TPathSpecifierList : public fw_Classes::TReferenceList<TCustomPathSpecifier> {
public:
    virtual ~TPathSpecifierList() = default;
    // nil raises IEPathSpecifierList.
    void Add(TCustomPathSpecifier* Item);
    // The first entry of ComponentClass or a descendant; IEPathSpecifier
    // "Could not find the path specifier" when there is none.
    TCustomPathSpecifier* FindSpecifier(TClass ComponentClass) const;
    template <class T>
    T* Find() const
    {
        return static_cast<T*>(FindSpecifier(&T::StaticClass()));
    }
};

class TStandardPathSpecList : public TPathSpecifierList {};

// Every live path specifier, and every live built-in one.
TPathSpecifierList& PathSpecifiers();
TStandardPathSpecList& StandardPathSpecifiers();

// The classes of the 14 built-in kinds, in their table order.
const std::vector<TClass>& StandardKinds();

// Creates, owned by Owner, one specifier of each built-in kind that has no
// live instance yet, named by its KindName.
void EnsureStandardSpecifiers(TComponent* Owner);

// Makes the kinds a project may name known to the project reader.
void RegisterPathSpecifierClasses();

} // namespace cmp_TPathSpecifier
