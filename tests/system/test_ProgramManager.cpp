// The Program Manager conversation against Wine's own PROGMAN, which Wine's
// desktop (explorer /desktop) serves. What PROGMAN did is read back as an
// outsider would: the group folders and links under the Start menu's
// Programs folder, through the file system, and each link's target from the
// link file's own bytes. Every test makes its groups under scratch names and
// removes them again.
#include "framework/fw_DDE.h"
#include "framework/fw_Handles.h"
#include "routines/exceptions_Wendrel.h"
#include "system/cmp_TProgramManager.h"

#include "test_support.h"

#include <shlobj.h>
#include <shobjidl.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

using namespace cmp_TProgramManager;
using fw_DDE::TDataMode;
using fw_DDE::TDdeClientConv;
using test_support::Raises;

namespace {

// ---- the outsider's view -----------------------------------------------------------

std::string ProgramsFolder()
{
    char Path[MAX_PATH] = {};
    EXPECT_EQ(SHGetFolderPathA(nullptr, CSIDL_PROGRAMS, nullptr, 0, Path), S_OK);
    return Path;
}

bool FileExists(const std::string& Path)
{
    DWORD A = GetFileAttributesA(Path.c_str());
    return A != INVALID_FILE_ATTRIBUTES && !(A & FILE_ATTRIBUTE_DIRECTORY);
}

bool FolderExists(const std::string& Path)
{
    DWORD A = GetFileAttributesA(Path.c_str());
    return A != INVALID_FILE_ATTRIBUTES && (A & FILE_ATTRIBUTE_DIRECTORY);
}

std::string WindowsFolder()
{
    char Path[MAX_PATH] = {};
    GetWindowsDirectoryA(Path, sizeof Path);
    return Path;
}

std::string Notepad() { return WindowsFolder() + "\\notepad.exe"; }

std::string Lower(std::string S)
{
    for (char& C : S)
        if (C >= 'A' && C <= 'Z')
            C = char(C - 'A' + 'a');
    return S;
}

// What a link file says, read from its bytes by the layout of the shell
// link format, without the shell that wrote it.
struct TLinkFile {
    bool Valid = false;
    std::string LocalPath, Description, WorkingDir, Arguments, IconLocation;
    int32_t IconIndex = 0;
};

TLinkFile ReadLinkFile(const std::string& Path)
{
    TLinkFile L;
    std::string B = test_support::ReadBytes(Path);
    auto U16 = [&](size_t At) -> uint32_t {
        return At + 2 <= B.size() ? uint32_t(uint8_t(B[At]) | uint8_t(B[At + 1]) << 8) : 0;
    };
    auto U32 = [&](size_t At) -> uint32_t { return U16(At) | U16(At + 2) << 16; };
    if (B.size() < 0x4C || U32(0) != 0x4C)
        return L;
    uint32_t Flags = U32(0x14);
    L.IconIndex = int32_t(U32(0x38));
    size_t At = 0x4C;
    if (Flags & 0x1) // a target ID list: skipped
        At += 2 + U16(At);
    if (Flags & 0x2) { // link info: the target's local path
        size_t Info = At;
        if (U32(Info + 8) & 0x1) {
            size_t P = Info + U32(Info + 16);
            while (P < B.size() && B[P])
                L.LocalPath += B[P++];
        }
        At += U32(Info);
    }
    bool Unicode = Flags & 0x80;
    auto ReadString = [&](std::string& Out) {
        size_t Count = U16(At);
        At += 2;
        for (size_t I = 0; I < Count; ++I) {
            // The test's names are ASCII: the low byte of each unit is the character.
            Out += B.size() > At ? B[At] : '?';
            At += Unicode ? 2 : 1;
        }
        // Wine counts the terminating zero in.
        while (!Out.empty() && Out.back() == '\0')
            Out.pop_back();
    };
    if (Flags & 0x04)
        ReadString(L.Description);
    std::string Relative;
    if (Flags & 0x08)
        ReadString(Relative);
    if (Flags & 0x10)
        ReadString(L.WorkingDir);
    if (Flags & 0x20)
        ReadString(L.Arguments);
    if (Flags & 0x40)
        ReadString(L.IconLocation);
    L.Valid = At <= B.size();
    return L;
}

// The link's target as the shell reads it back.
std::string ShellLinkTarget(const std::string& Path)
{
    HRESULT Init = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    fw_Handles::TScopeExit Uninit([Init] {
        if (SUCCEEDED(Init))
            CoUninitialize();
    });
    std::string Target;
    {
        fw_Handles::TComPtr<IShellLinkW> Link;
        if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, Link.Receive())))
            return "<no shell link>";
        fw_Handles::TComPtr<IPersistFile> File;
        if (FAILED(Link.QueryInterface(IID_IPersistFile, File)))
            return "<no persist file>";
        std::wstring Wide(Path.begin(), Path.end());
        if (FAILED(File->Load(Wide.c_str(), STGM_READ)))
            return "<cannot load>";
        wchar_t Buf[MAX_PATH] = {};
        if (FAILED(Link->GetPath(Buf, MAX_PATH, nullptr, 0)))
            return "<no path>";
        for (const wchar_t* P = Buf; *P; ++P)
            Target += char(*P); // ASCII paths only here
    }
    return Target;
}

// ---- scratch state -----------------------------------------------------------------

std::string UniqueSuffix()
{
    static int Counter = 0;
    static std::mt19937 Random{std::random_device{}()};
    return std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++Counter) + "-" +
           std::to_string(Random() % 100000);
}

// Wine's PROGMAN opens an explorer window on a group it creates or shows;
// the window's title is the group's name. Those still there are closed.
void CloseGroupWindows(const std::string& Group)
{
    struct TFind {
        std::string Title;
        std::vector<HWND> Found;
    } Find{Group, {}};
    EnumWindows(
        [](HWND Wnd, LPARAM Param) -> BOOL {
            auto* F = reinterpret_cast<TFind*>(Param);
            char Class[64] = {}, Title[512] = {};
            GetClassNameA(Wnd, Class, sizeof Class);
            GetWindowTextA(Wnd, Title, sizeof Title);
            if (std::strcmp(Class, "ExplorerWClass") == 0 && F->Title == Title)
                F->Found.push_back(Wnd);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&Find));
    for (HWND Wnd : Find.Found)
        PostMessageA(Wnd, WM_CLOSE, 0, 0);
}

