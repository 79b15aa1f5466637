#include "routines/routines_Registry.h"

namespace routines_Registry {

using fw_SysUtils::Format;

const fw_Classes::TEnumInfo TRootKeysInfo{
    "TRootKeys", {"hkClassesRoot", "hkCurrentConfig", "hkCurrentUser", "hkDynData", "hkLocalMachine", "hkUsers"}};

const char* const RunOnceKey = "\\Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";

namespace {

constexpr REGSAM KeyReadWrite = KEY_READ | KEY_WRITE; // 0x2001F

const HKEY RootHandles[] = {HKEY_CLASSES_ROOT, HKEY_CURRENT_CONFIG, HKEY_CURRENT_USER,
                            HKEY_DYN_DATA,     HKEY_LOCAL_MACHINE,  HKEY_USERS};

// A registry class on the given root, for one routine call.
struct TRootedRegistry : TWdrlRegistry {
    explicit TRootedRegistry(TRootKeys Root) { SetRootKey(SetRegistryRoot(Root)); }
};

} // namespace

HKEY SetRegistryRoot(TRootKeys Root) { return RootHandles[Root <= hkUsers ? Root : hkCurrentUser]; }

TRootKeys RootKeyOfHandle(HKEY Key)
{
    for (int I = hkClassesRoot; I <= hkUsers; ++I)
        if (RootHandles[I] == Key)
            return TRootKeys(I);
    return hkCurrentUser;
}

FW_DEFINE_CLASS(TWdrlRegistry, fw_Registry::TRegistry, nullptr, nullptr)

LONG TWdrlRegistry::OpenKeyHandle(HKEY Base, const std::string& SubKey, bool CanCreate, fw_Handles::TRegKey& Result)
{
    if (!CanCreate || SubKey.empty())
        return RegOpenKeyExA(Base, SubKey.c_str(), 0, KeyReadWrite, Result.Receive());
    // A key that is there is opened at once: every open is a round trip to
    // the registry, and writers such as the uninstall record call this per value.
    const LONG Rc = RegOpenKeyExA(Base, SubKey.c_str(), 0, KeyReadWrite, Result.Receive());
    if (Rc == ERROR_SUCCESS)
        return Rc;
    Result.Release(); // whatever the failed call left there is not ours
    if (OpenSubKey(Base, SubKey, KEY_READ).Get())
        return Rc;
    return RegCreateKeyExA(Base, SubKey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                           Result.Receive(), nullptr);
}

void WriteRegistryString(TRootKeys Root, const std::string& Key, const std::string& Ident, const std::string& Value)
{
    TRootedRegistry Reg(Root);
    if (!Reg.OpenKey(Key, true))
        throw EIRCannotWriteValue(
            Format("Cannot install into registry. Key: %s Ident: %s Value %s", {Key, Ident, Value}), Reg.LastError());
    Reg.WriteString(Ident, Value);
}

void WriteRegistryInteger(TRootKeys Root, const std::string& Key, const std::string& Ident, int Value)
{
    TRootedRegistry Reg(Root);
    if (!Reg.OpenKey(Key, true))
        throw EIRCannotWriteValue(Key, Reg.LastError());
    Reg.WriteInteger(Ident, Value);
}

void ReadRegistryString(TRootKeys Root, const std::string& Key, const std::string& Ident, std::string& Value,
                        const std::string& Default)
{
    Value = Default;
    TRootedRegistry Reg(Root);
    // OpenKey fails on a missing key: no separate look for it first.
    if (Reg.OpenKey(Key, false) && Reg.ValueExists(Ident)) {
        try {
            Value = Reg.ReadString(Ident);
        } catch (const fw_Registry::ERegistryException&) {
            Value = Default; // a value of another type is as good as none
        }
    }
}

int ReadRegistryInteger(TRootKeys Root, const std::string& Key, const std::string& Ident, int Default)
{
    TRootedRegistry Reg(Root);
    if (Reg.OpenKey(Key, false) && Reg.ValueExists(Ident)) {
        try {
            return Reg.ReadInteger(Ident);
        } catch (const fw_Registry::ERegistryException&) {
            return Default; // a value of another type is as good as none
        }
    }
    return Default;
}

void DeleteRegistryTree(TRootKeys Root, const std::string& Key)
{
    fw_Classes::TStringList Names;
    {
        TRootedRegistry Reg(Root);
        if (!Reg.OpenKey(Key, false))
            return;
        Reg.GetKeyNames(Names);
    }
    for (int I = 0; I < Names.Count(); ++I)
        DeleteRegistryTree(Root, Key + "\\" + Names[I]);
    TRootedRegistry Reg(Root);
    Reg.DeleteKey(Key);
}

bool AddRunOnceEntry(const std::string& Name, const std::string& CommandLine, bool Unique)
{
    TRootedRegistry Reg(hkLocalMachine);
    if (!Reg.OpenKey(RunOnceKey, true))
        return false;
    std::string Suffix;
    for (int N = 1; Unique && Reg.ValueExists(Name + Suffix); ++N)
        Suffix = std::to_string(N);
    Reg.WriteString(Name + Suffix, CommandLine);
    Reg.SetLazyWrite(false);
    Reg.CloseKey();
    return true;
}

void SetUniqueComponentName(fw_Classes::TComponent* Component, const std::string& Base)
{
    for (int N = 0;; ++N) {
        std::string Candidate = N == 0 ? Base : Base + std::to_string(N);
        try {
            Component->SetName(Candidate);
            return;
        } catch (const fw_Classes::EComponentError&) {
            // A taken name is passed over; a name that can never be valid
            // would be refused for every number, so it ends the search.
            if (!fw_Classes::IsValidIdent(Candidate))
                throw;
        }
    }
}

} // namespace routines_Registry
