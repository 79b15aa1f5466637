#include "ArchiveTestSupport.h"

#include "archive/cmp_TVersion.h"
#include "framework/fw_Streams.h"

#include <gtest/gtest.h>

using namespace cmp_TVersion;
using archive_test::Fixture;
using archive_test::TScratch;

namespace {

struct TReader {
    TVersionResource R{nullptr};
    TVersionInfo& Read(const std::string& Name)
    {
        R.SetFileName(Name);
        return *R.VersionInfo();
    }
};

std::string CopyTo(const TScratch& S, const std::string& FixtureName, const std::string& As)
{
    std::string Dest = S.Path(As);
    CopyFileA(Fixture(FixtureName).c_str(), Dest.c_str(), FALSE);
    return Dest;
}

} // namespace

TEST(Version, ReadsFixedInformationAndStringTable)
{
    TReader T;
    TVersionInfo& Driver = T.Read(Fixture("driver.dll"));
    EXPECT_EQ(Driver.FileType, "Device Driver");
    EXPECT_EQ(Driver.FileSubType, "Display");
    EXPECT_EQ(Driver.FileVersion, "1.2.3.4");
    EXPECT_EQ(Driver.ProductVersion, "1.0.2.9"); // the string table's text wins over 3.4.5.6
    EXPECT_EQ(Driver.FileOS, "Windows NT with 32 bit Windows");
    EXPECT_EQ(Driver.CompanyName, "Caldrevin");
    EXPECT_EQ(Driver.ProductName, "Quorvane");
    EXPECT_EQ(Driver.PrimaryLanguage, 0x0409 & 0x03FF);
    EXPECT_TRUE(T.R.FileNameStored());

    TVersionInfo& Font = T.Read(Fixture("font.dll"));
    EXPECT_EQ(Font.FileType, "Font");
    EXPECT_EQ(Font.FileSubType, "TrueType");

    // The fixed information says 2.0.0.1, the string table 7.7.7.7.
    EXPECT_EQ(T.Read(Fixture("otherstring.dll")).FileVersion, "2.0.0.1");
    TVersionInfo& SelfReg = T.Read(Fixture("selfreg.dll"));
    EXPECT_EQ(SelfReg.FileType, "Dynamic-Link Library");
    EXPECT_EQ(SelfReg.FileSubType, "");
    EXPECT_EQ(SelfReg.FileVersion, "1.0.0.7");

    // Another language: the fixed part stays, the strings are not found.
    T.R.SetLanguage(lnGerman);
    EXPECT_EQ(T.R.VersionInfo()->FileVersion, "1.0.0.7");
    EXPECT_EQ(T.R.VersionInfo()->CompanyName, "");
    T.R.SetLanguage(lnUSEnglish);
    EXPECT_EQ(T.R.VersionInfo()->CompanyName, "Caldrevin");

    TVersionInfo& Plain = T.Read(Fixture("plain.dll"));
    EXPECT_EQ(Plain.FileVersion, "");
    EXPECT_EQ(Plain.FileType, "");
    EXPECT_EQ(Plain.PrimaryLanguage, 0);
    EXPECT_EQ(T.Read(Fixture("missing.dll")).FileVersion, "");

    EXPECT_EQ(LanguageID(lnBahasa), 0x0421);
    EXPECT_EQ(LanguageID(lnSwissFrench), 0x100C);
    EXPECT_EQ(CodePage(csArabic), 1256);
}

TEST(Version, ReadsModulesNobodyHereWrote)
{
    char Sys[MAX_PATH];
    GetSystemDirectoryA(Sys, MAX_PATH);
    TReader T;
    int Read = 0;
    for (const char* Name : {"kernel32.dll", "user32.dll", "version.dll", "comctl32.dll", "shell32.dll"}) {
        TVersionInfo& V = T.Read(std::string(Sys) + "\\" + Name);
        if (V.FileVersion.empty())
            continue;
        ++Read;
        EXPECT_EQ(std::count(V.FileVersion.begin(), V.FileVersion.end(), '.'), 3) << Name;
        EXPECT_EQ(V.FileType, "Dynamic-Link Library") << Name;
        // The parts are numbers that CompareVersion accepts.
        EXPECT_EQ(TVersionResource::CompareVersion(V.FileVersion, V.FileVersion), 0);
    }
    EXPECT_GE(Read, 3);
}

TEST(Version, CompareVersion)
{
    EXPECT_EQ(TVersionResource::CompareVersion("1.2", "1.2.0"), 2);
    EXPECT_EQ(TVersionResource::CompareVersion("1.2.0", "1.2"), 1);
    EXPECT_EQ(TVersionResource::CompareVersion("1.10", "1.9"), 1);
    EXPECT_EQ(TVersionResource::CompareVersion("1.9", "1.10"), 2);
    EXPECT_EQ(TVersionResource::CompareVersion("", ""), 0);
    EXPECT_EQ(TVersionResource::CompareVersion("2.0.0.1", "2.0.0.1"), 0);
    EXPECT_EQ(TVersionResource::CompareVersion("", "1"), 2);
    EXPECT_THROW(TVersionResource::CompareVersion("1.x", "1.2"), fw_SysUtils::EConvertError);
}

