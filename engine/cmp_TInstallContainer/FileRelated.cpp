#include "Internal.h"

#include "routines/routines_Registry.h"
#include "routines/routines_Strings.h"

namespace cmp_TInstallContainer {

using cmp_TPathSpecifier::TpsContainerArchiveFile;
using cmp_TPathSpecifier::TpsMainArchiveFile;
using fw_SysUtils::Trim;

// ---- TFileRelated ---------------------------------------------------------------

FW_DEFINE_CLASS(TFileRelated, TInstallObject, nullptr, nullptr)

TFileRelated::TFileRelated(TComponent* AOwner) : TInstallObject(AOwner) { FAutoProcess = true; }

void TFileRelated::SetDesignDefaults()
{
    inherited::SetDesignDefaults();
    FArchiveFileType = SharedSpecifier<TpsContainerArchiveFile>();
    StoreReference(FArchiveFileType);
    FArchiveFile.clear();
    FDefaultArchiveFileTypeMade = true;
}

void TFileRelated::Loaded()
{
    if (FDefaultArchiveFileTypeMade && !FArchiveFileTypeAssigned)
        SetArchiveFileType(nullptr);
    FDefaultArchiveFileTypeMade = false;
    inherited::Loaded();
    std::string Path;
    if (FindLocalArchive(Path))
        FLocalArchive = Path;
}

void TFileRelated::Notification(TComponent* AComponent, TOperation Operation)
{
    inherited::Notification(AComponent, Operation);
    if (Operation != TOperation::opRemove || !AComponent)
        return;
    if (AComponent == FNetLocation)
        SetNetLocation(nullptr);
    if (AComponent == FArchiveFileType)
        FArchiveFileType = nullptr;
}

void TFileRelated::SetContainer(TInstallContainer* Value)
{
    FContainerAssigned = true;
    if (Value == FContainer)
        return;
    const bool Reading = IsLoading();
    TCustomPathSpecifier* ContainerArchive =
        !Reading && Value && Value->Is<TFileRelated>() ? SharedSpecifier<TpsContainerArchiveFile>() : nullptr;
    inherited::SetContainer(Value);
    if (Reading)
        return;
    if (ContainerArchive) {
        SetArchiveFileType(ContainerArchive);
        FArchiveFile.clear();
    } else if (FArchiveFileType && FArchiveFileType->Is<TpsContainerArchiveFile>()) {
        FArchiveFileType = nullptr;
    }
}

void TFileRelated::DataReceived(TObject* Sender, const std::string& FileName, int Bytes, int TotalBytes, int FileSize,
                                const char* Buffer)
{
    // NOT BUILT: the download report (OnDataReceived, status up the tree).
    throw IEFileRelated("Reporting a download is not available in this build");
}

void TFileRelated::DownloadArchive()
{
    // NOT BUILT: fetching the archive through the net location.
    throw IEFileRelated("Downloading an archive is not available in this build");
}

TComponent* TFileRelated::GetNetSource() const
{
    // NOT BUILT: finding the net location of this object's archive.
    throw IEFileRelated("Finding the net location is not available in this build");
}

std::string TFileRelated::GetNetPath() const
{
    // NOT BUILT: the folder that mirrors the server's folder.
    throw IEFileRelated("Naming the net folder is not available in this build");
}

bool TFileRelated::HasLocalArchive() const
{
    std::string Path;
    return !Trim(FLocalArchive).empty() || FindLocalArchive(Path);
}

void TFileRelated::StoreLocalArchive(const std::string& Path)
{
    if (Trim(Name()).empty() || Trim(Path).empty() || InstallKey.empty())
        return;
    routines_Registry::WriteRegistryString(routines_Registry::hkLocalMachine, InstallKey + "\\" + Name(), "LocalFile",
                                           Path);
}

bool TFileRelated::FindLocalArchive(std::string& Path) const
{
    // Without an install record there is nothing recorded to look up.
    if (Trim(Name()).empty() || InstallKey.empty())
        return false;
    std::string Value;
    routines_Registry::ReadRegistryString(routines_Registry::hkLocalMachine, InstallKey + "\\" + Name(), "LocalFile",
                                          Value, "");
    if (Trim(Value).empty() || !fw_SysUtils::FileExists(Value))
        return false;
    Path = Value;
    return true;
}

void TFileRelated::SetArchiveFile(const std::string& Value)
{
    if (!IsLoading() && FArchiveFileType &&
        (FArchiveFileType->Is<TpsContainerArchiveFile>() || FArchiveFileType->Is<TpsMainArchiveFile>()))
        FArchiveFile.clear();
    else
        FArchiveFile = Value;
}

void TFileRelated::SetArchiveFileType(TCustomPathSpecifier* Value)
{
    FArchiveFileTypeAssigned = true;
    if (!IsLoading() && Value) {
        Value->Validate(this);
        if (Value->Is<TpsContainerArchiveFile>() || Value->Is<TpsMainArchiveFile>())
            FArchiveFile.clear();
    }
    StoreReference(Value);
    FArchiveFileType = Value;
}

void TFileRelated::SetNet(bool Value) { FNet = Value; }

void TFileRelated::SetNetLocation(TComponent* Value)
{
    StoreReference(Value);
    FNetLocation = Value;
}

std::string TFileRelated::GetFullArchiveFile() const
{
    std::string Result = FArchiveFileType ? FArchiveFileType->GetPath(this) + FArchiveFile : FArchiveFile;
    return routines_Strings::ExcludeTrailingBackslash(Result);
}

} // namespace cmp_TInstallContainer
