// The archive engine: adds files to an archive, extracts them, splits an
// archive onto disks and copies plain files under the same overwrite rules.
#pragma once

#include "archive/archive_FileHeaders.h"
#include "archive/cmp_TVersion.h"
#include "framework/fw_Classes.h"
#include "framework/fw_Streams.h"

#include <array>
#include <functional>
#include <memory>
#include <string>

namespace cmp_TWdrlCompress {

using archive_FileHeaders::TFileHeader;
using archive_FileHeaders::TFileHeaders;
using archive_FileHeaders::TlzhFileStats;

enum TCompressionLevel { colNone, colFastest, colDefault, colMax };
enum TlzhCommand { lzcOverwrite, lzcOnlyAdd };
extern const fw_Classes::TEnumInfo TlzhCommandInfo;

extern const fw_Classes::TEnumInfo CompressionLevelInfo;

// Lets the window system run pending messages between chunks, so that a
// Cancel button can set Abort. The install root connects it to the
// application; while empty, nothing is pumped. It is called at most once per
// timer tick and only when messages are pending.
extern std::function<void()> IdleHandler;

class TWdrlCompress;
using TlzhFileStatsEvent = std::function<void(TWdrlCompress* WdrlCompress, const TlzhFileStats& FileStats)>;
using TlzhNewDiskEvent = std::function<void(TWdrlCompress* WdrlCompress, int DiskNumber, std::string& Path)>;

// Fixed buffer sizes of the engine.
constexpr size_t AddOutputBufferSize = 65536;
constexpr size_t AddSourceChunkSize = 61440;
constexpr size_t ExtractInputBufferSize = 65536;
constexpr size_t ExtractBlockSize = 4096;
constexpr size_t CopyChunkSize = 8192;
constexpr int UniqueIDCount = 2000;

class TWdrlCompress : public fw_Classes::TComponent {
    FW_CLASS(TWdrlCompress, fw_Classes::TComponent)

public:
    explicit TWdrlCompress(fw_Classes::TComponent* AOwner);
    ~TWdrlCompress() override;

    void Compress(TlzhCommand Command, int UniqueID);
    void Extract();
    void SplitToDisks(const std::string& DestDir, const std::string& FileName);
    void CopyFile(const std::string& SourcePath, const std::string& DestPath);

    int FileCount();
    void GetFileStats(int I, TlzhFileStats& Stats);
    int IndexOfUniqueID(int UniqueID);
    void ReadArchiveInfo();
    void OpenDiskFile(std::unique_ptr<fw_Streams::THandleStream>& Stream, int DiskNumber, uint16_t Mode,
                      std::string& FileName);
    // Called after a short write to a target.
    virtual void DiskFull();

    const std::string& CompressedFile() const { return FCompressedFile; }
    void SetCompressedFile(const std::string& Value);
    fw_Classes::TStringList& FilesToProcess() { return FFilesToProcess; }
    // Drops the blank entries of List (List itself is changed), then copies it.
    void SetFilesToProcess(fw_Classes::TStrings& List);
    const TFileHeaders& Headers() const { return FHeaders; }

    bool Abort = false;
    TCompressionLevel CompressionLevel = colMax;
    std::string ExtractDirectory;
    int Offset = 0;
    cmp_TVersion::TOverwriteType Overwrite = cmp_TVersion::owAlways;

    std::string ExtractName;
    bool SkipFile = false;

    fw_Classes::TNotifyEvent OnAborted;
    TlzhFileStatsEvent OnBeforeAdding;
    TlzhFileStatsEvent OnAfterAdding;
    TlzhFileStatsEvent OnBeforeExtracting;
    TlzhFileStatsEvent OnAfterExtracting; // declared for handlers; never raised
    TlzhFileStatsEvent OnListing;         // declared for handlers; never raised
    TlzhFileStatsEvent OnReplace;
    TlzhFileStatsEvent OnStatus;
    fw_Classes::TNotifyEvent OnFullDisk;
    TlzhNewDiskEvent OnNewDisk;

protected:
    // Makes the disk files of a split set; a test may bound their capacity.
    virtual std::unique_ptr<fw_Streams::TStream> CreateDiskFile(const std::string& Path);

private:
    enum class TMode { Idle, Adding, Extracting };

    // The archive file as this engine's last successful add left it. While
    // the file is still exactly that, the table in memory is its table and
    // the next add need not read it again.
    struct TWrittenArchive {
        std::string Path; // empty: no table kept
        int64_t Size = 0;
        uint64_t LastWrite = 0; // FILETIME as one number
    };
    bool StillAsWritten(const TWrittenArchive& Written, fw_Streams::THandleStream& Archive);
    void KeepWritten();
    void ForgetWritten() { FWritten = {}; }

    void ReadIfUnread();
    void FillStats(const TFileHeader& Header);
    void Fire(const TlzhFileStatsEvent& Event) { Fire(Event, FStats); }
    void Fire(const TlzhFileStatsEvent& Event, const TlzhFileStats& Stats);
    template <class Body>
    void Guarded(Body Run);
    void AddFile(fw_Streams::TStream& Archive, TFileHeader& Header, int Index, int UniqueID);
    void AddStatus(bool HaveArchive, int64_t SourcePosition, int64_t CompressedSoFar);
    void ExtractFile(int Index, const std::string& Entry);
    enum class TDecoded { Complete, Overflow, Inconsistent };
    TDecoded Decode(const TFileHeader& Header, fw_Streams::TStream& Target);
    bool CopyChunk(std::unique_ptr<fw_Streams::TStream>& Output, std::string& DestDir, const std::string& FileName,
                   int64_t& Pos, int64_t Limit);
    std::string TargetPath() const;

    std::string FCompressedFile;
    fw_Classes::TStringList FFilesToProcess;
    TFileHeaders FHeaders;
    bool FTableRead = false;
    TWrittenArchive FWritten;
    TMode FMode = TMode::Idle;
    int FCurrentDisk = 0;
    std::unique_ptr<fw_Streams::THandleStream> FArchive;
    TlzhFileStats FStats;
    std::array<int, UniqueIDCount> FUniqueIDs{};
    // The fixed buffers, made once per engine.
    std::unique_ptr<uint8_t[]> FInput;
    std::unique_ptr<uint8_t[]> FOutput;
};

} // namespace cmp_TWdrlCompress
