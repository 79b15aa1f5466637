// Registry values an earlier run left, read back: the install record (its
// unfinished list, language and the archives it downloaded), the RunOnce
// values a resume takes over, and the uninstall record's lists, as the setup
// program and uninstall.exe read them. Every case runs with this process's
// registry roots moved into scratch keys, and with the files it may act on in
// its scratch folder.
#include "FuzzHarness.h"
#include "RegistryScratch.h"
#include "RegistryText.h"
#include "tests/engine_test_settings.h"

#include "engine/cmp_TInstall.h"
#include "engine/cmp_TInstallContainer.h"
#include "framework/fw_Classes.h"
#include "framework/fw_Forms.h"
#include "framework/fw_Registry.h"
#include "framework/fw_SysUtils.h"
#include "routines/exceptions_Wendrel.h"
#include "routines/routines_Registry.h"
#include "tools/uninstall_Record.h"

#include <windows.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>

using namespace fuzz;
using namespace fuzz_registry;
using cmp_TInstall::TCustomInstall;
using cmp_TInstall::TInstall;

namespace {

const std::string RecordsKey = "SOFTWARE\\Wendrel\\Install";
const std::string RecordKey = RecordsKey + "\\Install0";
const std::string UnfinishedKey = RecordKey + "\\Unfinished";
const std::string RunOnceKey = "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
const std::string ProductName = "Quorvane";
const std::string ProductKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + ProductName;
const std::string FilesKey = ProductKey + "\\Files";
const char* const AddedFile = "C:\\Program Files\\Quorvane\\added.txt";
const std::vector<std::string> BoxFiles{"left1.tmp", "left 2.dll", "keep.txt", "download.1"};

TScratchRoots& Roots()
{
    static TScratchRoots R;
    return R;
}

std::string Box() { return WorkFolder() + "\\box"; }
std::string Master() { return WorkFolder() + "\\master"; }
// A copy of this program directly below the temporary folder, where a
// loading program leaves the copy it started.
std::string LeftCopy() { return WorkFolder() + "\\setup.exe"; }

// A file outside the scratch folder that no case may remove.
struct TCanary {
    std::string Path;
    TCanary()
    {
        const std::string& W = WorkFolder();
        Path = W + ".canary";
        WriteWholeFile(Path, "canary");
    }
    ~TCanary() { DeleteFileA(Path.c_str()); }
};

TCanary& Canary()
{
    static TCanary C;
    return C;
}

// Refusals of this program's own: cases whose values would make a reader
// act on files outside the scratch folder.
struct TRefusals {
    long long CompleteAfterReboot = 0, RunOnce = 0, Cases = 0;
    ~TRefusals()
    {
        if (Cases)
            std::printf("registry: of %lld cases, not run for paths outside the scratch folder: the resume %lld, "
                        "the RunOnce takeover %lld\n",
                        Cases, CompleteAfterReboot, RunOnce);
    }
} Refusals;

struct TStamp {
    DWORD Size = 0;
    double Date = 0;
};

std::optional<TStamp> StampOf(const std::string& Path)
{
    WIN32_FILE_ATTRIBUTE_DATA D{};
    if (!GetFileAttributesExA(Path.c_str(), GetFileExInfoStandard, &D) || D.nFileSizeHigh ||
        (D.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return std::nullopt;
    return TStamp{D.nFileSizeLow, fw_SysUtils::FileTimeToDateTime(D.ftLastWriteTime)};
}

bool SameStamp(const TStamp& A, const TStamp& B) { return A.Size == B.Size && std::fabs(A.Date - B.Date) < 0.0000001; }

std::string Lower(std::string S)
{
    for (char& C : S)
        C = char(std::tolower(static_cast<unsigned char>(C)));
    return S;
}

// Whether Path, resolved as the system resolves it, lies inside Folder.
bool Inside(const std::string& Path, const std::string& Folder)
{
    if (Path.empty() || Path.find(':', 2) != std::string::npos)
        return false;
    char Full[MAX_PATH * 2];
    const DWORD N = GetFullPathNameA(Path.c_str(), sizeof Full, Full, nullptr);
    if (N == 0 || N >= sizeof Full)
        return false;
    const std::string F = Lower(std::string(Full, N)), Base = Lower(Folder) + "\\";
    return F.size() > Base.size() && F.compare(0, Base.size(), Base) == 0;
}

std::string TextData(const TValue& V)
{
    std::string S = V.Data;
    while (!S.empty() && S.back() == '\0')
        S.pop_back();
    return S;
}

bool IsText(const TValue& V) { return V.Type == REG_SZ || V.Type == REG_EXPAND_SZ; }

std::vector<TValue> ValuesOf(const std::vector<TValue>& All, const std::string& Key)
{
    std::vector<TValue> Out;
    for (const TValue& V : All)
        if (_stricmp(V.Key.c_str(), Key.c_str()) == 0)
            Out.push_back(V);
    return Out;
}

const TValue* Find(const std::vector<TValue>& Values, const std::string& Name)
{
    for (const TValue& V : Values)
        if (_stricmp(V.Name.c_str(), Name.c_str()) == 0)
            return &V;
    return nullptr;
}

std::vector<TValue> Snapshot()
{
    std::vector<TValue> Values;
    std::vector<std::string> Keys;
    ReadTree(Roots().Machine(), "", Values, Keys);
    return Values;
}

bool KeyExists(const std::string& Key)
{
    HKEY K = nullptr;
    if (RegOpenKeyExA(Roots().Machine(), Key.c_str(), 0, KEY_READ, &K) != ERROR_SUCCESS)
        return false;
    RegCloseKey(K);
    return true;
}

// The form that owns the install roots: one for the process, as a window
// costs more than a case.
fw_Forms::TForm* OwnerForm()
{
    static std::unique_ptr<fw_Forms::TForm, fw_Classes::TComponentDeleter> Form{new fw_Forms::TForm(nullptr)};
    return Form.get();
}

struct TRoot {
    TInstall* Install;
    std::unique_ptr<TInstall, fw_Classes::TComponentDeleter> Owned;
    // A run of this program itself as its setup program, with no switches:
    // nothing of it is cleaned away at its end.
    TRoot()
    {
        Install = new TInstall(OwnerForm());
        Owned.reset(Install);
        Install->SetName("Install1");
        TCustomInstall::CommandLineArguments = [] { return std::vector<std::string>(); };
        Install->ParseCommandLine();
        Install->SetUseLoadingProgram(false);
    }
};

struct TKeyOfRecord {
    TKeyOfRecord(const std::string& Key) { cmp_TInstallContainer::InstallKey = Key; }
    ~TKeyOfRecord() { cmp_TInstallContainer::InstallKey.clear(); }
};

std::string Show(const std::vector<std::string>& V)
{
    std::string S;
    for (const std::string& X : V)
        S += "<" + X + "> ";
    return S;
}

// ---- the readers ------------------------------------------------------------------

struct TCase {
    std::vector<TValue> Stored; // what the damaged text put into the registry
    bool Failed = false;
    std::string Message;
    void Failure(const std::string& Text)
    {
        if (Text.empty())
            throw TFault(TOutcome::WrongOutput, "a failure without a message");
        Failed = true;
        if (Message.empty())
            Message = Text;
    }
};

// The unfinished list is "<name>;<text>" of each value, and any value that is
// no text refuses the list.
void CheckReadUnfinished(TCase& C)
{
    const std::vector<TValue> Values = ValuesOf(C.Stored, UnfinishedKey);
    const bool AllText = std::all_of(Values.begin(), Values.end(), IsText);
    std::vector<std::string> Expected;
    for (const TValue& V : Values)
        Expected.push_back(V.Name + ";" + TextData(V));
    std::sort(Expected.begin(), Expected.end());

    TRoot R;
    TKeyOfRecord Key("\\" + RecordKey);
    fw_Classes::TStringList List;
    try {
        R.Install->ReadUnfinished(&List);
    } catch (const fw_Registry::ERegistryException& E) {
        if (AllText)
            throw TFault(TOutcome::WrongOutput, "the unfinished list of text values refused: " + E.Message());
        C.Failure(E.Message());
        return;
    }
    if (!AllText)
        throw TFault(TOutcome::WrongOutput, "an unfinished list with a value that is no text was read");
    std::vector<std::string> Got = List.ToVector();
    std::sort(Got.begin(), Got.end());
    if (Got != Expected)
        throw TFault(TOutcome::WrongOutput,
                     "the unfinished list read " + Show(Got) + ", the values are " + Show(Expected));
}

// Work added to a damaged list is one more value, "<subject>" = "<action>";
// what the list held stays.
void CheckAddUnfinished()
{
    const std::vector<TValue> Before = ValuesOf(Snapshot(), UnfinishedKey);
    const std::string Subject = Box() + "\\added.tmp";
    TRoot R;
    TKeyOfRecord Key("\\" + RecordKey);
    R.Install->AddUnfinished(Subject, 1);
    const std::vector<TValue> After = ValuesOf(Snapshot(), UnfinishedKey);
    const TValue* Added = Find(After, Subject);
    if (!Added || !IsText(*Added) || TextData(*Added) != "1")
        throw TFault(TOutcome::WrongOutput, "the work added is not in the unfinished list");
    for (const TValue& V : Before)
        if (_stricmp(V.Name.c_str(), Subject.c_str()) != 0) {
            const TValue* Still = Find(After, V.Name);
            if (!Still || Still->Type != V.Type || Still->Data != V.Data)
                throw TFault(TOutcome::WrongOutput, "adding work changed " + V.Name);
        }
    if (R.Install->UnfinishedCount() != 1)
        throw TFault(TOutcome::WrongOutput, "the count of work added is not one");
}

// The language is a number of four bytes; anything else is the default.
void CheckReadLanguage(TCase& C)
{
    int Expected = cmp_TInstall::UserLanguageOrdinal;
    const std::vector<TValue> Values = ValuesOf(C.Stored, RecordKey);
    if (const TValue* V = Find(Values, "Language"); V && V->Type == REG_DWORD && V->Data.size() <= 4) {
        DWORD D = 0;
        std::memcpy(&D, V->Data.data(), V->Data.size());
        Expected = int(D);
    }
    TRoot R;
    TKeyOfRecord Key("\\" + RecordKey);
    const int Got = R.Install->ReadLanguage();
    if (Got != Expected)
        throw TFault(TOutcome::WrongOutput,
                     "language " + std::to_string(Got) + " read, the record holds " + std::to_string(Expected));
}

// A list entry goes to "File<count + 1>", or the first free number after it,
// and the count follows it; a count that is no number refuses the entry.
// Nothing else of the list changes.
void CheckAddUninstallEntry(TCase& C)
{
    const std::vector<TValue> Before = ValuesOf(C.Stored, FilesKey);
    const TValue* Entries = Find(Before, "Entries");
    std::optional<long long> Count;
    bool Plain = true; // a count the product must take: decimal digits, or none
    if (Entries) {
        if (!IsText(*Entries))
            Plain = false;
        else {
            std::string T = fw_SysUtils::Trim(TextData(*Entries));
            if (T.empty())
                Count = 0;
            else {
                size_t P = (T[0] == '-' || T[0] == '+') ? 1 : 0;
                Plain = P < T.size() && T.size() - P <= 10 &&
                        std::all_of(T.begin() + long(P), T.end(), [](char Ch) { return Ch >= '0' && Ch <= '9'; });
                if (Plain) {
                    const long long V = std::stoll(T);
                    Plain = V >= INT_MIN && V <= INT_MAX;
                    Count = V;
                }
            }
        }
    } else
        Count = 0;
    try {
        cmp_TInstallContainer::AddUninstallEntry("\\" + FilesKey, AddedFile);
    } catch (const fw_SysUtils::Exception& E) {
        if (!dynamic_cast<const fw_Registry::ERegistryException*>(&E) &&
            !dynamic_cast<const routines_Registry::EIRCannotWriteValue*>(&E))
            throw;
        if (Plain && Count)
            throw TFault(TOutcome::WrongOutput, "the count " + (Entries ? TextData(*Entries) : std::string("(none)")) +
                                                    " refused: " + E.Message());
        C.Failure(E.Message());
        if (!(ValuesOf(Snapshot(), FilesKey).size() == Before.size()))
            throw TFault(TOutcome::WrongOutput, "a refused entry changed the list");
        return;
    }
    const std::vector<TValue> After = ValuesOf(Snapshot(), FilesKey);
    const TValue* NewCount = Find(After, "Entries");
    if (!NewCount || !IsText(*NewCount))
        throw TFault(TOutcome::WrongOutput, "no count after an entry was added");
    const std::string N = TextData(*NewCount);
    // The number after the count, or the first free one after it.
    if (Count && Plain) {
        long long Next = std::max(*Count, 0LL) + 1;
        while (Find(Before, "File" + std::to_string(Next)))
            ++Next;
        if (N != std::to_string(Next))
            throw TFault(TOutcome::WrongOutput, "the count " + std::to_string(*Count) + " became " + N);
    }
    if (N.empty() || N[0] == '-' || N == "0")
        throw TFault(TOutcome::WrongOutput, "the entry went to File" + N);
    if (Find(Before, "File" + N))
        throw TFault(TOutcome::WrongOutput, "the entry overwrote the earlier File" + N);
    const TValue* Added = Find(After, "File" + N);
    if (!Added || !IsText(*Added) || TextData(*Added) != AddedFile)
        throw TFault(TOutcome::WrongOutput, "the entry is not File" + N);
    for (const TValue& V : Before)
        if (_stricmp(V.Name.c_str(), "Entries") && _stricmp(V.Name.c_str(), ("File" + N).c_str())) {
            const TValue* Still = Find(After, V.Name);
            if (!Still || Still->Type != V.Type || Still->Data != V.Data)
                throw TFault(TOutcome::WrongOutput, "adding an entry changed " + V.Name);
        }
}

std::wstring Wide(const std::string& S)
{
    std::wstring W(S.size() + 1, L'\0');
    const int N = MultiByteToWideChar(CP_ACP, 0, S.c_str(), int(S.size()), W.data(), int(W.size()));
    W.resize(size_t(std::max(N, 0)));
    return W;
}

std::string Narrow(const std::wstring& W)
{
    std::string S(W.size() * 2 + 1, '\0');
    const int N = WideCharToMultiByte(CP_ACP, 0, W.data(), int(W.size()), S.data(), int(S.size()), nullptr, nullptr);
    S.resize(size_t(std::max(N, 0)));
    return S;
}

bool NumberedAs(const std::string& Name, const std::string& Prefix, uint64_t& N)
{
    if (Name.size() <= Prefix.size() || _strnicmp(Name.c_str(), Prefix.c_str(), Prefix.size()) != 0)
        return false;
    N = 0;
    for (size_t I = Prefix.size(); I < Name.size(); ++I) {
        if (Name[I] < '0' || Name[I] > '9')
            return false;
        N = N > (UINT64_MAX - 9) / 10 ? UINT64_MAX : N * 10 + uint64_t(Name[I] - '0');
    }
    return true;
}

// uninstall.exe's reading of the record: the files are the text values
// "File<n>" of the keys "Files", "Files<n>" in the order of their numbers,
// whatever the counts say.
void CheckUninstallRecord(TCase& C)
{
    std::optional<std::wstring> Key;
    try {
        Key = uninstall_Record::FindProduct(Wide(ProductName));
    } catch (const fw_SysUtils::EOSError& E) {
        C.Failure(E.Message());
        return;
    }
    if (!Key) {
        if (KeyExists(ProductKey))
            throw TFault(TOutcome::WrongOutput, "the product's record was not found");
        return;
    }
    uninstall_Record::TRecord R;
    try {
        R = uninstall_Record::ReadRecord(*Key);
    } catch (const fw_SysUtils::EOSError& E) {
        C.Failure(E.Message());
        return;
    }
    // The subkeys of the product, in the order the registry lists them.
    const std::string Product = ProductKey.substr(0, ProductKey.size() - ProductName.size()) + Narrow(*Key);
    std::vector<std::string> Subs;
    HKEY P = nullptr;
    if (RegOpenKeyExA(Roots().Machine(), Product.c_str(), 0, KEY_READ, &P) == ERROR_SUCCESS) {
        char Name[256];
        for (DWORD I = 0;; ++I) {
            DWORD Size = sizeof Name;
            if (RegEnumKeyExA(P, I, Name, &Size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
                break;
            Subs.emplace_back(Name, Size);
        }
        RegCloseKey(P);
    }
    std::vector<std::pair<uint64_t, std::string>> Lists;
    for (const std::string& S : Subs) {
        uint64_t N = 0;
        if (_stricmp(S.c_str(), "Files") == 0)
            Lists.emplace_back(0, S);
        else if (NumberedAs(S, "Files", N))
            Lists.emplace_back(N, S);
    }
    std::stable_sort(Lists.begin(), Lists.end(), [](auto& A, auto& B) { return A.first < B.first; });
    std::vector<std::wstring> Expected;
    for (const auto& L : Lists) {
        std::vector<std::pair<uint64_t, std::string>> Files;
        for (const TValue& V : ValuesOf(C.Stored, Product + "\\" + L.second)) {
            uint64_t N = 0;
            if (NumberedAs(V.Name, "File", N) && IsText(V))
                Files.emplace_back(N, V.Data.c_str());
        }
        std::stable_sort(Files.begin(), Files.end(), [](auto& A, auto& B) { return A.first < B.first; });
        for (const auto& F : Files)
            Expected.push_back(Wide(F.second));
    }
    if (R.Files.size() != Expected.size())
        throw TFault(TOutcome::WrongOutput, "uninstall.exe read " + std::to_string(R.Files.size()) +
                                                " files, the record holds " + std::to_string(Expected.size()));
    // Values of one number in one key are listed in the registry's order,
    // which the reader need not share: the same files, each in its place by
    // number.
    std::vector<std::wstring> A = R.Files, B = Expected;
    std::sort(A.begin(), A.end());
    std::sort(B.begin(), B.end());
    if (A != B)
        throw TFault(TOutcome::WrongOutput, "uninstall.exe's files are not the record's");
}

// The program a command line starts, as the takeover finds it.
std::string ProgramOf(const std::string& Line)
{
    const std::string Text = fw_SysUtils::TrimLeft(Line);
    if (Text.empty())
        return "";
    const size_t I = 0;
    const std::string& L = Text;
    if (L[I] == '"') {
        const size_t End = L.find('"', I + 1);
        return L.substr(I + 1, End == std::string::npos ? std::string::npos : End - I - 1);
    }
    return L.substr(I, L.find(' ', I) - I);
}

std::string ThisCommandLine()
{
    const std::string Program = fw_SysUtils::ModuleFileName();
    return "\"" + Program + "\" -r \"-s" + Program.substr(0, Program.find_last_of('\\')) + "\"";
}

// A RunOnce value of an earlier run of this program is taken over by this
// run's command line and the copy it ran from goes; without one, a new value
// is added. The takeover may remove the files beside a copy: it runs only
// when every such copy lies in the scratch folder.
void CheckRegisterRunOnce(TCase& C, const TStamp& Own)
{
    const std::vector<TValue> Before = ValuesOf(C.Stored, RunOnceKey);
    std::vector<std::string> Pending, Programs;
    for (const TValue& V : Before) {
        if (_strnicmp(V.Name.c_str(), "WendrelUnfinished", 17) != 0 || !IsText(V))
            continue;
        // The system runs the value up to its first zero byte.
        const std::string Program = ProgramOf(TextData(V).c_str());
        if (Program.empty())
            continue;
        const auto Stamp = StampOf(Program);
        if (!Stamp || !SameStamp(*Stamp, Own))
            continue;
        if (_stricmp(Program.c_str(), fw_SysUtils::ModuleFileName().c_str()) != 0 && !Inside(Program, WorkFolder())) {
            ++Refusals.RunOnce;
            return;
        }
        Pending.push_back(V.Name);
        Programs.push_back(Program);
    }
    TRoot R;
    try {
        R.Install->RegisterRunOnce();
    } catch (const exceptions_Wendrel::IEInstall& E) {
        C.Failure(E.Message());
        return;
    }
    const std::vector<TValue> After = ValuesOf(Snapshot(), RunOnceKey);
    const std::string Line = ThisCommandLine();
    std::string Written;
    for (const TValue& V : After) {
        const TValue* Old = Find(Before, V.Name);
        if (Old && Old->Type == V.Type && Old->Data == V.Data)
            continue;
        if (!Written.empty())
            throw TFault(TOutcome::WrongOutput, "the takeover changed two values: " + Written + " and " + V.Name);
        Written = V.Name;
        if (!IsText(V) || TextData(V) != Line)
            throw TFault(TOutcome::WrongOutput, "RunOnce value " + V.Name + " is not this run's command line");
        if (Pending.empty() ? Old != nullptr : std::find(Pending.begin(), Pending.end(), V.Name) == Pending.end())
            throw TFault(TOutcome::WrongOutput, "RunOnce value " + V.Name + " was written, no resume of this program");
    }
    if (Written.empty() &&
        !(Pending.size() && Find(Before, Pending.front()) && TextData(*Find(Before, Pending.front())) == Line))
        throw TFault(TOutcome::WrongOutput, "no RunOnce value holds this run's command line");
    if (After.size() < Before.size())
        throw TFault(TOutcome::WrongOutput, "the takeover removed a RunOnce value");
}

// The resume after the restart: the record's language, its unfinished list
// (files to delete, components to finish), then the record goes with the
// archives it downloaded. It deletes the files its values name: it runs only
// when each of them lies in the scratch box.
void CheckCompleteAfterReboot(TCase& C)
{
    std::vector<std::string> Named; // files a value of a record may name for deletion
    for (const TValue& V : C.Stored) {
        if (_strnicmp(V.Key.c_str(), (RecordsKey + "\\").c_str(), RecordsKey.size() + 1) != 0)
            continue;
        const std::string Rest = V.Key.substr(RecordsKey.size() + 1);
        const size_t Slash = Rest.find('\\');
        if (Slash == std::string::npos)
            continue; // the record's own values
        if (_stricmp(V.Name.c_str(), "LocalFile") == 0) {
            std::string Local = fw_SysUtils::Trim(TextData(V));
            Local = Local.c_str();
            if (!Local.empty())
                Named.push_back(Local);
        }
        if (_stricmp(Rest.substr(Slash + 1).c_str(), "Unfinished") == 0) {
            const std::string Line = V.Name + ";" + TextData(V);
            std::string Subject = Line.substr(0, Line.rfind(';'));
            Subject = Subject.c_str();
            if (Line.substr(Line.rfind(';') + 1) != "0")
                Named.push_back(Subject);
        }
    }
    for (const std::string& N : Named)
        if (!Inside(N, Box())) {
            ++Refusals.CompleteAfterReboot;
            return;
        }
    // The files of the box no value names stay.
    std::vector<std::string> Kept;
    for (const std::string& F : BoxFiles) {
        bool Listed = false;
        for (const std::string& N : Named) {
            char Full[MAX_PATH * 2];
            const DWORD L = GetFullPathNameA(N.c_str(), sizeof Full, Full, nullptr);
            Listed = Listed || (L && _stricmp(Full, (Box() + "\\" + F).c_str()) == 0);
        }
        if (!Listed)
            Kept.push_back(F);
    }
    auto Records = [] {
        std::vector<TValue> Values;
        std::vector<std::string> Keys;
        HKEY K = nullptr;
        if (RegOpenKeyExA(Roots().Machine(), RecordsKey.c_str(), 0, KEY_READ, &K) != ERROR_SUCCESS)
            return size_t(0);
        ReadTree(K, "", Values, Keys);
        RegCloseKey(K);
        return size_t(std::count_if(Keys.begin(), Keys.end(), [](const std::string& Key) {
            return !Key.empty() && Key.find('\\') == std::string::npos;
        }));
    };
    const size_t RecordsBefore = Records();
    TRoot R;
    try {
        R.Install->CompleteAfterReboot();
    } catch (const exceptions_Wendrel::IEInstall& E) {
        C.Failure(E.Message());
    } catch (const fw_Registry::ERegistryException& E) {
        C.Failure(E.Message());
    }
    cmp_TInstallContainer::InstallKey.clear();
    for (const std::string& F : Kept)
        if (GetFileAttributesA((Box() + "\\" + F).c_str()) == INVALID_FILE_ATTRIBUTES)
            throw TFault(TOutcome::Outside, "the resume removed " + F + ", which no value names");
    // A resume that ended well found its record and removed it.
    if (!C.Failed && Records() >= RecordsBefore)
        throw TFault(TOutcome::WrongOutput, "the record stayed after the resume");
}

// The scratch folder's name holds the process id: seeds and cases name it
// by a token, so that a case is the same in every process.
const std::string WorkToken = "%WORK%";

std::string Replaced(std::string Text, const std::string& From, const std::string& To)
{
    for (size_t At = 0; (At = Text.find(From, At)) != std::string::npos; At += To.size())
        Text.replace(At, From.size(), To);
    return Text;
}

// ---- the case -------------------------------------------------------------------

void PrepareFiles()
{
    CreateDirectoryA(Box().c_str(), nullptr);
    EmptyFolder(Box());
    for (const std::string& F : BoxFiles)
        WriteWholeFile(Box() + "\\" + F, F);
    // The copy goes only when a takeover removes it.
    const std::string Source = Master() + "\\setup.exe";
    if (GetFileAttributesA(LeftCopy().c_str()) == INVALID_FILE_ATTRIBUTES)
        CopyFileA(Source.c_str(), LeftCopy().c_str(), FALSE);
}

TStamp OwnStamp()
{
    static const TStamp S = *StampOf(fw_SysUtils::ModuleFileName());
    return S;
}

TOutcome Run(const std::string& Input, std::string& Message)
{
    Canary();
    ++Refusals.Cases;
    Roots().Empty();
    LoadTree(Roots().Machine(), Replaced(Input, WorkToken, WorkFolder()));
    PrepareFiles();
    TCase C;
    C.Stored = Snapshot();
    const TStamp Own = OwnStamp();
    CheckReadUnfinished(C);
    CheckReadLanguage(C);
    CheckAddUnfinished();
    CheckUninstallRecord(C);
    CheckAddUninstallEntry(C);
    C.Stored = Snapshot();
    CheckRegisterRunOnce(C, Own);
    C.Stored = Snapshot();
    CheckCompleteAfterReboot(C);
    if (GetFileAttributesA(Canary().Path.c_str()) == INVALID_FILE_ATTRIBUTES)
        throw TFault(TOutcome::Outside, "the canary beside the scratch folder is gone");
    if (!StampOf(fw_SysUtils::ModuleFileName()))
        throw TFault(TOutcome::Outside, "the program's own file is gone");
    for (const std::string& Name : FolderNames(Box()))
        if (std::find(BoxFiles.begin(), BoxFiles.end(), Name) == BoxFiles.end())
            throw TFault(TOutcome::Outside, "a file " + Name + " appeared in the box");
    Message = C.Message;
    return C.Failed ? TOutcome::CleanFailure : TOutcome::SuccessChecked;
}

// ---- the seeds --------------------------------------------------------------------

void WriteInstallRecord(bool WithResumeOfCopy, bool WithOwnResume)
{
    TRoot R;
    cmp_TInstallContainer::InstallKey = R.Install->FindInstallRecord(true);
    if (cmp_TInstallContainer::InstallKey != "\\" + RecordKey)
        throw std::runtime_error("the install record is " + cmp_TInstallContainer::InstallKey);
    R.Install->AddUnfinished("InstallFile1", 0);
    R.Install->AddUnfinished(Box() + "\\left1.tmp", 1);
    R.Install->AddUnfinished(Box() + "\\left 2.dll", 1);
    cmp_TInstall::MainLanguage.Get = [] { return 7; };
    R.Install->WriteLanguage();
    cmp_TInstall::MainLanguage.Get = nullptr;
    routines_Registry::WriteRegistryString(routines_Registry::hkLocalMachine,
                                           cmp_TInstallContainer::InstallKey + "\\InstallFile1", "LocalFile",
                                           Box() + "\\download.1");
    routines_Registry::AddRunOnceEntry("SomeOtherProgram", "C:\\Other\\other.exe /finish", true);
    if (WithOwnResume)
        R.Install->RegisterRunOnce();
    if (WithResumeOfCopy)
        routines_Registry::AddRunOnceEntry(cmp_TInstall::RunOnceName,
                                           "\"" + LeftCopy() + "\" -r \"-sC:\\Downloads\\Quorvane\" -c", true);
    cmp_TInstallContainer::InstallKey.clear();
}

void WriteUninstallRecord()
{
    const std::string Key = std::string(cmp_TInstallContainer::UninstallKeyBase) + ProductName;
    for (const char* F : {"C:\\Program Files\\Quorvane\\quorvane.exe", "C:\\Program Files\\Quorvane\\readme.txt",
                          "C:\\Program Files\\Quorvane\\data\\a.dat"})
        cmp_TInstallContainer::AddUninstallFile(Key, F);
    cmp_TInstallContainer::AddUninstallEntry(Key + "\\ActiveX", "C:\\Program Files\\Quorvane\\server.dll;0");
    routines_Registry::WriteRegistryString(routines_Registry::hkLocalMachine, Key, "DisplayName", "Quorvane 1.0.2.9");
}

TSeed SeedOfTree()
{
    TSeed S;
    S.Bytes = Replaced(TextOfTree(Roots().Machine()), WorkFolder(), WorkToken);
    S.Text = true;
    // Each data field is a text field; each line a boundary.
    size_t Start = 0;
    while (Start < S.Bytes.size()) {
        const size_t End = S.Bytes.find('\n', Start);
        const size_t Data = S.Bytes.rfind('|', End);
        if (Data != std::string::npos && Data >= Start)
            S.TextFields.push_back({Data + 1, 0});
        S.Boundaries.push_back(End + 1);
        Start = End + 1;
    }
    Roots().Empty();
    return S;
}

std::vector<TSeed> Seeds()
{
    CreateDirectoryA(Master().c_str(), nullptr);
    if (!CopyFileA(fw_SysUtils::ModuleFileName().c_str(), (Master() + "\\setup.exe").c_str(), FALSE))
        throw std::runtime_error("cannot copy the program");
    const auto Copy = StampOf(Master() + "\\setup.exe");
    if (!Copy || !SameStamp(*Copy, OwnStamp()))
        std::printf("registry: the copy of the program lost its time: no resume of a copy is taken over\n");
    PrepareFiles();
    Roots().Empty();
    std::vector<TSeed> S;
    WriteInstallRecord(true, false);
    S.push_back(SeedOfTree());
    WriteInstallRecord(true, true);
    S.push_back(SeedOfTree());
    WriteUninstallRecord();
    S.push_back(SeedOfTree());
    WriteInstallRecord(false, true);
    WriteUninstallRecord();
    S.push_back(SeedOfTree());
    return S;
}

// Edits a value as a damaged record holds it: another type, a count at an
// edge, a hostile path, no value at all; or the text edits of any format.
std::string MutateRecord(const TSeed& Seed, TRandom& Random)
{
    if (Random.OneIn(3))
        return Mutate(Seed, Random);
    std::vector<std::string> Lines;
    size_t Start = 0;
    while (Start < Seed.Bytes.size()) {
        const size_t End = Seed.Bytes.find('\n', Start);
        Lines.push_back(Seed.Bytes.substr(Start, End - Start));
        Start = End + 1;
    }
    static const std::vector<std::string> Counts{
        "-1",  "0", "2147483647", "2147483648", "-2147483648", "99999999999", "2000000000", "4294967295",
        "abc", "",  " 7 ",        "$7FFFFFFF",  "0x10",        "1e9",         "3;1",        "1;"};
    static const std::vector<std::string> Types{"SZ", "EXPAND_SZ", "MULTI_SZ", "DWORD", "QWORD", "BINARY", "NONE"};
    const int Edits = 1 + int(Random.Below(3));
    for (int E = 0; E < Edits && !Lines.empty(); ++E) {
        std::string& L = Lines[Random.Below(Lines.size())];
        const size_t A = L.find('|'), B = L.find('|', A + 1), C = L.find('|', B + 1);
        if (C == std::string::npos)
            continue;
        std::string Key = L.substr(0, A), Name = L.substr(A + 1, B - A - 1), Type = L.substr(B + 1, C - B - 1),
                    Data = L.substr(C + 1);
        const std::vector<std::string>& Hostile = HostileTexts();
        switch (Random.Below(8)) {
        case 0:
            Type = Types[Random.Below(Types.size())];
            break;
        case 1:
            Data = Counts[Random.Below(Counts.size())];
            break;
        case 2:
            Data = Hostile[Random.Below(Hostile.size())];
            break;
        case 3:
            Name = Random.OneIn(2) ? Hostile[Random.Below(Hostile.size())] : Name + ";1";
            break;
        case 4:
            L.clear(); // the value is missing
            continue;
        case 5:
            Data = std::string(1 + Random.Below(5000), char('A' + Random.Below(26)));
            break;
        case 6: // a copy under another number
            Lines.push_back(Key + "|" + (Name.size() > 1 ? Name.substr(0, Name.size() - 1) : Name) +
                            std::to_string(Random.Below(100000)) + "|" + Type + "|" + Data);
            continue;
        default:
            Data = Data + (Random.OneIn(2) ? ";1" : ";0");
            break;
        }
        L = Key + "|" + Name + "|" + Type + "|" + Data;
    }
    std::string Out;
    for (const std::string& L : Lines)
        if (!L.empty())
            Out += L + "\n";
    return Out;
}

} // namespace

int main(int argc, char** argv)
{
    engine_test_settings::Use();
    TFamily Family;
    Family.Name = "registry";
    Family.MakeSeeds = Seeds;
    Family.Run = Run;
    Family.MutateCase = MutateRecord;
    return Main(argc, argv, Family);
}
