// Adding file after file to one archive: the engine keeps the table it wrote
// between adds, and reads it again whenever the file may have changed since.
#include "ArchiveTestSupport.h"

#include "archive/cmp_TWdrlCompress.h"
#include "routines/exceptions_Wendrel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

using namespace cmp_TWdrlCompress;
using archive_test::Payload;
using archive_test::ReadAll;
using archive_test::TScratch;
using archive_test::WriteAll;

namespace {

// One call of Compress.
struct TAdd {
    std::vector<std::string> Files;
    TlzhCommand Command = lzcOnlyAdd;
    int UniqueID = 0;
    TCompressionLevel Level = colMax;
};

void AddTo(TWdrlCompress& C, const std::string& Archive, const TAdd& Add)
{
    C.SetCompressedFile(Archive);
    C.CompressionLevel = Add.Level;
    for (const auto& F : Add.Files)
        C.FilesToProcess().Add(F);
    C.Compress(Add.Command, Add.UniqueID);
}

// The archive as engines that never saw it before make it: one per call.
std::vector<uint8_t> MadeByFreshEngines(const std::string& Archive, const std::vector<TAdd>& Adds)
{
    for (const TAdd& Add : Adds) {
        TWdrlCompress C(nullptr);
        AddTo(C, Archive, Add);
    }
    return ReadAll(Archive);
}

uint64_t LastWrite(const std::string& Name)
{
    WIN32_FILE_ATTRIBUTE_DATA D{};
    EXPECT_TRUE(GetFileAttributesExA(Name.c_str(), GetFileExInfoStandard, &D)) << Name;
    return uint64_t(D.ftLastWriteTime.dwHighDateTime) << 32 | D.ftLastWriteTime.dwLowDateTime;
}

void SetLastWrite(const std::string& Name, uint64_t Time)
{
    FILETIME T{DWORD(Time), DWORD(Time >> 32)};
    fw_Handles::THandle H = archive_test::OpenForWriting(Name);
    ASSERT_TRUE(H && SetFileTime(H.Get(), nullptr, nullptr, &T)) << Name;
}

// Replaces the bytes of Name from At on, leaving its length and its date as they were.
void PatchInPlace(const std::string& Name, size_t At, const std::vector<uint8_t>& Bytes)
{
    const uint64_t Time = LastWrite(Name);
    auto All = ReadAll(Name);
    ASSERT_LE(At + Bytes.size(), All.size()) << Name;
    std::memcpy(&All[At], Bytes.data(), Bytes.size());
    WriteAll(Name, All);
    SetLastWrite(Name, Time);
}

int32_t Int32At(const std::vector<uint8_t>& B, size_t At)
{
    int32_t V = 0;
    std::memcpy(&V, &B[At], sizeof V);
    return V;
}

std::string KeyOf(const TWdrlCompress& C, int I) { return C.Headers().GetFileHeaders(I)->FileName(); }

// The table an engine holds is, record for record, what a new reader reads from the file.
void ExpectTableOfFile(const TWdrlCompress& C, const std::string& Archive)
{
    TWdrlCompress R(nullptr);
    R.SetCompressedFile(Archive);
    ASSERT_EQ(C.Headers().Count(), R.FileCount()) << Archive;
    for (int I = 0; I < R.FileCount(); ++I)
        EXPECT_EQ(std::memcmp(&C.Headers().GetFileHeaders(I)->Record, &R.Headers().GetFileHeaders(I)->Record,
                              archive_FileHeaders::FileHeaderSize),
                  0)
            << "record " << I;
}

// Source files of different sizes and kinds: empty, tiny, text, noise larger
// than one output buffer.
std::vector<std::string> MakeSources(const TScratch& S, int Count)
{
    std::vector<std::string> Files;
    fw_SysUtils::ForceDirectories(S.Path("src"));
    for (int I = 0; I < Count; ++I) {
        Files.push_back(S.Path("src\\file" + std::to_string(I) + ".dat"));
        const size_t Size = I % 7 == 0 ? size_t(I) : size_t(I * 2749 % 9000 + (I % 5 == 1 ? 90000 : 0));
        WriteAll(Files.back(), Payload(Size, uint32_t(I + 1), I % 3 != 1));
    }
    return Files;
}

} // namespace

