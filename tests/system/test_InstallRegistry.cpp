#include "SystemTestSupport.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace cmp_TInstallRegistry;
using engine_tests::Make;
using engine_tests::MakeRootAt;
using engine_tests::TArguments;
using engine_tests::TOwnedForm;
using system_tests::DwordValue;
using system_tests::KeyExists;
using system_tests::StringValue;
using system_tests::TMachineKey;
using test_support::Raises;

TRegistryEntry* AddEntry(TInstallRegistry* Block, const std::string& Ident)
{
    TRegistryEntry* Entry = Block->Entries()->Add();
    Entry->SetIdent(Ident);
    return Entry;
}

// A block of the root's that writes below HKEY_CURRENT_USER.
TInstallRegistry* MakeBlock(const TOwnedForm& Form, cmp_TInstall::TInstall* Root)
{
    auto* Block = Make<TInstallRegistry>(Form, "Registry");
    Block->SetContainer(Root);
    Block->SetRootKey(routines_Registry::hkCurrentUser);
    return Block;
}

} // namespace

TEST(InstallRegistry, WritesEachEntryWithItsTypeAndRecordsIt)
{
    test_support::TScratchKey Settings("registry-block");
    TMachineKey Product("registry-record");
    TArguments NoArguments({});
    TOwnedForm Form;
    auto* Root = MakeRootAt(Form, "C:\\Program Files\\Pellunar\\Ombo\\Teskor");
    Root->Loaded();
    auto* Block = MakeBlock(Form, Root);
    Block->SetKey("\\" + Settings.Path() + "\\"); // one trailing backslash is dropped
    EXPECT_EQ(Block->GetFullKey(), "\\" + Settings.Path());
    AddEntry(Block, "MainHeight")->SetInteger(590);
    AddEntry(Block, "UserColorForeground")->SetText("Black");
    AddEntry(Block, "ShowAllHints")->SetBoolean(true);
    TRegistryEntry* Folder = AddEntry(Block, "InstallDir");
    Folder->SetPathSpecifier(Root->DestDirType());
    EXPECT_EQ(Folder->Text(), "%p");
    EXPECT_EQ(Folder->EntryType(), retText);
    TRegistryEntry* Percent = AddEntry(Block, "Pattern");
    Percent->SetPathSpecifier(Root->DestDirType());
    Percent->SetText("%p\\Data;100%%;%a"); // the path text, not the meta variables
    TRegistryEntry* Skipped = AddEntry(Block, "Skipped");
    Skipped->SetInteger(7);
    Block->OnBeforeWriteEntry = [&](TCustomInstallRegistry*, TRegistryEntry* Entry, bool& Continue) {
        Continue = Entry != Skipped;
    };

    Block->InstallObjects();
    const std::string Key = Settings.Path();
    EXPECT_EQ(DwordValue(HKEY_CURRENT_USER, Key, "MainHeight"), 590);
    EXPECT_EQ(StringValue(HKEY_CURRENT_USER, Key, "UserColorForeground"), "Black");
    EXPECT_EQ(DwordValue(HKEY_CURRENT_USER, Key, "ShowAllHints"), 1);
    EXPECT_EQ(StringValue(HKEY_CURRENT_USER, Key, "InstallDir"), "C:\\Program Files\\Pellunar\\Ombo\\Teskor");
    EXPECT_EQ(StringValue(HKEY_CURRENT_USER, Key, "Pattern"), "C:\\Program Files\\Pellunar\\Ombo\\Teskor\\Data;100%;a");
    EXPECT_EQ(DwordValue(HKEY_CURRENT_USER, Key, "Skipped"), -1);

    // The record: a numbered key with the key, the root's number and every
    // entry's name (the skipped one too), counted as text.
    const std::string Record = "\\" + Product.Path();
    Block->WriteUninstallInfo(Record);
    const std::string List = Product.Path() + "\\RegistryKeys";
    EXPECT_EQ(StringValue(HKEY_LOCAL_MACHINE, List, "Entries"), "1");
    EXPECT_EQ(StringValue(HKEY_LOCAL_MACHINE, List + "\\RegistryKey1", "Key"), "\\" + Settings.Path());
    EXPECT_EQ(DwordValue(HKEY_LOCAL_MACHINE, List + "\\RegistryKey1", "Root"), 2); // hkCurrentUser
    EXPECT_EQ(StringValue(HKEY_LOCAL_MACHINE, List + "\\RegistryKey1\\Entries", "Skipped"), "");
    EXPECT_EQ(StringValue(HKEY_LOCAL_MACHINE, List + "\\RegistryKey1\\Entries", "InstallDir"),
              "C:\\Program Files\\Pellunar\\Ombo\\Teskor");

    // A second block, and a second installation, go on counting; a count
    // that is no number, or one behind the records, takes the next free key.
    Block->WriteUninstallInfo(Record);
    EXPECT_EQ(StringValue(HKEY_LOCAL_MACHINE, List, "Entries"), "2");
    ASSERT_EQ(RegSetKeyValueA(HKEY_LOCAL_MACHINE, List.c_str(), "Entries", REG_SZ, "two", 4), ERROR_SUCCESS);
    Block->WriteUninstallInfo(Record);
    EXPECT_EQ(StringValue(HKEY_LOCAL_MACHINE, List, "Entries"), "3");
    EXPECT_EQ(StringValue(HKEY_LOCAL_MACHINE, List + "\\RegistryKey1", "Key"), "\\" + Settings.Path());
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, List + "\\RegistryKey3"));

    // A blank product name would record into the list of every product.
    EXPECT_TRUE(Raises<IEInstallRegistry>(
        [&] { Block->WriteUninstallInfo(cmp_TInstallContainer::UninstallKeyBase + std::string("  ")); },
        "Registry cannot record its keys for the uninstaller: the product name is blank"));
}

