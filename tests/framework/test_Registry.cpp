// The framework's registry class against the real registry of the scratch
// prefix: the one key deletion, and the causes its failures carry.
#include "framework/fw_Registry.h"
#include "test_support.h"

#include <gtest/gtest.h>

using fw_Registry::ERegistryException;
using fw_Registry::TRegistry;
using test_support::Raises;
using test_support::TScratchKey;

namespace {

bool RawKeyExists(const std::string& Key)
{
    fw_Handles::TRegKey K;
    return RegOpenKeyExA(HKEY_CURRENT_USER, Key.c_str(), 0, KEY_READ, K.Receive()) == ERROR_SUCCESS;
}

} // namespace

TEST(Registry, DeleteKeyTakesTheWholeTreeRelativeToTheCurrentKey)
{
    TScratchKey Key("fwtree");
    TRegistry Reg;
    Reg.SetRootKey(HKEY_CURRENT_USER);
    for (const char* Sub : {"\\A\\B\\C", "\\A\\B2", "\\D"})
        ASSERT_TRUE(Reg.CreateKey("\\" + Key.Path() + Sub));
    ASSERT_TRUE(Reg.OpenKey("\\" + Key.Path(), false));
    EXPECT_TRUE(Reg.KeyExists("A\\B\\C"));
    EXPECT_TRUE(Reg.DeleteKey("A")); // relative to the open key
    EXPECT_FALSE(Reg.KeyExists("A"));
    EXPECT_FALSE(RawKeyExists(Key.Path() + "\\A"));
    EXPECT_TRUE(RawKeyExists(Key.Path() + "\\D"));
    EXPECT_EQ(Reg.CurrentPath(), Key.Path()); // the current key stays
    EXPECT_FALSE(Reg.DeleteKey("A"));
    Reg.CloseKey();
    EXPECT_TRUE(Reg.DeleteKey("\\" + Key.Path()));
    EXPECT_FALSE(RawKeyExists(Key.Path()));
}

TEST(Registry, FailuresCarryTheRegistrysCode)
{
    TScratchKey Key("fwcodes");
    TRegistry Reg;
    Reg.SetRootKey(HKEY_CURRENT_USER);
    EXPECT_EQ(Reg.LastError(), ERROR_SUCCESS);
    EXPECT_FALSE(Reg.OpenKey("\\" + Key.Path() + "\\Missing", false));
    EXPECT_EQ(Reg.LastError(), ERROR_FILE_NOT_FOUND);

    ASSERT_TRUE(Reg.OpenKey("\\" + Key.Path(), true));
    Reg.WriteInteger("Number", 7);
    // A missing value: the text stays the type error, the cause is the registry's.
    EXPECT_TRUE(Raises<ERegistryException>([&] { Reg.ReadInteger("Missing"); }, "Invalid data type for 'Missing'"));
    EXPECT_EQ(test_support::ErrorCodeOf<ERegistryException>([&] { Reg.ReadInteger("Missing"); }), ERROR_FILE_NOT_FOUND);
    // A value of another type: the registry saw nothing wrong.
    EXPECT_TRUE(Raises<ERegistryException>([&] { Reg.ReadString("Number"); }, "Invalid data type for 'Number'"));
    EXPECT_EQ(test_support::ErrorCodeOf<ERegistryException>([&] { Reg.ReadString("Number"); }), ERROR_SUCCESS);
}
