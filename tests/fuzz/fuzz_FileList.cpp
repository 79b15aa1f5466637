// "filelist.lst" of a net distribution, as a server hands it over: a count
// and fixed records (size, date, name, version), read by the setup program
// to give each install file named there its figures.
#include "ArchiveSeeds.h"
#include "FuzzHarness.h"
#include "tests/engine_test_settings.h"

#include "engine/cmp_TInstall.h"
#include "engine/cmp_TInstallContainer.h"
#include "engine/cmp_TPathSpecifier.h"
#include "framework/fw_Forms.h"
#include "routines/exceptions_Wendrel.h"

#include <cmath>
#include <cstring>

using namespace fuzz;
using namespace cmp_TInstallContainer;

namespace {

constexpr size_t ListRecordSize = 72;
const char* const FileNames[] = {"alpha.dll", "Beta.exe", "gamma.txt", "readme.txt"};

// Serves the case's bytes as the downloaded list.
class TServed : public fw_Classes::TComponent, public TNetSource {
public:
    using TComponent::TComponent;
    std::string Bytes;
    bool LoginComplete() const override { return true; }
    std::string LoginHostname() const override { return "localhost"; }
    std::string LoginDirectory() const override { return ""; }
    bool LoginIsFTP() const override { return true; }
    void GetFile(const std::string&, const std::string& Local) override { WriteWholeFile(Local, Bytes); }
    void SetDataHandler(TDataReceivedEvent) override {}
};

using TOwner = std::unique_ptr<fw_Forms::TForm, fw_Classes::TComponentDeleter>;

// A net install of the four files, as a build and as an installation see it.
struct TTree {
    TOwner Form{new fw_Forms::TForm(nullptr)};
    cmp_TInstall::TInstall* Root = nullptr;
    TServed* Source = nullptr;
    std::vector<TInstallFile*> Files;

