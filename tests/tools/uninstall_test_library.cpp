// A stand-in for a self-registering library: DllUnregisterServer leaves
// "<its path>.unregistered" beside it, so a test sees from outside that the
// uninstaller called it.
#include "framework/fw_Handles.h"

#include <string>

namespace {
HMODULE Self = nullptr;
}

extern "C" BOOL WINAPI DllMain(HINSTANCE Instance, DWORD Reason, LPVOID)
{
    if (Reason == DLL_PROCESS_ATTACH)
        Self = Instance;
    return TRUE;
}

extern "C" __declspec(dllexport) HRESULT STDAPICALLTYPE DllUnregisterServer()
{
    wchar_t Path[MAX_PATH];
    const DWORD N = GetModuleFileNameW(Self, Path, MAX_PATH);
    if (N == 0 || N >= MAX_PATH)
        return E_FAIL;
    const std::wstring Marker = std::wstring(Path, N) + L".unregistered";
    fw_Handles::THandle File(
        CreateFileW(Marker.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    return File ? S_OK : E_FAIL;
}
