// The install record: the engine's registry key for one setup program file,
// found again by the file's size and last-write time, and the work it keeps
// for after a restart.
#include "Internal.h"

#include "framework/fw_Handles.h"
#include "framework/fw_Streams.h"
#include "routines/routines_Registry.h"
#include "routines/routines_Strings.h"

#include <cmath>

namespace cmp_TInstall {

using routines_Registry::TWdrlRegistry;

fw_SysUtils::TDateTime RunStart = 0;

namespace {

// A record's date matches the program's within this many days (~9 ms): the
// registry keeps the date as a floating-point day count.
constexpr double SameDateTolerance = 0.0000001;

const char* const NoRecordMessage = "The TInstall could not either write or read unfinished business from the registry";

struct TProgramStamp {
    std::string Path;
    fw_SysUtils::TDateTime Date = 0;
    int Size = 0;
};

// The running program's path, last-write time and size.
TProgramStamp StampOfProgram()
{
    TProgramStamp Stamp;
    Stamp.Path = fw_SysUtils::ModuleFileName();
    fw_Streams::TFileStream Program(Stamp.Path, fw_Streams::fmOpenRead | fw_Streams::fmShareDenyNone);
    FILETIME Written{};
    if (!GetFileTime(Program.Handle(), nullptr, nullptr, &Written))
        fw_SysUtils::RaiseLastOSError();
    Stamp.Date = fw_SysUtils::FileTimeToDateTime(Written);
    Stamp.Size = int(GetFileSize(Program.Handle(), nullptr));
    return Stamp;
}

// A registry class over HKEY_LOCAL_MACHINE that writes through at once.
struct TMachineRegistry : TWdrlRegistry {
    TMachineRegistry()
    {
        SetRootKey(HKEY_LOCAL_MACHINE);
        SetLazyWrite(false);
    }
};

std::vector<std::string> SubKeysOf(fw_Registry::TRegistry& Reg)
{
    fw_Classes::TStringList Names;
    Reg.GetKeyNames(Names);
    return Names.ToVector();
}

// Whether the record Key was made for the program Stamp describes; a record
// whose values cannot be read is no match.
bool RecordMatches(const std::string& Key, const TProgramStamp& Stamp)
{
    TMachineRegistry Reg;
    if (!Reg.OpenKeyReadOnly(Key))
        return false;
    try {
        Reg.ReadString("Path");
        return std::fabs(Reg.ReadDateTime("CreationDate") - Stamp.Date) < SameDateTolerance &&
               Reg.ReadInteger("Size") == Stamp.Size;
    } catch (const fw_Registry::ERegistryException&) {
        return false; // a damaged record belongs to no program
    }
}

void RequireRecord()
{
    if (cmp_TInstallContainer::InstallKey.empty())
        throw IEInstall(NoRecordMessage);
}

std::string UnfinishedPath() { return cmp_TInstallContainer::InstallKey + "\\" + UnfinishedKey; }

} // namespace

std::string TCustomInstall::FindInstallRecord(bool Create)
{
    TMachineRegistry Reg;
    // A lookup alone leaves the registry as it found it; every program start
    // looks, so the program file is only read when there is something to
    // compare it with or a record to make.
    if (!Reg.OpenKey(InstallRecordsKey, Create))
        return std::string();
    const std::vector<std::string> Records = SubKeysOf(Reg);
    if (Records.empty() && !Create)
        return std::string();
    const TProgramStamp Stamp = StampOfProgram();
    for (const std::string& Name : Records) {
        const std::string Key = std::string(InstallRecordsKey) + "\\" + Name;
        if (!RecordMatches(Key, Stamp))
            continue;
        try {
            TMachineRegistry Record;
            if (!Record.OpenKey(Key, false))
                return std::string();
            Record.WriteDateTime("LastRunDate", RunStart);
            Record.WriteString("Path", Stamp.Path);
        } catch (const fw_Registry::ERegistryException&) {
            return std::string(); // a record that can't be updated is not used
        }
        return Key;
    }
    if (!Create)
        return std::string();

    std::string Name;
    for (int N = 0;; ++N) {
        Name = fw_SysUtils::Format("Install%d", {N});
        bool Taken = false;
        for (const std::string& Existing : Records)
            Taken = Taken || fw_SysUtils::SameText(Existing, Name);
        if (!Taken)
            break;
    }
    const std::string Key = std::string(InstallRecordsKey) + "\\" + Name;
    TMachineRegistry Record;
    if (!Record.OpenKey(Key, true))
        throw IEInstall(fw_SysUtils::Format("Cannot create the install record %s", {Key}));
    Record.WriteString("Path", Stamp.Path);
    Record.WriteDateTime("LastRunDate", RunStart);
    Record.WriteDateTime("CreationDate", Stamp.Date);
    Record.WriteInteger("Size", Stamp.Size);
    if (FSwitches.Contains(swSelfExtract)) {
        std::string Source = FParameterContents[swSourcePath];
        if (!Source.empty())
            Source = routines_Strings::IncludeTrailingBackslash(Source);
        Record.WriteString("SelfExtract", Source + FParameterContents[swSelfExtract]);
    }
    return Key;
}

void TCustomInstall::RemoveInstallRecord()
{
    std::string& Key = cmp_TInstallContainer::InstallKey;
    if (Key.empty())
        return;
    TMachineRegistry Record;
    if (Record.OpenKey(Key, false)) {
        // Archives that components downloaded go with the record.
        for (const std::string& Component : SubKeysOf(Record)) {
            std::string Local;
            routines_Registry::ReadRegistryString(routines_Registry::hkLocalMachine, Key + "\\" + Component,
                                                  "LocalFile", Local, "");
            if (!fw_SysUtils::Trim(Local).empty())
                fw_SysUtils::DeleteFile(fw_SysUtils::Trim(Local)); // one already gone is no error
            routines_Registry::DeleteRegistryTree(routines_Registry::hkLocalMachine, Key + "\\" + Component);
        }
        Record.CloseKey();
        routines_Registry::DeleteRegistryTree(routines_Registry::hkLocalMachine, Key);
        // The engine's keys go when no record is left.
        TMachineRegistry Parent;
        if (Parent.OpenKey(InstallRecordsKey, false) && !Parent.HasSubKeys()) {
            Parent.CloseKey();
            Parent.DeleteKey(InstallRecordsKey);
            if (Parent.OpenKey(WendrelKey, false) && !Parent.HasSubKeys()) {
                Parent.CloseKey();
                Parent.DeleteKey(WendrelKey);
            }
        }
    }
    // The record is gone: nothing more may be written below it.
    Key.clear();
}

std::string TCustomInstall::GetSetupPath() const
{
    if (FSwitches.Contains(swSelfExtract))
        return GetFullArchiveFile();
    if (!FUseLoadingProgram)
        return fw_SysUtils::ModuleFileName();
    // The loading program passes only switches: the program the user started
    // is the distribution's setup.exe (only its folder is used).
    return routines_Strings::IncludeTrailingBackslash(FSourceDir) + "setup.exe";
}

void TCustomInstall::AddUnfinished(const std::string& Subject, int Action)
{
    RequireRecord();
    ++FUnfinishedCount;
    routines_Registry::WriteRegistryString(routines_Registry::hkLocalMachine, UnfinishedPath(), Subject,
                                           fw_SysUtils::IntToStr(Action));
}

void TCustomInstall::ReadUnfinished(fw_Classes::TStrings* List)
{
    List->Clear();
    RequireRecord();
    TMachineRegistry Reg;
    if (!Reg.OpenKeyReadOnly(UnfinishedPath()))
        return;
    fw_Classes::TStringList Names;
    Reg.GetValueNames(Names);
    for (const std::string& Name : Names.ToVector())
        List->Add(Name + ";" + Reg.ReadString(Name));
}

void TCustomInstall::ClearUnfinished()
{
    RequireRecord();
    routines_Registry::DeleteRegistryTree(routines_Registry::hkLocalMachine, UnfinishedPath());
}

namespace {

// The program a command line starts: its first argument, quoted or not. The
// system runs a value's text up to its first zero byte; what follows is
// never run, so it names no program.
std::string ProgramOfCommandLine(const std::string& CommandLine)
{
    const std::string Text = fw_SysUtils::TrimLeft(CommandLine.substr(0, CommandLine.find('\0')));
    if (!Text.empty() && Text[0] == '"') {
        const size_t End = Text.find('"', 1);
        return Text.substr(1, End == std::string::npos ? std::string::npos : End - 1);
    }
    return Text.substr(0, Text.find(' '));
}

struct TPendingResume {
    std::string Name;
    std::string Program;
};

// The RunOnce values that resume a run of the program Stamp describes:
// their program has its size and last-write time.
std::vector<TPendingResume> PendingResumesOf(const TProgramStamp& Stamp)
{
    std::vector<TPendingResume> Names;
    TMachineRegistry Reg;
    if (!Reg.OpenKeyReadOnly(routines_Registry::RunOnceKey))
        return Names;
    fw_Classes::TStringList Values;
    Reg.GetValueNames(Values);
    for (const std::string& Name : Values.ToVector()) {
        if (!fw_SysUtils::StartsText(RunOnceName, Name))
            continue;
        std::string Program;
        try {
            Program = ProgramOfCommandLine(Reg.ReadString(Name));
        } catch (const fw_Registry::ERegistryException&) {
            continue; // not a command line
        }
        WIN32_FILE_ATTRIBUTE_DATA Data{};
        if (Program.empty() || !GetFileAttributesExA(Program.c_str(), GetFileExInfoStandard, &Data))
            continue;
        if (Data.nFileSizeHigh == 0 && int(Data.nFileSizeLow) == Stamp.Size &&
            std::fabs(fw_SysUtils::FileTimeToDateTime(Data.ftLastWriteTime) - Stamp.Date) < SameDateTolerance)
            Names.push_back({Name, Program});
    }
    return Names;
}

// A copy of the setup program that a loading program left below the
// temporary folder for its resume, which now will not come: its folder goes.
void RemoveLeftCopy(const std::string& Program)
{
    const std::string Folder = routines_Strings::ExcludeTrailingBackslash(fw_SysUtils::ExtractFilePath(Program));
    if (!BelowTempFolder(Folder, true) || fw_SysUtils::SameText(Program, fw_SysUtils::ModuleFileName()))
        return;
    WIN32_FIND_DATAA Found;
    fw_Handles::TFindHandle Find(FindFirstFileA((Folder + "\\*").c_str(), &Found));
    if (Find) {
        do {
            if (!(Found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                DeleteFileA((Folder + "\\" + Found.cFileName).c_str());
        } while (FindNextFileA(Find.Get(), &Found));
    }
    Find.Reset();
    RemoveDirectoryA(Folder.c_str()); // stays when something in it stays
}

} // namespace

void TCustomInstall::RegisterRunOnce()
{
    const std::string Program = fw_SysUtils::ModuleFileName();
    const std::string Setup = GetSetupPath();
    const std::string Folder = routines_Strings::ExcludeTrailingBackslash(fw_SysUtils::ExtractFilePath(Setup));
    std::string CommandLine = "\"" + Program;
    if (FSwitches.Contains(swSelfExtract))
        CommandLine += "\" -r \"-e" + fw_SysUtils::ExtractFileName(Setup) + "\" \"-s" + Folder + "\"";
    else
        CommandLine += "\" -r \"-s" + Folder + "\"";
    if (FSwitches.Contains(swCleanup))
        CommandLine += " -c";
    // A run of this same program that still waits for its restart is
    // resumed once, by this run's command: its value is taken over.
    const std::vector<TPendingResume> Pending = PendingResumesOf(StampOfProgram());
    if (!Pending.empty()) {
        try {
            routines_Registry::WriteRegistryString(routines_Registry::hkLocalMachine, routines_Registry::RunOnceKey,
                                                   Pending.front().Name, CommandLine);
            RemoveLeftCopy(Pending.front().Program);
            return;
        } catch (const fw_SysUtils::Exception&) {
            throw IEInstall("Cannot register the install to be run on reboot in the RunOnce key in the registry");
        }
    }
    if (!routines_Registry::AddRunOnceEntry(RunOnceName, CommandLine, true))
        throw IEInstall("Cannot register the install to be run on reboot in the RunOnce key in the registry");
}

void TCustomInstall::RemovePendingResume()
{
    const std::vector<TPendingResume> Pending = PendingResumesOf(StampOfProgram());
    if (Pending.empty())
        return;
    TMachineRegistry Reg;
    if (!Reg.OpenKey(routines_Registry::RunOnceKey, false))
        return;
    for (const TPendingResume& Resume : Pending) {
        Reg.DeleteValue(Resume.Name);
        RemoveLeftCopy(Resume.Program);
    }
}

} // namespace cmp_TInstall
