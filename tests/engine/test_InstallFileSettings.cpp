// How the settings of an install file steer one another once the project
// has been read: the kind of file, its destination, overwrite rule and
// ActiveX mark, and the checks of a move to another container.
#include "EngineTestSupport.h"

namespace engine_tests {

namespace {

using cmp_TPathSpecifier::StandardPathSpecifiers;

template <class T>
T* Standard()
{
    return StandardPathSpecifiers().Find<T>();
}

// A node of the tree that is no file container.
class TNotAFileContainer : public TInstallObject {
    FW_CLASS(TNotAFileContainer, TInstallObject)

public:
    explicit TNotAFileContainer(TComponent* AOwner) : TInstallObject(AOwner) {}
    int RegisteredType() const override { return 9000; }
};

FW_DEFINE_CLASS(TNotAFileContainer, TInstallObject, nullptr, nullptr)

} // namespace

TEST(InstallFileSettings, TheKindOfFileDecidesItsPlaceAndRules)
{
    using namespace cmp_TPathSpecifier;
    TOwnedForm Form;
    auto* Root = MakeRootAt(Form, "C:\\Program Files\\Pellunar\\Ombo\\Teskor");
    auto* Dir = Make<TInstallDirectory>(Form, "Dir");
    Dir->SetContainer(Root);

    // A control is a self-registering, shared system library.
    auto* Control = MakeFileIn(Form, Dir, "Control", "Widget.ocx");
    EXPECT_TRUE(Control->ActiveX());
    EXPECT_EQ(Control->FileType(), iftSystemWideDLL);
    EXPECT_EQ(Control->OverwriteMode(), owVersionDate);
    EXPECT_TRUE(Control->UpdateDLLCounter());
    EXPECT_TRUE(Control->DestDirType()->Is<TpsSystem>());
    EXPECT_EQ(Control->DestDir(), "");
    EXPECT_EQ(Control->DestName(), "Widget.ocx");
    // Its place is fixed by its kind: another folder given later does not stick.
    Control->SetDestDir("\\Elsewhere");
    EXPECT_EQ(Control->DestDir(), "");
    EXPECT_TRUE(Control->DestDirType()->Is<TpsSystem>());

    // A library of the application lives below the main folder.
    auto* Library = MakeFileIn(Form, Dir, "Library", "Ombo_Teskor_KH.dll");
    EXPECT_EQ(Library->OverwriteMode(), owAlways);
    EXPECT_TRUE(Library->DestDirType()->Is<TpsContainerDestDir>());
    Library->SetFileType(iftApplicationSpecificDLL);
    EXPECT_EQ(Library->DestDir(), "\\System");
    EXPECT_TRUE(Library->DestDirType()->Is<TpsMainInstall>());
    EXPECT_EQ(Library->GetFullDestDir(), "C:\\Program Files\\Pellunar\\Ombo\\Teskor\\System");
    EXPECT_EQ(Library->OverwriteMode(), owVersionDate);
    EXPECT_FALSE(Library->UpdateDLLCounter());
    Library->SetFileType(iftVendorSharedDLL);
    EXPECT_TRUE(Library->DestDirType()->Is<TpsCommonFiles>());
    EXPECT_EQ(Library->DestDir(), "\\System");
    EXPECT_TRUE(Library->UpdateDLLCounter());

    // A program put into the Windows folder is replaced only by a newer one;
    // one put into the system folder becomes a system library.
    auto* Program = MakeFileIn(Form, Dir, "Program", "Ombo_Teskor.exe");
    Program->SetDestDirType(Standard<TpsWindow>());
    EXPECT_EQ(Program->OverwriteMode(), owVersionDate);
    EXPECT_EQ(Program->FileType(), iftNormal);
    EXPECT_TRUE(Program->DestDirType()->Is<TpsWindow>());
    Program->SetDestDirType(Standard<TpsSystem>());
    EXPECT_EQ(Program->FileType(), iftSystemWideDLL);
    EXPECT_TRUE(Program->UpdateDLLCounter());
    // A data file keeps its rule wherever it goes.
    auto* Data = MakeFileIn(Form, Dir, "Data", "Ombo_Teskor.GID");
    Data->SetDestDirType(Standard<TpsWindow>());
    EXPECT_EQ(Data->OverwriteMode(), owAlways);
    Data->SetDestDir("\\Quorvane");
    EXPECT_EQ(Data->DestDir(), "\\Quorvane");

    // Help files register as help; the mark follows the name.
    auto* Help = MakeFileIn(Form, Dir, "Help", "Ombo_Teskor.Hlp");
    EXPECT_TRUE(Help->RegisterAsHelp());
    Help->SetFileName("Ombo_Teskor.cnt");
    EXPECT_TRUE(Help->RegisterAsHelp());
    EXPECT_EQ(Help->DestName(), "Ombo_Teskor.cnt");
    Help->SetDestName("Contents.cnt"); // a name of its own stays until the source name changes
    Help->SetIncludeFromDir("C:\\Sources");
    EXPECT_EQ(Help->DestName(), "Contents.cnt");
    Help->SetFileName("Readme.txt");
    EXPECT_FALSE(Help->RegisterAsHelp());
    EXPECT_EQ(Help->DestName(), "Readme.txt");
    Help->SetFileName(" ");
    EXPECT_EQ(Help->DestName(), "Readme.txt"); // a blank name names nothing

    // A library that says it registers itself is an ActiveX server.
    auto* Server = MakeFileIn(Form, Dir, "Server", "selfreg.dll");
    EXPECT_FALSE(Server->ActiveX()); // not found where it is looked for yet
    Server->SetIncludeFromDir(ARCHIVE_FIXTURE_DIR);
    EXPECT_TRUE(Server->ActiveX());
    EXPECT_EQ(Server->FileType(), iftSystemWideDLL);
    auto* Plain = MakeFileIn(Form, Dir, "Plain", "driver.dll");
    Plain->SetIncludeFromDir(ARCHIVE_FIXTURE_DIR);
    EXPECT_FALSE(Plain->ActiveX());
    EXPECT_EQ(Plain->FileType(), iftNormal);
    // Marking one by hand makes it one too.
    Plain->SetActiveX(true);
    EXPECT_EQ(Plain->FileType(), iftSystemWideDLL);
}

TEST(InstallFileSettings, WhileAProjectIsReadTheSettersOnlyStore)
{
    TOwnedForm Form;
    ReadProject(Form.get(), R"(object Form1: TForm
  object Dir: TInstallDirectory
  end
  object Control: TInstallFile
    Container = Dir
    DestDir = '\Controls'
    DestName = 'Other.ocx'
    FileName = 'Widget.ocx'
    OverwriteMode = owNever
  end
end
)");
    auto* Control = static_cast<TInstallFile*>(Form->FindComponent("Control"));
    ASSERT_NE(Control, nullptr);
    EXPECT_FALSE(Control->ActiveX());
    EXPECT_EQ(Control->FileType(), iftNormal);
    EXPECT_EQ(Control->OverwriteMode(), owNever);
    EXPECT_EQ(Control->DestName(), "Other.ocx");
    EXPECT_EQ(Control->DestDir(), "\\Controls");
}

TEST(InstallFileSettings, ARefusedMoveOrRenameChangesNothing)
{
    TOwnedForm Form;
    auto* Root = MakeRootAt(Form, "C:\\Quorvane");
    auto* First = Make<TInstallDirectory>(Form, "First");
    auto* Second = Make<TInstallDirectory>(Form, "Second");
    First->SetContainer(Root);
    Second->SetContainer(Root);
    auto* Settled = MakeFileIn(Form, First, "Settled", "Ombo_Teskor.exe");
    Settled->SetIncludeFromDir("C:\\Payload");
    auto* Mover = MakeFileIn(Form, Second, "Mover", "OMBO_TESKOR.EXE");
    Mover->SetIncludeFromDir("c:\\payload");
    Mover->SetDestDir("\\Bin");
    Mover->SetFileType(iftApplicationSpecificDLL);
    const std::string DestDirBefore = Mover->GetFullDestDir();

    EXPECT_TRUE(Raises<IEfcDuplicateFile>([&] { Mover->SetContainer(First); },
                                          "There is already a file with the name :c:\\payload\\OMBO_TESKOR.EXE"));
    EXPECT_EQ(Mover->Container(), Second);
    EXPECT_TRUE(Second->HasHelper(Mover));
    EXPECT_FALSE(First->HasHelper(Mover));
    EXPECT_EQ(First->FileCount(), 1);
    EXPECT_EQ(Mover->GetFullDestDir(), DestDirBefore);
    EXPECT_EQ(Mover->FileType(), iftApplicationSpecificDLL);

    // Renamed into the name of a neighbour: refused as well.
    auto* Neighbour = MakeFileIn(Form, Second, "Neighbour", "Ombo_Teskor_SD.exe");
    Neighbour->SetIncludeFromDir("C:\\Payload");
    EXPECT_TRUE(Raises<IEfcDuplicateFile>([&] { Neighbour->SetFileName("ombo_teskor.exe"); },
                                          "There is already a file with the name :C:\\Payload\\ombo_teskor.exe"));
    EXPECT_EQ(Neighbour->FileName(), "Ombo_Teskor_SD.exe");
    EXPECT_EQ(Neighbour->DestName(), "Ombo_Teskor_SD.exe");
    // A file may change the case of its own name.
    Settled->SetFileName("OMBO_TESKOR.EXE");
    EXPECT_EQ(Settled->FileName(), "OMBO_TESKOR.EXE");

    // Only file containers hold files.
    auto* Other = Make<TNotAFileContainer>(Form, "Other");
    EXPECT_TRUE(Raises<IECustomInstallFile>([&] { Settled->SetContainer(Other); },
                                            "The following TInstallFile component Settled requires the Container "
                                            "property to be a component descended from the TFileContainer component"));
    EXPECT_EQ(Settled->Container(), First);
    EXPECT_EQ(Other->HelperCount(), 0);

    // An accepted move takes the new container's folder and archive and
    // keeps the file's own subfolder.
    Mover->SetFileType(iftNormal);
    Mover->SetDestDir("\\Bin");
    Mover->SetFileName("Ombo_Teskor_KH.dll");
    Mover->SetContainer(First);
    EXPECT_EQ(Mover->Container(), First);
    EXPECT_FALSE(Second->HasHelper(Mover));
    EXPECT_TRUE(Mover->DestDirType()->Is<cmp_TPathSpecifier::TpsContainerDestDir>());
    EXPECT_TRUE(Mover->ArchiveFileType()->Is<cmp_TPathSpecifier::TpsContainerArchiveFile>());
    EXPECT_EQ(Mover->GetFullDestDir(), "C:\\Quorvane\\Bin");
}

} // namespace engine_tests
