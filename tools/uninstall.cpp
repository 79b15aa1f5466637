// uninstall.exe [/quiet] <product name>
//
// Removes a product that the setup program installed, by the record the setup
// left under HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\<name>.
// The list of installed programs runs it by the record's UninstallString,
// "<folder>\Uninstall\uninstall.exe <name>", unquoted: the whole text after
// the program's own path is the product name. Without /quiet it asks first
// and shows the outcome in a message box; with /quiet it asks nothing and only
// its exit code tells. The outcome's text also goes to the standard output
// when the program has one.
//
// Exit codes:
//   0  removed (files in use, this program among them, go at the next restart)
//   1  something could not be removed (all the rest was), or an error
//   2  the user answered No
//   3  no product name on the command line
//   4  no uninstall record of that name
#include "framework/fw_Handles.h"
#include "framework/fw_SysUtils.h"
#include "tools/uninstall_Record.h"
#include "tools/uninstall_Removal.h"
#include "tools/uninstall_Rules.h"

#include <objbase.h>

#include <exception>

using namespace uninstall_Rules;

namespace {

const wchar_t* const Title = L"Uninstall";
// A message box with hundreds of lines does not fit on a screen.
constexpr size_t MaxListedLines = 15;

class TProgram {
public:
    int Run()
    {
        const TCommand Command = ParseCommandTail(CommandTail(GetCommandLineW(), OwnPaths()));
        FQuiet = Command.Quiet;
        if (Command.Name.empty()) {
            Tell(L"No product name was given. Usage: uninstall.exe [/quiet] <product name>", MB_ICONERROR);
            return ecBadCommandLine;
        }
        // The working folder of a process cannot be removed: it must not be
        // one of the product's folders.
        std::wstring System(MAX_PATH, L'\0');
        if (UINT N = GetSystemDirectoryW(System.data(), UINT(System.size())); N && N < System.size())
            SetCurrentDirectoryW(System.substr(0, N).c_str());

        const std::optional<std::wstring> Key = uninstall_Record::FindProduct(Command.Name);
        if (!Key) {
            Tell(Command.Name + L" is not installed: it has no uninstall record.", MB_ICONERROR);
            return ecNotFound;
        }
        if (!FQuiet && MessageBoxW(nullptr, (L"Remove " + Command.Name + L" and all of its components?").c_str(), Title,
                                   MB_YESNO | MB_ICONQUESTION | MB_SETFOREGROUND) != IDYES)
            return ecDeclined;

        // A library's DllUnregisterServer may use COM.
        const HRESULT Com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        fw_Handles::TScopeExit EndCom([Com] {
            if (SUCCEEDED(Com))
                CoUninitialize();
        });
        const uninstall_Removal::TOutcome Outcome =
            uninstall_Removal::RemoveProduct(uninstall_Record::ReadRecord(*Key));
        if (!Outcome.Problems.empty()) {
            Tell(Command.Name + L" could not be removed completely:" + Lines(Outcome.Problems) +
                     (Outcome.Notes.empty() ? L"" : L"\nLeft on purpose:" + Lines(Outcome.Notes)),
                 MB_ICONERROR);
            return ecFailed;
        }
        std::wstring Text = Command.Name + L" was removed.";
        if (Outcome.RestartPending)
            Text += L" Some of its files were in use: they are removed when the computer restarts.";
        if (!Outcome.Notes.empty())
            Text += L"\nLeft on purpose:" + Lines(Outcome.Notes);
        Tell(Text, MB_ICONINFORMATION);
        return ecRemoved;
    }

    // The last word of a run that failed unexpectedly.
    void Fail(const std::wstring& Text) { Tell(Text, MB_ICONERROR); }

private:
    bool FQuiet = false;

    static std::vector<std::wstring> OwnPaths()
    {
        std::wstring Buf(32768, L'\0');
        const DWORD N = GetModuleFileNameW(nullptr, Buf.data(), DWORD(Buf.size()));
        if (N == 0 || N >= Buf.size())
            fw_SysUtils::RaiseLastOSError();
        const std::wstring Module = Buf.substr(0, N);
        std::vector<std::wstring> Paths{Module};
        if (DWORD L = GetLongPathNameW(Module.c_str(), Buf.data(), DWORD(Buf.size())); L && L < Buf.size())
            Paths.push_back(Buf.substr(0, L));
        if (DWORD S = GetShortPathNameW(Module.c_str(), Buf.data(), DWORD(Buf.size())); S && S < Buf.size())
            Paths.push_back(Buf.substr(0, S));
        return Paths;
    }

    static std::wstring Lines(const std::vector<std::wstring>& List)
    {
        std::wstring Text;
        for (size_t I = 0; I < List.size() && I < MaxListedLines; ++I)
            Text += L"\n- " + List[I];
        if (List.size() > MaxListedLines)
            Text += L"\n(and " + std::to_wstring(List.size() - MaxListedLines) + L" more)";
        return Text;
    }

    void Tell(const std::wstring& Text, UINT Icon) const
    {
        // A program started from a console or with its output redirected has
        // a standard output; one started from the desktop has none.
        const HANDLE Out = GetStdHandle(STD_OUTPUT_HANDLE);
        if (Out && Out != INVALID_HANDLE_VALUE) {
            const std::string Bytes = Narrow(Text) + "\r\n";
            DWORD Written = 0;
            WriteFile(Out, Bytes.data(), DWORD(Bytes.size()), &Written, nullptr);
        }
        if (!FQuiet)
            MessageBoxW(nullptr, Text.c_str(), Title, MB_OK | Icon | MB_SETFOREGROUND);
    }
};

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    TProgram Program;
    try {
        return Program.Run();
    } catch (const std::exception& E) {
        Program.Fail(Widen(E.what()));
        return ecFailed;
    }
}
