// Work that waits for a restart: the restart itself, the language kept over
// it, and the resumed run that finishes the installation afterwards.
#include "Internal.h"

#include "framework/fw_Handles.h"
#include "routines/routines_API.h"
#include "routines/routines_Registry.h"

namespace cmp_TInstall {

TLanguageHooks MainLanguage;

std::function<int()> TCustomInstall::WindowsVersionOf = routines_API::WindowsVersion;
std::function<BOOL(UINT, DWORD)> TCustomInstall::RequestRestart = [](UINT Flags, DWORD Reason) {
    return ExitWindowsEx(Flags, Reason);
};

namespace {

// The shutdown privilege, which NT wants before a restart.
bool EnableShutdownPrivilege()
{
    HANDLE Raw = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &Raw))
        return false;
    fw_Handles::THandle Token(Raw);
    TOKEN_PRIVILEGES Privileges{};
    Privileges.PrivilegeCount = 1;
    Privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    if (!LookupPrivilegeValueA(nullptr, "SeShutdownPrivilege", &Privileges.Privileges[0].Luid))
        return false;
    return AdjustTokenPrivileges(Token.Get(), FALSE, &Privileges, 0, nullptr, nullptr);
}

} // namespace

void TCustomInstall::RebootWindows()
{
    bool Done = false;
    switch (WindowsVersionOf()) {
    case 1:
        Done = RequestRestart(EWX_REBOOT, 0);
        break;
    case 2:
        Done = EnableShutdownPrivilege() && RequestRestart(EWX_REBOOT, 0);
        break;
    default:
        break; // Win32s, NT 3.5 and the unknown are not asked
    }
    if (Done)
        return;
    if (OnFailedReboot)
        OnFailedReboot(this);
    else
        ShowPlainMessage(
            exceptions_Wendrel::TranslateMessage("Could not reboot windows. Please manually reboot windows."));
}

void TCustomInstall::WriteLanguage()
{
    if (!MainLanguage.Get || cmp_TInstallContainer::InstallKey.empty())
        return;
    routines_Registry::WriteRegistryInteger(routines_Registry::hkLocalMachine, cmp_TInstallContainer::InstallKey,
                                            "Language", MainLanguage.Get());
}

int TCustomInstall::ReadLanguage()
{
    const int Default = MainLanguage.Get ? MainLanguage.Get() : UserLanguageOrdinal;
    if (cmp_TInstallContainer::InstallKey.empty())
        return Default;
    return routines_Registry::ReadRegistryInteger(routines_Registry::hkLocalMachine, cmp_TInstallContainer::InstallKey,
                                                  "Language", Default);
}

void TCustomInstall::CompleteAfterReboot()
{
    FRunning = true;
    cmp_TInstallContainer::InstallKey = FindInstallRecord(false);
    if (MainLanguage.Set)
        MainLanguage.Set(ReadLanguage());
    fw_Classes::TStringList Work;
    ReadUnfinished(&Work);
    ClearUnfinished();
    for (const std::string& Line : Work.ToVector()) {
        const size_t Split = Line.rfind(';');
        const std::string Subject = Line.substr(0, Split);
        int Action = 0;
        if (Split == std::string::npos || !fw_SysUtils::TryStrToInt(Line.substr(Split + 1), Action))
            throw IEInstall("There is an invalid entry for the unfinished install list %s", {Line});
        if (Action == 0) {
            // By index over the live list: a component may go meanwhile.
            cmp_TInstallContainer::TInstallContainerList& All = cmp_TInstallContainer::AllInstallContainers();
            for (int I = 0; I < All.Count(); ++I)
                if (fw_SysUtils::SameText(All.Items(I)->Name(), Subject))
                    All.Items(I)->CompleteAfterReboot();
        } else if (Action == 1) {
            DeleteFileA(Subject.c_str()); // one already gone is no error
        }
    }
    EndWell();
}

} // namespace cmp_TInstall
