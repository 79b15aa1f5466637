// Translating forms and messages, the fonts per language, the user's
// language and the texts that reach windows.
#include "TranslatorTestSupport.h"

#include "routines/exceptions_Wendrel.h"

#include <cstdlib>

using namespace translator_test;
using fw_Forms::TForm;
using fw_Forms::TWinControl;

using TranslatorForms = TranslatorTest;
using TranslatorFonts = TranslatorTest;
using TranslatorMessages = TranslatorTest;

namespace {

// A component whose published text cannot be set: a translation that fails.
class TBrokenText : public TComponent {
    FW_CLASS(TBrokenText, TComponent)
public:
    using TComponent::TComponent;
    std::string Text = "Next >";
    void SetText(const std::string&) { throw fw_SysUtils::Exception("broken"); }
};

void DefineBrokenText(fw_Classes::TPropertyBuilder<TBrokenText>& P)
{
    P.String("Text", &TBrokenText::Text, &TBrokenText::SetText);
}

} // namespace

FW_DEFINE_CLASS(TBrokenText, TComponent, nullptr, DefineBrokenText)

namespace {

// Controls that keep the framework's usual names for their lines and items.
class TMemo : public TWinControl {
    FW_CLASS(TMemo, TWinControl)
public:
    using TWinControl::TWinControl;
    std::vector<std::string> Lines;
};
class TListBox : public TWinControl {
    FW_CLASS(TListBox, TWinControl)
public:
    using TWinControl::TWinControl;
    std::vector<std::string> Items;
};

class TListColumn : public fw_Classes::TCollectionItem {
    FW_CLASS(TListColumn, fw_Classes::TCollectionItem)
public:
    using TCollectionItem::TCollectionItem;
    std::string Caption;
};
class TListView : public TWinControl {
    FW_CLASS(TListView, TWinControl)
public:
    using TWinControl::TWinControl;
    fw_Classes::TCollection Columns{fw_Classes::CreateItem<TListColumn>};
};

void DefineListColumn(fw_Classes::TPropertyBuilder<TListColumn>& P)
{
    P.String("Caption", &TListColumn::Caption, &TListColumn::Caption);
}
void DefineListView(fw_Classes::TPropertyBuilder<TListView>& P)
{
    P.Object<fw_Classes::TCollection>("Columns", [](TListView* V) { return &V->Columns; });
}
void DefineMemo(fw_Classes::TPropertyBuilder<TMemo>& P) { P.Lines("Lines", &TMemo::Lines, &TMemo::Lines); }
void DefineListBox(fw_Classes::TPropertyBuilder<TListBox>& P) { P.Lines("Items", &TListBox::Items, &TListBox::Items); }

} // namespace

FW_DEFINE_CLASS(TMemo, TWinControl, nullptr, DefineMemo)
FW_DEFINE_CLASS(TListBox, TWinControl, nullptr, DefineListBox)
FW_DEFINE_CLASS(TListColumn, fw_Classes::TCollectionItem, nullptr, DefineListColumn)
FW_DEFINE_CLASS(TListView, TWinControl, nullptr, DefineListView)

