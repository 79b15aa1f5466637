#include "ArchiveTestSupport.h"

#include "archive/cmp_TVersion.h"
#include "framework/fw_Handles.h"
#include "framework/fw_Reader.h"
#include "framework/fw_Streams.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

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

// What the system's own version API answers for a file, read here without
// the reader under test.
struct TSystemAnswer {
    bool Found = false;
    DWORD FileVersionMS = 0, FileVersionLS = 0, FileType = 0;
    WORD Language = 0, CodePage = 0;
    std::string CompanyName, FileDescription, ProductVersion;
};

TSystemAnswer AskTheSystem(const std::string& Path)
{
    TSystemAnswer A;
    DWORD Dummy = 0;
    const DWORD Size = GetFileVersionInfoSizeA(Path.c_str(), &Dummy);
    if (Size == 0)
        return A;
    std::vector<uint8_t> Block(Size);
    VS_FIXEDFILEINFO* Fixed = nullptr;
    WORD* Translation = nullptr;
    UINT Len = 0;
    if (!GetFileVersionInfoA(Path.c_str(), 0, Size, Block.data()) ||
        !VerQueryValueA(Block.data(), "\\", reinterpret_cast<void**>(&Fixed), &Len) ||
        !VerQueryValueA(Block.data(), "\\VarFileInfo\\Translation", reinterpret_cast<void**>(&Translation), &Len) ||
        Len < 4)
        return A;
    A.Found = true;
    A.FileVersionMS = Fixed->dwFileVersionMS;
    A.FileVersionLS = Fixed->dwFileVersionLS;
    A.FileType = Fixed->dwFileType;
    A.Language = Translation[0];
    A.CodePage = Translation[1];
    char Table[64];
    std::snprintf(Table, sizeof Table, "\\StringFileInfo\\%04X%04X\\", A.Language, A.CodePage);
    for (auto [Key, Field] :
         {std::pair{"CompanyName", &A.CompanyName}, std::pair{"FileDescription", &A.FileDescription},
          std::pair{"ProductVersion", &A.ProductVersion}}) {
        char* Text = nullptr;
        if (VerQueryValueA(Block.data(), (std::string(Table) + Key).c_str(), reinterpret_cast<void**>(&Text), &Len) &&
            Text)
            *Field = Text;
    }
    return A;
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
    // Wine's own modules: the reader must answer what the system's API does.
    char Sys[MAX_PATH];
    GetSystemDirectoryA(Sys, MAX_PATH);
    TReader T;
    int Compared = 0;
    for (const char* Name : {"kernel32.dll", "user32.dll", "version.dll", "comctl32.dll", "shell32.dll"}) {
        const std::string Path = std::string(Sys) + "\\" + Name;
        const TSystemAnswer A = AskTheSystem(Path);
        if (!A.Found)
            continue;
        // The reader reads the table of the module's own language and code page.
        int Language = -1, CharacterSet = -1;
        for (int L = lnArabic; L <= lnSwissFrench; ++L)
            if (LanguageID(TLanguage(L)) == A.Language)
                Language = L;
        for (int C = csASCII; C <= csArabic; ++C)
            if (CodePage(TCharacterSet(C)) == A.CodePage)
                CharacterSet = C;
        ASSERT_GE(Language, 0) << Name;
        ASSERT_GE(CharacterSet, 0) << Name;
        T.R.SetLanguage(TLanguage(Language));
        T.R.SetCharacterSet(TCharacterSet(CharacterSet));
        const TVersionInfo& V = T.Read(Path);
        ++Compared;
        char Version[64];
        std::snprintf(Version, sizeof Version, "%u.%u.%u.%u", HIWORD(A.FileVersionMS), LOWORD(A.FileVersionMS),
                      HIWORD(A.FileVersionLS), LOWORD(A.FileVersionLS));
        EXPECT_EQ(V.FileVersion, Version) << Name;
        EXPECT_EQ(V.FileType, A.FileType == VFT_DLL ? "Dynamic-Link Library" : "?") << Name;
        EXPECT_EQ(V.PrimaryLanguage, PRIMARYLANGID(A.Language)) << Name;
        EXPECT_EQ(V.CompanyName, A.CompanyName) << Name;
        EXPECT_EQ(V.FileDescription, A.FileDescription) << Name;
        EXPECT_FALSE(V.FileDescription.empty()) << Name;
        if (!A.ProductVersion.empty()) {
            EXPECT_EQ(V.ProductVersion, A.ProductVersion) << Name;
        }
        // The parts are numbers that CompareVersion accepts.
        EXPECT_EQ(TVersionResource::CompareVersion(V.FileVersion, V.FileVersion), 0);
    }
    EXPECT_GE(Compared, 3);
}

TEST(Version, FileNameIsStoredOnlyWhenItIsNotTheProgramsOwn)
{
    TVersionResource R(nullptr);
    R.SetName("Reader");
    const std::string Own = fw_SysUtils::ParamStr(0);
    EXPECT_FALSE(R.FileNameStored());
    EXPECT_EQ(fw_Reader::WriteComponentText(&R).find("FileName ="), std::string::npos);

    R.SetFileName(Fixture("driver.dll"));
    EXPECT_TRUE(R.FileNameStored());
    const std::string Text = fw_Reader::WriteComponentText(&R);
    EXPECT_NE(Text.find("FileName = '" + Fixture("driver.dll") + "'"), std::string::npos) << Text;
    TVersionResource Again(nullptr);
    fw_Reader::ReadComponentText(&Again, Text);
    EXPECT_EQ(Again.FileName(), Fixture("driver.dll"));

    // Set back to the program's own path (in another letter case), it is the default again.
    R.SetFileName(fw_SysUtils::UpperCase(Own));
    EXPECT_FALSE(R.FileNameStored());
    const std::string Back = fw_Reader::WriteComponentText(&R);
    EXPECT_EQ(Back.find("FileName ="), std::string::npos) << Back;
    TVersionResource Fresh(nullptr);
    fw_Reader::ReadComponentText(&Fresh, Back);
    EXPECT_EQ(Fresh.FileName(), Own);
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
    fw_Handles::THandle Lock(CreateFileA(Plain.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(Lock);
    EXPECT_EQ(TVersionResource::IsFileNewer("", Plain, owDate, Noon), cvUnknown);
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
    EXPECT_TRUE(test_support::Raises<fw_Streams::EFOpenError>(
        [&] { TVersionResource::IsFileNewerByName(S.Path("gone.dll"), New, owDate); },
        "Cannot open " + S.Path("gone.dll") + " in TVersionResource.IsFileNewerByName"));
    EXPECT_TRUE(test_support::Raises<fw_Streams::EFOpenError>(
        [&] { TVersionResource::IsFileNewerByName(New, S.Path("gone.dll"), owDate); },
        "Cannot open " + S.Path("gone.dll") + " in TVersionResource.IsFileNewerByName"));
    // The handles were closed: the files can be deleted.
    EXPECT_TRUE(DeleteFileA(New.c_str()));
    EXPECT_TRUE(DeleteFileA(Same.c_str()));
}
