// The loader's command line and the one it gives the setup program.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace loader_Command {

// The arguments of a command line by the rules of the C runtime (quotes
// group, backslashes escape only before a quote); the first is the program.
std::vector<std::wstring> SplitCommandLine(std::wstring_view Line);

// What the user asked for: nothing, or *TODISK (any case) for a copy onto
// floppy disks. Any other argument is a mistake; Unknown holds the first.
struct TRequest {
    bool ToDisk = false;
    bool Valid = true;
    std::wstring Unknown;
};
TRequest ParseArguments(const std::vector<std::wstring>& Arguments);

// The folder of a path without a trailing backslash: inside quotes a final
// "\" would escape the closing quote. A drive root is "A:".
std::wstring FolderOf(std::wstring_view Path);
// The last part of a path: its file name.
std::wstring FileNameOf(std::wstring_view Path);

// The setup program's command line: its path in quotes, then "-s<folder of
// the loader>", "-e<the loader's file name>" when self-extracting, -c (it
// runs from a copy to be removed) and -f for *TODISK.
std::wstring SetupCommandLine(std::wstring_view SetupProgram, std::wstring_view LoaderPath, bool SelfExtracting,
                              bool ToDisk);

} // namespace loader_Command