TEST_F(TranslatorForms, TranslatesOwnedComponentsButNotOwnedForms)
{
    TForm Form(nullptr);
    Form.SetCaption("  Setup complete ");
    auto* ByWording = new TTranslateLabel(&Form);
    ByWording->SetName("ByWording");
    ByWording->SetCaption("NEXT >");
    ByWording->SetHint("Cancel");
    auto* ById = new TTranslateBitBtn(&Form);
    ById->SetCaption("Back");
    ById->GLID = 5;
    auto* Missing = new TTranslateBitBtn(&Form);
    Missing->SetCaption("Cancel");
    Missing->GLID = 7; // no French entry
    auto* Never = new TTranslateBitBtn(&Form);
    Never->SetCaption("Next >");
    Never->GLID = -1;
    auto* Hidden = new TTranslateLabel(&Form);
    Hidden->SetVisible(false);
    auto* Inner = new TForm(&Form);
    Inner->SetCaption("Next >");
    auto* Named = new TTranslateLabel(&Form);
    Named->SetName("Cancel"); // the name is no text

    auto* Memo = new TMemo(&Form);
    Memo->Lines = {"Welcome to the setup.", "Press Next."};
    auto* List = new TListBox(&Form);
    List->Items = {"Cancel", "Other", "next >"};
    auto* View = new TListView(&Form);
    static_cast<TListColumn*>(View->Columns.Add())->Caption = "Setup complete";

    EXPECT_EQ(T->TranslateForm(wlEnglish, &Form), wlFrench);
    EXPECT_EQ(Form.Caption(), "Installation termin\xe9"
                              "e");
    EXPECT_EQ(ByWording->Caption(), "Suivant >");
    EXPECT_EQ(ByWording->Hint(), "Annuler");
    EXPECT_EQ(ById->Caption(), "Suivant >");
    EXPECT_EQ(Missing->Caption(), "Cancel");
    EXPECT_EQ(Never->Caption(), "Next >");
    EXPECT_EQ(Inner->Caption(), "Next >");
    EXPECT_EQ(Named->Name(), "Cancel");
    EXPECT_TRUE(ByWording->Visible());
    EXPECT_FALSE(Hidden->Visible());
    EXPECT_EQ(Memo->Lines, (std::vector<std::string>{"Bienvenue dans l'installation."}));
    EXPECT_EQ(static_cast<TListColumn*>(View->Columns.Items(0))->Caption, "Installation termin\xe9"
                                                                          "e");
    EXPECT_EQ(List->Items, (std::vector<std::string>{"Annuler", "Other", "Suivant >"}));

    // From French on: the form's texts are French now.
    T->SetTranslateIntoLanguage(wlRussian);
    EXPECT_EQ(T->TranslateForm(wlFrench, &Form), wlRussian);
    EXPECT_EQ(ByWording->Caption(), "\xc4\xe0\xeb\xe5\xe5 >");
    // Into a language without lines the texts stay, and so does the language.
    T->SetTranslateIntoLanguage(wlGerman);
    EXPECT_EQ(T->TranslateForm(wlRussian, &Form), wlRussian);
    EXPECT_EQ(T->TranslateForm(wlRussian, nullptr), wlRussian);
}

TEST_F(TranslatorForms, IntoAnotherLanguageRestoresTheLanguageEvenWhenRaising)
{
    int Changes = 0;
    T->OnChange = [&](fw_Classes::TObject*) { ++Changes; };
    TForm Form(nullptr);
    auto* Label = new TTranslateLabel(&Form);
    Label->SetParent(&Form);
    Label->SetCaption("Next >");
    EXPECT_EQ(T->TranslateFormInto(wlEnglish, wlRussian, &Form), wlRussian);
    EXPECT_EQ(Label->Caption(), "\xc4\xe0\xeb\xe5\xe5 >");
    EXPECT_EQ(T->TranslateIntoLanguage(), wlFrench);
    EXPECT_EQ(Changes, 2);

    new TBrokenText(&Form);
    Label->SetCaption("Next >");
    EXPECT_EQ(MessageOf([&] { T->TranslateFormInto(wlEnglish, wlRussian, &Form); }), "broken");
    EXPECT_EQ(T->TranslateIntoLanguage(), wlFrench);
    EXPECT_TRUE(Label->Visible());

    Label->Font()->OnChange = [](fw_Classes::TObject*) { throw fw_SysUtils::Exception("no font"); };
    EXPECT_EQ(MessageOf([&] { T->SetFormFontIn(wlRussian, &Form); }), "no font");
    EXPECT_EQ(T->TranslateIntoLanguage(), wlFrench);
    Label->Font()->OnChange = nullptr;
}

