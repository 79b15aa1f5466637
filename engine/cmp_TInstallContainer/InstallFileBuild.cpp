#include "Internal.h"

#include "archive/archive_FileHeaders.h"
#include "framework/fw_Handles.h"

namespace cmp_TInstallContainer {

// Build time: compressing one file into its archive, copying it, reading its
// size, date and version from the source.

namespace {

using cmp_TWdrlCompress::TWdrlCompress;

// Hooks the engine's events for one operation and unhooks them on every
// path: the engine is shared and outlives the file that hooked them.
class THookedEngine {
public:
    THookedEngine(TWdrlCompress& Engine, fw_Classes::TNotifyEvent Aborted, cmp_TWdrlCompress::TlzhFileStatsEvent Status)
        : FEngine(Engine)
    {
        FEngine.OnAborted = std::move(Aborted);
        FEngine.OnStatus = std::move(Status);
    }
    ~THookedEngine()
    {
        FEngine.OnAborted = nullptr;
        FEngine.OnStatus = nullptr;
    }
    THookedEngine(const THookedEngine&) = delete;
    THookedEngine& operator=(const THookedEngine&) = delete;
    TWdrlCompress* operator->() const { return &FEngine; }

private:
    TWdrlCompress& FEngine;
};

} // namespace

void TCustomInstallFile::CompressFile()
{
    FState = ifsCompress;
    TryFinally(
        [this] {
            if (OnBeforeCompress)
                OnBeforeCompress(this);
            if (FContainer)
                FContainer->DoInformationEventControl(this, ecBeforeCompress, this);
            const std::string Archive = GetFullArchiveFile();
            if (fw_SysUtils::Trim(Archive).empty())
                throw IECustomInstallFile("Cannot either compress or decompress the following file because it's "
                                          "archive file property is blank. File is :%s",
                                          {FFileName});
            if (!FInclude)
                return;
            // The archive keeps at most this much of a key and would find a
            // longer one at install time under no name at all.
            const std::string Source = SourcePath();
            if (int(Source.size()) > archive_FileHeaders::MaxFileNameLength)
                throw IECustomInstallFile("Cannot compress the following file because its path is longer than the %d "
                                          "characters that an archive can hold. File is :%s",
                                          {archive_FileHeaders::MaxFileNameLength, Source});
            fw_SysUtils::ForceDirectories(fw_SysUtils::ExtractFileDir(Archive));
            THookedEngine Engine(
                SharedArchiveEngine(), [this](TObject* Sender) { EngineAborted(Sender); },
                [this](TWdrlCompress* Sender, const cmp_TWdrlCompress::TlzhFileStats& Stats) {
                    EngineStatus(Sender, Stats);
                });
            Engine->SetCompressedFile(Archive);
            Engine->FilesToProcess().Clear();
            Engine->FilesToProcess().Add(Source);
            Engine->Compress(FAddToArchive, FUniqueID);
            AppendCompressOrder(fw_SysUtils::Format("CompName: %s, File: %s", {Name(), FFileName}));
            FCompressInfo.Status = csCompressed;
            FCompressInfo.Archive = Engine->CompressedFile();
            if (OnAfterCompress)
                OnAfterCompress(this);
            if (FContainer)
                FContainer->DoInformationEventControl(this, ecAfterCompress, this);
        },
        [this] {
            FState = ifsNone;
            // The engine starts its next compress with the flag clear again.
            SharedArchiveEngine().Abort = true;
            SendInformation(this, icOperationEnded, nullptr);
        });
}

void TCustomInstallFile::CopyToDestination()
{
    FState = ifsCopying;
    TryFinally(
        [this] {
            if (OnBeforeCopy)
                OnBeforeCopy(this);
            if (FContainer)
                FContainer->DoInformationEventControl(this, ecBeforeCopy, this);
            // The container's CopyFiles takes this as "leave the file out".
            if (!FInclude)
                throw fw_SysUtils::EAbort();
            const std::string Dest = GetFullDestDir();
            if (fw_SysUtils::Trim(Dest).empty())
                throw IECustomInstallFile("Cannot compress,copy, or install the following file because it's "
                                          "destination directory is blank. File is :%s",
                                          {Name()});
            fw_SysUtils::ForceDirectories(Dest);
            THookedEngine Engine(
                SharedArchiveEngine(), [this](TObject* Sender) { EngineAborted(Sender); },
                [this](TWdrlCompress* Sender, const cmp_TWdrlCompress::TlzhFileStats& Stats) {
                    EngineStatus(Sender, Stats);
                });
            // The copy follows the file's own overwrite rule, whatever the
            // engine's last user left.
            Engine->Overwrite = FOverwriteMode;
            Engine->SkipFile = false;
            Engine->CopyFile(SourcePath(), TargetPath());
            if (OnAfterCopy)
                OnAfterCopy(this);
            if (FContainer)
                FContainer->DoInformationEventControl(this, ecAfterCopy, this);
        },
        [this] {
            FState = ifsNone;
            SendInformation(this, icOperationEnded, nullptr);
        });
}

void TCustomInstallFile::ReadInfoFromFiles()
{
    const std::string Path = SourcePath();
    fw_Handles::THandle File(CreateFileA(Path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    FILETIME Written{};
    LARGE_INTEGER Length{};
    if (!File || !GetFileTime(File.Get(), nullptr, nullptr, &Written) || !GetFileSizeEx(File.Get(), &Length))
        throw IECustomInstallFile(
            "Could not open or find the following file when trying to read the Size, Date, and Version :%s", {Path});
    // An archive holds only files below 2 GB; the size could not be told.
    if (Length.QuadPart > INT32_MAX)
        throw IECustomInstallFile(archive_FileHeaders::TooLargeError, {Path});
    FDate = fw_SysUtils::FileTimeToDateTime(Written);
    FSize = int(Length.QuadPart);
    File.Reset();
    FVersion = cmp_TVersion::FileVersionOf(Path).substr(0, 20);
}

} // namespace cmp_TInstallContainer
