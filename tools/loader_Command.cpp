#include "tools/loader_Command.h"

#include <cwctype>

namespace loader_Command {

std::vector<std::wstring> SplitCommandLine(std::wstring_view Line)
{
    std::vector<std::wstring> Args;
    size_t I = 0;
    // The program's path ends at the first blank outside quotes; quotes in it
    // are dropped and backslashes stay as they are.
    {
        std::wstring Program;
        bool Quoted = false;
        for (; I < Line.size(); ++I) {
            const wchar_t C = Line[I];
            if (C == L'"')
                Quoted = !Quoted;
            else if ((C == L' ' || C == L'\t') && !Quoted)
                break;
            else
                Program += C;
        }
        Args.push_back(Program);
    }
    for (;;) {
        while (I < Line.size() && (Line[I] == L' ' || Line[I] == L'\t'))
            ++I;
        if (I >= Line.size())
            break;
        std::wstring Arg;
        bool Quoted = false;
        for (; I < Line.size(); ++I) {
            const wchar_t C = Line[I];
            if (C == L'\\') {
                size_t Slashes = 0;
                while (I < Line.size() && Line[I] == L'\\')
                    ++Slashes, ++I;
                if (I < Line.size() && Line[I] == L'"') {
                    Arg.append(Slashes / 2, L'\\');
                    if (Slashes % 2) {
                        Arg += L'"';
                        continue;
                    }
                } else
                    Arg.append(Slashes, L'\\');
                --I; // the quote or the next character is looked at again
                continue;
            }
            if (C == L'"') {
                // "" inside quotes is one quote.
                if (Quoted && I + 1 < Line.size() && Line[I + 1] == L'"') {
                    Arg += L'"';
                    ++I;
                } else
                    Quoted = !Quoted;
                continue;
            }
            if ((C == L' ' || C == L'\t') && !Quoted)
                break;
            Arg += C;
        }
        Args.push_back(Arg);
    }
    return Args;
}

TRequest ParseArguments(const std::vector<std::wstring>& Arguments)
{
    TRequest R;
    for (const std::wstring& A : Arguments) {
        std::wstring Upper = A;
        for (wchar_t& C : Upper)
            C = wchar_t(std::towupper(C));
        if (Upper == L"*TODISK")
            R.ToDisk = true;
        else if (R.Valid) {
            R.Valid = false;
            R.Unknown = A;
        }
    }
    return R;
}

std::wstring FolderOf(std::wstring_view Path)
{
    const size_t Cut = Path.find_last_of(L"\\/");
    std::wstring Folder(Cut == std::wstring_view::npos ? std::wstring_view() : Path.substr(0, Cut));
    while (!Folder.empty() && (Folder.back() == L'\\' || Folder.back() == L'/'))
        Folder.pop_back();
    return Folder;
}

std::wstring FileNameOf(std::wstring_view Path)
{
    const size_t Cut = Path.find_last_of(L"\\/");
    return std::wstring(Cut == std::wstring_view::npos ? Path : Path.substr(Cut + 1));
}

std::wstring SetupCommandLine(std::wstring_view SetupProgram, std::wstring_view LoaderPath, bool SelfExtracting,
                              bool ToDisk)
{
    std::wstring Line = L"\"" + std::wstring(SetupProgram) + L"\" \"-s" + FolderOf(LoaderPath) + L"\"";
    if (SelfExtracting)
        Line += L" \"-e" + FileNameOf(LoaderPath) + L"\"";
    Line += L" -c";
    if (ToDisk)
        Line += L" -f";
    return Line;
}

} // namespace loader_Command
