// The Windows shell folders as the registry records them, and the expansion
// of %-meta variables in path templates.
#pragma once

#include <string>
#include <string_view>

namespace cmp_TInstallContainer {
class TInstallContainer;
}

namespace routines_ExpandPaths {

// Each answers its folder without a trailing backslash; a missing registry
// value gives the folder's default.
std::string StartMenuDir();
std::string ProgramsDir();
std::string DesktopDir();
std::string StartupDir();
std::string ProgramFilesDir();
std::string CommonFilesDir();

// Replaces %a %b %c %d %f %i %m %p %s %w (any case) by their folders for
// Component; "%%" gives "%", any other "%x" and a final "%" are dropped.
std::string ExpandPath(std::string_view Template, cmp_TInstallContainer::TInstallContainer* Component);

} // namespace routines_ExpandPaths
