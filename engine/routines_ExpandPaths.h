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

// Walks a template's "%x" directives: the text between them is copied,
// "%%" gives "%", and every other "%x" is replaced by what Directive(x, Out)
// appends to Out. A final lone "%" is dropped.
template <class F>
std::string ExpandDirectives(std::string_view Template, F&& Directive)
{
    std::string Result;
    bool Percent = false;
    for (char C : Template) {
        if (!Percent) {
            if (C == '%')
                Percent = true;
            else
                Result += C;
            continue;
        }
        Percent = false;
        if (C == '%')
            Result += '%';
        else
            Directive(C, Result);
    }
    return Result;
}

// Replaces %a %b %c %d %f %i %m %p %s %w (any case) by their folders for
// Component; "%%" gives "%", any other "%x" and a final "%" are dropped.
std::string ExpandPath(std::string_view Template, cmp_TInstallContainer::TInstallContainer* Component);

} // namespace routines_ExpandPaths
