// The self-extracting "setup.exe": the loader's image, "setup.1", "files.1"
// and the extraction record at its end. Read by the loader (record, tables,
// names, unpacking setup.1) and by the setup program (the record, then
// files.1 through the archive engine at the record's offset).
#include "ArchiveCheck.h"
#include "ArchiveSeeds.h"
#include "tests/engine_test_settings.h"

#include "archive/cmp_TWdrlCompress.h"
#include "engine/cmp_TInstall.h"
#include "framework/fw_Forms.h"
#include "routines/exceptions_Wendrel.h"
#include "tools/loader_Archive.h"
#include "tools/loader_Failure.h"
#include "tools/loader_Record.h"

using namespace fuzz;
using namespace fuzz_archive;

namespace {

constexpr size_t RecordBytes = loader_Record::RecordSize;

// The loader's headers without its sections' data: a program image of a
// kilobyte that reads like the real one.
std::string CompactImage()
{
    const std::string Real = ReadWholeFile(LOADER_EXE);
    IMAGE_DOS_HEADER Dos;
    std::memcpy(&Dos, Real.data(), sizeof Dos);
    IMAGE_NT_HEADERS64 Nt;
    std::memcpy(&Nt, Real.data() + Dos.e_lfanew, sizeof Nt);
    std::string Image = Real.substr(0, Nt.OptionalHeader.SizeOfHeaders);
    const size_t SectionsAt =
        size_t(Dos.e_lfanew) + offsetof(IMAGE_NT_HEADERS64, OptionalHeader) + Nt.FileHeader.SizeOfOptionalHeader;
    for (size_t I = 0; I < Nt.FileHeader.NumberOfSections; ++I) {
        auto* S = reinterpret_cast<IMAGE_SECTION_HEADER*>(&Image[SectionsAt + I * sizeof(IMAGE_SECTION_HEADER)]);
        S->SizeOfRawData = 0;
        S->PointerToRawData = 0;
    }
    auto* Opt = reinterpret_cast<IMAGE_NT_HEADERS64*>(&Image[size_t(Dos.e_lfanew)]);
    Opt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_SECURITY] = {};
    return Image;
}

std::vector<TSeed> SetupSeeds()
{
    std::unique_ptr<fw_Forms::TForm, fw_Classes::TComponentDeleter> Owner(new fw_Forms::TForm(nullptr));
    auto* Root = new cmp_TInstall::TInstall(Owner.get());
    const std::string Image = CompactImage();
    const std::string Setup1 = MakeArchive(WorkFolder() + "\\s1", {{"Teskor_Install.exe", Payload(5000, 21, false)},
                                                                   {"theme.bmp", Payload(1200, 22, true)}});
    const std::string Files1 = MakeArchive(
        WorkFolder() + "\\f1",
        {{"Quorvane.exe", Payload(3000, 23, false)}, {"readme.txt", Payload(800, 24, true)}, {"empty.dat", ""}});
    std::vector<TSeed> Seeds;
    for (bool WithFiles : {true, false}) {
        const std::string Exe = WorkFolder() + "\\setup.exe";
        WriteWholeFile(Exe, Image);
        Root->MakeSelfExtracting(Exe, WorkFolder() + "\\s1\\made.1",
                                 WithFiles ? WorkFolder() + "\\f1\\made.1" : WorkFolder() + "\\none.1");
        TSeed Seed;
        Seed.Bytes = ReadWholeFile(Exe);
        const size_t Record = Seed.Bytes.size() - RecordBytes;
        DescribeArchive(Seed, Image.size());
        if (WithFiles)
            DescribeArchive(Seed, Image.size() + Setup1.size());
        for (size_t Field : {16, 20, 24, 28})
            Seed.Int32Fields.push_back(Record + Field);
        for (size_t At : {size_t(0), size_t(0x3C), Image.size(), Record, Record + 15, Record + 16, Record + 32})
            Seed.Boundaries.push_back(At);
        Seed.TextFields.push_back({Record, 15});
        Seeds.push_back(Seed);
    }
    return Seeds;
}

