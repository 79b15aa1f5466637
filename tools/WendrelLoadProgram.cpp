// WendrelLoadProgram.exe, shipped as setup.exe: unpacks the setup program and
// its companion files from setup.1 into a private temporary folder, starts
// it, waits for it and passes its exit code back.
//
// setup.1 lies beside this program, or, when the file's last 56 bytes are an
// extraction record ("SELFEXTRACTING"), inside it after the program's own
// image, followed by files.1. Data after the image without a valid record is
// damage: the loader then stops and never looks for setup.1 elsewhere.
// Everything is checked before anything starts: the record, both tables, and
// every unpacked file's Adler-32 and size. These checks find damage; they do
// not show who made the file.
//
// Usage: setup.exe [*TODISK]
// The setup program gets: "-s<this program's folder>" (no trailing
// backslash; a drive root is "A:"), "-e<this program's file name>" when
// self-extracting, -c (it runs from a copy to be removed), and -f for
// *TODISK (any case). Any other argument: the usage message, nothing done.
//
// The private folder is removed when the setup program has ended, unless a
// RunOnce value of the machine names a program inside it: the setup resumes
// from there after a restart and removes the folder itself.
//
// Exit codes: the setup program's own, or the loader's failures (each with a
// message box and the same text on the standard error):
//   20  usage: an argument other than *TODISK
//   21  setup.1 beside the loader cannot be opened or read
//   22  the distribution is damaged (record, a table, a name or the data)
//   23  the private folder or a file in it cannot be made or written
//   24  the setup program cannot be started
//   25  any other failure inside the loader
#include "archive/archive_FileHeaders.h"
#include "framework/fw_Handles.h"
#include "framework/fw_Streams.h"
#include "framework/fw_SysUtils.h"
#include "tools/loader_Archive.h"
#include "tools/loader_Command.h"
#include "tools/loader_Failure.h"
#include "tools/loader_Folder.h"
#include "tools/loader_Record.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

using fw_Handles::THandle;
using loader_Failure::ELoader;

