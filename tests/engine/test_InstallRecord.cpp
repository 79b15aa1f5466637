// The install record of a setup program and the work it keeps for after a
// restart, read back from the registry as the system shows it.
#include "EngineTestSupport.h"

#include "framework/fw_Handles.h"
#include "framework/fw_SysUtils.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace engine_tests {

namespace {

const char* const Records = "SOFTWARE\\Wendrel\\Install";
const char* const RunOnce = "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
const char* const NoRecord = "The TInstall could not either write or read unfinished business from the registry";

bool KeyExists(const std::string& Key)
{
    fw_Handles::TRegKey K;
    return RegOpenKeyExA(HKEY_LOCAL_MACHINE, Key.c_str(), 0, KEY_READ, K.Receive()) == ERROR_SUCCESS;
}

// The raw bytes of a value ("" and false when it is missing).
bool RawValue(const std::string& Key, const std::string& Name, DWORD& Type, std::string& Data)
{
    char Buffer[1024];
    DWORD Size = sizeof Buffer;
    if (RegGetValueA(HKEY_LOCAL_MACHINE, Key.c_str(), Name.c_str(), RRF_RT_ANY | RRF_NOEXPAND, &Type, Buffer, &Size) !=
        ERROR_SUCCESS)
        return false;
    Data.assign(Buffer, Size);
    return true;
}

std::string StringValue(const std::string& Key, const std::string& Name)
{
    DWORD Type = 0;
    std::string Data;
    if (!RawValue(Key, Name, Type, Data) || Type != REG_SZ)
        return "<missing>";
    return Data.c_str();
}

double DateValue(const std::string& Key, const std::string& Name)
{
    DWORD Type = 0;
    std::string Data;
    double D = -1;
    if (RawValue(Key, Name, Type, Data) && Data.size() == sizeof D)
        std::memcpy(&D, Data.data(), sizeof D);
    return D;
}

// The machine's install records as this test found them, put back at its end.
struct TRecordsRestored {
    TRecordsRestored() { RegDeleteTreeA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Wendrel"); }
    ~TRecordsRestored() { RegDeleteTreeA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Wendrel"); }
    THookGuard<std::string> Key{cmp_TInstallContainer::InstallKey, ""};
    THookGuard<fw_SysUtils::TDateTime> Start{cmp_TInstall::RunStart, cmp_TInstall::RunStart};
};

// The RunOnce values a test added, removed at its end.
struct TRunOnceRestored {
    std::vector<std::string> Before = Names();
    ~TRunOnceRestored()
    {
        fw_Handles::TRegKey K;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, RunOnce, 0, KEY_ALL_ACCESS, K.Receive()) != ERROR_SUCCESS)
            return;
        for (const std::string& Name : Names())
            if (std::find(Before.begin(), Before.end(), Name) == Before.end())
                RegDeleteValueA(K.Get(), Name.c_str());
    }
    static std::vector<std::string> Names()
    {
        std::vector<std::string> Result;
        fw_Handles::TRegKey K;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, RunOnce, 0, KEY_READ, K.Receive()) != ERROR_SUCCESS)
            return Result;
        char Name[256];
        for (DWORD I = 0;; ++I) {
            DWORD Size = sizeof Name;
            if (RegEnumValueA(K.Get(), I, Name, &Size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
                break;
            Result.push_back(Name);
        }
        return Result;
    }
};

std::vector<std::string> Sorted(fw_Classes::TStrings& List)
{
    std::vector<std::string> V = List.ToVector();
    std::sort(V.begin(), V.end());
    return V;
}

} // namespace