// A group name no one else uses; its folder (and whatever is in it) and its
// windows are removed at the end.
class TScratchGroup {
public:
    TScratchGroup() : FName("WendrelPMTest " + UniqueSuffix()) { test_support::TScratchDir::RemoveTree(Folder()); }
    // A given name: the caller made sure no one else has it.
    explicit TScratchGroup(std::string AName) : FName(std::move(AName)) {}
    ~TScratchGroup()
    {
        CloseGroupWindows(FName);
        test_support::TScratchDir::RemoveTree(Folder());
    }
    TScratchGroup(const TScratchGroup&) = delete;
    TScratchGroup& operator=(const TScratchGroup&) = delete;

    const std::string& Name() const { return FName; }
    std::string Folder() const { return ProgramsFolder() + "\\" + FName; }
    std::string Link(const std::string& Item) const { return Folder() + "\\" + Item + ".lnk"; }

private:
    std::string FName;
};

// A component whose macros are seen: Dry answers them True without sending
// (the sending itself is then the subject, not Program Manager's answer),
// Service connects elsewhere than PROGMAN, and the group can be set as a
// read of it would.
class TProbeManager : public TProgramManager {
public:
    using TProgramManager::TProgramManager;

    std::vector<std::string> Sent;
    bool Dry = false;
    std::string Service;

    void Connect() override
    {
        if (Service.empty()) {
            TProgramManager::Connect();
            return;
        }
        if (FConnected)
            return;
        Conversation().SetConnectMode(TDataMode::ddeManual);
        Conversation().SetService(Service);
        Conversation().SetTopic(Service);
        FConnected = Conversation().OpenLink();
        if (!FConnected)
            throw EAIPMCannotOpen();
    }
    void SetCurrentGroup(const std::string& Group) { FCurrentGroup = Group; }
    void SetLines(const std::vector<std::string>& Lines) { SetGroupLines(Lines); }
    TDdeClientConv& Conv() { return Conversation(); }

protected:
    bool SendMacro(const std::string& Macro) override
    {
        Sent.push_back(Macro);
        return Dry || TProgramManager::SendMacro(Macro);
    }
};

std::string NobodysService() { return "WendrelNobody" + UniqueSuffix(); }

const std::string CannotOpenText = "The TProgramManager object was unable to establish a link with Program Manager";

std::string CannotAddText(const std::string& Group, const std::string& Item, const std::string& Macro)
{
    return "The TProgramManager object was unable to add the following program item: " + Item +
           " to the following group: " + Group + ". The arguments passed to  Program Manager were: " + Macro;
}

std::string AddItemMacro(const std::string& CommandLine, const std::string& Name, const std::string& IconPath,
                         int IconIndex, const std::string& DefaultDir, const std::string& HotKey)
{
    return "[AddItem(" + CommandLine + "," + Name + "," + IconPath + "," + std::to_string(IconIndex) + ",,," +
           DefaultDir + "," + HotKey + ")]";
}

} // namespace

// ---- the DDE client ----------------------------------------------------------------

TEST(ProgmanDdeClient, OpensAManualLinkOnlyWhenAskedAndClosesIt)
{
    TDdeClientConv Conv(nullptr);
    EXPECT_EQ(Conv.ConnectMode(), TDataMode::ddeAutomatic);
    Conv.SetConnectMode(TDataMode::ddeManual);
    Conv.SetService("PROGMAN");
    Conv.SetTopic("PROGMAN");
    EXPECT_FALSE(Conv.Connected());
    // Manual: a transaction does not open the link itself.
    EXPECT_FALSE(Conv.ExecuteMacro("[Bogus()]"));
    EXPECT_EQ(Conv.LastError(), UINT(DMLERR_NO_CONV_ESTABLISHED));
    EXPECT_FALSE(Conv.Connected());

    ASSERT_TRUE(Conv.OpenLink()) << Conv.LastErrorText();
    EXPECT_TRUE(Conv.Connected());
    EXPECT_TRUE(Conv.OpenLink()); // already open
    Conv.CloseLink();
    EXPECT_FALSE(Conv.Connected());
    ASSERT_TRUE(Conv.OpenLink()) << Conv.LastErrorText();
    // Another service is another conversation: the open one is closed.
    Conv.SetService("PROGMAN");
    EXPECT_TRUE(Conv.Connected());
    Conv.SetService(NobodysService());
    EXPECT_FALSE(Conv.Connected());
}

TEST(ProgmanDdeClient, AnAutomaticLinkOpensOnTheFirstTransaction)
{
    TDdeClientConv Conv(nullptr);
    Conv.SetService("PROGMAN");
    Conv.SetTopic("PROGMAN");
    // Wine's PROGMAN refuses a command it does not know.
    EXPECT_FALSE(Conv.ExecuteMacro("[WendrelNoSuchCommand()]"));
    EXPECT_TRUE(Conv.Connected());
    EXPECT_EQ(Conv.LastError(), UINT(DMLERR_NOTPROCESSED)) << Conv.LastErrorText();
    EXPECT_EQ(Conv.LastErrorText(), "DMLERR_NOTPROCESSED");
}

TEST(ProgmanDdeClient, NobodyAnswersAnUnservedService)
{
    TDdeClientConv Conv(nullptr);
    Conv.SetConnectMode(TDataMode::ddeManual);
    Conv.SetService(NobodysService());
    Conv.SetTopic("PROGMAN");
    EXPECT_FALSE(Conv.OpenLink());
    EXPECT_EQ(Conv.LastError(), UINT(DMLERR_NO_CONV_ESTABLISHED)) << Conv.LastErrorText();
    EXPECT_FALSE(Conv.Connected());
    std::string Data = "stale";
    EXPECT_FALSE(Conv.RequestData("Groups", Data));
    EXPECT_EQ(Data, "");
    // Without a service there is no one to ask.
    TDdeClientConv Unnamed(nullptr);
    EXPECT_FALSE(Unnamed.OpenLink());
    EXPECT_EQ(Unnamed.LastError(), UINT(DMLERR_INVALIDPARAMETER));
}

