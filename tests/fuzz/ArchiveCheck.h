// An archive read by the fuzz programs themselves, apart from the readers
// under test: the table's records as the bytes hold them, and each record's
// data inflated by zlib alone. What a reader extracts must equal this.
#pragma once

#include "FuzzHarness.h"

#include "archive/cmp_TWdrlCompress.h"
#include "framework/fw_SysUtils.h"
#include "routines/exceptions_Wendrel.h"

#include <windows.h>
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

namespace fuzz_archive {

constexpr size_t RecordSize = 172;

struct TRecord {
    std::string Name;
    int32_t Size = 0, DataStart = 0, EndPos = 0, NextHeader = 0;
    uint8_t FirstDisk = 0, LastDisk = 0;
    size_t At = 0; // where the record lies
};

inline int32_t Int32At(const std::string& B, size_t At)
{
    int32_t V = 0;
    if (At + 4 <= B.size())
        std::memcpy(&V, &B[At], 4);
    return V;
}

// The records of the table at Offset, following the chain; at most Limit.
inline std::vector<TRecord> ReadRecords(const std::string& B, size_t Offset, size_t Limit = 4096)
{
    std::vector<TRecord> Records;
    if (Offset + 5 > B.size())
        return Records;
    const int32_t Count = Int32At(B, Offset);
    size_t P = Offset + 5;
    for (int32_t I = 0; I < Count && Records.size() < Limit; ++I) {
        if (P + RecordSize > B.size())
            break;
        TRecord R;
        R.At = P;
        const uint8_t Length = uint8_t(B[P + 20]);
        R.Name = B.substr(P + 21, std::min<size_t>(Length, 100));
        R.Size = Int32At(B, P + 128);
        R.DataStart = Int32At(B, P + 132);
        R.EndPos = Int32At(B, P + 16);
        R.NextHeader = Int32At(B, P + 124);
        R.LastDisk = uint8_t(B[P + 12]);
        R.FirstDisk = uint8_t(B[P + 140]);
        Records.push_back(R);
        const int64_t Next = int64_t(Offset) + R.NextHeader;
        if (Next < int64_t(P + RecordSize))
            break;
        P = size_t(Next);
    }
    return Records;
}

// The whole zlib stream in Data inflated, when it ends exactly at Data's end
// and gives exactly Size bytes.
inline std::optional<std::string> InflateExactly(const std::string& Data, int64_t Size)
{
    if (Size < 0 || Size > (int64_t(64) << 20))
        return std::nullopt;
    z_stream Z{};
    if (inflateInit(&Z) != Z_OK)
        return std::nullopt;
    std::string Out(size_t(Size) + 1, '\0');
    Z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(Data.data()));
    Z.avail_in = uInt(Data.size());
    Z.next_out = reinterpret_cast<Bytef*>(Out.data());
    Z.avail_out = uInt(Out.size());
    const int Result = inflate(&Z, Z_FINISH);
    const size_t Got = Out.size() - Z.avail_out;
    const bool Whole = Result == Z_STREAM_END && Z.avail_in == 0 && Got == size_t(Size);
    inflateEnd(&Z);
    if (!Whole)
        return std::nullopt;
    Out.resize(Got);
    return Out;
}

// The record an entry finds: the first whose name is the entry up to its
// first ";", letters compared without case.
inline const TRecord* FirstOfKey(const std::vector<TRecord>& Records, const std::string& Entry)
{
    const std::string Key = Entry.substr(0, Entry.find(';'));
    for (const TRecord& R : Records) {
        if (R.Name.size() != Key.size())
            continue;
        bool Same = true;
        for (size_t I = 0; I < Key.size() && Same; ++I) {
            const unsigned char X = (unsigned char)Key[I], Y = (unsigned char)R.Name[I];
            const unsigned char L = X | 0x20;
            Same = X == Y || (L == (Y | 0x20) && L >= 'a' && L <= 'z');
        }
        if (Same)
            return &R;
    }
    return nullptr;
}

// A record's data as the disks hold it, inflated; none when the ranges or
// the stream do not hold together. Disk(N) is the file read as disk N (in
// a single-file archive every disk is that file), null when missing. The
// data runs from Offset + DataStart on FirstDisk to the disk's end, over
// whole disks between, and to Offset + EndPos on LastDisk.
template <class DiskOf>
std::optional<std::string> RecordData(const TRecord& R, int64_t Offset, DiskOf Disk)
{
    const int First = R.FirstDisk ? R.FirstDisk : 1, Last = R.LastDisk ? R.LastDisk : 1;
    if (R.Size < 0 || R.DataStart < 0 || R.EndPos < 0 || First > Last || (First == Last && R.EndPos < R.DataStart) ||
        R.LastDisk < R.FirstDisk)
        return std::nullopt;
    std::string Data;
    int64_t Pos = Offset + R.DataStart;
    for (int D = R.FirstDisk;; ++D) {
        const std::string* B = Disk(D ? D : 1);
        if (!B)
            return std::nullopt;
        int64_t End = int64_t(B->size());
        if (D == R.LastDisk)
            End = std::min(End, Offset + int64_t(R.EndPos) + 1);
        if (Pos < End)
            Data.append(*B, size_t(Pos), size_t(End - Pos));
        if (D == R.LastDisk)
            break;
        Pos = 0;
    }
    return InflateExactly(Data, R.Size);
}