TEST(InstallRecord, FoundAgainBySizeAndDateAndRemovedWithItsArchives)
{
    TRecordsRestored Restored;
    TArguments Given({"-sC:\\Dist"});
    TOwnedForm Form;
    auto* Root = Make<TInstall>(Form, "Install1");
    Root->ParseCommandLine();

    // A lookup alone makes nothing.
    EXPECT_EQ(Root->FindInstallRecord(false), "");
    EXPECT_FALSE(KeyExists(Records));

    // Another program's record keeps its name: this one takes the next free.
    const std::string Foreign = std::string(Records) + "\\Install0";
    ASSERT_EQ(RegSetKeyValueA(HKEY_LOCAL_MACHINE, Foreign.c_str(), "Path", REG_SZ, "C:\\other\\setup.exe", 19),
              ERROR_SUCCESS);
    cmp_TInstall::RunStart = fw_SysUtils::EncodeDate(2026, 3, 1) + 0.25;
    const std::string Key = Root->FindInstallRecord(true);
    EXPECT_EQ(Key, "\\SOFTWARE\\Wendrel\\Install\\Install1");
    const std::string Raw = std::string(Records) + "\\Install1";
    const std::string Program = fw_SysUtils::ModuleFileName();
    EXPECT_EQ(StringValue(Raw, "Path"), Program);
    EXPECT_DOUBLE_EQ(DateValue(Raw, "LastRunDate"), cmp_TInstall::RunStart);
    DWORD Size = 0, Bytes = sizeof Size;
    EXPECT_EQ(RegGetValueA(HKEY_LOCAL_MACHINE, Raw.c_str(), "Size", RRF_RT_REG_DWORD, nullptr, &Size, &Bytes),
              ERROR_SUCCESS);
    EXPECT_EQ(int64_t(Size), fw_SysUtils::FileSizeByName(Program));
    WIN32_FILE_ATTRIBUTE_DATA Attributes;
    ASSERT_TRUE(GetFileAttributesExA(Program.c_str(), GetFileExInfoStandard, &Attributes));
    EXPECT_LT(std::fabs(DateValue(Raw, "CreationDate") - fw_SysUtils::FileTimeToDateTime(Attributes.ftLastWriteTime)),
              0.0000001);
    EXPECT_EQ(StringValue(Raw, "SelfExtract"), "<missing>");

    // The next run of the same file finds it and notes the run.
    cmp_TInstall::RunStart += 1;
    EXPECT_EQ(Root->FindInstallRecord(false), Key);
    EXPECT_DOUBLE_EQ(DateValue(Raw, "LastRunDate"), cmp_TInstall::RunStart);
    EXPECT_EQ(Root->FindInstallRecord(true), Key);
    // A damaged record is passed over, not taken.
    ASSERT_EQ(RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, Raw.c_str(), "Size"), ERROR_SUCCESS);
    EXPECT_EQ(Root->FindInstallRecord(false), "");
    RegSetKeyValueA(HKEY_LOCAL_MACHINE, Raw.c_str(), "Size", REG_DWORD, &Size, sizeof Size);

    // Removing it takes the archives its components downloaded, but leaves
    // the other program's record and so the engine's key.
    test_support::TScratchDir Dir("record");
    const std::string Local = Dir / "files.1";
    fw_Handles::THandle(CreateFileA(Local.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
    const std::string Component = Raw + "\\Directory";
    const std::string Quoted = "  " + Local + " ";
    RegSetKeyValueA(HKEY_LOCAL_MACHINE, Component.c_str(), "LocalFile", REG_SZ, Quoted.c_str(),
                    DWORD(Quoted.size() + 1));
    const std::string Gone = Raw + "\\Group";
    RegSetKeyValueA(HKEY_LOCAL_MACHINE, Gone.c_str(), "LocalFile", REG_SZ, "C:\\no\\such\\file.1", 19);
    cmp_TInstallContainer::InstallKey = Key;
    Root->RemoveInstallRecord();
    EXPECT_FALSE(fw_SysUtils::FileExists(Local));
    EXPECT_FALSE(KeyExists(Raw));
    EXPECT_TRUE(KeyExists(Foreign));
    EXPECT_EQ(cmp_TInstallContainer::InstallKey, "");
    Root->RemoveInstallRecord(); // nothing left to remove

    // The last record gone, the engine's keys go too.
    cmp_TInstallContainer::InstallKey = "\\SOFTWARE\\Wendrel\\Install\\Install0";
    Root->RemoveInstallRecord();
    EXPECT_FALSE(KeyExists(Records));
    EXPECT_FALSE(KeyExists("SOFTWARE\\Wendrel"));
}

TEST(InstallRecord, UnfinishedWorkLivesInTheRecord)
{
    TRecordsRestored Restored;
    TArguments Given({"-sC:\\Dist", "-eSetup.exe"});
    TOwnedForm Form;
    auto* Root = Make<TInstall>(Form, "Install1");
    Root->ParseCommandLine();
    fw_Classes::TStringList List;
    List.Add("stale");

    // Without a record there is nowhere to keep it.
    EXPECT_TRUE(Raises<exceptions_Wendrel::IEInstall>([&] { Root->AddUnfinished("x", 1); }, NoRecord));
    EXPECT_TRUE(Raises<exceptions_Wendrel::IEInstall>([&] { Root->ReadUnfinished(&List); }, NoRecord));
    EXPECT_EQ(List.Count(), 0);
    EXPECT_TRUE(Raises<exceptions_Wendrel::IEInstall>([&] { Root->ClearUnfinished(); }, NoRecord));
    EXPECT_EQ(Root->UnfinishedCount(), 0);

    cmp_TInstallContainer::InstallKey = Root->FindInstallRecord(true);
    const std::string Raw = std::string(Records) + "\\Install0";
    EXPECT_EQ(StringValue(Raw, "SelfExtract"), "C:\\Dist\\Setup.exe");
    Root->ReadUnfinished(&List);
    EXPECT_EQ(List.Count(), 0); // no list yet
    Root->AddUnfinished("C:\\Program Files\\Pellunar\\old.dll", 1);
    Root->AddUnfinished("InstallFile3", 0);
    EXPECT_EQ(Root->UnfinishedCount(), 2);
    EXPECT_EQ(StringValue(Raw + "\\Unfinished", "C:\\Program Files\\Pellunar\\old.dll"), "1");
    EXPECT_EQ(StringValue(Raw + "\\Unfinished", "InstallFile3"), "0");
    Root->ReadUnfinished(&List);
    EXPECT_EQ(Sorted(List), (std::vector<std::string>{"C:\\Program Files\\Pellunar\\old.dll;1", "InstallFile3;0"}));
    Root->ClearUnfinished();
    EXPECT_FALSE(KeyExists(Raw + "\\Unfinished"));
    EXPECT_TRUE(KeyExists(Raw));
    Root->ClearUnfinished(); // a missing list is no error
    Root->ReadUnfinished(&List);
    EXPECT_EQ(List.Count(), 0);
}

TEST(InstallRecord, RunOnceResumesTheSetupTheUserStarted)
{
    TRunOnceRestored Restored;
    const std::string Program = fw_SysUtils::ModuleFileName();
    auto Registered = [&](std::vector<std::string> Args) {
        TArguments Given(Args);
        TOwnedForm Form;
        ReadProject(Form.get(), "object Setup: TForm\n  object Install1: TInstall\n  end\nend");
        auto* Root = static_cast<TInstall*>(Form->FindComponent("Install1"));
        const std::vector<std::string> Before = TRunOnceRestored::Names();
        Root->RegisterRunOnce();
        for (const std::string& Name : TRunOnceRestored::Names())
            if (std::find(Before.begin(), Before.end(), Name) == Before.end())
                return Name + "=" + [&] {
                    DWORD Type = 0;
                    std::string Data;
                    RawValue(RunOnce, Name, Type, Data);
                    return std::string(Data.c_str());
                }();
        return std::string("<nothing registered>");
    };
    // Started by the loading program: the setup program's copy, the folder
    // of the distribution; a copy to clean up keeps its switch.
    EXPECT_EQ(Registered({"-sC:\\Dist", "-c"}), "WendrelUnfinished=\"" + Program + "\" -r \"-sC:\\Dist\" -c");
    {
        // The program the user started is the distribution's setup.exe.
        TArguments Given({"-sC:\\Dist", "-c"});
        TOwnedForm Form;
        ReadProject(Form.get(), "object Setup: TForm\n  object Install1: TInstall\n  end\nend");
        EXPECT_EQ(static_cast<TInstall*>(Form->FindComponent("Install1"))->GetSetupPath(), "C:\\Dist\\setup.exe");
    }
    // Run again before the restart, the same program takes over its own
    // value: one resume, with the newer command.
    EXPECT_EQ(Registered({"-sD:\\Media\\Sub"}), "<nothing registered>");
    EXPECT_EQ(StringValue(RunOnce, "WendrelUnfinished"), "\"" + Program + "\" -r \"-sD:\\Media\\Sub\"");
    // Another program's pending resume is kept: this one numbers its own.
    const std::string Other = "\"" + fw_SysUtils::ExtractFilePath(Program) + "..\\..\\tools\\uninstall.exe\" -r";
    ASSERT_EQ(RegSetKeyValueA(HKEY_LOCAL_MACHINE, RunOnce, "WendrelUnfinished", REG_SZ, Other.c_str(),
                              DWORD(Other.size() + 1)),
              ERROR_SUCCESS);
    EXPECT_EQ(Registered({"-sD:\\Media\\Sub"}), "WendrelUnfinished1=\"" + Program + "\" -r \"-sD:\\Media\\Sub\"");
    EXPECT_EQ(StringValue(RunOnce, "WendrelUnfinished"), Other);
    // Started by the self-extracting program: that file and its folder.
    EXPECT_EQ(Registered({"-sE:\\Downloads", "-eQuorvaneSetup.exe"}), "<nothing registered>");
    EXPECT_EQ(StringValue(RunOnce, "WendrelUnfinished1"),
              "\"" + Program + "\" -r \"-eQuorvaneSetup.exe\" \"-sE:\\Downloads\"");
    // A value runs up to its first zero byte. After a leading one, the
    // program's name is never run: that value is no resume of this program.
    auto SetRaw = [](const char* Name, const std::string& Text) {
        return RegSetKeyValueA(HKEY_LOCAL_MACHINE, RunOnce, Name, REG_SZ, Text.data(), DWORD(Text.size() + 1));
    };
    ASSERT_EQ(SetRaw("WendrelUnfinished1", std::string(1, '\0') + "\"" + Program + "\" -r"), ERROR_SUCCESS);
    EXPECT_EQ(Registered({"-sC:\\Dist"}), "WendrelUnfinished2=\"" + Program + "\" -r \"-sC:\\Dist\"");
    // A zero byte inside the quotes ends the name there: still this program.
    ASSERT_EQ(SetRaw("WendrelUnfinished2", "\"" + Program + std::string(1, '\0') + "x\" -r"), ERROR_SUCCESS);
    EXPECT_EQ(Registered({"-sF:\\Cut"}), "<nothing registered>");
    EXPECT_EQ(StringValue(RunOnce, "WendrelUnfinished2"), "\"" + Program + "\" -r \"-sF:\\Cut\"");
}

TEST(InstallRecord, ATakenOverResumeRemovesOnlyACopyBelowTheTemporaryFolder)
{
    TRunOnceRestored Restored;
    test_support::TScratchDir Dir("left-copy");
    const std::string Outer = Dir / "outer", Temp = Outer + "\\temp", Left = Temp + "\\wdrl1";
    ASSERT_TRUE(fw_SysUtils::ForceDirectories(Left));
    // This test's temporary folder, for the length of the test.
    struct TTempFolder {
        char Old[MAX_PATH * 2] = {};
        const DWORD OldSize = GetEnvironmentVariableA("TMP", Old, sizeof Old);
        TTempFolder(const std::string& Folder) { SetEnvironmentVariableA("TMP", Folder.c_str()); }
        ~TTempFolder() { SetEnvironmentVariableA("TMP", OldSize ? Old : nullptr); }
    } TempFolder(Temp + "\\");
    // Copies of this program, with its size and time.
    const std::string Program = fw_SysUtils::ModuleFileName();
    auto CopyTo = [&](const std::string& Path) { return CopyFileA(Program.c_str(), Path.c_str(), FALSE) != 0; };
    ASSERT_TRUE(CopyTo(Outer + "\\setup.exe"));
    ASSERT_TRUE(CopyTo(Left + "\\setup.exe"));
    for (const std::string& Folder : {Outer, Left})
        fw_Handles::THandle(
            CreateFileA((Folder + "\\keep.txt").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    auto Resume = [&](const std::string& Copy) {
        const std::string Line = "\"" + Copy + "\" -r \"-sC:\\Dist\"";
        ASSERT_EQ(RegSetKeyValueA(HKEY_LOCAL_MACHINE, RunOnce, "WendrelUnfinishedLeftCopy", REG_SZ, Line.c_str(),
                                  DWORD(Line.size() + 1)),
                  ERROR_SUCCESS);
        TArguments Given({"-sC:\\Dist"});
        TOwnedForm Form;
        ReadProject(Form.get(), "object Setup: TForm\n  object Install1: TInstall\n  end\nend");
        static_cast<TInstall*>(Form->FindComponent("Install1"))->RegisterRunOnce();
        // Taken over by this run.
        EXPECT_EQ(StringValue(RunOnce, "WendrelUnfinishedLeftCopy"), "\"" + Program + "\" -r \"-sC:\\Dist\"");
    };
    // A copy named through "<temp>\.." lies beside the temporary folder,
    // not in a folder of its own below it: nothing there goes.
    Resume(Temp + "\\..\\setup.exe");
    EXPECT_TRUE(fw_SysUtils::FileExists(Outer + "\\setup.exe"));
    EXPECT_TRUE(fw_SysUtils::FileExists(Outer + "\\keep.txt"));
    // A copy in its own folder below the temporary folder goes with it.
    Resume(Left + "\\setup.exe");
    EXPECT_FALSE(fw_SysUtils::DirectoryExists(Left));
}

} // namespace engine_tests
