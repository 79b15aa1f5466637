#include "tools/uninstall_Record.h"

#include "framework/fw_SysUtils.h"

#include <algorithm>
#include <utility>

namespace uninstall_Record {

using namespace uninstall_Rules;
using fw_Handles::TRegKey;

TRegKey OpenKey(HKEY Base, const std::wstring& Path, REGSAM Access, LONG* Code)
{
    TRegKey Key;
    const LONG R = RegOpenKeyExW(Base, Path.c_str(), 0, Access, Key.Receive());
    if (Code)
        *Code = R;
    if (R != ERROR_SUCCESS)
        Key.Reset();
    return Key;
}

std::vector<std::wstring> SubKeyNames(HKEY Key)
{
    std::vector<std::wstring> Names;
    // Key names are at most 255 characters.
    wchar_t Buf[256];
    for (DWORD I = 0;; ++I) {
        DWORD Len = DWORD(std::size(Buf));
        const LONG R = RegEnumKeyExW(Key, I, Buf, &Len, nullptr, nullptr, nullptr, nullptr);
        if (R == ERROR_NO_MORE_ITEMS)
            return Names;
        if (R != ERROR_SUCCESS)
            throw fw_SysUtils::EOSError("Cannot list the subkeys of a registry key: " + fw_SysUtils::SysErrorMessage(R),
                                        DWORD(R));
        Names.emplace_back(Buf, Len);
    }
}

std::vector<std::wstring> ValueNames(HKEY Key)
{
    std::vector<std::wstring> Names;
    DWORD MaxLen = 0;
    if (RegQueryInfoKeyW(Key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &MaxLen, nullptr, nullptr,
                         nullptr) != ERROR_SUCCESS)
        MaxLen = 16383; // the largest a value name may be
    std::wstring Buf(size_t(MaxLen) + 1, L'\0');
    for (DWORD I = 0;; ++I) {
        DWORD Len = DWORD(Buf.size());
        LONG R = RegEnumValueW(Key, I, Buf.data(), &Len, nullptr, nullptr, nullptr, nullptr);
        if (R == ERROR_MORE_DATA) { // a value added while we list
            Buf.assign(16384, L'\0');
            Len = DWORD(Buf.size());
            R = RegEnumValueW(Key, I, Buf.data(), &Len, nullptr, nullptr, nullptr, nullptr);
        }
        if (R == ERROR_NO_MORE_ITEMS)
            return Names;
        if (R != ERROR_SUCCESS)
            throw fw_SysUtils::EOSError("Cannot list the values of a registry key: " + fw_SysUtils::SysErrorMessage(R),
                                        DWORD(R));
        Names.emplace_back(Buf.data(), Len);
    }
}

namespace {

// The raw data of a value; false when it cannot be read.
bool ReadRaw(HKEY Key, const std::wstring& Name, DWORD& Type, std::vector<BYTE>& Data)
{
    for (int Attempt = 0; Attempt < 3; ++Attempt) {
        DWORD Size = 0;
        if (RegQueryValueExW(Key, Name.c_str(), nullptr, &Type, nullptr, &Size) != ERROR_SUCCESS)
            return false;
        Data.assign(size_t(Size) + sizeof(wchar_t), 0);
        const LONG R = RegQueryValueExW(Key, Name.c_str(), nullptr, &Type, Data.data(), &Size);
        if (R == ERROR_SUCCESS) {
            Data.resize(Size);
            return true;
        }
        if (R != ERROR_MORE_DATA) // else it grew between the two calls
            return false;
    }
    return false;
}

} // namespace

std::optional<std::wstring> ReadText(HKEY Key, const std::wstring& Name)
{
    DWORD Type = 0;
    std::vector<BYTE> Data;
    if (!ReadRaw(Key, Name, Type, Data) || (Type != REG_SZ && Type != REG_EXPAND_SZ))
        return std::nullopt;
    // Stored text need not end with its null, nor hold a whole number of characters.
    std::wstring Text(reinterpret_cast<const wchar_t*>(Data.data()), Data.size() / sizeof(wchar_t));
    const size_t Null = Text.find(L'\0');
    if (Null != std::wstring::npos)
        Text.resize(Null);
    return Text;
}

std::optional<DWORD> ReadNumber(HKEY Key, const std::wstring& Name)
{
    DWORD Type = 0;
    std::vector<BYTE> Data;
    if (!ReadRaw(Key, Name, Type, Data))
        return std::nullopt;
    if (Type == REG_DWORD && Data.size() == 4) {
        DWORD V;
        std::copy(Data.begin(), Data.end(), reinterpret_cast<BYTE*>(&V));
        return V;
    }
    if (Type == REG_QWORD && Data.size() == 8) {
        uint64_t V;
        std::copy(Data.begin(), Data.end(), reinterpret_cast<BYTE*>(&V));
        if (V <= 0xFFFFFFFFu)
            return DWORD(V);
        return std::nullopt;
    }
    if (const auto Text = ReadText(Key, Name)) {
        uint64_t V = 0;
        const std::wstring T = TrimBlanks(*Text);
        if (IsNumberedName(L"#" + T, L"#", V) && V <= 0xFFFFFFFFu)
            return DWORD(V);
    }
    return std::nullopt;
}

void CountContents(HKEY Key, DWORD& Values, DWORD& SubKeys)
{
    const LONG R = RegQueryInfoKeyW(Key, nullptr, nullptr, nullptr, &SubKeys, nullptr, nullptr, &Values, nullptr,
                                    nullptr, nullptr, nullptr);
    if (R != ERROR_SUCCESS)
        throw fw_SysUtils::EOSError("Cannot read a registry key: " + fw_SysUtils::SysErrorMessage(R), DWORD(R));
}

std::optional<std::wstring> FindProduct(const std::wstring& Name)
{
    const std::wstring Wanted = TrimBlanks(Name);
    if (Wanted.empty())
        return std::nullopt;
    LONG Code = 0;
    TRegKey Base = OpenKey(HKEY_LOCAL_MACHINE, UninstallKey, KEY_READ, &Code);
    if (!Base) {
        if (Code == ERROR_FILE_NOT_FOUND)
            return std::nullopt;
        throw fw_SysUtils::EOSError("Cannot open the list of installed programs: " + fw_SysUtils::SysErrorMessage(Code),
                                    DWORD(Code));
    }
    // A backslash would name a key below another product's, and a name of
    // dots alone is left to the list below: only a real key name may reach
    // the deletion of the record.
    if (Name.find(L'\\') == std::wstring::npos && Name.find_first_not_of(L'.') != std::wstring::npos &&
        OpenKey(Base.Get(), Name, KEY_READ))
        return Name;
    for (const std::wstring& Key : SubKeyNames(Base.Get()))
        if (SameText(TrimBlanks(Key), Wanted))
            return Key;
    return std::nullopt;
}

namespace {

// The text values "<Prefix><n>" of a key in the order of their numbers.
std::vector<std::wstring> NumberedTexts(HKEY Key, std::wstring_view Prefix)
{
    std::vector<std::pair<uint64_t, std::wstring>> Found;
    for (const std::wstring& Name : ValueNames(Key)) {
        uint64_t N = 0;
        if (!IsNumberedName(Name, Prefix, N))
            continue;
        if (auto Text = ReadText(Key, Name))
            Found.emplace_back(N, std::move(*Text));
    }
    std::stable_sort(Found.begin(), Found.end(), [](const auto& A, const auto& B) { return A.first < B.first; });
    std::vector<std::wstring> Texts;
    for (auto& F : Found)
        Texts.push_back(std::move(F.second));
    return Texts;
}

std::wstring TextOr(HKEY Key, const std::wstring& Name) { return ReadText(Key, Name).value_or(std::wstring()); }

} // namespace

TRecord ReadRecord(const std::wstring& KeyName)
{
    TRecord R;
    R.KeyName = KeyName;
    LONG Code = 0;
    TRegKey Product = OpenKey(HKEY_LOCAL_MACHINE, std::wstring(UninstallKey) + L"\\" + KeyName, KEY_READ, &Code);
    if (!Product)
        throw fw_SysUtils::EOSError("Cannot open the uninstall record of " + Narrow(KeyName) + ": " +
                                        fw_SysUtils::SysErrorMessage(Code),
                                    DWORD(Code));
    R.DisplayName = TextOr(Product.Get(), L"DisplayName");
    R.UninstallString = TextOr(Product.Get(), L"UninstallString");
    R.QuietUninstallString = TextOr(Product.Get(), L"QuietUninstallString");
    R.InstallLocation = TextOr(Product.Get(), L"InstallLocation");

    std::vector<std::pair<uint64_t, std::wstring>> FilesKeys;
    std::wstring ServersKey, RegistryKeysKey;
    for (const std::wstring& Sub : SubKeyNames(Product.Get())) {
        uint64_t Order = 0;
        if (IsFilesKeyName(Sub, Order))
            FilesKeys.emplace_back(Order, Sub);
        else if (SameText(Sub, L"ActiveX"))
            ServersKey = Sub;
        else if (SameText(Sub, L"RegistryKeys"))
            RegistryKeysKey = Sub;
    }
    std::stable_sort(FilesKeys.begin(), FilesKeys.end(),
                     [](const auto& A, const auto& B) { return A.first < B.first; });
    for (const auto& F : FilesKeys)
        if (TRegKey Files = OpenKey(Product.Get(), F.second, KEY_READ))
            for (std::wstring& Path : NumberedTexts(Files.Get(), L"File"))
                R.Files.push_back(std::move(Path));
    if (!ServersKey.empty())
        if (TRegKey Servers = OpenKey(Product.Get(), ServersKey, KEY_READ))
            for (const std::wstring& Entry : NumberedTexts(Servers.Get(), L"File"))
                R.Servers.push_back(ParseServerEntry(Entry));
    if (!RegistryKeysKey.empty()) {
        if (TRegKey Keys = OpenKey(Product.Get(), RegistryKeysKey, KEY_READ)) {
            std::vector<std::pair<uint64_t, std::wstring>> Names;
            for (const std::wstring& Sub : SubKeyNames(Keys.Get())) {
                uint64_t N = 0;
                if (IsNumberedName(Sub, L"RegistryKey", N))
                    Names.emplace_back(N, Sub);
            }
            std::stable_sort(Names.begin(), Names.end(),
                             [](const auto& A, const auto& B) { return A.first < B.first; });
            for (const auto& N : Names) {
                TRegKey Entry = OpenKey(Keys.Get(), N.second, KEY_READ);
                if (!Entry)
                    continue;
                TRegistryEntry E;
                E.Name = N.second;
                E.Root = ReadNumber(Entry.Get(), L"Root");
                E.Key = TextOr(Entry.Get(), L"Key");
                if (TRegKey Values = OpenKey(Entry.Get(), L"Entries", KEY_READ))
                    E.Values = ValueNames(Values.Get());
                R.RegistryKeys.push_back(std::move(E));
            }
        }
    }
    return R;
}

} // namespace uninstall_Record
