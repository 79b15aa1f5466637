// The translator component, its languages' table, the user's language, the
// fonts per language and the process-wide message translation.
#include "engine/cmp_TInstall.h"
#include "routines/exceptions_Wendrel.h"
#include "translate/cmp_TTranslator.h"

#include <map>
#include <optional>

namespace cmp_TTranslator {

using fw_SysUtils::Exception;

const fw_Classes::TEnumInfo TWdrlLanguageInfo{"TWdrlLanguage",
                                              {"wlChineseSimplified",
                                               "wlChineseTraditional",
                                               "wlCzech",
                                               "wlDanish",
                                               "wlDutch",
                                               "wlEnglish",
                                               "wlFrench",
                                               "wlGerman",
                                               "wlGreek",
                                               "wlHebrew",
                                               "wlItalian",
                                               "wlJapanese",
                                               "wlKorean",
                                               "wlNorwegianBokmal",
                                               "wlNorwegianNynorsk",
                                               "wlPolish",
                                               "wlPortugese",
                                               "wlRussian",
                                               "wlSpanish",
                                               "wlUser",
                                               "wlVietnamese"}};

namespace {

using namespace std::string_view_literals;

// The full face name of code page 950 (8 bytes): its last character whole.
constexpr std::string_view ChineseFace = "\xB7\x73\xB2\xD3\xA9\xFA\xC5\xE9"sv;
constexpr std::string_view JapaneseFace = "\x82\x6C\x82\x72\x20\x82\x6F\x83\x53\x83\x56\x83\x62\x83\x4E"sv;
constexpr std::string_view KoreanFace = "\xB9\xD9\xC5\xC1"sv;

// By ordinal; wlUser's row is never handed out. Portuguese is ANSI: the East
// European code page has no "a" or "o" with a tilde. Hebrew has its charset
// and the face and size of the other Western rows.
const TLanguageInfo Infos[] = {
    {"lgChineseSimplified", "wdriChineseSimplified.txt", "BM_LANG_SIMPCHINESE", 134, ChineseFace, 9},
    {"lgChineseTraditional", "wdriChineseTraditional.txt", "BM_LANG_CHINESE_TRADITIONAL", 136, ChineseFace, 9},
    {"lgCzech", "wdriCzech.txt", "BM_LANG_CZECH", 238, "Arial", 8},
    {"lgDanish", "wdriDanish.txt", "BM_LANG_DANISH", 0, "Arial", 8},
    {"lgDutch", "wdriDutch.txt", "BM_LANG_DUTCH", 0, "Arial", 8},
    {"lgEnglish", "wdriEnglish.txt", "BM_LANG_ENGLISH", 0, "Arial", 8},
    {"lgFrench", "wdriFrench.txt", "BM_LANG_FRENCH", 0, "Arial", 8},
    {"lgGerman", "wdriGerman.txt", "BM_LANG_GERMAN", 0, "MS Sans Serif", 8},
    {"lgGreek", "wdriGreek.txt", "BM_LANG_GREEK", 0, "SGreek", 8},
    {"lgHebrew", "wdriHebrew.txt", "BM_LANG_HEBREW", 177, "Arial", 8},
    {"lgItalian", "wdriItalian.txt", "BM_LANG_ITALIAN", 0, "Arial", 8},
    {"lgJapanese", "wdriJapanese.txt", "BM_LANG_JAPANESE", 128, JapaneseFace, 9},
    {"lgKorean", "wdriKorean.txt", "BM_LANG_KOREAN", 129, KoreanFace, 9},
    {"lgNorwegianBokmal", "wdriNorwegianBokmal.txt", "BM_LANG_NORWEGIAN_BOKMAL", 0, "Arial", 8},
    {"lgNorwegianNynorsk", "wdriNorwegianNynorsk.txt", "BM_LANG_NORWEGIAN_NYNORSK", 0, "Arial", 8},
    {"lgPolish", "wdriPolish.txt", "BM_LANG_POLISH", 238, "Arial", 8},
    {"lgPortugese", "wdriPortugese.txt", "BM_LANG_PORTUGESE", 0, "Arial", 8},
    {"lgRussian", "wdriRussian.txt", "BM_LANG_RUSSIAN", 204, "Arial", 8},
    {"lgSpanish", "wdriSpanish.txt", "BM_LANG_SPANISH", 0, "Arial", 8},
    {nullptr, nullptr, nullptr, 0, "", 0},
    {"lgVietnamese", "wdriVietnamese.txt", "BM_LANG_VIETNAMESE", 163, "Arial", 8},
};

} // namespace

const TLanguageInfo& LanguageInfo(TWdrlLanguage Language)
{
    if (Language == wlUser || size_t(Language) >= std::size(Infos))
        throw Exception("Unrecognized language");
    return Infos[Language];
}

UINT CharsetCodePage(int Charset)
{
    switch (Charset) {
    case ANSI_CHARSET:
        return 1252;
    case SHIFTJIS_CHARSET:
        return 932;
    case HANGEUL_CHARSET:
        return 949;
    case GB2312_CHARSET:
        return 936;
    case CHINESEBIG5_CHARSET:
        return 950;
    case GREEK_CHARSET:
        return 1253;
    case TURKISH_CHARSET:
        return 1254;
    case VIETNAMESE_CHARSET:
        return 1258;
    case HEBREW_CHARSET:
        return 1255;
    case ARABIC_CHARSET:
        return 1256;
    case BALTIC_CHARSET:
        return 1257;
    case RUSSIAN_CHARSET:
        return 1251;
    case THAI_CHARSET:
        return 874;
    case EASTEUROPE_CHARSET:
        return 1250;
    default:
        return CP_ACP;
    }
}

std::wstring TextToWide(std::string_view Text, int Charset)
{
    if (Text.empty())
        return {};
    UINT CodePage = CharsetCodePage(Charset);
    int Len = MultiByteToWideChar(CodePage, 0, Text.data(), int(Text.size()), nullptr, 0);
    if (Len <= 0)
        fw_SysUtils::RaiseLastOSError();
    std::wstring Wide(size_t(Len), L'\0');
    MultiByteToWideChar(CodePage, 0, Text.data(), int(Text.size()), Wide.data(), Len);
    return Wide;
}

void SetWindowTextIn(HWND Window, std::string_view Text, int Charset)
{
    if (!SetWindowTextW(Window, TextToWide(Text, Charset).c_str()))
        fw_SysUtils::RaiseLastOSError();
}

TWdrlLanguage LanguageOfLangID(LANGID Id)
{
    const int Primary = Id & 0x3FF, Sub = Id >> 10;
    switch (Primary) {
    case 4:
        return Sub == 1 ? wlChineseTraditional : wlChineseSimplified;
    case 5:
        return wlCzech;
    case 6:
        return wlDanish;
    case 7:
        return wlGerman;
    case 8:
        return wlGreek;
    case 10:
        return wlSpanish;
    case 12:
        return wlFrench;
    case 13:
        return wlHebrew;
    case 16:
        return wlItalian;
    case 17:
        return wlJapanese;
    case 18:
        return wlKorean;
    case 19:
        return wlDutch;
    case 20:
        // Bokmal for a sublanguage that is neither Bokmal nor Nynorsk: the
        // language most Norwegian users read.
        return Sub == 2 ? wlNorwegianNynorsk : wlNorwegianBokmal;
    case 21:
        return wlPolish;
    case 22:
        return wlPortugese;
    case 25:
        return wlRussian;
    case 42:
        return wlVietnamese;
    default:
        return wlEnglish;
    }
}

TWdrlLanguage UserWdrlLanguage() { return LanguageOfLangID(GetUserDefaultLangID()); }

// ---- the translator ----------------------------------------------------------------

TTranslator* MainTranslator = nullptr;
static_assert(int(wlUser) == cmp_TInstall::UserLanguageOrdinal);

namespace {

exceptions_Wendrel::TTranslateMessageFunc PreviousHook = nullptr;

void DefineTranslator(fw_Classes::TPropertyBuilder<TTranslator>& P)
{
    for (int I = 0; I <= int(wlVietnamese); ++I) {
        if (I == wlUser)
            continue;
        TWdrlLanguage Ident = TWdrlLanguage(I);
        P.Object<TLanguage>(Infos[I].PropertyName, [Ident](TTranslator* T) { return T->Language(Ident); });
    }
    P.Enum<TWdrlLanguage>("TranslateIntoLanguage", TWdrlLanguageInfo, &TTranslator::TranslateIntoLanguage,
                          &TTranslator::SetTranslateIntoLanguage, wlUser);
}

} // namespace

FW_DEFINE_CLASS(TTranslator, TComponent, fw_Classes::CreateComponent<TTranslator>, DefineTranslator)

TTranslator::TTranslator(TComponent* AOwner) : TComponent(AOwner)
{
    try {
        for (int I = 0; I <= int(wlVietnamese); ++I)
            if (I != wlUser)
                FLanguages.push_back(new TLanguage(this, TWdrlLanguage(I)));
    } catch (...) {
        for (TLanguage* L : FLanguages)
            delete L;
        throw;
    }
    if (!MainTranslator) {
        MainTranslator = this;
        PreviousHook = exceptions_Wendrel::SetTranslateMessageFunc(&cmp_TTranslator::TranslateMessage);
        // The install root keeps the language over a restart.
        cmp_TInstall::MainLanguage.Get = [] { return int(MainTranslator->TranslateIntoLanguage()); };
        cmp_TInstall::MainLanguage.Set = [](int Language) {
            if (Language >= 0 && Language <= int(wlVietnamese))
                MainTranslator->SetTranslateIntoLanguage(TWdrlLanguage(Language));
        };
    }
}

TTranslator::~TTranslator()
{
    if (MainTranslator == this) {
        exceptions_Wendrel::SetTranslateMessageFunc(PreviousHook);
        PreviousHook = nullptr;
        MainTranslator = nullptr;
        cmp_TInstall::MainLanguage = cmp_TInstall::TLanguageHooks();
    }
    for (TLanguage* L : FLanguages)
        delete L;
}

void TTranslator::SetTranslateIntoLanguage(TWdrlLanguage Value)
{
    FTranslateIntoLanguage = Value;
    if (OnChange)
        OnChange(this);
}

TLanguage* TTranslator::LanguageByIdent(TWdrlLanguage Ident) const
{
    for (TLanguage* L : FLanguages)
        if (L->LanguageIdent() == Ident)
            return L;
    return nullptr;
}

TLanguage* TTranslator::UserLanguage() const { return LanguageByIdent(UserWdrlLanguage()); }

TLanguage* TTranslator::CurrentLanguage() const
{
    return FTranslateIntoLanguage == wlUser ? UserLanguage() : LanguageByIdent(FTranslateIntoLanguage);
}

void TTranslator::TranslateString(TWdrlLanguage FromLanguage, const std::string& S, std::string& Result) const
{
    Result = S;
    TLanguage* From = FromLanguage == wlUser ? UserLanguage() : LanguageByIdent(FromLanguage);
    TLanguage* Into = CurrentLanguage();
    if (!From || !Into)
        return;
    TLanguageString* Source = From->FindStringByText(S);
    if (!Source)
        return;
    if (TLanguageString* Target = Into->FindString(Source->GLID))
        Result = Target->Text();
}

void TTranslator::GetString(int GLID, const std::string& Default, std::string& Result) const
{
    Result = Default;
    if (TLanguage* Into = CurrentLanguage())
        if (TLanguageString* S = Into->FindString(GLID))
            Result = S->Text();
}

void TTranslator::TranslateStrings(TWdrlLanguage FromLanguage, const TStrings& Source, TStrings& Dest) const
{
    TStringList Copy; // Source and Dest may be the same list
    Copy.SetVector(Source.ToVector());
    Dest.Assign(&Copy);
    TLanguage* From = FromLanguage == wlUser ? UserLanguage() : LanguageByIdent(FromLanguage);
    TLanguage* Into = CurrentLanguage();
    if (!From || !Into)
        return;
    if (TLanguageMemo* M = From->FindMemoByText(Copy))
        if (TLanguageMemo* T = Into->FindMemo(M->GLID))
            Dest.Assign(&T->Lines);
}

namespace {

// Runs Work with the translator's target language set to Into and puts the
// previous one back, also when the work (or the change handler) raises; a
// failing restore then raises in place of the first failure.
template <class F>
auto WithIntoLanguage(TTranslator* T, TWdrlLanguage Into, F Work)
{
    const TWdrlLanguage Saved = T->TranslateIntoLanguage();
    try {
        T->SetTranslateIntoLanguage(Into);
        auto Result = Work();
        T->SetTranslateIntoLanguage(Saved);
        return Result;
    } catch (...) {
        if (T->TranslateIntoLanguage() != Saved)
            T->SetTranslateIntoLanguage(Saved);
        throw;
    }
}

} // namespace

TWdrlLanguage TTranslator::TranslateFormInto(TWdrlLanguage FromLanguage, TWdrlLanguage IntoLanguage, TComponent* Form)
{
    return WithIntoLanguage(this, IntoLanguage, [&] { return TranslateForm(FromLanguage, Form); });
}

void TTranslator::SetFormFontIn(TWdrlLanguage Language, fw_Forms::TControl* Form)
{
    WithIntoLanguage(this, Language, [&] {
        SetFormFont(Form);
        return true;
    });
}

namespace {

void ApplyFont(TLanguage* Language, const TLanguageInfo& Info, fw_Forms::TControl* Control)
{
    TFont* F = Control->Font();
    if (Language->FontOverride)
        F->Assign(Language->Font());
    else {
        F->SetCharset(Info.Charset);
        F->SetName(std::string(Info.Face));
        if (F->Size() < Info.MinSize)
            F->SetSize(Info.MinSize);
    }
    if (auto* W = dynamic_cast<fw_Forms::TWinControl*>(Control))
        for (int I = 0; I < W->ControlCount(); ++I)
            ApplyFont(Language, Info, W->Controls(I));
}

} // namespace

void TTranslator::SetFormFont(fw_Forms::TControl* Form)
{
    TLanguage* L = CurrentLanguage();
    if (!L || !Form)
        return;
    if (L->Strings()->Count() == 0)
        L = LanguageByIdent(wlEnglish);
    ApplyFont(L, LanguageInfo(L->LanguageIdent()), Form);
}

// ---- process-wide -------------------------------------------------------------------

std::string TranslateMessage(const std::string& S)
{
    if (!MainTranslator)
        return S;
    std::string Result;
    MainTranslator->TranslateString(wlEnglish, S, Result);
    // The text may be a format that is filled in next: a translation that
    // would not format with the English one's arguments is not used.
    if (Result != S && !FormatFitsArguments(Result, S))
        return S;
    return Result;
}

TWdrlLanguage TranslateForm(TWdrlLanguage FromLanguage, TComponent* Form)
{
    return MainTranslator ? MainTranslator->TranslateForm(FromLanguage, Form) : FromLanguage;
}

TWdrlLanguage TranslateFormInto(TWdrlLanguage FromLanguage, TWdrlLanguage IntoLanguage, TComponent* Form)
{
    return MainTranslator ? MainTranslator->TranslateFormInto(FromLanguage, IntoLanguage, Form) : FromLanguage;
}

void SetFormFont(fw_Forms::TControl* Form)
{
    if (MainTranslator)
        MainTranslator->SetFormFont(Form);
}

void SetFormFontIn(TWdrlLanguage Language, fw_Forms::TControl* Form)
{
    if (MainTranslator)
        MainTranslator->SetFormFontIn(Language, Form);
}

namespace {

// What each argument of a format must be: 'I' an integer, 'R' a number, 'S' a
// text, 'P' a pointer; nothing when the text is no valid format.
std::optional<std::map<size_t, std::string>> ArgumentKinds(std::string_view Fmt)
{
    std::map<size_t, std::string> Kinds;
    size_t Next = 0;
    for (size_t P = 0; P < Fmt.size(); ++P) {
        if (Fmt[P] != '%')
            continue;
        if (++P >= Fmt.size())
            return std::nullopt;
        if (Fmt[P] == '%')
            continue;
        auto Number = [&](bool& Star) {
            Star = P < Fmt.size() && Fmt[P] == '*';
            if (Star) {
                ++P;
                Kinds[Next++] += 'I';
                return true;
            }
            size_t Start = P;
            while (P < Fmt.size() && Fmt[P] >= '0' && Fmt[P] <= '9')
                ++P;
            return P > Start;
        };
        bool Star = false;
        size_t Start = P;
        bool Have = Number(Star);
        if (P < Fmt.size() && Fmt[P] == ':') {
            if (Star)
                return std::nullopt;
            Next = Have ? size_t(std::stoul(std::string(Fmt.substr(Start, P - Start)))) : 0;
            ++P;
        }
        if (P < Fmt.size() && Fmt[P] == '-')
            ++P;
        Number(Star);
        if (P < Fmt.size() && Fmt[P] == '.') {
            ++P;
            Number(Star);
        }
        if (P >= Fmt.size())
            return std::nullopt;
        switch (char(tolower(BYTE(Fmt[P])))) {
        case 'd':
        case 'u':
        case 'x':
            Kinds[Next++] += 'I';
            break;
        case 'e':
        case 'f':
        case 'g':
        case 'n':
        case 'm':
            Kinds[Next++] += 'R';
            break;
        case 's':
            Kinds[Next++] += 'S';
            break;
        case 'p':
            Kinds[Next++] += 'P';
            break;
        default:
            return std::nullopt;
        }
    }
    return Kinds;
}

} // namespace

bool FormatFitsArguments(std::string_view Translated, std::string_view English)
{
    auto Ours = ArgumentKinds(English);
    if (!Ours)
        return true; // no format, so a plain message that is never filled in
    auto Theirs = ArgumentKinds(Translated);
    if (!Theirs)
        return false;
    for (const auto& [Index, Wanted] : *Theirs) {
        auto It = Ours->find(Index);
        if (It == Ours->end())
            return false;
        // The argument the English format takes: an integer when any of its
        // uses wants one; otherwise the one kind all of its uses agree on.
        const std::string& Given = It->second;
        char Arg = Given.find('I') != std::string::npos ? 'I' : Given[0];
        for (char W : Wanted)
            if (W != Arg && !(Arg == 'I' && W == 'R'))
                return false;
    }
    return true;
}

} // namespace cmp_TTranslator
