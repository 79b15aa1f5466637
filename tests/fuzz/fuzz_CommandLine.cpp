// Command lines: the loader's (split, asked for *TODISK, its folder and file
// name, the setup program's line it makes from them) and the switches the
// setup program's install root takes from its arguments.
#include "FuzzHarness.h"
#include "RegistryScratch.h"
#include "tests/engine_test_settings.h"

#include "engine/cmp_TInstall.h"
#include "framework/fw_Classes.h"
#include "framework/fw_Forms.h"
#include "framework/fw_Handles.h"
#include "framework/fw_SysUtils.h"
#include "routines/exceptions_Wendrel.h"
#include "tools/loader_Command.h"

#include <windows.h>

#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <optional>

using namespace fuzz;
using cmp_TInstall::TCustomInstall;
using cmp_TInstall::TInstall;

namespace {

// The input's bytes are the command line in the ANSI code page, as a
// program's arguments reach the setup program.
std::wstring WideOf(const std::string& Bytes)
{
    if (Bytes.empty())
        return std::wstring();
    std::wstring W(Bytes.size(), L'\0');
    const int N = MultiByteToWideChar(CP_ACP, 0, Bytes.data(), int(Bytes.size()), W.data(), int(W.size()));
    W.resize(size_t(std::max(N, 0)));
    return W;
}

std::string NarrowOf(const std::wstring& W)
{
    if (W.empty())
        return std::string();
    const int N = WideCharToMultiByte(CP_ACP, 0, W.data(), int(W.size()), nullptr, 0, nullptr, nullptr);
    std::string S(size_t(std::max(N, 0)), '\0');
    WideCharToMultiByte(CP_ACP, 0, W.data(), int(W.size()), S.data(), N, nullptr, nullptr);
    return S;
}

std::string Show(const std::wstring& W) { return "<" + NarrowOf(W) + ">"; }

std::string Show(const std::vector<std::wstring>& V)
{
    std::string S = "[";
    for (const std::wstring& W : V)
        S += Show(W) + " ";
    return S + "]";
}

// How many lines were split by the shell too, and how many setup program
// lines were split back.
struct TCompared {
    long long Shell = 0, SetupLines = 0, Cases = 0;
    ~TCompared()
    {
        if (Cases)
            std::printf("commandline: of %lld cases, %lld split by the shell alike; %lld setup lines split back\n",
                        Cases, Shell, SetupLines);
    }
} Compared;

bool Blank(wchar_t C) { return C == L' ' || C == L'\t'; }

// Whether the C runtime's rules and the shell's splitter must agree on Line:
// they differ on two quotes in a row, on a program part with quotes inside,
// on a leading blank and on an empty line.
bool SplittersAgree(const std::wstring& Line)
{
    if (Line.empty() || Blank(Line[0]) || Line.find(L"\"\"") != std::wstring::npos)
        return false;
    if (Line.find(L'\0') != std::wstring::npos)
        return false;
    if (Line[0] == L'"') {
        const size_t Close = Line.find(L'"', 1);
        return Close != std::wstring::npos && (Close + 1 == Line.size() || Blank(Line[Close + 1]));
    }
    size_t End = 0;
    while (End < Line.size() && !Blank(Line[End]))
        ++End;
    return Line.substr(0, End).find(L'"') == std::wstring::npos;
}

std::vector<std::wstring> ShellSplit(const std::wstring& Line)
{
    int N = 0;
    LPWSTR* Args = CommandLineToArgvW(Line.c_str(), &N);
    if (!Args)
        throw TFault(TOutcome::Foreign, "CommandLineToArgvW failed");
    std::vector<std::wstring> V(Args, Args + N);
    LocalFree(Args);
    return V;
}

void CheckSplit(const std::wstring& Line, const std::vector<std::wstring>& Args)
{
    if (Args.empty())
        throw TFault(TOutcome::WrongOutput, "no program part");
    // Every character of an argument comes from the line.
    for (const std::wstring& A : Args)
        for (wchar_t C : A)
            if (Line.find(C) == std::wstring::npos)
                throw TFault(TOutcome::WrongOutput, "argument " + Show(A) + " holds a character the line lacks");
    // Each argument beyond the program starts at a blank outside quotes: no
    // more of them than runs of non-blanks, and an empty program part when
    // the line starts with a blank.
    size_t Runs = Line.empty() || Blank(Line[0]) ? 1 : 0;
    for (size_t I = 0; I < Line.size(); ++I)
        if (!Blank(Line[I]) && (I == 0 || Blank(Line[I - 1])))
            ++Runs;
    if (Args.size() > Runs)
        throw TFault(TOutcome::WrongOutput, "more arguments than words: " + Show(Args));
    if (SplittersAgree(Line)) {
        ++Compared.Shell;
        const std::vector<std::wstring> Shell = ShellSplit(Line);
        if (Shell != Args)
            throw TFault(TOutcome::WrongOutput, "split " + Show(Args) + ", the shell splits " + Show(Shell));
    }
}

bool IsToDisk(const std::wstring& A)
{
    return CompareStringOrdinal(A.c_str(), int(A.size()), L"*TODISK", 7, TRUE) == CSTR_EQUAL;
}

void CheckRequest(const std::vector<std::wstring>& Arguments)
{
    const loader_Command::TRequest R = loader_Command::ParseArguments(Arguments);
    const bool ToDisk = std::any_of(Arguments.begin(), Arguments.end(), IsToDisk);
    const auto Unknown = std::find_if_not(Arguments.begin(), Arguments.end(), IsToDisk);
    if (R.ToDisk != ToDisk)
        throw TFault(TOutcome::WrongOutput, "*TODISK read wrongly from " + Show(Arguments));
    if (R.Valid != (Unknown == Arguments.end()) || (!R.Valid && R.Unknown != *Unknown))
        throw TFault(TOutcome::WrongOutput, "the unknown argument of " + Show(Arguments) + " is " + Show(R.Unknown));
}

bool Separator(wchar_t C) { return C == L'\\' || C == L'/'; }

// The folder and the file name of a path put it back together, and the
// setup program's line made from them gives them back unchanged.
void CheckPath(const std::wstring& Path)
{
    const std::wstring Folder = loader_Command::FolderOf(Path), Name = loader_Command::FileNameOf(Path);
    if (std::any_of(Name.begin(), Name.end(), Separator))
        throw TFault(TOutcome::WrongOutput, "the file name of " + Show(Path) + " holds a separator");
    if (!Folder.empty() && Separator(Folder.back()))
        throw TFault(TOutcome::WrongOutput, "the folder of " + Show(Path) + " ends with a separator");
    if (Path.size() < Folder.size() + Name.size() || Path.compare(0, Folder.size(), Folder) != 0 ||
        Path.compare(Path.size() - Name.size(), Name.size(), Name) != 0)
        throw TFault(TOutcome::WrongOutput,
                     "folder " + Show(Folder) + " and name " + Show(Name) + " are not of " + Show(Path));
    const std::wstring Between = Path.substr(Folder.size(), Path.size() - Folder.size() - Name.size());
    const bool HasSeparator = std::any_of(Path.begin(), Path.end(), Separator);
    if (!std::all_of(Between.begin(), Between.end(), Separator) || Between.empty() != !HasSeparator)
        throw TFault(TOutcome::WrongOutput, "between folder and name of " + Show(Path) + " lies " + Show(Between));

    // A file name holds no quote; a path that does cannot be passed on.
    if (Path.find(L'"') != std::wstring::npos || Path.find(L'\0') != std::wstring::npos)
        return;
    const std::wstring Setup = L"C:\\Temp\\wdrl1\\setup program.exe";
    for (int Kind = 0; Kind < 4; ++Kind) {
        const bool Self = Kind & 1, ToDisk = Kind & 2;
        const std::wstring Line = loader_Command::SetupCommandLine(Setup, Path, Self, ToDisk);
        std::vector<std::wstring> Expected{Setup, L"-s" + Folder};
        if (Self)
            Expected.push_back(L"-e" + Name);
        Expected.push_back(L"-c");
        if (ToDisk)
            Expected.push_back(L"-f");
        ++Compared.SetupLines;
        const std::vector<std::wstring> Back = loader_Command::SplitCommandLine(Line);
        if (Back != Expected)
            throw TFault(TOutcome::WrongOutput,
                         "the setup line " + Show(Line) + " of " + Show(Path) + " splits into " + Show(Back));
    }
}

int SwitchOf(char Letter)
{
    const std::string Letters = "bfdersc";
    const size_t At = Letters.find(char(std::tolower(static_cast<unsigned char>(Letter))));
    return At == std::string::npos ? -1 : int(At);
}

struct TRootFixture {
    std::unique_ptr<fw_Forms::TForm, fw_Classes::TComponentDeleter> Owner{new fw_Forms::TForm(nullptr)};
    TInstall* Root;
    TRootFixture()
    {
        Root = new TInstall(Owner.get());
        Root->SetName("Install1");
    }
};

// The switches and their contents the install root takes from Arguments,
// against the rule: "-<letter>" or "*<letter>" and its text; "*" with a
// letter of no switch is the self-extracting program's and passed over.
TOutcome CheckSwitches(const std::vector<std::string>& Arguments, std::string& Message)
{
    std::optional<std::string> Refused;
    cmp_TInstall::TSwitches Switches;
    cmp_TInstall::TParameterContentArray Contents;
    for (const std::string& A : Arguments) {
        const int Kind = A.size() < 2 ? -1 : SwitchOf(A[1]);
        if (A.size() < 2 || (A[0] != '-' && A[0] != '*') || (Kind < 0 && A[0] == '-')) {
            Refused = A;
            break;
        }
        if (Kind >= 0) {
            Switches.Include(cmp_TInstall::TSwitch(Kind));
            Contents[size_t(Kind)] = A.substr(2);
        }
    }
    TRootFixture F;
    TCustomInstall::CommandLineArguments = [&] { return Arguments; };
    try {
        F.Root->ParseCommandLine();
    } catch (const exceptions_Wendrel::IException& E) {
        Message = E.Message();
        if (!Refused)
            throw TFault(TOutcome::WrongOutput, "arguments refused that are all switches: " + Message);
        if (Message.find("Invalid parameter <" + *Refused + ">") == std::string::npos)
            throw TFault(TOutcome::WrongOutput,
                         "the refusal names another argument than <" + *Refused + ">: " + Message);
        return TOutcome::CleanFailure;
    }
    if (Refused)
        throw TFault(TOutcome::WrongOutput, "the argument <" + *Refused + "> was taken");
    if (!(F.Root->Switches() == Switches) || F.Root->ParameterContents() != Contents)
        throw TFault(TOutcome::WrongOutput, "the switches or their contents are not the arguments'");
    return TOutcome::SuccessChecked;
}

TOutcome Run(const std::string& Input, std::string& Message)
{
    ++Compared.Cases;
    const std::wstring Line = WideOf(Input);
    const std::vector<std::wstring> Args = loader_Command::SplitCommandLine(Line);
    CheckSplit(Line, Args);
    const std::vector<std::wstring> Arguments(Args.begin() + 1, Args.end());
    CheckRequest(Arguments);
    for (const std::wstring& A : Args)
        CheckPath(A);
    std::vector<std::string> Narrow;
    for (const std::wstring& A : Arguments)
        Narrow.push_back(NarrowOf(A));
    return CheckSwitches(Narrow, Message);
}

TSeed LineSeed(const std::wstring& Line)
{
    TSeed S;
    S.Bytes = NarrowOf(Line);
    S.Text = true;
    // Each argument is a field: hostile paths and overlong texts go there.
    size_t Start = 0;
    bool Quoted = false;
    for (size_t I = 0; I <= S.Bytes.size(); ++I) {
        if (I < S.Bytes.size() && S.Bytes[I] == '"')
            Quoted = !Quoted;
        if (I == S.Bytes.size() || (S.Bytes[I] == ' ' && !Quoted)) {
            S.Boundaries.push_back(I);
            if (I > Start)
                S.TextFields.push_back({Start, 0});
            Start = I + 1;
        }
    }
    return S;
}

// The line the setup program leaves in RunOnce to be resumed after the
// restart, as it writes it (into this process's scratch registry).
std::optional<std::wstring> RunOnceLine(const std::vector<std::string>& Arguments, bool LoadingProgram)
{
    TRootFixture F;
    TCustomInstall::CommandLineArguments = [&] { return Arguments; };
    F.Root->ParseCommandLine();
    F.Root->SetUseLoadingProgram(LoadingProgram);
    try {
        F.Root->RegisterRunOnce();
    } catch (const fw_SysUtils::Exception&) {
        return std::nullopt;
    }
    fw_Handles::TRegKey Key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce", 0, KEY_ALL_ACCESS,
                      Key.Receive()) != ERROR_SUCCESS)
        return std::nullopt;
    std::optional<std::wstring> Found;
    wchar_t Name[256], Data[4096];
    for (DWORD I = 0;; ++I) {
        DWORD NameSize = 256, DataSize = sizeof Data - sizeof(wchar_t), Type = 0;
        if (RegEnumValueW(Key.Get(), I, Name, &NameSize, nullptr, &Type, reinterpret_cast<BYTE*>(Data), &DataSize) !=
            ERROR_SUCCESS)
            break;
        if (Type == REG_SZ && std::wstring(Name, NameSize).rfind(L"WendrelUnfinished", 0) == 0)
            Found = std::wstring(Data, DataSize / sizeof(wchar_t)).c_str();
    }
    Key.Reset();
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce");
    return Found;
}

