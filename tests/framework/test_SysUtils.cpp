// Formatting, date-times, files and streams against the real file system.
#include "framework/fw_Streams.h"
#include "framework/fw_SysUtils.h"
#include "test_support.h"

#include <gtest/gtest.h>

using namespace fw_SysUtils;
using namespace fw_Streams;
using test_support::MessageOf;
using test_support::Raises;
using test_support::TScratchDir;

TEST(Format, DirectivesWidthsIndexesAndErrors)
{
    EXPECT_EQ(Format("Cannot open the file %s", {"a.txt"}), "Cannot open the file a.txt");
    EXPECT_EQ(Format("[%5d|%-5d|%.3d|%x|%u]", {42, 42, 7, 255, -1}), "[   42|42   |007|FF|4294967295]");
    EXPECT_EQ(Format("%1:s %0:s %s", {"a", "b"}), "b a b");
    EXPECT_EQ(Format("%*d|%-*s|%.2s", {4, 7, 3, "x", "abc"}), "   7|x  |ab");
    EXPECT_EQ(Format("%.2f %n 100%%", {3.14159, 1234567.5}), "3.14 1,234,567.50 100%");
    EXPECT_EQ(Format("Tried to access the %dth file.", {int64_t(-5)}), "Tried to access the -5th file.");
    for (const char* Bad : {"%d", "%s %s", "%q", "trailing %"}) {
        SCOPED_TRACE(Bad);
        EXPECT_TRUE(Raises<EConvertError>([&] { Format(Bad, {"only one string"}); },
                                          std::string("Format '") + Bad + "' invalid or incompatible with argument"));
    }
}

TEST(Strings, ConversionsAndComparisons)
{
    EXPECT_EQ(Trim(" \t x y \r\n"), "x y");
    EXPECT_TRUE(SameText("Quorvane", "QUORVANE"));
    EXPECT_LT(CompareText("abc", "ABD"), 0);
    EXPECT_EQ(StrToInt(" -12 "), -12);
    EXPECT_EQ(StrToInt("$FF"), 255);
    EXPECT_EQ(StrToIntDef("12a", 7), 7);
    EXPECT_EQ(StrToIntDef("99999999999", 7), 7);
    EXPECT_TRUE(Raises<EConvertError>([] { StrToInt("1.0.2"); }, "'1.0.2' is not a valid integer value"));
    EXPECT_EQ(ExtractFilePath("C:\\a\\b.txt"), "C:\\a\\");
    EXPECT_EQ(ExtractFileDir("C:\\a\\b.txt"), "C:\\a");
    EXPECT_EQ(ExtractFileDir("C:\\b.txt"), "C:\\");
    EXPECT_EQ(ExtractFileName("C:\\a\\b.txt"), "b.txt");
    EXPECT_EQ(ExtractFileExt("a.b\\c"), "");
    EXPECT_EQ(ChangeFileExt("x\\setup.exe", ".1"), "x\\setup.1");
    EXPECT_EQ(ExtractFileDrive("\\\\srv\\share\\x"), "\\\\srv\\share");
}

TEST(DateTime, DayCountsAndFileDates)
{
    EXPECT_DOUBLE_EQ(EncodeDate(1899, 12, 30), 0);
    EXPECT_DOUBLE_EQ(EncodeDate(2000, 1, 1), 36526);
    EXPECT_DOUBLE_EQ(EncodeDate(1899, 12, 29), -1);
    EXPECT_THROW(EncodeDate(2001, 2, 29), EConvertError);
    // Every day of four centuries decodes to the date it was made from.
    for (int Day = -30000; Day < 120000; Day += 7) {
        int Y, M, D;
        DecodeDate(Day, Y, M, D);
        ASSERT_DOUBLE_EQ(EncodeDate(Y, M, D), Day) << Y << "-" << M << "-" << D;
    }
    TDateTime T = EncodeDate(2024, 2, 29) + EncodeTime(23, 59, 58, 0);
    int Packed = DateTimeToFileDate(T);
    EXPECT_DOUBLE_EQ(FileDateToDateTime(Packed), T);
    // Odd seconds fall to the even second below: the packed form has a 2-second grain.
    EXPECT_DOUBLE_EQ(FileDateToDateTime(DateTimeToFileDate(T + 1.0 / 86400)), T);
    EXPECT_EQ(DateTimeToFileDate(EncodeDate(1970, 1, 1)), 0);
}

TEST(Files, DatesSetAndReadBackThroughTheFileSystem)
{
    TScratchDir Dir("dates");
    std::string Name = Dir / "stamp.bin";
    TDateTime When = EncodeDate(2003, 7, 14) + EncodeTime(9, 30, 12, 0);
    {
        TFileStream F(Name, fmCreate);
        F.WriteBuffer("x", 1);
        ASSERT_EQ(FileSetDate(F.Handle(), DateTimeToFileDate(When)), 0u);
    }
    EXPECT_DOUBLE_EQ(FileDateToDateTime(FileAge(Name)), When);
    WIN32_FILE_ATTRIBUTE_DATA A;
    ASSERT_TRUE(GetFileAttributesExA(Name.c_str(), GetFileExInfoStandard, &A));
    EXPECT_NEAR(FileTimeToDateTime(A.ftLastWriteTime), When, 1e-9);
    EXPECT_EQ(FileAge(Dir / "missing"), -1);
    EXPECT_THROW(ForceDirectories(""), EInOutError);
    EXPECT_TRUE(ForceDirectories(Dir / "a\\b\\c\\"));
    EXPECT_TRUE(DirectoryExists(Dir / "a\\b\\c"));
}

TEST(Streams, FilesMemoryAndTheirErrors)
{
    TScratchDir Dir("streams");
    std::string Name = Dir / "data.bin";
    {
        TFileStream F(Name, fmCreate);
        std::string S(100000, 'q');
        F.WriteBuffer(S.data(), S.size());
        F.SetPosition(10);
        F.WriteBuffer("AB", 2);
        EXPECT_EQ(F.Size(), 100000);
        EXPECT_EQ(F.Position(), 12);
    }
    EXPECT_EQ(FileSizeByName(Name), 100000);
    {
        TFileStream F(Name, fmOpenRead | fmShareDenyWrite);
        // Another reader may share it; a writer may not.
        TFileStream Reader(Name, fmOpenRead | fmShareDenyNone);
        std::string Refusal = MessageOf<EFOpenError>([&] { TFileStream Writer(Name, fmOpenWrite | fmShareDenyNone); });
        EXPECT_EQ(Refusal.rfind("Cannot open file \"" + Name + "\". ", 0), 0u) << Refusal;
        char Buf[4];
        F.SetPosition(9);
        F.ReadBuffer(Buf, 4);
        EXPECT_EQ(std::string(Buf, 4), "qABq");
        F.Seek(-2, TSeekOrigin::soEnd);
        EXPECT_TRUE(Raises<EReadError>([&] { F.ReadBuffer(Buf, 4); }, "Stream read error"));
        TMemoryStream M;
        M.CopyFrom(F, 0);
        EXPECT_EQ(M.Size(), 100000);
        EXPECT_EQ(M.Memory()[11], 'B');
    }
    EXPECT_THROW(TFileStream(Dir / "no\\such\\folder.bin", fmCreate), EFCreateError);
    EXPECT_THROW(TFileStream(Dir / "missing.bin", fmOpenRead), EFOpenError);
}
