// The loader's decisions that need no files: the extraction record and the
// layout it describes, the loader's own image end, record names, and the
// command lines it reads and writes.
#include "test_support.h"
#include "tools/loader_Archive.h"
#include "tools/loader_Command.h"
#include "tools/loader_Failure.h"
#include "tools/loader_Record.h"

#include <cstring>
#include <fstream>
#include <iterator>
#include <optional>
#include <vector>

using loader_Failure::ELoader;
using loader_Record::ReadLayout;
using loader_Record::TExtractionRecord;

namespace {

constexpr int64_t Image = 494592;

TExtractionRecord Record(int32_t SetupStart, int32_t SetupEnd, int32_t FilesStart = 0, int32_t FilesEnd = 0)
{
    TExtractionRecord R{};
    std::memcpy(R.Marker, loader_Record::Marker, sizeof R.Marker);
    R.SetupStart = SetupStart;
    R.SetupEnd = SetupEnd;
    R.FilesStart = FilesStart;
    R.FilesEnd = FilesEnd;
    return R;
}

// The exit code the layout check ends with; 0 when it passes.
int CodeOf(const TExtractionRecord& R, int64_t FileSize, int64_t ImageEnd = Image)
{
    try {
        ReadLayout(ImageEnd, FileSize, reinterpret_cast<const uint8_t*>(&R));
    } catch (const ELoader& E) {
        return E.Code;
    }
    return 0;
}

// A setup.exe of the loader, a setup.1 of S bytes, a files.1 of F bytes (or
// none) and the record: its size.
int64_t Total(int64_t S, int64_t F = 0) { return Image + S + F + int64_t(loader_Record::RecordSize); }

} // namespace

TEST(LoaderRecord, ALoaderAloneReadsSetup1BesideIt) { EXPECT_FALSE(ReadLayout(Image, Image, nullptr).has_value()); }

TEST(LoaderRecord, AGoodRecordGivesBothRanges)
{
    const TExtractionRecord R = Record(Image, Image + 99, Image + 100, Image + 299);
    const auto L = ReadLayout(Image, Total(100, 200), reinterpret_cast<const uint8_t*>(&R));
    ASSERT_TRUE(L.has_value());
    EXPECT_EQ(L->SetupFirst, Image);
    EXPECT_EQ(L->SetupLast, Image + 99);
    EXPECT_TRUE(L->HasFiles);
    EXPECT_EQ(L->FilesFirst, Image + 100);
    EXPECT_EQ(L->FilesLast, Image + 299);

    const TExtractionRecord NoFiles = Record(Image, Image + 99);
    const auto M = ReadLayout(Image, Total(100), reinterpret_cast<const uint8_t*>(&NoFiles));
    ASSERT_TRUE(M.has_value());
    EXPECT_FALSE(M->HasFiles);
}

TEST(LoaderRecord, DataAfterTheImageWithoutAValidRecordIsDamage)
{
    // Cut short, or junk appended: never a reason to look for setup.1 beside it.
    EXPECT_EQ(CodeOf(Record(Image, Image + 99), Image + 10), loader_Failure::ecDamaged);
    TExtractionRecord Junk{};
    std::memset(&Junk, 'x', sizeof Junk);
    EXPECT_EQ(CodeOf(Junk, Image + 1000), loader_Failure::ecDamaged);
    TExtractionRecord Marker = Record(Image, Image + 99);
    Marker.Marker[14] = '!'; // the zero byte ends the marker
    EXPECT_EQ(CodeOf(Marker, Total(100)), loader_Failure::ecDamaged);
    // Shorter than its own image.
    EXPECT_EQ(CodeOf(Record(Image, Image + 99), Image - 1), loader_Failure::ecDamaged);
    try {
        ReadLayout(Image, Image + 20, nullptr);
        ADD_FAILURE() << "a tail without a record passed";
    } catch (const ELoader& E) {
        EXPECT_EQ(E.Code, loader_Failure::ecDamaged);
    }
}

TEST(LoaderRecord, ReservedBytesMustBeZero)
{
    for (size_t At : {size_t(15), size_t(32), size_t(43), size_t(55)}) {
        TExtractionRecord R = Record(Image, Image + 99);
        reinterpret_cast<uint8_t*>(&R)[At] = 1;
        EXPECT_EQ(CodeOf(R, Total(100)), loader_Failure::ecDamaged) << "byte " << At;
    }
}

