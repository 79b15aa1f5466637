#include "ArchiveTestSupport.h"

#include "archive/cmp_TWdrlCompress.h"
#include "routines/exceptions_Wendrel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

using namespace cmp_TWdrlCompress;
using archive_test::Corrupt;
using archive_test::Payload;
using archive_test::ReadAll;
using archive_test::TFloppyCompress;
using archive_test::TScratch;
using archive_test::WriteAll;
using exceptions_Wendrel::EWdrlCompress;

namespace {

// The message of whatever the system raises ("" for nothing).
template <class F>
std::string MessageOf(F&& Run)
{
    return test_support::MessageOf<fw_SysUtils::Exception>(Run);
}

// The archive with one record whose key is Name; the rest as in Good.
std::vector<uint8_t> WithKey(std::vector<uint8_t> Good, const std::string& Name)
{
    Good[5 + 20] = uint8_t(Name.size());
    std::memset(&Good[5 + 21], 0, 100);
    std::memcpy(&Good[5 + 21], Name.data(), Name.size());
    return Good;
}

// What a reader that never saw the archive before extracts of each key.
void ExpectExtracts(const std::string& Archive, const std::vector<std::pair<std::string, std::vector<uint8_t>>>& Files,
                    const std::string& Dir)
{
    TWdrlCompress R(nullptr);
    R.SetCompressedFile(Archive);
    ASSERT_EQ(R.FileCount(), int(Files.size())) << Archive;
    for (const auto& [Key, Bytes] : Files)
        R.FilesToProcess().Add(Key);
    R.ExtractDirectory = Dir;
    R.Extract();
    for (const auto& [Key, Bytes] : Files)
        EXPECT_EQ(ReadAll(Dir + "\\" + fw_SysUtils::ExtractFileName(Key)), Bytes) << Key;
}

// Adds the files to a new archive, each with its own level when given.
void Build(TWdrlCompress& C, const std::string& Archive, const std::vector<std::string>& Files, int UniqueID = 0)
{
    C.SetCompressedFile(Archive);
    for (const auto& F : Files)
        C.FilesToProcess().Add(F);
    C.Compress(lzcOverwrite, UniqueID);
}

void ExtractOne(TWdrlCompress& C, const std::string& Key, const std::string& Dir)
{
    C.ExtractDirectory = Dir;
    C.FilesToProcess().Add(Key);
    C.Extract();
}

// Cuts a file to Length bytes, as another program might while it is read.
void Shrink(const std::string& Name, int64_t Length)
{
    fw_Handles::THandle H = archive_test::OpenForWriting(Name);
    LARGE_INTEGER Pos;
    Pos.QuadPart = Length;
    ASSERT_TRUE(H && SetFilePointerEx(H.Get(), Pos, nullptr, FILE_BEGIN) && SetEndOfFile(H.Get())) << Name;
}

} // namespace

TEST(WdrlCompress, RoundTripsPayloadsAtEveryLevel)
{
    TScratch S;
    std::vector<std::string> Files;
    const std::vector<std::vector<uint8_t>> Contents = {
        {}, {42}, Payload(70000, 1, false), Payload(300000, 2), Payload(65536 * 3, 3, false), Payload(4096, 4)};
    for (size_t I = 0; I < Contents.size(); ++I) {
        Files.push_back(S.Path("src\\f" + std::to_string(I) + ".bin"));
        fw_SysUtils::ForceDirectories(S.Path("src"));
        WriteAll(Files.back(), Contents[I]);
        archive_test::SetFileDate(Files.back(), 2001 + int(I), 3, 4);
    }
    const std::string Archive = S.Path("arc\\files.1");
    TWdrlCompress C(nullptr);
    C.SetCompressedFile(Archive);
    // Appending to a missing archive creates it; each call adds at its level.
    const TCompressionLevel Levels[] = {colNone, colFastest, colDefault, colMax, colMax, colDefault};
    for (size_t I = 0; I < Files.size(); ++I) {
        C.CompressionLevel = Levels[I];
        C.FilesToProcess().Add(Files[I]);
        C.Compress(lzcOnlyAdd, int(100 + I));
        EXPECT_EQ(C.FilesToProcess().Count(), 0);
    }
    ASSERT_EQ(C.FileCount(), int(Files.size()));
    EXPECT_EQ(C.IndexOfUniqueID(103), 3);
    EXPECT_EQ(C.IndexOfUniqueID(99), -1); // no record carries it
    EXPECT_EQ(C.IndexOfUniqueID(2000), -1);
    TlzhFileStats Stats;
    C.GetFileStats(2, Stats);
    EXPECT_EQ(Stats.Size, 70000);
    EXPECT_EQ(Stats.FileName, Files[2]);
    EXPECT_EQ(Stats.TotalSize, 70000 + 1 + 300000 + 65536 * 3 + 4096);
    EXPECT_EQ(MessageOf([&] { C.GetFileStats(6, Stats); }), "Tried to access the 6th file. This file is not defined");

    for (const auto& F : Files)
        C.FilesToProcess().Add(F);
    C.ExtractDirectory = S.Path("out");
    C.Extract();
    EXPECT_EQ(C.ExtractName, "");
    for (size_t I = 0; I < Files.size(); ++I) {
        const std::string Out = S.Path("out\\f" + std::to_string(I) + ".bin");
        EXPECT_EQ(ReadAll(Out), Contents[I]) << I;
        EXPECT_EQ(fw_SysUtils::FileAge(Out), fw_SysUtils::FileAge(Files[I])) << I;
    }

    // lzcOverwrite discards the old content.
    Build(C, Archive, {Files[1]});
    EXPECT_EQ(C.FileCount(), 1);
    EXPECT_EQ(fw_SysUtils::FileSizeByName(Archive), 5 + 172 + 9);
}

TEST(WdrlCompress, ArchiveInsideALargerFile)
{
    TScratch S;
    const auto Data = Payload(100000, 9);
    WriteAll(S.Path("data.txt"), Data);
    TWdrlCompress C(nullptr);
    Build(C, S.Path("plain.1"), {S.Path("data.txt")});
    std::vector<uint8_t> Big = Payload(1000000, 5, false);
    const auto Arc = ReadAll(S.Path("plain.1"));
    Big.insert(Big.end(), Arc.begin(), Arc.end());
    WriteAll(S.Path("setup.exe"), Big);

    TWdrlCompress R(nullptr);
    R.SetCompressedFile(S.Path("setup.exe"));
    R.Offset = 1000000;
    ASSERT_EQ(R.FileCount(), 1);
    ExtractOne(R, S.Path("DATA.TXT"), S.Path("out"));
    EXPECT_EQ(ReadAll(S.Path("out\\data.txt")), Data);
}