std::string Narrow(const std::wstring& W)
{
    std::string S(W.size() * 3, '\0');
    S.resize(
        size_t(WideCharToMultiByte(CP_ACP, 0, W.data(), int(W.size()), S.data(), int(S.size()), nullptr, nullptr)));
    return S;
}

// The loader's reading and unpacking of setup.1; true when it all succeeded.
bool ThroughLoader(const std::string& Input, const std::string& Exe, const std::string& Out, std::string& Message)
{
    std::vector<TRecord> Unpacked;
    int64_t SetupFirst = 0;
    try {
        const std::string Headers = Input.substr(0, 4096);
        const int64_t End = loader_Record::ImageEnd(reinterpret_cast<const uint8_t*>(Headers.data()), Headers.size());
        const auto* Tail = Input.size() >= RecordBytes
                               ? reinterpret_cast<const uint8_t*>(Input.data() + Input.size() - RecordBytes)
                               : nullptr;
        const auto Layout = loader_Record::ReadLayout(End, int64_t(Input.size()), Tail);
        if (!Layout) {
            if (int64_t(Input.size()) != End)
                throw TFault(TOutcome::WrongOutput, "no archives found in a file longer than its program");
            return true;
        }
        SetupFirst = Layout->SetupFirst;
        HANDLE File = CreateFileA(Exe.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        if (File == INVALID_HANDLE_VALUE)
            throw std::runtime_error("cannot open " + Exe);
        struct TClose {
            HANDLE H;
            ~TClose() { CloseHandle(H); }
        } Close{File};
        loader_Archive::TWindowStream Setup(File, Layout->SetupFirst, Layout->SetupLast);
        archive_FileHeaders::TFileHeaders Table;
        loader_Archive::ReadCheckedTable(Setup, Table, L"setup.1");
        if (Table.Count() < 1)
            throw loader_Failure::ELoader(loader_Failure::ecDamaged, L"setup.1 holds no setup program");
        std::vector<std::wstring> Names;
        for (int I = 0; I < Table.Count(); ++I)
            Names.push_back(loader_Archive::TargetName(Table.FileHeaders(I)->FileName()));
        if (Layout->HasFiles) {
            loader_Archive::TWindowStream Files(File, Layout->FilesFirst, Layout->FilesLast);
            archive_FileHeaders::TFileHeaders FilesTable;
            loader_Archive::ReadCheckedTable(Files, FilesTable, L"files.1");
        }
        const std::vector<TRecord> Records = ReadRecords(Input, size_t(SetupFirst));
        if (Records.size() != size_t(Table.Count()))
            throw TFault(TOutcome::WrongOutput, "the loader read " + std::to_string(Table.Count()) +
                                                    " records of setup.1, the bytes hold " +
                                                    std::to_string(Records.size()));
        loader_Archive::TBuffers Buffers;
        for (int I = 0; I < Table.Count(); ++I) {
            const std::wstring Target = loader_Failure::Widen(Out) + L"\\" + Names[size_t(I)];
            HANDLE T =
                CreateFileW(Target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
            if (T == INVALID_HANDLE_VALUE)
                throw loader_Failure::ELoader(loader_Failure::ecUnpack, L"Cannot create " + Target);
            struct TCloseT {
                HANDLE H;
                ~TCloseT() { CloseHandle(H); }
            } CloseT{T};
            // Made before it is filled: a failure leaves it behind.
            Unpacked.push_back(Records[size_t(I)]);
            Unpacked.back().Name = Narrow(Names[size_t(I)]);
            loader_Archive::Inflate(Setup, Table.FileHeaders(I)->Record, T, Target, Buffers);
        }
    } catch (const loader_Failure::ELoader& E) {
        if (E.Text.empty())
            throw TFault(TOutcome::WrongOutput, "a loader failure without a message");
        Message = E.what();
        CheckTarget(Out, Unpacked);
        return false;
    }
    CheckTarget(Out, Unpacked);
    for (const TRecord& R : Unpacked) {
        // The loader reads one range of its window, whatever disk numbers
        // at most 1 the record holds.
        TRecord OneRange = R;
        OneRange.FirstDisk = OneRange.LastDisk = 0;
        const auto Expected = RecordData(Input, SetupFirst, OneRange);
        if (!Expected)
            throw TFault(TOutcome::WrongOutput, "the loader unpacked " + R.Name + " from data that does not inflate");
        if (ReadWholeFile(Out + "\\" + R.Name) != *Expected)
            throw TFault(TOutcome::WrongOutput, "the loader's " + R.Name + " is not its record's data");
    }
    return true;
}

// The setup program's reading: the record, then files.1 at its offset.
bool ThroughEngine(const std::string& Input, const std::string& Exe, const std::string& Out, std::string& Message)
{
    std::unique_ptr<fw_Forms::TForm, fw_Classes::TComponentDeleter> Owner(new fw_Forms::TForm(nullptr));
    auto* Root = new cmp_TInstall::TInstall(Owner.get());
    cmp_TInstall::TExtractionInfo Info{};
    try {
        Info = Root->ReadExtractionInfo(Exe);
    } catch (const exceptions_Wendrel::IEInstall& E) {
        Message = E.Message();
        return false;
    }
    const int64_t RecordAt = int64_t(Input.size()) - int64_t(RecordBytes);
    const bool Sound = std::memcmp(Info.Marker, "SELFEXTRACTING", 15) == 0 && Info.SetupStart > 0 &&
                       Info.SetupEnd < RecordAt && (Info.FilesStart == 0 || Info.FilesEnd < RecordAt);
    if (!Sound)
        throw TFault(TOutcome::WrongOutput, "an extraction record taken that does not describe the file");
    if (Info.FilesStart == 0)
        return true;
    const std::vector<TRecord> Records = ReadRecords(Input, size_t(Info.FilesStart));
    cmp_TWdrlCompress::TWdrlCompress Engine(nullptr);
    Engine.SetCompressedFile(Exe);
    Engine.Offset = Info.FilesStart;
    Engine.ExtractDirectory = Out;
    bool Failed = false;
    const auto Extracted = ExtractEach(Engine, Records, Message, Failed);
    CheckTarget(Out, Records);
    CheckExtracted(Out, Extracted, [&](const TRecord& R) { return RecordData(Input, Info.FilesStart, R); });
    return !Failed;
}

TOutcome Run(const std::string& Input, std::string& Message)
{
    const std::string Box = WorkFolder() + "\\box", Exe = Box + "\\setup.exe";
    CreateDirectoryA(Box.c_str(), nullptr);
    EmptyFolder(Box);
    WriteWholeFile(Exe, Input);
    CreateDirectoryA((Box + "\\loader").c_str(), nullptr);
    CreateDirectoryA((Box + "\\setup").c_str(), nullptr);
    std::string LoaderMessage, EngineMessage;
    const bool Loaded = ThroughLoader(Input, Exe, Box + "\\loader", LoaderMessage);
    const bool Read = ThroughEngine(Input, Exe, Box + "\\setup", EngineMessage);
    CheckOnly(Box, {"setup.exe", "loader", "setup"});
    Message = LoaderMessage + (LoaderMessage.empty() || EngineMessage.empty() ? "" : " / ") + EngineMessage;
    return Loaded && Read ? TOutcome::SuccessChecked : TOutcome::CleanFailure;
}

} // namespace

int main(int argc, char** argv)
{
    engine_test_settings::Use();
    TFamily Family;
    Family.Name = "setupexe";
    Family.MakeSeeds = SetupSeeds;
    Family.Run = Run;
    return Main(argc, argv, Family);
}