TEST(ProgmanDdeClient, ExecutesMacrosAndRequestsData)
{
    TScratchGroup Group;
    TDdeClientConv Conv(nullptr);
    Conv.SetService("PROGMAN");
    Conv.SetTopic("PROGMAN");
    ASSERT_TRUE(Conv.ExecuteMacro("[CreateGroup(\"" + Group.Name() + "\")]")) << Conv.LastErrorText();
    EXPECT_EQ(Conv.LastError(), UINT(DMLERR_NO_ERROR));
    EXPECT_TRUE(FolderExists(Group.Folder())) << Group.Folder();

    // Wine answers no data for a group's contents...
    std::string Data = "stale";
    EXPECT_FALSE(Conv.RequestData(Group.Name(), Data));
    EXPECT_EQ(Data, "");
    EXPECT_EQ(Conv.LastError(), UINT(DMLERR_NOTPROCESSED)) << Conv.LastErrorText();
    EXPECT_FALSE(Conv.RequestData("", Data));
    EXPECT_EQ(Conv.LastError(), UINT(DMLERR_INVALIDPARAMETER));

    // ...but lists the groups (the folders under Programs) as "Groups".
    ASSERT_TRUE(Conv.RequestData("Groups", Data)) << Conv.LastErrorText();
    fw_Classes::TStringList Lines;
    Lines.SetText(Data);
    EXPECT_GE(Lines.IndexOf(Group.Name()), 0) << Data;
    EXPECT_EQ(Data.find('\0'), std::string::npos);
}

// Wine's server follows a data answer with an acknowledgement, which the
// client takes as the answer to the next transaction. This is why the
// component opens its conversation anew after data (and why a Wine that
// stops doing it would show here first).
TEST(ProgmanDdeClient, WineAcknowledgesDataAsWellAsSendingIt)
{
    TDdeClientConv Conv(nullptr);
    Conv.SetService("PROGMAN");
    Conv.SetTopic("PROGMAN");
    std::string Data;
    ASSERT_TRUE(Conv.RequestData("Groups", Data)) << Conv.LastErrorText();
    EXPECT_TRUE(Conv.ExecuteMacro("[WendrelNoSuchCommand()]")) << "the stray acknowledgement was not seen";
    Conv.CloseLink();
    EXPECT_FALSE(Conv.ExecuteMacro("[WendrelNoSuchCommand()]")); // a new conversation is in step
    EXPECT_EQ(Conv.LastError(), UINT(DMLERR_NOTPROCESSED));
}

TEST(ProgmanDdeClient, IsAComponentOfItsOwner)
{
    fw_Classes::TComponent Owner(nullptr);
    auto* Conv = new TDdeClientConv(&Owner);
    EXPECT_EQ(Owner.ComponentCount(), 1);
    EXPECT_EQ(Conv->ClassName(), "TDdeClientConv");
    EXPECT_TRUE(Conv->Is<fw_Classes::TComponent>());
    // A project sets it up through its properties.
    const fw_Classes::TClassInfo& Class = *Conv->ClassType();
    ASSERT_NE(Class.FindProp("DdeService"), nullptr);
    ASSERT_NE(Class.FindProp("DdeTopic"), nullptr);
    ASSERT_NE(Class.FindProp("ConnectMode"), nullptr);
    Class.FindProp("DdeService")->SetStr(Conv, "PROGMAN");
    Class.FindProp("DdeTopic")->SetStr(Conv, "PROGMAN");
    Class.FindProp("ConnectMode")->SetOrd(Conv, int64_t(TDataMode::ddeManual));
    EXPECT_EQ(Conv->DdeService(), "PROGMAN");
    EXPECT_EQ(Conv->DdeTopic(), "PROGMAN");
    EXPECT_EQ(Conv->ConnectMode(), TDataMode::ddeManual);
    EXPECT_TRUE(Conv->OpenLink());
    // The owner frees it, and its link, with itself.
}

// ---- connecting ----------------------------------------------------------------------

TEST(ProgmanConnect, ConnectsOnceOnFirstUse)
{
    TProbeManager PM(nullptr);
    EXPECT_FALSE(PM.Connected());
    EXPECT_EQ(PM.CurrentGroup(), "");
    EXPECT_EQ(PM.GroupLines().Count(), 0);
    PM.Connect();
    EXPECT_TRUE(PM.Connected());
    EXPECT_EQ(PM.Conv().DdeService(), "PROGMAN");
    EXPECT_EQ(PM.Conv().DdeTopic(), "PROGMAN");
    EXPECT_EQ(PM.Conv().ConnectMode(), TDataMode::ddeManual);
    PM.Connect();
    EXPECT_TRUE(PM.Connected());
    EXPECT_TRUE(PM.Conv().Connected());
    EXPECT_TRUE(PM.Sent.empty());
}

TEST(ProgmanConnect, NobodyAnsweringRaisesCannotOpen)
{
    TProbeManager PM(nullptr);
    PM.Service = NobodysService();
    EXPECT_TRUE(Raises<EAIPMCannotOpen>([&] { PM.Connect(); }, CannotOpenText));
    EXPECT_FALSE(PM.Connected());
    // Every operation connects first.
    EXPECT_TRUE(Raises<EAIPMCannotOpen>([&] { PM.CreateGroup("Anything"); }, CannotOpenText));
    EXPECT_TRUE(Raises<EAIPMCannotOpen>([&] { PM.SelectGroup("Anything"); }, CannotOpenText));
    PM.SetCurrentGroup("Anything");
    EXPECT_TRUE(Raises<EAIPMCannotOpen>([&] { PM.AddItem(Notepad(), "N", "", 0, "", ""); }, CannotOpenText));
    EXPECT_TRUE(Raises<EAIPMCannotOpen>([&] { PM.ReplaceItem("N"); }, CannotOpenText));
    EXPECT_TRUE(PM.Sent.empty());
    EXPECT_FALSE(PM.Connected());
}

// ---- groups --------------------------------------------------------------------------