TEST_F(TranslatorFonts, FollowTheLanguageOfTheForm)
{
    TForm Form(nullptr);
    auto* Child = new TTranslateLabel(&Form);
    Child->SetParent(&Form);
    struct TCase {
        TWdrlLanguage Language;
        int Charset;
        std::string Face;
        int Size;
    } Cases[] = {
        {wlFrench, 0, "Arial", 8},
        {wlRussian, 204, "Arial", 8},
        {wlChineseTraditional, 136, "\xB7\x73\xB2\xD3\xA9\xFA\xC5\xE9", 9},
        {wlJapanese, 128, "\x82\x6C\x82\x72\x20\x82\x6F\x83\x53\x83\x56\x83\x62\x83\x4E", 9},
        {wlPortugese, 0, "Arial", 8},
        {wlHebrew, 177, "Arial", 8},
        {wlCzech, 238, "Arial", 8},
        {wlGerman, 0, "MS Sans Serif", 8},
    };
    for (const TCase& C : Cases) {
        T->Language(C.Language)->SetStrings({"1;x"});
        Form.Font()->SetSize(6);
        Child->Font()->SetSize(12);
        T->SetFormFontIn(C.Language, &Form);
        for (fw_Forms::TControl* Ctl :
             {static_cast<fw_Forms::TControl*>(&Form), static_cast<fw_Forms::TControl*>(Child)}) {
            EXPECT_EQ(Ctl->Font()->Charset(), C.Charset) << int(C.Language);
            EXPECT_EQ(Ctl->Font()->Name(), C.Face) << int(C.Language);
        }
        EXPECT_EQ(Form.Font()->Size(), C.Size) << int(C.Language);
        EXPECT_EQ(Child->Font()->Size(), 12) << int(C.Language); // never made smaller
    }
    EXPECT_EQ(T->TranslateIntoLanguage(), wlFrench);

    // A language without lines takes English's font.
    T->Language(wlPolish)->SetStrings(std::vector<std::string>{});
    T->SetFormFontIn(wlPolish, &Form);
    EXPECT_EQ(Child->Font()->Charset(), 0);

    TLanguage* Russian = T->Language(wlRussian);
    Russian->FontOverride = true;
    Russian->Font()->SetName("Tahoma");
    Russian->Font()->SetSize(15);
    Russian->Font()->SetCharset(204);
    T->SetFormFontIn(wlRussian, &Form);
    EXPECT_EQ(Child->Font()->Name(), "Tahoma");
    EXPECT_EQ(Child->Font()->Size(), 15);
    EXPECT_EQ(Child->Font()->Charset(), 204);
}

TEST_F(TranslatorMessages, TranslateTheComponentsExceptions)
{
    using exceptions_Wendrel::IException;
    EXPECT_EQ(IException("SETUP COMPLETE").Message(), "Installation termin\xe9"
                                                      "e");
    EXPECT_EQ(IException("Not in English").Message(), "Not in English");
    // A reordered translation formats; one that would not falls back.
    EXPECT_EQ(IException("File %s of %d", {"a.dll", 3}).Message(), "Sur 3 : fichier a.dll");
    EXPECT_EQ(IException("Copied %d files into %s", {3, "C:\\"}).Message(), "Copied 3 files into C:\\");

    EXPECT_TRUE(FormatFitsArguments("%1:d %0:s %%", "%s %d"));
    EXPECT_TRUE(FormatFitsArguments("%f", "%d"));
    EXPECT_FALSE(FormatFitsArguments("%d", "%f"));
    EXPECT_FALSE(FormatFitsArguments("%s %s", "%s"));
    EXPECT_FALSE(FormatFitsArguments("%*d", "%d"));
    EXPECT_TRUE(FormatFitsArguments("%*d", "%*d"));
    EXPECT_FALSE(FormatFitsArguments("100%", "all"));
    EXPECT_TRUE(FormatFitsArguments("50 % fait", "50% done")); // no format at all

    // Only the first translator is the main one; without it texts pass.
    {
        TTranslator Second(nullptr);
        EXPECT_EQ(MainTranslator, T.get());
    }
    T.reset();
    EXPECT_EQ(MainTranslator, nullptr);
    EXPECT_EQ(IException("Setup complete").Message(), "Setup complete");
    EXPECT_EQ(cmp_TTranslator::TranslateMessage("Setup complete"), "Setup complete");
    EXPECT_EQ(cmp_TTranslator::TranslateForm(wlGreek, nullptr), wlGreek);
}

