// The uninstall record the setup program leaves under HKLM
// \Software\Microsoft\Windows\CurrentVersion\Uninstall\<ProductName>, read
// as it is, not as it should be: its lists are taken from the values that are
// present ("Entries" is only a count the setup keeps for itself, and may be
// wrong, huge or not a number), values of another type are passed over.
#pragma once

#include "framework/fw_Handles.h"
#include "tools/uninstall_Rules.h"

#include <optional>
#include <string>
#include <vector>

namespace uninstall_Record {

inline constexpr const wchar_t* UninstallKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

// Wide registry access, each key held by a TRegKey.
fw_Handles::TRegKey OpenKey(HKEY Base, const std::wstring& Path, REGSAM Access, LONG* Code = nullptr);
std::vector<std::wstring> SubKeyNames(HKEY Key);
std::vector<std::wstring> ValueNames(HKEY Key);
// A REG_SZ or REG_EXPAND_SZ value as stored (not expanded); none for any other type.
std::optional<std::wstring> ReadText(HKEY Key, const std::wstring& Name);
// A REG_DWORD, a REG_QWORD that fits, or a text of digits; none otherwise.
std::optional<DWORD> ReadNumber(HKEY Key, const std::wstring& Name);
// The number of values and subkeys of a key.
void CountContents(HKEY Key, DWORD& Values, DWORD& SubKeys);

// One entry of "RegistryKeys": the values the setup wrote under a key.
struct TRegistryEntry {
    std::wstring Name;         // "RegistryKey<n>"
    std::optional<DWORD> Root; // 0..5 as the setup numbers the roots
    std::wstring Key;          // as recorded
    std::vector<std::wstring> Values;
};

struct TRecord {
    std::wstring KeyName; // the product key's own name, which may differ from the one asked for
    std::vector<uninstall_Rules::TServerEntry> Servers;
    std::vector<std::wstring> Files; // in record order, repeats kept
    std::vector<TRegistryEntry> RegistryKeys;
    std::wstring DisplayName, UninstallString, QuietUninstallString, InstallLocation;
};

// The name of the product key for Name: the key of exactly that name, else
// the one whose name trimmed of blanks equals Name trimmed. None when there
// is none.
std::optional<std::wstring> FindProduct(const std::wstring& Name);
TRecord ReadRecord(const std::wstring& KeyName);

} // namespace uninstall_Record
