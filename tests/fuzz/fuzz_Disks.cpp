// Split disks: a set of "files.1", "files.2", ... as the archive engine
// splits an archive onto disks, damaged disk by disk, extracted again.
#include "../archive/FloppyCompress.h"
#include "ArchiveCheck.h"
#include "ArchiveSeeds.h"

#include "archive/cmp_TWdrlCompress.h"
#include "framework/fw_Streams.h"

using namespace fuzz;
using namespace fuzz_archive;

namespace {

// A case is the set's disks in one string: a count, then each disk's
// length and bytes.
std::string Encode(const std::vector<std::string>& Disks)
{
    std::string B;
    auto Put = [&](uint32_t V) { B.append(reinterpret_cast<const char*>(&V), 4); };
    Put(uint32_t(Disks.size()));
    for (const std::string& D : Disks) {
        Put(uint32_t(D.size()));
        B += D;
    }
    return B;
}

std::vector<std::string> Decode(const std::string& B)
{
    std::vector<std::string> Disks;
    size_t P = 4;
    const uint32_t N = uint32_t(Int32At(B, 0));
    for (uint32_t I = 0; I < N && I < 300 && P + 4 <= B.size(); ++I) {
        const size_t Length = std::min<size_t>(uint32_t(Int32At(B, P)), B.size() - P - 4);
        Disks.push_back(B.substr(P + 4, Length));
        P += 4 + Length;
    }
    return Disks;
}

std::vector<TSeed> DiskSeeds()
{
    std::vector<TSeed> Seeds;
    // A disk takes at least one 8 KB copy chunk; the noise spans four.
    auto Sets = SeedSources();
    Sets.push_back({{"setup.dat", Payload(30000, 7, false)}, {"notes.txt", Payload(900, 8, true)}});
    const int64_t Capacities[] = {9000, 9000, 9000, 10000};
    for (size_t S = 0; S < Sets.size(); ++S) {
        const std::string Folder = WorkFolder() + "\\seed" + std::to_string(S);
        MakeArchive(Folder, Sets[S]);
        const std::string Set = Folder + "\\set";
        CreateDirectoryA(Set.c_str(), nullptr);
        archive_test::TFloppyCompress Engine(nullptr);
        Engine.Capacity = Capacities[S];
        Engine.OnNewDisk = [](cmp_TWdrlCompress::TWdrlCompress*, int, std::string&) {};
        Engine.SetCompressedFile(Folder + "\\made.1");
        Engine.SplitToDisks(Set, "files.1");
        std::vector<std::string> Disks;
        for (int D = 1; fw_SysUtils::FileExists(Set + "\\files." + std::to_string(D)); ++D)
            Disks.push_back(ReadWholeFile(Set + "\\files." + std::to_string(D)));
        TSeed Seed;
        Seed.Bytes = Encode(Disks);
        Seeds.push_back(Seed);
    }
    return Seeds;
}

// Damage to one disk (its table on the first), or to the set: a disk
// lost, two swapped, one given twice.
std::string MutateSet(const TSeed& Seed, TRandom& Random)
{
    std::vector<std::string> Disks = Decode(Seed.Bytes);
    const int Edits = 1 + int(Random.Below(2));
    for (int E = 0; E < Edits && !Disks.empty(); ++E) {
        const size_t D = Random.Below(Disks.size());
        switch (Random.Below(8)) {
        case 0:
            Disks.erase(Disks.begin() + std::ptrdiff_t(D));
            break;
        case 1:
            std::swap(Disks[D], Disks[Random.Below(Disks.size())]);
            break;
        case 2:
            Disks.insert(Disks.begin() + std::ptrdiff_t(D), Disks[Random.Below(Disks.size())]);
            break;
        default: {
            TSeed One;
            One.Bytes = Disks[D];
            if (D == 0)
                DescribeArchive(One, 0);
            One.Boundaries.push_back(0);
            One.Boundaries.push_back(One.Bytes.size());
            Disks[D] = Mutate(One, Random);
        }
        }
    }
    return Encode(Disks);
}

TOutcome Run(const std::string& Input, std::string& Message)
{
    const std::string Box = WorkFolder() + "\\box", Set = Box + "\\set", Out = Box + "\\out";
    CreateDirectoryA(Box.c_str(), nullptr);
    EmptyFolder(Box);
    CreateDirectoryA(Set.c_str(), nullptr);
    CreateDirectoryA(Out.c_str(), nullptr);
    const std::vector<std::string> Disks = Decode(Input);
    std::vector<std::string> Names;
    for (size_t D = 0; D < Disks.size(); ++D) {
        Names.push_back("files." + std::to_string(D + 1));
        WriteWholeFile(Set + "\\" + Names.back(), Disks[D]);
    }
    const std::string First = Disks.empty() ? std::string() : Disks[0];
    const std::vector<TRecord> Records = ReadRecords(First, 0);
    const bool Split = First.size() > 4 && First[4] == 1;
    auto DiskOf = [&](int D) -> const std::string* {
        if (!Split)
            return Disks.empty() ? nullptr : &Disks[0];
        return D >= 1 && size_t(D) <= Disks.size() ? &Disks[size_t(D) - 1] : nullptr;
    };

    // No disk is asked for: a missing one is a failure.
    cmp_TWdrlCompress::TWdrlCompress Engine(nullptr);
    Engine.SetCompressedFile(Set + "\\files.1");
    Engine.ExtractDirectory = Out;
    bool Failed = false;
    const auto Extracted = ExtractEach(Engine, Records, Message, Failed);
    CheckOnly(Box, {"set", "out"});
    CheckOnly(Set, Names);
    CheckTarget(Out, Records);
    CheckExtracted(Out, Extracted, [&](const TRecord& R) { return RecordData(R, 0, DiskOf); });
    return Failed ? TOutcome::CleanFailure : TOutcome::SuccessChecked;
}

} // namespace

int main(int argc, char** argv)
{
    TFamily Family;
    Family.Name = "disks";
    Family.MakeSeeds = DiskSeeds;
    Family.MutateCase = MutateSet;
    Family.Run = Run;
    return Main(argc, argv, Family);
}
