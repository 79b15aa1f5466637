#include "archive/archive_FileHeaders.h"

#include "archive/archive_Files.h"
#include "archive/cmp_TVersion.h"
#include "routines/exceptions_Wendrel.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace archive_FileHeaders {

using exceptions_Wendrel::EWdrlCompress;
using fw_Streams::TSeekOrigin;

const char* const ReadHeadersError =
    "Could not read the file headers for the compressed file. The Archive file could possible be corrupt";
const char* const TooLargeError = "The file %s is 2 GB or larger; an archive holds only files smaller than 2 GB";

namespace {

const char* const WriteHeadersError = "Could not write the file headers for the compressed file";

std::string Stored(uint8_t Length, const char* Chars, size_t Capacity)
{
    // A corrupt length byte must not reach past its own field.
    return std::string(Chars, std::min<size_t>(Length, Capacity));
}

void Store(const std::string& Value, uint8_t& Length, char* Chars, size_t Capacity)
{
    size_t N = std::min(Value.size(), Capacity);
    std::memset(Chars, 0, Capacity);
    std::memcpy(Chars, Value.data(), N);
    Length = uint8_t(N);
}

std::string BeforeSemicolon(const std::string& S) { return S.substr(0, S.find(';')); }

} // namespace

uint8_t Percent(int64_t A, int64_t B)
{
    if (B == 0)
        return 0;
    double R = std::nearbyint(double(A) / double(B) * 100.0);
    return R >= 0 && R <= 255 ? uint8_t(R) : 0;
}

// ---- TFileHeader ------------------------------------------------------------------

std::string TFileHeader::FileName() const
{
    return Stored(Record.FileNameLength, Record.FileNameChars, MaxFileNameLength);
}

void TFileHeader::SetFileName(const std::string& Value)
{
    Store(Value, Record.FileNameLength, Record.FileNameChars, MaxFileNameLength);
}

std::string TFileHeader::Version() const { return Stored(Record.VersionLength, Record.VersionChars, MaxVersionLength); }

void TFileHeader::SetVersion(const std::string& Value)
{
    Store(Value, Record.VersionLength, Record.VersionChars, MaxVersionLength);
}

void TFileHeader::LoadFromFile(const std::string& Entry, bool KeepOpen)
{
    SetFileName(BeforeSemicolon(Entry));
    const std::string Name = FileName();
    int64_t Size;
    bool Executable;
    {
        auto Stream = archive_Files::OpenFile(Name, fw_Streams::fmOpenRead | fw_Streams::fmShareDenyNone,
                                              "Cannot open the file %s");
        if (!cmp_TVersion::LastWriteDate(Stream->Handle(), Record.Date))
            Record.Date = 0;
        Size = Stream->Size();
        WORD Magic = 0;
        Executable = Stream->Read(&Magic, sizeof Magic) == sizeof Magic && Magic == IMAGE_DOS_SIGNATURE;
        if (KeepOpen && Size <= INT32_MAX)
            Source = std::move(Stream);
    }
    // Sizes and positions of the format are 32-bit signed numbers.
    if (Size > INT32_MAX)
        throw EWdrlCompress(TooLargeError, {Name});
    Record.Size = int32_t(Size);
    // Only executables carry version resources; other files skip the version API.
    SetVersion(Executable ? cmp_TVersion::FileVersionOf(Name) : std::string());
    Loaded = false;
}

void TFileHeader::ReadFromStream(fw_Streams::TStream& Stream)
{
    Stream.ReadBuffer(&Record, FileHeaderSize);
    Loaded = true;
}

void TFileHeader::WriteToStream(fw_Streams::TStream& Stream) const { Stream.WriteBuffer(&Record, FileHeaderSize); }

bool TFileHeader::IsValid() const
{
    const std::string Name = FileName();
    return std::any_of(Name.begin(), Name.end(), [](char C) { return uint8_t(C) > ' '; });
}

// ---- TFileHeaders -----------------------------------------------------------------

TFileHeader* TFileHeaders::GetFileHeaders(int Index) const
{
    if (Index < 0 || Index >= Count())
        throw EWdrlCompress("%d is an invalid TFileHeader index in TFileHeaders.GetFileHeaders", {Index});
    return FItems[size_t(Index)].get();
}

void TFileHeaders::Add(std::unique_ptr<TFileHeader> Header)
{
    if (!Header || !Header->IsValid())
        throw EWdrlCompress("Tried to add an invalid file header");
    FItems.push_back(std::move(Header));
}