TEST(InstallRegistry, ARecordAfterTheLargestCountTakesTheNextNumber)
{
    test_support::TScratchKey Settings("registry-top");
    TMachineKey Product("registry-top-record");
    TArguments NoArguments({});
    TOwnedForm Form;
    auto* Root = MakeRootAt(Form, "C:\\Program Files\\Pellunar");
    Root->Loaded();
    auto* Block = MakeBlock(Form, Root);
    Block->SetKey("\\" + Settings.Path());
    AddEntry(Block, "MainHeight")->SetInteger(590);
    const std::string List = Product.Path() + "\\RegistryKeys";
    ASSERT_EQ(RegSetKeyValueA(HKEY_LOCAL_MACHINE, List.c_str(), "Entries", REG_SZ, "2147483647", 11), ERROR_SUCCESS);
    Block->WriteUninstallInfo("\\" + Product.Path());
    EXPECT_EQ(StringValue(HKEY_LOCAL_MACHINE, List, "Entries"), "2147483648");
    EXPECT_EQ(StringValue(HKEY_LOCAL_MACHINE, List + "\\RegistryKey2147483648", "Key"), "\\" + Settings.Path());
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, List + "\\RegistryKey-2147483648"));
}

TEST(InstallRegistry, KeysFromTheProductNamesAndKeysRefused)
{
    TArguments NoArguments({});
    TOwnedForm Form;
    auto* Block = Make<TInstallRegistry>(Form, "Registry");
    EXPECT_EQ(Block->Key(), "\\SOFTWARE\\MyStuff");
    EXPECT_EQ(Block->RootKey(), routines_Registry::hkLocalMachine);
    // The names come from the install root.
    EXPECT_TRUE(Raises<IEInstallRegistry>([&] { Block->SetKeySpecifierType(ksVersion); },
                                          "There is no TInstall component in your project"));
    auto* Root = MakeRootAt(Form, "C:\\Dest");
    Root->Information()->CompanyName = "A";
    Root->Information()->ProductName = "B";
    Root->Information()->Version = "1.0";
    Block->SetRootKey(routines_Registry::hkCurrentUser);
    Block->SetKeySpecifierType(ksVersion);
    EXPECT_EQ(Block->Key(), "");
    EXPECT_EQ(Block->RootKey(), routines_Registry::hkLocalMachine);
    EXPECT_EQ(Block->GetFullKey(), "\\SOFTWARE\\A\\B\\1.0");
    Block->SetKey("\\Ignored");
    EXPECT_EQ(Block->Key(), "");
    Block->SetKeySpecifierType(ksProductName);
    EXPECT_EQ(Block->GetFullKey(), "\\SOFTWARE\\A\\B");
    Block->SetKeySpecifierType(ksCompanyName);
    EXPECT_EQ(Block->GetFullKey(), "\\SOFTWARE\\A");

    // A blank name part would put the values into a parent key; a blank key
    // into the root key itself. Nothing is written then.
    Block->SetRootKey(routines_Registry::hkCurrentUser);
    AddEntry(Block, "Value")->SetInteger(1);
    Root->Information()->CompanyName = " ";
    EXPECT_TRUE(Raises<IERegistryEntry>([&] { Block->InstallObjects(); },
                                        "Registry cannot create the key \\SOFTWARE\\  in the registry"));
    Block->SetKeySpecifierType(ksAbsolute);
    for (const char* Blank : {"", "\\", "\\Software\\\\Teskor", "\\Software\\ \\Teskor"}) {
        Block->SetKey(Blank);
        EXPECT_TRUE(
            Raises<IERegistryEntry>([&] { Block->InstallObjects(); },
                                    "Registry cannot create the key " + Block->GetFullKey() + " in the registry"))
            << Blank;
    }
    EXPECT_EQ(DwordValue(HKEY_CURRENT_USER, "Software", "Value"), -1);

    // A key the registry refuses: the values before it stay.
    test_support::TScratchKey Settings("registry-refused");
    auto* Good = Make<TInstallRegistry>(Form, "Good");
    Good->SetRootKey(routines_Registry::hkCurrentUser);
    Good->SetKey("\\" + Settings.Path());
    AddEntry(Good, "First")->SetInteger(1);
    Good->InstallObjects();
    Block->SetKey("\\" + Settings.Path() + "\\" + std::string(300, 'k'));
    EXPECT_TRUE(Raises<IERegistryEntry>([&] { Block->InstallObjects(); },
                                        "Registry cannot create the key " + Block->GetFullKey() + " in the registry"));
    EXPECT_EQ(DwordValue(HKEY_CURRENT_USER, Settings.Path(), "First"), 1);

    // Without its install root a block names its key itself again.
    Block->SetKeySpecifierType(ksVersion);
    delete Root;
    EXPECT_EQ(Block->KeySpecifierType(), ksAbsolute);
}

