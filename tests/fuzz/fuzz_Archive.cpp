// The archive's table and data ("files.1", "setup.1"): damaged archives
// extracted by the archive engine, one record at a time.
#include "ArchiveCheck.h"
#include "ArchiveSeeds.h"

#include "archive/cmp_TWdrlCompress.h"
#include "routines/exceptions_Wendrel.h"

using namespace fuzz;
using namespace fuzz_archive;

namespace {

TOutcome Run(const std::string& Input, std::string& Message)
{
    const std::string Box = WorkFolder() + "\\box", In = Box + "\\files.1", Out = Box + "\\out";
    CreateDirectoryA(Box.c_str(), nullptr);
    EmptyFolder(Box);
    WriteWholeFile(In, Input);
    CreateDirectoryA(Out.c_str(), nullptr);

    const std::vector<TRecord> Records = ReadRecords(Input, 0);
    bool Failed = false;
    cmp_TWdrlCompress::TWdrlCompress Engine(nullptr);
    Engine.SetCompressedFile(In);
    Engine.ExtractDirectory = Out;
    std::vector<std::string> Extracted;
    try {
        Engine.ReadArchiveInfo();
    } catch (const exceptions_Wendrel::EWdrlCompress& E) {
        Message = E.Message();
        Failed = true;
    }
    // Each name the table holds, alone: one damaged record must not hide
    // what the engine does with the next.
    for (size_t I = 0; I < Records.size() && !Failed; ++I) {
        fw_Classes::TStringList List;
        List.Add(Records[I].Name);
        try {
            Engine.SetFilesToProcess(List);
            Engine.Extract();
            if (!fw_SysUtils::Trim(Records[I].Name).empty())
                Extracted.push_back(Records[I].Name);
        } catch (const exceptions_Wendrel::EWdrlCompress& E) {
            if (E.Message().empty())
                throw TFault(TOutcome::WrongOutput, "a failure without a message");
            Message = E.Message();
            Failed = true;
        }
    }
    CheckOnly(Box, {"files.1", "out"});
    CheckTarget(Out, Records);
    // What the engine says it extracted is the first record of that key,
    // inflated from its bytes by zlib alone; of two targets of one name the
    // later one stays.
    std::vector<std::pair<std::string, const TRecord*>> Targets;
    for (const std::string& Name : Extracted) {
        const TRecord* R = FirstOfKey(Records, Name);
        if (!R)
            throw TFault(TOutcome::WrongOutput, "extracted " + Name + ", which no record names");
        const std::string Target = AsMade(LastPart(R->Name));
        auto Same = [&](const auto& T) { return _stricmp(T.first.c_str(), Target.c_str()) == 0; };
        auto At = std::find_if(Targets.begin(), Targets.end(), Same);
        if (At == Targets.end())
            Targets.emplace_back(Target, R);
        else
            At->second = R;
    }
    for (const auto& [Target, R] : Targets) {
        const auto Expected = RecordData(Input, 0, *R);
        if (!Expected)
            throw TFault(TOutcome::WrongOutput,
                         "extracted " + R->Name + " although its data does not inflate to its size");
        if (ReadWholeFile(Out + "\\" + Target) != *Expected)
            throw TFault(TOutcome::WrongOutput, "the bytes of " + Target + " are not its record's data");
    }
    return Failed ? TOutcome::CleanFailure : TOutcome::SuccessChecked;
}

} // namespace

int main(int argc, char** argv)
{
    TFamily Family;
    Family.Name = "archive";
    Family.MakeSeeds = [] { return ArchiveSeeds(); };
    Family.Run = Run;
    return Main(argc, argv, Family);
}
