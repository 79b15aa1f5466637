// Shell links: the shortcuts an installation leaves behind. A link group
// makes a folder (the product's folder under the Start menu's Programs); a
// link makes one shortcut file in its folder (".LNK" through the shell's
// link object, ".URL" as a small INI file) or, on shells without link files,
// a Program Manager item. Each link file made is recorded for the
// uninstaller.
#pragma once

#include "engine/cmp_TInstallContainer.h"
#include "engine/cmp_TPathSpecifier.h"
#include "framework/fw_Classes.h"
#include "routines/exceptions_Wendrel.h"

#include <string>

namespace cmp_TInstallShellLink {

using cmp_TInstallContainer::TInstallContainer;
using cmp_TPathSpecifier::TCustomPathSpecifier;
using fw_Classes::TComponent;
using fw_Classes::TOperation;

FW_EXCEPTION(IEInstallShellLink, exceptions_Wendrel::IException);
FW_EXCEPTION(IEShellLinkGroup, exceptions_Wendrel::IException);
FW_EXCEPTION(IEInstallShellLinkList, exceptions_Wendrel::IException);

inline constexpr int rtShellLinkGroup = 7000;
inline constexpr int rtShellLink = 8000;
// Information codes: a link group tells its helpers it is installing; the
// others make every link or link group run its own Process.
inline constexpr int icLinkGroupInstalling = -991;
inline constexpr int icProcessShellLink = -970;
inline constexpr int icProcessLinkGroup = -969;

enum TMethodType : uint8_t { mtAutoDetect, mtShellLinkInterface, mtProgramManager };
extern const fw_Classes::TEnumInfo TMethodTypeInfo;

class TCustomShellLinkGroup : public cmp_TInstallContainer::TInstallObject {
    FW_CLASS(TCustomShellLinkGroup, cmp_TInstallContainer::TInstallObject)

public:
    explicit TCustomShellLinkGroup(TComponent* AOwner);
    int RegisteredType() const override { return rtShellLinkGroup; }
    void InstallObjects() override;
    void HandleInformation(fw_Classes::TObject* Sender, int Code, fw_Classes::TObject* Param) override;
    void RemoveReferences(TComponent* Component) override;

    // Creates the group's folder with its missing parents.
    void MakeFolder() const;
};

// The product's folder under the Start menu's Programs folder; at most one.
class TMainLinkGroup : public TCustomShellLinkGroup {
    FW_CLASS(TMainLinkGroup, TCustomShellLinkGroup)

public:
    explicit TMainLinkGroup(TComponent* AOwner);
    ~TMainLinkGroup() override;
    // Always the Programs folder, whatever is given.
    void SetDestDirType(TCustomPathSpecifier* Value) override;
};

class TCustomInstallShellLink : public cmp_TInstallContainer::TInstallObject {
    FW_CLASS(TCustomInstallShellLink, cmp_TInstallContainer::TInstallObject)

public:
    explicit TCustomInstallShellLink(TComponent* AOwner);
    ~TCustomInstallShellLink() override;
    void Notification(TComponent* AComponent, TOperation Operation) override;
    int RegisteredType() const override { return rtShellLink; }
    void InstallObjects() override;
    void HandleInformation(fw_Classes::TObject* Sender, int Code, fw_Classes::TObject* Param) override;
    void RemoveReferences(TComponent* Component) override;
    void WriteUninstallInfo(const std::string& Key) override;

    virtual void InitializeShellLink();
    virtual void CreateProgramManagerItem();
    virtual void CreateShellLink();
    virtual void CreateInternetShortcut();
    virtual void SetLinkName(const std::string& Value);
    virtual void SetObjectLocation(const std::string& Value);
    virtual void SetObjectLocationType(TCustomPathSpecifier* Value);
    virtual void SetObjectLink(TInstallContainer* Value);
    // The target: ObjectLocation, or relative to ObjectLocationType.
    virtual std::string GetObjectLocation() const;

    // The link file: the folder, a backslash and LinkName.
    std::string GetLinkPath() const;
    // LinkName ends in ".URL" (any case).
    bool IsInternetShortcut() const;

    bool ShellLinkInitialized() const { return FShellLinkInitialized; }
    TMethodType Method() const { return FMethod; }
    void SetMethod(TMethodType Value) { FMethod = Value; }
    int HotKey() const { return FHotKey; }
    void SetHotKey(int Value) { FHotKey = uint16_t(Value); }
    const std::string& LinkName() const { return FLinkName; }
    TInstallContainer* ObjectLink() const { return FObjectLink; }
    const std::string& ObjectLocation() const { return FObjectLocation; }
    TCustomPathSpecifier* ObjectLocationType() const { return FObjectLocationType; }
    const std::string& Parameters() const { return FParameters; }
    void SetParameters(const std::string& Value) { FParameters = Value; }
    // What the last install made: True once a link file or item exists
    // that the uninstall record is to list.
    bool LinkMade() const { return FLinkMade; }

protected:
    // Reports the failure of one link under its name; a failure that is
    // already the link's own passes unchanged.
    [[noreturn]] void RaiseCreateFailure() const;

    bool FShellLinkInitialized = false;
    TMethodType FMethod = mtAutoDetect;
    fw_Classes::TStringList FProgramManagerLines;
    uint16_t FHotKey = 0;
    std::string FLinkName;
    TInstallContainer* FObjectLink = nullptr;
    std::string FObjectLocation;
    TCustomPathSpecifier* FObjectLocationType = nullptr;
    std::string FParameters;
    bool FLinkMade = false;

private:
    // The link or its owner is being freed: a link whose target goes leaves
    // the project only when it is not.
    bool BeingFreed() const;
};

class TInstallShellLink : public TCustomInstallShellLink {
    FW_CLASS(TInstallShellLink, TCustomInstallShellLink)

public:
    explicit TInstallShellLink(TComponent* AOwner);
};

// A link in the main link group's folder.
class TInstallMainLink : public TCustomInstallShellLink {
    FW_CLASS(TInstallMainLink, TCustomInstallShellLink)

public:
    explicit TInstallMainLink(TComponent* AOwner);
    ~TInstallMainLink() override;
    // Only the main link group.
    void SetContainer(TInstallContainer* Value) override;
    // Always the container's folder, whatever is given.
    void SetDestDirType(TCustomPathSpecifier* Value) override;
};

// The installed place of the link's ObjectLink: an install file's full
// path, another component's folder.
class TpsObjectLink : public cmp_TPathSpecifier::TStandardPathSpecifier {
    FW_CLASS(TpsObjectLink, cmp_TPathSpecifier::TStandardPathSpecifier)

public:
    explicit TpsObjectLink(TComponent* AOwner);
    std::string GetDescription() const override;
    std::string GetDisplayName() const override;
    std::string GetPath(const TComponent* Component) const override;
    void Validate(const TComponent* Component) const override;
};

class TShellLinkGroupList : public fw_Classes::TReferenceList<TCustomShellLinkGroup> {};

class TShellLinkList : public fw_Classes::TReferenceList<TCustomInstallShellLink> {
public:
    // nil raises IEInstallShellLinkList.
    void Add(TCustomInstallShellLink* Item);
};

TShellLinkGroupList& LinkGroups();
TShellLinkList& MainLinks();
TShellLinkList& AllShellLinks();
// The one main link group, or nil.
TMainLinkGroup* MainLinkGroup();

// Makes the classes a project may name known to the project reader.
void RegisterShellLinkClasses();

} // namespace cmp_TInstallShellLink
