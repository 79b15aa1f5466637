// The translator: run-time translation of the installer's dialogs and
// messages into one of twenty languages, with a font per language.
//
// A TTranslator holds one TLanguage per language. A language's lines come
// with the project (its Strings) and are parsed into numbered entries:
//
//   5;Next >           a string: its id (GLID), ";" and the text
//   * a comment        ignored, also inside a memo
//   #40;               opens a memo with id 40; the lines up to "#" are its
//   First line         lines (blank lines are left out)
//   #
//
// Texts are bytes in the language's code page (CP1252 for French, CP1251 for
// Russian...), never UTF-8; where a text reaches a window it goes through
// TextToWide with the language's charset.
//
// Two ways of translating exist side by side: controls of the classes
// TTranslateLabel and TTranslateBitBtn carry a GLID and take the string with
// that id from the target language; every other text is looked up by its
// wording in the source language and replaced by the entry with the same
// GLID in the target language. Missing ids, texts or languages never raise:
// the text stays as it was.
#pragma once

#include "framework/fw_Classes.h"
#include "framework/fw_Forms.h"
#include "framework/fw_Graphics.h"
#include "framework/fw_SysUtils.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace cmp_TTranslator {

using fw_Classes::TComponent;
using fw_Classes::TNotifyEvent;
using fw_Classes::TObject;
using fw_Classes::TPersistent;
using fw_Classes::TStringList;
using fw_Classes::TStrings;
using fw_Graphics::TFont;

enum TWdrlLanguage : uint8_t {
    wlChineseSimplified,
    wlChineseTraditional,
    wlCzech,
    wlDanish,
    wlDutch,
    wlEnglish,
    wlFrench,
    wlGerman,
    wlGreek,
    wlHebrew,
    wlItalian,
    wlJapanese,
    wlKorean,
    wlNorwegianBokmal,
    wlNorwegianNynorsk,
    wlPolish,
    wlPortugese,
    wlRussian,
    wlSpanish,
    wlUser, // the Windows user's language; it has no TLanguage of its own
    wlVietnamese
};
extern const fw_Classes::TEnumInfo TWdrlLanguageInfo;
constexpr int LanguageCount = 20; // every value but wlUser

// What the system attaches to a language.
struct TLanguageInfo {
    const char* PropertyName; // "lgFrench"
    const char* FileName;     // "wdriFrench.txt", for tools
    const char* BitmapName;   // "BM_LANG_FRENCH", for tools
    int Charset;              // Windows character set of the language's texts
    std::string_view Face;    // bytes in the language's code page
    int MinSize;              // points
};
// The entry of a language; wlUser raises Exception "Unrecognized language".
const TLanguageInfo& LanguageInfo(TWdrlLanguage Language);

// The ANSI code page of a Windows character set (1252 for ANSI_CHARSET,
// whatever the machine's own code page is; CP_ACP for an unknown one).
UINT CharsetCodePage(int Charset);
// Text in the code page of Charset, as UTF-16 for the W calls.
std::wstring TextToWide(std::string_view Text, int Charset);
// Sets a window's text from bytes in the code page of Charset, so that
// Cyrillic shows as Cyrillic whatever the system's code page. The window must
// be a Unicode one (of a class registered or created through the W calls):
// an ANSI window turns what its code page lacks into "?".
void SetWindowTextIn(HWND Window, std::string_view Text, int Charset);

// The language of a Windows language id (primary language = low 10 bits).
TWdrlLanguage LanguageOfLangID(LANGID Id);
// The language of the Windows user (GetUserDefaultLangID).
TWdrlLanguage UserWdrlLanguage();

class TLanguage;
class TTranslator;

class TLanguageElement : public TObject {
    FW_CLASS(TLanguageElement, TObject)

public:
    int GLID = 0;
    TLanguage* Language = nullptr;
    int LineIndex = 0; // 0-based line of the entry in the language's Strings
};

class TLanguageString : public TLanguageElement {
    FW_CLASS(TLanguageString, TLanguageElement)

public:
    const std::string& Text() const { return FText; }
    // Keeps at most MaxTextLength bytes, never half of a double-byte character
    // of the language's code page.
    void SetText(std::string_view Value);
    static constexpr size_t MaxTextLength = 255;

private:
    std::string FText;
};

class TLanguageMemo : public TLanguageElement {
    FW_CLASS(TLanguageMemo, TLanguageElement)

public:
    TStringList Lines;
};

// A language's lines. Every change parses the whole list again while the
// language's ParseEnabled is set; the bulk changes (assigning, adding a
// list, setting the text or all lines, loading a file) parse once at the end.
// Deleting a line does not parse: the string entries after it move up a line.
class TLangFormatStrings : public TStringList {
    FW_CLASS(TLangFormatStrings, TStringList)

public:
    explicit TLangFormatStrings(TLanguage* ALanguage = nullptr) : FLanguage(ALanguage) {}
    TLanguage* Language() const { return FLanguage; }

    void Put(int Index, const std::string& S) override;
    void Insert(int Index, const std::string& S) override;
    void Delete(int Index) override;
    void Clear() override;
    void Assign(TPersistent* Source) override;
    void AddStrings(const TStrings& Other);
    void SetVector(const std::vector<std::string>& Lines);
    void SetText(std::string_view Value);
    void LoadFromFile(const std::string& FileName);
    void Move(int CurIndex, int NewIndex);

private:
    void Changed();
    template <class F>
    void Bulk(F Change);
    TLanguage* FLanguage;
};