TEST(WdrlCompress, StatusEventsOfAddingAndExtracting)
{
    TScratch S;
    WriteAll(S.Path("small.txt"), Payload(10000, 3));
    WriteAll(S.Path("noise.bin"), Payload(200000, 4, false));
    TWdrlCompress C(nullptr);
    std::vector<TlzhFileStats> Seen;
    int Before = 0, After = 0;
    C.OnStatus = [&](TWdrlCompress*, const TlzhFileStats& St) { Seen.push_back(St); };
    C.OnBeforeAdding = [&](TWdrlCompress*, const TlzhFileStats& St) { ++Before; };
    C.OnAfterAdding = [&](TWdrlCompress*, const TlzhFileStats& St) {
        ++After;
        EXPECT_EQ(St.Header.NextHeader, St.Header.EndPos + 1);
    };
    Build(C, S.Path("a.1"), {S.Path("small.txt")});
    ASSERT_EQ(Seen.size(), 1u);
    EXPECT_EQ(Seen[0].Finished, 1);
    EXPECT_EQ(Seen[0].Processed, 10000);
    EXPECT_EQ(Seen[0].PercentDone, 100);
    EXPECT_EQ(Before, 1);
    EXPECT_EQ(After, 1);

    // Noise does not shrink: 200,000 bytes come out as three full 64 KB buffers and the rest.
    Seen.clear();
    Build(C, S.Path("b.1"), {S.Path("noise.bin")});
    ASSERT_EQ(Seen.size(), 4u);
    EXPECT_EQ(Seen[0].CompressedSize, 65536);
    EXPECT_EQ(Seen[3].Finished, 1);
    EXPECT_EQ(Seen[3].Processed, 200000);
    EXPECT_EQ(Seen[3].TotalProcessed, 200000);

    Seen.clear();
    C.SetCompressedFile(S.Path("a.1"));
    ExtractOne(C, S.Path("small.txt"), S.Path("out"));
    ASSERT_EQ(Seen.size(), 4u);
    EXPECT_EQ(Seen[0].Processed, 4096);
    EXPECT_EQ(Seen[1].Processed, 8192);
    EXPECT_EQ(Seen[2].Processed, 10000);
    EXPECT_EQ(Seen[2].PercentDone, 100);
    EXPECT_EQ(Seen[3].Finished, 1);
    for (int I = 0; I < 3; ++I)
        EXPECT_EQ(Seen[size_t(I)].Finished, 0);
}

