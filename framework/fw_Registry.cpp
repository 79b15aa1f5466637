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
    if (FCurrentKey) {
        if (!FLazyWrite)
            RegFlushKey(FCurrentKey);
        RegCloseKey(FCurrentKey);
        FCurrentKey = nullptr;
        FCurrentPath.clear();
    }
}

HKEY TRegistry::GetBaseKey(bool Relative) const { return FCurrentKey && Relative ? FCurrentKey : FRootKey; }

void TRegistry::ChangeKey(HKEY Value, const std::string& Path)
{
    CloseKey();
    FCurrentKey = Value;
    FCurrentPath = Path;
}

static bool IsRelative(const std::string& Key) { return Key.empty() || Key[0] != '\\'; }

static std::string StripLeading(const std::string& Key) { return IsRelative(Key) ? Key : Key.substr(1); }

bool TRegistry::OpenKey(const std::string& Key, bool CanCreate)
{
    bool Relative = IsRelative(Key);
    std::string S = StripLeading(Key);
    HKEY Result = nullptr;
    LONG Rc;
    if (!CanCreate || S.empty())
        Rc = RegOpenKeyExA(GetBaseKey(Relative), S.c_str(), 0, FAccess, &Result);
    else
        Rc = RegCreateKeyExA(GetBaseKey(Relative), S.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, FAccess, nullptr,
                             &Result, nullptr);
    if (Rc != ERROR_SUCCESS)
        return false;
    std::string Path = Relative && FCurrentKey ? FCurrentPath + "\\" + S : S;
    ChangeKey(Result, Path);
    return true;
}

bool TRegistry::OpenKeyReadOnly(const std::string& Key)
{
    REGSAM Saved = FAccess;
    FAccess = KEY_READ;
    bool Ok = OpenKey(Key, false);
    FAccess = Saved;
    return Ok;
}

bool TRegistry::CreateKey(const std::string& Key)
{
    bool Relative = IsRelative(Key);
    std::string S = StripLeading(Key);
    HKEY Result = nullptr;
    if (RegCreateKeyExA(GetBaseKey(Relative), S.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                        &Result, nullptr) != ERROR_SUCCESS)
        return false;
    RegCloseKey(Result);
    return true;
}

HKEY TRegistry::GetKey(const std::string& Key)
{
    bool Relative = IsRelative(Key);
    HKEY Result = nullptr;
    if (RegOpenKeyExA(GetBaseKey(Relative), StripLeading(Key).c_str(), 0, FAccess, &Result) != ERROR_SUCCESS)
        return nullptr;
    return Result;
}

bool TRegistry::KeyExists(const std::string& Key)
{
    REGSAM Saved = FAccess;
    FAccess = KEY_READ;
    HKEY K = GetKey(Key);
    FAccess = Saved;
    if (K)
        RegCloseKey(K);
    return K != nullptr;
}

bool TRegistry::DeleteKey(const std::string& Key)
{
    // Removes the key's subkeys first: RegDeleteKey takes only leaves.
    bool Relative = IsRelative(Key);
    std::string S = StripLeading(Key);
    HKEY Old = FCurrentKey;
    std::string OldPath = FCurrentPath;
    HKEY K = nullptr;
    if (RegOpenKeyExA(GetBaseKey(Relative), S.c_str(), 0, KEY_ALL_ACCESS, &K) == ERROR_SUCCESS) {
        FCurrentKey = K;
        fw_Classes::TStringList Names;
        GetKeyNames(Names);
        for (int I = 0; I < Names.Count(); ++I)
            DeleteKey(Names[I]);
        FCurrentKey = Old;
        FCurrentPath = OldPath;
        RegCloseKey(K);
    }
    return RegDeleteKeyA(GetBaseKey(Relative), S.c_str()) == ERROR_SUCCESS;
}

bool TRegistry::DeleteValue(const std::string& Name)
{
    return RegDeleteValueA(FCurrentKey, Name.c_str()) == ERROR_SUCCESS;
}

bool TRegistry::ValueExists(const std::string& Name)
{
    return RegQueryValueExA(FCurrentKey, Name.c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

bool TRegistry::HasSubKeys()
{
    DWORD N = 0;
    return RegQueryInfoKeyA(FCurrentKey, nullptr, nullptr, nullptr, &N, nullptr, nullptr, nullptr, nullptr, nullptr,
                            nullptr, nullptr) == ERROR_SUCCESS &&
           N > 0;
}

void TRegistry::GetKeyNames(fw_Classes::TStrings& Strings)
{
    Strings.Clear();
    char Buf[256];
    for (DWORD I = 0;; ++I) {
        DWORD Len = sizeof Buf;
        if (RegEnumKeyExA(FCurrentKey, I, Buf, &Len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        Strings.Add(std::string(Buf, Len));
    }
}

void TRegistry::GetValueNames(fw_Classes::TStrings& Strings)
{
    Strings.Clear();
    std::vector<char> Buf(16384);
    for (DWORD I = 0;; ++I) {
        DWORD Len = DWORD(Buf.size());
        if (RegEnumValueA(FCurrentKey, I, Buf.data(), &Len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        Strings.Add(std::string(Buf.data(), Len));
    }
}

void TRegistry::PutData(const std::string& Name, const void* Buffer, DWORD Size, DWORD Type)
{
    if (RegSetValueExA(FCurrentKey, Name.c_str(), 0, Type, static_cast<const BYTE*>(Buffer), Size) != ERROR_SUCCESS)
        throw ERegistryException(Format("Failed to set data for '%s'", {Name}));
}

DWORD TRegistry::GetData(const std::string& Name, void* Buffer, DWORD Size, DWORD& Type)
{
    if (RegQueryValueExA(FCurrentKey, Name.c_str(), nullptr, &Type, static_cast<BYTE*>(Buffer), &Size) != ERROR_SUCCESS)
        throw ERegistryException(Format("Failed to get data for '%s'", {Name}));
    return Size;
}

void TRegistry::WriteString(const std::string& Name, const std::string& Value)
{
    PutData(Name, Value.c_str(), DWORD(Value.size() + 1), REG_SZ);
}

std::string TRegistry::ReadString(const std::string& Name)
{
    DWORD Type = 0, Size = 0;
    if (RegQueryValueExA(FCurrentKey, Name.c_str(), nullptr, &Type, nullptr, &Size) != ERROR_SUCCESS)
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
    } catch (const ERegistryException&) {
        throw ERegistryException(Format("Invalid data type for '%s'", {Name}));
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
    } catch (const ERegistryException&) {
        throw ERegistryException(Format("Invalid data type for '%s'", {Name}));
    }
    if (Type != REG_BINARY || N != sizeof V)
        throw ERegistryException(Format("Invalid data type for '%s'", {Name}));
    return V;
}

} // namespace fw_Registry
