// Registry blocks: a node of the install tree that writes a collection of
// values under one key when it is processed, and records the key and the
// value names under the product's uninstall key for the uninstaller.
#pragma once

#include "engine/cmp_TInstallContainer.h"
#include "engine/cmp_TPathSpecifier.h"
#include "framework/fw_Classes.h"
#include "routines/exceptions_Wendrel.h"
#include "routines/routines_Registry.h"

#include <functional>
#include <string>

namespace cmp_TInstallRegistry {

using cmp_TInstallContainer::TInstallContainer;
using cmp_TPathSpecifier::TCustomPathSpecifier;
using fw_Classes::TComponent;
using fw_Classes::TOperation;
using routines_Registry::TRootKeys;

FW_EXCEPTION(IEInstallRegistry, exceptions_Wendrel::IException);
FW_EXCEPTION(IERegistryEntry, exceptions_Wendrel::IException);
FW_EXCEPTION(IERegistryEntries, exceptions_Wendrel::IException);
FW_EXCEPTION(IEInstallRegistryList, exceptions_Wendrel::IException);

inline constexpr int rtInstallRegistry = 8500;
// The code that makes every registry block run its own Process.
inline constexpr int icProcessRegistry = -968;

enum TRegistryEntryType : uint8_t { retText, retInteger, retBoolean };
extern const fw_Classes::TEnumInfo TRegistryEntryTypeInfo;

// Where the block's key comes from: the Key itself, or the install root's
// company, product and version names.
enum TKeySpecifier : uint8_t { ksAbsolute, ksCompanyName, ksProductName, ksVersion };
extern const fw_Classes::TEnumInfo TKeySpecifierInfo;

class TCustomInstallRegistry;

// One value of a block.
class TRegistryEntry : public fw_Classes::TCollectionItem {
    FW_CLASS(TRegistryEntry, fw_Classes::TCollectionItem)

public:
    explicit TRegistryEntry(fw_Classes::TCollection* ACollection);
    void Assign(fw_Classes::TPersistent* Source) override;

    // Opens Key under Root (creating it) and writes the value.
    void WriteEntry(TRootKeys Root, const std::string& Key) const;
    // Text, with "%p" expanded to the path specifier's folder when one is set.
    std::string GetEntryText() const;

    bool Boolean() const { return FBoolean; }
    void SetBoolean(bool Value);
    TRegistryEntryType EntryType() const { return FEntryType; }
    void SetEntryType(TRegistryEntryType Value) { FEntryType = Value; }
    const std::string& Ident() const { return FIdent; }
    void SetIdent(const std::string& Value) { FIdent = Value; }
    int Integer() const { return FInteger; }
    void SetInteger(int Value);
    TCustomPathSpecifier* PathSpecifier() const { return FPathSpecifier; }
    void SetPathSpecifier(TCustomPathSpecifier* Value);
    const std::string& Text() const { return FText; }
    void SetText(const std::string& Value);

    // The block the entry belongs to, known once the project is loaded;
    // until then the setters only store.
    TCustomInstallRegistry* InstallRegistry() const { return FInstallRegistry; }

private:
    friend class TCustomInstallRegistry;
    bool FBoolean = false;
    TRegistryEntryType FEntryType = retText;
    std::string FIdent;
    int FInteger = 0;
    TCustomPathSpecifier* FPathSpecifier = nullptr;
    std::string FText;
    TCustomInstallRegistry* FInstallRegistry = nullptr;
};

class TRegistryEntries : public fw_Classes::TCollection {
    FW_CLASS(TRegistryEntries, fw_Classes::TCollection)

public:
    // A nil owner raises IERegistryEntries.
    explicit TRegistryEntries(TCustomInstallRegistry* AOwner);
    fw_Classes::TPersistent* GetOwner() const override;
    TRegistryEntry* Items(int Index) const { return static_cast<TRegistryEntry*>(TCollection::Items(Index)); }
    TRegistryEntry* Add() { return static_cast<TRegistryEntry*>(TCollection::Add()); }

private:
    TCustomInstallRegistry* FOwner;
};

using TBeforeWriteEntry =
    std::function<void(TCustomInstallRegistry* InstallRegistry, TRegistryEntry* Entry, bool& Continue)>;

class TCustomInstallRegistry : public cmp_TInstallContainer::TInstallObject {
    FW_CLASS(TCustomInstallRegistry, cmp_TInstallContainer::TInstallObject)

public:
    explicit TCustomInstallRegistry(TComponent* AOwner);
    ~TCustomInstallRegistry() override;
    void Loaded() override;
    void Notification(TComponent* AComponent, TOperation Operation) override;
    int RegisteredType() const override { return rtInstallRegistry; }
    void InstallObjects() override;
    void HandleInformation(fw_Classes::TObject* Sender, int Code, fw_Classes::TObject* Param) override;
    void WriteUninstallInfo(const std::string& Key) override;

    // The key the entries go under, from the root of RootKey.
    virtual std::string GetFullKey() const;

    TRegistryEntries* Entries() { return &FEntries; }
    void SetEntries(TRegistryEntries* Value) { FEntries.Assign(Value); }
    const std::string& Key() const { return FKey; }
    void SetKey(const std::string& Value);
    TKeySpecifier KeySpecifierType() const { return FKeySpecifierType; }
    void SetKeySpecifierType(TKeySpecifier Value);
    TRootKeys RootKey() const { return FRootKey; }
    void SetRootKey(TRootKeys Value) { FRootKey = Value; }

    TBeforeWriteEntry OnBeforeWriteEntry;

private:
    TRegistryEntries FEntries;
    std::string FKey = "\\SOFTWARE\\MyStuff";
    TKeySpecifier FKeySpecifierType = cmp_TInstallRegistry::ksAbsolute;
    TRootKeys FRootKey = routines_Registry::hkLocalMachine;
};

class TInstallRegistry : public TCustomInstallRegistry {
    FW_CLASS(TInstallRegistry, TCustomInstallRegistry)

public:
    explicit TInstallRegistry(TComponent* AOwner);
};

class TInstallRegistryList : public fw_Classes::TReferenceList<TCustomInstallRegistry> {
public:
    // nil raises IEInstallRegistryList.
    void Add(TCustomInstallRegistry* Item);
};

// Every live registry block.
TInstallRegistryList& AllInstallRegistries();

// Makes the block's classes known to the project reader.
void RegisterInstallRegistryClasses();

} // namespace cmp_TInstallRegistry
