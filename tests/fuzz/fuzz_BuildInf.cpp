// "BUILD.INF": damaged files whose first line names the build folder, read
// by the engine as build mode reads them.
#include "FuzzHarness.h"

#include "engine/cmp_TInstall.h"

using namespace fuzz;
using cmp_TInstall::TCustomInstall;

namespace {

const std::string Refusal = " This line should specify the build directory";

// What the engine must answer for Input: the folder, or its refusal.
struct TExpected {
    std::string Folder, Message;
};

TExpected Expect(const std::string& Input)
{
    size_t End = 0;
    while (End < Input.size() && Input[End] != '\r' && Input[End] != '\n')
        ++End;
    const std::string First = Input.substr(0, End);
    bool Blank = true;
    for (char C : First)
        Blank = Blank && BYTE(C) <= ' ';
    if (First.size() > TCustomInstall::MaxBuildInfLine)
        return {"", "The first line of BUILD.INF is longer than " + std::to_string(TCustomInstall::MaxBuildInfLine) +
                        " characters." + Refusal};
    if (Blank)
        return {"", "Must be 1 line in BUILD.INF." + Refusal};
    if (First.find('\0') != std::string::npos)
        return {"", "The first line of BUILD.INF holds a zero byte." + Refusal};
    return {First, ""};
}

TOutcome Run(const std::string& Input, std::string& Message)
{
    const std::string Path = WorkFolder() + "\\BUILD.INF";
    WriteWholeFile(Path, Input);
    const TExpected E = Expect(Input);
    std::string Folder;
    try {
        Folder = TCustomInstall::ReadBuildDirectory(Path);
    } catch (const exceptions_Wendrel::IEInstall& X) {
        Message = X.Message();
        if (Message.empty())
            throw TFault(TOutcome::WrongOutput, "a refusal without a message");
        if (E.Message.empty())
            throw TFault(TOutcome::WrongOutput, "refused the folder \"" + E.Folder + "\": " + Message);
        if (Message != E.Message)
            throw TFault(TOutcome::WrongOutput, "refused as \"" + Message + "\", not \"" + E.Message + "\"");
        return TOutcome::CleanFailure;
    }
    if (!E.Message.empty())
        throw TFault(TOutcome::WrongOutput, "took \"" + Folder + "\" where it should say: " + E.Message);
    if (Folder != E.Folder)
        throw TFault(TOutcome::WrongOutput, "read \"" + Folder + "\" where the first line is \"" + E.Folder + "\"");
    return TOutcome::SuccessChecked;
}

// The lines as a list saves them (CRLF after each), with each line a text
// field; a copy with its line ends as given.
TSeed SeedOf(const std::vector<std::string>& Lines, const char* Break = nullptr)
{
    TSeed S;
    S.Text = true;
    if (!Break) {
        fw_Classes::TStringList List;
        List.SetVector(Lines);
        const std::string Path = WorkFolder() + "\\seed.inf";
        List.SaveToFile(Path);
        S.Bytes = ReadWholeFile(Path);
    } else {
        for (size_t I = 0; I < Lines.size(); ++I)
            S.Bytes += Lines[I] + (I + 1 < Lines.size() ? Break : "");
    }
    size_t P = 0;
    for (const std::string& L : Lines) {
        P = S.Bytes.find(L, P);
        S.Boundaries.push_back(P);
        S.TextFields.push_back({P, 0});
        const size_t Slash = L.rfind('\\');
        if (Slash != std::string::npos)
            S.TextFields.push_back({P + Slash + 1, 0});
        P += L.size();
        S.Boundaries.push_back(P);
    }
    S.Boundaries.push_back(S.Bytes.size());
    return S;
}

std::vector<TSeed> Seeds()
{
    return {
        SeedOf({"C:\\Builds\\Quorvane"}),
        SeedOf({"Z:\\work\\dist\\Quorvane 1.0.2.9", "ignored second line", "", "third"}),
        SeedOf({"  D:\\Build dir  "}, ""),
        SeedOf({"C:\\Builds\\Caf\xC3\xA9", "C:\\other"}, "\n"),
        SeedOf({"C:\\Builds\\\xC9t\xE9", "x"}, "\r"),
        SeedOf({"\\\\server\\share\\build", ""}, "\r\n"),
        SeedOf({"C:\\" + std::string(TCustomInstall::MaxBuildInfLine - 3, 'd'), "next"}, "\r\n"),
    };
}

// Now and then a large file: a first line and bytes of every kind after it.
std::string MutateCase(const TSeed& Seed, TRandom& Random)
{
    std::string B = Mutate(Seed, Random);
    if (Random.OneIn(40)) {
        const size_t Size = size_t(1) << (12 + Random.Below(9));
        std::string Tail(Size, '\0');
        for (char& C : Tail)
            C = char(Random.Next());
        B += Tail;
    }
    return B;
}

} // namespace

int main(int argc, char** argv)
{
    TFamily Family;
    Family.Name = "buildinf";
    Family.MakeSeeds = Seeds;
    Family.Run = Run;
    Family.MutateCase = MutateCase;
    return Main(argc, argv, Family);
}
