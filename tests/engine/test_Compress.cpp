// Building the distribution from the install tree: every file compressed
// into the archive its container names, read back as the installer reads
// it; the options of a compress; copying the files uncompressed.
#include "CompressTestSupport.h"

#include "archive/cmp_TWdrlCompress.h"
#include "framework/fw_SysUtils.h"
#include "routines/routines_API.h"

#include <algorithm>

namespace engine_tests {

namespace {

using cmp_TWdrlCompress::TWdrlCompress;
using test_support::TScratchDir;

// A directory that notes the reports sent up to it.
class TReportingDirectory : public TInstallDirectory {
    FW_CLASS(TReportingDirectory, TInstallDirectory)

public:
    explicit TReportingDirectory(TComponent* AOwner) : TInstallDirectory(AOwner) {}
    void DoInformationEventControl(TObject* Sender, int Code, TObject* Param) override
    {
        Codes.push_back(Code);
        inherited::DoInformationEventControl(Sender, Code, Param);
    }
    int Count(int Code) const { return int(std::count(Codes.begin(), Codes.end(), Code)); }
    std::vector<int> Codes;
};

FW_DEFINE_CLASS(TReportingDirectory, TInstallDirectory, nullptr, nullptr)

// A file of Container whose source is FileName in Source, holding Bytes.
TInstallFile* SourceFile(const TOwnedForm& Form, TInstallContainer* Container, const std::string& Name,
                         const TScratchDir& Source, const std::string& FileName, const std::string& Bytes)
{
    WriteAll(Source / FileName, Bytes);
    auto* File = MakeFileIn(Form, Container, Name, FileName);
    File->SetIncludeFromDir(Source.Path());
    return File;
}

// A directory without container whose archive is Archive.
TReportingDirectory* DirectoryWithArchive(const TOwnedForm& Form, const std::string& Name, const std::string& Archive)
{
    auto* Dir = Make<TReportingDirectory>(Form, Name);
    Dir->SetArchiveFileType(nullptr);
    Dir->SetArchiveFile(Archive);
    return Dir;
}

} // namespace

TEST(Compress, EveryFileGoesIntoTheArchiveItsContainerNames)
{
    TKeptOrderFile Order;
    TScratchDir Source("compress-src"), Out("compress-out");
    TOwnedForm Form;
    auto* Root = MakeRootAt(Form, Out / "installed");
    Root->SetDescription("Quorvane");
    Root->SetArchiveFileType(nullptr);
    Root->SetArchiveFile(Out / "files.1");
    WriteAll(Out / "files.1", "the archive of an earlier build");
    auto* Group = Make<TInstallGroup>(Form, "Group");
    Group->SetContainer(Root);
    Group->SetDescription("Teskor");
    auto* Dir = Make<TReportingDirectory>(Form, "Dir");
    Dir->SetContainer(Group);
    Dir->SetDescription("Teskor_1");
    auto* A = SourceFile(Form, Dir, "FileA", Source, "a.txt", Content(150000, 1)); // more than one output buffer
    auto* B = SourceFile(Form, Dir, "FileB", Source, "b.dat", Content(3000, 2));
    // A directory with an archive of its own, one of its files left out.
    auto* Extra = Make<TInstallDirectory>(Form, "Extra");
    Extra->SetContainer(Root);
    Extra->SetDescription("Extra");
    Extra->SetArchiveFileType(nullptr);
    Extra->SetArchiveFile(Out / "extra\\extra.1");
    auto* C = SourceFile(Form, Extra, "FileC", Source, "c.txt", "ten bytes.");
    auto* D = SourceFile(Form, Extra, "FileD", Source, "d.txt", Content(20, 4));
    D->SetInclude(false);

    std::vector<std::string> Events;
    int LastPercent = -1;
    A->OnBeforeCompress = [&](TCustomInstallFile* F) { Events.push_back("before " + F->Name()); };
    A->OnAfterCompress = [&](TCustomInstallFile* F) { Events.push_back("after " + F->Name()); };
    A->OnStatus = [&](TCustomInstallFile*, int Percent, int) { LastPercent = Percent; };
    Root->Compress(0);

    TArchive Main(Out / "files.1");
    EXPECT_EQ(Main.Count(), 2); // the earlier build's archive is gone
    EXPECT_EQ(Main.KeyOf(A->UniqueID()), A->SourcePath());
    EXPECT_EQ(Main.KeyOf(B->UniqueID()), B->SourcePath());
    EXPECT_EQ(Main.Extracted(*A), ReadAll(Source / "a.txt"));
    EXPECT_EQ(Main.Extracted(*B), ReadAll(Source / "b.dat"));
    TArchive Own(Out / "extra\\extra.1");
    EXPECT_EQ(Own.Count(), 1);
    EXPECT_EQ(Own.KeyOf(C->UniqueID()), C->SourcePath());
    EXPECT_EQ(Own.KeyOf(D->UniqueID()), "");
    EXPECT_EQ(Own.Extracted(*C), "ten bytes.");

    EXPECT_EQ(A->CompressInfo().Status, csCompressed);
    EXPECT_EQ(A->CompressInfo().Archive, Out / "files.1");
    EXPECT_EQ(C->CompressInfo().Archive, Out / "extra\\extra.1");
    EXPECT_EQ(D->CompressInfo().Status, 0);
    EXPECT_EQ(A->Size(), 150000); // read from the source on the way
    EXPECT_EQ(Events, (std::vector<std::string>{"before FileA", "after FileA"}));
    EXPECT_EQ(LastPercent, 100);
    // Each file reported its start, progress and end to its directory.
    EXPECT_EQ(Dir->Codes.front(), 1004);
    EXPECT_EQ(Dir->Codes.back(), 1005);
    EXPECT_EQ(Dir->Count(1004), 2);
    EXPECT_EQ(Dir->Count(1005), 2);
    EXPECT_GE(Dir->Count(1009), 2);

    // Afterwards everything is idle and keeps the archive it names.
    for (TFileRelated* Node : std::vector<TFileRelated*>{Group, Dir, A, B, C, D}) {
        EXPECT_EQ(Node->AddToArchive(), cmp_TWdrlCompress::lzcOverwrite) << Node->Name();
        EXPECT_TRUE(Node->ArchiveFileType()->Is<cmp_TPathSpecifier::TpsContainerArchiveFile>()) << Node->Name();
    }
    for (TFileContainer* Node : std::vector<TFileContainer*>{Root, Group, Dir, Extra})
        EXPECT_EQ(Node->State(), ifsNone) << Node->Name();
    EXPECT_EQ(A->State(), ifsNone);
    EXPECT_FALSE(D->Include());

    EXPECT_EQ(Order.Added(), "FILECONTAINER: Quorvane\r\n"
                             "FILECONTAINER: Teskor\r\n"
                             "FILECONTAINER: Teskor_1\r\n"
                             "CompName: FileB, File: b.dat\r\n"
                             "CompName: FileA, File: a.txt\r\n"
                             "FILECONTAINER: Extra\r\n"
                             "CompName: FileC, File: c.txt\r\n");
}

TEST(Compress, ARefusalOrAFailureLeavesTheTreeAsItWas)
{
    TKeptOrderFile Order;
    TScratchDir Source("compress-src"), Out("compress-out");
    TOwnedForm Form;
    auto* Dir = DirectoryWithArchive(Form, "Dir", Out / "dir.1");
    SourceFile(Form, Dir, "Small", Source, "small.txt", "small");
    WriteAll(Out / "dir.1", "an archive of an earlier build");

    // Both net options at once are refused before anything is deleted.
    EXPECT_TRUE(Raises<IEFileContainer>(
        [&] {
            Dir->Compress(CompressOptions({coForceNetFilesLocal, coForceFilesNet}));
        },
        "Cannot pass both coForceNetFilesLocal and coForceFilesNet to Compress"));
    EXPECT_EQ(ReadAll(Out / "dir.1"), "an archive of an earlier build");
    EXPECT_EQ(Dir->State(), ifsNone);

    // A key longer than an archive keeps is refused by name, not cut short.
    const std::string Folder = Source / "a folder whose name alone is longer than most, making the path too long";
    WriteAll(Folder + "\\long.txt", "long");
    auto* Long = MakeFileIn(Form, Dir, "Long", "long.txt");
    Long->SetIncludeFromDir(Folder);
    Long->SetInclude(false); // only the include-all option takes it in
    ASSERT_GT(Long->SourcePath().size(), 100u);
    EXPECT_TRUE(Raises<IECustomInstallFile>(
        [&] { Dir->Compress(CompressOptions({coIncludeAll})); },
        "Cannot compress the following file because its path is longer than the 100 characters that an archive "
        "can hold. File is :" +
            Long->SourcePath()));
    // What the compress changed for the file is back.
    EXPECT_FALSE(Long->Include());
    EXPECT_EQ(Long->AddToArchive(), cmp_TWdrlCompress::lzcOverwrite);
    EXPECT_TRUE(Long->ArchiveFileType()->Is<cmp_TPathSpecifier::TpsContainerArchiveFile>());
    EXPECT_EQ(Long->State(), ifsNone);
    EXPECT_EQ(Dir->State(), ifsNone);
    EXPECT_EQ(ReadAll(Out / "dir.1"), "<missing>"); // nothing went in under a cut name

    // Left out, it does not stop the others.
    Dir->Compress(0);
    EXPECT_EQ(TArchive(Out / "dir.1").Count(), 1);
}

TEST(Compress, OptionsTakeInExcludedFilesAndSteerTheirArchives)
{
    TKeptOrderFile Order;
    TScratchDir Source("compress-src"), Out("compress-out");
    TOwnedForm Form;
    auto* Dir = DirectoryWithArchive(Form, "Dir", Out / "dir.1");
    auto* Kept = SourceFile(Form, Dir, "Kept", Source, "kept.txt", Content(500, 1));
    auto* Excluded = SourceFile(Form, Dir, "Excluded", Source, "excluded.txt", Content(700, 2));
    Excluded->SetInclude(false);
    Dir->Compress(0);
    EXPECT_EQ(TArchive(Out / "dir.1").Count(), 1);
    Dir->Compress(CompressOptions({coIncludeAll}));
    {
        TArchive Archive(Out / "dir.1");
        EXPECT_EQ(Archive.Count(), 2);
        EXPECT_EQ(Archive.Extracted(*Excluded), ReadAll(Source / "excluded.txt"));
    }
    EXPECT_FALSE(Excluded->Include());

    // A file that names no archive is appended to its container's when asked.
    auto* Unnamed = SourceFile(Form, Dir, "Unnamed", Source, "unnamed.txt", Content(300, 3));
    Unnamed->SetArchiveFileType(nullptr);
    EXPECT_TRUE(Raises<IECustomInstallFile>([&] { Dir->Compress(0); },
                                            "Cannot either compress or decompress the following file because it's "
                                            "archive file property is blank. File is :unnamed.txt"));
    Dir->Compress(CompressOptions({coMainToContainer}));
    {
        TArchive Archive(Out / "dir.1");
        EXPECT_EQ(Archive.Count(), 2);
        EXPECT_EQ(Archive.Extracted(*Unnamed), ReadAll(Source / "unnamed.txt"));
    }
    EXPECT_EQ(Unnamed->ArchiveFileType(), nullptr);
    EXPECT_EQ(Unnamed->ArchiveFile(), "");
    EXPECT_EQ(Unnamed->AddToArchive(), cmp_TWdrlCompress::lzcOverwrite);

    // A net file with an archive of its own: beside the container's archive
    // when asked, built anew each time; it needs a net location otherwise.
    Unnamed->SetNet(true);
    Unnamed->SetOverwriteMode(owVersion);
    EXPECT_THROW(Dir->Compress(CompressOptions({coMainToContainer})), IEFileRelated);
    const uint8_t Beside = CompressOptions({coMainToContainer, coNetBesideContainer});
    Dir->Compress(Beside);
    Dir->Compress(Beside);
    {
        TArchive Net(Out / "Unnamed.1");
        EXPECT_EQ(Net.Count(), 1);
        EXPECT_EQ(Net.Extracted(*Unnamed), ReadAll(Source / "unnamed.txt"));
        TArchive Local(Out / "dir.1");
        EXPECT_EQ(Local.Count(), 1);
        EXPECT_EQ(Local.KeyOf(Kept->UniqueID()), Kept->SourcePath());
    }
    EXPECT_EQ(Unnamed->CompressInfo().NetArchive, 1);
    EXPECT_EQ(Unnamed->CompressInfo().Archive, Out / "Unnamed.1");
    EXPECT_EQ(Unnamed->ArchiveFile(), "");
    // Forced local, it goes into the container's archive after all.
    Dir->Compress(CompressOptions({coMainToContainer, coForceNetFilesLocal}));
    EXPECT_EQ(TArchive(Out / "dir.1").KeyOf(Unnamed->UniqueID()), Unnamed->SourcePath());
}

TEST(CopyFiles, EachIncludedFileIsCopiedByteForByte)
{
    TScratchDir Source("copy-src"), Out("copy-out");
    TOwnedForm Form;
    auto* Root = MakeRootAt(Form, Out.Path());
    auto* Dir = Make<TReportingDirectory>(Form, "Dir");
    Dir->SetContainer(Root);
    Dir->SetDestDir("\\Sub");
    auto* Inner = Make<TInstallDirectory>(Form, "Inner");
    Inner->SetContainer(Dir);
    Inner->SetDestDir("\\Inner");
    SourceFile(Form, Dir, "A", Source, "a.bin", Content(20000, 1));
    auto* B = SourceFile(Form, Dir, "B", Source, "b.bin", Content(10, 2));
    auto* C = SourceFile(Form, Dir, "C", Source, "c.bin", Content(9000, 3));
    SourceFile(Form, Inner, "I", Source, "i.bin", Content(100, 4));
    B->SetInclude(false);
    int LastPercent = -1;
    C->OnStatus = [&](TCustomInstallFile*, int Percent, int) { LastPercent = Percent; };

    Dir->CopyFiles();
    EXPECT_EQ(ReadAll(Out / "Sub\\a.bin"), ReadAll(Source / "a.bin"));
    EXPECT_EQ(ReadAll(Out / "Sub\\c.bin"), ReadAll(Source / "c.bin"));
    EXPECT_EQ(ReadAll(Out / "Sub\\Inner\\i.bin"), ReadAll(Source / "i.bin"));
    EXPECT_EQ(ReadAll(Out / "Sub\\b.bin"), "<missing>"); // left out, and only it
    EXPECT_EQ(LastPercent, 100);
    // The inner directory's file reports through Dir as well.
    EXPECT_EQ(Dir->Count(1006), 4);
    EXPECT_EQ(Dir->Count(1007), 3);
    EXPECT_GE(Dir->Count(1010), 2);
    EXPECT_EQ(Dir->Codes.back(), 1013); // the inner directory's end
    EXPECT_EQ(Dir->State(), ifsNone);
    EXPECT_EQ(C->State(), ifsNone);
    // Alone, a left-out file ends with the silent abort.
    EXPECT_THROW(B->CopyToDestination(), fw_SysUtils::EAbort);
    EXPECT_EQ(B->State(), ifsNone);
}

} // namespace engine_tests
