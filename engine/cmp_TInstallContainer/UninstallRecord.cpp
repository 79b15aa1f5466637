#include "engine/cmp_TInstallContainer.h"
#include "framework/fw_SysUtils.h"
#include "routines/routines_Registry.h"

#include <algorithm>
#include <string>

namespace cmp_TInstallContainer {

void AddUninstallEntry(const std::string& ListKey, const std::string& Data)
{
    // The key is opened once for the three values: an installation of
    // thousands of files pays for every opening.
    routines_Registry::TWdrlRegistry Reg;
    Reg.SetRootKey(HKEY_LOCAL_MACHINE);
    if (!Reg.OpenKey(ListKey, true))
        throw routines_Registry::EIRCannotWriteValue(
            fw_SysUtils::Format("Cannot install into registry. Key: %s Ident: %s Value %s", {ListKey, "Entries", Data}),
            Reg.LastError());
    const std::string Entries = Reg.ValueExists("Entries") ? fw_SysUtils::Trim(Reg.ReadString("Entries")) : "";
    int Count = 0;
    // A count that is no number no longer says which values are taken:
    // guessing one could overwrite an earlier record.
    if (!Entries.empty() && !fw_SysUtils::TryStrToInt(Entries, Count))
        throw fw_Registry::ERegistryException("The count of the list " + ListKey + " is not a number: " + Entries);
    // The count at the top of its range is followed by the next number, not
    // a negative one; that count is no longer read as one, so the list ends
    // there and the next entry goes to the next list. A count behind the
    // entries never makes one overwrite an earlier entry: the next free
    // number is taken.
    long long N = std::max(Count, 0) + 1LL;
    while (Reg.ValueExists("File" + std::to_string(N)))
        ++N;
    Reg.WriteString("File" + std::to_string(N), Data);
    Reg.WriteString("Entries", std::to_string(N));
}

bool AddUninstallFile(const std::string& Key, const std::string& Path)
{
    const std::string Base = Key + (!Key.empty() && Key.back() == '\\' ? "Files" : "\\Files");
    for (int Attempt = 0; Attempt < UninstallFilesKeys; ++Attempt) {
        try {
            AddUninstallEntry(Base + (Attempt ? fw_SysUtils::IntToStr(Attempt) : std::string()), Path);
            return true;
        } catch (const routines_Registry::EIRCannotWriteValue&) {
            // this key can't take it: the next one may
        } catch (const fw_Registry::ERegistryException&) {
        }
    }
    return false;
}

bool NamesAProduct(const std::string& UninstallKey)
{
    const std::string Base = UninstallKeyBase; // ends with a backslash
    const std::string_view Key = UninstallKey;
    if (Key.size() < Base.size() - 1 ||
        !fw_SysUtils::SameText(Key.substr(0, Base.size() - 1), Base.substr(0, Base.size() - 1)))
        return true;
    return Key.size() > Base.size() && Key[Base.size() - 1] == '\\' &&
           !fw_SysUtils::Trim(Key.substr(Base.size())).empty();
}

} // namespace cmp_TInstallContainer
