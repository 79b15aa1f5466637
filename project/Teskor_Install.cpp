// The setup program of Quorvane: everything it does is declared by the install
// project that its main form reads.
#include "framework/fw_Forms.h"
#include "project/fTeskor_Install_D4.h"

#include <cstdio>

using fw_Forms::Application;

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    int Code = 0;
    try {
        Application->Initialize();
        Application->CreateForm<fTeskor_Install_D4::TfrmTeskor_Install_D4>();
        Application->Run();
        Code = Application->ExitCode;
    } catch (const fw_SysUtils::EAbort&) {
        Code = 1;
    } catch (const fw_SysUtils::Exception& E) {
        Application->ShowException(E);
        Code = 1;
    } catch (const std::exception& E) {
        Application->ShowException(fw_SysUtils::Exception(E.what()));
        Code = 1;
    } catch (...) {
        // Nothing may leave the program unseen, whatever was thrown.
        Application->ShowException(fw_SysUtils::Exception("Unknown exception"));
        Code = 1;
    }
    try {
        delete Application;
    } catch (...) {
        std::fputs("Unknown exception while ending the program\n", stderr);
        Code = 1;
    }
    Application = nullptr;
    return Code;
}
