#include "Internal.h"

#include "archive/archive_FileHeaders.h"
#include "engine/cmp_TInstall.h"
#include "framework/fw_Handles.h"
#include "routines/routines_API.h"
#include "routines/routines_Registry.h"
#include "routines/routines_Strings.h"

#include <algorithm>
#include <vector>

namespace cmp_TInstallContainer {

using cmp_TPathSpecifier::TpsContainerArchiveFile;
using cmp_TPathSpecifier::TpsMainArchiveFile;
using fw_SysUtils::Trim;

namespace {

constexpr const char* LocalFileValue = "LocalFile";

// Why the archive's table does not read ("" when it reads).
std::string ArchiveTableError(const std::string& Path)
{
    cmp_TWdrlCompress::TWdrlCompress Engine(nullptr);
    Engine.SetCompressedFile(Path);
    try {
        Engine.ReadArchiveInfo();
    } catch (const fw_SysUtils::Exception& E) {
        return E.Message();
    }
    return "";
}

// Drops the record of a downloaded archive that no longer reads, so that it
// is fetched again.
void ForgetLocalArchive(const std::string& Name)
{
    routines_Registry::TWdrlRegistry Registry;
    Registry.SetRootKey(HKEY_LOCAL_MACHINE);
    const std::string Key = InstallKey + "\\" + Name;
    if (Registry.OpenKey(Key, false) && !Registry.DeleteValue(LocalFileValue))
        throw IEFileRelated("%s cannot remove the value %s of the registry key %s", {Name, LocalFileValue, Key});
}

// A new temporary file name with the extension ".1". The ".1" beside a new
// temporary name may be left from an earlier run: every ".tmp" tried stays
// reserved until a ".1" that is new has been claimed.
std::string NewDownloadName(const std::string& Name)
{
    std::vector<std::string> Reserved;
    fw_Handles::TScopeExit Release([&Reserved] {
        for (const std::string& Path : Reserved)
            fw_SysUtils::DeleteFile(Path);
    });
    for (int Attempt = 0; Attempt < 100; ++Attempt) {
        Reserved.push_back(routines_API::TempFileName(true));
        std::string Candidate = fw_SysUtils::ChangeFileExt(Reserved.back(), ".1");
        fw_Handles::THandle Claimed(
            CreateFileA(Candidate.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (Claimed)
            return Candidate;
    }
    throw IEFileRelated("%s cannot find a free temporary file name for its download", {Name});
}

} // namespace

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
    TDownloadStatusParameter Parameter;
    Parameter.Bytes = Bytes;
    Parameter.FileName = FileName;
    Parameter.FileSize = FileSize;
    Parameter.TotalBytes = TotalBytes;
    Parameter.PercentDone = archive_FileHeaders::Percent(TotalBytes, FileSize);
    if (OnDataReceived)
        OnDataReceived(this, FileName, Bytes, TotalBytes, FileSize, Buffer);
    SendInformation(this, icDownloadStatus, &Parameter);
    if (FContainer)
        FContainer->DoInformationEventControl(this, ecDownloadStatus, &Parameter);
}

void TFileRelated::DownloadArchive()
{
    std::string Recorded;
    if (FindLocalArchive(Recorded)) {
        if (ArchiveTableError(Recorded).empty()) {
            FLocalArchive = Recorded;
            return;
        }
        ForgetLocalArchive(Name());
    }
    TComponent* Location = GetNetSource();
    TNetSource* Source = Location ? NetSourceOf(Location) : nullptr;
    if (!Source)
        throw fw_SysUtils::Exception("Could not find a net install location for %s", {Name()});
    if (!Source->LoginComplete()) {
        if (!FNetLocation)
            throw IEFileRelated("%s could not install itself because the LoginInformation property of the TInstall "
                                "component has not been properly filled in",
                                {Name()});
        throw IEFileRelated("%s could not install itself because the TNetLocation component's properties, in the "
                            "NetLocation property, have not been filled in",
                            {Name()});
    }
    FLocalArchive = NewDownloadName(Name());
    // Only a complete, readable download is kept and recorded: whatever ends
    // it otherwise leaves neither a file nor a record behind.
    auto Discard = [this] {
        fw_SysUtils::DeleteFile(FLocalArchive);
        FLocalArchive.clear();
    };
    Source->SetDataHandler(
        [this](TObject* Sender, const std::string& FileName, int Bytes, int TotalBytes, int FileSize,
               const char* Buffer) { DataReceived(Sender, FileName, Bytes, TotalBytes, FileSize, Buffer); });
    {
        fw_Handles::TScopeExit RemoveHandler([Source] { Source->SetDataHandler(nullptr); });
        try {
            Source->GetFile(fw_SysUtils::ChangeFileExt(Name(), ".1"), FLocalArchive);
        } catch (...) {
            Discard();
            throw;
        }
    }
    if (exceptions_Wendrel::UserAbortRequested) {
        Discard();
        throw exceptions_Wendrel::EAIUserAbort();
    }
    std::string Error = ArchiveTableError(FLocalArchive);
    if (!Error.empty()) {
        Discard();
        throw IEFileRelated("%s downloaded its archive, but the archive cannot be read: %s", {Name(), Error});
    }
    if (!IsDesigning())
        StoreLocalArchive(FLocalArchive);
}

TComponent* TFileRelated::GetNetSource() const
{
    if (FNetLocation)
        return FNetLocation;
    // An install file takes its container's location; every other object
    // the install root's.
    if (Is<TCustomInstallFile>()) {
        if (FContainer && FContainer->Is<TFileContainer>())
            return static_cast<TFileContainer*>(FContainer)->GetNetSource();
        return nullptr;
    }
    cmp_TInstall::TCustomInstall* Root = cmp_TInstall::InstallRoot();
    return Root ? Root->NetLocation() : nullptr;
}

std::string TFileRelated::GetNetPath() const
{
    TComponent* Location = GetNetSource();
    TNetSource* Source = Location ? NetSourceOf(Location) : nullptr;
    if (!Source)
        throw IEFileRel_NoNetLocation("Could not find a net install location for %s", {Name()});
    // The folder names stand for server paths, whose "/" a folder name
    // cannot hold.
    auto Dashed = [](std::string Text) {
        std::replace(Text.begin(), Text.end(), '/', '-');
        return Text;
    };
    std::string Host = Dashed(Source->LoginHostname());
    std::string Directory = Source->LoginDirectory();
    if (!Trim(Directory).empty())
        return Host + "\\" + Dashed(Directory);
    return Host + "\\" + (Source->LoginIsFTP() ? "FTP Root directory" : "HTTP Root directory");
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
    routines_Registry::WriteRegistryString(routines_Registry::hkLocalMachine, InstallKey + "\\" + Name(),
                                           LocalFileValue, Path);
}

bool TFileRelated::FindLocalArchive(std::string& Path) const
{
    // Without an install record there is nothing recorded to look up.
    if (Trim(Name()).empty() || InstallKey.empty())
        return false;
    std::string Value;
    routines_Registry::ReadRegistryString(routines_Registry::hkLocalMachine, InstallKey + "\\" + Name(), LocalFileValue,
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
    if (Value && !NetSourceOf(Value))
        throw IEFileRelated("%s cannot take %s as its net location: %s is not a net install location",
                            {Name(), Value->Name(), Value->ClassName()});
    StoreReference(Value);
    FNetLocation = Value;
}

std::string TFileRelated::GetFullArchiveFile() const
{
    std::string Result = FArchiveFileType ? FArchiveFileType->GetPath(this) + FArchiveFile : FArchiveFile;
    return routines_Strings::ExcludeTrailingBackslash(Result);
}

} // namespace cmp_TInstallContainer
