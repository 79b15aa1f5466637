// The loader against archives made by the archive engine: tables read inside
// a larger file, records whose data reaches outside their archive, damaged
// data; and its private folder.
#include "archive/cmp_TWdrlCompress.h"
#include "framework/fw_Handles.h"
#include "framework/fw_Streams.h"
#include "test_support.h"
#include "tools/loader_Archive.h"
#include "tools/loader_Failure.h"
#include "tools/loader_Folder.h"

#include <aclapi.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

using archive_FileHeaders::TFileHeaderRecord;
using archive_FileHeaders::TFileHeaders;
using loader_Failure::ELoader;

namespace {

std::string Bytes(size_t Size, uint32_t Seed)
{
    std::string B;
    uint32_t X = Seed;
    while (B.size() < Size) {
        X = X * 1103515245u + 12345u;
        B += (X >> 20) % 3 ? char('a' + (X >> 24) % 7) : char(X >> 24);
    }
    return B;
}

// An archive of the given contents made by the engine, then put between
// Before and After bytes of other data in one file.
struct TArchiveFile {
    test_support::TScratchDir Dir{"loader"};
    std::string Path, Archive;
    int64_t First = 0, Last = 0;
    std::vector<std::string> Contents;

    TArchiveFile(std::vector<std::string> AContents, size_t Before = 3000, size_t After = 56)
        : Contents(std::move(AContents))
    {
        cmp_TWdrlCompress::TWdrlCompress C(nullptr);
        C.SetCompressedFile(Dir / "setup.1");
        for (size_t I = 0; I < Contents.size(); ++I) {
            const std::string Source = Dir / ("file" + std::to_string(I) + ".bin");
            test_support::WriteBytes(Source, Contents[I]);
            C.FilesToProcess().Add(Source);
        }
        C.Compress(cmp_TWdrlCompress::lzcOverwrite, 0);
        Archive = test_support::ReadBytes(Dir / "setup.1");
        First = int64_t(Before);
        Last = First + int64_t(Archive.size()) - 1;
        Path = Dir / "setup.exe";
        Write();
    }
    void Write() { test_support::WriteBytes(Path, std::string(size_t(First), 'L') + Archive + std::string(56, 'R')); }
    // A field of record I of the archive, changed in place.
    template <class T>
    void Patch(int I, size_t FieldOffset, T Value)
    {
        size_t At = archive_FileHeaders::PreambleSize;
        for (int K = 0; K < I; ++K) {
            int32_t Next;
            std::memcpy(&Next, Archive.data() + At + offsetof(TFileHeaderRecord, NextHeader), 4);
            At = size_t(Next);
        }
        std::memcpy(Archive.data() + At + FieldOffset, &Value, sizeof Value);
        Write();
    }
    int32_t Field(int I, size_t FieldOffset)
    {
        TFileHeaders T;
        Read(T);
        int32_t V;
        std::memcpy(&V, reinterpret_cast<const uint8_t*>(&T.FileHeaders(I)->Record) + FieldOffset, 4);
        return V;
    }
    void Read(TFileHeaders& Table, int64_t WindowLast = -1)
    {
        fw_Streams::TFileStream File(Path, fw_Streams::fmOpenRead | fw_Streams::fmShareDenyNone);
        loader_Archive::TWindowStream Window(File.Handle(), First, WindowLast < 0 ? Last : WindowLast);
        loader_Archive::ReadCheckedTable(Window, Table, L"setup.1");
    }
    // Inflates record I into a new file; answers its bytes.
    std::string Inflate(int I)
    {
        TFileHeaders Table;
        Read(Table);
        fw_Streams::TFileStream File(Path, fw_Streams::fmOpenRead | fw_Streams::fmShareDenyNone);
        loader_Archive::TWindowStream Window(File.Handle(), First, Last);
        const std::wstring Target = loader_Failure::Widen(Dir / ("out" + std::to_string(I)));
        DeleteFileW(Target.c_str());
        {
            fw_Handles::THandle Out(CreateFileW(Target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
            loader_Archive::TBuffers Buffers;
            loader_Archive::Inflate(Window, Table.FileHeaders(I)->Record, Out.Get(), Target, Buffers);
        }
        return test_support::ReadBytes(Dir / ("out" + std::to_string(I)));
    }
};

template <class F>
int CodeOf(F&& Fn)
{
    try {
        Fn();
    } catch (const ELoader& E) {
        return E.Code;
    }
    return 0;
}

} // namespace

TEST(LoaderArchive, ATableInsideALargerFileReadsAndEveryRecordInflates)
{
    TArchiveFile A({Bytes(200000, 1), "", Bytes(70000, 2), "x"});
    TFileHeaders Table;
    A.Read(Table);
    ASSERT_EQ(Table.Count(), 4);
    for (int I = 0; I < 4; ++I)
        EXPECT_EQ(A.Inflate(I), A.Contents[size_t(I)]) << I;
}

TEST(LoaderArchive, ATableOrDataReachingOutsideItsArchiveIsDamage)
{
    TArchiveFile A({Bytes(5000, 3), Bytes(5000, 4)});
    TFileHeaders Table;
    // The window ends before the last record's data: its end lies outside.
    EXPECT_EQ(CodeOf([&] { A.Read(Table, A.Last - 1); }), loader_Failure::ecDamaged);
    // ... or inside the first record: the chain breaks.
    EXPECT_EQ(CodeOf([&] { A.Read(Table, A.First + 100); }), loader_Failure::ecDamaged);

    const int32_t Start0 = A.Field(0, offsetof(TFileHeaderRecord, DataStart));
    const int32_t End0 = A.Field(0, offsetof(TFileHeaderRecord, EndPos));
    const int32_t End1 = A.Field(1, offsetof(TFileHeaderRecord, EndPos));
    struct TCase {
        const char* What;
        int Record;
        size_t Field;
        int32_t Value;
    };
    const TCase Cases[] = {
        {"data in front of the archive", 0, offsetof(TFileHeaderRecord, DataStart), -100},
        {"data over its own record", 0, offsetof(TFileHeaderRecord, DataStart), Start0 - 1},
        {"data ending before it starts", 0, offsetof(TFileHeaderRecord, EndPos), Start0 - 1},
        {"data over the next record", 0, offsetof(TFileHeaderRecord, EndPos), End0 + 1},
        {"data past the archive", 1, offsetof(TFileHeaderRecord, EndPos), End1 + 1},
        {"a negative size", 1, offsetof(TFileHeaderRecord, Size), -1},
        {"a chain that runs back", 0, offsetof(TFileHeaderRecord, NextHeader), 5},
        {"a next record past the archive", 0, offsetof(TFileHeaderRecord, NextHeader), End1 + 1},
    };
    const std::string Good = A.Archive;
    for (const TCase& C : Cases) {
        A.Archive = Good;
        A.Patch(C.Record, C.Field, C.Value);
        TFileHeaders T;
        EXPECT_EQ(CodeOf([&] { A.Read(T); }), loader_Failure::ecDamaged) << C.What;
    }
    // A split set's first disk is no setup archive.
    A.Archive = Good;
    A.Archive[4] = 1;
    A.Write();
    EXPECT_EQ(CodeOf([&] { A.Read(Table); }), loader_Failure::ecDamaged);
    A.Archive = Good;
    A.Patch<uint8_t>(1, offsetof(TFileHeaderRecord, FirstDisk), 2);
    EXPECT_EQ(CodeOf([&] { A.Read(Table); }), loader_Failure::ecDamaged);
    // A blank name is refused by the table itself.
    A.Archive = Good;
    A.Patch<uint8_t>(0, offsetof(TFileHeaderRecord, FileNameLength), 0);
    EXPECT_EQ(CodeOf([&] { A.Read(Table); }), loader_Failure::ecDamaged);
}

TEST(LoaderArchive, DamagedDataOrAWrongSizeIsRefused)
{
    TArchiveFile A({Bytes(100000, 5)});
    const std::string Good = A.Archive;
    const int32_t Start = A.Field(0, offsetof(TFileHeaderRecord, DataStart));
    const int32_t End = A.Field(0, offsetof(TFileHeaderRecord, EndPos));
    const int32_t Size = A.Field(0, offsetof(TFileHeaderRecord, Size));
    // A flipped byte in the deflate data, and one in the Adler-32 trailer.
    for (int32_t At : {Start + 2 + (End - Start) / 2, End - 1}) {
        A.Archive = Good;
        A.Archive[size_t(At)] ^= 0x20;
        A.Write();
        EXPECT_EQ(CodeOf([&] { A.Inflate(0); }), loader_Failure::ecDamaged) << "byte " << At;
    }
    const int32_t Sizes[] = {Size - 1, Size + 1, 0};
    for (int32_t Wrong : Sizes) {
        A.Archive = Good;
        A.Patch(0, offsetof(TFileHeaderRecord, Size), Wrong);
        EXPECT_EQ(CodeOf([&] { A.Inflate(0); }), loader_Failure::ecDamaged) << "size " << Wrong;
    }
    // The stream must end at the record's last byte: one short, or one extra.
    A.Archive = Good;
    A.Patch(0, offsetof(TFileHeaderRecord, EndPos), End - 1);
    EXPECT_EQ(CodeOf([&] { A.Inflate(0); }), loader_Failure::ecDamaged);
    A.Archive = Good + "z";
    A.Patch(0, offsetof(TFileHeaderRecord, EndPos), End + 1);
    A.Last += 1;
    A.Write();
    EXPECT_EQ(CodeOf([&] { A.Inflate(0); }), loader_Failure::ecDamaged);
    // The good archive still passes.
    A.Archive = Good;
    A.Last -= 1;
    A.Write();
    EXPECT_EQ(A.Inflate(0), A.Contents[0]);
}

TEST(LoaderFolder, ANewPrivateFolderNeverReusesAnExistingName)
{
    test_support::TScratchDir Dir("loader-folder");
    const std::wstring Parent = loader_Failure::Widen(Dir.Path());
    uint8_t Taken[16], Fresh[16];
    std::memset(Taken, 0xAB, sizeof Taken);
    std::memset(Fresh, 0x01, sizeof Fresh);
    const std::wstring Existing = Parent + L"\\" + loader_Folder::FolderName(Taken);
    EXPECT_EQ(loader_Folder::FolderName(Taken), L"WDRLABABABABABABABABABABABABABABABAB");
    ASSERT_TRUE(CreateDirectoryW(Existing.c_str(), nullptr));
    test_support::WriteBytes(Dir / "WDRLABABABABABABABABABABABABABABABAB\\theirs.txt", "someone else's");
    int Draws = 0;
    const std::wstring Made = loader_Folder::CreatePrivateFolder(
        Parent + L"\\", [&](uint8_t* B, size_t N) { std::memcpy(B, Draws++ == 0 ? Taken : Fresh, N); });
    EXPECT_EQ(Draws, 2);
    EXPECT_EQ(Made, Parent + L"\\" + loader_Folder::FolderName(Fresh));
    EXPECT_EQ(test_support::ReadBytes(Dir / "WDRLABABABABABABABABABABABABABABABAB\\theirs.txt"), "someone else's");

    // Every draw taken: the folder is given up, not reused.
    EXPECT_EQ(CodeOf([&] {
                  loader_Folder::CreatePrivateFolder(Parent, [&](uint8_t* B, size_t N) { std::memcpy(B, Taken, N); });
              }),
              loader_Failure::ecUnpack);
}

TEST(LoaderFolder, TheFolderIsTheCurrentUsersAlone)
{
    // What the folder is created with. (Wine keeps its own descriptor for a
    // new folder, so the one stored cannot be read back there.)
    loader_Folder::TPrivateSecurity Security;
    ASSERT_EQ(Security.Attributes()->lpSecurityDescriptor, Security.Descriptor());
    EXPECT_FALSE(Security.Attributes()->bInheritHandle);
    SECURITY_DESCRIPTOR_CONTROL Control = 0;
    DWORD Revision = 0;
    ASSERT_TRUE(GetSecurityDescriptorControl(Security.Descriptor(), &Control, &Revision));
    EXPECT_TRUE(Control & SE_DACL_PROTECTED);
    BOOL Present = FALSE, Defaulted = TRUE;
    PACL Dacl = nullptr;
    ASSERT_TRUE(GetSecurityDescriptorDacl(Security.Descriptor(), &Present, &Dacl, &Defaulted));
    ASSERT_TRUE(Present && Dacl);
    ASSERT_EQ(Dacl->AceCount, 1);
    ACCESS_ALLOWED_ACE* Ace = nullptr;
    ASSERT_TRUE(GetAce(Dacl, 0, reinterpret_cast<void**>(&Ace)));
    EXPECT_EQ(Ace->Header.AceType, ACCESS_ALLOWED_ACE_TYPE);
    EXPECT_EQ(Ace->Header.AceFlags, OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE);
    EXPECT_EQ(Ace->Mask, DWORD(FILE_ALL_ACCESS));
    fw_Handles::THandle Token;
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, Token.Receive()));
    uint8_t User[256];
    DWORD Size = sizeof User;
    ASSERT_TRUE(GetTokenInformation(Token.Get(), TokenUser, User, Size, &Size));
    EXPECT_TRUE(EqualSid(&Ace->SidStart, reinterpret_cast<TOKEN_USER*>(User)->User.Sid));
}

