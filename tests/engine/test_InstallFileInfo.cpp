// What an install file reads of its source file when the distribution is
// built: size, date and version, and whether it registers itself.
#include "EngineTestSupport.h"

#include "framework/fw_Handles.h"
#include "framework/fw_SysUtils.h"

#include <cmath>

namespace engine_tests {

namespace {

std::string Fixture(const std::string& Name) { return std::string(ARCHIVE_FIXTURE_DIR) + "\\" + Name; }

} // namespace

TEST(InstallFileInfo, SizeDateAndVersionOfTheSourceFile)
{
    TOwnedForm Form;
    auto* File = Make<TInstallFile>(Form, "InstallFile1");
    File->SetIncludeFromDir(ARCHIVE_FIXTURE_DIR);
    File->SetFileName("driver.dll");
    File->ReadInfoFromFiles();
    WIN32_FILE_ATTRIBUTE_DATA Seen;
    ASSERT_TRUE(GetFileAttributesExA(Fixture("driver.dll").c_str(), GetFileExInfoStandard, &Seen));
    EXPECT_EQ(File->Size(), int(Seen.nFileSizeLow));
    // The exact last-write time, not the packed 2-second form.
    EXPECT_LT(std::fabs(File->Date() - fw_SysUtils::FileTimeToDateTime(Seen.ftLastWriteTime)), 1.0 / 86400000);
    EXPECT_EQ(File->Version(), "1.2.3.4");

    // A file without a version resource has none; its size and date count.
    File->SetFileName("plain.dll");
    File->ReadInfoFromFiles();
    EXPECT_EQ(File->Version(), "");
    EXPECT_EQ(int64_t(File->Size()), fw_SysUtils::FileSizeByName(Fixture("plain.dll")));

    // A source that is locked against reading still gives its figures.
    test_support::TScratchDir Dir("fileinfo");
    ASSERT_TRUE(CopyFileA(Fixture("driver.dll").c_str(), (Dir / "locked.dll").c_str(), FALSE));
    fw_Handles::THandle Lock(CreateFileA((Dir / "locked.dll").c_str(), GENERIC_READ | GENERIC_WRITE,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
    File->SetIncludeFromDir(Dir.Path());
    File->SetFileName("locked.dll");
    File->ReadInfoFromFiles();
    EXPECT_EQ(File->Version(), "1.2.3.4");

    File->SetFileName("missing.dll");
    EXPECT_TRUE(Raises<exceptions_Wendrel::IException>(
        [&] { File->ReadInfoFromFiles(); },
        "Could not open or find the following file when trying to read the Size, Date, and Version :" +
            (Dir / "missing.dll")));
    EXPECT_EQ(File->Version(), "1.2.3.4"); // a failed read keeps what was known
}

TEST(InstallFileInfo, SelfRegisteringServersAreMarkedInTheirVersion)
{
    TOwnedForm Form;
    auto* File = Make<TInstallFile>(Form, "InstallFile1");
    File->SetIncludeFromDir(ARCHIVE_FIXTURE_DIR);
    for (const auto& [Name, Marked] : {std::pair<const char*, bool>{"selfreg.dll", true},
                                       {"driver.dll", false},
                                       {"plain.dll", false},
                                       {"missing.dll", false}}) {
        File->SetFileName(Name);
        EXPECT_EQ(File->HasOLESelfRegister(), Marked) << Name;
    }
}

TEST(InstallFileInfo, SharedLibrariesAreCountedUnderTheirShortOrLongName)
{
    test_support::TScratchDir Dir("shared");
    const std::string Folder = Dir / "Shared Library Folder";
    ASSERT_TRUE(fw_SysUtils::ForceDirectories(Folder));
    TOwnedForm Form;
    auto* Root = MakeRootAt(Form, Folder);
    auto* File = MakeFileIn(Form, Root, "InstallFile1", "Quorvane Shared Library.dll");
    const std::string Long = File->TargetPath();
    ASSERT_TRUE(CopyFileA(Fixture("driver.dll").c_str(), Long.c_str(), FALSE)); // the short form needs the file
    char ShortBuffer[MAX_PATH] = {};
    ASSERT_GT(GetShortPathNameA(Long.c_str(), ShortBuffer, MAX_PATH), 0u);
    const std::string Short = ShortBuffer;
    ASSERT_NE(Short, Long);

    const char* const Key = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
    auto Count = [&](const std::string& Name) {
        DWORD Value = 0, Size = sizeof Value;
        return RegGetValueA(HKEY_LOCAL_MACHINE, Key, Name.c_str(), RRF_RT_REG_DWORD, nullptr, &Value, &Size) ==
                       ERROR_SUCCESS
                   ? int(Value)
                   : -1;
    };
    struct TRemoved {
        std::vector<std::string> Names;
        ~TRemoved()
        {
            for (const std::string& Name : Names)
                RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs",
                                   Name.c_str());
        }
    } Removed{{Short, Long}};

    // A first installation counts under the long name, a second adds to it.
    EXPECT_TRUE(File->UpdateSharedDLLCount());
    EXPECT_EQ(Count(Long), 1);
    EXPECT_TRUE(File->UpdateSharedDLLCount());
    EXPECT_EQ(Count(Long), 2);
    EXPECT_EQ(Count(Short), -1);
    // A count that an older setup kept under the short name goes on there.
    const DWORD Five = 5;
    ASSERT_EQ(RegSetKeyValueA(HKEY_LOCAL_MACHINE, Key, Short.c_str(), REG_DWORD, &Five, sizeof Five), ERROR_SUCCESS);
    EXPECT_TRUE(File->UpdateSharedDLLCount());
    EXPECT_EQ(Count(Short), 6);
    EXPECT_EQ(Count(Long), 2);
}

namespace {

// An uninstall record of this process's own product, removed at the end.
struct TScratchUninstallKey {
    explicit TScratchUninstallKey(const std::string& Tag)
        : Raw("Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\WendrelTests-" + Tag +
              std::to_string(GetCurrentProcessId()))
    {
    }
    ~TScratchUninstallKey() { RegDeleteTreeA(HKEY_LOCAL_MACHINE, Raw.c_str()); }
    // A text value of the list Sub, or "<missing>".
    std::string Value(const std::string& Sub, const std::string& Name) const
    {
        char Buffer[MAX_PATH * 2] = {};
        DWORD Size = sizeof Buffer;
        return RegGetValueA(HKEY_LOCAL_MACHINE, (Raw + "\\" + Sub).c_str(), Name.c_str(), RRF_RT_REG_SZ, nullptr,
                            Buffer, &Size) == ERROR_SUCCESS
                   ? std::string(Buffer)
                   : std::string("<missing>");
    }
    LSTATUS Set(const std::string& Sub, const char* Name, const std::string& Text) const
    {
        return RegSetKeyValueA(HKEY_LOCAL_MACHINE, (Raw + "\\" + Sub).c_str(), Name, REG_SZ, Text.c_str(),
                               DWORD(Text.size() + 1));
    }
    const std::string Raw;
};

} // namespace

TEST(UninstallRecord, FilesAndServersAreListedForTheUninstaller)
{
    const TScratchUninstallKey Scratch("");
    const std::string& Raw = Scratch.Raw;
    auto Value = [&](const std::string& Sub, const std::string& Name) { return Scratch.Value(Sub, Name); };

    TOwnedForm Form;
    auto* Root = MakeRootAt(Form, "C:\\Program Files\\Pellunar\\Ombo\\Teskor");
    auto File = [&](const char* Name, const char* FileName, bool ActiveX) {
        auto* F = MakeFileIn(Form, Root, Name, FileName);
        F->SetActiveX(ActiveX);
        return F;
    };
    const std::string Key = "\\" + Raw;
    File("InstallFile1", "Ombo_Teskor.exe", false)->WriteUninstallInfo(Key);
    File("InstallFile2", "Ombo_Teskor.Hlp", false)->WriteUninstallInfo(Key);
    // A server becomes a system-wide library, in the system folder.
    auto* Server = File("InstallFile3", "Ombo_Server.exe", true);
    auto* Library = File("InstallFile4", "Ombo_Teskor_KH.dll", true);
    Server->WriteUninstallInfo(Key);
    Library->WriteUninstallInfo(Key);
    EXPECT_EQ(Value("Files", "File1"), "C:\\Program Files\\Pellunar\\Ombo\\Teskor\\Ombo_Teskor.exe");
    EXPECT_EQ(Value("Files", "File2"), "C:\\Program Files\\Pellunar\\Ombo\\Teskor\\Ombo_Teskor.Hlp");
    EXPECT_EQ(Value("Files", "Entries"), "2"); // a count kept as text
    EXPECT_EQ(Value("Files", "File3"), "<missing>");
    // Servers are listed apart, with whether they are programs.
    EXPECT_EQ(Value("ActiveX", "File1"), Server->TargetPath() + ";1");
    EXPECT_EQ(Value("ActiveX", "File2"), Library->TargetPath() + ";0");
    EXPECT_EQ(Value("ActiveX", "Entries"), "2");

    // A later installation (a rerun, or links sharing the list) goes on
    // counting from what the list says.
    ASSERT_EQ(RegSetKeyValueA(HKEY_LOCAL_MACHINE, (Raw + "\\Files").c_str(), "Entries", REG_SZ, "7", 2), ERROR_SUCCESS);
    static_cast<TInstallFile*>(Form->FindComponent("InstallFile1"))->WriteUninstallInfo(Key);
    EXPECT_EQ(Value("Files", "File8"), "C:\\Program Files\\Pellunar\\Ombo\\Teskor\\Ombo_Teskor.exe");
    EXPECT_EQ(Value("Files", "Entries"), "8");
}

TEST(UninstallRecord, ACountAtTheTopOfItsRangeEndsItsList)
{
    const TScratchUninstallKey Scratch("top-");
    const std::string& Raw = Scratch.Raw;
    auto Value = [&](const std::string& Sub, const std::string& Name) { return Scratch.Value(Sub, Name); };
    ASSERT_EQ(RegSetKeyValueA(HKEY_LOCAL_MACHINE, (Raw + "\\Files").c_str(), "Entries", REG_SZ, "2147483647", 11),
              ERROR_SUCCESS);
    const std::string Key = "\\" + Raw;
    // The entry after the largest count takes the next number, not a
    // negative one the uninstaller would never list.
    ASSERT_TRUE(AddUninstallFile(Key, "C:\\Quorvane\\a.txt"));
    EXPECT_EQ(Value("Files", "File2147483648"), "C:\\Quorvane\\a.txt");
    EXPECT_EQ(Value("Files", "Entries"), "2147483648");
    EXPECT_EQ(Value("Files", "File-2147483648"), "<missing>");
    // That count is no longer one: the next entry opens the next list.
    ASSERT_TRUE(AddUninstallFile(Key, "C:\\Quorvane\\b.txt"));
    EXPECT_EQ(Value("Files1", "File1"), "C:\\Quorvane\\b.txt");
    EXPECT_EQ(Value("Files", "Entries"), "2147483648");
}

TEST(UninstallRecord, ACountBehindTheListOverwritesNoEntry)
{
    const TScratchUninstallKey Scratch("behind-");
    const std::string& Raw = Scratch.Raw;
    auto Set = [&](const char* Name, const std::string& Text) { return Scratch.Set("Files", Name, Text); };
    auto Value = [&](const std::string& Name) { return Scratch.Value("Files", Name); };
    // Two entries whose count was left at one.
    ASSERT_EQ(Set("File1", "C:\\Quorvane\\a.txt"), ERROR_SUCCESS);
    ASSERT_EQ(Set("File2", "C:\\Quorvane\\b.txt"), ERROR_SUCCESS);
    ASSERT_EQ(Set("Entries", "1"), ERROR_SUCCESS);
    ASSERT_TRUE(AddUninstallFile("\\" + Raw, "C:\\Quorvane\\c.txt"));
    EXPECT_EQ(Value("File2"), "C:\\Quorvane\\b.txt");
    EXPECT_EQ(Value("File3"), "C:\\Quorvane\\c.txt");
    EXPECT_EQ(Value("Entries"), "3");
}

TEST(SelfRegistration, ServersRegisterThemselvesOrSayWhyNot)
{
    test_support::TScratchDir Dir("register");
    const std::string Folder = Dir / "Self Registering Servers";
    ASSERT_TRUE(fw_SysUtils::ForceDirectories(Folder));
    const std::string Fixtures = ENGINE_FIXTURE_DIR;
    for (const char* Name : {"regserver_ok.dll", "regserver_fail.dll", "run_marker.exe"})
        ASSERT_TRUE(CopyFileA((Fixtures + "\\" + Name).c_str(), (Folder + "\\" + Name).c_str(), FALSE)) << Name;
    ASSERT_TRUE(CopyFileA(Fixture("driver.dll").c_str(), (Folder + "\\plain.dll").c_str(), FALSE));
    TOwnedForm Form;
    auto* Root = MakeRootAt(Form, Folder);
    auto File = [&](const char* Name, const char* FileName) { return MakeFileIn(Form, Root, Name, FileName); };
    using exceptions_Wendrel::IException;

    File("Good", "regserver_ok.dll")->RegisterLibrary();
    EXPECT_TRUE(fw_SysUtils::FileExists(Folder + "\\regserver_ok.dll.registered"));
    EXPECT_TRUE(DeleteFileA((Folder + "\\regserver_ok.dll").c_str())) << "the library was not let go";

    EXPECT_TRUE(Raises<IException>([&] { File("Failing", "regserver_fail.dll")->RegisterLibrary(); },
                                   "Could not register the ActiveX component, " + Folder +
                                       "\\regserver_fail.dll, because the DllRegisterServer function returned a "
                                       "value of 7. The file component is Failing"));
    EXPECT_TRUE(DeleteFileA((Folder + "\\regserver_fail.dll").c_str())) << "the library was not let go";
    const std::string NoServer = MessageOf<IException>([&] { File("Plain", "plain.dll")->RegisterLibrary(); });
    EXPECT_EQ(NoServer.rfind("Could not register the ActiveX component, " + Folder +
                                 "\\plain.dll, because the DllRegisterServer function could not be found. The file "
                                 "component is Plain. The following value is the value of the GetLastError function: ",
                             0),
              0u)
        << NoServer;
    const std::string Missing =
        "Cannot compress,copy, or install the following file because it's destination directory is blank. File is "
        ":Missing";
    EXPECT_TRUE(Raises<IException>([&] { File("Missing", "missing.dll")->RegisterLibrary(); }, Missing));
    auto* Absent = static_cast<TInstallFile*>(Form->FindComponent("Missing"));
    EXPECT_TRUE(Raises<IException>([&] { Absent->RegisterExecutable(); }, Missing));

    // A server program is started with /REGSERVER, its path quoted.
    File("Program", "run_marker.exe")->RegisterExecutable();
    EXPECT_EQ(WaitForMarker(Folder + "\\run_marker.exe.ran"), "\"" + Folder + "\\run_marker.exe\" /REGSERVER");
}

} // namespace engine_tests
