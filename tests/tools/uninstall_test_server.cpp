// A stand-in for a self-registering program: asked with /UNREGSERVER, it
// leaves "<its path>.unregistered" beside itself, so a test sees from outside
// that the uninstaller asked it. Any other command line: exit code 1.
#include "framework/fw_Handles.h"

#include <string>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    const std::wstring Line = GetCommandLineW();
    if (Line.find(L" /UNREGSERVER") == std::wstring::npos)
        return 1;
    wchar_t Self[MAX_PATH];
    const DWORD N = GetModuleFileNameW(nullptr, Self, MAX_PATH);
    if (N == 0 || N >= MAX_PATH)
        return 1;
    const std::wstring Marker = std::wstring(Self, N) + L".unregistered";
    fw_Handles::THandle File(
        CreateFileW(Marker.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    return File ? 0 : 1;
}