TEST(WdrlCompressAppend, OneEngineWritesWhatAFreshEngineForEveryAddWrites)
{
    TScratch S;
    const auto Src = MakeSources(S, 24);
    // Single and double adds, every level, an identifier outside the index
    // and a file added twice.
    std::vector<TAdd> Adds;
    Adds.push_back({{Src[0], Src[1]}, lzcOverwrite, 0, colMax});
    const TCompressionLevel Levels[] = {colMax, colNone, colFastest, colDefault};
    for (int I = 2; I < 24; ++I) {
        TAdd Add{{Src[size_t(I)]}, lzcOnlyAdd, I, Levels[I % 4]};
        if (I % 6 == 0)
            Add.Files.push_back(Src[size_t(I - 1)]);
        if (I == 9)
            Add.UniqueID = 2500;
        Adds.push_back(Add);
    }
    Adds.push_back({{Src[3]}, lzcOnlyAdd, 3, colMax});
    const auto Reference = MadeByFreshEngines(S.Path("fresh.1"), Adds);

    TWdrlCompress C(nullptr);
    for (size_t I = 0; I < Adds.size(); ++I) {
        AddTo(C, S.Path("kept.1"), Adds[I]);
        ASSERT_FALSE(C.Abort) << "add " << I;
        // After every add the table in memory is the file's.
        ExpectTableOfFile(C, S.Path("kept.1"));
    }
    // Byte for byte: the keys are the sources' paths, the same for both.
    EXPECT_EQ(ReadAll(S.Path("kept.1")), Reference);

    // Started anew in the middle of a series, the archive holds only what followed.
    std::vector<TAdd> Anew(Adds.begin(), Adds.begin() + 5);
    Anew.push_back({{Src[20], Src[21]}, lzcOverwrite, 40, colDefault});
    Anew.push_back({{Src[22]}, lzcOnlyAdd, 41, colMax});
    const auto AnewReference = MadeByFreshEngines(S.Path("anew_fresh.1"), Anew);
    TWdrlCompress D(nullptr);
    for (const TAdd& Add : Anew)
        AddTo(D, S.Path("anew_kept.1"), Add);
    EXPECT_EQ(ReadAll(S.Path("anew_kept.1")), AnewReference);
    EXPECT_EQ(D.Headers().Count(), 3);
    ExpectTableOfFile(D, S.Path("anew_kept.1"));
}

