#include "Internal.h"

#include "engine/cmp_TInstall.h"
#include "routines/routines_Registry.h"

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
    // NOT BUILT: reading the archive's table into the files below.
    throw IEFileContainer("Reading the archive information is not available in this build");
}

bool TFileContainer::NeedsDownload() const
{
    cmp_TInstall::TCustomInstall* Root = cmp_TInstall::InstallRoot();
    if (Root && Root->DistributeType() == cmp_TInstall::dtTraditional)
        return false;
    for (int I = 0; I < FileCount(); ++I) {
        TCustomInstallFile* File = Files(I);
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

TCustomInstallFile* TFileContainer::FindFileBySource(const std::string& Path) const
{
    for (int I = 0; I < FileCount(); ++I)
        if (SameText(Files(I)->SourcePath(), Path))
            return Files(I);
    return nullptr;
}

bool TFileContainer::HasNetFiles() const
{
    for (int I = 0; I < FileCount(); ++I)
        if (Files(I)->Net())
            return true;
    return false;
}

} // namespace cmp_TInstallContainer