namespace {

const wchar_t* const Title = L"Setup";

std::wstring ModulePath()
{
    std::vector<wchar_t> Buffer(32768);
    const DWORD N = GetModuleFileNameW(nullptr, Buffer.data(), DWORD(Buffer.size()));
    if (N == 0 || N >= Buffer.size())
        throw ELoader(loader_Failure::ecInternal, L"The loader cannot find its own file.");
    return std::wstring(Buffer.data(), N);
}

std::wstring TempFolder()
{
    wchar_t Buffer[MAX_PATH + 1];
    const DWORD N = GetTempPathW(DWORD(std::size(Buffer)), Buffer);
    if (N == 0 || N > MAX_PATH)
        throw ELoader(loader_Failure::ecUnpack, L"The temporary folder cannot be found.");
    return std::wstring(Buffer, N);
}

THandle OpenForReading(const std::wstring& Path, loader_Failure::TExitCode Code)
{
    THandle File(CreateFileW(Path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                             FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!File)
        throw ELoader(Code, L"Cannot open " + Path + L": " + loader_Failure::SystemReason(GetLastError()));
    return File;
}

int64_t SizeOf(HANDLE File, const std::wstring& Path, loader_Failure::TExitCode Code)
{
    LARGE_INTEGER Size;
    if (!GetFileSizeEx(File, &Size))
        throw ELoader(Code, L"Cannot read " + Path + L": " + loader_Failure::SystemReason(GetLastError()));
    return Size.QuadPart;
}

// Where setup.1 (and files.1) are, after every check of the record and the
// tables; the source stays open until the files are unpacked.
struct TSource {
    std::wstring Path; // the file that holds setup.1
    THandle File;
    std::unique_ptr<loader_Archive::TWindowStream> Setup;
    archive_FileHeaders::TFileHeaders Table;
    bool SelfExtracting = false;
};

void Locate(TSource& S, const std::wstring& Self)
{
    THandle Own = OpenForReading(Self, loader_Failure::ecInternal);
    const int64_t Size = SizeOf(Own.Get(), Self, loader_Failure::ecDamaged);
    // The headers as mapped are those of the file: the image end is the same.
    const auto* Image = reinterpret_cast<const uint8_t*>(GetModuleHandleW(nullptr));
    const auto* Dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(Image);
    const auto* Nt = reinterpret_cast<const IMAGE_NT_HEADERS64*>(Image + Dos->e_lfanew);
    const int64_t End = loader_Record::ImageEnd(Image, Nt->OptionalHeader.SizeOfHeaders);

    uint8_t Tail[loader_Record::RecordSize];
    bool HaveTail = false;
    if (Size >= int64_t(sizeof Tail)) {
        fw_Streams::THandleStream Stream(Own.Get());
        Stream.Seek(Size - int64_t(sizeof Tail), fw_Streams::TSeekOrigin::soBeginning);
        HaveTail = Stream.Read(Tail, sizeof Tail) == sizeof Tail;
    }
    std::optional<loader_Record::TLayout> Layout;
    try {
        Layout = loader_Record::ReadLayout(End, Size, HaveTail ? Tail : nullptr);
    } catch (const ELoader& E) {
        throw ELoader(E.Code, Self + L" is damaged: " + E.Text + L".");
    }

    if (Layout) {
        S.Path = Self;
        S.File = std::move(Own);
        S.SelfExtracting = true;
    } else {
        S.Path = loader_Command::FolderOf(Self) + L"\\setup.1";
        S.File = OpenForReading(S.Path, loader_Failure::ecNoArchive);
    }
    const int64_t First = Layout ? Layout->SetupFirst : 0;
    const int64_t Last = Layout ? Layout->SetupLast : SizeOf(S.File.Get(), S.Path, loader_Failure::ecNoArchive) - 1;
    S.Setup = std::make_unique<loader_Archive::TWindowStream>(S.File.Get(), First, Last);
    try {
        loader_Archive::ReadCheckedTable(*S.Setup, S.Table, L"setup.1");
        if (S.Table.Count() < 1)
            throw ELoader(loader_Failure::ecDamaged, L"setup.1 holds no setup program");
        // Every name is checked before the folder is made.
        for (int I = 0; I < S.Table.Count(); ++I)
            loader_Archive::TargetName(S.Table.FileHeaders(I)->FileName());
        if (Layout && Layout->HasFiles) {
            loader_Archive::TWindowStream Files(S.File.Get(), Layout->FilesFirst, Layout->FilesLast);
            archive_FileHeaders::TFileHeaders FilesTable;
            loader_Archive::ReadCheckedTable(Files, FilesTable, L"files.1");
        }
    } catch (const ELoader& E) {
        throw ELoader(E.Code, S.Path + L" is damaged: " + E.Text + L".");
    }
}

// Unpacks every record of setup.1 into Folder; answers the first one's path.
std::wstring Unpack(TSource& S, const std::wstring& Folder)
{
    loader_Archive::TBuffers Buffers;
    std::wstring First;
    for (int I = 0; I < S.Table.Count(); ++I) {
        const archive_FileHeaders::TFileHeader& Header = *S.Table.FileHeaders(I);
        const std::wstring Target = Folder + L"\\" + loader_Archive::TargetName(Header.FileName());
        // CREATE_NEW: two records of one name, or anything already there, is no file of ours.
        THandle File(
            CreateFileW(Target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!File)
            throw ELoader(loader_Failure::ecUnpack,
                          L"Cannot create " + Target + L": " + loader_Failure::SystemReason(GetLastError()));
        try {
            loader_Archive::Inflate(*S.Setup, Header.Record, File.Get(), Target, Buffers);
        } catch (const ELoader& E) {
            throw ELoader(E.Code,
                          E.Code == loader_Failure::ecDamaged ? S.Path + L" is damaged: " + E.Text + L"." : E.Text);
        }
        // The archived date, as the engine gives it: a later run compares the
        // running copy's size and date with a pending one's.
        fw_SysUtils::FileSetDate(File.Get(), fw_SysUtils::DateTimeToFileDate(Header.Record.Date));
        if (I == 0)
            First = Target;
    }
    return First;
}

DWORD RunAndWait(const std::wstring& Program, std::wstring CommandLine)
{
    STARTUPINFOW Startup{};
    Startup.cb = sizeof Startup;
    PROCESS_INFORMATION Info{};
    if (!CreateProcessW(Program.c_str(), CommandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &Startup,
                        &Info))
        throw ELoader(loader_Failure::ecNotStarted, L"Cannot start the setup program " + Program + L": " +
                                                        loader_Failure::SystemReason(GetLastError()));
    THandle Process(Info.hProcess), Thread(Info.hThread);
    Thread.Reset();
    WaitForSingleObject(Process.Get(), INFINITE);
    DWORD Code = 0;
    if (!GetExitCodeProcess(Process.Get(), &Code))
        throw ELoader(loader_Failure::ecInternal,
                      L"The setup program's exit code cannot be read: " + loader_Failure::SystemReason(GetLastError()));
    return Code;
}

int Run()
{
    const std::vector<std::wstring> Args = loader_Command::SplitCommandLine(GetCommandLineW());
    const std::wstring Self = ModulePath();
    const loader_Command::TRequest Request =
        loader_Command::ParseArguments(std::vector<std::wstring>(Args.begin() + (Args.empty() ? 0 : 1), Args.end()));
    if (!Request.Valid)
        throw ELoader(loader_Failure::ecUsage, L"Unknown argument \"" + Request.Unknown + L"\".\n\nUsage: " +
                                                   loader_Command::FileNameOf(Self) +
                                                   L" [*TODISK]\n*TODISK copies the installation onto floppy disks.");

    std::wstring Folder, Program;
    bool SelfExtracting = false;
    {
        TSource Source;
        Locate(Source, Self);
        SelfExtracting = Source.SelfExtracting;
        Folder = loader_Folder::CreatePrivateFolder(TempFolder());
        fw_Handles::TScopeExit RemoveOnFailure([&] { loader_Folder::RemoveFolder(Folder); });
        Program = Unpack(Source, Folder);
        RemoveOnFailure.Dismiss();
    } // setup.1 and every unpacked file are closed before the setup program starts

    DWORD Code;
    {
        fw_Handles::TScopeExit Remove([&] {
            if (!loader_Folder::RunOnceNeeds(Folder))
                loader_Folder::RemoveFolder(Folder);
        });
        Code = RunAndWait(Program, loader_Command::SetupCommandLine(Program, Self, SelfExtracting, Request.ToDisk));
    }
    return int(Code);
}

void Tell(const std::wstring& Text)
{
    const HANDLE Err = GetStdHandle(STD_ERROR_HANDLE);
    if (Err && Err != INVALID_HANDLE_VALUE) {
        const std::string Bytes = loader_Failure::Narrow(Text) + "\r\n";
        DWORD Written = 0;
        WriteFile(Err, Bytes.data(), DWORD(Bytes.size()), &Written, nullptr);
    }
    MessageBoxW(nullptr, Text.c_str(), Title, MB_OK | MB_ICONERROR | MB_SETFOREGROUND);
}

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    // A download folder may hold planted libraries: load system ones only.
    SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    try {
        return Run();
    } catch (const ELoader& E) {
        Tell(E.Text);
        return E.Code;
    } catch (const std::exception& E) {
        Tell(L"Setup failed: " + loader_Failure::Widen(E.what()));
        return loader_Failure::ecInternal;
    }
}
