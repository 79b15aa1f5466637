#include "Internal.h"

#include "framework/fw_Streams.h"
#include "routines/routines_API.h"

#include <cmath>
#include <cstring>

namespace cmp_TInstall {

namespace {

// A text field: up to its first zero byte, never past its width.
std::string Field(const char* Chars, size_t Width) { return std::string(Chars, strnlen(Chars, Width)); }

} // namespace

TExtractionInfo TCustomInstall::ReadExtractionInfo(const std::string& FileName) const
{
    TExtractionInfo Info{};
    bool Read = false;
    int64_t Size = 0;
    try {
        fw_Streams::TFileStream File(FileName, fw_Streams::fmOpenRead | fw_Streams::fmShareDenyNone);
        Size = File.Size();
        if (Size >= int64_t(sizeof Info)) {
            File.Seek(-int64_t(sizeof Info), fw_Streams::TSeekOrigin::soEnd);
            Read = File.Read(&Info, sizeof Info) == sizeof Info;
        }
    } catch (const fw_Streams::EStreamError&) {
        Read = false; // told below, with the file's name
    }
    if (!Read)
        throw IEInstall("Could not read the extraction info from the archive file %s when trying to find the correct "
                        "offset into the self extracting file",
                        {FileName});
    // The positions steer reads of the archives inside the file: a record
    // that is no record, or ranges outside the file, would have them read
    // the program or nothing. A files start of 0 means no files.1.
    const int64_t Record = Size - int64_t(sizeof Info);
    const bool Marked = std::memcmp(Info.Marker, "SELFEXTRACTING", sizeof Info.Marker) == 0;
    const bool SetupFits = Info.SetupStart > 0 && Info.SetupStart - 1 <= Info.SetupEnd && Info.SetupEnd < Record;
    const bool FilesFit = Info.FilesStart == 0 ? Info.FilesEnd == 0
                                               : Info.SetupEnd < Info.FilesStart && Info.FilesStart <= Info.FilesEnd &&
                                                     Info.FilesEnd < Record;
    if (!Marked || !SetupFits || !FilesFit)
        throw IEInstall("The self-extracting file %s is damaged: its extraction record does not describe its contents",
                        {FileName});
    return Info;
}

void TCustomInstall::ReadRemoteFileList()
{
    cmp_TInstallContainer::TNetSource* Source = cmp_TInstallContainer::NetSourceOf(FNetLocation);
    if (!Source)
        throw cmp_TInstallContainer::IEFileRel_NoNetLocation("Could not find a net install location for %s", {Name()});
    const std::string Path = routines_API::TempFileName(false);
    // The list is temporary whatever happens to it.
    struct TRemove {
        const std::string& Path;
        ~TRemove() { DeleteFileA(Path.c_str()); }
    } Remove{Path};
    Source->GetFile("filelist.lst", Path);
    if (exceptions_Wendrel::UserAbortRequested)
        throw exceptions_Wendrel::EAIUserAbort();
    fw_Streams::TFileStream List(Path, fw_Streams::fmOpenRead | fw_Streams::fmShareDenyWrite);
    // The list comes from the network: its records are read one at a time,
    // whatever count it claims.
    int32_t Count = 0;
    if (List.Read(&Count, sizeof Count) != sizeof Count || Count < 0)
        throw IEInstall("Cannot read the remote list of files: %s", {Path});
    cmp_TInstallContainer::TCustomInstallFileList& Files = cmp_TInstallContainer::AllInstallFiles();
    for (int32_t I = 0; I < Count; ++I) {
        TFileListRecord Record{};
        // A size below zero or a date that is no number is no file's: the
        // overwrite rules and the progress would act on garbage.
        if (List.Read(&Record, sizeof Record) != sizeof Record || Record.Size < 0 || !std::isfinite(Record.Date))
            throw IEInstall("Cannot read the remote list of files: %s", {Path});
        const std::string FileName = Field(Record.Name, sizeof Record.Name);
        for (int F = 0; F < Files.Count(); ++F) {
            TCustomInstallFile* File = Files.Items(F);
            if (fw_SysUtils::SameText(File->Name(), FileName)) {
                File->SetRemoteInfo(Record.Size, Record.Date, Field(Record.Version, sizeof Record.Version));
                break;
            }
        }
    }
}

} // namespace cmp_TInstall
