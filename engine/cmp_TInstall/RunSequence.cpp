#include "Internal.h"

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
    FAborted = false;
    cmp_TInstallContainer::RaiseRegistrationErrors = false;
    cmp_TInstallContainer::FailedRegistrations().Clear();
    FUnfinishedCount = 0;
    RunStart = fw_SysUtils::Now();
    FRunning = true;
    // A setup built with a loading program must be started by it.
    if (FUseLoadingProgram && !FSwitches.Contains(swSourcePath))
        throw IEInstall("The path of the loading program was not passed correctly. If you are running your install "
                        "project in the IDE, then you need to add two command line parameters. In Run | Parameters | "
                        "\"Run Parameters\", type in: -d \"-sBUILDPATH\" where BUILDPATH is the path into which you "
                        "built the distributables. Example: -d \"-sC:\\My Build\".");
    // NOT BUILT: the run from the install record to the outcome (archive
    // information, wizard codes, the tree, the passes, reboot, good end).
    throw IEInstall("Running the installation is not available in this build");
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
    NotifyBadInstall();
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
    // NOT BUILT: the root's reading of the archive information (events,
    // cursor, status, the remote file list).
    throw IEInstall("Reading the archive information is not available in this build");
}

bool TCustomInstall::NeedsDownload() const { return inherited::NeedsDownload(); }

void TCustomInstall::ProcessRegisteredType(int Type, const std::string& Text)
{
    // NOT BUILT: one pass of the run over the components of one registered type.
    throw IEInstall("Processing the components of one type is not available in this build");
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

// The clean-up acts only for a loading program's copy that asked for it.
void TCustomInstall::Cleanup()
{
    if (!FUseLoadingProgram || FSwitches.Contains(swDebug) || !FSwitches.Contains(swCleanup) || IsDesigning())
        return;
    // NOT BUILT: deleting the presetup files and writing the clean-up batch.
    throw IEInstall("Cleaning up the setup copy is not available in this build");
}

void TCustomInstall::CompleteAfterReboot()
{
    // NOT BUILT: resuming the installation after a reboot.
    throw IEInstall("Completing the installation after a reboot is not available in this build");
}

void TCustomInstall::Build()
{
    // NOT BUILT: build mode (compressing, signing, the loading program).
    throw IEInstall("Building the distribution is not available in this build");
}

void TCustomInstall::ArchiveSetupFiles()
{
    // NOT BUILT: transferring the distribution to floppies.
    throw IEInstall("Transferring the distribution to floppies is not available in this build");
}

} // namespace cmp_TInstall
