#include "framework/fw_Registry.h"

#include <vector>

namespace fw_Registry {

using fw_SysUtils::Format;

FW_DEFINE_CLASS(TRegistry, fw_Classes::TObject, nullptr, nullptr)

TRegistry::TRegistry() = default;

TRegistry::TRegistry(REGSAM AAccess) : FAccess(AAccess) {}

TRegistry::~TRegistry() { CloseKey(); }

void TRegistry::SetRootKey(HKEY Value)
{
    if (FRootKey != Value) {
        CloseKey();
        FRootKey = Value;
    }
}

void TRegistry::CloseKey()
{
    if (KeyOpen()) {
        if (!FLazyWrite)
            RegFlushKey(FCurrentKey.Get());
        FCurrentKey.Reset();
        FCurrentPath.clear();
    }
}

HKEY TRegistry::GetBaseKey(bool Relative) const { return KeyOpen() && Relative ? FCurrentKey.Get() : FRootKey; }

void TRegistry::ChangeKey(fw_Handles::TRegKey Value, const std::string& Path)
{
    CloseKey();
    FCurrentKey = std::move(Value);
    FCurrentPath = Path;
}

static bool IsRelative(const std::string& Key) { return Key.empty() || Key[0] != '\\'; }

static std::string StripLeading(const std::string& Key) { return IsRelative(Key) ? Key : Key.substr(1); }

static void KeyNamesOf(HKEY Key, fw_Classes::TStrings& Strings)
{
    Strings.Clear();
    char Buf[256];
    for (DWORD I = 0;; ++I) {
        DWORD Len = sizeof Buf;
        if (RegEnumKeyExA(Key, I, Buf, &Len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        Strings.Add(std::string(Buf, Len));
    }
}

fw_Handles::TRegKey TRegistry::OpenSubKey(HKEY Base, const std::string& SubKey, REGSAM Access, LONG* Code)
{
    fw_Handles::TRegKey Result;
    LONG Rc = RegOpenKeyExA(Base, SubKey.c_str(), 0, Access, Result.Receive());
    if (Code)
        *Code = Rc;
    if (Rc != ERROR_SUCCESS)
        Result.Release(); // whatever the failed call left there is not ours
    return Result;
}

bool TRegistry::DeleteKeyTree(HKEY Base, const std::string& SubKey)
{
    // Subkeys go first, each relative to its key, deepest first.
    if (fw_Handles::TRegKey K = OpenSubKey(Base, SubKey, KEY_ALL_ACCESS); K.Get()) {
        fw_Classes::TStringList Names;
        KeyNamesOf(K.Get(), Names);
        for (int I = 0; I < Names.Count(); ++I)
            DeleteKeyTree(K.Get(), Names[I]);
    }
    return RegDeleteKeyA(Base, SubKey.c_str()) == ERROR_SUCCESS;
}

LONG TRegistry::OpenKeyHandle(HKEY Base, const std::string& SubKey, bool CanCreate, fw_Handles::TRegKey& Result)
{
    if (!CanCreate || SubKey.empty())
        return RegOpenKeyExA(Base, SubKey.c_str(), 0, FAccess, Result.Receive());
    return RegCreateKeyExA(Base, SubKey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, FAccess, nullptr,
                           Result.Receive(), nullptr);
}

bool TRegistry::OpenKey(const std::string& Key, bool CanCreate)
{
    bool Relative = IsRelative(Key);
    std::string S = StripLeading(Key);
    fw_Handles::TRegKey Result;
    LONG Rc = OpenKeyHandle(GetBaseKey(Relative), S, CanCreate, Result);
    if (Rc != ERROR_SUCCESS) {
        Result.Release();
        FLastError = Rc;
        return false;
    }
    std::string Path = Relative && KeyOpen() ? FCurrentPath + "\\" + S : S;
    ChangeKey(std::move(Result), Path);
    return true;
}

bool TRegistry::OpenKeyReadOnly(const std::string& Key)
{
    fw_Handles::TRestore<REGSAM> ReadOnly(FAccess, KEY_READ);
    return OpenKey(Key, false);
}

bool TRegistry::CreateKey(const std::string& Key)
{
    bool Relative = IsRelative(Key);
    fw_Handles::TRegKey Result;
    return RegCreateKeyExA(GetBaseKey(Relative), StripLeading(Key).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                           KEY_ALL_ACCESS, nullptr, Result.Receive(), nullptr) == ERROR_SUCCESS;
}

bool TRegistry::KeyExists(const std::string& Key)
{
    return OpenSubKey(GetBaseKey(IsRelative(Key)), StripLeading(Key), KEY_READ).Get() != nullptr;
}

bool TRegistry::DeleteKey(const std::string& Key)
{
    return DeleteKeyTree(GetBaseKey(IsRelative(Key)), StripLeading(Key));
}

bool TRegistry::DeleteValue(const std::string& Name)
{
    return RegDeleteValueA(FCurrentKey.Get(), Name.c_str()) == ERROR_SUCCESS;
}

bool TRegistry::ValueExists(const std::string& Name)
{
    return RegQueryValueExA(FCurrentKey.Get(), Name.c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

bool TRegistry::HasSubKeys()
{
    DWORD N = 0;
    return RegQueryInfoKeyA(FCurrentKey.Get(), nullptr, nullptr, nullptr, &N, nullptr, nullptr, nullptr, nullptr,
                            nullptr, nullptr, nullptr) == ERROR_SUCCESS &&
           N > 0;
}

void TRegistry::GetKeyNames(fw_Classes::TStrings& Strings) { KeyNamesOf(FCurrentKey.Get(), Strings); }

void TRegistry::GetValueNames(fw_Classes::TStrings& Strings)
{
    Strings.Clear();
    std::vector<char> Buf(16384);
    for (DWORD I = 0;; ++I) {
        DWORD Len = DWORD(Buf.size());
        if (RegEnumValueA(FCurrentKey.Get(), I, Buf.data(), &Len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        Strings.Add(std::string(Buf.data(), Len));
    }
}

void TRegistry::PutData(const std::string& Name, const void* Buffer, DWORD Size, DWORD Type)
{
    LONG Rc = RegSetValueExA(FCurrentKey.Get(), Name.c_str(), 0, Type, static_cast<const BYTE*>(Buffer), Size);
    if (Rc != ERROR_SUCCESS)
        throw ERegistryException(Format("Failed to set data for '%s'", {Name}), Rc);
}

DWORD TRegistry::GetData(const std::string& Name, void* Buffer, DWORD Size, DWORD& Type)
{
    LONG Rc = RegQueryValueExA(FCurrentKey.Get(), Name.c_str(), nullptr, &Type, static_cast<BYTE*>(Buffer), &Size);
    if (Rc != ERROR_SUCCESS)
        throw ERegistryException(Format("Failed to get data for '%s'", {Name}), Rc);
    return Size;
}

void TRegistry::WriteString(const std::string& Name, const std::string& Value)
{
    PutData(Name, Value.c_str(), DWORD(Value.size() + 1), REG_SZ);
}

std::string TRegistry::ReadString(const std::string& Name)
{
    DWORD Type = 0, Size = 0;
    if (RegQueryValueExA(FCurrentKey.Get(), Name.c_str(), nullptr, &Type, nullptr, &Size) != ERROR_SUCCESS)
        return std::string();
    if (Type != REG_SZ && Type != REG_EXPAND_SZ)
        throw ERegistryException(Format("Invalid data type for '%s'", {Name}));
    std::string S(Size, '\0');
    Size = GetData(Name, S.data(), Size, Type);
    S.resize(Size);
    while (!S.empty() && S.back() == '\0')
        S.pop_back();
    return S;
}

void TRegistry::WriteInteger(const std::string& Name, int Value)
{
    DWORD V = DWORD(Value);
    PutData(Name, &V, sizeof V, REG_DWORD);
}

int TRegistry::ReadInteger(const std::string& Name)
{
    DWORD V = 0, Type = 0;
    try {
        GetData(Name, &V, sizeof V, Type);
    } catch (const ERegistryException& E) {
        throw ERegistryException(Format("Invalid data type for '%s'", {Name}), E.ErrorCode);
    }
    if (Type != REG_DWORD)
        throw ERegistryException(Format("Invalid data type for '%s'", {Name}));
    return int(V);
}

void TRegistry::WriteBool(const std::string& Name, bool Value) { WriteInteger(Name, Value ? 1 : 0); }

bool TRegistry::ReadBool(const std::string& Name) { return ReadInteger(Name) != 0; }

void TRegistry::WriteFloat(const std::string& Name, double Value) { PutData(Name, &Value, sizeof Value, REG_BINARY); }

double TRegistry::ReadFloat(const std::string& Name)
{
    double V = 0;
    DWORD Type = 0;
    DWORD N;
    try {
        N = GetData(Name, &V, sizeof V, Type);
    } catch (const ERegistryException& E) {
        throw ERegistryException(Format("Invalid data type for '%s'", {Name}), E.ErrorCode);
    }
    if (Type != REG_BINARY || N != sizeof V)
        throw ERegistryException(Format("Invalid data type for '%s'", {Name}));
    return V;
}

} // namespace fw_Registry
