// The archive's table: a preamble and a chain of fixed 172-byte file records.
#pragma once

#include "framework/fw_Classes.h"
#include "framework/fw_Streams.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace archive_FileHeaders {

// The message of every archive whose table or data does not hold together.
extern const char* const ReadHeadersError;
// The refusal of a source file too large for the format's sizes ("%s" is its name).
extern const char* const TooLargeError;

constexpr int FileHeaderSize = 172;
constexpr int PreambleSize = 5;
constexpr int MaxFileNameLength = 100;
constexpr int MaxVersionLength = 20;

#pragma pack(push, 1)
// One record exactly as it lies in the archive (little-endian host).
struct TFileHeaderRecord {
    int32_t Index;
    double Date;
    uint8_t LastDisk;
    uint8_t Pad1[3];
    int32_t EndPos;
    uint8_t FileNameLength;
    char FileNameChars[MaxFileNameLength];
    uint8_t Pad2[3];
    int32_t NextHeader;
    int32_t Size;
    int32_t DataStart;
    int32_t CompressedSize;
    uint8_t FirstDisk;
    uint8_t Pad3[3];
    int32_t UniqueID;
    uint8_t VersionLength;
    char VersionChars[MaxVersionLength];
    uint8_t Pad4[3];
};
#pragma pack(pop)
static_assert(sizeof(TFileHeaderRecord) == FileHeaderSize);
static_assert(offsetof(TFileHeaderRecord, FileNameLength) == 20);
static_assert(offsetof(TFileHeaderRecord, NextHeader) == 124);
static_assert(offsetof(TFileHeaderRecord, UniqueID) == 144);
static_assert(offsetof(TFileHeaderRecord, VersionLength) == 148);

// The status record that every event of the archive engine receives.
struct TlzhFileStats {
    uint8_t PercentDone = 0;
    int32_t Processed = 0;
    std::string FileName;
    int32_t CompressedSize = 0;
    uint8_t CompressionRatio = 0;
    int32_t Size = 0;
    TFileHeaderRecord Header{};
    uint8_t Finished = 0;
    uint8_t TotalPercentDone = 0;
    int32_t TotalProcessed = 0;
    int32_t TotalCompressedSize = 0;
    uint8_t TotalCompressionRatio = 0;
    int32_t TotalSize = 0;
};

// A / B * 100 rounded half to even; 0 when B is 0 or the result leaves 0 .. 255.
uint8_t Percent(int64_t A, int64_t B);

class TFileHeader {
public:
    TFileHeader() = default;

    // Fills the record from a source file: "path[;ignored text]". With
    // KeepOpen the source stays open in Source for adding its data.
    void LoadFromFile(const std::string& Entry, bool KeepOpen = false);
    void ReadFromStream(fw_Streams::TStream& Stream);
    void WriteToStream(fw_Streams::TStream& Stream) const;
    bool IsValid() const;

    std::string FileName() const;
    void SetFileName(const std::string& Value); // cut to 100 characters
    std::string Version() const;
    void SetVersion(const std::string& Value); // cut to 20 characters

    TFileHeaderRecord Record{};
    bool Loaded = false;
    // The source as LoadFromFile read it, when kept open: its data is then
    // read from the same handle, without opening the file a second time.
    std::unique_ptr<fw_Streams::TFileStream> Source;
};

// How many sources one AddFiles keeps open until their data is added; the
// rest are opened again then. Under Wine the second open of a small file
// costs about as much as compressing it; a handle per file of even a large
// product is cheap, but not without bound.
constexpr int KeptSourcesMax = 4096;

class TFileHeaders {
public:
    int Count() const { return int(FItems.size()); }
    TFileHeader* GetFileHeaders(int Index) const;
    TFileHeader* FileHeaders(int Index) const { return GetFileHeaders(Index); }

    // Takes ownership; an invalid record is destroyed and refused.
    void Add(std::unique_ptr<TFileHeader> Header);
    void Clear() { FItems.clear(); }
    // Destroys the records from index NewCount on.
    void Truncate(int NewCount);
    void AddFiles(const fw_Classes::TStrings& List, bool Keep);
    int IndexOfName(const std::string& Name) const;
    void ReadTable(fw_Streams::TStream& Stream, int64_t Offset);
    void WriteTable(fw_Streams::TStream& Stream);
    void ComputeTotals(TlzhFileStats& Stats) const;

    uint8_t MultiDisk = 0;

private:
    std::vector<std::unique_ptr<TFileHeader>> FItems;
};

} // namespace archive_FileHeaders
