#include "engine/routines_ExpandPaths.h"

#include "engine/cmp_TInstall.h"
#include "engine/cmp_TInstallContainer.h"
#include "routines/exceptions_Wendrel.h"
#include "routines/routines_API.h"
#include "routines/routines_Registry.h"
#include "routines/routines_Strings.h"

namespace routines_ExpandPaths {

using exceptions_Wendrel::EAICannotExpandContainerDirMV;
using exceptions_Wendrel::EAICannotExpandInstallDirMV;
using exceptions_Wendrel::TranslateMessage;
using routines_Strings::ExcludeTrailingBackslash;
using routines_Strings::IncludeTrailingBackslash;

namespace {

const char* const ShellFoldersKey = "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
const char* const CurrentVersionKey = "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion";

std::string ReadFolder(routines_Registry::TRootKeys Root, const char* Key, const char* Ident,
                       const std::string& Default)
{
    std::string Value;
    routines_Registry::ReadRegistryString(Root, Key, Ident, Value, Default);
    return ExcludeTrailingBackslash(Value);
}

std::string CurrentDrive() { return fw_SysUtils::ExtractFileDrive(fw_SysUtils::GetCurrentDir()); }

} // namespace

std::string StartMenuDir()
{
    return ReadFolder(routines_Registry::hkCurrentUser, ShellFoldersKey, "Start Menu",
                      IncludeTrailingBackslash(routines_API::WindowsDirectory()) + "Startmen");
}

std::string ProgramsDir()
{
    return ReadFolder(routines_Registry::hkCurrentUser, ShellFoldersKey, "Programs",
                      IncludeTrailingBackslash(StartMenuDir()) + "Programs");
}

std::string DesktopDir()
{
    return ReadFolder(routines_Registry::hkCurrentUser, ShellFoldersKey, "Desktop",
                      IncludeTrailingBackslash(routines_API::WindowsDirectory()) + "Desktop");
}

std::string StartupDir()
{
    return ReadFolder(routines_Registry::hkCurrentUser, ShellFoldersKey, "Startup",
                      IncludeTrailingBackslash(routines_API::WindowsDirectory()) + "Startup");
}

std::string ProgramFilesDir()
{
    return ReadFolder(routines_Registry::hkLocalMachine, CurrentVersionKey, "ProgramFilesDir",
                      IncludeTrailingBackslash(CurrentDrive()) + "Program Files");
}

std::string CommonFilesDir()
{
    return ReadFolder(routines_Registry::hkLocalMachine, CurrentVersionKey, "CommonFilesDir",
                      IncludeTrailingBackslash(CurrentDrive()) + "Program Files\\Common Files");
}

std::string ExpandPath(std::string_view Template, cmp_TInstallContainer::TInstallContainer* Component)
{
    return ExpandDirectives(Template, [Component](char C, std::string& Result) {
        std::string Folder;
        switch (C) {
        case 'a':
        case 'A':
            if (!Component)
                throw EAICannotExpandContainerDirMV(
                    TranslateMessage("Cannot expand the %a meta variable because the component is Nil"));
            Folder = Component->GetFullDestDir();
            break;
        case 'b':
        case 'B':
            Folder = ProgramsDir();
            break;
        case 'c':
        case 'C': {
            if (!Component)
                throw EAICannotExpandContainerDirMV(
                    TranslateMessage("Cannot expand the %c meta variable because the component is Nil"));
            auto* Obj = dynamic_cast<cmp_TInstallContainer::TInstallObject*>(Component);
            if (!Obj || !Obj->Container())
                throw EAICannotExpandContainerDirMV(
                    TranslateMessage("Cannot expand the %c meta variable because the Container property is Nil"));
            Folder = Obj->Container()->GetFullDestDir();
            break;
        }
        case 'd':
        case 'D':
            Folder = DesktopDir();
            break;
        case 'f':
        case 'F':
            Folder = CommonFilesDir();
            break;
        case 'i':
        case 'I':
            if (!cmp_TInstall::InstallRoot())
                throw EAICannotExpandInstallDirMV(
                    TranslateMessage("Cannot expand the %i meta variable because there is no TInstall component"));
            Folder = cmp_TInstall::InstallRoot()->GetFullDestDir();
            break;
        case 'm':
        case 'M':
            Folder = StartMenuDir();
            break;
        case 'p':
        case 'P':
            Folder = ProgramFilesDir();
            break;
        case 's':
        case 'S':
            Folder = routines_API::SystemDirectory();
            break;
        case 'w':
        case 'W':
            Folder = routines_API::WindowsDirectory();
            break;
        default:
            return; // an unknown meta variable vanishes with its "%"
        }
        Result += ExcludeTrailingBackslash(Folder);
    });
}

} // namespace routines_ExpandPaths