TEST(WdrlCompressAppend, TableIsKeptOnlyWhileTheFileIsAsTheEngineLeftIt)
{
    TScratch S;
    const auto Src = MakeSources(S, 8);
    const std::string X = S.Path("x.1"), Y = S.Path("y.1");
    // The key of record 0 lies at offset 5 + 21; below, one character of it
    // is changed on disk by hand (same length, same date).
    const size_t KeyDigit = 5 + 21 + Src[0].size() - 5; // the "0" of "file0.dat"

    {
        SCOPED_TRACE("nothing else wrote: the table is not read again");
        TWdrlCompress A(nullptr);
        AddTo(A, X, {{Src[0]}, lzcOverwrite, 1});
        AddTo(A, X, {{Src[1]}, lzcOnlyAdd, 2});
        PatchInPlace(X, KeyDigit, {'Z'});
        AddTo(A, X, {{Src[2]}, lzcOnlyAdd, 3});
        EXPECT_EQ(A.Headers().Count(), 3);
        EXPECT_EQ(KeyOf(A, 0), Src[0]); // what it wrote, not the changed byte
        DeleteFileA(X.c_str());
    }
    {
        SCOPED_TRACE("another engine appended in between");
        TWdrlCompress A(nullptr), B(nullptr);
        AddTo(A, X, {{Src[0]}, lzcOverwrite, 1});
        AddTo(B, X, {{Src[4], Src[5]}, lzcOnlyAdd, 7});
        AddTo(A, X, {{Src[1]}, lzcOnlyAdd, 2});
        ASSERT_EQ(A.Headers().Count(), 4);
        EXPECT_EQ(KeyOf(A, 1), Src[4]);
        EXPECT_EQ(KeyOf(A, 2), Src[5]);
        EXPECT_EQ(KeyOf(A, 3), Src[1]);
        ExpectTableOfFile(A, X);
        EXPECT_EQ(ReadAll(X), MadeByFreshEngines(S.Path("ref1.1"), {{{Src[0]}, lzcOverwrite, 1},
                                                                    {{Src[4], Src[5]}, lzcOnlyAdd, 7},
                                                                    {{Src[1]}, lzcOnlyAdd, 2}}));
    }
    {
        SCOPED_TRACE("another engine started the archive anew with as many records");
        TWdrlCompress A(nullptr), B(nullptr);
        AddTo(A, X, {{Src[0]}, lzcOverwrite, 1});
        AddTo(B, X, {{Src[6]}, lzcOverwrite, 9});
        AddTo(A, X, {{Src[1]}, lzcOnlyAdd, 2});
        ASSERT_EQ(A.Headers().Count(), 2);
        EXPECT_EQ(KeyOf(A, 0), Src[6]);
        EXPECT_EQ(A.Headers().GetFileHeaders(0)->Record.UniqueID, 9);
        ExpectTableOfFile(A, X);
    }
    {
        SCOPED_TRACE("same length and date, but the preamble counts fewer records");
        TWdrlCompress A(nullptr);
        AddTo(A, X, {{Src[0], Src[1]}, lzcOverwrite, 1});
        PatchInPlace(X, 0, {1, 0, 0, 0});
        AddTo(A, X, {{Src[2]}, lzcOnlyAdd, 3});
        // Read again: the one record counted, then the new one.
        ASSERT_EQ(A.Headers().Count(), 2);
        EXPECT_EQ(KeyOf(A, 0), Src[0]);
        EXPECT_EQ(KeyOf(A, 1), Src[2]);
    }
    {
        SCOPED_TRACE("another archive of the same length and date");
        TWdrlCompress A(nullptr);
        AddTo(A, X, {{Src[0]}, lzcOverwrite, 1});
        ASSERT_TRUE(CopyFileA(X.c_str(), Y.c_str(), FALSE));
        PatchInPlace(Y, KeyDigit, {'Z'});
        SetLastWrite(Y, LastWrite(X));
        AddTo(A, Y, {{Src[1]}, lzcOnlyAdd, 2});
        ASSERT_EQ(A.Headers().Count(), 2);
        EXPECT_NE(KeyOf(A, 0), Src[0]); // Y's own record, read from Y
        // Back to X, whose table was dropped for Y's: X is read again.
        AddTo(A, X, {{Src[2]}, lzcOnlyAdd, 3});
        ASSERT_EQ(A.Headers().Count(), 2);
        EXPECT_EQ(KeyOf(A, 0), Src[0]);
        ExpectTableOfFile(A, X);
    }
    {
        SCOPED_TRACE("the engine split the archive in between");
        TWdrlCompress A(nullptr);
        AddTo(A, X, {{Src[0], Src[1]}, lzcOverwrite, 1});
        fw_SysUtils::ForceDirectories(S.Path("set"));
        A.SplitToDisks(S.Path("set"), "files.1");
        ASSERT_EQ(A.Headers().MultiDisk, 1);
        AddTo(A, X, {{Src[2]}, lzcOnlyAdd, 3});
        EXPECT_EQ(ReadAll(X), MadeByFreshEngines(S.Path("ref2.1"),
                                                 {{{Src[0], Src[1]}, lzcOverwrite, 1}, {{Src[2]}, lzcOnlyAdd, 3}}));
        ExpectTableOfFile(A, X);
    }
}

