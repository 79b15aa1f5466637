#include "system/cmp_TInstallRegistry.h"

#include "engine/cmp_TInstall.h"
#include "framework/fw_SysUtils.h"
#include "routines/routines_Strings.h"

namespace cmp_TInstallRegistry {

const fw_Classes::TEnumInfo TRegistryEntryTypeInfo{"TRegistryEntryType", {"retText", "retInteger", "retBoolean"}};
const fw_Classes::TEnumInfo TKeySpecifierInfo{"TKeySpecifier",
                                              {"ksAbsolute", "ksCompanyName", "ksProductName", "ksVersion"}};

namespace {

const char* const NoInstallRoot = "There is no TInstall component in your project";

cmp_TInstall::TCustomInstall& RequireInstallRoot()
{
    cmp_TInstall::TCustomInstall* Root = cmp_TInstall::InstallRoot();
    if (!Root)
        throw IEInstallRegistry(NoInstallRoot);
    return *Root;
}

// A key the registry would take, but not as meant: a blank key is the root
// key itself, and a blank part ("\SOFTWARE\\Quorvane", "\SOFTWARE\") makes
// the values land in a parent key.
bool IsWholeKey(const std::string& Key)
{
    std::string_view Rest = Key;
    if (!Rest.empty() && Rest.front() == '\\')
        Rest.remove_prefix(1);
    if (Rest.empty())
        return false;
    for (;;) {
        const size_t Slash = Rest.find('\\');
        if (fw_SysUtils::Trim(Rest.substr(0, Slash)).empty())
            return false;
        if (Slash == std::string_view::npos)
            return true;
        Rest.remove_prefix(Slash + 1);
    }
}

} // namespace

// ---- TRegistryEntry ------------------------------------------------------------

static void DefineRegistryEntry(fw_Classes::TPropertyBuilder<TRegistryEntry>& P)
{
    using E = TRegistryEntry;
    P.Boolean("Boolean", &E::Boolean, &E::SetBoolean);
    P.Enum<TRegistryEntryType>("EntryType", TRegistryEntryTypeInfo, &E::EntryType, &E::SetEntryType, std::nullopt);
    P.String("Ident", &E::Ident, &E::SetIdent);
    P.Integer("Integer", &E::Integer, &E::SetInteger);
    P.Reference<TCustomPathSpecifier>("PathSpecifier", &E::PathSpecifier, &E::SetPathSpecifier);
    P.String("Text", &E::Text, &E::SetText);
}

FW_DEFINE_CLASS(TRegistryEntry, fw_Classes::TCollectionItem, nullptr, DefineRegistryEntry)

TRegistryEntry::TRegistryEntry(fw_Classes::TCollection* ACollection) : TCollectionItem(ACollection)
{
    // An entry added to a loaded block belongs to it at once.
    if (auto* Owner = ACollection ? dynamic_cast<TCustomInstallRegistry*>(ACollection->GetOwner()) : nullptr)
        if (!Owner->IsLoading())
            FInstallRegistry = Owner;
}

void TRegistryEntry::Assign(fw_Classes::TPersistent* Source)
{
    auto* Other = dynamic_cast<TRegistryEntry*>(Source);
    if (!Other) {
        inherited::Assign(Source);
        return;
    }
    FBoolean = Other->FBoolean;
    FEntryType = Other->FEntryType;
    FIdent = Other->FIdent;
    FInteger = Other->FInteger;
    FPathSpecifier = Other->FPathSpecifier;
    FText = Other->FText;
    if (FPathSpecifier && FInstallRegistry)
        FPathSpecifier->FreeNotification(FInstallRegistry);
}

void TRegistryEntry::SetBoolean(bool Value)
{
    FBoolean = Value;
    if (FInstallRegistry)
        FEntryType = retBoolean;
}

void TRegistryEntry::SetInteger(int Value)
{
    FInteger = Value;
    if (FInstallRegistry)
        FEntryType = retInteger;
}

void TRegistryEntry::SetText(const std::string& Value)
{
    FText = Value;
    if (FInstallRegistry)
        FEntryType = retText;
}

void TRegistryEntry::SetPathSpecifier(TCustomPathSpecifier* Value)
{
    FPathSpecifier = Value;
    if (!FInstallRegistry)
        return;
    FEntryType = retText;
    if (Value) {
        FText = "%p";
        Value->FreeNotification(FInstallRegistry);
    }
}

std::string TRegistryEntry::GetEntryText() const
{
    if (!FPathSpecifier)
        return FText;
    return TCustomPathSpecifier::ExpandPathText(FText, FPathSpecifier->GetPath(FInstallRegistry));
}

void TRegistryEntry::WriteEntry(TRootKeys Root, const std::string& Key) const
{
    const std::string Block = FInstallRegistry ? FInstallRegistry->Name() : std::string();
    if (!IsWholeKey(Key))
        throw IERegistryEntry("%s cannot create the key %s in the registry", {Block, Key});
    routines_Registry::TWdrlRegistry Reg;
    Reg.SetRootKey(routines_Registry::SetRegistryRoot(Root));
    if (!Reg.OpenKey(Key, true))
        throw IERegistryEntry("%s cannot create the key %s in the registry", {Block, Key});
    switch (FEntryType) {
    case retText:
        Reg.WriteString(FIdent, GetEntryText());
        break;
    case retInteger:
        Reg.WriteInteger(FIdent, FInteger);
        break;
    case retBoolean:
        Reg.WriteInteger(FIdent, FBoolean ? 1 : 0);
        break;
    }
}

// ---- TRegistryEntries ----------------------------------------------------------

FW_DEFINE_CLASS(TRegistryEntries, fw_Classes::TCollection, nullptr, nullptr)

TRegistryEntries::TRegistryEntries(TCustomInstallRegistry* AOwner)
    : TCollection(fw_Classes::CreateItem<TRegistryEntry>), FOwner(AOwner)
{
    if (!AOwner)
        throw IERegistryEntries("Cannot create a TRegistryEntries component with a Nil Owner");
}

fw_Classes::TPersistent* TRegistryEntries::GetOwner() const { return FOwner; }

// ---- TCustomInstallRegistry ----------------------------------------------------

void TInstallRegistryList::Add(TCustomInstallRegistry* Item)
{
    if (!Item)
        throw IEInstallRegistryList("Cannot add blank entry to the registry list");
    Append(Item);
}

TInstallRegistryList& AllInstallRegistries()
{
    static TInstallRegistryList List;
    return List;
}

FW_DEFINE_CLASS(TCustomInstallRegistry, cmp_TInstallContainer::TInstallObject, nullptr, nullptr)

TCustomInstallRegistry::TCustomInstallRegistry(TComponent* AOwner) : TInstallObject(AOwner), FEntries(this)
{
    FAutoProcess = false;
    FInclude = true;
    AllInstallRegistries().Add(this);
}

TCustomInstallRegistry::~TCustomInstallRegistry() { AllInstallRegistries().Remove(this); }

void TCustomInstallRegistry::Loaded()
{
    inherited::Loaded();
    for (int I = 0; I < FEntries.Count(); ++I) {
        TRegistryEntry* Entry = FEntries.Items(I);
        Entry->FInstallRegistry = this;
        if (Entry->FPathSpecifier)
            Entry->FPathSpecifier->FreeNotification(this);
    }
}

void TCustomInstallRegistry::Notification(TComponent* AComponent, TOperation Operation)
{
    inherited::Notification(AComponent, Operation);
    if (Operation != TOperation::opRemove || !AComponent)
        return;
    for (int I = 0; I < FEntries.Count(); ++I)
        if (FEntries.Items(I)->FPathSpecifier == AComponent)
            FEntries.Items(I)->FPathSpecifier = nullptr;
    // The install root clears its process-wide reference before its removal
    // is told, and by then it no longer knows its own class.
    if (FKeySpecifierType != ksAbsolute && !cmp_TInstall::InstallRoot())
        FKeySpecifierType = ksAbsolute;
}

void TCustomInstallRegistry::SetKey(const std::string& Value)
{
    FKey = FKeySpecifierType == ksAbsolute ? Value : std::string();
}

void TCustomInstallRegistry::SetKeySpecifierType(TKeySpecifier Value)
{
    if (Value != ksAbsolute) {
        if (!IsLoading())
            RequireInstallRoot();
        FKey.clear();
        FRootKey = routines_Registry::hkLocalMachine;
    }
    FKeySpecifierType = Value;
}

std::string TCustomInstallRegistry::GetFullKey() const
{
    if (FKeySpecifierType == ksAbsolute) {
        std::string Key = FKey;
        if (!Key.empty() && Key.back() == '\\')
            Key.pop_back();
        return Key;
    }
    const cmp_TInstall::TInstallInformation& Info = *RequireInstallRoot().Information();
    std::string Key = "\\SOFTWARE\\" + Info.CompanyName;
    if (FKeySpecifierType >= ksProductName)
        Key += "\\" + Info.ProductName;
    if (FKeySpecifierType == ksVersion)
        Key += "\\" + Info.Version;
    return Key;
}

void TCustomInstallRegistry::InstallObjects()
{
    const std::string Key = GetFullKey();
    for (int I = 0; I < FEntries.Count(); ++I) {
        TRegistryEntry* Entry = FEntries.Items(I);
        bool Continue = true;
        if (OnBeforeWriteEntry)
            OnBeforeWriteEntry(this, Entry, Continue);
        if (Continue)
            Entry->WriteEntry(FRootKey, Key);
    }
    inherited::InstallObjects();
}

void TCustomInstallRegistry::HandleInformation(fw_Classes::TObject* Sender, int Code, fw_Classes::TObject* Param)
{
    inherited::HandleInformation(Sender, Code, Param);
    if (Code == icProcessRegistry)
        Process();
}

void TCustomInstallRegistry::WriteUninstallInfo(const std::string& Key)
{
    using routines_Registry::hkLocalMachine;
    if (!cmp_TInstallContainer::NamesAProduct(Key))
        throw IEInstallRegistry("%s cannot record its keys for the uninstaller: the product name is blank", {Name()});
    const std::string List = routines_Strings::IncludeTrailingBackslash(Key) + "RegistryKeys";
    std::string Entries;
    routines_Registry::ReadRegistryString(hkLocalMachine, List, "Entries", Entries, "0");
    // A count that is no number, or one behind the records, never makes a
    // block overwrite an earlier record: the next free number is taken.
    // Counted in 64 bits: the count at the top of its range is followed by
    // the next number, not a negative one.
    long long N = std::max(fw_SysUtils::StrToIntDef(fw_SysUtils::Trim(Entries), 0), 0) + 1LL;
    routines_Registry::TWdrlRegistry Probe;
    Probe.SetRootKey(HKEY_LOCAL_MACHINE);
    while (Probe.KeyExists(List + "\\RegistryKey" + std::to_string(N)))
        ++N;
    routines_Registry::WriteRegistryString(hkLocalMachine, List, "Entries", std::to_string(N));
    const std::string Record = List + "\\RegistryKey" + std::to_string(N);
    routines_Registry::WriteRegistryString(hkLocalMachine, Record, "Key", GetFullKey());
    routines_Registry::WriteRegistryInteger(hkLocalMachine, Record, "Root", int(FRootKey));
    for (int I = 0; I < FEntries.Count(); ++I) {
        const TRegistryEntry* Entry = FEntries.Items(I);
        routines_Registry::WriteRegistryString(hkLocalMachine, Record + "\\Entries", Entry->Ident(),
                                               Entry->GetEntryText());
    }
}

// ---- TInstallRegistry ----------------------------------------------------------

static void DefineInstallRegistry(fw_Classes::TPropertyBuilder<TInstallRegistry>& P)
{
    using R = TInstallRegistry;
    P.Reference<TInstallContainer>("Container", &R::Container, &R::SetContainer);
    P.Object<TRegistryEntries>("Entries", &R::Entries);
    P.Set<cmp_TInstallContainer::TInstallTypeSet>("InstallTypes", cmp_TInstallContainer::TInstallTypeInfo,
                                                  &R::InstallTypes, &R::SetInstallTypes,
                                                  cmp_TInstallContainer::DefaultInstallTypes);
    P.String("Key", &R::Key, &R::SetKey);
    P.Enum<TKeySpecifier>("KeySpecifierType", TKeySpecifierInfo, &R::KeySpecifierType, &R::SetKeySpecifierType,
                          ksAbsolute);
    P.Enum<TRootKeys>("RootKey", routines_Registry::TRootKeysInfo, &R::RootKey, &R::SetRootKey,
                      routines_Registry::hkLocalMachine);
    P.Boolean("Uninstall", &R::Uninstall, &R::SetUninstall, true);
}

FW_DEFINE_CLASS(TInstallRegistry, TCustomInstallRegistry, fw_Classes::CreateComponent<TInstallRegistry>,
                DefineInstallRegistry)

TInstallRegistry::TInstallRegistry(TComponent* AOwner) : TCustomInstallRegistry(AOwner) { AttachToDesignRoot(); }

void RegisterInstallRegistryClasses() { fw_Classes::RegisterClasses({&TInstallRegistry::StaticClass()}); }

} // namespace cmp_TInstallRegistry
