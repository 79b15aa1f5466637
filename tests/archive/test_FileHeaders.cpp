#include "ArchiveTestSupport.h"

#include "archive/archive_FileHeaders.h"
#include "archive/cmp_TWdrlCompress.h"
#include "routines/exceptions_Wendrel.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace archive_FileHeaders;
using archive_test::Corrupt;
using archive_test::ReadAll;
using archive_test::TScratch;
using archive_test::WriteAll;
using exceptions_Wendrel::EWdrlCompress;

namespace {

int32_t I32(const std::vector<uint8_t>& B, size_t At)
{
    int32_t V;
    std::memcpy(&V, &B[At], 4);
    return V;
}

void PutI32(std::vector<uint8_t>& B, size_t At, int32_t V) { std::memcpy(&B[At], &V, 4); }

// The message ReadTable gives for these bytes ("" when it reads them).
std::string ReadMessage(const std::vector<uint8_t>& Bytes, int* Count = nullptr)
{
    fw_Streams::TMemoryStream M;
    M.Write(Bytes.data(), Bytes.size());
    TFileHeaders H;
    const std::string Message = test_support::MessageOf<EWdrlCompress>([&] { H.ReadTable(M, 0); });
    if (!Message.empty())
        return Message;
    if (Count)
        *Count = H.Count();
    return "";
}

std::vector<uint8_t> Record(const std::string& Name, int32_t Next)
{
    TFileHeader H;
    H.SetFileName(Name);
    H.Record.NextHeader = Next;
    std::vector<uint8_t> B(FileHeaderSize);
    std::memcpy(B.data(), &H.Record, FileHeaderSize);
    return B;
}

} // namespace

TEST(FileHeaders, ArchiveOfOneEmptyFileByteForByte)
{
    TScratch S;
    const std::string Source = S.Path("empty.txt");
    WriteAll(Source, {});
    cmp_TWdrlCompress::TWdrlCompress C(nullptr);
    C.SetCompressedFile(S.Path("files.1"));
    C.FilesToProcess().Add(Source);
    C.Compress(cmp_TWdrlCompress::lzcOverwrite, 7);

    const std::vector<uint8_t> B = ReadAll(S.Path("files.1"));
    ASSERT_EQ(B.size(), 185u);
    EXPECT_EQ(std::vector<uint8_t>(B.begin(), B.begin() + 5), (std::vector<uint8_t>{1, 0, 0, 0, 0}));
    const size_t R = 5;
    EXPECT_EQ(I32(B, R + 0), 1);    // Index
    EXPECT_EQ(B[R + 12], 0);        // LastDisk
    EXPECT_EQ(I32(B, R + 16), 184); // EndPos
    EXPECT_EQ(B[R + 20], Source.size());
    EXPECT_EQ(std::string(B.begin() + R + 21, B.begin() + R + 21 + Source.size()), Source);
    EXPECT_EQ(I32(B, R + 124), 185); // NextHeader
    EXPECT_EQ(I32(B, R + 128), 0);   // Size
    EXPECT_EQ(I32(B, R + 132), 177); // DataStart
    EXPECT_EQ(I32(B, R + 136), 8);   // CompressedSize
    EXPECT_EQ(B[R + 140], 0);        // FirstDisk
    EXPECT_EQ(I32(B, R + 144), 7);   // UniqueID
    EXPECT_EQ(B[R + 148], 0);        // no version
    // Every padding byte and the unused rest of each string is zero.
    for (size_t I : {13, 14, 15, 121, 122, 123, 141, 142, 143, 169, 170, 171})
        EXPECT_EQ(B[R + I], 0) << I;
    for (size_t I = 21 + Source.size(); I < 121; ++I)
        EXPECT_EQ(B[R + I], 0) << I;
    for (size_t I = 149; I < 169; ++I)
        EXPECT_EQ(B[R + I], 0) << I;
    EXPECT_EQ(std::vector<uint8_t>(B.begin() + 177, B.end()),
              (std::vector<uint8_t>{0x78, 0xDA, 0x03, 0x00, 0x00, 0x00, 0x00, 0x01}));

    // The date is the source's, at the file system's 2-second grain.
    double Date;
    std::memcpy(&Date, &B[R + 4], 8);
    EXPECT_EQ(Date, fw_SysUtils::FileDateToDateTime(fw_SysUtils::FileAge(Source)));

    // A table of no records is the 5 preamble bytes.
    fw_Streams::TMemoryStream M;
    TFileHeaders Empty;
    Empty.WriteTable(M);
    EXPECT_EQ(M.Bytes(), (std::vector<uint8_t>{0, 0, 0, 0, 0}));
}