TEST(ProgmanGroups, CreateGroupMakesAFolderUnderProgramsAndMakesItCurrent)
{
    TScratchGroup Group;
    TProbeManager PM(nullptr);
    ASSERT_FALSE(FolderExists(Group.Folder()));
    PM.CreateGroup(Group.Name());
    EXPECT_TRUE(FolderExists(Group.Folder())) << Group.Folder();
    EXPECT_EQ(PM.Sent, std::vector<std::string>{"[CreateGroup(\"" + Group.Name() + "\")]"});
    // Wine answers no contents; the group is current all the same.
    EXPECT_EQ(PM.CurrentGroup(), Group.Name());
    EXPECT_EQ(PM.GroupLines().Count(), 0);
    EXPECT_EQ(PM.ItemCount(), 0);

    // Creating it again activates the one there.
    PM.CreateGroup(Group.Name());
    EXPECT_TRUE(FolderExists(Group.Folder()));
    EXPECT_EQ(PM.CurrentGroup(), Group.Name());

    // An empty name asks for nothing and leaves the current group.
    PM.Sent.clear();
    PM.CreateGroup("");
    EXPECT_TRUE(PM.Sent.empty());
    EXPECT_EQ(PM.CurrentGroup(), Group.Name());
}

TEST(ProgmanGroups, SelectGroupThatCannotBeReadLeavesNoGroupAndAddItemSendsNothing)
{
    TScratchGroup Group;
    TProbeManager PM(nullptr);
    PM.CreateGroup(Group.Name());
    PM.Sent.clear();
    PM.SelectGroup(Group.Name());
    EXPECT_EQ(PM.CurrentGroup(), "");
    EXPECT_EQ(PM.GroupLines().Count(), 0);
    PM.AddItem(Notepad(), "Wendrel Notepad", "", 0, "", "");
    PM.ReplaceItem("Wendrel Notepad");
    EXPECT_TRUE(PM.Sent.empty());
    EXPECT_FALSE(FileExists(Group.Link("Wendrel Notepad")));
}

TEST(ProgmanGroups, SelectGroupRereadsTheCurrentGroupByItsOwnName)
{
    // Wine answers data for "Groups" (its list of groups) whether or not a
    // group of that name is there.
    TProbeManager PM(nullptr);
    PM.SetCurrentGroup("Groups");
    PM.SelectGroup(PM.CurrentGroup());
    EXPECT_EQ(PM.CurrentGroup(), "Groups");
    EXPECT_GE(PM.GroupLines().IndexOf("StartUp"), 0) << PM.GroupLines().Text();
    // A new read forgets the old lines.
    PM.SelectGroup("WendrelPMTest no such group " + UniqueSuffix());
    EXPECT_EQ(PM.CurrentGroup(), "");
    EXPECT_EQ(PM.GroupLines().Count(), 0);
}

// ---- items ---------------------------------------------------------------------------

TEST(ProgmanItems, AddItemMakesALinkToTheTargetInTheGroup)
{
    TScratchGroup Group;
    TProbeManager PM(nullptr);
    PM.CreateGroup(Group.Name());
    std::string Windows = WindowsFolder();
    std::string Icon = Windows + "\\regedit.exe";
    PM.Sent.clear();
    PM.AddItem(Notepad(), "Wendrel Notepad", Icon, 2, Windows, "");
    EXPECT_EQ(PM.Sent, (std::vector<std::string>{"[ShowGroup(" + Group.Name() + ",8)]",
                                                 AddItemMacro(Notepad(), "Wendrel Notepad", Icon, 2, Windows, "")}));
    // The group stays current though Wine lets it not be read back.
    EXPECT_EQ(PM.CurrentGroup(), Group.Name());

    std::string Link = Group.Link("Wendrel Notepad");
    ASSERT_TRUE(FileExists(Link)) << Link;
    TLinkFile L = ReadLinkFile(Link);
    ASSERT_TRUE(L.Valid);
    EXPECT_EQ(Lower(L.LocalPath), Lower(Notepad()));
    EXPECT_EQ(Lower(L.WorkingDir), Lower(Windows));
    EXPECT_EQ(Lower(L.IconLocation), Lower(Icon));
    EXPECT_EQ(L.IconIndex, 2);
    EXPECT_EQ(Lower(ShellLinkTarget(Link)), Lower(Notepad()));

    // A second item goes to the same group.
    PM.AddItem(Icon, "Wendrel Regedit", "", 0, "", "");
    EXPECT_TRUE(FileExists(Group.Link("Wendrel Regedit")));
    EXPECT_EQ(Lower(ReadLinkFile(Group.Link("Wendrel Regedit")).LocalPath), Lower(Icon));
}

TEST(ProgmanItems, AQuotedTargetMayHoldParenthesesAndCommas)
{
    TScratchGroup Group;
    // A folder named like "Program Files (x86)", with a comma as well.
    test_support::TScratchDir Dir("pm (x86),");
    std::string Target = Dir / "tool.exe";
    ASSERT_TRUE(CopyFileA(Notepad().c_str(), Target.c_str(), FALSE));
    TProbeManager PM(nullptr);
    PM.CreateGroup(Group.Name());
    // As the shell link component sends it: the quoted target, a blank, and
    // its arguments (none here).
    PM.AddItem("\"" + Target + "\" ", "Wendrel Tool", "\"" + Target + "\"", 0, "\"" + Dir.Path() + "\"", "");
    std::string Link = Group.Link("Wendrel Tool");
    ASSERT_TRUE(FileExists(Link)) << Link;
    TLinkFile L = ReadLinkFile(Link);
    EXPECT_EQ(Lower(L.LocalPath), Lower(Target));
    EXPECT_EQ(Lower(L.WorkingDir), Lower(Dir.Path()));
    EXPECT_EQ(Lower(L.IconLocation), Lower(Target));
    EXPECT_EQ(Lower(ShellLinkTarget(Link)), Lower(Target));
}

