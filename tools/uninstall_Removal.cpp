#include "tools/uninstall_Removal.h"

#include "framework/fw_SysUtils.h"

#include <shlobj.h>

#include <algorithm>
#include <array>

namespace uninstall_Removal {

using namespace uninstall_Rules;
using fw_Handles::THandle;
using fw_Handles::TRegKey;
using uninstall_Record::OpenKey;

namespace {

const wchar_t* const SharedDllsKey = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
const wchar_t* const HelpKey = L"SOFTWARE\\Microsoft\\Windows\\Help";
// A server that has not unregistered itself by then is reported, not waited for forever.
constexpr DWORD ServerTimeoutMs = 120000;

std::wstring SystemText(DWORD Code) { return Widen(fw_SysUtils::SysErrorMessage(Code)); }

std::wstring LongPath(const std::wstring& Path)
{
    std::wstring Buf(32768, L'\0');
    const DWORD N = GetLongPathNameW(Path.c_str(), Buf.data(), DWORD(Buf.size()));
    return N == 0 || N >= Buf.size() ? Path : Buf.substr(0, N);
}

std::wstring ShortPath(const std::wstring& Path)
{
    std::wstring Buf(32768, L'\0');
    const DWORD N = GetShortPathNameW(Path.c_str(), Buf.data(), DWORD(Buf.size()));
    return N == 0 || N >= Buf.size() ? std::wstring() : Buf.substr(0, N);
}

std::wstring ModulePath()
{
    std::wstring Buf(32768, L'\0');
    const DWORD N = GetModuleFileNameW(nullptr, Buf.data(), DWORD(Buf.size()));
    if (N == 0 || N >= Buf.size())
        fw_SysUtils::RaiseLastOSError();
    return Buf.substr(0, N);
}

bool InUse(DWORD Code)
{
    return Code == ERROR_SHARING_VIOLATION || Code == ERROR_ACCESS_DENIED || Code == ERROR_LOCK_VIOLATION ||
           Code == ERROR_USER_MAPPED_FILE;
}

enum class TFileResult { Deleted, Missing, Scheduled, Kept, Failed };

class TRemoval {
public:
    explicit TRemoval(const uninstall_Record::TRecord& Record) : FRecord(Record) {}

    TOutcome Run()
    {
        UnregisterServers();
        RemoveFiles();
        RemoveRegistryValues();
        ScheduleSelf();
        RemoveFolders();
        RemoveRecord();
        return std::move(FOutcome);
    }

private:
    const uninstall_Record::TRecord& FRecord;
    TOutcome FOutcome;
    std::vector<std::wstring> FFolders; // that held a removed file
    std::vector<std::wstring> FPending; // files and folders removed at the restart
    DWORD FScheduleError = 0;           // why the last ScheduleAtRestart failed

    void Problem(const std::wstring& Text) { FOutcome.Problems.push_back(Text); }
    void Note(const std::wstring& Text) { FOutcome.Notes.push_back(Text); }

    bool IsPending(const std::wstring& Path) const
    {
        return std::any_of(FPending.begin(), FPending.end(),
                           [&](const std::wstring& P) { return SameFolder(P, Path); });
    }

    // The system deletes a file or an empty folder when it starts again,
    // before anything can hold it.
    bool ScheduleAtRestart(const std::wstring& Path)
    {
        if (IsPending(Path))
            return true;
        if (!MoveFileExW(Path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT)) {
            FScheduleError = GetLastError();
            return false;
        }
        FPending.push_back(Path);
        FOutcome.RestartPending = true;
        return true;
    }

    // --- Self-registered servers ---

    void UnregisterServers()
    {
        for (const TServerEntry& S : FRecord.Servers) {
            if (!IsAbsoluteFilePath(S.Path)) {
                Note(L"Not a full file path, not unregistered: \"" + S.Path + L"\"");
                continue;
            }
            if (GetFileAttributesW(S.Path.c_str()) == INVALID_FILE_ATTRIBUTES)
                continue; // gone already: there is nothing left to ask
            if (S.Program)
                UnregisterProgram(S.Path);
            else
                UnregisterLibrary(S.Path);
        }
    }