// The same for a single-file archive at Offset in B.
inline std::optional<std::string> RecordData(const std::string& B, int64_t Offset, const TRecord& R)
{
    return RecordData(R, Offset, [&](int) { return &B; });
}

// The last part of a name, as a file in the target folder gets it.
inline std::string LastPart(const std::string& Name)
{
    const size_t Cut = Name.find_last_of("\\/:");
    return Cut == std::string::npos ? Name : Name.substr(Cut + 1);
}

// A name as the system makes it: without trailing dots and blanks.
inline std::string AsMade(std::string Name)
{
    while (!Name.empty() && (Name.back() == '.' || Name.back() == ' '))
        Name.pop_back();
    return Name;
}

// Checks a target folder after extraction: nothing but plain files named
// after records, none larger than the largest record of its name.
inline void CheckTarget(const std::string& Folder, const std::vector<TRecord>& Records)
{
    for (const std::string& Name : fuzz::FolderNames(Folder)) {
        const std::string Path = Folder + "\\" + Name;
        int64_t Bound = -1;
        for (const TRecord& R : Records)
            if (_stricmp(AsMade(LastPart(R.Name)).c_str(), Name.c_str()) == 0)
                Bound = std::max<int64_t>(Bound, R.Size);
        if (Bound < 0)
            throw fuzz::TFault(fuzz::TOutcome::Outside, "a file of no record's name: " + Path);
        WIN32_FILE_ATTRIBUTE_DATA A{};
        if (!GetFileAttributesExA(Path.c_str(), GetFileExInfoStandard, &A))
            throw fuzz::TFault(fuzz::TOutcome::WrongOutput, "cannot look at " + Path);
        if (A.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            throw fuzz::TFault(fuzz::TOutcome::Outside, "a folder made in the target: " + Path);
        const int64_t Size = (int64_t(A.nFileSizeHigh) << 32) | A.nFileSizeLow;
        if (Size > Bound)
            throw fuzz::TFault(fuzz::TOutcome::Oversize,
                               Path + " has " + std::to_string(Size) + " bytes, its record " + std::to_string(Bound));
    }
}

// Only the expected names directly in Folder.
inline void CheckOnly(const std::string& Folder, const std::vector<std::string>& Expected)
{
    for (const std::string& Name : fuzz::FolderNames(Folder)) {
        bool Known = false;
        for (const std::string& E : Expected)
            Known = Known || _stricmp(E.c_str(), Name.c_str()) == 0;
        if (!Known)
            throw fuzz::TFault(fuzz::TOutcome::Outside, "written outside the target: " + Folder + "\\" + Name);
    }
}

// Reads the engine's table, then extracts each name it holds alone, so that
// one damaged record does not hide what the engine does with the next,
// until the first failure (its message into Message). Answers the records
// extracted: for each name, the first record of its key.
inline std::vector<const TRecord*> ExtractEach(cmp_TWdrlCompress::TWdrlCompress& Engine,
                                               const std::vector<TRecord>& Records, std::string& Message, bool& Failed)
{
    std::vector<const TRecord*> Extracted;
    Failed = false;
    try {
        Engine.ReadArchiveInfo();
        for (const TRecord& R : Records) {
            fw_Classes::TStringList List;
            List.Add(R.Name);
            Engine.SetFilesToProcess(List);
            Engine.Extract();
            if (fw_SysUtils::Trim(R.Name).empty())
                continue;
            const TRecord* Found = FirstOfKey(Records, R.Name);
            if (!Found)
                throw fuzz::TFault(fuzz::TOutcome::WrongOutput, "extracted " + R.Name + ", which no record names");
            Extracted.push_back(Found);
        }
    } catch (const exceptions_Wendrel::EWdrlCompress& E) {
        if (E.Message().empty())
            throw fuzz::TFault(fuzz::TOutcome::WrongOutput, "a failure without a message");
        Message = E.Message();
        Failed = true;
    }
    return Extracted;
}

// The files in Out of the records extracted hold exactly their data as
// DataOf(Record) inflates it; of two records of one file name the later
// one stays.
template <class DataOf>
void CheckExtracted(const std::string& Out, const std::vector<const TRecord*>& Extracted, DataOf Data)
{
    std::vector<std::pair<std::string, const TRecord*>> Targets;
    for (const TRecord* R : Extracted) {
        const std::string Target = AsMade(LastPart(R->Name));
        auto Same = [&](const auto& T) { return _stricmp(T.first.c_str(), Target.c_str()) == 0; };
        auto At = std::find_if(Targets.begin(), Targets.end(), Same);
        if (At == Targets.end())
            Targets.emplace_back(Target, R);
        else
            At->second = R;
    }
    for (const auto& [Target, R] : Targets) {
        const std::optional<std::string> Expected = Data(*R);
        if (!Expected)
            throw fuzz::TFault(fuzz::TOutcome::WrongOutput,
                               "extracted " + R->Name + " although its data does not inflate to its size");
        if (fuzz::ReadWholeFile(Out + "\\" + Target) != *Expected)
            throw fuzz::TFault(fuzz::TOutcome::WrongOutput, "the bytes of " + Target + " are not its record's data");
    }
}

} // namespace fuzz_archive
