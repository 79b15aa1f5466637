#include "Internal.h"

#include "archive/archive_FileHeaders.h"
#include "engine/cmp_TInstall.h"
#include "framework/fw_Forms.h"
#include "framework/fw_Handles.h"
#include "framework/fw_Streams.h"
#include "routines/routines_API.h"
#include "routines/routines_Registry.h"
#include "routines/routines_Strings.h"

#include <map>
#include <memory>

namespace cmp_TInstallContainer {

bool RaiseRegistrationErrors = true;

TCustomInstallFileList& FailedRegistrations()
{
    static TCustomInstallFileList List;
    return List;
}

cmp_TWdrlCompress::TWdrlCompress& SharedArchiveEngine()
{
    static cmp_TWdrlCompress::TWdrlCompress Engine(nullptr);
    return Engine;
}

// ---- TCustomInstallFile -----------------------------------------------------------

FW_DEFINE_CLASS(TCustomInstallFile, TFileRelated, nullptr, nullptr)

TCustomInstallFile::TCustomInstallFile(TComponent* AOwner) : TFileRelated(AOwner)
{
    FAutoProcess = true;
    FInclude = true;
    SetNet(false);
    AllInstallFiles().Add(this);
    const int ID = TakeFreeUniqueID();
    if (ID >= 0) {
        FUniqueID = ID;
        FOwnsUniqueIDFlag = true;
    }
    AttachToDesignRoot();
}

TCustomInstallFile::~TCustomInstallFile()
{
    AllInstallFiles().Remove(this);
    FailedRegistrations().Remove(this);
    if (FOwnsUniqueIDFlag)
        SetUniqueIDFlag(FUniqueID, false);
}

void TCustomInstallFile::Loaded()
{
    inherited::Loaded();
    if (ValidUniqueID(FUniqueID)) {
        SetUniqueIDFlag(FUniqueID, true);
        FOwnsUniqueIDFlag = true;
    }
}

void TCustomInstallFile::EngineAborted(TObject* Sender) { throw exceptions_Wendrel::EAIUserAbort(); }

void TCustomInstallFile::SetState(TInstallFileState Value)
{
    // The state is a command: the operation runs, then the file is idle again.
    fw_Handles::TScopeExit Idle([this] { FState = ifsNone; });
    FState = Value;
    switch (Value) {
    case ifsCompress:
        CompressFile();
        break;
    case ifsInstall:
        Process();
        break;
    case ifsCopying:
        CopyToDestination();
        break;
    default:
        break;
    }
}

namespace {

const char* const BlankDestination = "Cannot compress,copy, or install the following file because it's destination "
                                     "directory is blank. File is :%s";
const char* const BlankArchive = "Cannot either compress or decompress the following file because it's archive file "
                                 "property is blank. File is :%s";

// The engines of the archives other than the install root's, one per archive.
std::map<std::string, std::unique_ptr<cmp_TWdrlCompress::TWdrlCompress>>& OtherEngines()
{
    static std::map<std::string, std::unique_ptr<cmp_TWdrlCompress::TWdrlCompress>> Engines;
    return Engines;
}

// "Name.1", "Name.2", ...: the first such name free in Folder.
std::string FreeNumberedName(const std::string& Folder, const std::string& Name)
{
    // Bounded: a folder that answers every name as taken is not to be trusted.
    for (int N = 1; N <= 9999; ++N) {
        const std::string Candidate = fw_SysUtils::ChangeFileExt(Name, "." + fw_SysUtils::IntToStr(N));
        if (GetFileAttributesA((Folder + Candidate).c_str()) != INVALID_FILE_ATTRIBUTES)
            continue;
        const DWORD Error = GetLastError();
        if (Error == ERROR_FILE_NOT_FOUND || Error == ERROR_PATH_NOT_FOUND)
            return Candidate;
        throw IECustomInstallFile("Cannot look for a free name for the new file %s in %s. GetLastError return: %d",
                                  {Name, Folder, int(Error)});
    }
    throw IECustomInstallFile("No free name for the new file %s in %s", {Name, Folder});
}

// Deletes Path; a read-only file loses its attribute first. False when the
// file is there and stays (it is in use).
bool DeleteTarget(const std::string& Path)
{
    if (DeleteFileA(Path.c_str()))
        return true;
    DWORD Error = GetLastError();
    if (Error == ERROR_FILE_NOT_FOUND || Error == ERROR_PATH_NOT_FOUND)
        return true;
    const DWORD Attributes = GetFileAttributesA(Path.c_str());
    if (Error == ERROR_ACCESS_DENIED && Attributes != INVALID_FILE_ATTRIBUTES &&
        (Attributes & FILE_ATTRIBUTE_READONLY) &&
        SetFileAttributesA(Path.c_str(), Attributes & ~DWORD(FILE_ATTRIBUTE_READONLY))) {
        if (DeleteFileA(Path.c_str()))
            return true;
        SetFileAttributesA(Path.c_str(), Attributes); // in use after all: as it was
    }
    return false;
}

std::string Quoted(const std::string& Path) { return "\"" + Path + "\""; }

} // namespace

static bool IsNetFile(const TCustomInstallFile& File)
{
    const cmp_TInstall::TDistributeType Type = cmp_TInstall::CurrentDistributeType();
    return Type == cmp_TInstall::dtWeb || (Type != cmp_TInstall::dtTraditional && File.Net());
}

cmp_TWdrlCompress::TWdrlCompress& ArchiveEngineFor(const std::string& Path)
{
    cmp_TInstall::TCustomInstall* Root = cmp_TInstall::InstallRoot();
    if (Root && fw_SysUtils::SameText(Root->GetFullArchiveFile(), Path))
        return SharedArchiveEngine();
    auto& Engine = OtherEngines()[fw_SysUtils::UpperCase(Path)];
    if (!Engine)
        Engine = std::make_unique<cmp_TWdrlCompress::TWdrlCompress>(nullptr);
    return *Engine;
}

void ReleaseArchiveEngines()
{
    OtherEngines().clear();
    SharedArchiveEngine().SetCompressedFile("");
    SharedArchiveEngine().Offset = 0;
}

void TCustomInstallFile::InstallObjects()
{
    FReplaceAtReboot = false;
    FExtractName.clear();
    // A handler may leave the file out with the silent abort; it still
    // counts as done for the progress.
    try {
        ReportUp(this, ecInstallStarting, this);
        if (OnBeforeInstall)
            OnBeforeInstall(this);
    } catch (const fw_SysUtils::EAbort&) {
        ReportUp(this, ecFileLeftOut, this);
        return;
    }
    // The destination goes through the specifiers once per install.
    FResolvedDestDir = GetFullDestDir();
    fw_Handles::TScopeExit Forget([this] { FResolvedDestDir.clear(); });
    if (fw_SysUtils::Trim(FResolvedDestDir).empty())
        throw IECustomInstallFile(BlankDestination, {Name()});
    const std::string Target = TargetPath();
    FTargetExisted = fw_SysUtils::FileExists(Target);
    FShouldInstall = !FTargetExisted;
    if (FTargetExisted) {
        switch (cmp_TVersion::TVersionResource::IsFileNewer(FVersion, Target, FOverwriteMode, FDate)) {
        case cmp_TVersion::cvUnknown:
        case cmp_TVersion::cvReplace:
            FShouldInstall = true;
            break;
        case cmp_TVersion::cvSame:
        case cmp_TVersion::cvKeep:
            FShouldInstall = false;
            break;
        }
    }
    if (FShouldInstall) {
        try {
            PrepareTarget();
        } catch (const fw_SysUtils::EAbort&) {
            FShouldInstall = false;
        }
    }
    if (!FShouldInstall) {
        ReportUp(this, ecFileNotExtracted, this);
        AfterInstallSteps();
        if (OnAfterInstall)
            OnAfterInstall(this);
        ReportUp(this, ecFileInstalled, this);
        TInstallContainer::InstallObjects();
        return;
    }
    FetchArchive();
    Extract();
}

// A net file's archive is downloaded first: its own, or its container's.
void TCustomInstallFile::FetchArchive()
{
    if (!IsNetFile(*this))
        return;
    if (HasOwnArchive()) {
        DownloadArchive();
        return;
    }
    if (FContainer && FContainer->Is<TFileContainer>()) {
        auto* Container = static_cast<TFileContainer*>(FContainer);
        if (!Container->HasLocalArchive())
            Container->DownloadArchive();
    }
}

void TCustomInstallFile::Extract()
{
    AppendInstallOrder(fw_SysUtils::Format("CompName: %s, File: %s", {Name(), FFileName}));
    FState = ifsInstall;
    const std::string Temporary = routines_Strings::IncludeTrailingBackslash(FResolvedDestDir) + FExtractName;
    cmp_TWdrlCompress::TWdrlCompress* Engine = nullptr;
    bool Done = false;
    fw_Handles::TScopeExit Finally([&] {
        if (Engine) {
            Engine->OnNewDisk = nullptr;
            Engine->OnStatus = nullptr;
            Engine->OnAborted = nullptr;
            // The container reports the abort when its files are done.
            if (Engine->Abort)
                SharedArchiveEngine().Abort = true;
        }
        // Nothing half-written stays: the new file takes the target's name
        // only when it is complete.
        if (!Done)
            DeleteFileA(Temporary.c_str());
        FState = ifsNone;
    });
    fw_SysUtils::ForceDirectories(FResolvedDestDir);
    const std::string Archive = GetFullArchiveFile();
    if (fw_SysUtils::Trim(Archive).empty())
        throw IECustomInstallFile(BlankArchive, {FFileName});
    Engine = &ArchiveEngineFor(Archive);
    Engine->SetCompressedFile(Archive);
    Engine->ExtractDirectory = FResolvedDestDir;
    Engine->ExtractName = FExtractName;
    // The file has decided already; what may lie under the new file's own
    // name is a leftover of an interrupted run, to be replaced.
    Engine->Overwrite = owAlways;
    Engine->OnAborted = [this](TObject* Sender) { EngineAborted(Sender); };
    Engine->OnNewDisk = [this](cmp_TWdrlCompress::TWdrlCompress* E, int Disk, std::string& Path) {
        EngineNewDisk(E, Disk, Path);
    };
    Engine->OnStatus = [this](cmp_TWdrlCompress::TWdrlCompress* E, const cmp_TWdrlCompress::TlzhFileStats& Stats) {
        EngineStatus(E, Stats);
    };
    Engine->FilesToProcess().Clear();
    Engine->FilesToProcess().Add(SourcePath());
    FExtractComplete = false;
    Engine->Extract();
    // A handler's silent abort inside the engine ends the extraction without
    // an error: the file is left out.
    if (!FExtractComplete) {
        SendInformation(this, icOperationEnded, nullptr);
        return;
    }
    const std::string Target = TargetPath();
    if (FDeferredDelete && !DeleteTarget(Target)) {
        // In use: the new file waits under a free numbered name for the restart.
        const std::string Folder = routines_Strings::IncludeTrailingBackslash(FResolvedDestDir);
        const std::string Numbered = FreeNumberedName(Folder, FDestName);
        if (!MoveFileExA(Temporary.c_str(), (Folder + Numbered).c_str(), 0)) {
            const DWORD Error = GetLastError();
            throw IECustomInstallFile("Cannot put the new file %s in the place of %s. GetLastError return: %d",
                                      {Temporary, Folder + Numbered, int(Error)});
        }
        Done = true;
        FExtractName = Numbered;
        ScheduleReplacement(Target);
    } else if (!FReplaceAtReboot) {
        if (!MoveFileExA(Temporary.c_str(), Target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED)) {
            const DWORD Error = GetLastError();
            throw IECustomInstallFile("Cannot put the new file %s in the place of %s. GetLastError return: %d",
                                      {Temporary, Target, int(Error)});
        }
        // An uninstall before this install, without a restart since, may
        // have left the older file's deletion pending: it would take the
        // new one.
        routines_API::CancelPendingDelete(Target);
    }
    Done = true;
    AfterInstallSteps();
    if (OnAfterInstall)
        OnAfterInstall(this);
    ReportUp(this, ecFileInstalled, this);
    TInstallContainer::InstallObjects();
    SendInformation(this, icOperationEnded, nullptr);
}

void TCustomInstallFile::EngineStatus(cmp_TWdrlCompress::TWdrlCompress*, const cmp_TWdrlCompress::TlzhFileStats& Stats)
{
    if (Stats.Finished && Stats.Processed == Stats.Size)
        FExtractComplete = true;
    TFileStatusParameter Status;
    Status.Processed = Stats.Processed;
    Status.PercentDone = Stats.PercentDone;
    Status.FileName = FFileName;
    Status.FileStats = Stats;
    Status.TotalProcessed = Stats.TotalProcessed;
    Status.TotalPercentDone = Stats.TotalPercentDone;
    if (OnStatus)
        OnStatus(this, Stats.PercentDone, Stats.TotalPercentDone);
    SendInformation(this, icFileStatus, &Status);
    fw_Classes::TList Report{this, &Status};
    const int Code = FState == ifsCompress ? ecCompressStatus : FState == ifsCopying ? ecCopyStatus : ecInstallStatus;
    ReportUp(this, Code, &Report);
}

void TCustomInstallFile::EngineNewDisk(cmp_TWdrlCompress::TWdrlCompress* Engine, int Disk, std::string& Path)
{
    fw_Handles::TScopeExit Unanswered([this] { SetTag(0); });
    SetTag(0);
    TDiskParameter Parameter;
    Parameter.Disk = Disk;
    Parameter.Path = routines_Strings::ExcludeTrailingBackslash(fw_SysUtils::ExtractFilePath(GetFullArchiveFile()));
    fw_Classes::TList Report{this, &Parameter};
    if (OnNewDisk)
        OnNewDisk(this, Disk, Parameter.Path);
    SendInformation(this, icNewDisk, &Report);
    ReportUp(this, ecNewDisk, &Report);
    if (!OnNewDisk && Tag() == 0 && fw_Forms::Application) {
        const std::string Text =
            fw_SysUtils::Format(exceptions_Wendrel::TranslateMessage("Please insert disk #%d"), {Disk});
        if (fw_Forms::Application->MessageBox(Text, fw_Forms::Application->Title(), MB_OKCANCEL | MB_ICONINFORMATION) ==
            IDCANCEL) {
            // Asking again would only repeat the question: the user ended it.
            Engine->Abort = true;
            throw exceptions_Wendrel::EAIUserAbort();
        }
    }
    Path = routines_Strings::ExcludeTrailingBackslash(Parameter.Path);
    // Later files are looked for on the new disk.
    if (auto* Main = SharedSpecifier<cmp_TPathSpecifier::TpsMainArchiveFile>())
        Main->ArchiveDir = Path;
}

void TCustomInstallFile::AfterInstallSteps()
{
    using routines_Registry::hkLocalMachine;
    const std::string DestDir = DestFolder();
    if (FRegisterAsHelp)
        routines_Registry::WriteRegistryString(hkLocalMachine, "\\SOFTWARE\\Microsoft\\Windows\\Help",
                                               fw_SysUtils::UpperCase(FDestName), DestDir);
    if (FUpdateDLLCounter && !UpdateSharedDLLCount())
        throw IECustomInstallFile("Cannot update the DLL count for the following file :%s:", {FFileName});
    cmp_TInstall::TCustomInstall* Root = cmp_TInstall::InstallRoot();
    if (FReplaceAtReboot && Root) {
        // Registered after the restart, when the new file is in place.
        Root->AddUnfinished(Name(), 0);
        return;
    }
    if (!FActiveX)
        return;
    try {
        RegisterServer();
    } catch (const exceptions_Wendrel::EAIUserAbort&) {
        throw;
    } catch (const fw_SysUtils::Exception&) {
        // Another file may be what this server needs: tried again after the tree.
        if (RaiseRegistrationErrors)
            throw;
        FailedRegistrations().Add(this);
    }
}

void TCustomInstallFile::RegisterServer()
{
    if (fw_SysUtils::UpperCase(fw_SysUtils::ExtractFileExt(FFileName)) == ".EXE")
        RegisterExecutable();
    else
        RegisterLibrary();
}

void TCustomInstallFile::CompleteAfterReboot()
{
    if (FActiveX)
        RegisterServer();
}

void TCustomInstallFile::WriteUninstallInfo(const std::string& Key)
{
    const std::string Target = TargetPath();
    if (FActiveX) {
        // The uninstaller unregisters these servers; ";1" marks a program.
        const bool Program = fw_SysUtils::UpperCase(fw_SysUtils::ExtractFileExt(FFileName)) == ".EXE";
        AddUninstallEntry(Key + "\\ActiveX", Target + (Program ? ";1" : ";0"));
        return;
    }
    if (!AddUninstallFile(Key, Target))
        throw IECustomInstallFile("Cannot record the file %s for the uninstaller under the key %s", {Target, Key});
}

namespace {

// Registration needs the installed file itself.
void RequireTarget(const TCustomInstallFile& File)
{
    if (fw_SysUtils::Trim(File.GetFullDestDir()).empty() || !fw_SysUtils::FileExists(File.TargetPath()))
        throw IECustomInstallFile("Cannot compress,copy, or install the following file because it's destination "
                                  "directory is blank. File is :%s",
                                  {File.Name()});
}

} // namespace

void TCustomInstallFile::RegisterLibrary()
{
    RequireTarget(*this);
    const std::string Target = TargetPath();
    fw_Handles::TModule Library(LoadLibraryA(Target.c_str()));
    const DWORD LoadError = GetLastError(); // before anything else can change it
    if (!Library)
        throw IECustomInstallFile("Could not register the ActiveX component, %s, because the LoadLibrary(%s) "
                                  "procedure returned a value of 0. The file component is %s. The following value is "
                                  "the value of the GetLastError function: %d",
                                  {Target, Target, Name(), int(LoadError)});
    using TRegisterServer = HRESULT(__stdcall*)();
    auto Register = reinterpret_cast<TRegisterServer>(GetProcAddress(Library.Get(), "DllRegisterServer"));
    const DWORD FindError = GetLastError();
    if (!Register)
        throw IECustomInstallFile("Could not register the ActiveX component, %s, because the DllRegisterServer "
                                  "function could not be found. The file component is %s. The following value is the "
                                  "value of the GetLastError function: %d",
                                  {Target, Name(), int(FindError)});
    const HRESULT Result = Register();
    if (Result != 0)
        throw IECustomInstallFile("Could not register the ActiveX component, %s, because the DllRegisterServer "
                                  "function returned a value of %d. The file component is %s",
                                  {Target, int(Result), Name()});
}

void TCustomInstallFile::RegisterExecutable()
{
    RequireTarget(*this);
    const std::string Target = TargetPath();
    // Quoted: the destination usually lies below "Program Files".
    const std::string CommandLine = "\"" + Target + "\" /REGSERVER";
    const UINT Result = WinExec(CommandLine.c_str(), SW_HIDE);
    const DWORD ExecError = GetLastError();
    if (Result < 32)
        throw IECustomInstallFile("Could not register the ActiveX component, %s, because the WinExec(%s,SW_HIDE) "
                                  "function returned a value < 32. The file component is %s. The following value is "
                                  "the value of the GetLastError function: %d",
                                  {Target, CommandLine, Name(), int(ExecError)});
}

void TCustomInstallFile::PrepareTarget()
{
    if (OnReplacing)
        OnReplacing(this);
    SendInformation(this, icReplacing, this);
    ReportUp(this, ecReplacing, this);
    FShouldInstall = true;
    const std::string Folder = routines_Strings::IncludeTrailingBackslash(DestFolder());
    const std::string Target = Folder + FDestName;
    // The new file is written under a name of its own beside the target and
    // takes the target's place when it is complete. During an install the
    // old target stays until then, so that a failed extraction keeps it.
    FExtractName = FDestName + ".~new";
    FDeferredDelete = false;
    if (!FResolvedDestDir.empty()) {
        FDeferredDelete = FTargetExisted;
        return;
    }
    if (DeleteTarget(Target))
        return;
    FExtractName = FreeNumberedName(Folder, FDestName);
    ScheduleReplacement(Target);
}

// The target is in use: the new file, under its free numbered name
// (FExtractName), takes its place at the next start.
void TCustomInstallFile::ScheduleReplacement(const std::string& Target)
{
    FReplaceAtReboot = true;
    cmp_TInstall::TCustomInstall* Root = cmp_TInstall::InstallRoot();
    const std::string ShortTarget = routines_API::ShortPathName(Target);
    const std::string ShortTemporary = fw_SysUtils::ExtractFilePath(ShortTarget) + FExtractName;
    if (routines_API::WindowsVersion() == 1) {
        WritePrivateProfileStringA("Rename", ShortTarget.c_str(), ShortTemporary.c_str(),
                                   (routines_API::WindowsDirectory() + "\\WININIT.INI").c_str());
        if (Root)
            Root->SetReboot(true);
        return;
    }
    if (Root)
        Root->SetReboot(true);
    // Replace-existing as well: at the restart the old target is still there.
    if (MoveFileExA(ShortTemporary.c_str(), ShortTarget.c_str(),
                    MOVEFILE_DELAY_UNTIL_REBOOT | MOVEFILE_REPLACE_EXISTING) ||
        !Root)
        return;
    // No delayed move: a batch file run once at the next start does it.
    std::string Batch = fw_SysUtils::ChangeFileExt(routines_API::TempFileName(false), ".bat");
    {
        fw_Streams::TFileStream File(Batch, fw_Streams::fmCreate);
        const std::string Lines =
            "erase " + Quoted(ShortTarget) + "\r\nmove " + Quoted(ShortTemporary) + " " + Quoted(ShortTarget) + "\r\n";
        File.WriteBuffer(Lines.data(), Lines.size());
    }
    Root->AddUnfinished(Batch, 1);
    // Unique: a second file in use gets its own value beside the first.
    if (!routines_Registry::AddRunOnceEntry("WendrelBatFile", Quoted(Batch), true))
        throw IECustomInstallFile(
            "%s cannot register a routine in the register to move the files after the computer is reboot", {Name()});
}

void TCustomInstallFile::ReadInfoFromArchive()
{
    cmp_TInstall::TCustomInstall* Root = cmp_TInstall::InstallRoot();
    if (Root && Root->State() == ifsInstall && FArchiveInfoRead)
        return;
    const cmp_TInstall::TDistributeType Type = cmp_TInstall::CurrentDistributeType();
    if (Type == cmp_TInstall::dtTraditional || (Type == cmp_TInstall::dtTraditionalNet && !FNet)) {
        ReadInfoFromArchiveFile(GetFullArchiveFile());
        return;
    }
    if (HasOwnArchive() && HasLocalArchive()) {
        std::string Local = FLocalArchive;
        if (fw_SysUtils::Trim(Local).empty())
            FindLocalArchive(Local);
        ReadInfoFromArchiveFile(Local);
        return;
    }
    if (!FContainer || !FContainer->Is<TFileContainer>())
        throw IECustomInstallFile("%s cannot perform ReadInfoFromArchive because either no container is assigned or "
                                  "the container is not TFileContainer",
                                  {Name()});
    // Before the container's download there is nothing to read yet.
    const std::string& ContainerArchive = static_cast<TFileContainer*>(FContainer)->LocalArchive();
    if (!fw_SysUtils::Trim(ContainerArchive).empty())
        ReadInfoFromArchiveFile(ContainerArchive);
}

void TCustomInstallFile::ReadInfoFromArchiveFile(const std::string& Path)
{
    if (fw_SysUtils::Trim(Path).empty())
        throw IECustomInstallFile(BlankArchive, {FFileName});
    cmp_TWdrlCompress::TWdrlCompress& Engine = ArchiveEngineFor(Path);
    Engine.SetCompressedFile(Path);
    const int Index = Engine.IndexOfUniqueID(FUniqueID);
    if (Index < 0)
        return; // not in this archive: the file keeps what it knows
    // The record itself, not the status with its totals over the whole table.
    const archive_FileHeaders::TFileHeader& Header = *Engine.Headers().GetFileHeaders(Index);
    if (Header.Record.UniqueID != FUniqueID)
        return;
    FCompressedSize = Header.Record.CompressedSize;
    FDate = Header.Record.Date;
    FSize = Header.Record.Size;
    FVersion = Header.Version().substr(0, archive_FileHeaders::MaxVersionLength);
    FArchiveInfoRead = true;
}

std::string TCustomInstallFile::GetFullArchiveFile() const
{
    // While a net file installs, its archive is the downloaded copy.
    if (FState == ifsInstall && IsNetFile(*this)) {
        std::string Path;
        if (HasOwnArchive() && !fw_SysUtils::Trim(FLocalArchive).empty())
            return FLocalArchive;
        if (HasOwnArchive() && FindLocalArchive(Path))
            return Path;
        if (FContainer && FContainer->Is<TFileContainer>() &&
            static_cast<TFileContainer*>(FContainer)->HasLocalArchive())
            return static_cast<TFileContainer*>(FContainer)->GetLocalArchiveFile();
    }
    return inherited::GetFullArchiveFile();
}

bool TCustomInstallFile::HasOLESelfRegister()
{
    return cmp_TVersion::HasVersionString(SourcePath(), "OLESelfRegister");
}

bool TCustomInstallFile::UpdateSharedDLLCount()
{
    routines_Registry::TWdrlRegistry Reg;
    Reg.SetRootKey(HKEY_LOCAL_MACHINE);
    if (!Reg.OpenKey("\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs", true))
        throw IECustomInstallFile(
            "Could not open the key SharedDLLs key in the registry. File component %s. GetLastError return: %d",
            {Name(), int(Reg.LastError())});
    // Older setups counted the library under its short name: that count
    // goes on; otherwise the long name carries it.
    const std::string Target = TargetPath();
    const std::string Short = routines_API::ShortPathName(Target);
    try {
        const int Count = Reg.ReadInteger(Short);
        Reg.WriteInteger(Short, Count + 1);
        return true;
    } catch (const fw_Registry::ERegistryException&) {
        // no count under the short name
    }
    int Count = 0;
    try {
        Count = Reg.ReadInteger(Target);
    } catch (const fw_Registry::ERegistryException&) {
        Count = 0; // the first installation of this library
    }
    Reg.WriteInteger(Target, Count + 1);
    return true;
}

void TCustomInstallFile::SetRemoteInfo(int Size, double Date, const std::string& Version)
{
    FSize = Size;
    FDate = Date;
    FVersion = Version.substr(0, archive_FileHeaders::MaxVersionLength);
}

bool TCustomInstallFile::HasOwnArchive() const
{
    return FNetLocation || FOverwriteMode == owVersion || FOverwriteMode == owDate || FOverwriteMode == owVersionDate;
}

std::string TCustomInstallFile::SourcePath() const
{
    return routines_Strings::IncludeTrailingBackslash(FIncludeFromDir) + FFileName;
}

std::string TCustomInstallFile::DestFolder() const
{
    return FResolvedDestDir.empty() ? GetFullDestDir() : FResolvedDestDir;
}

std::string TCustomInstallFile::TargetPath() const
{
    return routines_Strings::IncludeTrailingBackslash(DestFolder()) + FDestName;
}

static void DefineInstallFile(fw_Classes::TPropertyBuilder<TInstallFile>& P)
{
    using F = TInstallFile;
    DefineFileRelatedProperties(P);
    P.Boolean("Net", &F::Net, &F::SetNet, false);
    P.Boolean("Uninstall", &F::Uninstall, &F::SetUninstall, true);
    P.Boolean("ActiveX", &F::ActiveX, &F::SetActiveX, false);
    P.String("DestName", &F::DestName, &F::SetDestName);
    P.String("FileName", &F::FileName, &F::SetFileName);
    P.Enum<TInstallFileType>("FileType", TInstallFileTypeInfo, &F::FileType, &F::SetFileType, iftNormal);
    P.String("IncludeFromDir", &F::IncludeFromDir, &F::SetIncludeFromDir);
    P.Enum<TOverwriteType>("OverwriteMode", TOverwriteTypeInfo, &F::OverwriteMode, &F::SetOverwriteMode, owAlways);
    P.Boolean("RegisterAsHelp", &F::RegisterAsHelp, &F::SetRegisterAsHelp, false);
    P.Boolean("RunAfterInstall", &F::RunAfterInstall, &F::SetRunAfterInstall, false);
    P.Integer("UniqueID", &F::UniqueID, &F::SetUniqueID); // always written
    P.Boolean("UpdateDLLCounter", &F::UpdateDLLCounter, &F::SetUpdateDLLCounter, false);
}

FW_DEFINE_CLASS(TInstallFile, TCustomInstallFile, fw_Classes::CreateComponent<TInstallFile>, DefineInstallFile)

TInstallFile::TInstallFile(TComponent* AOwner) : TCustomInstallFile(AOwner) {}

} // namespace cmp_TInstallContainer
