#include "Internal.h"

#include "framework/fw_Streams.h"
#include "routines/routines_API.h"

#include <cstring>

namespace cmp_TInstall {

namespace {

#pragma pack(push, 1)
// One record of "filelist.lst" as it lies in the file.
struct TFileListRecord {
    int32_t Size;
    double Date;
    char Name[40];
    char Version[20];
};
#pragma pack(pop)
static_assert(sizeof(TFileListRecord) == 72);

// A text field: up to its first zero byte, never past its width.
std::string Field(const char* Chars, size_t Width) { return std::string(Chars, strnlen(Chars, Width)); }

} // namespace

TExtractionInfo TCustomInstall::ReadExtractionInfo(const std::string& FileName) const
{
    TExtractionInfo Info{};
    bool Read = false;
    try {
        fw_Streams::TFileStream File(FileName, fw_Streams::fmOpenRead | fw_Streams::fmShareDenyNone);
        if (File.Size() >= int64_t(sizeof Info)) {
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
        if (List.Read(&Record, sizeof Record) != sizeof Record)
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
