#include "archive/cmp_TWdrlCompress.h"

#include "archive/archive_Files.h"
#include "framework/fw_Handles.h"
#include "framework/fw_Windows.h"
#include "routines/exceptions_Wendrel.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>
#include <exception>
#include <utility>

namespace cmp_TWdrlCompress {

using archive_Files::CreateNewFile;
using archive_Files::OpenFile;
using exceptions_Wendrel::EWdrlCompress;
using exceptions_Wendrel::EycAborted;
using exceptions_Wendrel::EycDiskFull;
using fw_Streams::THandleStream;
using fw_Streams::TSeekOrigin;
using fw_Streams::TStream;
using fw_SysUtils::ExtractFileDir;
using fw_SysUtils::ExtractFileName;
using fw_SysUtils::FileExists;
using fw_SysUtils::Format;

std::function<void()> IdleHandler;

namespace {

using archive_FileHeaders::ReadHeadersError;

// Asking the system for pending messages is a round trip to the window
// server under Wine; chunks come every few microseconds, so it is asked at
// most once per tick interval (a few milliseconds: no one sees it).
void ProcessMessages()
{
    static ULONGLONG LastTick = 0;
    if (!IdleHandler)
        return;
    ULONGLONG Tick = GetTickCount64();
    if (Tick == LastTick)
        return;
    LastTick = Tick;
    if (HIWORD(GetQueueStatus(QS_ALLINPUT)) != 0)
        IdleHandler();
}

// Whether the overwrite rule's answer replaces an existing target; a rule
// that cannot answer fails the file.
bool Replaces(cmp_TVersion::TCompareVersionResult Answer)
{
    if (Answer == cmp_TVersion::cvUnknown)
        throw EWdrlCompress("Error comparing file versions in TWdrlCompress");
    return Answer != cmp_TVersion::cvSame && Answer != cmp_TVersion::cvKeep;
}

int ZLevel(TCompressionLevel Level)
{
    switch (Level) {
    case colNone:
        return 0;
    case colFastest:
        return 1;
    case colDefault:
        return Z_DEFAULT_COMPRESSION;
    default:
        return 9;
    }
}

void ZCheck(int Result)
{
    if (Result < 0 && Result != Z_BUF_ERROR)
        throw EWdrlCompress("error");
}

struct TDeflater {
    z_stream Z{};
    explicit TDeflater(int Level) { ZCheck(deflateInit2(&Z, Level, Z_DEFLATED, 15, 8, Z_DEFAULT_STRATEGY)); }
    TDeflater(const TDeflater&) = delete;
    TDeflater& operator=(const TDeflater&) = delete;
    ~TDeflater() { deflateEnd(&Z); }
};

struct TInflater {
    z_stream Z{};
    TInflater() { ZCheck(inflateInit(&Z)); }
    TInflater(const TInflater&) = delete;
    TInflater& operator=(const TInflater&) = delete;
    ~TInflater() { inflateEnd(&Z); }
};

// The last part of a name as a file name of the target folder: whatever
// folder, drive or stream the name carries, the file stays in that folder.
std::string FileNamePart(const std::string& Name)
{
    size_t Cut = Name.find_last_of("\\/:");
    return Cut == std::string::npos ? Name : Name.substr(Cut + 1);
}

bool IsDotsOnly(const std::string& Name)
{
    return std::all_of(Name.begin(), Name.end(), [](char C) { return C == '.' || C == ' '; });
}

// Whether the system reads Name as a device rather than a file of the folder:
// the reserved names, in any letter case, also with an extension and with
// trailing dots or blanks ("NUL", "nul.txt", "Com1 .log"). "COM10", "nul1"
// and "console.txt" are files.
bool IsDeviceName(const std::string& Name)
{
    std::string Base = Name.substr(0, Name.find('.'));
    while (!Base.empty() && Base.back() == ' ')
        Base.pop_back();
    for (char& C : Base)
        C = char(std::toupper(static_cast<unsigned char>(C)));
    static const std::array<const char*, 6> Plain = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
    if (std::any_of(Plain.begin(), Plain.end(), [&](const char* D) { return Base == D; }))
        return true;
    // COM1 to COM9 and LPT1 to LPT9; the system also counts the superscript
    // digits 1, 2 and 3 of the Western code page.
    if (Base.size() != 4 || (Base.compare(0, 3, "COM") != 0 && Base.compare(0, 3, "LPT") != 0))
        return false;
    const unsigned char Digit = static_cast<unsigned char>(Base[3]);
    return (Digit >= '1' && Digit <= '9') || Digit == 0xB9 || Digit == 0xB2 || Digit == 0xB3;
}

// The record's data lies inside the archive: a corrupt record must not send
// the reader to bytes in front of the archive or run it backwards, nor
// promise a negative length.
bool DataInsideArchive(const archive_FileHeaders::TFileHeaderRecord& R)
{
    const int First = R.FirstDisk ? R.FirstDisk : 1, Last = R.LastDisk ? R.LastDisk : 1;
    if (R.Size < 0 || R.DataStart < 0 || R.EndPos < 0 || First > Last)
        return false;
    return First < Last || R.EndPos >= R.DataStart;
}

// Puts an archive back to what it was before an append: its old length and
// its old preamble. Runs while another failure is on its way to the caller:
// it raises nothing, and a cut that fails leaves only unused bytes behind
// the records the old preamble counts.
void RestoreArchive(THandleStream& Archive, int64_t End, int32_t Count, uint8_t MultiDisk) noexcept
{
    LARGE_INTEGER Pos;
    Pos.QuadPart = End;
    if (SetFilePointerEx(Archive.Handle(), Pos, nullptr, FILE_BEGIN))
        SetEndOfFile(Archive.Handle());
    uint8_t Preamble[archive_FileHeaders::PreambleSize];
    static_assert(sizeof Preamble == sizeof Count + sizeof MultiDisk);
    std::memcpy(Preamble, &Count, sizeof Count);
    Preamble[sizeof Count] = MultiDisk;
    Pos.QuadPart = 0;
    DWORD Put = 0;
    if (SetFilePointerEx(Archive.Handle(), Pos, nullptr, FILE_BEGIN))
        WriteFile(Archive.Handle(), Preamble, sizeof Preamble, &Put, nullptr);
}

std::string WithBackslash(const std::string& Dir) { return Dir.empty() || Dir.back() == '\\' ? Dir : Dir + "\\"; }

std::string WithoutBackslash(std::string Dir)
{
    while (!Dir.empty() && Dir.back() == '\\')
        Dir.pop_back();
    return Dir;
}

std::string DiskFileName(const std::string& Name, int Disk)
{
    return fw_SysUtils::ChangeFileExt(Name, "." + fw_SysUtils::IntToStr(Disk));
}

void DefineCompress(fw_Classes::TPropertyBuilder<TWdrlCompress>& P)
{
    P.Boolean("Abort", &TWdrlCompress::Abort, &TWdrlCompress::Abort, false)
        .String("CompressedFile", &TWdrlCompress::CompressedFile, &TWdrlCompress::SetCompressedFile)
        .Enum<TCompressionLevel>("CompressionLevel", CompressionLevelInfo, &TWdrlCompress::CompressionLevel,
                                 &TWdrlCompress::CompressionLevel, colMax)
        .String("ExtractDirectory", &TWdrlCompress::ExtractDirectory, &TWdrlCompress::ExtractDirectory)
        .Lines(
            "FilesToProcess", [](TWdrlCompress* C) { return C->FilesToProcess().ToVector(); },
            [](TWdrlCompress* C, const std::vector<std::string>& V) {
                fw_Classes::TStringList L;
                L.SetVector(V);
                C->SetFilesToProcess(L);
            })
        .Integer("Offset", &TWdrlCompress::Offset, &TWdrlCompress::Offset, 0)
        .Enum<cmp_TVersion::TOverwriteType>("Overwrite", cmp_TVersion::TOverwriteTypeInfo, &TWdrlCompress::Overwrite,
                                            &TWdrlCompress::Overwrite, cmp_TVersion::owAlways);
}

} // namespace

const fw_Classes::TEnumInfo TlzhCommandInfo{"TlzhCommand", {"lzcOverwrite", "lzcOnlyAdd"}};
const fw_Classes::TEnumInfo CompressionLevelInfo{"TCompressionLevel",
                                                 {"colNone", "colFastest", "colDefault", "colMax"}};

FW_DEFINE_CLASS(TWdrlCompress, fw_Classes::TComponent, fw_Classes::CreateComponent<TWdrlCompress>, DefineCompress)

TWdrlCompress::TWdrlCompress(fw_Classes::TComponent* AOwner)
    : TComponent(AOwner), FInput(new uint8_t[ExtractInputBufferSize]), FOutput(new uint8_t[AddOutputBufferSize])
{
    FUniqueIDs.fill(-1);
}

TWdrlCompress::~TWdrlCompress() = default;

void TWdrlCompress::SetCompressedFile(const std::string& Value)
{
    // Two disk files of one split set name the same archive.
    if (!fw_SysUtils::SameText(Value, FCompressedFile)) {
        ForgetWritten();
        if (!fw_SysUtils::SameText(DiskFileName(Value, 1), DiskFileName(FCompressedFile, 1)))
            FTableRead = false;
    }
    FCompressedFile = Value;
}

void TWdrlCompress::SetFilesToProcess(fw_Classes::TStrings& List)
{
    for (int I = List.Count() - 1; I >= 0; --I)
        if (fw_SysUtils::Trim(List[I]).empty())
            List.Delete(I);
    FFilesToProcess.Assign(&List);
}

void TWdrlCompress::Fire(const TlzhFileStatsEvent& Event, const TlzhFileStats& Stats)
{
    if (Event)
        Event(this, Stats);
}

void TWdrlCompress::FillStats(const TFileHeader& Header)
{
    FStats.FileName = Header.FileName();
    FStats.Size = Header.Record.Size;
    FStats.CompressedSize = Header.Record.CompressedSize;
    FStats.CompressionRatio = archive_FileHeaders::Percent(Header.Record.CompressedSize, Header.Record.Size);
    FStats.Header = Header.Record;
    FStats.PercentDone = 0;
    FStats.Processed = 0;
    FStats.Finished = 0;
}

void TWdrlCompress::DiskFull()
{
    // Called right after the short write, whose reason is still the last error.
    const DWORD Code = GetLastError();
    if (!OnFullDisk)
        throw EycDiskFull("The disk is full", Code);
    OnFullDisk(this);
}

std::unique_ptr<TStream> TWdrlCompress::CreateDiskFile(const std::string& Path)
{
    return OpenFile(Path, fw_Streams::fmCreate, "Cannot create the file %s");
}

// Compress and Extract end alike: a user abort is reported through OnAborted,
// the silent abort returns, anything else marks the engine aborted.
template <class Body>
void TWdrlCompress::Guarded(Body Run)
{
    try {
        Run();
    } catch (const EycAborted&) {
        FArchive.reset();
        if (OnAborted)
            OnAborted(this);
    } catch (const fw_SysUtils::EAbort&) {
    } catch (...) {
        Abort = true;
        throw;
    }
}

// ---- the table ------------------------------------------------------------------------

void TWdrlCompress::ReadArchiveInfo()
{
    // Only a successful read marks the table read; after a failure a partial
    // or stale table must be read again, not used.
    FTableRead = false;
    ForgetWritten();
    auto Stream = OpenFile(FCompressedFile, fw_Streams::fmOpenRead | fw_Streams::fmShareDenyNone,
                           "Cannot open the compressed file %s");
    FUniqueIDs.fill(-1);
    try {
        FHeaders.ReadTable(*Stream, Offset);
    } catch (const fw_SysUtils::Exception&) {
        throw EWdrlCompress(ReadHeadersError);
    }
    for (int I = 0; I < FHeaders.Count(); ++I) {
        int ID = FHeaders.GetFileHeaders(I)->Record.UniqueID;
        if (ID >= 0 && ID < UniqueIDCount)
            FUniqueIDs[size_t(ID)] = I;
    }
    FTableRead = true;
}

bool TWdrlCompress::StillAsWritten(const TWrittenArchive& Written, THandleStream& Archive)
{
    if (Written.Path.empty() || !fw_SysUtils::SameText(Written.Path, FCompressedFile))
        return false;
    BY_HANDLE_FILE_INFORMATION Info;
    if (!GetFileInformationByHandle(Archive.Handle(), &Info))
        return false;
    const int64_t Size = int64_t(uint64_t(Info.nFileSizeHigh) << 32 | Info.nFileSizeLow);
    const uint64_t LastWrite = uint64_t(Info.ftLastWriteTime.dwHighDateTime) << 32 | Info.ftLastWriteTime.dwLowDateTime;
    if (Size != Written.Size || LastWrite != Written.LastWrite)
        return false;
    // The time stamp may be coarser than two writes in a row: the preamble
    // must still count the records of the table, in a single-file archive.
    uint8_t Preamble[archive_FileHeaders::PreambleSize];
    int32_t Count;
    Archive.Seek(0, TSeekOrigin::soBeginning);
    if (Archive.Read(Preamble, sizeof Preamble) != sizeof Preamble)
        return false;
    std::memcpy(&Count, Preamble, sizeof Count);
    return Count == FHeaders.Count() && Preamble[sizeof Count] == 0 && FHeaders.MultiDisk == 0;
}

void TWdrlCompress::KeepWritten()
{
    // A split set's first file carries its record block in front of the data.
    if (FHeaders.MultiDisk != 0)
        return;
    // Taken once the archive is closed: the system may date the file when
    // its last handle goes.
    WIN32_FILE_ATTRIBUTE_DATA Data;
    if (!GetFileAttributesExA(FCompressedFile.c_str(), GetFileExInfoStandard, &Data))
        return;
    // The records just written are now the archive's own, as if read from it.
    for (int I = FHeaders.Count() - 1; I >= 0 && !FHeaders.GetFileHeaders(I)->Loaded; --I)
        FHeaders.GetFileHeaders(I)->Loaded = true;
    FWritten.Path = FCompressedFile;
    FWritten.Size = int64_t(uint64_t(Data.nFileSizeHigh) << 32 | Data.nFileSizeLow);
    FWritten.LastWrite = uint64_t(Data.ftLastWriteTime.dwHighDateTime) << 32 | Data.ftLastWriteTime.dwLowDateTime;
}

void TWdrlCompress::ReadIfUnread()
{
    if (!FTableRead)
        ReadArchiveInfo();
}

int TWdrlCompress::FileCount()
{
    if (FMode != TMode::Adding)
        ReadIfUnread();
    return FHeaders.Count();
}

void TWdrlCompress::GetFileStats(int I, TlzhFileStats& Stats)
{
    if (I < 0 || I >= FileCount())
        throw EWdrlCompress("Tried to access the %dth file. This file is not defined", {I});
    TlzhFileStats Saved = FStats;
    FillStats(*FHeaders.GetFileHeaders(I));
    FHeaders.ComputeTotals(FStats);
    Stats = FStats;
    FStats = Saved;
}

int TWdrlCompress::IndexOfUniqueID(int UniqueID)
{
    ReadIfUnread();
    if (UniqueID < 0 || UniqueID >= UniqueIDCount)
        return -1;
    return FUniqueIDs[size_t(UniqueID)];
}

void TWdrlCompress::OpenDiskFile(std::unique_ptr<THandleStream>& Stream, int DiskNumber, uint16_t Mode,
                                 std::string& FileName)
{
    DWORD Missing = 0;
    for (int Attempt = 0; Attempt < 4; ++Attempt) {
        Stream.reset();
        if (FHeaders.MultiDisk == 1)
            FileName = DiskFileName(FileName, DiskNumber);
        if (archive_Files::FileExists(FileName, Missing))
            break;
        if (!OnNewDisk)
            throw EWdrlCompress("Could not open the correct disk file %d", {DiskNumber}, Missing);
        // The handler sees the folder without its backslash, also at a drive's
        // root ("A:"), so that the name put together below has exactly one.
        std::string Path = WithoutBackslash(fw_SysUtils::ExtractFilePath(FileName));
        OnNewDisk(this, DiskNumber, Path);
        FileName = Path + "\\" + ExtractFileName(FileName);
    }
    // A disk inserted at the fourth request is used too.
    if (!archive_Files::FileExists(FileName, Missing))
        throw EWdrlCompress("Cannot open the compressed file %s", {FileName}, Missing);
    Stream = OpenFile(FileName, Mode, "Cannot open the compressed file %s");
}

// ---- adding -------------------------------------------------------------------------------

void TWdrlCompress::Compress(TlzhCommand Command, int UniqueID)
{
    Abort = false;
    FMode = TMode::Adding;
    FHeaders.MultiDisk = 0;
    Offset = 0;
    struct TClearList {
        fw_Classes::TStringList& L;
        ~TClearList() { L.Clear(); }
    } ClearList{FFilesToProcess};
    Guarded([&] {
        FTableRead = false;
        // Whatever happens to the archive from here on, its table is kept
        // again only when this call succeeds.
        const TWrittenArchive Written = std::exchange(FWritten, TWrittenArchive{});
        fw_SysUtils::ForceDirectories(ExtractFileDir(FCompressedFile));
        const bool Append = Command == lzcOnlyAdd && FileExists(FCompressedFile);
        FArchive = OpenFile(FCompressedFile,
                            Append ? fw_Streams::fmOpenReadWrite | fw_Streams::fmShareDenyNone : fw_Streams::fmCreate,
                            "Cannot create the file %s");
        // Reading the whole chain for every add made a build of many files
        // quadratic. An archive that is still as this engine left it needs
        // no reading; any other writer changes its size or its date.
        if (Append && !StillAsWritten(Written, *FArchive))
            FHeaders.ReadTable(*FArchive, 0);
        else if (!Append) {
            FHeaders.Clear();
            FHeaders.WriteTable(*FArchive);
        }
        // The preamble counts only complete records: it is rewritten once
        // every new record and its data are in place. Until then a failure
        // or an abort cuts the new bytes off again, and the archive reads as
        // before the call.
        const int32_t OldCount = FHeaders.Count();
        const uint8_t OldMultiDisk = FHeaders.MultiDisk;
        const int64_t OldEnd = FArchive->Seek(0, TSeekOrigin::soEnd);
        try {
            FHeaders.AddFiles(FFilesToProcess, true);
            FHeaders.ComputeTotals(FStats);
            FStats.TotalCompressedSize = 0;
            for (int I = 0; I < FHeaders.Count(); ++I) {
                TFileHeader& Header = *FHeaders.GetFileHeaders(I);
                if (!Header.Loaded)
                    AddFile(*FArchive, Header, I, UniqueID);
            }
            FHeaders.WriteTable(*FArchive);
        } catch (...) {
            RestoreArchive(*FArchive, OldEnd, OldCount, OldMultiDisk);
            FHeaders.Truncate(OldCount);
            throw;
        }
        FArchive.reset();
        KeepWritten();
    });
    FArchive.reset();
}

void TWdrlCompress::AddStatus(bool HaveArchive, int64_t SourcePosition, int64_t CompressedSoFar)
{
    if (Abort)
        throw EycAborted("Operation aborted by user");
    ProcessMessages();
    if (!HaveArchive)
        throw EWdrlCompress("AddStatus has Nil DestFile");
    FStats.TotalProcessed += int32_t(SourcePosition - FStats.Processed);
    FStats.Processed = int32_t(SourcePosition);
    FStats.CompressedSize = int32_t(CompressedSoFar);
    FStats.PercentDone = archive_FileHeaders::Percent(FStats.Processed, FStats.Size);
    FStats.TotalPercentDone = archive_FileHeaders::Percent(FStats.TotalProcessed, FStats.TotalSize);
    Fire(OnStatus);
}

void TWdrlCompress::AddFile(TStream& Archive, TFileHeader& Header, int Index, int UniqueID)
{
    // The source that made the record is read from its first byte; only one
    // that was not kept open is opened again.
    std::unique_ptr<fw_Streams::TFileStream> Source = std::move(Header.Source);
    if (Source)
        Source->Seek(0, TSeekOrigin::soBeginning);
    else
        Source = OpenFile(Header.FileName(), fw_Streams::fmOpenRead | fw_Streams::fmShareDenyNone,
                          "Cannot open the file %s");

    const int64_t P = Archive.Position();
    const int64_t DataStart = P + archive_FileHeaders::FileHeaderSize;
    Header.Record.DataStart = int32_t(DataStart);
    Header.WriteToStream(Archive);
    int64_t Length = DataStart;

    FillStats(Header);
    FStats.CompressedSize = 0;
    Fire(OnBeforeAdding);

    TDeflater D(ZLevel(CompressionLevel));
    uint8_t* In = FInput.get();
    uint8_t* Out = FOutput.get();
    D.Z.next_out = Out;
    D.Z.avail_out = AddOutputBufferSize;
    // The record's Size is what the archive promises: read exactly that much.
    int64_t Remaining = Header.Record.Size, SourcePosition = 0;
    for (;;) {
        if (D.Z.avail_in == 0 && Remaining > 0) {
            size_t Want = size_t(std::min<int64_t>(Remaining, AddSourceChunkSize));
            Source->ReadBuffer(In, Want);
            Remaining -= int64_t(Want);
            SourcePosition += int64_t(Want);
            D.Z.next_in = In;
            D.Z.avail_in = uInt(Want);
        }
        const int Result = deflate(&D.Z, Remaining == 0 && D.Z.avail_in == 0 ? Z_FINISH : Z_NO_FLUSH);
        ZCheck(Result);
        if (D.Z.avail_out == 0) {
            Archive.WriteBuffer(Out, AddOutputBufferSize);
            Length += int64_t(AddOutputBufferSize);
            D.Z.next_out = Out;
            D.Z.avail_out = AddOutputBufferSize;
            AddStatus(true, SourcePosition, Length - DataStart);
        }
        if (Result == Z_STREAM_END)
            break;
    }
    const size_t Pending = AddOutputBufferSize - D.Z.avail_out;
    Archive.WriteBuffer(Out, Pending);
    Length += int64_t(Pending);

    FStats.CompressionRatio = archive_FileHeaders::Percent(Length - DataStart, Header.Record.Size);
    FStats.Finished = 1;
    AddStatus(true, SourcePosition, Length - DataStart);
    FStats.Finished = 0;
    FStats.TotalCompressedSize += int32_t(Length - DataStart);

    Header.Record.EndPos = int32_t(Length - 1);
    Header.Record.NextHeader = int32_t(Length);
    Header.Record.CompressedSize = int32_t(Length - DataStart);
    Header.Record.UniqueID = UniqueID;
    if (UniqueID >= 0 && UniqueID < UniqueIDCount)
        FUniqueIDs[size_t(UniqueID)] = Index;
    Archive.Seek(P, TSeekOrigin::soBeginning);
    Header.WriteToStream(Archive);
    Archive.Seek(0, TSeekOrigin::soEnd);
    FStats.Header = Header.Record;
    Fire(OnAfterAdding);
}

// ---- extracting ------------------------------------------------------------------------

void TWdrlCompress::Extract()
{
    Abort = false;
    FMode = TMode::Extracting;
    struct TClear {
        TWdrlCompress& C;
        ~TClear()
        {
            C.FFilesToProcess.Clear();
            C.ExtractName.clear();
        }
    } Clear{*this};
    FArchive.reset();
    Guarded([&] {
        ReadIfUnread();
        FCurrentDisk = 0;
        FHeaders.ComputeTotals(FStats);
        for (int I = 0; I < FFilesToProcess.Count(); ++I)
            ExtractFile(I, FFilesToProcess[I]);
    });
    FArchive.reset();
}

std::string TWdrlCompress::TargetPath() const
{
    // An empty folder stays empty, so that creating it reports the missing folder.
    const std::string Name = FileNamePart(ExtractName);
    // The system takes no control characters in a name, and a zero byte
    // would end it early: the file would be made under another name.
    const bool Control = std::any_of(Name.begin(), Name.end(), [](char C) { return (unsigned char)C < ' '; });
    if (IsDotsOnly(Name) || IsDeviceName(Name) || Control)
        throw EWdrlCompress("Cannot create the file %s", {WithBackslash(ExtractDirectory) + ExtractName});
    return WithBackslash(ExtractDirectory) + Name;
}

void TWdrlCompress::ExtractFile(int, const std::string& Entry)
{
    SkipFile = false;
    const int Index = FHeaders.IndexOfName(Entry);
    if (Index < 0)
        throw EWdrlCompress("The file <%s> was not found in the archive <%s>", {Entry, FCompressedFile});
    const TFileHeader& Header = *FHeaders.GetFileHeaders(Index);
    FillStats(Header);
    if (fw_SysUtils::Trim(ExtractName).empty())
        ExtractName = FileNamePart(Header.FileName());

    struct TEndFile {
        TWdrlCompress& C;
        ~TEndFile()
        {
            // A single-file archive stays open for the next file of this
            // call; disk files are closed after each file, as are all on failure.
            if (C.FHeaders.MultiDisk != 0 || std::uncaught_exceptions() > 0)
                C.FArchive.reset();
            C.ExtractName.clear();
        }
    } EndFile{*this};

    Fire(OnBeforeExtracting);
    ExtractName = FileNamePart(ExtractName);
    std::string Target = TargetPath();

    // Creating the target only when it is new answers "does it exist" in the
    // same look; under Wine every look for a missing name reads the whole
    // folder, which for thousands of files costs more than the data.
    std::unique_ptr<THandleStream> Output;
    if (!SkipFile && !fw_SysUtils::Trim(ExtractDirectory).empty())
        Output = CreateNewFile(Target);
    struct TDropNew {
        std::unique_ptr<THandleStream>& Output;
        const std::string Target;
        bool Keep = false;
        ~TDropNew()
        {
            // A failure before decoding leaves no trace of the new, empty target.
            if (Output && !Keep) {
                Output.reset();
                DeleteFileA(Target.c_str());
            }
        }
    } DropNew{Output, Target};

    if (!Output) {
        bool Replace = true;
        if (FileExists(Target)) {
            Replace = Replaces(
                cmp_TVersion::TVersionResource::IsFileNewer(Header.Version(), Target, Overwrite, Header.Record.Date));
            if (Replace) {
                Fire(OnReplace);
                ExtractName = FileNamePart(ExtractName);
                Target = TargetPath();
            }
        }
        if (SkipFile)
            Replace = false;
        if (!Replace) {
            FStats.Finished = 1;
            Fire(OnStatus);
            return;
        }
    }

    if (!DataInsideArchive(Header.Record))
        throw EWdrlCompress(ReadHeadersError);
    if (!FArchive || FHeaders.MultiDisk != 0)
        OpenDiskFile(FArchive, Header.Record.FirstDisk ? Header.Record.FirstDisk : 1,
                     fw_Streams::fmOpenRead | fw_Streams::fmShareDenyNone, FCompressedFile);
    FCurrentDisk = Header.Record.FirstDisk;
    if (!Output) {
        fw_SysUtils::ForceDirectories(ExtractFileDir(Target));
        Output = OpenFile(Target, fw_Streams::fmCreate, "Cannot create the file %s");
    }
    DropNew.Keep = true;
    FArchive->Seek(int64_t(Offset) + Header.Record.DataStart, TSeekOrigin::soBeginning);
    const TDecoded Decoded = Decode(Header, *Output);
    FStats.Finished = 1;
    Fire(OnStatus);

    // The target was created empty: its length is what was written.
    if (Decoded == TDecoded::Overflow || FStats.Processed != Header.Record.Size)
        throw EWdrlCompress(
            "The decompressed file's size does not match with the actual size of the file.  The file is %s",
            {Header.FileName()});
    if (Decoded == TDecoded::Inconsistent)
        throw EWdrlCompress(ReadHeadersError);
    if (const DWORD Code =
            fw_SysUtils::FileSetDate(Output->Handle(), fw_SysUtils::DateTimeToFileDate(Header.Record.Date)))
        throw EWdrlCompress("Cannot set the date of the file just extracted.", Code);
}

TWdrlCompress::TDecoded TWdrlCompress::Decode(const TFileHeader& Header, TStream& Target)
{
    TInflater D;
    uint8_t* In = FInput.get();
    // Blocks are decoded one after the other into the 64 KB output buffer and
    // written to the target in one go when it is full: under Wine every
    // WriteFile is a round trip to the server, and one per 4 KB block cost
    // more than the inflating. A block stays the unit of decoding and of
    // OnStatus. The events report counts and no handler reads the target
    // while it is extracted, so they are not held back for the bytes to
    // reach the disk; where the written bytes matter (an abort, a failure, a
    // stream longer than its Size, the end) the gathered blocks go out first.
    static_assert(AddOutputBufferSize % ExtractBlockSize == 0);
    uint8_t* Gather = FOutput.get();
    size_t Gathered = 0;
    // After a short write each block is written before its event again, so
    // that from there on the counts are the bytes on disk, block by block.
    bool BlockByBlock = false;
    // Writes the gathered blocks. The events already counted them: a short
    // write takes back what did not fit, then asks DiskFull.
    auto Flush = [&](bool Report) {
        if (Gathered == 0)
            return;
        const size_t Want = Gathered;
        Gathered = 0;
        // A short write that the system did not refuse carries no reason.
        SetLastError(ERROR_SUCCESS);
        const size_t Written = Target.Write(Gather, Want);
        if (Written == Want)
            return;
        BlockByBlock = true;
        FStats.Processed -= int32_t(Want - Written);
        FStats.TotalProcessed -= int32_t(Want - Written);
        FStats.PercentDone = archive_FileHeaders::Percent(FStats.Processed, FStats.Size);
        FStats.TotalPercentDone = archive_FileHeaders::Percent(FStats.TotalProcessed, FStats.TotalSize);
        if (Report)
            DiskFull();
    };
    const int LastDisk = Header.Record.LastDisk;
    const int64_t Last = int64_t(Offset) + Header.Record.EndPos; // the last byte of the data on LastDisk
    int64_t Pos = int64_t(Offset) + Header.Record.DataStart;
    int64_t Decoded = 0;
    bool StreamEnd = false;
    try {
        for (int Passes = LastDisk - FCurrentDisk + 1; Passes > 0 && !StreamEnd; --Passes) {
            for (;;) {
                uint8_t* Block = Gather + Gathered;
                D.Z.next_out = Block;
                D.Z.avail_out = ExtractBlockSize;
                while (D.Z.avail_out > 0 && !StreamEnd) {
                    if (D.Z.avail_in == 0) {
                        int64_t Want = ExtractInputBufferSize;
                        if (FCurrentDisk == LastDisk)
                            Want = std::clamp<int64_t>(Last + 1 - Pos, 0, Want);
                        const size_t Got = Want > 0 ? FArchive->Read(In, size_t(Want)) : 0;
                        if (Got == 0)
                            break;
                        Pos += int64_t(Got);
                        D.Z.next_in = In;
                        D.Z.avail_in = uInt(Got);
                    }
                    const int Result = inflate(&D.Z, Z_NO_FLUSH);
                    if (Result == Z_NEED_DICT)
                        throw EWdrlCompress("error");
                    ZCheck(Result);
                    StreamEnd = Result == Z_STREAM_END;
                }
                if (Abort) {
                    // The blocks reported before the abort are on disk when it is raised.
                    Flush(true);
                    throw EycAborted("Operation aborted by user");
                }
                ProcessMessages();
                size_t N = ExtractBlockSize - D.Z.avail_out;
                if (N == 0)
                    break;
                // A stream that decodes to more than its Size must not fill the
                // disk. Signed: a length must never wrap into a huge one.
                const int64_t Room = std::max<int64_t>(0, int64_t(Header.Record.Size) - Decoded);
                const bool Overflow = int64_t(N) > Room;
                if (Overflow)
                    N = size_t(Room);
                Decoded += int64_t(N);
                Gathered += N;
                FStats.Processed += int32_t(N);
                FStats.TotalProcessed += int32_t(N);
                if (BlockByBlock || Gathered + ExtractBlockSize > AddOutputBufferSize)
                    Flush(true);
                FStats.PercentDone = archive_FileHeaders::Percent(FStats.Processed, FStats.Size);
                FStats.TotalPercentDone = archive_FileHeaders::Percent(FStats.TotalProcessed, FStats.TotalSize);
                Fire(OnStatus);
                if (Overflow) {
                    Flush(true);
                    return TDecoded::Overflow;
                }
            }
            if (!StreamEnd && FCurrentDisk < LastDisk) {
                ++FCurrentDisk;
                OpenDiskFile(FArchive, FCurrentDisk, fw_Streams::fmOpenRead | fw_Streams::fmShareDenyNone,
                             FCompressedFile);
                Pos = 0;
            }
        }
        Flush(true);
    } catch (...) {
        // Another failure is on its way: the blocks decoded before it still
        // reach the disk, and a short write there must not replace it.
        Flush(false);
        throw;
    }
    // The stream must end exactly at EndPos: data left over, or a stream cut
    // short of its trailer, means the record does not describe its data.
    const bool Leftover = D.Z.avail_in > 0 || FCurrentDisk != LastDisk || Pos <= Last;
    return StreamEnd && !Leftover ? TDecoded::Complete : TDecoded::Inconsistent;
}

// ---- splitting -----------------------------------------------------------------------------

void TWdrlCompress::SplitToDisks(const std::string& DestDir, const std::string& FileName)
{
    Abort = false;
    try {
        ReadIfUnread();
        // From here on the table in memory describes the split set, not CompressedFile.
        FTableRead = false;
        ForgetWritten();
        FCurrentDisk = 1;
        FHeaders.MultiDisk = 1;
        FHeaders.ComputeTotals(FStats);
        // Only read: the archive may lie inside the running self-extracting
        // program, which Windows keeps from being opened for writing.
        FArchive = OpenFile(FCompressedFile, fw_Streams::fmOpenRead | fw_Streams::fmShareDenyNone,
                            "Cannot open the compressed file %s");
        std::string Dir = DestDir;
        const std::string Name = ExtractFileName(FileName);
        std::unique_ptr<TStream> Output = CreateDiskFile(DestDir + "\\" + Name);
        FHeaders.WriteTable(*Output);
        for (int I = 0; I < FHeaders.Count(); ++I) {
            TFileHeader& Header = *FHeaders.GetFileHeaders(I);
            if (!DataInsideArchive(Header.Record))
                throw EWdrlCompress(ReadHeadersError);
            FillStats(Header);
            int64_t Pos = int64_t(Offset) + Header.Record.DataStart;
            const int64_t Limit = int64_t(Offset) + Header.Record.EndPos;
            FArchive->Seek(Pos, TSeekOrigin::soBeginning);
            Header.Record.DataStart = int32_t(Output->Position());
            Header.Record.FirstDisk = uint8_t(FCurrentDisk);
            while (CopyChunk(Output, Dir, Name, Pos, Limit)) {
            }
            Header.Record.EndPos = int32_t(Output->Position() - 1);
            Header.Record.LastDisk = uint8_t(FCurrentDisk);
        }
        Output.reset();
        std::unique_ptr<THandleStream> First;
        std::string FirstName = DestDir + "\\" + Name;
        OpenDiskFile(First, 1, fw_Streams::fmOpenReadWrite | fw_Streams::fmShareExclusive, FirstName);
        FHeaders.WriteTable(*First);
        FArchive.reset();
    } catch (const EycAborted&) {
        FArchive.reset();
        if (OnAborted)
            OnAborted(this);
    } catch (...) {
        FArchive.reset();
        Abort = true;
        throw;
    }
}

bool TWdrlCompress::CopyChunk(std::unique_ptr<TStream>& Output, std::string& DestDir, const std::string& FileName,
                              int64_t& Pos, int64_t Limit)
{
    if (Abort)
        throw EycAborted("Operation aborted by user");
    if (Pos > Limit)
        return false;
    uint8_t* Chunk = FInput.get();
    const size_t Got = FArchive->Read(Chunk, size_t(std::min<int64_t>(CopyChunkSize, Limit + 1 - Pos)));
    ProcessMessages();
    if (Got == 0)
        return false;
    Pos += int64_t(Got);
    size_t Written = Output->Write(Chunk, Got);
    if (Written < Got) {
        Output.reset();
        if (FCurrentDisk >= 255)
            fw_SysUtils::RangeError(); // disk numbers are bytes
        ++FCurrentDisk;
        if (!OnNewDisk)
            throw EWdrlCompress(
                "There was no event handler for the OnNewDisk event, therefore no new disk could be inserted");
        OnNewDisk(this, FCurrentDisk, DestDir);
        Output = CreateDiskFile(DestDir + "\\" + DiskFileName(FileName, FCurrentDisk));
        SetLastError(ERROR_SUCCESS);
        if (Output->Write(Chunk + Written, Got - Written) < Got - Written)
            throw EWdrlCompress("There is too little space on this disk to operate", GetLastError());
    }
    FStats.Processed += int32_t(Got);
    FStats.TotalProcessed += int32_t(Got);
    FStats.PercentDone = archive_FileHeaders::Percent(FStats.Processed, FStats.CompressedSize);
    FStats.TotalPercentDone = archive_FileHeaders::Percent(FStats.TotalProcessed, FStats.TotalCompressedSize);
    Fire(OnStatus);
    return true;
}

// ---- copying ---------------------------------------------------------------------------------

void TWdrlCompress::CopyFile(const std::string& SourcePath, const std::string& DestPath)
{
    Abort = false;
    Offset = 0;
    ExtractDirectory = ExtractFileDir(DestPath);
    ExtractName = ExtractFileName(DestPath);
    std::string Dest = DestPath;

    bool Replace = true;
    if (FileExists(Dest)) {
        Replace = Replaces(cmp_TVersion::TVersionResource::IsFileNewerByName(SourcePath, Dest, Overwrite));
        if (Replace) {
            Fire(OnReplace, TlzhFileStats{});
            Dest = ExtractDirectory + "\\" + FileNamePart(ExtractName);
        }
    }
    if (SkipFile || !Replace)
        return;

    TlzhFileStats Stats;
    Stats.FileName = SourcePath;
    auto Source = OpenFile(SourcePath, fw_Streams::fmOpenRead | fw_Streams::fmShareDenyNone, "Cannot open the file %s");
    Stats.Size = Stats.TotalSize = int32_t(Source->Size());
    auto Output = OpenFile(Dest, fw_Streams::fmCreate, "Cannot create the file %s");
    uint8_t* Chunk = FInput.get();
    size_t Got;
    do {
        if (Abort)
            return;
        Got = Source->Read(Chunk, CopyChunkSize);
        SetLastError(ERROR_SUCCESS);
        if (Output->Write(Chunk, Got) < Got)
            DiskFull();
        Stats.Processed += int32_t(Got);
        Stats.TotalProcessed += int32_t(Got);
        Stats.PercentDone = Stats.TotalPercentDone = archive_FileHeaders::Percent(Stats.Processed, Stats.Size);
        Fire(OnStatus, Stats);
        ProcessMessages();
    } while (Got == CopyChunkSize);
    // The copy is dated as an archive would date it; a failure is of no consequence.
    fw_SysUtils::TDateTime Date;
    if (cmp_TVersion::LastWriteDate(Source->Handle(), Date))
        fw_SysUtils::FileSetDate(Output->Handle(), fw_SysUtils::DateTimeToFileDate(Date));
    Stats.Finished = 1;
    Fire(OnStatus, Stats);
}

} // namespace cmp_TWdrlCompress
