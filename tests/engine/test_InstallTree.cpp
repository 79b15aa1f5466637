#include "EngineTestSupport.h"

#include <vector>

namespace engine_tests {

namespace {

// A helper that answers information codes and notes when it is processed.
class TProbe : public TInstallObject {
    FW_CLASS(TProbe, TInstallObject)

public:
    explicit TProbe(TComponent* AOwner) : TInstallObject(AOwner) { FAutoProcess = true; }
    int RegisteredType() const override { return 8500; }
    void HandleInformation(TObject* Sender, int Code, TObject* Param) override
    {
        Codes.push_back(Code);
        if (OnInformation)
            OnInformation();
    }
    void InstallObjects() override
    {
        ++Installed;
        if (OnInstall)
            OnInstall();
        inherited::InstallObjects();
    }
    std::vector<int> Codes;
    int Installed = 0;
    std::function<void()> OnInstall, OnInformation;
};

FW_DEFINE_CLASS(TProbe, TInstallObject, nullptr, nullptr)

// A directory whose install fails half-way.
class TFailingDirectory : public TInstallDirectory {
    FW_CLASS(TFailingDirectory, TInstallDirectory)

public:
    explicit TFailingDirectory(TComponent* AOwner) : TInstallDirectory(AOwner) {}
    void InstallObjects() override
    {
        FState = ifsInstall;
        throw IEFileContainer("Disk gone");
    }
};

FW_DEFINE_CLASS(TFailingDirectory, TInstallDirectory, nullptr, nullptr)

std::vector<std::string> HelperNames(TInstallContainer* C)
{
    std::vector<std::string> Names;
    for (int I = 0; I < C->HelperCount(); ++I)
        Names.push_back(C->Helpers(I)->Name());
    return Names;
}

} // namespace

TEST(InstallTree, HelpersSortByTypeThenReverseAttachment)
{
    TOwnedForm Form;
    auto* Root = Make<TInstall>(Form, "Install1");
    auto* Dir1 = Make<TInstallDirectory>(Form, "Dir1");
    auto* Probe = Make<TProbe>(Form, "Probe");
    auto* Dir2 = Make<TInstallDirectory>(Form, "Dir2");
    auto* Group = Make<TInstallGroup>(Form, "Group");
    Dir1->SetContainer(Root);
    Probe->SetContainer(Root);
    Dir2->SetContainer(Root);
    Group->SetContainer(Root);
    EXPECT_EQ(HelperNames(Root), (std::vector<std::string>{"Group", "Dir2", "Dir1", "Probe"}));

    for (const char* Name : {"A", "B", "C"}) {
        auto* File = Make<TInstallFile>(Form, Name);
        File->SetFileName(Name);
        File->SetContainer(Dir1);
    }
    EXPECT_EQ(HelperNames(Dir1), (std::vector<std::string>{"C", "B", "A"}));
    EXPECT_EQ(Dir1->FileCount(), 3);
    EXPECT_EQ(Root->FileContainerCount(), 3); // groups are file containers too
    EXPECT_EQ(Root->CompCount(&TCustomInstallGroup::StaticClass()), 1);
    EXPECT_EQ(Root->Comp(1, &TFileContainer::StaticClass()), Dir2);

    // A node attached to a container takes the container's folder and archive.
    EXPECT_TRUE(Dir1->DestDirType()->Is<cmp_TPathSpecifier::TpsContainerDestDir>());
    EXPECT_TRUE(Dir1->ArchiveFileType()->Is<cmp_TPathSpecifier::TpsContainerArchiveFile>());
    EXPECT_EQ(Dir1->Files(0)->GetFullDestDir(), Root->GetFullDestDir());
    // The queries read without changing anything, so they answer on a const node.
    const TFileContainer& Queried = *Dir1;
    EXPECT_EQ(Queried.GetFullDestDir(), Root->GetFullDestDir());
    EXPECT_EQ(Queried.GetTotalSize(true), 0);
    EXPECT_EQ(Queried.GetCompressedSize(true), 0);
    EXPECT_FALSE(Queried.NeedsDownload());
    EXPECT_EQ(Queried.Files(0)->TargetPath(), Root->GetFullDestDir() + "\\C"); // named after its source

    EXPECT_EQ(MessageOf<IEInstallContainer>([&] { Root->Comp(3, &TFileContainer::StaticClass()); }),
              "Bad call to the Comp procedure which returns a TInstallObject for a TInstallContainer component. The "
              "parameters are probably reversed. Index: 3, ComponentType: 1000");
    EXPECT_EQ(MessageOf<IEInstallContainer>([&] { Root->Helpers(4); }),
              "Tried to reference a helper component in the following component: Install1. The following index was "
              "used: 4");
    EXPECT_EQ(MessageOf<IEInstallContainer>([&] { Root->AddObject(nullptr); }),
              "Cannot add a blank base helper component to Install1");
    EXPECT_EQ(MessageOf<IEInstallContainer>([&] { TInstallContainer(nullptr).RegisteredType(); }),
              "Class must declare a registered type");
}

TEST(InstallTree, RefusedContainmentLeavesTreeAsItWas)
{
    TOwnedForm Form;
    auto* Root = Make<TInstall>(Form, "Install1");
    auto* Outer = Make<TInstallGroup>(Form, "Outer");
    auto* Inner = Make<TInstallGroup>(Form, "Inner");
    auto* Dir = Make<TInstallDirectory>(Form, "Dir");
    auto* Probe = Make<TProbe>(Form, "Probe");
    Outer->SetContainer(Root);
    Inner->SetContainer(Outer);
    Dir->SetContainer(Inner);
    Probe->SetContainer(Root);
    const auto Before = std::vector{HelperNames(Root), HelperNames(Outer), HelperNames(Inner)};
    auto Unchanged = [&] {
        EXPECT_EQ((std::vector{HelperNames(Root), HelperNames(Outer), HelperNames(Inner)}), Before);
        EXPECT_EQ(Outer->Container(), Root);
        EXPECT_EQ(Inner->Container(), Outer);
    };

    EXPECT_EQ(MessageOf<IEInstallContainer>([&] { Outer->SetContainer(Inner); }), "Circular reference");
    Unchanged();
    EXPECT_EQ(MessageOf<IEInstallContainer>([&] { Outer->SetContainer(Outer); }), "Circular reference");
    Unchanged();
    EXPECT_EQ(MessageOf<IEInstallGroup>([&] { Inner->SetContainer(Dir); }),
              "A TInstallGroup component can only be contained by a TInstall, or another TInstallGroup component");
    Unchanged();

    auto* File = Make<TInstallFile>(Form, "File");
    File->SetIncludeFromDir("C:\\Src");
    File->SetFileName("a.exe");
    File->SetContainer(Dir);
    EXPECT_EQ(MessageOf<IECustomInstallFile>([&] { File->SetContainer(Probe); }),
              "The following TInstallFile component File requires the Container property to be a component descended "
              "from the TFileContainer component");
    auto* Twin = Make<TInstallFile>(Form, "Twin");
    Twin->SetIncludeFromDir("c:\\src");
    Twin->SetFileName("A.EXE");
    Twin->SetContainer(Inner);
    EXPECT_EQ(MessageOf<IEfcDuplicateFile>([&] { Twin->SetContainer(Dir); }),
              "There is already a file with the name :c:\\src\\A.EXE");
    EXPECT_EQ(Twin->Container(), Inner);
    EXPECT_EQ(HelperNames(Dir), std::vector<std::string>{"File"});
}

TEST(InstallTree, MovedFilesKeepTheirSubfolderOrTheirKindsPlace)
{
    TOwnedForm Form;
    auto* Root = Make<TInstall>(Form, "Install1");
    Root->SetDestDir("\\Pellunar");
    auto* First = Make<TInstallDirectory>(Form, "First");
    auto* Second = Make<TInstallDirectory>(Form, "Second");
    First->SetContainer(Root);
    Second->SetContainer(Root);
    Second->SetDestDir("\\Other");

    auto* File = Make<TInstallFile>(Form, "File");
    File->SetFileName("a.exe");
    File->SetContainer(First);
    File->SetDestDir("\\Bin");
    File->SetContainer(Second);
    EXPECT_EQ(File->DestDir(), "\\Bin");
    EXPECT_TRUE(File->DestDirType()->Is<cmp_TPathSpecifier::TpsContainerDestDir>());
    EXPECT_EQ(File->GetFullDestDir(), Root->GetFullDestDir() + "\\Other\\Bin");
    File->SetContainer(nullptr);
    EXPECT_EQ(File->DestDirType(), nullptr);
    EXPECT_EQ(File->DestDir(), "\\Bin");

    struct TKind {
        TInstallFileType Type;
        const char* Specifier;
        const char* DestDir;
    };
    for (const TKind& K :
         {TKind{iftApplicationSpecificDLL, "psMainInstall", "\\System"},
          TKind{iftVendorSharedDLL, "psCommonFiles", "\\System"}, TKind{iftSystemWideDLL, "psSystem", ""}}) {
        auto* Dll = Make<TInstallFile>(Form, std::string("Dll") + K.Specifier);
        Dll->SetFileName(std::string(K.Specifier) + ".dll");
        Dll->SetFileType(K.Type);
        Dll->SetDestDir("\\Mine");
        Dll->SetContainer(First);
        EXPECT_EQ(Dll->DestDirType(), Form->FindComponent(K.Specifier)) << K.Specifier;
        EXPECT_EQ(Dll->DestDir(), K.DestDir) << K.Specifier;
    }

    // Without a root the main-install place cannot be had: the move is refused.
    auto* Loose = Make<TInstallDirectory>(Form, "Loose");
    auto* Dll = static_cast<TInstallFile*>(Form->FindComponent("DllpsMainInstall"));
    delete Root;
    EXPECT_EQ(MessageOf<cmp_TPathSpecifier::IEPathSpecifier>([&] { Dll->SetContainer(Loose); }),
              "There is no TInstall component so the path specifier could not be expanded for DllpsMainInstall");
    EXPECT_EQ(Dll->Container(), First);
    EXPECT_EQ(Loose->HelperCount(), 0);
}

TEST(InstallTree, DestroyedNodesLeaveTheTree)
{
    TOwnedForm Form;
    auto* Root = Make<TInstall>(Form, "Install1");
    auto* Outer = Make<TInstallGroup>(Form, "Outer");
    auto* Inner = Make<TInstallGroup>(Form, "Inner");
    auto* Dir = Make<TInstallDirectory>(Form, "Dir");
    auto* Kept = Make<TInstallDirectory>(Form, "Kept");
    Outer->SetContainer(Root);
    Inner->SetContainer(Outer);
    Dir->SetContainer(Outer);
    Kept->SetContainer(Outer);
    const int FilesBefore = AllInstallFiles().Count();
    for (const char* Name : {"F1", "F2"}) {
        auto* File = Make<TInstallFile>(Form, Name);
        File->SetFileName(Name);
        File->SetContainer(Dir);
    }
    EXPECT_EQ(AllInstallFiles().Count(), FilesBefore + 2);

    delete Dir; // frees its files
    EXPECT_EQ(HelperNames(Outer), (std::vector<std::string>{"Inner", "Kept"}));
    EXPECT_EQ(AllInstallFiles().Count(), FilesBefore);
    EXPECT_EQ(Form->FindComponent("F1"), nullptr);

    delete Outer; // a group goes to the root, a directory stays loose
    EXPECT_EQ(Inner->Container(), Root);
    EXPECT_EQ(Kept->Container(), nullptr);
    EXPECT_EQ(Kept->DestDirType(), nullptr);
    EXPECT_EQ(HelperNames(Root), std::vector<std::string>{"Inner"});

    // A removed path specifier leaves no dangling reference.
    delete Form->FindComponent("psContainerDestDir");
    EXPECT_EQ(Inner->DestDirType(), nullptr);
    EXPECT_EQ(Inner->GetFullDestDir(), "");
}

TEST(InstallTree, GroupDialogOptionsTravelWithTheProject)
{
    // A 1 by 1 pixel, 24 bits per pixel .bmp file.
    const std::vector<uint8_t> Icon = {'B', 'M', 58, 0, 0, 0, 0, 0, 0,  0, 54, 0, 0, 0, 40, 0, 0, 0, 1, 0,
                                       0,   0,   1,  0, 0, 0, 1, 0, 24, 0, 0,  0, 0, 0, 4,  0, 0, 0, 0, 0,
                                       0,   0,   0,  0, 0, 0, 0, 0, 0,  0, 0,  0, 0, 0, 9,  8, 7, 0};
    std::string Text;
    {
        TOwnedForm Form;
        Form->SetName("Setup");
        auto* Group = Make<TInstallGroup>(Form, "Group");
        TInstallGroupDialogOptions Options;
        Options.AllowChangeDir = false;
        Options.Description.SetVector({"Teskor", "files"});
        Options.SmallIcon.Bitmap().SetData(Icon);
        Group->SetDialogOptions(&Options);
        EXPECT_EQ(Group->DialogOptions()->SmallIcon.Bitmap().Data(), Icon);
        Text = fw_Reader::WriteComponentText(Form.get());
    }
    TOwnedForm Form;
    ReadProject(Form.get(), Text);
    auto* Group = static_cast<TInstallGroup*>(Form->FindComponent("Group"));
    ASSERT_NE(Group, nullptr);
    EXPECT_FALSE(Group->DialogOptions()->AllowChangeDir);
    EXPECT_TRUE(Group->DialogOptions()->AllowExcludeInclude);
    EXPECT_EQ(Group->DialogOptions()->Description.ToVector(), (std::vector<std::string>{"Teskor", "files"}));
    EXPECT_EQ(Group->DialogOptions()->SmallIcon.Bitmap().Data(), Icon);
}

TEST(InstallTree, IncludeAndInstallTypeFilter)
{
    TOwnedForm Form;
    auto* Root = Make<TInstall>(Form, "Install1");
    auto* Dir = Make<TInstallDirectory>(Form, "Dir");
    auto* Probe = Make<TProbe>(Form, "Probe");
    Dir->SetContainer(Root);
    Probe->SetContainer(Dir);
    Dir->SetInstallTypes(TInstallTypeSet{itFull});
    int AfterProcess = 0;
    Dir->OnAfterProcess = [&](TInstallContainer*) { ++AfterProcess; };

    Root->SetInstallType(itCompact);
    EXPECT_EQ(Probe->InstallType(), itCompact);
    EXPECT_FALSE(Dir->WillInstall());
    Dir->Process();
    EXPECT_EQ(Probe->Codes, (std::vector<int>{-990, -999}));
    EXPECT_EQ(Probe->Installed, 0);
    EXPECT_EQ(AfterProcess, 0);
    EXPECT_FALSE(Dir->ProcessStarted());

    Probe->Codes.clear();
    Root->SetInstallType(itCustom);
    EXPECT_TRUE(Dir->WillInstall());
    Dir->Process();
    // A file container also tells its helpers where its install starts and ends.
    EXPECT_EQ(Probe->Codes, (std::vector<int>{-990, -999, -992, -996, -989}));
    EXPECT_EQ(Probe->Installed, 1);
    EXPECT_EQ(AfterProcess, 1);
    EXPECT_TRUE(Dir->ProcessStarted());

    Probe->Codes.clear();
    Dir->SetInclude(false);
    EXPECT_FALSE(Dir->WillInstall());
    Dir->Process();
    EXPECT_EQ(Probe->Codes, std::vector<int>{-990});
    EXPECT_EQ(Probe->Installed, 1);

    Dir->SetInstallTypes(TInstallTypeSet{});
    EXPECT_EQ(Dir->InstallTypes(), TInstallTypeSet{itFull});

    Probe->Codes.clear();
    Dir->DisplayMessage("Copying");
    Dir->ClearMessage();
    EXPECT_EQ(Probe->Codes, (std::vector<int>{-974, -973}));
}

TEST(InstallTree, ExecuteLeavesTheContainerIdleAlsoAfterAFailure)
{
    TOwnedForm Form;
    auto* Dir = Make<TFailingDirectory>(Form, "Dir");
    EXPECT_EQ(MessageOf<IEFileContainer>([&] { Dir->Execute(ifsInstall); }), "Disk gone");
    EXPECT_EQ(Dir->State(), ifsNone);
}

TEST(InstallTree, ListsAndUniqueIDs)
{
    EXPECT_EQ(MessageOf<IEContainerList>([] { AllInstallContainers().Add(nullptr); }),
              "Cannot add a blank entry to the TInstallContainerList object");
    EXPECT_EQ(MessageOf<IECustomInstallFileList>([] { AllInstallFiles().Add(nullptr); }),
              "Cannot add a blank entry to the TCustomInstallFileList object");

    TOwnedForm Form;
    auto* Dir = Make<TInstallDirectory>(Form, "Dir");
    const int Containers = AllInstallContainers().Count();
    auto* Plain = Make<TInstallFile>(Form, "Plain");
    EXPECT_EQ(AllInstallContainers().Count(), Containers + 1);
    EXPECT_TRUE(UniqueIDTaken(Plain->UniqueID()));

    // A project's stored numbers replace those taken at creation.
    ReadProject(Form.get(), R"(object Stored: TForm
  object F5: TInstallFile
    Container = Dir
    FileName = 'five.txt'
    UniqueID = 5
  end
  object F9: TInstallFile
    Container = Dir
    FileName = 'nine.txt'
    UniqueID = 9
  end
end)");
    auto* F5 = static_cast<TCustomInstallFile*>(Form->FindComponent("F5"));
    EXPECT_EQ(F5->UniqueID(), 5);
    EXPECT_TRUE(UniqueIDTaken(5));
    EXPECT_TRUE(UniqueIDTaken(9));
    EXPECT_TRUE(UniqueIDTaken(Plain->UniqueID())); // a file of before the read keeps its number
    EXPECT_EQ(Dir->FileCount(), 2);
    EXPECT_EQ(F5->Container(), Dir);
    delete F5;
    EXPECT_FALSE(UniqueIDTaken(5));
    const int PlainID = Plain->UniqueID();
    delete Plain;
    EXPECT_FALSE(UniqueIDTaken(PlainID));

    // When every number is taken a new file keeps 0 without owning its flag.
    int Free = 0;
    for (int N = 0; N < UniqueIDCount; ++N)
        Free += UniqueIDTaken(N) ? 0 : 1;
    TCustomInstallFile* HolderOfZero = UniqueIDTaken(0) ? nullptr : Make<TInstallFile>(Form, "Zero");
    for (int I = HolderOfZero ? 1 : 0; I < Free; ++I)
        new TInstallFile(Form.get());
    for (int N = 0; N < UniqueIDCount; ++N)
        ASSERT_TRUE(UniqueIDTaken(N)) << N;
    auto* Extra = new TInstallFile(Form.get());
    EXPECT_EQ(Extra->UniqueID(), 0);
    delete Extra;
    EXPECT_TRUE(UniqueIDTaken(0)); // still the first file's
    if (HolderOfZero) {
        delete HolderOfZero;
        EXPECT_FALSE(UniqueIDTaken(0));
    }
}

TEST(InstallTree, AHandlerMayFreeALaterSiblingDuringTheWalk)
{
    TOwnedForm Form;
    auto* Dir = Make<TInstallDirectory>(Form, "Dir");
    std::vector<std::string> Reached;
    auto Add = [&](const std::string& Name) {
        auto* P = Make<TProbe>(Form, Name);
        P->SetContainer(Dir);
        P->OnInstall = [&Reached, Name] { Reached.push_back(Name); };
        P->OnInformation = [&Reached, Name] { Reached.push_back(Name); };
        return P;
    };
    // Later attachments come first: the order is First, Second, Third.
    auto* Third = Add("Third");
    auto* Second = Add("Second");
    auto* First = Add("First");
    ASSERT_EQ(Dir->Helpers(0), First);
    First->OnInstall = [&] {
        Reached.push_back("First");
        delete Second;
    };
    Dir->TInstallContainer::InstallObjects(); // the walk alone, without the container's codes
    EXPECT_EQ(Reached, (std::vector<std::string>{"First", "Third"}));

    Reached.clear();
    Third->Codes.clear();
    auto* Again = Add("Again"); // now first
    Again->OnInformation = [&] {
        Reached.push_back("Again");
        delete First;
    };
    Dir->ClearMessage();
    EXPECT_EQ(Reached, (std::vector<std::string>{"Again", "Third"}));
    EXPECT_EQ(Third->Codes, std::vector<int>{icClearMessage});
}

TEST(InstallTree, ObjectsMadeWhileDesigningJoinTheRoot)
{
    {
        TOwnedForm Form;
        Form->SetDesigning(true);
        auto* Root = Make<TInstall>(Form, "Install1");
        auto* Group = Make<TInstallGroup>(Form, "Group");
        auto* Dir = Make<TInstallDirectory>(Form, "Dir");
        auto* File = Make<TInstallFile>(Form, "File");
        for (TInstallObject* Obj : std::vector<TInstallObject*>{Group, Dir, File}) {
            EXPECT_EQ(Obj->Container(), Root) << Obj->Name();
            EXPECT_EQ(Obj->DestDirType(), Form->FindComponent("psContainerDestDir")) << Obj->Name();
            EXPECT_EQ(static_cast<TFileRelated*>(Obj)->ArchiveFileType(), Form->FindComponent("psContainerArchiveFile"))
                << Obj->Name();
        }
        // Sorted by registered type: the group, the directory, then the file.
        EXPECT_EQ(HelperNames(Root), (std::vector<std::string>{"Group", "Dir", "File"}));
        EXPECT_EQ(Dir->Description(), "Install Directory 3"); // the root and the group are file containers too
    }

    // Read from a project, the defaults stand only where the project names them.
    TOwnedForm Designed;
    Designed->SetDesigning(true);
    ReadProject(Designed.get(), R"(object Setup: TForm
  object psContainerDestDir: TpsContainerDestDir
  end
  object psContainerArchiveFile: TpsContainerArchiveFile
  end
  object Install2: TInstall
  end
  object Loose: TInstallDirectory
  end
  object Kept: TInstallDirectory
    ArchiveFileType = psContainerArchiveFile
    Container = Install2
    DestDirType = psContainerDestDir
  end
end)");
    auto* Loose = static_cast<TInstallDirectory*>(Designed->FindComponent("Loose"));
    auto* Kept = static_cast<TInstallDirectory*>(Designed->FindComponent("Kept"));
    EXPECT_EQ(Loose->Container(), nullptr);
    EXPECT_EQ(Loose->DestDirType(), nullptr);
    EXPECT_EQ(Loose->ArchiveFileType(), nullptr);
    EXPECT_EQ(Kept->Container(), Designed->FindComponent("Install2"));
    EXPECT_EQ(Kept->DestDirType(), Designed->FindComponent("psContainerDestDir"));
    EXPECT_EQ(Kept->ArchiveFileType(), Designed->FindComponent("psContainerArchiveFile"));
}

} // namespace engine_tests