TEST(Version, IsFileNewerRules)
{
    TScratch S;
    const std::string Plain = CopyTo(S, "plain.dll", "plain.dll");
    const std::string Newer = CopyTo(S, "newer.dll", "newer.dll"); // 5.0.0.0
    archive_test::SetFileDate(Plain, 2020, 6, 1);
    const fw_SysUtils::TDateTime Noon = fw_SysUtils::EncodeDate(2020, 6, 1) + fw_SysUtils::EncodeTime(12, 0, 0, 0);

    EXPECT_EQ(TVersionResource::IsFileNewer("", Plain, owAlways, 0), cvReplace);
    EXPECT_EQ(TVersionResource::IsFileNewer("", Plain, owNever, 0), cvKeep);
    EXPECT_EQ(TVersionResource::IsFileNewer("", S.Path("none.dll"), owNever, 0), cvReplace);
    EXPECT_EQ(TVersionResource::IsFileNewer("", "  ", owNever, 0), cvReplace);

    EXPECT_EQ(TVersionResource::IsFileNewer("1.0", Plain, owVersion, 0), cvReplace);
    EXPECT_EQ(TVersionResource::IsFileNewer("", Plain, owVersion, 0), cvSame);
    EXPECT_EQ(TVersionResource::IsFileNewer("4.9.9.9", Newer, owVersion, 0), cvKeep);
    EXPECT_EQ(TVersionResource::IsFileNewer("5.0.0.1", Newer, owVersion, 0), cvReplace);
    EXPECT_EQ(TVersionResource::IsFileNewer("5.0.0.0", Newer, owVersion, 0), cvSame);

    EXPECT_EQ(TVersionResource::IsFileNewer("", Plain, owDate, Noon), cvSame);
    EXPECT_EQ(TVersionResource::IsFileNewer("", Plain, owDate, Noon - 1), cvKeep);
    EXPECT_EQ(TVersionResource::IsFileNewer("", Plain, owDate, Noon + 1), cvReplace);
    EXPECT_EQ(TVersionResource::IsFileNewer("", S.Path("none.dll"), owDate, Noon), cvUnknown);
    EXPECT_EQ(TVersionResource::IsFileNewer("", Plain, owVersionDate, Noon + 1), cvReplace); // equal versions
    EXPECT_EQ(TVersionResource::IsFileNewer("9", Plain, owVersionDate, Noon - 1), cvReplace);
    EXPECT_EQ(TVersionResource::IsFileNewer("", Plain, TOverwriteType(17), Noon), cvUnknown);

    // A target locked against reading cannot be dated.
    HANDLE Lock = CreateFileA(Plain.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(Lock, INVALID_HANDLE_VALUE);
    EXPECT_EQ(TVersionResource::IsFileNewer("", Plain, owDate, Noon), cvUnknown);
    CloseHandle(Lock);
}

TEST(Version, IsFileNewerByName)
{
    TScratch S;
    const std::string Old = CopyTo(S, "driver.dll", "old.dll"); // 1.2.3.4
    const std::string New = CopyTo(S, "newer.dll", "new.dll");  // 5.0.0.0
    const std::string Same = CopyTo(S, "newer.dll", "same.dll");
    archive_test::SetFileDate(New, 2021, 1, 1);
    archive_test::SetFileDate(Same, 2019, 1, 1);

    EXPECT_EQ(TVersionResource::IsFileNewerByName(New, Old, owVersion), cvReplace);
    EXPECT_EQ(TVersionResource::IsFileNewerByName(Old, New, owVersion), cvKeep);
    EXPECT_EQ(TVersionResource::IsFileNewerByName(New, Same, owVersionDate), cvReplace);
    EXPECT_EQ(TVersionResource::IsFileNewerByName(Same, New, owVersionDate), cvKeep);
    EXPECT_EQ(TVersionResource::IsFileNewerByName(Same, New, owDate), cvKeep);
    EXPECT_EQ(TVersionResource::IsFileNewerByName(Old, New, owNever), cvKeep);
    try {
        TVersionResource::IsFileNewerByName(S.Path("gone.dll"), New, owDate);
        FAIL() << "no error";
    } catch (const fw_Streams::EFOpenError& E) {
        EXPECT_EQ(E.Message(), "Cannot open " + S.Path("gone.dll") + " in TVersionResource.IsFileNewerByName");
    }
    // The handles were closed: the files can be deleted.
    EXPECT_TRUE(DeleteFileA(New.c_str()));
    EXPECT_TRUE(DeleteFileA(Same.c_str()));
}