TEST(TranslatorUserLanguage, MapsTheWindowsLanguageIds)
{
    struct TCase {
        LANGID Id;
        TWdrlLanguage Language;
    } Cases[] = {
        {0x0C0C, wlFrench},
        {0x040C, wlFrench},
        {0x0404, wlChineseTraditional},
        {0x0804, wlChineseSimplified},
        {0x0414, wlNorwegianBokmal},
        {0x0814, wlNorwegianNynorsk},
        {0x0C14, wlNorwegianBokmal},
        {0x0419, wlRussian},
        {0x0416, wlPortugese},
        {0x042A, wlVietnamese},
        {0x002B, wlEnglish},
        {0x0409, wlEnglish},
        {0x0401, wlEnglish},
        {0x040D, wlHebrew},
        {0x0405, wlCzech},
    };
    for (const TCase& C : Cases)
        EXPECT_EQ(LanguageOfLangID(C.Id), C.Language) << std::hex << C.Id;
}

// The translator for the Windows user follows GetUserDefaultLangID. Wine takes
// that from LC_ALL when the process starts (a process cannot change it), so
// CTest runs this test once more with LC_ALL=fr_CA.UTF-8 and
// WDRL_EXPECT_LANGID=0x0C0C.
TEST(TranslatorUserLanguage, TheWindowsUserLanguageChoosesTheLanguage)
{
    if (const char* Expected = std::getenv("WDRL_EXPECT_LANGID"); Expected && *Expected) {
        ASSERT_EQ(GetUserDefaultLangID(), std::strtoul(Expected, nullptr, 16));
    }
    const TWdrlLanguage User = LanguageOfLangID(GetUserDefaultLangID());
    TTranslator T(nullptr);
    T.Language(User)->SetStrings({"5;Next in the user's language"});
    ASSERT_EQ(T.TranslateIntoLanguage(), wlUser);
    EXPECT_EQ(T.CurrentLanguage(), T.Language(User));
    EXPECT_EQ(UserWdrlLanguage(), User);
    std::string R;
    T.GetString(5, "Next >", R);
    EXPECT_EQ(R, "Next in the user's language");
    TForm Form(nullptr);
    Form.SetCaption("Next >");
    EXPECT_EQ(T.TranslateForm(wlEnglish, &Form), wlUser);
}

TEST(TranslatorText, ReachesWindowsInTheLanguagesCodePage)
{
    EXPECT_EQ(TextToWide("\xc4\xe0\xeb\xe5\xe5", 204), L"\x0414\x0430\x043b\x0435\x0435");
    EXPECT_EQ(TextToWide("termin\xe9", 0), L"termin\x00e9");
    EXPECT_EQ(TextToWide("\xB7\x73\xB2\xD3\xA9\xFA\xC5\xE9", 136), L"\x65b0\x7d30\x660e\x9ad4");
    EXPECT_EQ(TextToWide("", 204), L"");

    // A window of the wide system class keeps its text as UTF-16, whatever
    // the system's code page.
    HWND Window = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 100, 20, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(Window, nullptr);
    fw_Handles::TScopeExit Destroy([Window] { DestroyWindow(Window); });
    SetWindowTextIn(Window, "\xce\xf2\xec\xe5\xed\xe0", 204);
    wchar_t Buf[64] = {};
    GetWindowTextW(Window, Buf, 64);
    EXPECT_EQ(std::wstring(Buf), L"\x041e\x0442\x043c\x0435\x043d\x0430");
}