TEST(ProgmanItems, ProgmanRefusingAnItemRaisesCannotAddItem)
{
    TScratchGroup Group;
    TProbeManager PM(nullptr);
    PM.CreateGroup(Group.Name());

    // Arguments after a quoted target: Wine answers "not processed".
    std::string Quoted = "\"" + Notepad() + "\" /p";
    std::string Macro = AddItemMacro(Quoted, "Wendrel Args", "", 0, "", "");
    try {
        PM.AddItem(Quoted, "Wendrel Args", "", 0, "", "");
        ADD_FAILURE() << "raised nothing";
    } catch (const EAIPMCannotAddItem& E) {
        EXPECT_EQ(E.Message(), CannotAddText(Group.Name(), "Wendrel Args", Macro));
        EXPECT_EQ(E.Group, Group.Name());
        EXPECT_EQ(E.Item, "Wendrel Args");
        EXPECT_EQ(E.Macro, Macro);
    }
    EXPECT_FALSE(FileExists(Group.Link("Wendrel Args")));

    // A target that is not there.
    std::string Missing = WindowsFolder() + "\\wendrel-no-such-program.exe";
    EXPECT_TRUE(Raises<EAIPMCannotAddItem>(
        [&] { PM.AddItem(Missing, "Wendrel Missing", "", 0, "", ""); },
        CannotAddText(Group.Name(), "Wendrel Missing", AddItemMacro(Missing, "Wendrel Missing", "", 0, "", ""))));
    EXPECT_FALSE(FileExists(Group.Link("Wendrel Missing")));

    // The conversation is still in step: a good item after them is made.
    EXPECT_EQ(PM.CurrentGroup(), Group.Name());
    PM.AddItem(Notepad(), "Wendrel Notepad", "", 0, "", "");
    EXPECT_TRUE(FileExists(Group.Link("Wendrel Notepad")));
}

TEST(ProgmanItems, ReplaceItemDeletesTheLink)
{
    TScratchGroup Group;
    TProbeManager PM(nullptr);
    PM.CreateGroup(Group.Name());
    PM.AddItem(Notepad(), "Wendrel Notepad", "", 0, "", "");
    PM.AddItem(Notepad(), "Wendrel Kept", "", 0, "", "");
    ASSERT_TRUE(FileExists(Group.Link("Wendrel Notepad")));
    PM.Sent.clear();
    PM.ReplaceItem("Wendrel Notepad");
    EXPECT_EQ(PM.Sent,
              (std::vector<std::string>{"[ShowGroup(" + Group.Name() + ",8)]", "[ReplaceItem(\"Wendrel Notepad\")]"}));
    EXPECT_FALSE(FileExists(Group.Link("Wendrel Notepad")));
    EXPECT_TRUE(FileExists(Group.Link("Wendrel Kept")));
    EXPECT_EQ(PM.CurrentGroup(), Group.Name());

    // An item that is not there (any more) is refused.
    EXPECT_TRUE(Raises<EAIPMCannotReplaceItem>(
        [&] { PM.ReplaceItem("Wendrel Notepad"); },
        "The TProgramManager object was unable to replace the following program item: Wendrel Notepad to the "
        "following group: " +
            Group.Name()));
    try {
        PM.ReplaceItem("Wendrel Gone");
        ADD_FAILURE() << "raised nothing";
    } catch (const EAIPMCannotReplaceItem& E) {
        EXPECT_EQ(E.Group, Group.Name());
        EXPECT_EQ(E.Item, "Wendrel Gone");
    }
    // The item replaced can be added again.
    PM.AddItem(Notepad(), "Wendrel Notepad", "", 0, "", "");
    EXPECT_TRUE(FileExists(Group.Link("Wendrel Notepad")));
}

// A group that Wine does answer data for ("Groups": its list of groups)
// must not leave the conversation a step behind: without a new
// conversation, the refused item would pass and the good one be refused.
TEST(ProgmanItems, AGroupWhoseDataIsAnsweredStaysInStep)
{
    std::string Folder = ProgramsFolder() + "\\Groups";
    if (FolderExists(Folder))
        GTEST_SKIP() << "a group named Groups is there already: " << Folder;
    TScratchGroup Group("Groups");
    TProbeManager PM(nullptr);
    PM.CreateGroup("Groups");
    EXPECT_TRUE(FolderExists(Folder));
    EXPECT_EQ(PM.CurrentGroup(), "Groups");
    EXPECT_GE(PM.GroupLines().IndexOf("Groups"), 0) << PM.GroupLines().Text();

    std::string Missing = WindowsFolder() + "\\wendrel-no-such-program.exe";
    EXPECT_THROW(PM.AddItem(Missing, "Wendrel Missing", "", 0, "", ""), EAIPMCannotAddItem);
    EXPECT_NO_THROW(PM.AddItem(Notepad(), "Wendrel Notepad", "", 0, "", ""));
    EXPECT_TRUE(FileExists(Group.Link("Wendrel Notepad")));
    EXPECT_NO_THROW(PM.ReplaceItem("Wendrel Notepad"));
    EXPECT_FALSE(FileExists(Group.Link("Wendrel Notepad")));
    EXPECT_THROW(PM.ReplaceItem("Wendrel Notepad"), EAIPMCannotReplaceItem);
}

// ---- what is never sent ----------------------------------------------------------------

TEST(ProgmanRefusals, AMacroOverTheLongestIsNeverSent)
{
    TScratchGroup Group;
    TProbeManager PM(nullptr);
    PM.Dry = true;
    std::string Longest(MaxMacroLength - std::string("[CreateGroup(\"\")]").size(), 'g');
    PM.CreateGroup(Longest);
    ASSERT_EQ(PM.Sent.size(), 1u);
    EXPECT_EQ(PM.Sent[0].size(), MaxMacroLength);
    PM.Sent.clear();
    std::string TooLong = Longest + "g";
    EXPECT_TRUE(Raises<EAIPMCannotCreateGroup>([&] { PM.CreateGroup(TooLong); },
                                               "The TProgramManager object was unable to create the following group: " +
                                                   TooLong));
    EXPECT_TRUE(PM.Sent.empty());

    // AddItem: the whole macro counts; neither it nor the ShowGroup is sent.
    PM.SetCurrentGroup(Group.Name());
    std::string Base = AddItemMacro(Notepad(), "", "", 0, "", "");
    std::string Name(MaxMacroLength - Base.size(), 'n');
    PM.AddItem(Notepad(), Name, "", 0, "", "");
    ASSERT_EQ(PM.Sent.size(), 2u);
    EXPECT_EQ(PM.Sent[1].size(), MaxMacroLength);
    PM.Sent.clear();
    std::string LongName = Name + "n";
    std::string Macro = AddItemMacro(Notepad(), LongName, "", 0, "", "");
    EXPECT_TRUE(Raises<EAIPMCannotAddItem>([&] { PM.AddItem(Notepad(), LongName, "", 0, "", ""); },
                                           CannotAddText(Group.Name(), LongName, Macro)));
    EXPECT_TRUE(PM.Sent.empty());

    std::string LongItem(MaxMacroLength - std::string("[ReplaceItem(\"\")]").size() + 1, 'r');
    EXPECT_THROW(PM.ReplaceItem(LongItem), EAIPMCannotReplaceItem);
    EXPECT_TRUE(PM.Sent.empty());
    PM.ReplaceItem(LongItem.substr(1));
    ASSERT_EQ(PM.Sent.size(), 2u);
    EXPECT_EQ(PM.Sent[1].size(), MaxMacroLength);

    // And a group too long to show.
    PM.Sent.clear();
    std::string LongGroup(MaxMacroLength, 'G');
    PM.SetCurrentGroup(LongGroup);
    EXPECT_TRUE(Raises<EAIPMCannotOpenGroup>([&] { PM.AddItem(Notepad(), "N", "", 0, "", ""); },
                                             "The TProgramManager object was unable to open the following group: " +
                                                 LongGroup));
    EXPECT_TRUE(PM.Sent.empty());
}

