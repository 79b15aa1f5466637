// The line format of a language, its errors, and the lookups on its entries.
#include "TranslatorTestSupport.h"

#include "framework/fw_Forms.h"
#include "framework/fw_Reader.h"

using namespace translator_test;

using TranslatorParsing = TranslatorTest;
using TranslatorLookup = TranslatorTest;

namespace {

std::vector<std::pair<int, std::string>> StringsOf(const TLanguage& L)
{
    std::vector<std::pair<int, std::string>> R;
    for (const auto& S : L.StringEntries())
        R.emplace_back(S->GLID, S->Text());
    return R;
}

} // namespace

TEST_F(TranslatorParsing, MakesStringsAndMemosOfTheLines)
{
    TLanguage* L = T->Language(wlGerman);
    L->SetStrings({"5;Next >", "* note", "", "#40;", "First line", "  ", "* inside", "Second line", "#",
                   "  7;Text;more  ", "8;  padded", "#41;", "never closed"});
    EXPECT_EQ(StringsOf(*L), (std::vector<std::pair<int, std::string>>{{5, "Next >"}, {7, "Text"}, {8, "  padded"}}));
    EXPECT_EQ(L->StringEntries()[1]->LineIndex, 9);
    ASSERT_EQ(L->Memos().size(), 1u); // the memo without its end marker is dropped
    EXPECT_EQ(L->Memos()[0]->GLID, 40);
    EXPECT_EQ(L->Memos()[0]->LineIndex, 3);
    EXPECT_EQ(L->Memos()[0]->Lines.ToVector(), (std::vector<std::string>{"First line", "Second line"}));
}

TEST_F(TranslatorParsing, ErrorsNameTheLineAndLeaveTheLanguageEmpty)
{
    const std::string NoText = "does not have the proper format of GLID;Text";
    struct TCase {
        std::string Line, Message;
    } Cases[] = {
        {"5;", "The 2'th string (5;) " + NoText},
        {"  5;   ", "The 2'th string (5;) " + NoText},
        {"\tx;Hello ", "The 2'th string (x;Hello) " + NoText + " or .GLID;"},
        {"5 ;Hello", "The 2'th string (5 ;Hello) " + NoText + " or .GLID;"},
        {";Hello", "The 2'th string (;Hello) " + NoText},
        {"#;", "The 2'th string (#;) " + NoText},
        {"#4x;", "The 2'th string (#4x;) " + NoText + " or .GLID;"},
        {" # ", "Found the end of memo marker # at line 2. Was not in a memo however"},
    };
    for (const TCase& C : Cases) {
        TLanguage* L = T->Language(wlFrench);
        std::vector<std::string> Lines = FrenchLines;
        Lines.resize(2);
        Lines.push_back(C.Line);
        Lines.push_back("9;After");
        EXPECT_EQ(MessageOf([&] { L->SetStrings(Lines); }), C.Message) << C.Line;
        EXPECT_TRUE(L->StringEntries().empty() && L->Memos().empty()) << C.Line;
        EXPECT_EQ(L->Strings()->Count(), 4) << C.Line; // the lines stay as given
    }
}

TEST_F(TranslatorParsing, CutsTextsAt255BytesBetweenCharacters)
{
    TLanguage* L = T->Language(wlEnglish);
    L->SetStrings({"1;" + std::string(300, 'a')});
    EXPECT_EQ(L->StringEntries()[0]->Text(), std::string(255, 'a'));

    // Code page 936: "\xb0\xa1" is one character; at bytes 254 and 255 it
    // would be split by a plain cut.
    TLanguage* Chinese = T->Language(wlChineseSimplified);
    Chinese->SetStrings(
        {"1;" + std::string(254, 'a') + "\xb0\xa1" + "bbb", "2;" + std::string(253, 'a') + "\xb0\xa1" + "b"});
    EXPECT_EQ(Chinese->StringEntries()[0]->Text(), std::string(254, 'a'));
    EXPECT_EQ(Chinese->StringEntries()[1]->Text(), std::string(253, 'a') + "\xb0\xa1");
}

TEST_F(TranslatorParsing, FollowsEveryChangeOfTheLines)
{
    TLanguage* L = T->Language(wlGerman);
    TLangFormatStrings* S = L->Strings();
    S->Add("1;One");
    S->Add("2;Two");
    S->Insert(0, "* head");
    EXPECT_EQ(StringsOf(*L), (std::vector<std::pair<int, std::string>>{{1, "One"}, {2, "Two"}}));
    EXPECT_EQ(L->StringEntries()[1]->LineIndex, 2);
    S->Delete(0); // no parse: the entries after it move up
    EXPECT_EQ(L->StringEntries()[0]->LineIndex, 0);
    EXPECT_EQ(L->StringEntries()[1]->LineIndex, 1);
    S->Move(1, 0);
    EXPECT_EQ(L->StringEntries()[0]->GLID, 2);
    S->SetText("3;Three\r\n4;Four\r\n");
    EXPECT_EQ(StringsOf(*L), (std::vector<std::pair<int, std::string>>{{3, "Three"}, {4, "Four"}}));
    S->Clear();
    EXPECT_TRUE(L->StringEntries().empty());
    EXPECT_TRUE(L->ParseEnabled);
    L->ParseEnabled = false;
    S->Add("5;Five");
    EXPECT_TRUE(L->StringEntries().empty());
}