class TLanguage : public TPersistent {
    FW_CLASS(TLanguage, TPersistent)

public:
    TLanguage(TTranslator* ATranslator, TWdrlLanguage Ident);
    ~TLanguage() override;

    TTranslator* Translator() const { return FTranslator; }
    const std::string& BitmapName() const { return FBitmapName; }
    const std::string& FileName() const { return FFileName; }
    TFont* Font() { return &FFont; }
    void SetFont(TFont* Value) { FFont.Assign(Value); }
    bool FontOverride = false;
    TWdrlLanguage LanguageIdent() const { return FLanguageIdent; }
    TLangFormatStrings* Strings() { return &FStrings; }
    // Copies the lines and parses them once.
    void SetStrings(const std::vector<std::string>& Lines) { FStrings.SetVector(Lines); }
    void SetStrings(TStrings* Value) { FStrings.Assign(Value); }
    bool ParseEnabled = true;

    const std::vector<std::unique_ptr<TLanguageMemo>>& Memos() const { return FMemos; }
    const std::vector<std::unique_ptr<TLanguageString>>& StringEntries() const { return FStringEntries; }

    // Rebuilds the entries from Strings. A malformed line raises Exception
    // with its 0-based index and the trimmed line, and leaves the language
    // without entries.
    void Parse();

    // Linear lookups; the first match in list order, or nil.
    TLanguageString* FindString(int GLID) const;
    TLanguageMemo* FindMemo(int GLID) const;
    // Case ignored as the system compares (CompareStringA).
    TLanguageString* FindStringByText(std::string_view S) const;
    // The lines joined with a line break after each, case kept.
    TLanguageMemo* FindMemoByText(const TStrings& Lines) const;

private:
    friend class TLangFormatStrings;
    void Cleanup();

    TTranslator* FTranslator;
    std::string FBitmapName;
    std::string FFileName;
    TFont FFont;
    std::vector<std::unique_ptr<TLanguageMemo>> FMemos;
    std::vector<std::unique_ptr<TLanguageString>> FStringEntries;
    TWdrlLanguage FLanguageIdent;
    TLangFormatStrings FStrings;
};

class TTranslator : public TComponent {
    FW_CLASS(TTranslator, TComponent)

public:
    explicit TTranslator(TComponent* AOwner);
    ~TTranslator() override;

    // The languages in table order (wlUser left out).
    const std::vector<TLanguage*>& Languages() const { return FLanguages; }
    TLanguage* Language(TWdrlLanguage Ident) const { return LanguageByIdent(Ident); }
    TWdrlLanguage TranslateIntoLanguage() const { return FTranslateIntoLanguage; }
    void SetTranslateIntoLanguage(TWdrlLanguage Value);
    TNotifyEvent OnChange;

    TLanguage* LanguageByIdent(TWdrlLanguage Ident) const; // nil for wlUser
    TLanguage* UserLanguage() const;
    TLanguage* CurrentLanguage() const;

    void TranslateString(TWdrlLanguage FromLanguage, const std::string& S, std::string& Result) const;
    void GetString(int GLID, const std::string& Default, std::string& Result) const;
    void TranslateStrings(TWdrlLanguage FromLanguage, const TStrings& Source, TStrings& Dest) const;

    // Translates the component and, in their order, the components it owns
    // (owned forms excepted); answers the language its texts are in now.
    TWdrlLanguage TranslateForm(TWdrlLanguage FromLanguage, TComponent* Form);
    // The same into another language; TranslateIntoLanguage is restored,
    // also when the translation raises.
    TWdrlLanguage TranslateFormInto(TWdrlLanguage FromLanguage, TWdrlLanguage IntoLanguage, TComponent* Form);
    // Gives the control and its children the current language's font.
    void SetFormFont(fw_Forms::TControl* Form);
    void SetFormFontIn(TWdrlLanguage Language, fw_Forms::TControl* Form);

private:
    // The lines and items of memos, list views, list boxes, combo boxes and
    // radio groups.
    void TranslateLists(TWdrlLanguage FromLanguage, TComponent* C) const;

    std::vector<TLanguage*> FLanguages; // owned
    TWdrlLanguage FTranslateIntoLanguage = wlUser;
};

// The first translator created; nil when there is none.
extern TTranslator* MainTranslator;

// Process-wide wrappers through the main translator; without one they leave
// the text alone and answer the input language.
std::string TranslateMessage(const std::string& S);
TWdrlLanguage TranslateForm(TWdrlLanguage FromLanguage, TComponent* Form);
TWdrlLanguage TranslateFormInto(TWdrlLanguage FromLanguage, TWdrlLanguage IntoLanguage, TComponent* Form);
void SetFormFont(fw_Forms::TControl* Form);
void SetFormFontIn(TWdrlLanguage Language, fw_Forms::TControl* Form);

// Whether a translated format needs no more of the arguments than the English
// one does: the same argument indexes, each taken as a kind the English
// format's argument satisfies. The message hook keeps the English format
// otherwise, so that a bad translation cannot make formatting fail.
bool FormatFitsArguments(std::string_view Translated, std::string_view English);

// Lets a project text name TTranslator and the controls with an id.
void RegisterTranslatorClasses();

} // namespace cmp_TTranslator