TEST(ProgmanRefusals, AnOverlongItemMakesNoLink)
{
    // Sent for real, Wine would make this link: the refusal is what stops it.
    TScratchGroup Group;
    TProbeManager PM(nullptr);
    PM.CreateGroup(Group.Name());
    PM.Sent.clear();
    std::string Name(MaxMacroLength - AddItemMacro(Notepad(), "", "", 0, "", "").size() + 1, 'n');
    EXPECT_THROW(PM.AddItem(Notepad(), Name, "", 0, "", ""), EAIPMCannotAddItem);
    EXPECT_TRUE(PM.Sent.empty());
    EXPECT_FALSE(FileExists(Group.Link(Name)));
}

TEST(ProgmanRefusals, CharactersThatWouldChangeTheMacroAreNeverSent)
{
    TProbeManager PM(nullptr);
    PM.Dry = true;
    for (const std::string& Bad : std::vector<std::string>{"A\"B", "A)B", "A]B", std::string("A\0B", 3)}) {
        EXPECT_THROW(PM.CreateGroup(Bad), EAIPMCannotCreateGroup) << Bad;
    }
    EXPECT_TRUE(PM.Sent.empty());
    // Inside its quotes a group may hold commas, brackets that open, spaces.
    PM.CreateGroup("Caldrevin, Quorvane [x64 (beta");
    EXPECT_EQ(PM.Sent.size(), 1u);

    // ShowGroup's group goes in unquoted: a comma would show another group.
    PM.Sent.clear();
    for (const std::string& Bad : std::vector<std::string>{"A,B", "A\"B", "A)B", "A]B", "A[B"}) {
        PM.SetCurrentGroup(Bad);
        EXPECT_TRUE(
            Raises<EAIPMCannotOpenGroup>([&] { PM.AddItem(Notepad(), "N", "", 0, "", ""); },
                                         "The TProgramManager object was unable to open the following group: " + Bad));
        EXPECT_THROW(PM.ReplaceItem("N"), EAIPMCannotOpenGroup) << Bad;
    }
    EXPECT_TRUE(PM.Sent.empty());

    PM.SetCurrentGroup("Wendrel Group");
    // The item's name, and its hot key, go in unquoted: a comma would shift
    // every later argument and make the item under another name.
    for (const std::string& Bad :
         std::vector<std::string>{"A\"B", "A,B", "A)B", "A]B", "A[B", "\"Quoted\"", std::string("A\0B", 3)}) {
        EXPECT_THROW(PM.AddItem(Notepad(), Bad, "", 0, "", ""), EAIPMCannotAddItem) << Bad;
        EXPECT_THROW(PM.AddItem(Notepad(), "N", "", 0, "", Bad), EAIPMCannotAddItem) << Bad;
    }
    // Paths may be quoted; outside the quotes the same characters are refused,
    // and an unpaired quote would swallow the arguments after it.
    for (const std::string& Bad :
         std::vector<std::string>{"C:\\a.exe)", "C:\\a,b.exe", "C:\\a]", "C:\\[a]", "\"C:\\a.exe", "\"C:\\a\" b\""}) {
        EXPECT_THROW(PM.AddItem(Bad, "N", "", 0, "", ""), EAIPMCannotAddItem) << Bad;
        EXPECT_THROW(PM.AddItem(Notepad(), "N", Bad, 0, "", ""), EAIPMCannotAddItem) << Bad;
        EXPECT_THROW(PM.AddItem(Notepad(), "N", "", 0, Bad, ""), EAIPMCannotAddItem) << Bad;
    }
    for (const std::string& Bad : std::vector<std::string>{"A\"B", "A)B", "A]B"})
        EXPECT_THROW(PM.ReplaceItem(Bad), EAIPMCannotReplaceItem) << Bad;
    EXPECT_TRUE(PM.Sent.empty());

    // What may go: quoted paths holding them, and a quoted target with its
    // arguments (Program Manager, not the component, judges that one).
    PM.AddItem("\"C:\\Program Files (x86)\\a,b.exe\"", "Item (1", "\"C:\\x (1)\\i.ico\"", -3, "\"C:\\[d]\"", "");
    PM.AddItem("\"C:\\a.exe\" /p", "N", "", 0, "", "");
    PM.ReplaceItem("Item, (1 [x");
    EXPECT_EQ(PM.Sent,
              (std::vector<std::string>{
                  "[ShowGroup(Wendrel Group,8)]",
                  "[AddItem(\"C:\\Program Files (x86)\\a,b.exe\",Item (1,\"C:\\x (1)\\i.ico\",-3,,,\"C:\\[d]\",)]",
                  "[ShowGroup(Wendrel Group,8)]",
                  "[AddItem(\"C:\\a.exe\" /p,N,,0,,,,)]",
                  "[ShowGroup(Wendrel Group,8)]",
                  "[ReplaceItem(\"Item, (1 [x\")]",
              }));
}

// ---- the group's listing ---------------------------------------------------------------

