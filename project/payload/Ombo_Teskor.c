/* The product's programs and library, small stand-ins that carry the
   product's version resource so that the setup has real files to install. */
#include <windows.h>

#ifdef OMBO_LIBRARY
BOOL WINAPI DllMain(HINSTANCE Instance, DWORD Reason, LPVOID Reserved) { return TRUE; }
__declspec(dllexport) int OmboTeskorVersion(void) { return 0x01000209; }
#else
int WINAPI WinMain(HINSTANCE Instance, HINSTANCE Previous, LPSTR CommandLine, int Show)
{
    MessageBoxA(NULL, OMBO_TITLE, "Quorvane", MB_OK);
    return 0;
}
#endif
