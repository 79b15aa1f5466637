#include "Internal.h"

#include "engine/cmp_TPathSpecifier.h"
#include "framework/fw_Handles.h"
#include "framework/fw_Streams.h"
#include "routines/routines_API.h"
#include "routines/routines_Strings.h"

#include <optional>

namespace cmp_TInstall {

void TCustomInstall::FormActivate(TObject* Sender)
{
    if (FActivated)
        return;
    if (FPreviousOnActivateSaved && FPreviousOnActivate)
        FPreviousOnActivate(Owner());
    FActivated = true;
    if (FInstallForm && FAutoMaximizeWindow && IsForm(FInstallForm))
        static_cast<fw_Forms::TCustomForm*>(FInstallForm)->SetWindowState(fw_Forms::wsMaximized);
    if (!FRunAutomatic)
        return;
    if (IsForm(FInstallForm) && Owner() && !Owner()->IsDestroying() && FPreviousOnActivateSaved) {
        static_cast<fw_Forms::TCustomForm*>(FInstallForm)->OnActivate = FPreviousOnActivate;
        FPreviousOnActivateSaved = false;
    }
    Process();
}

void TCustomInstall::Process()
{
    using namespace cmp_TInstallContainer;
    FAborted = false;
    RunStart = fw_SysUtils::Now();
    RaiseRegistrationErrors = false;
    FailedRegistrations().Clear();
    FUnfinishedCount = 0;
    FRunCleanupBatch = false;
    FRunning = true;
    exceptions_Wendrel::UserAbortRequested = false;
    // A run reads the archives as they are on disk now, from where the
    // distribution is (a disk prompt of an earlier run moved it).
    ReleaseArchiveEngines();
    if (auto* Main = cmp_TPathSpecifier::StandardPathSpecifiers().Find<cmp_TPathSpecifier::TpsMainArchiveFile>())
        Main->ArchiveDir.clear();
    SharedArchiveEngine().Abort = false;
    // A setup built with a loading program must be started by it.
    if (FUseLoadingProgram && !FSwitches.Contains(swSourcePath))
        throw IEInstall("The path of the loading program was not passed correctly. If you are running your install "
                        "project in the IDE, then you need to add two command line parameters. In Run | Parameters | "
                        "\"Run Parameters\", type in: -d \"-sBUILDPATH\" where BUILDPATH is the path into which you "
                        "built the distributables. Example: -d \"-sC:\\My Build\".");
    cmp_TInstallContainer::InstallKey = FindInstallRecord(true);
    ClearUnfinished();
    // A self-extracting setup carries the archive inside itself.
    if (FSwitches.Contains(swSelfExtract)) {
        const std::string Program = GetFullArchiveFile();
        const int32_t FilesStart = ReadExtractionInfo(Program).FilesStart;
        // Without files.1 the table would be read from the loading program.
        if (FilesStart == 0 && cmp_TInstallContainer::AllInstallFiles().Count() > 0)
            throw IEInstall("The self-extracting file %s carries no archive of the installation's files", {Program});
        SharedArchiveEngine().Offset = FilesStart;
    }
    ReadInfoFromArchive();
    if (OnAfterInitialized)
        OnAfterInitialized(this);
    for (int Code : BeforeInstallCodes)
        SendInformation(this, Code, nullptr);
    // A wizard's window handled a failure while it ran: the run is over.
    if (FAborted)
        return;
    {
        // OnAfterInstallObjects hears of the tree's end also when it failed.
        fw_Handles::TScopeExit AfterInstall([this] {
            if (cmp_TInstallContainer::TFileContainer::OnAfterInstallObjects)
                cmp_TInstallContainer::TFileContainer::OnAfterInstallObjects(this, SharedArchiveEngine().Abort);
        });
        TInstallContainer::Process();
        RaiseRegistrationErrors = true;
        // By index over the live list: a registration is tried once more,
        // now with its error.
        TCustomInstallFileList& Failed = FailedRegistrations();
        for (int I = 0; I < Failed.Count(); ++I)
            Failed.Items(I)->RegisterServer();
        ProcessRegisteredType(2750, "Installing ODBC drivers...");
        ProcessRegisteredType(2875, "Installing ODBC sources...");
        ProcessRegisteredType(3000, "Installing Vellmark Database Engine aliases...");
        ProcessRegisteredType(7000, "Installing shell links...");
        ProcessRegisteredType(8000, "Installing shell links...");
        ProcessRegisteredType(4000, "Installing INI files...");
        ProcessRegisteredType(8500, "Installing registry keys...");
        ProcessRegisteredType(8700, "");
    }
    if (FUnfinishedCount > 0 || FReboot)
        RegisterRunOnce();
    const bool RebootDue = FReboot;
    if (FReboot) {
        SendInformation(this, icRebootDue, nullptr);
        if (OnBeforeReboot)
            OnBeforeReboot(this, FReboot);
        if (FReboot) {
            WriteLanguage();
            RebootWindows();
        }
    }
    if (RebootDue) {
        FRunning = false;
        ReleaseArchiveEngines();
        if (fw_Forms::Application) {
            fw_Forms::Application->ExitCode = ExitRestartPending;
            fw_Forms::Application->Terminate();
        }
        return;
    }
    // A resume that an earlier run of this program registered has nothing
    // left to do: this run installed everything.
    RemovePendingResume();
    EndWell();
}

void TCustomInstall::EndWell()
{
    NotifyGoodInstall();
    Cleanup();
    RemoveInstallRecord();
    // Shutdown only asks the application to end after this message: the
    // programs to run after the install still start.
    if (FRunAutomatic)
        Shutdown();
    RunFilesAfterInstall();
    cmp_TInstallContainer::ReleaseArchiveEngines();
    FRunning = false;
}

// A failure inside a run ends it; one outside is only shown.
void TCustomInstall::HandleException(TObject* Sender, const fw_SysUtils::Exception& E)
{
    if (!FRunning) {
        if (fw_Forms::Application)
            fw_Forms::Application->ShowException(E);
        return;
    }
    FRunning = false;
    FAborted = true;
    const bool UserAbort = dynamic_cast<const exceptions_Wendrel::EAIUserAbort*>(&E) != nullptr;
    // The program's exit code tells a failed or aborted run from a good one.
    if (fw_Forms::Application)
        fw_Forms::Application->ExitCode = UserAbort ? ExitUserAbort : ExitFailure;
    // The failure's own pages may fail in turn; that is shown too, but
    // nothing leaves the exception hook. (An abort there adds nothing: the
    // run has already ended as failed or aborted.)
    try {
        NotifyBadInstall();
    } catch (const exceptions_Wendrel::EAIUserAbort&) {
    } catch (const fw_SysUtils::Exception& Failure) {
        if (fw_Forms::Application)
            fw_Forms::Application->ShowException(Failure);
    } catch (const std::exception& Failure) {
        if (fw_Forms::Application)
            fw_Forms::Application->ShowException(fw_SysUtils::Exception(Failure.what()));
    }
    if (!UserAbort) {
        if (fw_Forms::Application)
            fw_Forms::Application->ShowException(E);
        Shutdown();
        return;
    }
    Cleanup();
    RemoveInstallRecord();
    if (FRunAutomatic)
        Shutdown();
}

void TCustomInstall::Shutdown()
{
    bool QuitOut = true;
    if (OnBeforeShutdown)
        OnBeforeShutdown(this, QuitOut);
    if (QuitOut && fw_Forms::Application)
        fw_Forms::Application->Terminate();
}

bool TCustomInstall::QueryUserAbort()
{
    bool QuitOut = true;
    if (OnUserAbort)
        OnUserAbort(this, QuitOut);
    return QuitOut;
}

void TCustomInstall::NotifyGoodInstall()
{
    if (OnBeforeNotifyGoodInstall)
        OnBeforeNotifyGoodInstall(this);
    SendInformation(this, cmp_TInstallContainer::icGoodInstall, nullptr);
    SendInformation(this, cmp_TInstallContainer::icAfterGoodInstallPages, nullptr);
    if (OnAfterNotifyGoodInstall)
        OnAfterNotifyGoodInstall(this);
}

void TCustomInstall::NotifyBadInstall()
{
    if (OnBeforeNotifyBadInstall)
        OnBeforeNotifyBadInstall(this);
    SendInformation(this, cmp_TInstallContainer::icBadInstall, nullptr);
    SendInformation(this, cmp_TInstallContainer::icAfterBadInstallPages, nullptr);
    if (OnAfterNotifyBadInstall)
        OnAfterNotifyBadInstall(this);
}

void TCustomInstall::ReadInfoFromArchive()
{
    if (FArchiveInfoRead)
        return;
    if (OnBeforeReadArchiveInfo)
        OnBeforeReadArchiveInfo(this);
    SendInformation(this, icReadingArchiveInfo, nullptr);
    {
        std::optional<fw_Forms::THourGlass> HourGlass;
        if (FInstallForm)
            HourGlass.emplace();
        DisplayMessage("Reading file information...");
        inherited::ReadInfoFromArchive();
        if (FDistributeType != dtTraditional)
            ReadRemoteFileList();
    }
    ClearMessage();
    FArchiveInfoRead = true;
    if (OnAfterReadArchiveInfo)
        OnAfterReadArchiveInfo(this);
    SendInformation(this, icArchiveInfoRead, nullptr);
}

bool TCustomInstall::NeedsDownload() const { return inherited::NeedsDownload(); }

void TCustomInstall::ProcessRegisteredType(int Type, const std::string& Text)
{
    bool Shown = false;
    // By index over the live list: a component may go meanwhile.
    cmp_TInstallContainer::TInstallContainerList& All = cmp_TInstallContainer::AllInstallContainers();
    for (int I = 0; I < All.Count(); ++I) {
        TInstallContainer* Container = All.Items(I);
        if (Container->RegisteredType() != Type)
            continue;
        if (!Shown && !fw_SysUtils::Trim(Text).empty()) {
            DisplayMessage(Text);
            Shown = true;
        }
        Container->Process();
    }
    if (Shown)
        ClearMessage();
}

void TCustomInstall::RunFilesAfterInstall()
{
    // By index over the live list: a handler may free a file meanwhile.
    cmp_TInstallContainer::TCustomInstallFileList& Files = cmp_TInstallContainer::AllInstallFiles();
    for (int I = 0; I < Files.Count(); ++I) {
        cmp_TInstallContainer::TCustomInstallFile* File = Files.Items(I);
        if (!File->RunAfterInstall())
            continue;
        bool DefaultAction = true;
        if (OnBeforeRunFile)
            OnBeforeRunFile(this, File, DefaultAction);
        // Quoted: the destination usually lies below "Program Files". Whether
        // the program starts is its own business; the installation is done.
        if (DefaultAction)
            WinExec(("\"" + File->TargetPath() + "\"").c_str(), SW_SHOWNORMAL);
    }
}

bool BelowTempFolder(const std::string& Folder, bool DirectlyBelow)
{
    std::string Temp(MAX_PATH, '\0');
    Temp.resize(GetTempPathA(DWORD(Temp.size()), Temp.data()));
    // The folder as the system resolves it: "<temp>\.." names no folder
    // below the temporary one, whatever its spelling.
    std::string Full(MAX_PATH * 2, '\0');
    const DWORD N = Folder.empty() ? 0 : GetFullPathNameA(Folder.c_str(), DWORD(Full.size()), Full.data(), nullptr);
    if (N == 0 || N >= Full.size())
        return false;
    Full.resize(N);
    return !Temp.empty() && Full.size() > Temp.size() && fw_SysUtils::SameText(Full.substr(0, Temp.size()), Temp) &&
           (!DirectlyBelow || Full.find('\\', Temp.size()) == std::string::npos);
}

// The clean-up acts only for a loading program's copy that asked for it.
void TCustomInstall::Cleanup()
{
    if (!FUseLoadingProgram || FSwitches.Contains(swDebug) || !FSwitches.Contains(swCleanup) || IsDesigning())
        return;
    bool Continue = true;
    if (OnBeforeCleanup)
        OnBeforeCleanup(this, Continue);
    if (!Continue)
        return;
    const std::string Program = fw_SysUtils::ModuleFileName();
    const std::string Folder = routines_Strings::ExcludeTrailingBackslash(fw_SysUtils::ExtractFilePath(Program));
    for (const std::string& Line : PresetupFiles())
        DeleteFileA((Folder + "\\" + fw_SysUtils::ExtractFileName(Line)).c_str());
    FCleanupBatchFile = fw_SysUtils::ChangeFileExt(routines_API::TempFileName(false), ".bat");
    // The folder goes only when it is the loading program's own, below the
    // temporary folder; the program's file may stay locked for a moment after
    // it ended, so the batch tries again, a bounded number of times.
    const bool BelowTemp = BelowTempFolder(Folder, false);
    const bool NTFamily = routines_API::WindowsVersion() >= 2;
    auto Q = [](const std::string& Path) { return "\"" + Path + "\""; };
    std::string Text;
    Text += "@ECHO OFF\r\n";
    Text += "SET WENDREL_TRIES=0\r\n";
    Text += ":AGAIN\r\n";
    Text += "ERASE " + Q(Program) + "\r\n";
    Text += "IF NOT EXIST " + Q(Program) + " GOTO ERASED\r\n";
    Text += "SET /A WENDREL_TRIES=WENDREL_TRIES+1\r\n";
    Text += "IF %WENDREL_TRIES% GEQ 30 GOTO ERASED\r\n";
    Text += "PING -n 2 127.0.0.1 >NUL\r\n";
    Text += "GOTO AGAIN\r\n";
    Text += ":ERASED\r\n";
    if (BelowTemp)
        Text += (NTFamily ? "RMDIR /S /Q " : "DELTREE /Y ") + Q(Folder) + "\r\n";
    Text += "ERASE " + Q(fw_SysUtils::ChangeFileExt(FCleanupBatchFile, ".PIF")) + "\r\n";
    Text += "ERASE " + Q(FCleanupBatchFile) + "\r\n";
    {
        fw_Streams::TFileStream Batch(FCleanupBatchFile, fw_Streams::fmCreate);
        Batch.WriteBuffer(Text.data(), Text.size());
    }
    FRunCleanupBatch = true;
}

} // namespace cmp_TInstall