TEST(ProgmanListing, ItemsAreTheLinesAfterTheFirst)
{
    TProbeManager PM(nullptr);
    EXPECT_EQ(PM.ItemCount(), 0);
    PM.SetLines({"\"Group\",1,0"});
    EXPECT_EQ(PM.ItemCount(), 0);
    EXPECT_EQ(PM.ItemField(1, 1), "");
    PM.SetLines({"\"Group\",2,0", "\"One\",\"C:\\one.exe\",C:\\,C:\\one.ico,10,20,1,0",
                 "\"Two\",\"C:\\two.exe\",C:\\,C:\\two.ico,30,40,0,0"});
    EXPECT_EQ(PM.ItemCount(), 2);
    EXPECT_EQ(PM.GroupLines().Count(), 3);
}

TEST(ProgmanListing, ItemFieldsAreUnquoted)
{
    TProbeManager PM(nullptr);
    PM.SetLines({"\"Group\",1,0", "\"Notepad\",\"C:\\WINDOWS\\NOTEPAD.EXE\",C:\\WINDOWS,\"C:\\i.ico\",16,32,3,1601",
                 "\"\"Twice\"\",\"\"\"C:\\x.exe\"\"\",\"\"d\"\",\",x,\"", "Short"});
    EXPECT_EQ(PM.ItemField(1, 1), "Notepad");
    EXPECT_EQ(PM.ItemField(1, 2), "C:\\WINDOWS\\NOTEPAD.EXE");
    EXPECT_EQ(PM.ItemField(1, 3), "C:\\WINDOWS");
    EXPECT_EQ(PM.ItemField(1, 4), "C:\\i.ico");
    EXPECT_EQ(PM.ItemField(1, 5), "16");
    EXPECT_EQ(PM.ItemField(1, 6), "32");
    EXPECT_EQ(PM.ItemField(1, 7), "3");
    EXPECT_EQ(PM.ItemField(1, 8), "1601");
    EXPECT_EQ(PM.ItemField(1, 9), "");
    // Name and command line lose a second pair of quotes, the others not.
    EXPECT_EQ(PM.ItemField(2, 1), "Twice");
    EXPECT_EQ(PM.ItemField(2, 2), "\"C:\\x.exe\"");
    EXPECT_EQ(PM.ItemField(2, 3), "\"d\"");
    // A lone quote is not taken from the front, only from the back.
    EXPECT_EQ(PM.ItemField(2, 4), "");
    EXPECT_EQ(PM.ItemField(2, 5), "x");
    EXPECT_EQ(PM.ItemField(3, 1), "Short");
    EXPECT_EQ(PM.ItemField(3, 2), "");
    // Out of range: no group line, no item past the last, no field 0.
    EXPECT_EQ(PM.ItemField(0, 1), "");
    EXPECT_EQ(PM.ItemField(4, 1), "");
    EXPECT_EQ(PM.ItemField(-1, 1), "");
    EXPECT_EQ(PM.ItemField(1, 0), "");
    EXPECT_EQ(PM.ItemField(1, -1), "");
}

TEST(ProgmanListing, IndexOfItemFindsTheFirstExactName)
{
    TProbeManager PM(nullptr);
    EXPECT_EQ(PM.IndexOfItem("One"), -1);
    PM.SetLines(
        {"\"Group\",4,0", "\"One\",\"C:\\one.exe\"", "\"Two, Three\",\"C:\\two.exe\"", "\"Dup\",a", "\"Dup\",b"});
    EXPECT_EQ(PM.IndexOfItem("One"), 1);
    EXPECT_EQ(PM.IndexOfItem("one"), -1); // case matters
    EXPECT_EQ(PM.IndexOfItem("Dup"), 3);
    EXPECT_EQ(PM.ItemField(PM.IndexOfItem("Dup"), 2), "a");
    // A name holding a comma is split there and is not found.
    EXPECT_EQ(PM.IndexOfItem("Two, Three"), -1);
    EXPECT_EQ(PM.ItemField(2, 1), "Two");
    // The group's own line is not an item.
    EXPECT_EQ(PM.IndexOfItem("Group"), -1);
    EXPECT_EQ(PM.IndexOfItem(""), -1);
}

// ---- messages --------------------------------------------------------------------------

namespace {
std::string Translate(const std::string& S)
{
    std::string Out = S;
    for (size_t P; (P = Out.find("group")) != std::string::npos;)
        Out.replace(P, 5, "GRUPPE");
    return "<" + Out + ">";
}
} // namespace

TEST(ProgmanMessages, EachExceptionSaysWhatFailed)
{
    EXPECT_EQ(EAIPMError().Message(), "The TProgramManager object was unable to communicate with Program Manager");
    EXPECT_EQ(EAIPMCannotOpen().Message(), CannotOpenText);
    EXPECT_EQ(EAIPMCannotOpenGroup("G").Message(),
              "The TProgramManager object was unable to open the following group: G");
    EXPECT_EQ(EAIPMCannotCreateGroup("G").Message(),
              "The TProgramManager object was unable to create the following group: G");
    EXPECT_EQ(EAIPMCannotAddItem("G", "I", "[M]").Message(),
              "The TProgramManager object was unable to add the following program item: I to the following group: "
              "G. The arguments passed to  Program Manager were: [M]");
    EXPECT_EQ(EAIPMCannotReplaceItem("G", "I").Message(),
              "The TProgramManager object was unable to replace the following program item: I to the following "
              "group: G");
    EXPECT_EQ(EAIPMCannotCreateGroup("G").Group, "G");
    EXPECT_EQ(EAIPMCannotOpenGroup("G").Group, "G");

    // One family under the unit's own base.
    EAIPMCannotAddItem Add("G", "I", "M");
    EXPECT_NE(dynamic_cast<EAIPMError*>(&Add), nullptr);
    EXPECT_NE(dynamic_cast<EAI*>(&Add), nullptr);
    EXPECT_NE(dynamic_cast<fw_SysUtils::Exception*>(&Add), nullptr);
    EXPECT_EQ(dynamic_cast<exceptions_Wendrel::EAI*>(static_cast<fw_SysUtils::Exception*>(&Add)), nullptr);
    EAIPMCannotOpen Open;
    EXPECT_NE(dynamic_cast<EAIPMError*>(&Open), nullptr);
}

