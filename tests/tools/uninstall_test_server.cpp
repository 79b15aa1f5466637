// A stand-in for a self-registering program: asked with /UNREGSERVER, it
// leaves "<its path>.unregistered" beside itself, so a test sees from outside
// that the uninstaller asked it. "/SHORT <path>" writes the short form of the
// path to the standard output, which a test cannot learn from outside. Any
// other command line: exit code 1.
#include "framework/fw_Handles.h"

#include <string>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    const std::wstring Line = GetCommandLineW();
    if (const size_t At = Line.find(L" /SHORT "); At != std::wstring::npos) {
        std::wstring Path = Line.substr(At + 8);
        if (Path.size() >= 2 && Path.front() == L'"' && Path.back() == L'"') // Wine quotes an argument with blanks
            Path = Path.substr(1, Path.size() - 2);
        wchar_t Short[MAX_PATH];
        const DWORD N = GetShortPathNameW(Path.c_str(), Short, MAX_PATH);
        if (N == 0 || N >= MAX_PATH)
            return 1;
        char Text[MAX_PATH * 3];
        const int Size = WideCharToMultiByte(CP_UTF8, 0, Short, int(N), Text, sizeof Text, nullptr, nullptr);
        DWORD Written = 0;
        return WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), Text, DWORD(Size), &Written, nullptr) ? 0 : 1;
    }
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
