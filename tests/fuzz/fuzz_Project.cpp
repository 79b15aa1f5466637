// The project text: damaged writings of the install project read into a
// fresh form, written again and read back. What was read must write the same
// twice over, and every component a read makes must go with its root.
#include "FuzzHarness.h"
#include "tests/engine_test_settings.h"

#include "engine/cmp_TInstall.h"
#include "framework/fw_Reader.h"
#include "project/fTeskor_Install_D4.h"

#include <cstdio>
#include <memory>

using namespace fuzz;

namespace {

using TFormPtr = std::unique_ptr<fw_Forms::TForm, fw_Classes::TComponentDeleter>;

// The root class every seed declares: the project form's class adds no
// properties of its own, and its constructor reads the program's project.
constexpr char RootClass[] = "TForm";

// A form as the setup program reads its project into; never shown, so
// nothing starts.
TFormPtr FreshRoot() { return TFormPtr(new fw_Forms::TForm(nullptr)); }

// The components that register themselves while they live.
struct TLive {
    int Containers, Files;
    bool Root, Translator;
    static TLive Now()
    {
        return {cmp_TInstallContainer::AllInstallContainers().Count(), cmp_TInstallContainer::AllInstallFiles().Count(),
                cmp_TInstall::InstallRoot() != nullptr, cmp_TTranslator::MainTranslator != nullptr};
    }
    bool operator==(const TLive&) const = default;
    std::string Text() const
    {
        return std::to_string(Containers) + " containers, " + std::to_string(Files) + " files" +
               (Root ? ", an install root" : "") + (Translator ? ", a main translator" : "");
    }
};

TLive Baseline{};

void CheckNothingLeft(const char* When)
{
    const TLive Now = TLive::Now();
    if (!(Now == Baseline))
        throw TFault(TOutcome::WrongOutput, std::string(When) + ": " + Now.Text() + " still registered");
}

// Where two writings part, for the report.
std::string FirstDifference(const std::string& A, const std::string& B)
{
    size_t P = 0;
    while (P < A.size() && P < B.size() && A[P] == B[P])
        ++P;
    const size_t From = A.rfind('\n', P) == std::string::npos ? 0 : A.rfind('\n', P) + 1;
    return "at byte " + std::to_string(P) + ": \"" + A.substr(From, 80) + "\" / \"" + B.substr(From, 80) + "\"";
}

// The classes a project may name and the engine's hooks as the test
// programs set them (projects of one product read side by side, no restart
// asked of the system), also for a case replayed alone.
void Prepare()
{
    static bool Done = false;
    if (Done)
        return;
    Done = true;
    fTeskor_Install_D4::RegisterProjectClasses();
    cmp_TInstall::TCustomInstall::CommandLineArguments = [] { return std::vector<std::string>{}; };
    engine_test_settings::Use();
}

// The line of Text that a reading error names, after a " at: ".
std::string LineOf(const std::string& Text, const std::string& Error)
{
    int N = 0;
    if (std::sscanf(Error.c_str(), "Line %d", &N) != 1)
        return "";
    size_t P = 0;
    for (int I = 1; I < N && P != std::string::npos; ++I)
        P = Text.find('\n', P) == std::string::npos ? std::string::npos : Text.find('\n', P) + 1;
    return P == std::string::npos ? "" : " at: " + Text.substr(P, std::min(Text.find('\r', P), P + 100) - P);
}

TOutcome Run(const std::string& Input, std::string& Message)
{
    Prepare();
    std::string First;
    {
        TFormPtr Root = FreshRoot();
        try {
            fw_Reader::ReadComponentText(Root.get(), Input);
        } catch (const fw_SysUtils::Exception& E) {
            // The reader's own error names the line; a component refusing a
            // value or its load raises its own, with its message.
            Message = E.Message();
            const bool Parser = dynamic_cast<const fw_Reader::EParserError*>(&E) != nullptr;
            if (Message.empty() || (Parser && Message.rfind("Line ", 0) != 0))
                throw TFault(TOutcome::WrongOutput, "a reading error without its line: \"" + Message + "\"");
            // A read that fails leaves nothing with the root; a refused load
            // leaves the components, none of them still loading.
            for (int I = 0; I < Root->ComponentCount(); ++I)
                if (Parser || Root->Components(I)->IsLoading())
                    throw TFault(TOutcome::WrongOutput, "a failed read left " + std::to_string(Root->ComponentCount()) +
                                                            " components with the root: " + Message);
            if (Root->IsLoading())
                throw TFault(TOutcome::WrongOutput, "the root is still loading after: " + Message);
            Root.reset();
            CheckNothingLeft("after a failed read");
            return TOutcome::CleanFailure;
        }
        First = fw_Reader::WriteComponentText(Root.get());
    }
    CheckNothingLeft("after the read form was freed");
    std::string Second;
    {
        TFormPtr Again = FreshRoot();
        try {
            fw_Reader::ReadComponentText(Again.get(), First);
        } catch (const fw_SysUtils::Exception& E) {
            throw TFault(TOutcome::WrongOutput, "the writing of what was read does not read back: " + E.Message() +
                                                    LineOf(First, E.Message()));
        }
        Second = fw_Reader::WriteComponentText(Again.get());
    }
    CheckNothingLeft("after the second form was freed");
    if (Second != First)
        throw TFault(TOutcome::WrongOutput, "written twice, the texts differ " + FirstDifference(First, Second));
    return TOutcome::SuccessChecked;
}

// ---- the seeds ----------------------------------------------------------------------

// The writer's text with the root declared as RootClass, described line by
// line: each line a boundary, each value a text field.
TSeed SeedOf(std::string Text)
{
    const size_t Colon = Text.find(": "), End = Text.find("\r\n");
    Text.replace(Colon + 2, End - Colon - 2, RootClass);
    TSeed S;
    S.Text = true;
    S.Bytes = Text;
    for (size_t P = 0; P < Text.size();) {
        S.Boundaries.push_back(P);
        size_t E = Text.find('\n', P);
        E = E == std::string::npos ? Text.size() : E + 1;
        const size_t Eq = Text.find(" = ", P);
        if (Eq < E)
            S.TextFields.push_back({Eq + 3, 0});
        else if (Text.compare(P, 2, "  ") == 0)
            S.TextFields.push_back({P + Text.find_first_not_of(' ', P) - P, 0});
        P = E;
    }
    S.Boundaries.push_back(Text.size());
    return S;
}

std::vector<std::string> SplitLines(const std::string& Text)
{
    std::vector<std::string> Lines;
    size_t P = 0;
    while (P < Text.size()) {
        size_t E = Text.find_first_of("\r\n", P);
        if (E == std::string::npos)
            E = Text.size();
        Lines.push_back(Text.substr(P, E - P));
        P = E + (Text.compare(E, 2, "\r\n") == 0 ? 2 : 1);
    }
    return Lines;
}

// The French lines of the test build (CP1252 bytes, written back as #n codes).
std::vector<std::string> FrenchLines()
{
    std::string Kept;
    for (const std::string& L : SplitLines(ReadWholeFile(WDRL_TRANSLATED_LINES)))
        if (L.empty() || L[0] != '#')
            Kept += L + "\n";
    std::unique_ptr<cmp_TTranslator::TTranslator, fw_Classes::TComponentDeleter> T(
        new cmp_TTranslator::TTranslator(nullptr));
    fw_Reader::ReadComponentText(T.get(), "object MainTranslator: TTranslator\n" + Kept + "end\n");
    return T->Language(cmp_TTranslator::wlFrench)->Strings()->ToVector();
}

std::vector<TSeed> Seeds()
{
    Prepare();
    std::vector<TSeed> R;
    const std::vector<std::string> French = FrenchLines();
    {
        // The install project as the setup program reads it.
        fTeskor_Install_D4::TFormPtr Form = fTeskor_Install_D4::ReadProjectForTool({});
        R.push_back(SeedOf(fw_Reader::WriteComponentText(Form.get())));
        // The same with translated lines, a caption of quotes, line breaks
        // and accents, a small picture and one more registry value.
        Form->MainTranslator->Language(cmp_TTranslator::wlFrench)->SetStrings(French);
        Form->ProductLabel->SetCaption("It's \"Quorvane\"\r\n\tcaf\xe9 \x01");
        const std::vector<uint8_t> Bitmap = {'B', 'M', 58, 0, 0, 0, 0, 0, 0,  0, 54, 0, 0, 0, 40, 0, 0, 0, 1, 0,
                                             0,   0,   1,  0, 0, 0, 1, 0, 24, 0, 0,  0, 0, 0, 4,  0, 0, 0, 0, 0,
                                             0,   0,   0,  0, 0, 0, 0, 0, 0,  0, 0,  0, 0, 0, 9,  8, 7, 0};
        Form->Install1->DialogThemeBitmap()->Bitmap().SetData(Bitmap);
        R.push_back(SeedOf(fw_Reader::WriteComponentText(Form.get())));
    }
    Baseline = TLive::Now();
    // A seed must itself come through: read, written and read again alike.
    for (const TSeed& S : R) {
        std::string Message;
        if (Run(S.Bytes, Message) != TOutcome::SuccessChecked)
            throw std::runtime_error("a seed does not read back: " + Message);
    }
    return R;
}

// Now and then an edit of the structure the field edits do not make: deep
// nesting, long character codes and numbers.
std::string MutateCase(const TSeed& Seed, TRandom& Random)
{
    if (!Random.OneIn(12))
        return Mutate(Seed, Random);
    std::string B = Seed.Bytes;
    const size_t At = Seed.Boundaries[Random.Below(Seed.Boundaries.size())];
    switch (Random.Below(4)) {
    case 0: {
        const size_t Depth = size_t(1) << Random.Below(18);
        std::string Nest;
        for (size_t I = 0; I < Depth; ++I)
            Nest += "object N" + std::to_string(I) + ": TInstallDirectory\r\n";
        for (size_t I = 0; I < Depth; ++I)
            Nest += "end\r\n";
        B.insert(At, Nest);
        break;
    }
    case 1:
        B.insert(At, "Tag = " + std::string(1 + Random.Below(40), '9') + "\r\n");
        break;
    case 2:
        B.insert(At, "Caption = #" + std::string(1 + Random.Below(40), '7') + "'x'\r\n");
        break;
    default:
        B.insert(At, "Caption = '" + std::string(size_t(1) << Random.Below(22), 'q') + "'\r\n");
        break;
    }
    return B;
}

} // namespace

int main(int argc, char** argv)
{
    TFamily Family;
    Family.Name = "project";
    Family.MakeSeeds = Seeds;
    Family.Run = Run;
    Family.MutateCase = MutateCase;
    return Main(argc, argv, Family);
}