TEST(WdrlCompressAppend, FailedOrAbortedAddKeepsNoTable)
{
    TScratch S;
    // Two sources of the same content under keys of the same length: their
    // archives have the same length.
    fw_SysUtils::ForceDirectories(S.Path("a"));
    fw_SysUtils::ForceDirectories(S.Path("b"));
    const std::string Mine = S.Path("a\\one.txt"), Other = S.Path("b\\one.txt");
    WriteAll(Mine, Payload(3000, 5));
    WriteAll(Other, Payload(3000, 5));
    WriteAll(S.Path("two.txt"), Payload(70000, 6, false));
    WriteAll(S.Path("three.txt"), Payload(500, 7));
    const std::string X = S.Path("x.1"), Y = S.Path("y.1");
    {
        TWdrlCompress B(nullptr);
        AddTo(B, Y, {{Other}, lzcOverwrite, 8});
    }

    // After each failure the file is made to look exactly as the engine's
    // last good add left it, length and date, with other content: only a
    // table dropped at the failure is read again.
    auto Check = [&](const char* What, const std::function<void(TWdrlCompress&)>& Fail) {
        SCOPED_TRACE(What);
        TWdrlCompress A(nullptr);
        AddTo(A, X, {{Mine}, lzcOverwrite, 1});
        const uint64_t Written = LastWrite(X);
        const auto Before = ReadAll(X);
        Fail(A);
        EXPECT_EQ(ReadAll(X), Before); // the failed add left nothing behind
        ASSERT_EQ(ReadAll(Y).size(), Before.size());
        WriteAll(X, ReadAll(Y));
        SetLastWrite(X, Written);
        A.OnBeforeAdding = nullptr;
        A.OnStatus = nullptr;
        AddTo(A, X, {{S.Path("three.txt")}, lzcOnlyAdd, 3});
        ASSERT_EQ(A.Headers().Count(), 2);
        EXPECT_EQ(KeyOf(A, 0), Other);
        ExpectTableOfFile(A, X);
    };
    Check("a user abort", [&](TWdrlCompress& A) {
        A.OnStatus = [](TWdrlCompress* W, const TlzhFileStats&) { W->Abort = true; };
        AddTo(A, X, {{S.Path("two.txt")}, lzcOnlyAdd, 2});
    });
    Check("a silent abort", [&](TWdrlCompress& A) {
        A.OnBeforeAdding = [](TWdrlCompress*, const TlzhFileStats&) { throw fw_SysUtils::EAbort("skip"); };
        AddTo(A, X, {{S.Path("two.txt")}, lzcOnlyAdd, 2});
    });
    Check("a source that is gone", [&](TWdrlCompress& A) {
        EXPECT_TRUE(test_support::Raises<exceptions_Wendrel::EWdrlCompress>(
            [&] {
                AddTo(A, X, {{S.Path("missing.txt")}, lzcOnlyAdd, 2});
            },
            "Cannot open the file " + S.Path("missing.txt")));
    });
    Check("a source that shrinks while it is read", [&](TWdrlCompress& A) {
        A.OnBeforeAdding = [&](TWdrlCompress*, const TlzhFileStats&) {
            fw_Handles::THandle H = archive_test::OpenForWriting(S.Path("shrinks.txt"));
            SetEndOfFile(H.Get());
        };
        WriteAll(S.Path("shrinks.txt"), Payload(100000, 9));
        EXPECT_TRUE(test_support::Raises<fw_Streams::EReadError>(
            [&] {
                AddTo(A, X, {{S.Path("shrinks.txt")}, lzcOnlyAdd, 2});
            },
            "Stream read error"));
    });
}

TEST(WdrlCompressAppend, AnAddWritesOnlyThePreambleAndWhatItAppends)
{
    TScratch S;
    const auto Src = MakeSources(S, 6);
    const std::string X = S.Path("x.1");
    TWdrlCompress A(nullptr);
    AddTo(A, X, {{Src[0], Src[1]}, lzcOverwrite, 1});
    AddTo(A, X, {{Src[2]}, lzcOnlyAdd, 2});

    // By the engine that keeps the table, and by one that reads it first.
    TWdrlCompress Fresh(nullptr);
    for (TWdrlCompress* C : {&A, &Fresh, &A}) {
        const auto Before = ReadAll(X);
        const int32_t Count = Int32At(Before, 0);
        size_t LastRecord = 5;
        for (int32_t I = 1; I < Count; ++I)
            LastRecord = size_t(Int32At(Before, LastRecord + 124));
        AddTo(*C, X, {{Src[size_t(Count)]}, lzcOnlyAdd, 10 + Count});
        const auto After = ReadAll(X);
        ASSERT_GT(After.size(), Before.size() + 172);
        EXPECT_EQ(Int32At(After, 0), Count + 1);
        EXPECT_EQ(After[4], Before[4]);
        EXPECT_TRUE(std::equal(Before.begin() + 5, Before.end(), After.begin() + 5)) << "earlier bytes changed";
        // The old last record already named the old end as its next: the
        // chain goes on to the new record without rewriting it.
        const size_t End = Before.size();
        EXPECT_EQ(Int32At(After, LastRecord + 124), int32_t(End));
        EXPECT_EQ(Int32At(After, End + 132), int32_t(End + 172));       // DataStart
        EXPECT_EQ(Int32At(After, End + 124), int32_t(After.size()));    // NextHeader
        EXPECT_EQ(Int32At(After, End + 16), int32_t(After.size() - 1)); // EndPos
    }
    TWdrlCompress R(nullptr);
    R.SetCompressedFile(X);
    EXPECT_EQ(R.FileCount(), 6);
}