TEST(ProgmanMessages, PercentInANameOrAGroupSurvives)
{
    EXPECT_EQ(EAIPMCannotAddItem("5% Group %s", "100% Pure %s %d", "[AddItem(x,100% Pure %s %d,,0,,,,)]").Message(),
              CannotAddText("5% Group %s", "100% Pure %s %d", "[AddItem(x,100% Pure %s %d,,0,,,,)]"));
    EXPECT_EQ(EAIPMCannotReplaceItem("%d", "%s").Message(),
              "The TProgramManager object was unable to replace the following program item: %s to the following "
              "group: %d");

    // And through the component, against Program Manager's refusal.
    TScratchGroup Group;
    TProbeManager PM(nullptr);
    PM.CreateGroup(Group.Name());
    std::string Missing = WindowsFolder() + "\\wendrel-no-such-program.exe";
    std::string Macro = AddItemMacro(Missing, "Wendrel 100%", "", 0, "", "");
    EXPECT_TRUE(Raises<EAIPMCannotAddItem>([&] { PM.AddItem(Missing, "Wendrel 100%", "", 0, "", ""); },
                                           CannotAddText(Group.Name(), "Wendrel 100%", Macro)));
}

TEST(ProgmanMessages, TheFormatIsTranslatedBeforeTheNamesGoIn)
{
    auto Old = exceptions_Wendrel::SetTranslateMessageFunc(Translate);
    fw_Handles::TScopeExit Restore([Old] { exceptions_Wendrel::SetTranslateMessageFunc(Old); });
    EXPECT_EQ(EAIPMError().Message(), "<The TProgramManager object was unable to communicate with Program Manager>");
    EXPECT_EQ(EAIPMCannotOpenGroup("my group").Message(),
              "<The TProgramManager object was unable to open the following GRUPPE: my group>");
    EXPECT_EQ(EAIPMCannotCreateGroup("my group").Message(),
              "<The TProgramManager object was unable to create the following GRUPPE: my group>");
    EXPECT_EQ(EAIPMCannotReplaceItem("my group", "item").Message(),
              "<The TProgramManager object was unable to replace the following program item: item to the following "
              "GRUPPE: my group>");
    EXPECT_EQ(EAIPMCannotAddItem("my group", "100%", "[group]").Message(),
              "<The TProgramManager object was unable to add the following program item: 100% to the following "
              "GRUPPE: my group. The arguments passed to  Program Manager were: [group]>");
}

// ---- the shared instance ---------------------------------------------------------------

TEST(ProgmanShared, IsOneInstanceForTheProcess)
{
    TProgramManager& PM = ProgramManager();
    EXPECT_EQ(&PM, &ProgramManager());
    EXPECT_EQ(PM.Owner(), nullptr);
    EXPECT_EQ(PM.ClassName(), "TProgramManager");
    TScratchGroup Group;
    PM.CreateGroup(Group.Name());
    EXPECT_TRUE(PM.Connected());
    EXPECT_TRUE(FolderExists(Group.Folder()));
}

// Run only as the child of the next test, which names its group.
TEST(ProgmanShared, ChildUsesTheSharedInstanceUntilItEnds)
{
    char Group[256] = {};
    if (!GetEnvironmentVariableA("WENDREL_PM_CHILD_GROUP", Group, sizeof Group))
        GTEST_SKIP() << "run by ProgmanShared.FreeingItAtExitIsClean";
    ProgramManager().CreateGroup(Group);
    ProgramManager().AddItem(Notepad(), "Wendrel Child", "", 0, "", "");
    // The process ends with the conversation open: the runtime frees it.
}

TEST(ProgmanShared, FreeingItAtExitIsClean)
{
    TScratchGroup Group;
    test_support::TScratchDir Dir("pm-child");
    char Self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, Self, sizeof Self);
    ASSERT_TRUE(SetEnvironmentVariableA("WENDREL_PM_CHILD_GROUP", Group.Name().c_str()));
    fw_Handles::TScopeExit Unset([] { SetEnvironmentVariableA("WENDREL_PM_CHILD_GROUP", nullptr); });

    SECURITY_ATTRIBUTES Inherit{sizeof Inherit, nullptr, TRUE};
    std::string OutputFile = Dir / "output.txt";
    fw_Handles::THandle Out(CreateFileA(OutputFile.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &Inherit,
                                        CREATE_ALWAYS, 0, nullptr));
    ASSERT_TRUE(Out);
    STARTUPINFOA Start{};
    Start.cb = sizeof Start;
    Start.dwFlags = STARTF_USESTDHANDLES;
    Start.hStdOutput = Out.Get();
    Start.hStdError = Out.Get();
    Start.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    std::string Command =
        std::string("\"") + Self + "\" --gtest_filter=ProgmanShared.ChildUsesTheSharedInstanceUntilItEnds";
    PROCESS_INFORMATION Info{};
    ASSERT_TRUE(CreateProcessA(nullptr, Command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &Start, &Info));
    fw_Handles::THandle Process(Info.hProcess), Thread(Info.hThread);
    Out.Reset();
    // Messages are handled while waiting: the child's DdeConnect asks every
    // top-level window, this process's own DDE windows too (the shared
    // instance's, when an earlier test opened it), and waits for each answer.
    // A hang at exit would show as a child that never ends; not waited for
    // forever.
    DWORD Waited = WAIT_TIMEOUT;
    for (ULONGLONG Until = GetTickCount64() + 120000; GetTickCount64() < Until;) {
        HANDLE H = Process.Get();
        Waited = MsgWaitForMultipleObjects(1, &H, FALSE, DWORD(Until - GetTickCount64()), QS_ALLINPUT);
        if (Waited != WAIT_OBJECT_0 + 1)
            break;
        MSG Msg;
        while (PeekMessageA(&Msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&Msg);
    }
    std::string Output = test_support::ReadBytes(OutputFile);
    ASSERT_EQ(Waited, WAIT_OBJECT_0) << Output;
    DWORD Code = 1;
    GetExitCodeProcess(Process.Get(), &Code);
    EXPECT_EQ(Code, 0u) << Output;
    EXPECT_NE(Output.find("[  PASSED  ] 1 test"), std::string::npos) << Output;
    EXPECT_EQ(Output.find("SKIPPED"), std::string::npos) << Output;
    EXPECT_TRUE(FileExists(Group.Link("Wendrel Child"))) << Output;
}
