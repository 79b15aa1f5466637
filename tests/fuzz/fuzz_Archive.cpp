// The archive's table and data ("files.1", "setup.1"): damaged archives
// extracted by the archive engine, one record at a time.
#include "ArchiveCheck.h"
#include "ArchiveSeeds.h"

#include "archive/cmp_TWdrlCompress.h"

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
    cmp_TWdrlCompress::TWdrlCompress Engine(nullptr);
    Engine.SetCompressedFile(In);
    Engine.ExtractDirectory = Out;
    bool Failed = false;
    const auto Extracted = ExtractEach(Engine, Records, Message, Failed);
    CheckOnly(Box, {"files.1", "out"});
    CheckTarget(Out, Records);
    CheckExtracted(Out, Extracted, [&](const TRecord& R) { return RecordData(Input, 0, R); });
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
