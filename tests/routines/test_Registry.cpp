// The registry routines against the real registry of the scratch prefix; every
// check reads back with the plain registry API.
#include "routines/routines_Registry.h"
#include "test_support.h"

#include <gtest/gtest.h>

using namespace routines_Registry;
using test_support::Raises;
using test_support::TScratchKey;

namespace {

const char* const RunOnce = "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";

bool RawValue(HKEY Root, const std::string& Key, const std::string& Name, std::string* Text, DWORD* Type = nullptr)
{
    char Buf[1024];
    DWORD Size = sizeof Buf, T = 0;
    if (RegGetValueA(Root, Key.c_str(), Name.c_str(), RRF_RT_ANY, &T, Buf, &Size) != ERROR_SUCCESS)
        return false;
    if (Text)
        *Text = T == REG_DWORD ? std::to_string(*reinterpret_cast<DWORD*>(Buf)) : std::string(Buf);
    if (Type)
        *Type = T;
    return true;
}

bool RawKeyExists(HKEY Root, const std::string& Key)
{
    fw_Handles::TRegKey K;
    return RegOpenKeyExA(Root, Key.c_str(), 0, KEY_READ, K.Receive()) == ERROR_SUCCESS;
}

// RunOnce values named after this test process, removed afterwards.
struct TRunOnceNames {
    std::string Base = "WendrelTest" + std::to_string(GetCurrentProcessId());
    ~TRunOnceNames()
    {
        fw_Handles::TRegKey K;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, RunOnce, 0, KEY_ALL_ACCESS, K.Receive()) == ERROR_SUCCESS)
            for (const char* S : {"", "1", "2", "3"})
                RegDeleteValueA(K.Get(), (Base + S).c_str());
    }
};

} // namespace

TEST(RegistryRoutines, RootKeysMapBothWays)
{
    EXPECT_EQ(SetRegistryRoot(hkLocalMachine), HKEY_LOCAL_MACHINE);
    EXPECT_EQ(SetRegistryRoot(hkDynData), HKEY_DYN_DATA);
    for (TRootKeys R : {hkClassesRoot, hkCurrentConfig, hkCurrentUser, hkDynData, hkLocalMachine, hkUsers})
        EXPECT_EQ(RootKeyOfHandle(SetRegistryRoot(R)), R);
    EXPECT_EQ(uint32_t(reinterpret_cast<uintptr_t>(SetRegistryRoot(hkCurrentConfig))), 0x80000005u);
}

TEST(RegistryRoutines, WriteReadAndDefaults)
{
    TScratchKey Key("values");
    std::string Abs = "\\" + Key.Path() + "\\Sub";
    WriteRegistryString(hkCurrentUser, Abs, "UserColorForeground", "Black");
    WriteRegistryInteger(hkCurrentUser, Abs, "MainHeight", 590);
    std::string Text;
    DWORD Type;
    ASSERT_TRUE(RawValue(HKEY_CURRENT_USER, Key.Path() + "\\Sub", "UserColorForeground", &Text, &Type));
    EXPECT_EQ(Type, DWORD(REG_SZ));
    EXPECT_EQ(Text, "Black");
    ASSERT_TRUE(RawValue(HKEY_CURRENT_USER, Key.Path() + "\\Sub", "MainHeight", &Text, &Type));
    EXPECT_EQ(Type, DWORD(REG_DWORD));
    EXPECT_EQ(Text, "590");

    std::string Value = "stale";
    ReadRegistryString(hkCurrentUser, Abs, "UserColorForeground", Value, "dflt");
    EXPECT_EQ(Value, "Black");
    EXPECT_EQ(ReadRegistryInteger(hkCurrentUser, Abs, "MainHeight", -1), 590);
    // Missing values and keys, and values of another type, give the default.
    ReadRegistryString(hkCurrentUser, Abs, "Nothing", Value, "dflt");
    EXPECT_EQ(Value, "dflt");
    ReadRegistryString(hkCurrentUser, Abs + "\\Missing", "UserColorForeground", Value, "d2");
    EXPECT_EQ(Value, "d2");
    EXPECT_EQ(ReadRegistryInteger(hkCurrentUser, Abs, "Nothing", 80), 80);
    EXPECT_EQ(ReadRegistryInteger(hkCurrentUser, Abs, "UserColorForeground", 80), 80);
    EXPECT_FALSE(RawKeyExists(HKEY_CURRENT_USER, Key.Path() + "\\Sub\\Missing")); // reading creates nothing

    // A key that cannot be made (its name is too long) takes no values; the
    // registry's refusal travels with the exception.
    std::string Bad = Abs + "\\" + std::string(300, 'k');
    EXPECT_TRUE(Raises<EIRCannotWriteValue>([&] { WriteRegistryString(hkCurrentUser, Bad, "Ident", "Val"); },
                                            "Cannot install into registry. Key: " + Bad + " Ident: Ident Value Val"));
    EXPECT_TRUE(Raises<EIRCannotWriteValue>([&] { WriteRegistryInteger(hkCurrentUser, Bad, "Ident", 1); }, Bad));
    EXPECT_NE(test_support::ErrorCodeOf<EIRCannotWriteValue>(
                  [&] { WriteRegistryString(hkCurrentUser, Bad, "Ident", "Val"); }),
              ERROR_SUCCESS);
}