TEST(FileHeaders, NamesKeysAndLimits)
{
    TScratch S;
    WriteAll(S.Path("Alpha.txt"), {1, 2, 3});
    WriteAll(S.Path("beta.txt"), {4});
    fw_Classes::TStringList L;
    L.Add(S.Path("Alpha.txt") + ";ignored text");
    L.Add(S.Path("beta.txt"));
    L.Add(S.Path("ALPHA.txt"));
    TFileHeaders H;
    H.AddFiles(L, false);
    ASSERT_EQ(H.Count(), 3);
    EXPECT_EQ(H.FileHeaders(0)->FileName(), S.Path("Alpha.txt"));
    EXPECT_EQ(H.FileHeaders(0)->Record.Size, 3);
    EXPECT_EQ(H.FileHeaders(2)->Record.Index, 3);
    EXPECT_FALSE(H.FileHeaders(0)->Loaded);
    // The part before ";" is the key, compared without letter case; the first of two wins.
    EXPECT_EQ(H.IndexOfName(fw_SysUtils::UpperCase(S.Path("alpha.txt")) + ";whatever"), 0);
    EXPECT_EQ(H.IndexOfName(S.Path("BETA.TXT")), 1);
    EXPECT_EQ(H.IndexOfName(S.Path("gamma.txt")), -1);

    EXPECT_TRUE(test_support::Raises<EWdrlCompress>(
        [&] { H.FileHeaders(3); }, "3 is an invalid TFileHeader index in TFileHeaders.GetFileHeaders"));
    auto Blank = std::make_unique<TFileHeader>();
    Blank->SetFileName(" \t\r ");
    EXPECT_TRUE(
        test_support::Raises<EWdrlCompress>([&] { H.Add(std::move(Blank)); }, "Tried to add an invalid file header"));
    EXPECT_EQ(H.Count(), 3);

    // A long path is cut to 100 characters, and the cut name is what is opened.
    const std::string Long = S.Path(std::string(120, 'n'));
    TFileHeader Cut;
    EXPECT_TRUE(test_support::Raises<EWdrlCompress>([&] { Cut.LoadFromFile(Long); },
                                                    "Cannot open the file " + Long.substr(0, 100)));
    EXPECT_EQ(Cut.FileName(), Long.substr(0, 100));
    Cut.SetVersion("1.2.3.4.5.6.7.8.9.10.11");
    EXPECT_EQ(Cut.Version(), "1.2.3.4.5.6.7.8.9.10");

    cmp_TWdrlCompress::TlzhFileStats Stats;
    Stats.TotalProcessed = 9;
    H.ComputeTotals(Stats);
    EXPECT_EQ(Stats.TotalSize, 7);
    EXPECT_EQ(Stats.TotalProcessed, 0);
    EXPECT_EQ(Percent(1, 3), 33);
    EXPECT_EQ(Percent(1, 8), 12); // 12.5 rounds to even
    EXPECT_EQ(Percent(3, 8), 38);
    EXPECT_EQ(Percent(3, 1), 0); // 300 does not fit
    EXPECT_EQ(Percent(1, 0), 0);
}

TEST(FileHeaders, DamagedTablesEndWithTheirMessages)
{
    const std::string CountMsg = "Could not read the file header count for the compressed file";
    EXPECT_EQ(ReadMessage({1, 0, 0}), CountMsg);
    EXPECT_EQ(ReadMessage({1, 0, 0, 0}), CountMsg);
    int Count = -1;
    EXPECT_EQ(ReadMessage({0, 0, 0, 0, 0}, &Count), "");
    EXPECT_EQ(Count, 0);
    EXPECT_EQ(ReadMessage({0xFF, 0xFF, 0xFF, 0xFF, 0}, &Count), ""); // negative Count
    EXPECT_EQ(Count, 0);

    std::vector<uint8_t> One = {1, 0, 0, 0, 0};
    auto R = Record("a.txt", 5 + 172);
    One.insert(One.end(), R.begin(), R.end());
    EXPECT_EQ(ReadMessage(One, &Count), "");
    EXPECT_EQ(Count, 1);

    std::vector<uint8_t> Short(One.begin(), One.end() - 1);
    EXPECT_EQ(ReadMessage(Short), Corrupt);
    std::vector<uint8_t> TooMany = One;
    PutI32(TooMany, 0, 2);
    EXPECT_EQ(ReadMessage(TooMany), Corrupt);
    std::vector<uint8_t> Blank = {1, 0, 0, 0, 0};
    R = Record("   ", 177);
    Blank.insert(Blank.end(), R.begin(), R.end());
    EXPECT_EQ(ReadMessage(Blank), "Tried to add an invalid file header");

    // A chain that loops on itself or points outside the file, with a huge Count.
    std::vector<uint8_t> Loop = One;
    PutI32(Loop, 0, 0x7FFFFFFF);
    PutI32(Loop, 5 + 124, 5);
    EXPECT_EQ(ReadMessage(Loop), Corrupt);
    PutI32(Loop, 5 + 124, 0x7FFFFF00);
    EXPECT_EQ(ReadMessage(Loop), Corrupt);
    PutI32(Loop, 5 + 124, -1000);
    EXPECT_EQ(ReadMessage(Loop), Corrupt);

    // The engine reports any of these as a corrupt archive.
    TScratch S;
    WriteAll(S.Path("bad.1"), Loop);
    cmp_TWdrlCompress::TWdrlCompress C(nullptr);
    C.SetCompressedFile(S.Path("bad.1"));
    EXPECT_TRUE(test_support::Raises<EWdrlCompress>([&] { C.ReadArchiveInfo(); }, Corrupt));
    C.SetCompressedFile(S.Path("missing.1"));
    EXPECT_TRUE(test_support::Raises<EWdrlCompress>([&] { C.ReadArchiveInfo(); },
                                                    "Cannot open the compressed file " + S.Path("missing.1")));

    // A table that was read and then fails to read again is not used any more.
    WriteAll(S.Path("later.1"), One);
    C.SetCompressedFile(S.Path("later.1"));
    EXPECT_EQ(C.FileCount(), 1);
    WriteAll(S.Path("later.1"), Loop);
    EXPECT_THROW(C.ReadArchiveInfo(), EWdrlCompress);
    EXPECT_TRUE(test_support::Raises<EWdrlCompress>([&] { C.FileCount(); }, Corrupt)) << "a partial table was used";
}