    void UnregisterProgram(const std::wstring& Path)
    {
        std::wstring Command = L"\"" + Path + L"\" /UNREGSERVER";
        STARTUPINFOW Start{};
        Start.cb = sizeof Start;
        PROCESS_INFORMATION Info{};
        if (!CreateProcessW(Path.c_str(), Command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &Start,
                            &Info)) {
            const DWORD E = GetLastError();
            Problem(L"Cannot start " + Path + L" to unregister it: " + SystemText(E));
            return;
        }
        THandle Process(Info.hProcess), Thread(Info.hThread);
        if (WaitForSingleObject(Process.Get(), ServerTimeoutMs) != WAIT_OBJECT_0) {
            Problem(Path + L" did not finish unregistering itself");
            return;
        }
        DWORD Code = 0;
        if (!GetExitCodeProcess(Process.Get(), &Code) || Code != 0)
            Problem(Path + L" failed to unregister itself (exit code " + std::to_wstring(Code) + L")");
    }

    void UnregisterLibrary(const std::wstring& Path)
    {
        fw_Handles::TModule Library(LoadLibraryExW(Path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
        if (!Library) {
            const DWORD E = GetLastError();
            Problem(L"Cannot load " + Path + L" to unregister it: " + SystemText(E));
            return;
        }
        using TUnregister = HRESULT(STDAPICALLTYPE*)();
        const auto Unregister = reinterpret_cast<TUnregister>(GetProcAddress(Library.Get(), "DllUnregisterServer"));
        if (!Unregister) {
            Problem(Path + L" has no DllUnregisterServer: it was not unregistered");
            return;
        }
        const HRESULT R = Unregister();
        if (FAILED(R))
            Problem(Path + L" failed to unregister itself: " + SystemText(DWORD(R)));
    }

    // --- Files ---

    void RemoveFiles()
    {
        std::vector<std::wstring> Paths;
        for (const std::wstring& F : FRecord.Files)
            Paths.push_back(TrimBlanks(F));
        for (const TServerEntry& S : FRecord.Servers)
            Paths.push_back(S.Path);
        LONG Code = 0;
        TRegKey Shared = OpenKey(HKEY_LOCAL_MACHINE, SharedDllsKey, KEY_QUERY_VALUE | KEY_SET_VALUE, &Code);
        if (!Shared && Code != ERROR_FILE_NOT_FOUND)
            throw fw_SysUtils::EOSError("Cannot open the counts of the shared files: " +
                                            fw_SysUtils::SysErrorMessage(DWORD(Code)),
                                        DWORD(Code));
        std::vector<std::wstring> Done;
        for (const std::wstring& Path : Paths) {
            if (std::any_of(Done.begin(), Done.end(), [&](const std::wstring& D) { return SameText(D, Path); }))
                continue;
            Done.push_back(Path);
            if (!IsAbsoluteFilePath(Path)) {
                Note(L"Not a full file path, not deleted: \"" + Path + L"\"");
                continue;
            }
            RemoveFile(Shared.Get(), Path);
        }
    }

    void RemoveFile(HKEY Shared, const std::wstring& Path)
    {
        // The setup counted a shared file under its short name when an older
        // count of that name existed, else under the long one.
        std::wstring CountName;
        if (Shared) {
            const std::wstring Short = ShortPath(Path);
            for (const std::wstring& Name : {Short, Path})
                if (!Name.empty() &&
                    RegQueryValueExW(Shared, Name.c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS) {
                    CountName = Name;
                    break;
                }
        }
        if (!CountName.empty()) {
            const std::optional<DWORD> Count = uninstall_Record::ReadNumber(Shared, CountName);
            if (!Count) {
                Note(L"The use count of the shared file " + Path + L" cannot be read: the file is kept");
                return;
            }
            if (*Count > 1) {
                // Other products still use it.
                const DWORD Less = *Count - 1;
                const LONG R = RegSetValueExW(Shared, CountName.c_str(), 0, REG_DWORD,
                                              reinterpret_cast<const BYTE*>(&Less), sizeof Less);
                if (R != ERROR_SUCCESS)
                    Problem(L"Cannot lower the use count of the shared file " + Path + L": " + SystemText(DWORD(R)));
                return;
            }
        }
        const TFileResult Result = DeleteRecordedFile(Path);
        if (Result == TFileResult::Failed || Result == TFileResult::Kept)
            return;
        FFolders.push_back(ParentFolder(Path));
        if (!CountName.empty()) {
            const LONG R = RegDeleteValueW(Shared, CountName.c_str());
            if (R != ERROR_SUCCESS && R != ERROR_FILE_NOT_FOUND)
                Problem(L"Cannot delete the use count of the shared file " + Path + L": " + SystemText(DWORD(R)));
        }
        const std::wstring Name = FileNameOf(Path);
        if (Name.size() > 4 && SameText(Name.substr(Name.size() - 4), L".hlp"))
            RemoveHelpValue(Path);
    }

    TFileResult DeleteRecordedFile(const std::wstring& Path)
    {
        const DWORD Attr = GetFileAttributesW(Path.c_str());
        if (Attr == INVALID_FILE_ATTRIBUTES) {
            const DWORD E = GetLastError();
            if (E == ERROR_FILE_NOT_FOUND || E == ERROR_PATH_NOT_FOUND)
                return TFileResult::Missing;
            Problem(L"Cannot delete " + Path + L": " + SystemText(E));
            return TFileResult::Failed;
        }
        if (Attr & FILE_ATTRIBUTE_DIRECTORY) {
            Note(L"A folder, not a file: not deleted: " + Path);
            return TFileResult::Kept;
        }
        const bool ReadOnly = Attr & FILE_ATTRIBUTE_READONLY;
        if (ReadOnly) {
            const DWORD Rest = Attr & ~DWORD(FILE_ATTRIBUTE_READONLY);
            SetFileAttributesW(Path.c_str(), Rest ? Rest : FILE_ATTRIBUTE_NORMAL); // DeleteFileW reports a failure
        }
        if (DeleteFileW(Path.c_str()))
            return TFileResult::Deleted;
        const DWORD E = GetLastError();
        if (InUse(E)) {
            if (ScheduleAtRestart(Path))
                return TFileResult::Scheduled;
            Problem(Path + L" is in use and cannot be removed at the next restart either: " +
                    SystemText(FScheduleError));
        } else {
            Problem(L"Cannot delete " + Path + L": " + SystemText(E));
        }
        if (ReadOnly)
            SetFileAttributesW(Path.c_str(), Attr);
        return TFileResult::Failed;
    }

    // The help index names a help file by its name in capitals with its folder
    // as the data; another product's help file of the same name in another
    // folder keeps its entry.
    void RemoveHelpValue(const std::wstring& Path)
    {
        TRegKey Help = OpenKey(HKEY_LOCAL_MACHINE, HelpKey, KEY_QUERY_VALUE | KEY_SET_VALUE);
        if (!Help)
            return;
        const std::wstring Name = FileNameOf(Path), Folder = ParentFolder(Path);
        for (const std::wstring& Value : uninstall_Record::ValueNames(Help.Get())) {
            if (!SameText(Value, Name))
                continue;
            const std::optional<std::wstring> Data = uninstall_Record::ReadText(Help.Get(), Value);
            if (!Data || !SameFolder(TrimBlanks(*Data), Folder))
                continue;
            const LONG R = RegDeleteValueW(Help.Get(), Value.c_str());
            if (R != ERROR_SUCCESS && R != ERROR_FILE_NOT_FOUND)
                Problem(L"Cannot delete the help entry of " + Path + L": " + SystemText(DWORD(R)));
        }
    }

    // --- Registry values ---

    void RemoveRegistryValues()
    {
        static const std::array<HKEY, 6> Roots{HKEY_CLASSES_ROOT, HKEY_CURRENT_CONFIG, HKEY_CURRENT_USER,
                                               HKEY_DYN_DATA,     HKEY_LOCAL_MACHINE,  HKEY_USERS};
        for (const uninstall_Record::TRegistryEntry& E : FRecord.RegistryKeys) {
            const std::wstring Path = NormalizeKeyPath(E.Key);
            if (!E.Root || *E.Root >= Roots.size() || Path.empty()) {
                Note(L"A registry entry without a usable root and key is left: " + E.Name);
                continue;
            }
            const HKEY Root = Roots[*E.Root];
            LONG Code = 0;
            TRegKey Key = OpenKey(Root, Path, KEY_QUERY_VALUE | KEY_SET_VALUE, &Code);
            if (!Key) {
                if (Code != ERROR_FILE_NOT_FOUND)
                    Problem(L"Cannot open the registry key " + Path + L": " + SystemText(DWORD(Code)));
                continue;
            }
            bool AllGone = true;
            for (const std::wstring& Value : E.Values) {
                const LONG R = RegDeleteValueW(Key.Get(), Value.c_str());
                if (R != ERROR_SUCCESS && R != ERROR_FILE_NOT_FOUND) {
                    Problem(L"Cannot delete the value \"" + Value + L"\" of the registry key " + Path + L": " +
                            SystemText(DWORD(R)));
                    AllGone = false;
                }
            }
            Key.Reset();
            if (AllGone)
                RemoveEmptyKeys(Root, Path);
        }
    }

    // Key and then its parents, while each holds nothing.
    void RemoveEmptyKeys(HKEY Root, std::wstring Path)
    {
        while (!IsProtectedRegistryKey(Path)) {
            {
                LONG Code = 0;
                TRegKey Key = OpenKey(Root, Path, KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS, &Code);
                if (!Key)
                    return;
                DWORD Values = 0, SubKeys = 0;
                uninstall_Record::CountContents(Key.Get(), Values, SubKeys);
                if (Values || SubKeys)
                    return;
            }
            const LONG R = RegDeleteKeyW(Root, Path.c_str());
            if (R != ERROR_SUCCESS) {
                Problem(L"Cannot delete the empty registry key " + Path + L": " + SystemText(DWORD(R)));
                return;
            }
            Path = Path.substr(0, Path.rfind(L'\\'));
        }
    }

    // --- The program itself ---

    // A running program cannot be deleted: when this copy is the product's
    // own uninstaller it is deleted at the next restart, and its folder with
    // it (see RemoveFolders), by the system's delayed moves. Nothing else
    // needs to run after this program ends.
    void ScheduleSelf()
    {
        const std::wstring Self = ModulePath();
        const std::wstring SelfLong = LongPath(Self);
        const auto IsSelf = [&](const std::wstring& P) {
            return !P.empty() && (SameText(P, Self) || SameText(LongPath(P), SelfLong));
        };
        bool Ours =
            IsSelf(ProgramOfCommand(FRecord.UninstallString)) || IsSelf(ProgramOfCommand(FRecord.QuietUninstallString));
        if (!FRecord.InstallLocation.empty())
            Ours = Ours || IsSelf(ExcludeTrailingBackslash(TrimBlanks(FRecord.InstallLocation)) + L"\\Uninstall\\" +
                                  FileNameOf(Self));
        Ours = Ours || std::any_of(FRecord.Files.begin(), FRecord.Files.end(), IsSelf);
        if (!Ours || IsPending(Self))
            return;
        if (!ScheduleAtRestart(Self))
            Problem(L"This program (" + Self + L") cannot be removed at the next restart: " +
                    SystemText(FScheduleError));
        FFolders.push_back(ParentFolder(Self));
    }

    // --- Folders ---

    TProtectedFolders ProtectedFolders() const
    {
        TProtectedFolders P;
        const auto Both = [&](const std::wstring& F, bool WithChildren) {
            if (F.empty())
                return;
            for (const std::wstring& Form : {F, LongPath(F)})
                WithChildren ? P.AddWithChildren(Form) : P.Add(Form);
        };
        static constexpr std::array ShellFolders{CSIDL_STARTMENU,
                                                 CSIDL_PROGRAMS,
                                                 CSIDL_STARTUP,
                                                 CSIDL_DESKTOPDIRECTORY,
                                                 CSIDL_COMMON_STARTMENU,
                                                 CSIDL_COMMON_PROGRAMS,
                                                 CSIDL_COMMON_STARTUP,
                                                 CSIDL_COMMON_DESKTOPDIRECTORY,
                                                 CSIDL_APPDATA,
                                                 CSIDL_LOCAL_APPDATA,
                                                 CSIDL_COMMON_APPDATA,
                                                 CSIDL_PERSONAL,
                                                 CSIDL_COMMON_DOCUMENTS,
                                                 CSIDL_PROFILE,
                                                 CSIDL_FAVORITES,
                                                 CSIDL_COMMON_FAVORITES,
                                                 CSIDL_SENDTO,
                                                 CSIDL_TEMPLATES,
                                                 CSIDL_COMMON_TEMPLATES,
                                                 CSIDL_RECENT,
                                                 CSIDL_NETHOOD,
                                                 CSIDL_PRINTHOOD,
                                                 CSIDL_MYMUSIC,
                                                 CSIDL_MYPICTURES,
                                                 CSIDL_MYVIDEO,
                                                 CSIDL_COMMON_MUSIC,
                                                 CSIDL_COMMON_PICTURES,
                                                 CSIDL_COMMON_VIDEO,
                                                 CSIDL_ADMINTOOLS,
                                                 CSIDL_COMMON_ADMINTOOLS,
                                                 CSIDL_INTERNET_CACHE,
                                                 CSIDL_COOKIES,
                                                 CSIDL_HISTORY,
                                                 CSIDL_FONTS,
                                                 CSIDL_PROGRAM_FILES,
                                                 CSIDL_PROGRAM_FILESX86,
                                                 CSIDL_PROGRAM_FILES_COMMON,
                                                 CSIDL_PROGRAM_FILES_COMMONX86,
                                                 CSIDL_RESOURCES,
                                                 CSIDL_CDBURN_AREA};
        wchar_t Buf[MAX_PATH];
        for (int Csidl : ShellFolders)
            if (SUCCEEDED(SHGetFolderPathW(nullptr, Csidl | CSIDL_FLAG_DONT_VERIFY, nullptr, SHGFP_TYPE_CURRENT, Buf)))
                Both(Buf, false);
        // The system's folders and everything directly in them (Fonts, Help, drivers...).
        for (int Csidl : {CSIDL_WINDOWS, CSIDL_SYSTEM, CSIDL_SYSTEMX86})
            if (SUCCEEDED(SHGetFolderPathW(nullptr, Csidl | CSIDL_FLAG_DONT_VERIFY, nullptr, SHGFP_TYPE_CURRENT, Buf)))
                Both(Buf, true);
        std::wstring Dir(32768, L'\0');
        if (UINT N = GetWindowsDirectoryW(Dir.data(), UINT(Dir.size())); N && N < Dir.size())
            Both(Dir.substr(0, N), true);
        if (UINT N = GetSystemDirectoryW(Dir.data(), UINT(Dir.size())); N && N < Dir.size())
            Both(Dir.substr(0, N), true);
        if (UINT N = GetSystemWow64DirectoryW(Dir.data(), UINT(Dir.size())); N && N < Dir.size())
            Both(Dir.substr(0, N), true);
        if (DWORD N = GetTempPathW(DWORD(Dir.size()), Dir.data()); N && N < Dir.size())
            Both(Dir.substr(0, N), false);
        for (const wchar_t* Var :
             {L"ProgramFiles", L"ProgramFiles(x86)", L"ProgramW6432", L"CommonProgramFiles", L"CommonProgramFiles(x86)",
              L"CommonProgramW6432", L"SystemRoot", L"windir", L"USERPROFILE", L"PUBLIC", L"ALLUSERSPROFILE",
              L"ProgramData", L"APPDATA", L"LOCALAPPDATA", L"TEMP", L"TMP"})
            if (DWORD N = GetEnvironmentVariableW(Var, Dir.data(), DWORD(Dir.size())); N && N < Dir.size())
                Both(Dir.substr(0, N), false);
        return P;
    }

    enum class TFolderState { Empty, OnlyPending, Used };

    TFolderState FolderState(const std::wstring& Folder) const
    {
        WIN32_FIND_DATAW Data;
        fw_Handles::TFindHandle Find(FindFirstFileW((Folder + L"\\*").c_str(), &Data));
        if (!Find)
            return TFolderState::Used; // unreadable: not ours to judge
        bool Pending = false;
        do {
            const std::wstring Name = Data.cFileName;
            if (Name == L"." || Name == L"..")
                continue;
            if (!IsPending(Folder + L"\\" + Name))
                return TFolderState::Used;
            Pending = true;
        } while (FindNextFileW(Find.Get(), &Data));
        return Pending ? TFolderState::OnlyPending : TFolderState::Empty;
    }

    // Each folder that held a removed file goes when it is empty, then its
    // parents while they are; a folder holding only what goes at the restart
    // goes then too. The deepest come first, so a parent is looked at after
    // its children.
    void RemoveFolders()
    {
        if (FFolders.empty())
            return;
        const TProtectedFolders Protected = ProtectedFolders();
        std::vector<std::wstring> Folders;
        for (const std::wstring& F : FFolders)
            Folders.push_back(LongPath(F));
        const auto Depth = [](const std::wstring& F) { return std::count(F.begin(), F.end(), L'\\'); };
        std::stable_sort(Folders.begin(), Folders.end(),
                         [&](const std::wstring& A, const std::wstring& B) { return Depth(A) > Depth(B); });
        Folders.erase(std::unique(Folders.begin(), Folders.end(),
                                  [](const std::wstring& A, const std::wstring& B) { return SameFolder(A, B); }),
                      Folders.end());
        for (std::wstring Folder : Folders) {
            while (!Folder.empty() && !Protected.Protects(Folder)) {
                const DWORD Attr = GetFileAttributesW(Folder.c_str());
                if (Attr != INVALID_FILE_ATTRIBUTES) {
                    if (!(Attr & FILE_ATTRIBUTE_DIRECTORY) || !RemoveFolder(Folder))
                        break;
                } // a folder already gone: its parent may now be empty
                Folder = ParentFolder(Folder);
            }
        }
    }

    // False when the folder stays.
    bool RemoveFolder(const std::wstring& Folder)
    {
        if (IsPending(Folder))
            return true;
        switch (FolderState(Folder)) {
        case TFolderState::Used:
            return false;
        case TFolderState::OnlyPending:
            if (ScheduleAtRestart(Folder))
                return true;
            Problem(L"The folder " + Folder + L" cannot be removed at the next restart: " + SystemText(FScheduleError));
            return false;
        case TFolderState::Empty:
            break;
        }
        if (RemoveDirectoryW(Folder.c_str()))
            return true;
        const DWORD E = GetLastError();
        // Another program's working folder: it goes at the restart.
        if (InUse(E) && ScheduleAtRestart(Folder))
            return true;
        Problem(L"Cannot remove the empty folder " + Folder + L": " + SystemText(E));
        return false;
    }

    // --- The record ---

    // The record is the last thing removed: whatever failed above is listed
    // in the final message, and a second run would only count the shared
    // files down twice.
    void RemoveRecord()
    {
        LONG Code = 0;
        TRegKey Base = OpenKey(HKEY_LOCAL_MACHINE, uninstall_Record::UninstallKey, KEY_ALL_ACCESS, &Code);
        if (!Base) {
            Problem(L"Cannot open the list of installed programs: " + SystemText(DWORD(Code)));
            return;
        }
        // The name was read from this very key: it names one product, never a path.
        if (FRecord.KeyName.empty() || FRecord.KeyName.find(L'\\') != std::wstring::npos)
            return;
        const LONG R = RegDeleteTreeW(Base.Get(), FRecord.KeyName.c_str());
        if (R != ERROR_SUCCESS && R != ERROR_FILE_NOT_FOUND)
            Problem(L"Cannot delete the uninstall record " + FRecord.KeyName + L": " + SystemText(DWORD(R)));
    }
};

} // namespace

TOutcome RemoveProduct(const uninstall_Record::TRecord& Record) { return TRemoval(Record).Run(); }

} // namespace uninstall_Removal