TEST(RegistryRoutines, KeyPathsRelativeToTheCurrentKeyOrTheRoot)
{
    TScratchKey Key("paths");
    TWdrlRegistry Reg;
    Reg.SetRootKey(HKEY_CURRENT_USER);
    ASSERT_TRUE(Reg.OpenKey("\\" + Key.Path(), true));
    EXPECT_EQ(Reg.CurrentPath(), Key.Path());
    ASSERT_TRUE(Reg.OpenKey("Child", true)); // below the open key
    EXPECT_EQ(Reg.CurrentPath(), Key.Path() + "\\Child");
    Reg.WriteBool("Flag", true);
    Reg.WriteString("Name", "Teskor");
    EXPECT_TRUE(RawKeyExists(HKEY_CURRENT_USER, Key.Path() + "\\Child"));
    std::string Text;
    ASSERT_TRUE(RawValue(HKEY_CURRENT_USER, Key.Path() + "\\Child", "Flag", &Text));
    EXPECT_EQ(Text, "1");
    EXPECT_TRUE(Reg.KeyExists("\\" + Key.Path()));
    EXPECT_FALSE(Reg.KeyExists("Nowhere"));
    EXPECT_FALSE(Reg.OpenKey("Nowhere", false));
    EXPECT_EQ(Reg.CurrentPath(), Key.Path() + "\\Child"); // a failed open keeps the current key
    EXPECT_EQ(Reg.ReadString("Name"), "Teskor");
    EXPECT_EQ(Reg.ReadString("Missing"), "");
    EXPECT_THROW(Reg.ReadInteger("Missing"), fw_Registry::ERegistryException);
    Reg.CloseKey();
    EXPECT_FALSE(Reg.OpenKey(Key.Path() + "\\Child\\Deeper", false));
    // No key is open: the write fails with the registry's reason beside the text.
    EXPECT_TRUE(Raises<fw_Registry::ERegistryException>([&] { Reg.WriteInteger("MainTop", 0); },
                                                        "Failed to set data for 'MainTop'"));
    EXPECT_NE(test_support::ErrorCodeOf<fw_Registry::ERegistryException>([&] { Reg.WriteInteger("MainTop", 0); }),
              ERROR_SUCCESS);
}

TEST(RegistryRoutines, DeleteRegistryTreeRemovesNestedKeysAndIgnoresMissingOnes)
{
    TScratchKey Key("tree");
    for (const char* Sub : {"\\A\\B\\C", "\\A\\B2", "\\D"})
        WriteRegistryString(hkCurrentUser, "\\" + Key.Path() + Sub, "v", "x");
    WriteRegistryString(hkCurrentUser, "\\" + Key.Path() + "Sibling", "v", "kept");
    DeleteRegistryTree(hkCurrentUser, "\\" + Key.Path());
    EXPECT_FALSE(RawKeyExists(HKEY_CURRENT_USER, Key.Path()));
    EXPECT_TRUE(RawKeyExists(HKEY_CURRENT_USER, Key.Path() + "Sibling"));
    DeleteRegistryTree(hkCurrentUser, "\\" + Key.Path() + "Sibling");
    EXPECT_FALSE(RawKeyExists(HKEY_CURRENT_USER, Key.Path() + "Sibling"));
    DeleteRegistryTree(hkCurrentUser, "\\" + Key.Path() + "\\Never\\There"); // nothing happens

    TWdrlRegistry Reg;
    Reg.SetRootKey(HKEY_CURRENT_USER);
    WriteRegistryString(hkCurrentUser, "\\" + Key.Path() + "\\P\\Q\\R", "v", "x");
    EXPECT_TRUE(Reg.DeleteKey("\\" + Key.Path() + "\\P"));
    EXPECT_FALSE(RawKeyExists(HKEY_CURRENT_USER, Key.Path() + "\\P"));
    EXPECT_FALSE(Reg.DeleteKey("\\" + Key.Path() + "\\P"));
}

TEST(RegistryRoutines, RunOnceEntriesAreNumberedWhenUnique)
{
    TRunOnceNames Names;
    const std::string& X = Names.Base;
    ASSERT_TRUE(AddRunOnceEntry(X, "first", true));
    ASSERT_TRUE(AddRunOnceEntry(X, "second", true));
    ASSERT_TRUE(AddRunOnceEntry(X, "third", true));
    std::string Text;
    ASSERT_TRUE(RawValue(HKEY_LOCAL_MACHINE, RunOnce, X, &Text));
    EXPECT_EQ(Text, "first");
    ASSERT_TRUE(RawValue(HKEY_LOCAL_MACHINE, RunOnce, X + "1", &Text));
    EXPECT_EQ(Text, "second");
    ASSERT_TRUE(RawValue(HKEY_LOCAL_MACHINE, RunOnce, X + "2", &Text));
    EXPECT_EQ(Text, "third");
    ASSERT_TRUE(AddRunOnceEntry(X, "replaced", false));
    ASSERT_TRUE(RawValue(HKEY_LOCAL_MACHINE, RunOnce, X, &Text));
    EXPECT_EQ(Text, "replaced");
    EXPECT_FALSE(RawValue(HKEY_LOCAL_MACHINE, RunOnce, X + "3", nullptr));
}

TEST(RegistryRoutines, UniqueComponentNames)
{
    fw_Classes::TComponent Owner(nullptr);
    auto* Dlg = new fw_Classes::TComponent(&Owner);
    Dlg->SetName("Dlg");
    auto* Dlg1 = new fw_Classes::TComponent(&Owner);
    Dlg1->SetName("Dlg1");
    auto* Next = new fw_Classes::TComponent(&Owner);
    SetUniqueComponentName(Next, "Dlg");
    EXPECT_EQ(Next->Name(), "Dlg2");
    auto* Free = new fw_Classes::TComponent(&Owner);
    SetUniqueComponentName(Free, "Other");
    EXPECT_EQ(Free->Name(), "Other");
    // A base that can never be a name ends the search instead of looping.
    EXPECT_THROW(SetUniqueComponentName(new fw_Classes::TComponent(&Owner), "9 lives"), fw_Classes::EComponentError);
}
