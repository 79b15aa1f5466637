#include "routines/routines_API.h"

#include "framework/fw_Handles.h"
#include "routines/exceptions_Wendrel.h"

#include <algorithm>
#include <string_view>
#include <vector>

namespace routines_API {

using exceptions_Wendrel::EAPIRoutines;

int WindowsVersion()
{
    OSVERSIONINFOA Info{};
    Info.dwOSVersionInfoSize = sizeof Info;
    if (!GetVersionExA(&Info))
        throw EAPIRoutines("Could not get information about the current version of Windows");
    switch (Info.dwPlatformId) {
    case VER_PLATFORM_WIN32s:
        return 0;
    case VER_PLATFORM_WIN32_WINDOWS:
        return 1;
    case VER_PLATFORM_WIN32_NT:
        return fw_SysUtils::Format("%d.%d", {Info.dwMajorVersion, Info.dwMinorVersion}).find("3.5") == std::string::npos
                   ? 2
                   : 3;
    default:
        return 4;
    }
}

std::string TempFileName(bool Keep)
{
    char Dir[261], Name[261];
    DWORD N = GetTempPathA(sizeof Dir, Dir);
    if (N == 0 || N >= sizeof Dir || GetTempFileNameA(Dir, "bat", 0, Name) == 0)
        throw EAPIRoutines("Cannot create a temporary file");
    if (!Keep)
        DeleteFileA(Name);
    return Name;
}

std::string SystemDirectory()
{
    char Buf[261];
    UINT N = GetSystemDirectoryA(Buf, sizeof Buf);
    if (N == 0 || N >= sizeof Buf)
        throw EAPIRoutines("Could not retrieve the system directroy from windows");
    return std::string(Buf, N);
}

std::string WindowsDirectory()
{
    char Buf[261];
    UINT N = GetWindowsDirectoryA(Buf, sizeof Buf);
    if (N == 0 || N >= sizeof Buf)
        throw EAPIRoutines("Could not retrieve the windows directory from windows");
    return std::string(Buf, N);
}

std::string ShortPathName(const std::string& Path)
{
    char Buf[401];
    DWORD N = GetShortPathNameA(Path.c_str(), Buf, sizeof Buf);
    return N > 0 && N < sizeof Buf ? std::string(Buf, N) : Path;
}

namespace {

std::wstring Wide(const std::string& Text)
{
    const int N = MultiByteToWideChar(CP_ACP, 0, Text.data(), int(Text.size()), nullptr, 0);
    std::wstring Result(size_t(N), L'\0');
    MultiByteToWideChar(CP_ACP, 0, Text.data(), int(Text.size()), Result.data(), N);
    return Result;
}

bool SamePath(std::wstring_view A, std::wstring_view B)
{
    return CompareStringOrdinal(A.data(), int(A.size()), B.data(), int(B.size()), TRUE) == CSTR_EQUAL;
}

} // namespace

bool CancelPendingDelete(const std::string& Path)
{
    fw_Handles::TRegKey Key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"System\\CurrentControlSet\\Control\\Session Manager", 0,
                      KEY_QUERY_VALUE | KEY_SET_VALUE, Key.Receive()) != ERROR_SUCCESS)
        return false;
    const wchar_t* const Name = L"PendingFileRenameOperations";
    DWORD Type = 0, Size = 0;
    if (RegQueryValueExW(Key.Get(), Name, nullptr, &Type, nullptr, &Size) != ERROR_SUCCESS || Type != REG_MULTI_SZ ||
        Size == 0)
        return false;
    std::wstring Data(Size / sizeof(wchar_t) + 1, L'\0');
    if (RegQueryValueExW(Key.Get(), Name, nullptr, &Type, reinterpret_cast<BYTE*>(Data.data()), &Size) != ERROR_SUCCESS)
        return false;
    Data.resize(Size / sizeof(wchar_t));
    // Pairs of source and target; a deletion has an empty target, so the
    // list is read by its size, not up to its first empty string.
    std::vector<std::wstring> Items;
    for (size_t At = 0; At < Data.size();) {
        const size_t End = std::min(Data.find(L'\0', At), Data.size());
        Items.emplace_back(Data, At, End - At);
        At = End + 1;
    }
    while (!Items.empty() && Items.back().empty() && Items.size() % 2 == 1)
        Items.pop_back(); // the list's own terminator
    const std::wstring Long = Wide(Path), Short = Wide(ShortPathName(Path));
    auto Names = [&](std::wstring_view Source) {
        if (Source.substr(0, 4) == L"\\??\\")
            Source.remove_prefix(4);
        return SamePath(Source, Long) || SamePath(Source, Short);
    };
    std::wstring Kept;
    bool Cancelled = false;
    for (size_t I = 0; I + 1 < Items.size(); I += 2) {
        if (Items[I + 1].empty() && Names(Items[I])) {
            Cancelled = true;
            continue;
        }
        Kept += Items[I] + L'\0' + Items[I + 1] + L'\0';
    }
    if (!Cancelled)
        return false;
    if (Kept.empty())
        return RegDeleteValueW(Key.Get(), Name) == ERROR_SUCCESS;
    Kept += L'\0';
    return RegSetValueExW(Key.Get(), Name, 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(Kept.data()),
                          DWORD(Kept.size() * sizeof(wchar_t))) == ERROR_SUCCESS;
}

} // namespace routines_API