std::vector<TSeed> Seeds()
{
    using loader_Command::SetupCommandLine;
    std::vector<TSeed> S;
    const std::wstring Copy = L"C:\\users\\me\\Temp\\wdrl4F2\\setup program.exe";
    for (const std::wstring Loader : {L"C:\\Downloads\\Quorvane 1.0.2.9\\setup.exe", L"A:\\SETUP.EXE",
                                      L"\\\\server\\share\\dist\\setup.exe", L"setup.exe"})
        for (int Kind = 0; Kind < 4; ++Kind)
            S.push_back(LineSeed(SetupCommandLine(Copy, Loader, Kind & 1, Kind & 2)));
    {
        fuzz_registry::TScratchRoots Scratch;
        const std::vector<std::pair<std::vector<std::string>, bool>> Runs{
            {{}, false},
            {{"-c"}, false},
            {{"-sC:\\Downloads\\Quorvane", "-c"}, true},
            {{"-sC:\\Downloads\\Quorvane", "-eQuorvane setup.exe", "-c"}, true}};
        for (const auto& [Arguments, Loading] : Runs)
            if (const auto Line = RunOnceLine(Arguments, Loading))
                S.push_back(LineSeed(*Line));
    }
    for (const wchar_t* Line :
         {L"setup.exe *TODISK", L"setup.exe *todisk", L"\"C:\\Dist\\setup.exe\" -b \"-sC:\\My Build\"",
          L"setup.exe -d \"-sC:\\My Build\"", L"setup.exe -r \"-sC:\\Program Files\\Quorvane\" -c",
          L"setup.exe -f -sA:\\", L"setup.exe *TODISK -s\"C:\\a b\\\\\" x\\\"y"})
        S.push_back(LineSeed(Line));
    return S;
}

} // namespace

int main(int argc, char** argv)
{
    engine_test_settings::Use();
    TFamily Family;
    Family.Name = "commandline";
    Family.MakeSeeds = Seeds;
    Family.Run = Run;
    return Main(argc, argv, Family);
}