TEST(InstallRegistry, EntriesFollowTheirValuesOnceLoaded)
{
    TArguments NoArguments({});
    TOwnedForm Form;
    system_tests::RegisterSystemClasses();
    engine_tests::ReadProject(Form.get(), "object Setup: TForm\n"
                                          "  object Own: TPathSpecifier\n  end\n"
                                          "  object Registry: TInstallRegistry\n"
                                          "    Entries = <\n"
                                          "      item\n"
                                          "        EntryType = retBoolean\n"
                                          "        Ident = 'A'\n"
                                          "        Integer = 5\n"
                                          "        PathSpecifier = Own\n"
                                          "        Text = 'x'\n"
                                          "      end>\n"
                                          "  end\n"
                                          "end\n");
    auto* Block = static_cast<TInstallRegistry*>(Form->FindComponent("Registry"));
    ASSERT_NE(Block, nullptr);
    TRegistryEntry* Entry = Block->Entries()->Items(0);
    // While the project loads the values are only stored.
    EXPECT_EQ(Entry->EntryType(), retBoolean);
    EXPECT_EQ(Entry->Integer(), 5);
    EXPECT_EQ(Entry->Text(), "x");
    EXPECT_EQ(Entry->InstallRegistry(), Block);
    // Afterwards each value sets the type; a path specifier makes a text.
    Entry->SetInteger(6);
    EXPECT_EQ(Entry->EntryType(), retInteger);
    Entry->SetBoolean(false);
    EXPECT_EQ(Entry->EntryType(), retBoolean);
    Entry->SetText("y");
    EXPECT_EQ(Entry->EntryType(), retText);
    Entry->SetPathSpecifier(nullptr);
    EXPECT_EQ(Entry->Text(), "y");
    Entry->SetInteger(1);
    // A specifier that goes takes nothing else with it.
    Entry->SetPathSpecifier(static_cast<cmp_TPathSpecifier::TCustomPathSpecifier*>(Form->FindComponent("Own")));
    Entry->SetEntryType(retInteger);
    delete Form->FindComponent("Own");
    EXPECT_EQ(Entry->PathSpecifier(), nullptr);
    EXPECT_EQ(Entry->EntryType(), retInteger);

    // A copy carries all six values.
    TRegistryEntry* Copy = Block->Entries()->Add();
    Copy->Assign(Entry);
    EXPECT_EQ(Copy->Ident(), "A");
    EXPECT_EQ(Copy->Integer(), 1);
    EXPECT_EQ(Copy->EntryType(), retInteger);

    EXPECT_EQ(AllInstallRegistries().Count(), 1);
    EXPECT_TRUE(Raises<IEInstallRegistryList>([] { AllInstallRegistries().Add(nullptr); },
                                              "Cannot add blank entry to the registry list"));
    EXPECT_TRUE(Raises<IERegistryEntries>([] { TRegistryEntries Entries(nullptr); },
                                          "Cannot create a TRegistryEntries component with a Nil Owner"));
}
