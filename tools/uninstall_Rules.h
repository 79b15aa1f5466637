// The decisions of uninstall.exe that need no system state: how its command
// line reads, which record entries and paths it accepts, and which folders and
// registry keys it never removes. Paths and names are wide: the record is read
// with the wide registry functions, so a name outside the ANSI code page
// survives.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace uninstall_Rules {

// The program's exit codes; the README lists them too.
enum TExitCode : int {
    ecRemoved = 0,        // everything recorded is gone (or goes at the next restart)
    ecFailed = 1,         // something could not be removed; all else was
    ecDeclined = 2,       // the user answered No
    ecBadCommandLine = 3, // no product name
    ecNotFound = 4,       // no uninstall record of that name
};

// Text: UTF-8 for messages and exceptions, wide for everything the system sees.
std::wstring Widen(std::string_view Utf8);
std::string Narrow(std::wstring_view Wide);
// Case-insensitive as the file system and the registry compare names.
bool SameText(std::wstring_view A, std::wstring_view B);
bool StartsText(std::wstring_view Prefix, std::wstring_view S);
bool IsBlank(wchar_t C);
std::wstring TrimBlanks(std::wstring_view S);
std::wstring ExcludeTrailingBackslash(std::wstring_view S);
// The folder of a path ("" when it has none); the last part of a path.
std::wstring ParentFolder(std::wstring_view Path);
std::wstring FileNameOf(std::wstring_view Path);
// Backslash-separated parts of a path or key.
std::vector<std::wstring> SplitPath(std::wstring_view Path);

// What the command line asks for.
struct TCommand {
    bool Quiet = false;
    std::wstring Name; // trimmed; empty when none was given
};

// The text after the program's own path in CommandLine. OwnPaths are the
// forms of that path the line may start with (the long and the short full
// path): the list of installed programs runs the uninstall string unquoted, so
// a path with blanks cannot be split at the first blank. A quoted path ends at
// its quote; an unrecognised unquoted path ends after the program's own file
// name, or else at the first blank.
std::wstring CommandTail(std::wstring_view CommandLine, const std::vector<std::wstring>& OwnPaths);
// "[/quiet] name": the switch in any case; a name in quotes loses them.
TCommand ParseCommandTail(std::wstring_view Tail);
// The program path at the start of an uninstall string ("path" args, or an
// unquoted path ending in ".exe").
std::wstring ProgramOfCommand(std::wstring_view Command);

// "Files", "Files1", "Files2", ...: Order 0 for "Files", else its number.
bool IsFilesKeyName(std::wstring_view Name, uint64_t& Order);
// Prefix followed by digits only ("File12", "RegistryKey3"); Number saturates.
bool IsNumberedName(std::wstring_view Name, std::wstring_view Prefix, uint64_t& Number);

// A self-registered server: "<path>;1" a program, "<path>;0" a library. An
// entry without the mark is a program when its name ends in ".exe".
struct TServerEntry {
    std::wstring Path;
    bool Program = false;
};
TServerEntry ParseServerEntry(std::wstring_view Entry);

// Whether a recorded path names a file the program may delete: "X:\..." or
// "\\server\share\...", with no empty, "." or ".." parts, no wildcards or
// streams, not ending in a backslash. Everything else is refused.
bool IsAbsoluteFilePath(std::wstring_view Path);
// "C:", "C:\", "\\server", "\\server\share" (with or without a final "\").
bool IsDriveOrShareRoot(std::wstring_view Path);
// Two folders, ignoring case and a final backslash.
bool SameFolder(std::wstring_view A, std::wstring_view B);

// The folders that are never removed, even empty: the system's and the
// shell's own (and every folder above one of them, which holds it), the
// folders directly inside the system's folders, and every root.
class TProtectedFolders {
public:
    void Add(std::wstring_view Folder);
    // Folder itself and each folder directly inside it.
    void AddWithChildren(std::wstring_view Folder);
    bool Protects(std::wstring_view Folder) const;

private:
    std::vector<std::wstring> FFolders;
    std::vector<std::wstring> FParents;
};

// A recorded key path from the root without its leading and trailing
// backslashes; empty when it has an empty part (it is then not used).
std::wstring NormalizeKeyPath(std::wstring_view Key);
// Keys never deleted however empty they become: a root's direct children,
// "Software" and its kind wherever they are, and the well-known keys of the
// system below Software\Microsoft (Run, Uninstall, SharedDLLs, Help...).
bool IsProtectedRegistryKey(std::wstring_view Path);

} // namespace uninstall_Rules