    explicit TTree(const std::string& Folder)
    {
        auto* Own = new cmp_TPathSpecifier::TPathSpecifier(Form.get());
        Own->SetName("psOwn");
        Own->OnGetPath = [Folder](const fw_Classes::TComponent*, std::string& P) { P = Folder + "\\dest"; };
        Source = new TServed(Form.get());
        Source->SetName("Net");
        Root = new cmp_TInstall::TInstall(Form.get());
        Root->SetName("Install1");
        Root->SetDestDirType(Own);
        Root->SetDestDir("");
        Root->Information()->ProductName = "Wendrel Fuzz " + std::to_string(GetCurrentProcessId());
        Root->SetRunAutomatic(false);
        Root->SetNetLocation(Source);
        Root->SetDesigning(true);
        Root->SetDistributeType(cmp_TInstall::dtTraditionalNet);
        Root->SetDesigning(false);
        for (const char* Name : FileNames) {
            auto* F = new TInstallFile(Form.get());
            F->SetName("F" + std::to_string(Files.size()));
            F->SetContainer(Root);
            F->SetIncludeFromDir(Folder + "\\src");
            F->SetFileName(Name);
            F->SetNet(true);
            F->SetUniqueID(int(Files.size()) + 20);
            Files.push_back(F);
        }
    }
};

// The list a net build writes, of four files of known figures.
std::vector<TSeed> ListSeeds()
{
    const std::string Folder = WorkFolder() + "\\build";
    fw_SysUtils::ForceDirectories(Folder + "\\src");
    int N = 0;
    for (const char* Name : FileNames) {
        WriteWholeFile(Folder + "\\src\\" + Name, fuzz_archive::Payload(size_t(100 + 700 * N), uint32_t(30 + N), true));
        ++N;
    }
    // Built as for the server, into the folder the s switch names.
    cmp_TInstall::TCustomInstall::CommandLineArguments = [Folder] { return std::vector<std::string>{"-s" + Folder}; };
    TTree Tree(Folder);
    Tree.Root->Loaded();
    Tree.Root->Compress(0);
    Tree.Root->SetArchiveFileType(nullptr);
    Tree.Root->SetArchiveFile(Folder + "\\files.1");
    Tree.Root->WriteFileList();
    TSeed Seed;
    Seed.Bytes = ReadWholeFile(Folder + "\\" + Tree.Root->GetNetPath() + "\\filelist.lst");
    if (Seed.Bytes.size() != 4 + ListRecordSize * std::size(FileNames))
        throw std::runtime_error("the build wrote a list of " + std::to_string(Seed.Bytes.size()) + " bytes");
    Seed.Int32Fields.push_back(0);
    Seed.Boundaries.push_back(4);
    for (size_t I = 0; I < std::size(FileNames); ++I) {
        const size_t At = 4 + ListRecordSize * I;
        Seed.Int32Fields.push_back(At);
        Seed.Int32Fields.push_back(At + 4);
        Seed.Int32Fields.push_back(At + 8);
        Seed.Boundaries.push_back(At + 12);
        Seed.Boundaries.push_back(At + ListRecordSize);
        Seed.TextFields.push_back({At + 12, 40});
        Seed.TextFields.push_back({At + 52, 20});
    }
    return {Seed};
}

struct TFigures {
    int32_t Size;
    double Date;
    std::string Version;
};

std::string Field(const char* Chars, size_t Width) { return std::string(Chars, strnlen(Chars, Width)); }

TOutcome Run(const std::string& Input, std::string& Message)
{
    const std::string Folder = WorkFolder() + "\\box";
    CreateDirectoryA(Folder.c_str(), nullptr);
    TTree Tree(Folder);
    Tree.Source->Bytes = Input;
    std::vector<TFigures> Before;
    for (TInstallFile* F : Tree.Files)
        Before.push_back({F->Size(), F->Date(), F->Version()});
    try {
        Tree.Root->ReadRemoteFileList();
    } catch (const exceptions_Wendrel::IEInstall& E) {
        Message = E.Message();
        return TOutcome::CleanFailure;
    }
    // Read here: each file's figures come from the last record of its name;
    // sizes are never negative and dates are numbers.
    int32_t Count = 0;
    std::memcpy(&Count, Input.data(), std::min<size_t>(4, Input.size()));
    if (Input.size() < 4 || Count < 0 || Input.size() < 4 + ListRecordSize * size_t(Count))
        throw TFault(TOutcome::WrongOutput, "a list read that its bytes do not hold");
    std::vector<TFigures> Expected = Before;
    for (int32_t I = 0; I < Count; ++I) {
        const char* R = Input.data() + 4 + ListRecordSize * size_t(I);
        TFigures Got{};
        std::memcpy(&Got.Size, R, 4);
        std::memcpy(&Got.Date, R + 4, 8);
        Got.Version = Field(R + 52, 20);
        if (Got.Size < 0 || !std::isfinite(Got.Date))
            throw TFault(TOutcome::WrongOutput, "a list with a record of size " + std::to_string(Got.Size) +
                                                    " or a date that is no number was taken");
        const std::string Name = Field(R + 12, 40);
        for (size_t F = 0; F < Tree.Files.size(); ++F)
            if (_stricmp(Tree.Files[F]->Name().c_str(), Name.c_str()) == 0) {
                Expected[F] = Got;
                break;
            }
    }
    for (size_t F = 0; F < Tree.Files.size(); ++F) {
        const TInstallFile* File = Tree.Files[F];
        const double Date = File->Date();
        if (File->Size() != Expected[F].Size || std::memcmp(&Expected[F].Date, &Date, 8) != 0 ||
            File->Version() != Expected[F].Version)
            throw TFault(TOutcome::WrongOutput, File->Name() + " did not get the figures of its record");
    }
    return TOutcome::SuccessChecked;
}

} // namespace

int main(int argc, char** argv)
{
    engine_test_settings::Use();
    TFamily Family;
    Family.Name = "filelist";
    Family.MakeSeeds = ListSeeds;
    Family.Run = Run;
    return Main(argc, argv, Family);
}
