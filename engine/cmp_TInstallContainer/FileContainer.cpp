#include "Internal.h"

#include "archive/archive_FileHeaders.h"
#include "engine/cmp_TInstall.h"
#include "framework/fw_Forms.h"
#include "framework/fw_Handles.h"
#include "routines/routines_Registry.h"

#include <optional>
#include <utility>

namespace cmp_TInstallContainer {

using fw_SysUtils::SameText;

// ---- TFileContainer -------------------------------------------------------------

FW_DEFINE_CLASS(TFileContainer, TFileRelated, nullptr, nullptr)

TFileContainer::TFileContainer(TComponent* AOwner) : TFileRelated(AOwner) {}

TFileContainer::~TFileContainer()
{
    FreeFiles();
    // An owner that frees all its components tells none of them, so the
    // specifiers that name this container forget it here.
    cmp_TPathSpecifier::TPathSpecifierList& Specifiers = cmp_TPathSpecifier::PathSpecifiers();
    for (int I = 0; I < Specifiers.Count(); ++I) {
        cmp_TPathSpecifier::TCustomPathSpecifier* S = Specifiers.Items(I);
        if (S->Is<TpsFileContainer>() && static_cast<TpsFileContainer*>(S)->FileContainer() == this)
            static_cast<TpsFileContainer*>(S)->SetFileContainer(nullptr);
    }
    // Its own specifier goes with it, unless the owner frees that one anyway.
    TpsFileContainer* Specifier = std::exchange(FPathSpecifier, nullptr);
    if (Specifier && !Specifier->IsDestroying())
        delete Specifier;
}

void TFileContainer::MakePathSpecifier()
{
    if (!MakesPathSpecifier())
        return;
    auto* Specifier = new TpsFileContainer(Owner());
    Specifier->SetFileContainer(this);
    FPathSpecifier = Specifier;
    Specifier->FreeNotification(this);
    // While a project is read its own specifier follows under the names the
    // project gives; this one stays unnamed and is replaced when that loads.
    if (!Owner() || !Owner()->IsLoading())
        routines_Registry::SetUniqueComponentName(Specifier, "psFileContainer");
}

void TFileContainer::Loaded()
{
    inherited::Loaded();
    // An unnamed component would be written as one no project can hold.
    if (!FPathSpecifier || !FPathSpecifier->Name().empty() || !Owner())
        return;
    for (int I = 0; I < Owner()->ComponentCount(); ++I) {
        auto* Other = dynamic_cast<TpsFileContainer*>(Owner()->Components(I));
        if (Other && Other != FPathSpecifier && Other->FileContainer() == this)
            return; // the project's own replaces it when that loads
    }
    routines_Registry::SetUniqueComponentName(FPathSpecifier, "psFileContainer");
}

void TFileContainer::Notification(TComponent* AComponent, TOperation Operation)
{
    inherited::Notification(AComponent, Operation);
    if (Operation == TOperation::opRemove && AComponent && AComponent == FPathSpecifier)
        FPathSpecifier = nullptr;
}

void TFileContainer::SetPathSpecifier(TpsFileContainer* Value)
{
    StoreReference(Value);
    FPathSpecifier = Value;
}

void TFileContainer::InstallObjects()
{
    AppendInstallOrder("FILECONTAINER: " + FDescription);
    // Idle again and the cursor back also when the install fails.
    fw_Handles::TScopeExit Idle([this] { FState = ifsNone; });
    std::optional<fw_Forms::THourGlass> HourGlass(std::in_place);
    FState = ifsInstall;
    std::string Path;
    if (FindLocalArchive(Path))
        FLocalArchive = Path;
    ReadInfoFromArchive();
    SendInformation(this, icContainerInstallStart, nullptr);
    ReportUp(this, ecOperationStarts, this);
    FOperationTotal = GetTotalSize(false);
    FOperationDone = 0;
    if (OnBeforeInstallObjects)
        OnBeforeInstallObjects(this);
    inherited::InstallObjects();
    ReportUp(this, ecOperationEnds, this);
    HourGlass.reset();
    const bool WasAborted = SharedArchiveEngine().Abort;
    SendInformation(this, icOperationEnded, nullptr);
    if (FFireAfterInstallObjects && OnAfterInstallObjects)
        OnAfterInstallObjects(this, WasAborted);
}

namespace {

// The two entries of a status or disk report: the file, then the parameter.
fw_Classes::TList& ReportList(TObject* PO)
{
    auto* List = dynamic_cast<fw_Classes::TList*>(PO);
    if (!List)
        throw IEFileContainer("DoInformationEventControl--PO is not a TList object");
    if (List->Count() < 2)
        throw IEFileContainer("DoInformationEventControl--Not engouh parameters for status event");
    return *List;
}

TCustomInstallFile* FileOf(TObject* PO, const char* Message)
{
    auto* File = dynamic_cast<TCustomInstallFile*>(PO);
    if (!File)
        throw IEFileContainer(Message);
    return File;
}

} // namespace

void TFileContainer::DoInformationEventControl(TObject* Sender, int Code, TObject* PO)
{
    // An idle container neither handles nor passes on: the report stops here.
    if (FState == ifsNone)
        return;
    if (!PO)
        throw IEFileContainer("%s got a nil PO parameter", {Name()});
    switch (Code) {
    case ecReplacing:
        DoReplacing(FileOf(PO, "DoInformationEventControl parameter is not TInstallFile"));
        break;
    case ecInstallStatus:
    case ecCompressStatus:
    case ecCopyStatus: {
        fw_Classes::TList& List = ReportList(PO);
        TCustomInstallFile* File = FileOf(List.Items(0), "DoInformationEventControl says bad first parameter");
        auto* Status = dynamic_cast<TFileStatusParameter*>(List.Items(1));
        if (!Status)
            throw IEFileContainer("DoInformationEventControl says bad second parameter");
        // Each level shows the progress of its own operation.
        Status->TotalProcessed = FOperationDone + Status->Processed;
        Status->TotalPercentDone = archive_FileHeaders::Percent(Status->TotalProcessed, FOperationTotal);
        DoStatus(File, Status);
        if (Status->FileStats.Finished)
            FOperationDone += Status->FileStats.Size;
        break;
    }
    case ecNewDisk: {
        fw_Classes::TList& List = ReportList(PO);
        auto* File = dynamic_cast<TCustomInstallFile*>(List.Items(0));
        if (!File)
            throw IEFileContainer("DoInformationEventControl says bad %d parameter", {1});
        auto* Disk = dynamic_cast<TDiskParameter*>(List.Items(1));
        if (!Disk)
            throw IEFileContainer("DoInformationEventControl says bad %d parameter", {2});
        DoNewDisk(File, Disk);
        SendInformation(this, icNewDisk, &List);
        break;
    }
    case ecDownloadStatus: {
        auto* Download = dynamic_cast<TDownloadStatusParameter*>(PO);
        if (!Download)
            throw IEFileContainer("The PO object passed to %s is not a TDownloadStatusParameter object", {Name()});
        if (OnDataReceived)
            OnDataReceived(this, Download->FileName, Download->Bytes, Download->TotalBytes, Download->FileSize,
                           nullptr);
        SendInformation(this, icDownloadStatus, Download);
        break;
    }
    case ecFileLeftOut:
    case ecFileNotExtracted: {
        TCustomInstallFile* File = FileOf(PO, "DoInformationEventControl says bad first parameter");
        TFileStatusParameter Status;
        Status.Processed = File->Size();
        Status.PercentDone = 100;
        Status.FileName = File->FileName();
        Status.TotalProcessed = FOperationDone + File->Size();
        Status.TotalPercentDone = archive_FileHeaders::Percent(Status.TotalProcessed, FOperationTotal);
        DoStatus(File, &Status);
        FOperationDone += File->Size();
        break;
    }
    default:
        break;
    }
    ReportUp(this, Code, PO);
}

void TFileContainer::DoNewDisk(TCustomInstallFile* File, TDiskParameter* DiskParameter)
{
    std::string Path = DiskParameter->Path;
    if (OnNewDisk) {
        OnNewDisk(File, DiskParameter->Disk, Path);
        File->SetTag(1);
    }
    DiskParameter->Path = Path;
}

void TFileContainer::DoReplacing(TCustomInstallFile* File)
{
    if (OnReplacing)
        OnReplacing(File);
    SendInformation(this, icReplacing, File);
}

void TFileContainer::DoStatus(TCustomInstallFile* File, TFileStatusParameter* StatusParameter)
{
    if (OnStatus)
        OnStatus(File, StatusParameter->PercentDone, StatusParameter->TotalPercentDone);
    SendInformation(this, icFileStatus, StatusParameter);
}

int TFileContainer::GetSize(bool IncludeAll, bool Recursive) const
{
    int Total = 0;
    for (TInstallObject* Helper : FHelpers) {
        if (!IncludeAll && !Helper->WillInstall())
            continue;
        if (Helper->Is<TCustomInstallFile>())
            Total += static_cast<TCustomInstallFile*>(Helper)->Size();
        else if (Recursive && Helper->Is<TFileContainer>())
            Total += static_cast<TFileContainer*>(Helper)->GetTotalSize(IncludeAll);
    }
    return Total;
}

void TFileContainer::Execute(TInstallFileState Operation)
{
    // The container is idle again also when the operation fails.
    struct TIdleAtEnd {
        TInstallFileState& State;
        ~TIdleAtEnd() { State = ifsNone; }
    } IdleAtEnd{FState};
    switch (Operation) {
    case ifsCompress:
        Compress(0);
        break;
    case ifsInstall:
        Process();
        break;
    case ifsCopying:
        CopyFiles();
        break;
    default:
        break;
    }
}

void TFileContainer::FreeFiles() { FreeHelpers(&TCustomInstallFile::StaticClass()); }

int TFileContainer::GetCompressedSize(bool IncludeAll) const
{
    int Total = 0;
    for (TInstallObject* Helper : FHelpers) {
        if (!IncludeAll && !Helper->WillInstall())
            continue;
        if (Helper->Is<TCustomInstallFile>())
            Total += static_cast<TCustomInstallFile*>(Helper)->CompressedSize();
        else if (Helper->Is<TFileContainer>())
            Total += static_cast<TFileContainer*>(Helper)->GetCompressedSize(IncludeAll);
    }
    return Total;
}

std::string TFileContainer::GetLocalArchiveFile() const
{
    std::string Path;
    if (!FindLocalArchive(Path))
        throw IEFileContainer("%s has not yet downloaded the archive file and therefore cannot retrieve the path of "
                              "the archive file",
                              {Name()});
    return Path;
}

int TFileContainer::GetOwnSize(bool IncludeAll) const { return GetSize(IncludeAll, false); }

int TFileContainer::GetTotalSize(bool IncludeAll) const { return GetSize(IncludeAll, true); }

void TFileContainer::ReadInfoFromArchive()
{
    fw_Forms::THourGlass HourGlass;
    // By index over the helpers: the files first, then the containers.
    for (TInstallObject* Helper : std::vector<TInstallObject*>(FHelpers))
        if (Helper->Is<TCustomInstallFile>())
            static_cast<TCustomInstallFile*>(Helper)->ReadInfoFromArchive();
    for (TInstallObject* Helper : std::vector<TInstallObject*>(FHelpers))
        if (Helper->Is<TFileContainer>())
            static_cast<TFileContainer*>(Helper)->ReadInfoFromArchive();
    FArchiveInfoRead = true;
}

bool TFileContainer::NeedsDownload() const
{
    cmp_TInstall::TCustomInstall* Root = cmp_TInstall::InstallRoot();
    if (Root && Root->DistributeType() == cmp_TInstall::dtTraditional)
        return false;
    for (TInstallObject* Helper : FHelpers) {
        if (!Helper->Is<TCustomInstallFile>())
            continue;
        auto* File = static_cast<TCustomInstallFile*>(Helper);
        if (File->Net() && File->Include() && !File->NetLocation())
            return true;
    }
    return false;
}

int TFileContainer::FileCount() const { return CompCount(&TCustomInstallFile::StaticClass()); }

TCustomInstallFile* TFileContainer::Files(int Index) const
{
    return static_cast<TCustomInstallFile*>(Comp(Index, &TCustomInstallFile::StaticClass()));
}

// Both walk the helpers once: counting and indexing the files would walk
// them again for every file.
TCustomInstallFile* TFileContainer::FindFileBySource(const std::string& Path) const
{
    for (TInstallObject* Helper : FHelpers)
        if (Helper->Is<TCustomInstallFile>() && SameText(static_cast<TCustomInstallFile*>(Helper)->SourcePath(), Path))
            return static_cast<TCustomInstallFile*>(Helper);
    return nullptr;
}

bool TFileContainer::HasNetFiles() const
{
    for (TInstallObject* Helper : FHelpers)
        if (Helper->Is<TCustomInstallFile>() && static_cast<TCustomInstallFile*>(Helper)->Net())
            return true;
    return false;
}

} // namespace cmp_TInstallContainer