TEST(TranslatorProject, TakesTheLinesOfAProjectText)
{
    RegisterTranslatorClasses();
    fw_Forms::TForm Form(nullptr);
    fw_Reader::ReadComponentText(&Form, "object Main: TForm\n"
                                        "  object MainTranslator: TTranslator\n"
                                        "    lgFrench.Strings = ('5;Suivant >' '6;Annul'#233'r')\n"
                                        "    lgFrench.FontOverride = True\n"
                                        "    lgFrench.Font.Name = 'Tahoma'\n"
                                        "    TranslateIntoLanguage = wlFrench\n"
                                        "  end\n"
                                        "end\n");
    auto* Read = dynamic_cast<TTranslator*>(Form.FindComponent("MainTranslator"));
    ASSERT_NE(Read, nullptr);
    EXPECT_EQ(MainTranslator, Read);
    EXPECT_EQ(Read->TranslateIntoLanguage(), wlFrench);
    TLanguage* French = Read->Language(wlFrench);
    EXPECT_EQ(StringsOf(*French), (std::vector<std::pair<int, std::string>>{{5, "Suivant >"}, {6, "Annul\xe9r"}}));
    EXPECT_TRUE(French->FontOverride);
    EXPECT_EQ(French->Font()->Name(), "Tahoma");
    EXPECT_EQ(French->LanguageIdent(), wlFrench);
    EXPECT_EQ(French->FileName(), "wdriFrench.txt");
    EXPECT_EQ(French->BitmapName(), "BM_LANG_FRENCH");

    // Written out, the project reads back the same.
    std::string Written = fw_Reader::WriteComponentText(&Form);
    fw_Forms::TForm Again(nullptr);
    fw_Reader::ReadComponentText(&Again, Written);
    auto* Copy = dynamic_cast<TTranslator*>(Again.FindComponent("MainTranslator"));
    ASSERT_NE(Copy, nullptr);
    EXPECT_EQ(StringsOf(*Copy->Language(wlFrench)), StringsOf(*French));
    EXPECT_EQ(Copy->TranslateIntoLanguage(), wlFrench);
}

TEST(TranslatorProject, MalformedLinesStopTheLoadWithTheirMessage)
{
    RegisterTranslatorClasses();
    fw_Forms::TForm Form(nullptr);
    EXPECT_EQ(MessageOf([&] {
                  fw_Reader::ReadComponentText(&Form, "object Main: TForm\n"
                                                      "  object MainTranslator: TTranslator\n"
                                                      "    lgRussian.Strings = ('5;Ok' 'x;Bad')\n"
                                                      "  end\n"
                                                      "end\n");
              }),
              "The 1'th string (x;Bad) does not have the proper format of GLID;Text or .GLID;");
    EXPECT_EQ(Form.ComponentCount(), 0);
    EXPECT_EQ(MainTranslator, nullptr);
}

TEST_F(TranslatorLookup, TakesTheFirstMatch)
{
    TLanguage* L = T->Language(wlGerman);
    L->SetStrings(
        {"3;Weiter >", "3;Zweite", "4;weiter >", "#9;", "Zeile", "#", "#9;", "Andere", "#", "#10;", "Zeile", "#"});
    EXPECT_EQ(L->FindString(3)->Text(), "Weiter >");
    EXPECT_EQ(L->FindString(99), nullptr);
    EXPECT_EQ(L->FindStringByText("WEITER >")->GLID, 3); // case ignored, first in order
    EXPECT_EQ(L->FindStringByText("Weiter"), nullptr);
    EXPECT_EQ(L->FindMemo(9)->Lines[0], "Zeile");
    TStringList Lines;
    Lines.Add("Zeile");
    EXPECT_EQ(L->FindMemoByText(Lines)->GLID, 9);
    Lines.Put(0, "ZEILE"); // memos compare with their case
    EXPECT_EQ(L->FindMemoByText(Lines), nullptr);
}

TEST_F(TranslatorLookup, ByWordingGoesThroughTheSameGLID)
{
    std::string R;
    T->TranslateString(wlEnglish, "next >", R);
    EXPECT_EQ(R, "Suivant >");
    T->TranslateString(wlEnglish, "&Back", R); // no French id 7
    EXPECT_EQ(R, "&Back");
    T->TranslateString(wlEnglish, "Unknown", R);
    EXPECT_EQ(R, "Unknown");
    T->TranslateString(wlFrench, "Suivant >", R);
    EXPECT_EQ(R, "Suivant >");
    T->SetTranslateIntoLanguage(wlRussian);
    T->TranslateString(wlFrench, "Suivant >", R);
    EXPECT_EQ(R, "\xc4\xe0\xeb\xe5\xe5 >");
    T->GetString(16, "Cancel", R);
    EXPECT_EQ(R, "\xce\xf2\xec\xe5\xed\xe0");
    T->GetString(6, "Cancel", R);
    EXPECT_EQ(R, "Cancel");
    T->SetTranslateIntoLanguage(wlFrench);
    TStringList Memo, Out;
    Memo.SetVector({"Welcome to the setup.", "Press Next."});
    T->TranslateStrings(wlEnglish, Memo, Out);
    EXPECT_EQ(Out.ToVector(), (std::vector<std::string>{"Bienvenue dans l'installation."}));
    Memo.Put(1, "Press next.");
    T->TranslateStrings(wlEnglish, Memo, Out);
    EXPECT_EQ(Out.ToVector(), Memo.ToVector());
}