TEST(LoaderRecord, RangesMustBeOrderedAndTouchTheImageAndTheRecord)
{
    const int64_t Size = Total(100, 200);
    EXPECT_EQ(CodeOf(Record(Image, Image + 99, Image + 100, Image + 299), Size), 0);
    // setup.1 not at the end of the image
    EXPECT_EQ(CodeOf(Record(Image + 1, Image + 99, Image + 100, Image + 299), Size), loader_Failure::ecDamaged);
    EXPECT_EQ(CodeOf(Record(Image - 1, Image + 99, Image + 100, Image + 299), Size), loader_Failure::ecDamaged);
    // out of order, overlapping, with a gap, or too short for a preamble
    EXPECT_EQ(CodeOf(Record(Image, Image - 5, Image + 100, Image + 299), Size), loader_Failure::ecDamaged);
    EXPECT_EQ(CodeOf(Record(Image, Image + 3), Total(4)), loader_Failure::ecDamaged);
    EXPECT_EQ(CodeOf(Record(Image, Image + 99, Image + 99, Image + 299), Size), loader_Failure::ecDamaged);
    EXPECT_EQ(CodeOf(Record(Image, Image + 98, Image + 100, Image + 299), Size), loader_Failure::ecDamaged);
    EXPECT_EQ(CodeOf(Record(Image, Image + 99, Image + 100, Image + 90), Size), loader_Failure::ecDamaged);
    // past the file, or ending before the record
    EXPECT_EQ(CodeOf(Record(Image, Image + 99, Image + 100, Image + 300), Size), loader_Failure::ecDamaged);
    EXPECT_EQ(CodeOf(Record(Image, Image + 99, Image + 100, Image + 298), Size), loader_Failure::ecDamaged);
    EXPECT_EQ(CodeOf(Record(Image, Image + 99), Size), loader_Failure::ecDamaged);
    // one files field set without the other
    EXPECT_EQ(CodeOf(Record(Image, Image + 99, 0, Image + 299), Size), loader_Failure::ecDamaged);
    EXPECT_EQ(CodeOf(Record(Image, Image + 99, Image + 100, 0), Size), loader_Failure::ecDamaged);
    // negative positions
    EXPECT_EQ(CodeOf(Record(Image, -1, Image + 100, Image + 299), Size), loader_Failure::ecDamaged);
}

TEST(LoaderRecord, TheBuiltLoaderEndsWhereItsImageEnds)
{
    std::ifstream F(LOADER_EXE, std::ios::binary);
    ASSERT_TRUE(F) << LOADER_EXE;
    const std::vector<uint8_t> Bytes((std::istreambuf_iterator<char>(F)), std::istreambuf_iterator<char>());
    EXPECT_EQ(loader_Record::ImageEnd(Bytes.data(), Bytes.size()), int64_t(Bytes.size()));
    // A certificate table lies after the sections and counts as the image's.
    std::vector<uint8_t> Signed = Bytes;
    auto* Dos = reinterpret_cast<IMAGE_DOS_HEADER*>(Signed.data());
    auto* Nt = reinterpret_cast<IMAGE_NT_HEADERS64*>(Signed.data() + Dos->e_lfanew);
    Nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_SECURITY] = {DWORD(Bytes.size()), 1024};
    EXPECT_EQ(loader_Record::ImageEnd(Signed.data(), Signed.size()), int64_t(Bytes.size()) + 1024);
    // Headers that do not parse are the loader's own fault.
    Signed[0] = 'X';
    try {
        loader_Record::ImageEnd(Signed.data(), Signed.size());
        ADD_FAILURE() << "a broken header passed";
    } catch (const ELoader& E) {
        EXPECT_EQ(E.Code, loader_Failure::ecInternal);
    }
}

