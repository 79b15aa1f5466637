#include "routines/routines_API.h"

#include "routines/exceptions_Wendrel.h"

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

} // namespace routines_API