TEST(LoaderFolder, RemovalToleratesWhatVanishesAndLeavesNothing)
{
    test_support::TScratchDir Dir("loader-remove");
    const std::wstring Folder = loader_Folder::CreatePrivateFolder(loader_Failure::Widen(Dir.Path()));
    const std::string Narrow = loader_Failure::Narrow(Folder);
    test_support::WriteBytes(Narrow + "\\a.exe", "a");
    test_support::WriteBytes(Narrow + "\\b.dll", "b");
    SetFileAttributesA((Narrow + "\\b.dll").c_str(), FILE_ATTRIBUTE_READONLY);
    CreateDirectoryA((Narrow + "\\sub").c_str(), nullptr);
    test_support::WriteBytes(Narrow + "\\sub\\c.txt", "c");
    EXPECT_TRUE(loader_Folder::RemoveFolder(Folder));
    EXPECT_EQ(GetFileAttributesW(Folder.c_str()), INVALID_FILE_ATTRIBUTES);
    // Already gone, as after the setup program's own clean-up.
    EXPECT_TRUE(loader_Folder::RemoveFolder(Folder));
}

TEST(LoaderFolder, ARunOnceCommandKeepsTheFolderOnlyWhenItNamesSomethingInside)
{
    const std::vector<std::wstring> Forms = {L"C:\\Users\\me\\Temp\\WDRL0123", L"C:\\Users\\me\\Temp\\WDRL01~1\\"};
    EXPECT_TRUE(loader_Folder::NamesProgramInside(
        L"\"c:\\users\\ME\\temp\\wdrl0123\\Teskor_Install.exe\" -r \"-sD:\\dist\" -c", Forms));
    EXPECT_TRUE(loader_Folder::NamesProgramInside(L"C:\\Users\\me\\Temp\\WDRL01~1\\SETUP.EXE -r", Forms));
    EXPECT_FALSE(loader_Folder::NamesProgramInside(L"\"C:\\Users\\me\\Temp\\WDRL01234\\x.exe\" -r", Forms));
    EXPECT_FALSE(loader_Folder::NamesProgramInside(L"C:\\Users\\me\\Temp\\wdrl.bat", Forms));
    EXPECT_FALSE(loader_Folder::NamesProgramInside(L"", Forms));
}
