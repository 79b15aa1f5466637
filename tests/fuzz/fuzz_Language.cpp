// A language's lines: damaged lines parsed into numbered strings and memos by
// the translator, each entry checked against the line it came from.
#include "FuzzHarness.h"

#include "framework/fw_Reader.h"
#include "translate/cmp_TTranslator.h"

#include <memory>
#include <optional>
#include <typeinfo>

using namespace fuzz;
using namespace cmp_TTranslator;

namespace {

// ---- an outsider's reading of the lines ---------------------------------------------

std::vector<std::string> SplitLines(const std::string& Text)
{
    std::vector<std::string> Lines;
    size_t Start = 0;
    while (Start < Text.size()) {
        size_t End = Start;
        while (End < Text.size() && Text[End] != '\r' && Text[End] != '\n')
            ++End;
        Lines.push_back(Text.substr(Start, End - Start));
        if (End < Text.size() && Text[End] == '\r' && End + 1 < Text.size() && Text[End + 1] == '\n')
            ++End;
        Start = End + 1;
    }
    return Lines;
}

std::string Trimmed(const std::string& S)
{
    size_t B = 0, E = S.size();
    while (B < E && BYTE(S[B]) <= ' ')
        ++B;
    while (E > B && BYTE(S[E - 1]) <= ' ')
        --E;
    return S.substr(B, E - B);
}

struct TExpected {
    struct TString {
        int Id, Line;
        std::string Text; // before the cut
    };
    struct TMemo {
        int Id, Line;
        std::vector<std::string> Lines;
    };
    std::vector<TString> Strings;
    std::vector<TMemo> Memos;
    std::optional<int> BadLine; // the first line refused
};

// An id: no blank inside, a number as the framework reads numbers.
std::optional<int> IdOf(const std::string& Id)
{
    int Value = 0;
    if (Id.empty())
        return std::nullopt;
    for (char C : Id)
        if (BYTE(C) <= ' ')
            return std::nullopt;
    if (!fw_SysUtils::TryStrToInt(Id, Value))
        return std::nullopt;
    return Value;
}

TExpected Expect(const std::vector<std::string>& Lines)
{
    TExpected R;
    std::optional<TExpected::TMemo> Open;
    for (int I = 0; I < int(Lines.size()); ++I) {
        const std::string L = Trimmed(Lines[size_t(I)]);
        if (L.empty())
            continue;
        if (L == "#") {
            if (!Open) {
                R.BadLine = I;
                return R;
            }
            R.Memos.push_back(*Open);
            Open.reset();
            continue;
        }
        if (L[0] == '*')
            continue;
        if (Open) {
            Open->Lines.push_back(L);
            continue;
        }
        if (L[0] == '#') {
            const std::string Rest = L.substr(1);
            const auto Id = IdOf(Rest.substr(0, Rest.find(';')));
            if (!Id) {
                R.BadLine = I;
                return R;
            }
            Open = TExpected::TMemo{*Id, I, {}};
            continue;
        }
        const size_t Semi = L.find(';');
        const auto Id = IdOf(L.substr(0, Semi));
        std::string Text;
        if (Semi != std::string::npos) {
            const size_t End = L.find(';', Semi + 1);
            Text = L.substr(Semi + 1, End == std::string::npos ? std::string::npos : End - Semi - 1);
        }
        if (!Id || Trimmed(Text).empty()) {
            R.BadLine = I;
            return R;
        }
        R.Strings.push_back({*Id, I, Text});
    }
    return R;
}

// The line index a parse error names.
std::optional<int> LineOfMessage(const std::string& M)
{
    const std::string Memo = "Found the end of memo marker # at line ";
    size_t P;
    if (M.rfind("The ", 0) == 0)
        P = 4;
    else if (M.rfind(Memo, 0) == 0)
        P = Memo.size();
    else
        return std::nullopt;
    size_t E = P;
    while (E < M.size() && (isdigit(BYTE(M[E])) || (E == P && M[E] == '-')))
        ++E;
    int V = 0;
    if (E == P || !fw_SysUtils::TryStrToInt(M.substr(P, E - P), V))
        return std::nullopt;
    return V;
}

// ---- the run ------------------------------------------------------------------------

[[noreturn]] void Wrong(const std::string& Text) { throw TFault(TOutcome::WrongOutput, Text); }

void CheckParsed(TLanguage& L, const TExpected& E, const std::vector<std::string>& Lines)
{
    const auto& Strings = L.StringEntries();
    const auto& Memos = L.Memos();
    if (Strings.size() != E.Strings.size() || Memos.size() != E.Memos.size())
        Wrong("parsed " + std::to_string(Strings.size()) + " strings and " + std::to_string(Memos.size()) +
              " memos; the lines hold " + std::to_string(E.Strings.size()) + " and " + std::to_string(E.Memos.size()));
    for (size_t I = 0; I < Strings.size(); ++I) {
        const TLanguageString& S = *Strings[I];
        const TExpected::TString& X = E.Strings[I];
        const std::string At = "string " + std::to_string(I) + " (line " + std::to_string(X.Line) + ")";
        if (S.GLID != X.Id || S.LineIndex != X.Line || S.Language != &L)
            Wrong(At + ": id " + std::to_string(S.GLID) + " at line " + std::to_string(S.LineIndex));
        const std::string& T = S.Text();
        if (T.size() > TLanguageString::MaxTextLength)
            Wrong(At + ": a text of " + std::to_string(T.size()) + " bytes");
        // A cut text is the line's text up to a whole character: one byte
        // short at most.
        const bool Cut = X.Text.size() > TLanguageString::MaxTextLength;
        if (X.Text.compare(0, T.size(), T) != 0 || (!Cut && T.size() != X.Text.size()) ||
            (Cut && T.size() + 1 < TLanguageString::MaxTextLength))
            Wrong(At + ": the text is not the line's: \"" + T + "\"");
        size_t First = 0;
        while (Strings[First]->GLID != S.GLID)
            ++First;
        if (L.FindString(S.GLID) != Strings[First].get())
            Wrong(At + ": looking up id " + std::to_string(S.GLID) + " gives another entry");
        // Looking up by the text finds this entry or one before it.
        TLanguageString* ByText = L.FindStringByText(T);
        size_t Found = 0;
        while (Found < Strings.size() && Strings[Found].get() != ByText)
            ++Found;
        if (Found > I)
            Wrong(At + ": looking up its text \"" + T + "\" finds no entry up to it");
    }
    for (size_t I = 0; I < Memos.size(); ++I) {
        const TLanguageMemo& M = *Memos[I];
        const TExpected::TMemo& X = E.Memos[I];
        const std::string At = "memo " + std::to_string(I) + " (line " + std::to_string(X.Line) + ")";
        if (M.GLID != X.Id || M.LineIndex != X.Line || M.Lines.ToVector() != X.Lines)
            Wrong(At + ": id " + std::to_string(M.GLID) + " at line " + std::to_string(M.LineIndex) + ", " +
                  std::to_string(M.Lines.Count()) + " lines");
        size_t First = 0;
        while (Memos[First]->GLID != M.GLID)
            ++First;
        if (L.FindMemo(M.GLID) != Memos[First].get())
            Wrong(At + ": looking up id " + std::to_string(M.GLID) + " gives another memo");
        size_t Same = 0;
        while (Memos[Same]->Lines.Text() != M.Lines.Text())
            ++Same;
        if (L.FindMemoByText(M.Lines) != Memos[Same].get())
            Wrong(At + ": looking up its lines gives another memo");
    }
    // The lines stay as given.
    if (L.Strings()->ToVector() != Lines)
        Wrong("the language's lines are not the input's");
}

// Parses Input in one language; answers whether it failed.
bool ParseIn(TTranslator& T, TWdrlLanguage Ident, const std::string& Input, const TExpected& E,
             const std::vector<std::string>& Lines, std::string& Message)
{
    TLanguage& L = *T.Language(Ident);
    try {
        L.Strings()->SetText(Input);
    } catch (const fw_SysUtils::Exception& X) {
        if (typeid(X) != typeid(fw_SysUtils::Exception))
            throw;
        Message = X.Message();
        if (Message.empty())
            Wrong("a refusal without a message");
        if (!E.BadLine)
            Wrong("refused lines that are well formed: " + Message);
        if (LineOfMessage(Message) != E.BadLine)
            Wrong("the refusal names another line than " + std::to_string(*E.BadLine) + ": " + Message);
        if (!L.StringEntries().empty() || !L.Memos().empty())
            Wrong("entries left after a refusal");
        return true;
    }
    if (E.BadLine)
        Wrong("took line " + std::to_string(*E.BadLine) + " (\"" + Lines[size_t(*E.BadLine)] + "\") as well formed");
    CheckParsed(L, E, Lines);
    return false;
}

std::unique_ptr<TTranslator, fw_Classes::TComponentDeleter> Translator;

TOutcome Run(const std::string& Input, std::string& Message)
{
    if (!Translator)
        Translator.reset(new TTranslator(nullptr));
    const std::vector<std::string> Lines = SplitLines(Input);
    const TExpected E = Expect(Lines);
    // A single-byte code page and a double-byte one, where the cut must not
    // split a character.
    bool Failed = ParseIn(*Translator, wlEnglish, Input, E, Lines, Message);
    Failed = ParseIn(*Translator, wlChineseSimplified, Input, E, Lines, Message) || Failed;
    return Failed ? TOutcome::CleanFailure : TOutcome::SuccessChecked;
}

// ---- the seeds ----------------------------------------------------------------------

// The lines, joined as the translator writes its list, with a text field at
// each line's start and after each ";".
TSeed SeedOf(const std::vector<std::string>& Lines)
{
    TSeed S;
    S.Text = true;
    for (const std::string& L : Lines) {
        S.Boundaries.push_back(S.Bytes.size());
        S.TextFields.push_back({S.Bytes.size(), 0});
        const size_t Semi = L.find(';');
        if (Semi != std::string::npos)
            S.TextFields.push_back({S.Bytes.size() + Semi + 1, 0});
        S.Bytes += L + "\r\n";
    }
    S.Boundaries.push_back(S.Bytes.size());
    return S;
}

// The translator's lines of the test build, through the project reader as the
// setup program takes them.
std::vector<std::vector<std::string>> ProjectLines()
{
    std::string Text = ReadWholeFile(WDRL_TRANSLATED_LINES);
    std::string Kept;
    for (const std::string& L : SplitLines(Text))
        if (L.empty() || L[0] != '#')
            Kept += L + "\n";
    RegisterTranslatorClasses();
    std::unique_ptr<TTranslator, fw_Classes::TComponentDeleter> T(new TTranslator(nullptr));
    fw_Reader::ReadComponentText(T.get(), "object MainTranslator: TTranslator\n" + Kept + "end\n");
    std::vector<std::vector<std::string>> R;
    for (TLanguage* L : T->Languages())
        if (L->Strings()->Count() > 0)
            R.push_back(L->Strings()->ToVector());
    if (R.size() < 3)
        throw std::runtime_error("the test build's language lines were not read");
    return R;
}

// Lines put in one at a time through the language, as a tool edits them.
std::vector<std::string> EditedLines(TWdrlLanguage Ident, const std::vector<std::string>& Lines)
{
    std::unique_ptr<TTranslator, fw_Classes::TComponentDeleter> T(new TTranslator(nullptr));
    TLangFormatStrings* S = T->Language(Ident)->Strings();
    for (const std::string& L : Lines)
        S->Add(L);
    return S->ToVector();
}

std::vector<TSeed> Seeds()
{
    std::vector<TSeed> R;
    for (const auto& Lines : ProjectLines())
        R.push_back(SeedOf(Lines));
    R.push_back(
        SeedOf(EditedLines(wlGerman, {"* the pages", "5;Next >", "6;Cancel", "", "#40;", "Welcome.", "* inside", "  ",
                                      "Press Next.", "#", "  7;Text;more  ", "$10;Hex id", "-3;Negative", "8;  padded",
                                      "#41", "Line", "#", "12;File %s of %d", "9;" + std::string(300, 'w')})));
    R.push_back(SeedOf(
        EditedLines(wlChineseSimplified, {"1;" + std::string(254, 'a') + "\xb0\xa1" + "bbb", "2;\xb0\xa1\xb0\xa1",
                                          "#3;", "\xb0\xa1", "#", "3;" + std::string(253, 'a') + "\xb0\xa1" + "b"})));
    return R;
}

} // namespace

int main(int argc, char** argv)
{
    TFamily Family;
    Family.Name = "language";
    Family.MakeSeeds = Seeds;
    Family.Run = Run;
    return Main(argc, argv, Family);
}