void TFileHeaders::Truncate(int NewCount)
{
    if (NewCount >= 0 && NewCount < Count())
        FItems.resize(size_t(NewCount));
}

void TFileHeaders::AddFiles(const fw_Classes::TStrings& List, bool Keep)
{
    if (!Keep)
        Clear();
    for (int I = 0; I < List.Count(); ++I) {
        auto Header = std::make_unique<TFileHeader>();
        Header->LoadFromFile(List[I], I < KeptSourcesMax);
        Header->Record.Index = I + 1;
        Add(std::move(Header));
    }
}

int TFileHeaders::IndexOfName(const std::string& Name) const
{
    const std::string Key = BeforeSemicolon(Name);
    // Keys of one archive share long folder prefixes: compare from the end.
    auto Same = [&Key](const TFileHeaderRecord& R) {
        if (std::min<size_t>(R.FileNameLength, MaxFileNameLength) != Key.size())
            return false;
        for (size_t I = Key.size(); I-- > 0;) {
            const unsigned char X = (unsigned char)Key[I], Y = (unsigned char)R.FileNameChars[I];
            if (X == Y)
                continue;
            const unsigned char Lower = X | 0x20;
            if (Lower != (Y | 0x20) || Lower < 'a' || Lower > 'z')
                return false;
        }
        return true;
    };
    for (int I = 0; I < Count(); ++I)
        if (Same(FItems[size_t(I)]->Record))
            return I;
    return -1;
}

void TFileHeaders::ReadTable(fw_Streams::TStream& Stream, int64_t Offset)
{
    Clear();
    int32_t HeaderCount = 0;
    Stream.Seek(Offset, TSeekOrigin::soBeginning);
    if (Stream.Read(&HeaderCount, sizeof HeaderCount) != sizeof HeaderCount ||
        Stream.Read(&MultiDisk, sizeof MultiDisk) != sizeof MultiDisk)
        throw EWdrlCompress("Could not read the file header count for the compressed file");
    if (HeaderCount < 1)
        return;
    const int64_t End = Stream.Size();
    int64_t P = Offset + PreambleSize;
    for (int32_t I = 0; I < HeaderCount; ++I) {
        // The chain only runs forward and stays inside the file: a corrupt
        // NextHeader or Count can neither loop nor read past the end.
        if (P + FileHeaderSize > End)
            throw EWdrlCompress(ReadHeadersError);
        auto Header = std::make_unique<TFileHeader>();
        Stream.Seek(P, TSeekOrigin::soBeginning);
        if (Stream.Read(&Header->Record, FileHeaderSize) != FileHeaderSize)
            throw EWdrlCompress(ReadHeadersError);
        Header->Loaded = true;
        const int64_t Next = Offset + int64_t(Header->Record.NextHeader);
        if (I + 1 < HeaderCount && Next < P + FileHeaderSize)
            throw EWdrlCompress(ReadHeadersError);
        P = Next;
        Add(std::move(Header));
    }
}

void TFileHeaders::WriteTable(fw_Streams::TStream& Stream)
{
    Stream.Seek(0, TSeekOrigin::soBeginning);
    const int32_t HeaderCount = Count();
    // A short write that the system did not refuse carries no reason.
    SetLastError(ERROR_SUCCESS);
    if (Stream.Write(&HeaderCount, sizeof HeaderCount) != sizeof HeaderCount ||
        Stream.Write(&MultiDisk, sizeof MultiDisk) != sizeof MultiDisk)
        throw EWdrlCompress(WriteHeadersError, GetLastError());
    if (MultiDisk != 1)
        return;
    for (auto& Header : FItems) {
        Header->Record.NextHeader = int32_t(Stream.Position() + FileHeaderSize);
        if (Stream.Write(&Header->Record, FileHeaderSize) != size_t(FileHeaderSize))
            throw EWdrlCompress(WriteHeadersError, GetLastError());
    }
}

void TFileHeaders::ComputeTotals(TlzhFileStats& Stats) const
{
    int64_t Size = 0, Compressed = 0;
    for (const auto& Header : FItems) {
        Size += Header->Record.Size;
        Compressed += Header->Record.CompressedSize;
    }
    Stats.TotalSize = int32_t(Size);
    Stats.TotalCompressedSize = int32_t(Compressed);
    Stats.TotalCompressionRatio = Percent(Compressed, Size);
    Stats.TotalProcessed = 0;
    Stats.TotalPercentDone = 0;
    Stats.Finished = 0;
}

} // namespace archive_FileHeaders