TEST(LoaderNames, TheFileNamePartOfAKeyIsUsedAndUnsafeNamesAreRefused)
{
    EXPECT_EQ(loader_Archive::TargetName("C:\\build\\Teskor_Install.exe"), L"Teskor_Install.exe");
    EXPECT_EQ(loader_Archive::TargetName("..\\x"), L"x");
    EXPECT_EQ(loader_Archive::TargetName("dir/sub/readme.txt"), L"readme.txt");
    EXPECT_EQ(loader_Archive::TargetName("console.txt"), L"console.txt");
    EXPECT_EQ(loader_Archive::TargetName("COM10"), L"COM10");
    for (const char* Bad : {"", ".", "..", "dir\\", "dir\\..", "a:b", "C:x", "file.txt:stream", "CON", "con.txt",
                            "dir\\Nul", "LPT1", "com9.log", "AUX .txt", "conin$", "tab\there"}) {
        try {
            loader_Archive::TargetName(Bad);
            ADD_FAILURE() << "accepted \"" << Bad << "\"";
        } catch (const ELoader& E) {
            EXPECT_EQ(E.Code, loader_Failure::ecDamaged) << Bad;
        }
    }
}

TEST(LoaderCommand, SplitsLikeTheRuntime)
{
    using V = std::vector<std::wstring>;
    EXPECT_EQ(loader_Command::SplitCommandLine(L"\"C:\\My Dist\\setup.exe\" *todisk"),
              (V{L"C:\\My Dist\\setup.exe", L"*todisk"}));
    EXPECT_EQ(loader_Command::SplitCommandLine(L"setup.exe"), (V{L"setup.exe"}));
    EXPECT_EQ(loader_Command::SplitCommandLine(L"setup.exe   \"a b\"  c\\\\\"d e\" \"\" x\\\"y"),
              (V{L"setup.exe", L"a b", L"c\\d e", L"", L"x\"y"}));
    EXPECT_EQ(loader_Command::SplitCommandLine(L"C:\\a\\setup.exe\t\"-x\\\\\""), (V{L"C:\\a\\setup.exe", L"-x\\"}));
}

TEST(LoaderCommand, OnlyToDiskIsAccepted)
{
    EXPECT_TRUE(loader_Command::ParseArguments({}).Valid);
    EXPECT_FALSE(loader_Command::ParseArguments({}).ToDisk);
    for (const wchar_t* Form : {L"*TODISK", L"*todisk", L"*ToDisk"}) {
        const auto R = loader_Command::ParseArguments({Form});
        EXPECT_TRUE(R.Valid && R.ToDisk) << Form;
    }
    for (const wchar_t* Other : {L"-TODISK", L"TODISK", L"*TODISK2", L"-b", L"", L"setup.exe", L"/?"}) {
        const auto R = loader_Command::ParseArguments({L"*TODISK", Other});
        EXPECT_FALSE(R.Valid) << Other;
        EXPECT_EQ(R.Unknown, Other);
    }
}

TEST(LoaderCommand, TheSetupProgramGetsItsSwitchesInOrder)
{
    const std::wstring P = L"C:\\Temp\\WDRL00\\Teskor_Install.exe";
    EXPECT_EQ(loader_Command::SetupCommandLine(P, L"D:\\Dist Folder\\setup.exe", true, false),
              L"\"" + P + L"\" \"-sD:\\Dist Folder\" \"-esetup.exe\" -c");
    EXPECT_EQ(loader_Command::SetupCommandLine(P, L"D:\\Dist\\SETUP.EXE", false, true),
              L"\"" + P + L"\" \"-sD:\\Dist\" -c -f");
    // A drive root loses its backslash: inside quotes it would escape the quote.
    EXPECT_EQ(loader_Command::SetupCommandLine(P, L"A:\\setup.exe", true, true),
              L"\"" + P + L"\" \"-sA:\" \"-esetup.exe\" -c -f");
    EXPECT_EQ(loader_Command::SetupCommandLine(P, L"\\\\server\\share\\setup.exe", false, false),
              L"\"" + P + L"\" \"-s\\\\server\\share\" -c");
    // What the setup program reads back, by the runtime's rules.
    const auto Args =
        loader_Command::SplitCommandLine(loader_Command::SetupCommandLine(P, L"A:\\setup.exe", true, true));
    EXPECT_EQ(Args, (std::vector<std::wstring>{P, L"-sA:", L"-esetup.exe", L"-c", L"-f"}));
}