TEST(WdrlCompress, OverwriteRulesAgainstRealTargets)
{
    TScratch S;
    fw_SysUtils::ForceDirectories(S.Path("src"));
    const std::string Src = S.Path("src\\module.dll");
    CopyFileA(archive_test::Fixture("driver.dll").c_str(), Src.c_str(), FALSE); // 1.2.3.4
    const std::string Text = S.Path("src\\notes.txt");
    WriteAll(Text, Payload(5000, 8));
    archive_test::SetFileDate(Text, 2010, 1, 1);
    TWdrlCompress C(nullptr);
    Build(C, S.Path("a.1"), {Src, Text});
    EXPECT_EQ(C.Headers().FileHeaders(0)->Version(), "1.2.3.4");

    int Replaced = 0, Statuses = 0;
    C.OnReplace = [&](TWdrlCompress*, const TlzhFileStats&) { ++Replaced; };
    C.OnStatus = [&](TWdrlCompress*, const TlzhFileStats&) { ++Statuses; };
    const std::string Out = S.Path("out");
    fw_SysUtils::ForceDirectories(Out);

    // A newer target (5.0.0.0) stays under owVersion: one finished status, no OnReplace.
    CopyFileA(archive_test::Fixture("newer.dll").c_str(), (Out + "\\module.dll").c_str(), FALSE);
    const auto NewerBytes = ReadAll(Out + "\\module.dll");
    C.Overwrite = cmp_TVersion::owVersion;
    ExtractOne(C, Src, Out);
    EXPECT_EQ(ReadAll(Out + "\\module.dll"), NewerBytes);
    EXPECT_EQ(Replaced, 0);
    EXPECT_EQ(Statuses, 1);

    // An older one (a module without version) is replaced.
    CopyFileA(archive_test::Fixture("plain.dll").c_str(), (Out + "\\module.dll").c_str(), FALSE);
    ExtractOne(C, Src, Out);
    EXPECT_EQ(ReadAll(Out + "\\module.dll"), ReadAll(Src));
    EXPECT_EQ(Replaced, 1);

    // owDate: a newer text target stays, an older one is replaced; owNever keeps.
    WriteAll(Out + "\\notes.txt", {1});
    archive_test::SetFileDate(Out + "\\notes.txt", 2015, 1, 1);
    C.Overwrite = cmp_TVersion::owDate;
    ExtractOne(C, Text, Out);
    EXPECT_EQ(ReadAll(Out + "\\notes.txt"), std::vector<uint8_t>{1});
    archive_test::SetFileDate(Out + "\\notes.txt", 2005, 1, 1);
    ExtractOne(C, Text, Out);
    EXPECT_EQ(ReadAll(Out + "\\notes.txt"), ReadAll(Text));
    WriteAll(Out + "\\notes.txt", {2});
    C.Overwrite = cmp_TVersion::owNever;
    ExtractOne(C, Text, Out);
    EXPECT_EQ(ReadAll(Out + "\\notes.txt"), std::vector<uint8_t>{2});

    // A handler may skip the file, or rename it; a folder part of the new name is dropped.
    C.Overwrite = cmp_TVersion::owAlways;
    C.OnReplace = [&](TWdrlCompress* W, const TlzhFileStats&) { W->SkipFile = true; };
    ExtractOne(C, Text, Out);
    EXPECT_EQ(ReadAll(Out + "\\notes.txt"), std::vector<uint8_t>{2});
    C.OnReplace = nullptr;
    C.OnBeforeExtracting = [&](TWdrlCompress* W, const TlzhFileStats&) { W->ExtractName = "sub\\dir\\renamed.txt"; };
    ExtractOne(C, Text, Out);
    EXPECT_EQ(ReadAll(Out + "\\renamed.txt"), ReadAll(Text));
    EXPECT_FALSE(fw_SysUtils::DirectoryExists(Out + "\\sub"));

    // Two extractions in a row with ExtractName empty use each record's own name.
    C.OnBeforeExtracting = nullptr;
    C.FilesToProcess().Add(Src);
    C.FilesToProcess().Add(Text);
    C.ExtractDirectory = S.Path("again");
    C.Extract();
    EXPECT_TRUE(fw_SysUtils::FileExists(S.Path("again\\module.dll")));
    EXPECT_TRUE(fw_SysUtils::FileExists(S.Path("again\\notes.txt")));

    // A target that cannot be dated, or a rule the engine does not know, cannot be compared.
    C.Overwrite = cmp_TVersion::owDate;
    {
        fw_Handles::THandle Lock(
            CreateFileA((Out + "\\notes.txt").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(Lock);
        EXPECT_TRUE(test_support::Raises<EWdrlCompress>([&] { ExtractOne(C, Text, Out); },
                                                        "Error comparing file versions in TWdrlCompress"));
    }
    C.Overwrite = cmp_TVersion::TOverwriteType(17);
    EXPECT_EQ(MessageOf([&] { ExtractOne(C, Text, Out); }), "Error comparing file versions in TWdrlCompress");
    EXPECT_EQ(MessageOf([&] { C.CopyFile(Text, Out + "\\notes.txt"); }),
              "Error comparing file versions in TWdrlCompress");
    C.Overwrite = cmp_TVersion::owAlways;

    EXPECT_EQ(MessageOf([&] { ExtractOne(C, S.Path("nothing.txt"), Out); }),
              "The file <" + S.Path("nothing.txt") + "> was not found in the archive <" + S.Path("a.1") + ">");
    EXPECT_TRUE(C.Abort);
    EXPECT_EQ(C.FilesToProcess().Count(), 0);
}

TEST(WdrlCompress, SplitSetAndNewDisks)
{
    TScratch S;
    const auto First = Payload(30000, 11, false), Second = Payload(50000, 12), Third = Payload(40000, 13, false);
    WriteAll(S.Path("one.bin"), First);
    WriteAll(S.Path("two.txt"), Second);
    WriteAll(S.Path("three.bin"), Third);
    TFloppyCompress C(nullptr);
    Build(C, S.Path("single.1"), {S.Path("one.bin"), S.Path("two.txt"), S.Path("three.bin")});
    ASSERT_EQ(C.FileCount(), 3);
    const int32_t FirstCompressed = C.Headers().FileHeaders(0)->Record.CompressedSize;

    // Disk 1 holds the table and exactly the first file's data.
    C.Capacity = 5 + 3 * 172 + FirstCompressed;
    std::vector<int> Asked;
    C.OnNewDisk = [&](TWdrlCompress*, int Disk, std::string&) { Asked.push_back(Disk); };
    fw_SysUtils::ForceDirectories(S.Path("set"));
    C.SplitToDisks(S.Path("set"), "files.1");
    EXPECT_EQ(fw_SysUtils::FileSizeByName(S.Path("set\\files.1")), C.Capacity);
    EXPECT_EQ(Asked, (std::vector<int>{2, 3}));
    EXPECT_EQ(fw_SysUtils::FileSizeByName(S.Path("set\\files.2")), C.Capacity);

    const auto Disk1 = ReadAll(S.Path("set\\files.1"));
    auto Field = [&](int Rec, size_t At) {
        int32_t V;
        std::memcpy(&V, &Disk1[5 + 172 * size_t(Rec) + At], 4);
        return V;
    };
    EXPECT_EQ(Disk1[4], 1);                // MultiDisk
    EXPECT_EQ(Field(0, 124), 5 + 172);     // records back to back
    EXPECT_EQ(Field(0, 132), 5 + 3 * 172); // DataStart of the first
    EXPECT_EQ(Disk1[5 + 12], 1);           // its LastDisk
    EXPECT_EQ(Disk1[5 + 172 + 140], 1);    // the second starts "on" disk 1...
    EXPECT_EQ(Field(1, 132), C.Capacity);  // ...at its very end
    EXPECT_EQ(Disk1[5 + 172 + 12], 2);

    TWdrlCompress R(nullptr);
    R.SetCompressedFile(S.Path("set\\files.1"));
    R.FilesToProcess().Add(S.Path("one.bin"));
    R.FilesToProcess().Add(S.Path("two.txt"));
    R.FilesToProcess().Add(S.Path("three.bin"));
    R.ExtractDirectory = S.Path("out");
    R.Extract();
    EXPECT_EQ(ReadAll(S.Path("out\\one.bin")), First);
    EXPECT_EQ(ReadAll(S.Path("out\\two.txt")), Second);
    EXPECT_EQ(ReadAll(S.Path("out\\three.bin")), Third);

    // Disk 2 goes missing: without a handler the disk number is reported...
    fw_SysUtils::ForceDirectories(S.Path("moved"));
    ASSERT_TRUE(MoveFileA(S.Path("set\\files.2").c_str(), S.Path("moved\\files.2").c_str()));
    R.SetCompressedFile(S.Path("set\\files.1"));
    EXPECT_EQ(MessageOf([&] { ExtractOne(R, S.Path("two.txt"), S.Path("out2")); }),
              "Could not open the correct disk file 2");
    // ...a handler that never finds it is asked four times...
    int Calls = 0;
    R.OnNewDisk = [&](TWdrlCompress*, int Disk, std::string& Path) {
        ++Calls;
        EXPECT_EQ(Disk, 2);
    };
    R.SetCompressedFile(S.Path("set\\files.1"));
    EXPECT_EQ(MessageOf([&] { ExtractOne(R, S.Path("two.txt"), S.Path("out2")); }),
              "Cannot open the compressed file " + S.Path("set\\files.2"));
    EXPECT_EQ(Calls, 4);
    // ...and one that points at the right folder on the second try succeeds.
    Calls = 0;
    R.OnNewDisk = [&](TWdrlCompress*, int, std::string& Path) {
        if (++Calls == 2)
            Path = S.Path("moved");
    };
    R.SetCompressedFile(S.Path("set\\files.1"));
    ExtractOne(R, S.Path("two.txt"), S.Path("out3"));
    EXPECT_EQ(Calls, 2);
    EXPECT_EQ(ReadAll(S.Path("out3\\two.txt")), Second);
    // A disk supplied at the fourth and last request is used.
    Calls = 0;
    R.OnNewDisk = [&](TWdrlCompress*, int, std::string& Path) {
        if (++Calls == 4)
            Path = S.Path("moved");
    };
    R.SetCompressedFile(S.Path("set\\files.1"));
    ExtractOne(R, S.Path("two.txt"), S.Path("out4"));
    EXPECT_EQ(Calls, 4);
    EXPECT_EQ(ReadAll(S.Path("out4\\two.txt")), Second);
    // At a drive's root the handler is given the drive without a backslash,
    // and the name looked for next has a single one.
    std::vector<std::string> Paths;
    R.OnNewDisk = [&](TWdrlCompress*, int, std::string& Path) { Paths.push_back(Path); };
    std::unique_ptr<fw_Streams::THandleStream> Disk;
    std::string AtRoot = "C:\\wendrel-no-such-disk.1";
    EXPECT_EQ(MessageOf([&] { R.OpenDiskFile(Disk, 1, fw_Streams::fmOpenRead, AtRoot); }),
              "Cannot open the compressed file C:\\wendrel-no-such-disk.1");
    EXPECT_EQ(Paths, std::vector<std::string>(4, "C:"));

    // No handler while splitting onto a full disk.
    TFloppyCompress N(nullptr);
    N.Capacity = 1000;
    N.SetCompressedFile(S.Path("single.1"));
    fw_SysUtils::ForceDirectories(S.Path("set2"));
    EXPECT_EQ(MessageOf([&] { N.SplitToDisks(S.Path("set2"), "files.1"); }),
              "There was no event handler for the OnNewDisk event, therefore no new disk could be inserted");
    EXPECT_TRUE(N.Abort);
    // The rest of a chunk must fit on the new disk.
    N.OnNewDisk = [](TWdrlCompress*, int, std::string&) {};
    fw_SysUtils::ForceDirectories(S.Path("set3"));
    EXPECT_EQ(MessageOf([&] { N.SplitToDisks(S.Path("set3"), "files.1"); }),
              "There is too little space on this disk to operate");
    EXPECT_TRUE(N.Abort);
}

TEST(WdrlCompress, SplitSetEndsAtTheLastByteDiskNumber)
{
    // Each 8 KB chunk fills a disk of 8 KB, so the data asks for one disk per chunk.
    TScratch S;
    const auto Noise = Payload(8192 * 256, 61, false);
    WriteAll(S.Path("noise.bin"), Noise);
    TFloppyCompress C(nullptr);
    C.CompressionLevel = colNone;
    Build(C, S.Path("single.1"), {S.Path("noise.bin")});
    C.Capacity = 8192;
    std::vector<int> Asked;
    C.OnNewDisk = [&](TWdrlCompress*, int Disk, std::string&) { Asked.push_back(Disk); };
    fw_SysUtils::ForceDirectories(S.Path("set"));
    EXPECT_THROW(C.SplitToDisks(S.Path("set"), "files.1"), fw_SysUtils::ERangeError);
    EXPECT_TRUE(C.Abort);
    // Disks 2 to 255 were asked for; a 256th is neither asked for nor made.
    ASSERT_EQ(Asked.size(), 254u);
    EXPECT_EQ(Asked.back(), 255);
    EXPECT_TRUE(fw_SysUtils::FileExists(S.Path("set\\files.255")));
    EXPECT_FALSE(fw_SysUtils::FileExists(S.Path("set\\files.256")));
}

TEST(WdrlCompress, DamagedRecordsEndWithTheirMessages)
{
    TScratch S;
    const auto Data = Payload(20000, 21);
    WriteAll(S.Path("d.txt"), Data);
    TWdrlCompress C(nullptr);
    Build(C, S.Path("good.1"), {S.Path("d.txt")});
    const auto Good = ReadAll(S.Path("good.1"));
    const size_t R = 5;
    auto Patched = [&](size_t At, int32_t V) {
        auto B = Good;
        std::memcpy(&B[R + At], &V, 4);
        return B;
    };
    auto Try = [&](const std::vector<uint8_t>& Bytes, const std::string& Name) {
        WriteAll(S.Path(Name), Bytes);
        TWdrlCompress E(nullptr);
        E.SetCompressedFile(S.Path(Name));
        std::string M = MessageOf([&] { ExtractOne(E, S.Path("d.txt"), S.Path("out_" + Name)); });
        EXPECT_TRUE(E.Abort || M.empty());
        return M;
    };
    const std::string SizeMsg =
        "The decompressed file's size does not match with the actual size of the file.  The file is " + S.Path("d.txt");
    const int32_t End = int32_t(Good.size()) - 1;

    // Decoding to more than Size stops writing at Size.
    EXPECT_EQ(Try(Patched(128, 1000), "more.1"), SizeMsg);
    EXPECT_EQ(fw_SysUtils::FileSizeByName(S.Path("out_more.1\\d.txt")), 1000);
    // Fewer bytes than Size: the partial target stays.
    EXPECT_EQ(Try(Patched(128, 30000), "fewer.1"), SizeMsg);
    EXPECT_EQ(ReadAll(S.Path("out_fewer.1\\d.txt")), Data);
    // Data cut short: EndPos before the end of the stream.
    EXPECT_EQ(Try(Patched(16, End - 100), "cut.1"), SizeMsg);
    // EndPos past the stream's end, into bytes that follow it.
    auto Longer = Patched(16, End + 50);
    Longer.resize(Longer.size() + 50, 0xAB);
    EXPECT_EQ(Try(Longer, "longer.1"), Corrupt);
    // EndPos past the end of the file, DataStart outside it.
    EXPECT_EQ(Try(Patched(16, 0x7FFFFFF0), "beyond.1"), Corrupt);
    EXPECT_EQ(Try(Patched(132, 0x7FFFFF00), "start.1"), Corrupt);
    // Nothing in front of the archive is read: a negative or reversed range is corruption.
    EXPECT_EQ(Try(Patched(132, -5000), "negative.1"), Corrupt);
    EXPECT_EQ(Try(Patched(16, 150), "reversed.1"), Corrupt);
    EXPECT_FALSE(fw_SysUtils::FileExists(S.Path("out_reversed.1\\d.txt")));
    EXPECT_EQ(Try(Patched(132, -1), "startminus1.1"), Corrupt);
    // A negative Size promises no data at all; it must not pass as a huge one.
    EXPECT_EQ(Try(Patched(128, -1), "sizeminus1.1"), Corrupt);
    EXPECT_EQ(Try(Patched(128, INT32_MIN), "sizemin.1"), Corrupt);
    EXPECT_FALSE(fw_SysUtils::FileExists(S.Path("out_sizeminus1.1\\d.txt")));
    // Damaged deflate data.
    auto Damaged = Good;
    for (size_t I = 200; I < 260; ++I)
        Damaged[I] ^= 0x5A;
    EXPECT_EQ(Try(Damaged, "damaged.1"), "error");
    // A truncated record or preamble.
    EXPECT_EQ(Try(std::vector<uint8_t>(Good.begin(), Good.begin() + 100), "short.1"), Corrupt);
    EXPECT_EQ(Try(std::vector<uint8_t>(Good.begin(), Good.begin() + 3), "tiny.1"), Corrupt);
    EXPECT_EQ(MessageOf([&] {
                  TWdrlCompress E(nullptr);
                  E.SetCompressedFile(S.Path("none.1"));
                  ExtractOne(E, "x", S.Path("out"));
              }),
              "Cannot open the compressed file " + S.Path("none.1"));
    // Nothing reached the scratch folder's parent.
    EXPECT_EQ(fw_SysUtils::FileSizeByName(S.Path("d.txt")), 20000);
}

TEST(WdrlCompress, ExtractionStaysInsideExtractDirectory)
{
    TScratch S;
    WriteAll(S.Path("x.txt"), Payload(3000, 31));
    TWdrlCompress C(nullptr);
    Build(C, S.Path("a.1"), {S.Path("x.txt")});
    const auto Good = ReadAll(S.Path("a.1"));
    fw_SysUtils::ForceDirectories(S.Path("box\\in"));
    int N = 0;
    for (const std::string& Name :
         {std::string("..\\..\\escape1.txt"), S.Path("box\\escape2.txt"), std::string("C:escape3.txt"),
          std::string("../../escape4.txt"), std::string("in\\..\\..\\escape5.txt"), std::string("x.txt:stream")}) {
        const std::string Arc = S.Path("evil" + std::to_string(++N) + ".1");
        WriteAll(Arc, WithKey(Good, Name));
        TWdrlCompress E(nullptr);
        E.SetCompressedFile(Arc);
        ExtractOne(E, Name, S.Path("box\\in"));
    }
    for (int I = 1; I <= 5; ++I)
        EXPECT_TRUE(fw_SysUtils::FileExists(S.Path("box\\in\\escape" + std::to_string(I) + ".txt"))) << I;
    EXPECT_TRUE(fw_SysUtils::FileExists(S.Path("box\\in\\stream")));
    EXPECT_FALSE(fw_SysUtils::FileExists(S.Path("box\\escape2.txt")));
    EXPECT_FALSE(fw_SysUtils::FileExists(S.Path("escape1.txt")));
    EXPECT_FALSE(fw_SysUtils::FileExists(S.Path("box\\escape5.txt")));

    WriteAll(S.Path("dots.1"), WithKey(Good, "a\\.."));
    TWdrlCompress E(nullptr);
    E.SetCompressedFile(S.Path("dots.1"));
    EXPECT_EQ(MessageOf([&] { ExtractOne(E, "a\\..", S.Path("box\\in")); }),
              "Cannot create the file " + S.Path("box\\in\\.."));

    // Empty folders are reported by the framework.
    EXPECT_EQ(MessageOf([&] { ExtractOne(C, S.Path("x.txt"), ""); }), "Unable to create directory");
    C.SetCompressedFile("nofolder.1");
    C.FilesToProcess().Add(S.Path("x.txt"));
    EXPECT_EQ(MessageOf([&] { C.Compress(lzcOverwrite, 0); }), "Unable to create directory");
}

TEST(WdrlCompress, AbortsLeaveQuietly)
{
    TScratch S;
    WriteAll(S.Path("big.txt"), Payload(100000, 41));
    TWdrlCompress C(nullptr);
    Build(C, S.Path("a.1"), {S.Path("big.txt")});
    int Aborted = 0, Statuses = 0;
    C.OnAborted = [&](fw_Classes::TObject*) { ++Aborted; };
    C.OnStatus = [&](TWdrlCompress* W, const TlzhFileStats& St) {
        if (++Statuses == 3)
            W->Abort = true;
    };
    ExtractOne(C, S.Path("big.txt"), S.Path("out"));
    EXPECT_EQ(Aborted, 1);
    EXPECT_EQ(fw_SysUtils::FileSizeByName(S.Path("out\\big.txt")), 3 * 4096);
    EXPECT_EQ(C.FilesToProcess().Count(), 0);

    // CopyFile: an abort returns with no further event.
    Statuses = 0;
    C.CopyFile(S.Path("big.txt"), S.Path("copy.txt"));
    EXPECT_EQ(Statuses, 3);
    EXPECT_EQ(Aborted, 1);
    EXPECT_EQ(fw_SysUtils::FileSizeByName(S.Path("copy.txt")), 3 * 8192);

    // A source that shrinks while it is read.
    C.OnStatus = nullptr;
    C.OnBeforeAdding = [&](TWdrlCompress*, const TlzhFileStats&) { Shrink(S.Path("shrinks.txt"), 10); };
    WriteAll(S.Path("shrinks.txt"), Payload(100000, 42));
    C.SetCompressedFile(S.Path("c.1"));
    C.FilesToProcess().Add(S.Path("shrinks.txt"));
    EXPECT_TRUE(
        test_support::Raises<fw_Streams::EReadError>([&] { C.Compress(lzcOverwrite, 0); }, "Stream read error"));
    EXPECT_TRUE(C.Abort);
    // What was never complete is not counted: the new archive reads as empty.
    EXPECT_EQ(fw_SysUtils::FileSizeByName(S.Path("c.1")), 5);
    EXPECT_EQ(C.FilesToProcess().Count(), 0);
    EXPECT_EQ(Aborted, 1);

    // A silent abort from a handler ends Compress without a message.
    C.OnStatus = nullptr;
    C.OnBeforeAdding = [](TWdrlCompress*, const TlzhFileStats&) { throw fw_SysUtils::EAbort("skip"); };
    C.SetCompressedFile(S.Path("b.1"));
    C.FilesToProcess().Add(S.Path("big.txt"));
    EXPECT_NO_THROW(C.Compress(lzcOverwrite, 0));
    EXPECT_FALSE(C.Abort);
}

// The target is written 64 KB at a time while the events still come per
// 4 KB block: whatever stops the extraction leaves every reported block on disk.
TEST(WdrlCompress, WritesInLargePiecesWithEventsPerBlock)
{
    TScratch S;
    // A few hundred KB of text and noise: many full 64 KB writes and a short tail.
    auto Data = Payload(200000, 131);
    const auto Noise = Payload(180000 + 123, 132, false);
    Data.insert(Data.end(), Noise.begin(), Noise.end());
    WriteAll(S.Path("data.bin"), Data);
    TWdrlCompress C(nullptr);
    Build(C, S.Path("a.1"), {S.Path("data.bin")});

    std::vector<TlzhFileStats> Seen;
    C.OnStatus = [&](TWdrlCompress*, const TlzhFileStats& St) { Seen.push_back(St); };
    ExtractOne(C, S.Path("data.bin"), S.Path("out"));
    EXPECT_EQ(ReadAll(S.Path("out\\data.bin")), Data);
    const size_t Blocks = (Data.size() + 4095) / 4096;
    ASSERT_EQ(Seen.size(), Blocks + 1);
    for (size_t I = 0; I < Blocks; ++I) {
        EXPECT_EQ(Seen[I].Processed, int32_t(std::min((I + 1) * 4096, Data.size()))) << I;
        EXPECT_EQ(Seen[I].Finished, 0) << I;
    }
    EXPECT_EQ(Seen[Blocks].Finished, 1);
    EXPECT_EQ(Seen[Blocks].Processed, int32_t(Data.size()));

    // An abort after the 5th block (inside the first 64 KB) and after the
    // 21st (past it): the target holds exactly the blocks reported.
    for (const int At : {5, 21}) {
        int Statuses = 0, Aborted = 0;
        C.OnAborted = [&](fw_Classes::TObject*) { ++Aborted; };
        C.OnStatus = [&](TWdrlCompress* W, const TlzhFileStats&) {
            if (++Statuses == At)
                W->Abort = true;
        };
        const std::string Out = S.Path("abort" + std::to_string(At));
        ExtractOne(C, S.Path("data.bin"), Out);
        EXPECT_EQ(Aborted, 1);
        EXPECT_EQ(Statuses, At);
        EXPECT_EQ(ReadAll(Out + "\\data.bin"), std::vector<uint8_t>(Data.begin(), Data.begin() + At * 4096));
    }
    C.OnAborted = nullptr;

    // A handler that fails after the 19th block: its failure reaches the
    // caller unchanged and the reported blocks are on disk.
    int Statuses = 0;
    C.OnStatus = [&](TWdrlCompress*, const TlzhFileStats&) {
        if (++Statuses == 19)
            throw EWdrlCompress("stop here");
    };
    EXPECT_TRUE(
        test_support::Raises<EWdrlCompress>([&] { ExtractOne(C, S.Path("data.bin"), S.Path("fail")); }, "stop here"));
    EXPECT_TRUE(C.Abort);
    EXPECT_EQ(ReadAll(S.Path("fail\\data.bin")), std::vector<uint8_t>(Data.begin(), Data.begin() + 19 * 4096));

    // A record whose stream decodes to more than its Size stops at Size, also
    // in the middle of a 64 KB piece.
    auto Arc = ReadAll(S.Path("a.1"));
    const int32_t Short = 70000;
    std::memcpy(&Arc[5 + 128], &Short, 4);
    WriteAll(S.Path("short.1"), Arc);
    TWdrlCompress E(nullptr);
    E.SetCompressedFile(S.Path("short.1"));
    Seen.clear();
    E.OnStatus = [&](TWdrlCompress*, const TlzhFileStats& St) { Seen.push_back(St); };
    EXPECT_EQ(MessageOf([&] { ExtractOne(E, S.Path("data.bin"), S.Path("over")); }),
              "The decompressed file's size does not match with the actual size of the file.  The file is " +
                  S.Path("data.bin"));
    EXPECT_EQ(ReadAll(S.Path("over\\data.bin")), std::vector<uint8_t>(Data.begin(), Data.begin() + Short));
    ASSERT_FALSE(Seen.empty());
    EXPECT_EQ(Seen.back().Finished, 1);
    EXPECT_EQ(Seen.back().Processed, Short);
}

// A source is read from the handle that made its record, up to a number of
// handles per call; the sources after those are opened again. Both kinds
// round-trip, including an executable, whose record was read past its first bytes.
TEST(WdrlCompress, SourcesKeptOpenAndReopened)
{
    TScratch S;
    const int Count = archive_FileHeaders::KeptSourcesMax + 3;
    std::vector<std::pair<std::string, std::vector<uint8_t>>> Files;
    TWdrlCompress C(nullptr);
    C.SetCompressedFile(S.Path("a.1"));
    for (int I = 0; I < Count; ++I) {
        const std::string Name = S.Path("src\\f" + std::to_string(I) + ".dat");
        fw_SysUtils::ForceDirectories(S.Path("src"));
        std::vector<uint8_t> Bytes = Payload(size_t(I * 37 % 3000), uint32_t(140 + I), I % 2 == 0);
        if (I == 0 || I == Count - 1)
            Bytes = ReadAll(archive_test::Fixture("driver.dll"));
        WriteAll(Name, Bytes);
        C.FilesToProcess().Add(Name);
        Files.emplace_back(Name, Bytes);
    }
    C.Compress(lzcOverwrite, 0);
    EXPECT_EQ(C.Headers().FileHeaders(0)->Version(), "1.2.3.4");
    EXPECT_EQ(C.Headers().FileHeaders(Count - 1)->Version(), "1.2.3.4");
    ExpectExtracts(S.Path("a.1"), Files, S.Path("out"));
}

TEST(WdrlCompress, CopyFileUnderTheRules)
{
    TScratch S;
    const auto Data = Payload(20000, 51);
    WriteAll(S.Path("src.txt"), Data);
    archive_test::SetFileDate(S.Path("src.txt"), 2012, 5, 6);
    TWdrlCompress C(nullptr);
    std::vector<TlzhFileStats> Seen;
    C.OnStatus = [&](TWdrlCompress*, const TlzhFileStats& St) { Seen.push_back(St); };
    C.CopyFile(S.Path("src.txt"), S.Path("dst.txt"));
    EXPECT_EQ(ReadAll(S.Path("dst.txt")), Data);
    EXPECT_EQ(fw_SysUtils::FileAge(S.Path("dst.txt")), fw_SysUtils::FileAge(S.Path("src.txt")));
    ASSERT_EQ(Seen.size(), 4u); // 8192 + 8192 + 3616, then finished
    EXPECT_EQ(Seen[2].Processed, 20000);
    EXPECT_EQ(Seen[2].PercentDone, 100);
    EXPECT_EQ(Seen[3].Finished, 1);
    EXPECT_EQ(C.ExtractDirectory, S.Dir());

    Seen.clear();
    WriteAll(S.Path("dst.txt"), {7});
    C.Overwrite = cmp_TVersion::owNever;
    C.CopyFile(S.Path("src.txt"), S.Path("dst.txt"));
    EXPECT_TRUE(Seen.empty());
    EXPECT_EQ(ReadAll(S.Path("dst.txt")), std::vector<uint8_t>{7});

    C.Overwrite = cmp_TVersion::owAlways;
    EXPECT_EQ(MessageOf([&] { C.CopyFile(S.Path("src.txt"), S.Path("nofolder\\dst.txt")); }),
              "Cannot create the file " + S.Path("nofolder\\dst.txt"));
    EXPECT_EQ(MessageOf([&] { C.CopyFile(S.Path("gone.txt"), S.Path("dst2.txt")); }),
              "Cannot open the file " + S.Path("gone.txt"));
}

TEST(WdrlCompress, AppendThatFailsKeepsTheOldFiles)
{
    TScratch S;
    const auto Old1 = Payload(30000, 71), Old2 = Payload(90000, 72, false);
    WriteAll(S.Path("old1.txt"), Old1);
    WriteAll(S.Path("old2.bin"), Old2);
    WriteAll(S.Path("new1.bin"), Payload(200000, 73, false));
    WriteAll(S.Path("new2.txt"), Payload(5000, 74));
    const std::string Arc = S.Path("a.1");
    TWdrlCompress C(nullptr);
    Build(C, Arc, {S.Path("old1.txt"), S.Path("old2.bin")});
    const auto Before = ReadAll(Arc);
    const std::vector<std::pair<std::string, std::vector<uint8_t>>> OldFiles = {{S.Path("old1.txt"), Old1},
                                                                                {S.Path("old2.bin"), Old2}};
    auto Append = [&] {
        C.SetCompressedFile(Arc);
        C.FilesToProcess().Add(S.Path("new1.bin"));
        C.FilesToProcess().Add(S.Path("new2.txt"));
        C.Compress(lzcOnlyAdd, 5);
    };

    // A user abort while the first of two new files is added: the call
    // returns normally, and the archive is byte for byte what it was.
    int Aborted = 0;
    C.OnAborted = [&](fw_Classes::TObject*) { ++Aborted; };
    C.OnBeforeAdding = [&](TWdrlCompress* W, const TlzhFileStats& St) {
        if (St.FileName == S.Path("new1.bin"))
            W->Abort = true;
    };
    Append();
    EXPECT_EQ(Aborted, 1);
    EXPECT_EQ(C.FileCount(), 2); // the table in memory forgot the new records too
    EXPECT_EQ(ReadAll(Arc), Before);
    ExpectExtracts(Arc, OldFiles, S.Path("out1"));

    // A new source that shrinks while it is read.
    C.OnBeforeAdding = [&](TWdrlCompress*, const TlzhFileStats& St) {
        if (St.FileName == S.Path("new2.txt"))
            Shrink(S.Path("new2.txt"), 100);
    };
    EXPECT_TRUE(test_support::Raises<fw_Streams::EReadError>(Append, "Stream read error"));
    EXPECT_EQ(ReadAll(Arc), Before);
    ExpectExtracts(Arc, OldFiles, S.Path("out2"));

    // A new source that is gone: nothing of the call is left.
    C.OnBeforeAdding = nullptr;
    DeleteFileA(S.Path("new2.txt").c_str());
    EXPECT_TRUE(test_support::Raises<EWdrlCompress>(Append, "Cannot open the file " + S.Path("new2.txt")));
    EXPECT_EQ(ReadAll(Arc), Before);

    // After all that, an append that succeeds continues the chain.
    WriteAll(S.Path("new2.txt"), {9, 8, 7});
    Append();
    auto All = OldFiles;
    All.push_back({S.Path("new1.bin"), ReadAll(S.Path("new1.bin"))});
    All.push_back({S.Path("new2.txt"), {9, 8, 7}});
    ExpectExtracts(Arc, All, S.Path("out3"));
}

TEST(WdrlCompress, SystemFailuresCarryTheSystemsReason)
{
    TScratch S;
    WriteAll(S.Path("x.txt"), Payload(3000, 81));
    TWdrlCompress C(nullptr);
    Build(C, S.Path("a.1"), {S.Path("x.txt")});

    // A target another program holds open without sharing.
    fw_SysUtils::ForceDirectories(S.Path("out"));
    WriteAll(S.Path("out\\x.txt"), {1});
    {
        fw_Handles::THandle Lock(
            CreateFileA(S.Path("out\\x.txt").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(Lock);
        EXPECT_EQ(MessageOf([&] { ExtractOne(C, S.Path("x.txt"), S.Path("out")); }),
                  "Cannot create the file " + S.Path("out\\x.txt"));
        EXPECT_EQ(test_support::ErrorCodeOf<EWdrlCompress>([&] { ExtractOne(C, S.Path("x.txt"), S.Path("out")); }),
                  DWORD(ERROR_SHARING_VIOLATION));
    }
    // A folder that is not there, a missing archive and a missing disk.
    EXPECT_EQ(test_support::ErrorCodeOf<EWdrlCompress>([&] { C.CopyFile(S.Path("x.txt"), S.Path("none\\x.txt")); }),
              DWORD(ERROR_PATH_NOT_FOUND));
    C.SetCompressedFile(S.Path("gone.1"));
    EXPECT_EQ(test_support::ErrorCodeOf<EWdrlCompress>([&] { C.ReadArchiveInfo(); }), DWORD(ERROR_FILE_NOT_FOUND));
    std::unique_ptr<fw_Streams::THandleStream> Disk;
    std::string Name = S.Path("gone.1");
    EXPECT_EQ(test_support::ErrorCodeOf<EWdrlCompress>([&] { C.OpenDiskFile(Disk, 2, fw_Streams::fmOpenRead, Name); }),
              DWORD(ERROR_FILE_NOT_FOUND));
    // Failures that are no system call's carry none.
    C.SetCompressedFile(S.Path("a.1"));
    EXPECT_EQ(test_support::ErrorCodeOf<EWdrlCompress>([&] { ExtractOne(C, "nothing", S.Path("out")); }), 0u);
}

// Device names, and names the system would not make as they stand: with a
// control character, or a zero byte that would end the name early.
TEST(WdrlCompress, DeviceNamesAreRefused)
{
    TScratch S;
    const auto Data = Payload(3000, 91);
    WriteAll(S.Path("x.txt"), Data);
    TWdrlCompress C(nullptr);
    Build(C, S.Path("a.1"), {S.Path("x.txt")});
    const auto Good = ReadAll(S.Path("a.1"));
    const std::string Out = S.Path("out");
    fw_SysUtils::ForceDirectories(Out);
    int N = 0;
    // The archive's key names the target.
    auto Extract = [&](const std::string& Key) {
        const std::string Arc = S.Path("k" + std::to_string(++N) + ".1");
        WriteAll(Arc, WithKey(Good, Key));
        TWdrlCompress E(nullptr);
        E.SetCompressedFile(Arc);
        ExtractOne(E, Key, Out);
    };
    for (const std::string& Name : std::vector<std::string>{"NUL",
                                                            "nul",
                                                            "nul.txt",
                                                            "Con",
                                                            "CON.tar.gz",
                                                            "prn.log",
                                                            "AUX",
                                                            "COM1",
                                                            "com9.dat",
                                                            "LPT1",
                                                            "lpt9",
                                                            "NUL.",
                                                            "nul ",
                                                            "CON .txt",
                                                            "lpt3 . x",
                                                            "folder\\AUX.h",
                                                            "CONOUT$",
                                                            "COM\xB9",
                                                            std::string("readme.\0\0", 9),
                                                            std::string("evil.exe\0.txt", 13),
                                                            "tab\there",
                                                            "line\r\n"}) {
        const std::string Part = Name.substr(Name.find_last_of('\\') + 1);
        EXPECT_TRUE(
            test_support::Raises<EWdrlCompress>([&] { Extract(Name); }, "Cannot create the file " + Out + "\\" + Part))
            << Name;
    }
    for (const std::string Name : {"console.txt", "COM10", "nul1", "auxiliary.h", "xnul.txt", "com.txt", "LPTX"}) {
        EXPECT_EQ(MessageOf([&] { Extract(Name); }), "") << Name;
        EXPECT_EQ(ReadAll(Out + "\\" + Name), Data) << Name;
    }

    // The name an event handler gives is refused alike.
    C.OnBeforeExtracting = [](TWdrlCompress* W, const TlzhFileStats&) { W->ExtractName = "sub\\Nul.Txt"; };
    EXPECT_TRUE(test_support::Raises<EWdrlCompress>([&] { ExtractOne(C, S.Path("x.txt"), Out); },
                                                    "Cannot create the file " + Out + "\\Nul.Txt"));
    C.OnBeforeExtracting = nullptr;
    C.OnReplace = [](TWdrlCompress* W, const TlzhFileStats&) { W->ExtractName = "com2"; };
    WriteAll(Out + "\\x.txt", {1});
    EXPECT_TRUE(test_support::Raises<EWdrlCompress>([&] { ExtractOne(C, S.Path("x.txt"), Out); },
                                                    "Cannot create the file " + Out + "\\com2"));
    EXPECT_EQ(ReadAll(Out + "\\x.txt"), std::vector<uint8_t>{1});
}

TEST(WdrlCompress, DatesOutsideThePackedYears)
{
    TScratch S;
    const auto Old = Payload(4000, 101), Late = Payload(4000, 102), Mid = Payload(4000, 103);
    fw_SysUtils::ForceDirectories(S.Path("src"));
    WriteAll(S.Path("src\\old.txt"), Old);
    WriteAll(S.Path("src\\late.txt"), Late);
    WriteAll(S.Path("src\\mid.txt"), Mid);
    archive_test::SetFileTimeLocal(S.Path("src\\old.txt"), 1975, 6, 1);
    archive_test::SetFileTimeLocal(S.Path("src\\late.txt"), 2150, 6, 1);
    archive_test::SetFileDate(S.Path("src\\mid.txt"), 1990, 6, 1);
    TWdrlCompress C(nullptr);
    Build(C, S.Path("a.1"), {S.Path("src\\old.txt"), S.Path("src\\late.txt"), S.Path("src\\mid.txt")});
    const fw_SysUtils::TDateTime First = fw_SysUtils::EncodeDate(1980, 1, 1);
    const fw_SysUtils::TDateTime Last = fw_SysUtils::EncodeDate(2107, 12, 31) + fw_SysUtils::EncodeTime(23, 59, 58, 0);
    const auto Bytes = ReadAll(S.Path("a.1"));
    auto DateOf = [&](int Index) {
        double D = 0;
        int32_t At = 5;
        for (int I = 0; I < Index; ++I)
            std::memcpy(&At, &Bytes[size_t(At) + 124], 4); // NextHeader
        std::memcpy(&D, &Bytes[size_t(At) + 4], 8);
        return D;
    };
    EXPECT_EQ(DateOf(0), First);
    EXPECT_EQ(DateOf(1), Last);

    // Extracted, each file carries the date of its record.
    const std::string Out = S.Path("out");
    ExtractOne(C, S.Path("src\\old.txt"), Out);
    ExtractOne(C, S.Path("src\\late.txt"), Out);
    EXPECT_EQ(ReadAll(Out + "\\old.txt"), Old);
    EXPECT_EQ(fw_SysUtils::FileAge(Out + "\\old.txt"), fw_SysUtils::DateTimeToFileDate(First));
    EXPECT_EQ(fw_SysUtils::FileAge(Out + "\\late.txt"), fw_SysUtils::DateTimeToFileDate(Last));

    // By date, a target of 1985 is newer than the file of 1975 and stays; a
    // target of 1972 is as old as the file (both before the first packed
    // day) and stays too, and one of 1972 is older than the file of 1990.
    C.Overwrite = cmp_TVersion::owDate;
    WriteAll(Out + "\\old.txt", {1});
    archive_test::SetFileDate(Out + "\\old.txt", 1985, 1, 1);
    ExtractOne(C, S.Path("src\\old.txt"), Out);
    EXPECT_EQ(ReadAll(Out + "\\old.txt"), std::vector<uint8_t>{1});
    archive_test::SetFileTimeLocal(Out + "\\old.txt", 1972, 1, 1);
    ExtractOne(C, S.Path("src\\old.txt"), Out);
    EXPECT_EQ(ReadAll(Out + "\\old.txt"), std::vector<uint8_t>{1});
    WriteAll(Out + "\\mid.txt", {2});
    archive_test::SetFileTimeLocal(Out + "\\mid.txt", 1972, 1, 1);
    ExtractOne(C, S.Path("src\\mid.txt"), Out);
    EXPECT_EQ(ReadAll(Out + "\\mid.txt"), Mid);
}

TEST(WdrlCompress, FilesOf2GBAreRefusedSayingWhy)
{
    // Sparse files: their length costs no disk space.
    TScratch S;
    WriteAll(S.Path("small.txt"), Payload(1000, 111));
    TWdrlCompress C(nullptr);
    Build(C, S.Path("a.1"), {S.Path("small.txt")});
    const auto Before = ReadAll(S.Path("a.1"));
    for (const int64_t Size : {int64_t(1) << 31, (int64_t(1) << 32) + 5}) {
        const std::string Big = S.Path("big" + std::to_string(Size) + ".bin");
        {
            fw_Handles::THandle H(CreateFileA(Big.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
            DWORD Bytes = 0;
            DeviceIoControl(H.Get(), FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &Bytes, nullptr);
            LARGE_INTEGER Pos;
            Pos.QuadPart = Size;
            ASSERT_TRUE(H && SetFilePointerEx(H.Get(), Pos, nullptr, FILE_BEGIN) && SetEndOfFile(H.Get()));
        }
        ASSERT_EQ(fw_SysUtils::FileSizeByName(Big), Size);
        const std::string Why = "The file " + Big + " is 2 GB or larger; an archive holds only files smaller than 2 GB";
        archive_FileHeaders::TFileHeader H;
        EXPECT_TRUE(test_support::Raises<EWdrlCompress>([&] { H.LoadFromFile(Big); }, Why));
        C.FilesToProcess().Add(Big);
        EXPECT_TRUE(test_support::Raises<EWdrlCompress>([&] { C.Compress(lzcOnlyAdd, 0); }, Why));
        EXPECT_EQ(ReadAll(S.Path("a.1")), Before);
        DeleteFileA(Big.c_str());
    }
}

// Run by disk_full.sh under a file-size limit of 4 MB: the target's writes come up short for real.
TEST(WdrlCompress, RealShortWriteGoesThroughDiskFull)
{
    // The script made the folder and the 6 MB source before the limit took effect.
    char Dir[MAX_PATH];
    if (!GetEnvironmentVariableA("WDRL_DISKFULL_DIR", Dir, sizeof(Dir)))
        GTEST_SKIP() << "run by disk_full.sh";
    struct TFolder {
        std::string D;
        std::string Path(const std::string& Name) const { return D + "\\" + Name; }
    } S{Dir};
    TWdrlCompress C(nullptr);
    Build(C, S.Path("a.1"), {S.Path("big.txt")});
    EXPECT_EQ(MessageOf([&] { ExtractOne(C, S.Path("big.txt"), S.Path("out")); }), "The disk is full");
    EXPECT_TRUE(C.Abort);
    // The partial target is the source's first bytes, up to the limit exactly.
    const size_t Limit = 4 * 1024 * 1024;
    auto Source = ReadAll(S.Path("big.txt"));
    Source.resize(Limit);
    EXPECT_EQ(ReadAll(S.Path("out\\big.txt")), Source);

    // A handler lets it go on: the last event counts the bytes on disk.
    int Full = 0;
    C.OnFullDisk = [&](fw_Classes::TObject*) { ++Full; };
    TlzhFileStats Last;
    C.OnStatus = [&](TWdrlCompress*, const TlzhFileStats& St) { Last = St; };
    EXPECT_EQ(MessageOf([&] { ExtractOne(C, S.Path("big.txt"), S.Path("out2")); }),
              "The decompressed file's size does not match with the actual size of the file.  The file is " +
                  S.Path("big.txt"));
    EXPECT_GT(Full, 0);
    EXPECT_EQ(Last.Finished, 1);
    EXPECT_EQ(Last.Processed, int32_t(Limit));
    EXPECT_EQ(ReadAll(S.Path("out2\\big.txt")), Source);
}

// Run by disk_full.sh: appending 5 MB of noise to an archive under a 4 MB
// file-size limit fails part way; the archive keeps its old files.
TEST(WdrlCompress, DiskFillsWhileAppending)
{
    char Dir[MAX_PATH];
    if (!GetEnvironmentVariableA("WDRL_DISKFULL_DIR", Dir, sizeof(Dir)))
        GTEST_SKIP() << "run by disk_full.sh";
    const std::string D = std::string(Dir) + "\\append";
    fw_SysUtils::ForceDirectories(D);
    const auto Old1 = Payload(300000, 121, false), Old2 = Payload(20000, 122);
    WriteAll(D + "\\old1.bin", Old1);
    WriteAll(D + "\\old2.txt", Old2);
    TWdrlCompress C(nullptr);
    Build(C, D + "\\a.1", {D + "\\old1.bin", D + "\\old2.txt"});
    const auto Before = ReadAll(D + "\\a.1");
    C.FilesToProcess().Add(D + "\\old2.txt");
    C.FilesToProcess().Add(std::string(Dir) + "\\noise.bin");
    EXPECT_TRUE(
        test_support::Raises<fw_Streams::EWriteError>([&] { C.Compress(lzcOnlyAdd, 0); }, "Stream write error"));
    EXPECT_TRUE(C.Abort);
    EXPECT_EQ(ReadAll(D + "\\a.1"), Before);
    ExpectExtracts(D + "\\a.1", {{D + "\\old1.bin", Old1}, {D + "\\old2.txt", Old2}}, D + "\\out");
}

// Run by check_inflate.py, which reads the archives left in the folder it names.
TEST(WdrlCompress, WritesArchivesForAnOutsideReader)
{
    char Dir[MAX_PATH];
    if (!GetEnvironmentVariableA("WDRL_EXPORT_DIR", Dir, sizeof(Dir)))
        GTEST_SKIP() << "run by check_inflate.py";
    const std::string D = Dir;
    std::vector<std::string> Files;
    for (int I = 0; I < 12; ++I) {
        Files.push_back(D + "\\src\\file" + std::to_string(I) + ".dat");
        fw_SysUtils::ForceDirectories(D + "\\src");
        WriteAll(Files.back(), Payload(size_t(I * I * 7919 + (I % 3 == 0 ? 0 : 1)), uint32_t(I), I % 2 == 0));
    }
    TFloppyCompress C(nullptr);
    C.SetCompressedFile(D + "\\files.1");
    const TCompressionLevel Levels[] = {colMax, colNone, colFastest, colDefault};
    for (size_t I = 0; I < Files.size(); I += 3) {
        C.CompressionLevel = Levels[(I / 3) % 4];
        for (size_t J = I; J < I + 3; ++J)
            C.FilesToProcess().Add(Files[J]);
        C.Compress(lzcOnlyAdd, int(I));
    }
    C.Capacity = 150000;
    C.OnNewDisk = [](TWdrlCompress*, int, std::string&) {};
    fw_SysUtils::ForceDirectories(D + "\\set");
    C.SplitToDisks(D + "\\set", "files.1");
}
