// A language's lines, their parsing into entries and the lookups on them.
#include "translate/cmp_TTranslator.h"

#include <utility>

namespace cmp_TTranslator {

using fw_SysUtils::Exception;
using fw_SysUtils::Format;

FW_DEFINE_CLASS(TLanguageElement, TObject, nullptr, nullptr)
FW_DEFINE_CLASS(TLanguageString, TLanguageElement, nullptr, nullptr)
FW_DEFINE_CLASS(TLanguageMemo, TLanguageElement, nullptr, nullptr)

void TLanguageString::SetText(std::string_view Value)
{
    if (Value.size() <= MaxTextLength) {
        FText = Value;
        return;
    }
    // Step over whole characters so that a cut text never ends in a lead byte,
    // which would swallow whatever the window system puts after it.
    UINT CodePage = Language ? CharsetCodePage(LanguageInfo(Language->LanguageIdent()).Charset) : CP_ACP;
    size_t End = 0;
    while (End < MaxTextLength) {
        size_t Step = IsDBCSLeadByteEx(CodePage, BYTE(Value[End])) ? 2 : 1;
        if (End + Step > MaxTextLength)
            break;
        End += Step;
    }
    FText = Value.substr(0, End);
}

// ---- the lines --------------------------------------------------------------------

FW_DEFINE_CLASS(TLangFormatStrings, TStringList, nullptr, nullptr)

void TLangFormatStrings::Changed()
{
    if (FLanguage && FLanguage->ParseEnabled)
        FLanguage->Parse();
}

template <class F>
void TLangFormatStrings::Bulk(F Change)
{
    // One parse for the whole change, not one per line: the flag is off while
    // the lines go in and comes back even when the change fails.
    if (!FLanguage) {
        Change();
        return;
    }
    bool WasEnabled = FLanguage->ParseEnabled;
    FLanguage->ParseEnabled = false;
    try {
        Change();
    } catch (...) {
        FLanguage->ParseEnabled = WasEnabled;
        throw;
    }
    FLanguage->ParseEnabled = WasEnabled;
    Changed();
}

void TLangFormatStrings::Put(int Index, const std::string& S)
{
    TStringList::Put(Index, S);
    Changed();
}

void TLangFormatStrings::Insert(int Index, const std::string& S)
{
    TStringList::Insert(Index, S);
    Changed();
}

void TLangFormatStrings::Delete(int Index)
{
    TStringList::Delete(Index);
    if (!FLanguage)
        return;
    for (const auto& E : FLanguage->FStringEntries)
        if (E->LineIndex > Index)
            --E->LineIndex;
}

void TLangFormatStrings::Clear()
{
    TStringList::Clear();
    Changed();
}

void TLangFormatStrings::Assign(TPersistent* Source)
{
    Bulk([&] { TStringList::Assign(Source); });
}

void TLangFormatStrings::AddStrings(const TStrings& Other)
{
    Bulk([&] { TStringList::AddStrings(Other); });
}

void TLangFormatStrings::SetVector(const std::vector<std::string>& Lines)
{
    Bulk([&] { TStringList::SetVector(Lines); });
}

void TLangFormatStrings::SetText(std::string_view Value)
{
    Bulk([&] { TStringList::SetText(Value); });
}

void TLangFormatStrings::LoadFromFile(const std::string& FileName)
{
    // Through the base so that the text goes in as one bulk change.
    Bulk([&] { TStringList::LoadFromFile(FileName); });
}

void TLangFormatStrings::Move(int CurIndex, int NewIndex)
{
    if (CurIndex == NewIndex)
        return;
    Bulk([&] {
        std::string S = Get(CurIndex);
        TObject* O = GetObject(CurIndex);
        TStringList::Delete(CurIndex);
        TStringList::Insert(NewIndex, S);
        PutObject(NewIndex, O);
    });
}

// ---- the language -------------------------------------------------------------------

namespace {

void DefineLanguage(fw_Classes::TPropertyBuilder<TLanguage>& P)
{
    P.Object<TFont>("Font", &TLanguage::Font)
        .Boolean("FontOverride", &TLanguage::FontOverride, &TLanguage::FontOverride, false)
        .Enum<TWdrlLanguage>("LanguageIdent", TWdrlLanguageInfo, &TLanguage::LanguageIdent, nullptr, std::nullopt)
        .Stored([](TLanguage*) { return false; }) // fixed by the translator, never read
        .Lines(
            "Strings", [](TLanguage* L) { return L->Strings()->ToVector(); },
            [](TLanguage* L, const std::vector<std::string>& V) { L->SetStrings(V); });
}

} // namespace

FW_DEFINE_CLASS(TLanguage, TPersistent, nullptr, DefineLanguage)

TLanguage::TLanguage(TTranslator* ATranslator, TWdrlLanguage Ident)
    : FTranslator(ATranslator), FLanguageIdent(Ident), FStrings(this)
{
    const TLanguageInfo& Info = LanguageInfo(Ident);
    FBitmapName = Info.BitmapName;
    FFileName = Info.FileName;
}

TLanguage::~TLanguage() = default;

void TLanguage::Cleanup()
{
    FMemos.clear();
    FStringEntries.clear();
}

namespace {

[[noreturn]] void LineError(const char* Fmt, int Index, const std::string& Line)
{
    throw Exception(Format(Fmt, {Index, Line}));
}

constexpr const char* NoText = "The %d'th string (%s) does not have the proper format of GLID;Text";
constexpr const char* NoId = "The %d'th string (%s) does not have the proper format of GLID;Text or .GLID;";
constexpr const char* ShortMemo = "The %d'th string (%s) does not have the proper format of .GLID;";

// The id of a line; blanks inside it (before its ";") make it no number.
int ParseId(std::string_view Id, int Index, const std::string& Line)
{
    if (Id.empty())
        LineError(NoText, Index, Line);
    int Value = 0;
    bool Blank = false;
    for (char C : Id)
        Blank = Blank || BYTE(C) <= ' ';
    if (Blank || !fw_SysUtils::TryStrToInt(Id, Value))
        LineError(NoId, Index, Line);
    return Value;
}

} // namespace

void TLanguage::Parse()
{
    Cleanup();
    try {
        bool InMemo = false;
        int MemoId = 0, MemoLine = 0;
        TStringList Buffer;
        for (int I = 0; I < FStrings.Count(); ++I) {
            const std::string L = fw_SysUtils::Trim(FStrings.Get(I));
            if (L.empty())
                continue;
            if (L == "#") {
                if (!InMemo)
                    throw Exception(
                        Format("Found the end of memo marker # at line %d. Was not in a memo however", {I}));
                auto M = std::make_unique<TLanguageMemo>();
                M->GLID = MemoId;
                M->Language = this;
                M->LineIndex = MemoLine;
                M->Lines.Assign(&Buffer);
                FMemos.push_back(std::move(M));
                InMemo = false;
                continue;
            }
            if (L[0] == '*')
                continue;
            if (InMemo) {
                Buffer.Add(L);
                continue;
            }
            if (L[0] == '#') {
                if (L.size() < 2)
                    LineError(ShortMemo, I, L);
                std::string_view Rest = std::string_view(L).substr(1);
                MemoId = ParseId(Rest.substr(0, Rest.find(';')), I, L);
                MemoLine = I;
                Buffer.Clear();
                InMemo = true;
                continue;
            }
            size_t Semi = L.find(';');
            int Id = ParseId(std::string_view(L).substr(0, Semi), I, L);
            std::string Text;
            if (Semi != std::string::npos) {
                size_t End = L.find(';', Semi + 1);
                Text = L.substr(Semi + 1, End == std::string::npos ? std::string::npos : End - Semi - 1);
            }
            if (fw_SysUtils::Trim(Text).empty())
                LineError(NoText, I, L);
            auto S = std::make_unique<TLanguageString>();
            S->GLID = Id;
            S->Language = this;
            S->LineIndex = I;
            S->SetText(Text);
            FStringEntries.push_back(std::move(S));
        }
        // A memo still open at the end has no end marker and is dropped.
    } catch (...) {
        Cleanup();
        throw;
    }
}

TLanguageString* TLanguage::FindString(int GLID) const
{
    for (const auto& S : FStringEntries)
        if (S->GLID == GLID)
            return S.get();
    return nullptr;
}

TLanguageMemo* TLanguage::FindMemo(int GLID) const
{
    for (const auto& M : FMemos)
        if (M->GLID == GLID)
            return M.get();
    return nullptr;
}

TLanguageString* TLanguage::FindStringByText(std::string_view S) const
{
    for (const auto& E : FStringEntries)
        if (CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, E->Text().data(), int(E->Text().size()), S.data(),
                           int(S.size())) == CSTR_EQUAL)
            return E.get();
    return nullptr;
}

TLanguageMemo* TLanguage::FindMemoByText(const TStrings& Lines) const
{
    const std::string Wanted = Lines.Text();
    for (const auto& M : FMemos)
        if (M->Lines.Text() == Wanted)
            return M.get();
    return nullptr;
}

} // namespace cmp_TTranslator
