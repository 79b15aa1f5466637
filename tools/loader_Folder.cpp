#include "tools/loader_Folder.h"

#include "framework/fw_Handles.h"
#include "tools/loader_Failure.h"

#include <aclapi.h>
#include <ntsecapi.h>

#include <cwctype>

namespace loader_Folder {

using fw_Handles::THandle;
using loader_Failure::ELoader;

namespace {

// How many names are drawn before the folder is given up: a collision of
// 128-bit names means something else answers "exists" for every name.
constexpr int MaxAttempts = 16;
// A file the system still holds for a moment after its process ended (a
// scanner, Wine's server) gets a few more tries.
constexpr int MaxRemoveTries = 20;
constexpr DWORD RemoveRetryMs = 50;

bool Gone(DWORD Code) { return Code == ERROR_FILE_NOT_FOUND || Code == ERROR_PATH_NOT_FOUND; }

bool Retry(const std::function<BOOL()>& Try)
{
    for (int I = 0;; ++I) {
        if (Try())
            return true;
        const DWORD Code = GetLastError();
        if (Gone(Code))
            return true;
        if (I + 1 >= MaxRemoveTries ||
            (Code != ERROR_SHARING_VIOLATION && Code != ERROR_ACCESS_DENIED && Code != ERROR_DIR_NOT_EMPTY))
            return false;
        Sleep(RemoveRetryMs);
    }
}

std::wstring Upper(std::wstring_view S)
{
    std::wstring U(S);
    for (wchar_t& C : U)
        C = wchar_t(std::towupper(C));
    return U;
}

// The current user's SID, copied out of the process token.
std::vector<uint8_t> CurrentUserSid()
{
    THandle Token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, Token.Receive()))
        return {};
    DWORD Size = 0;
    GetTokenInformation(Token.Get(), TokenUser, nullptr, 0, &Size);
    std::vector<uint8_t> Info(Size);
    if (Size == 0 || !GetTokenInformation(Token.Get(), TokenUser, Info.data(), Size, &Size))
        return {};
    const PSID Sid = reinterpret_cast<TOKEN_USER*>(Info.data())->User.Sid;
    std::vector<uint8_t> Copy(GetLengthSid(Sid));
    if (!CopySid(DWORD(Copy.size()), Copy.data(), Sid))
        return {};
    return Copy;
}

[[noreturn]] void FolderFailure(std::wstring_view Parent, DWORD Code)
{
    throw ELoader(loader_Failure::ecUnpack, L"Cannot make a private folder in " + std::wstring(Parent) + L": " +
                                                loader_Failure::SystemReason(Code));
}

} // namespace

TPrivateSecurity::TPrivateSecurity() : FSid(CurrentUserSid())
{
    auto Fail = [](DWORD Code) {
        throw ELoader(loader_Failure::ecUnpack,
                      L"Cannot describe a private folder: " + loader_Failure::SystemReason(Code));
    };
    if (FSid.empty())
        Fail(GetLastError());
    FAcl.resize(sizeof(ACL) + sizeof(ACCESS_ALLOWED_ACE) + FSid.size());
    PACL Acl = reinterpret_cast<PACL>(FAcl.data());
    if (!InitializeAcl(Acl, DWORD(FAcl.size()), ACL_REVISION) ||
        !AddAccessAllowedAceEx(Acl, ACL_REVISION, OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE, FILE_ALL_ACCESS,
                               FSid.data()) ||
        !InitializeSecurityDescriptor(&FDescriptor, SECURITY_DESCRIPTOR_REVISION) ||
        !SetSecurityDescriptorDacl(&FDescriptor, TRUE, Acl, FALSE) ||
        !SetSecurityDescriptorControl(&FDescriptor, SE_DACL_PROTECTED, SE_DACL_PROTECTED))
        Fail(GetLastError());
    FAttributes = {sizeof FAttributes, &FDescriptor, FALSE};
}

void SystemRandom(uint8_t* Bytes, size_t Count)
{
    // advapi32's generator: a known system library, where bcrypt.dll would be
    // looked for beside the loader first.
    if (!RtlGenRandom(Bytes, ULONG(Count)))
        throw ELoader(loader_Failure::ecInternal, L"The system's random number generator failed.");
}

std::wstring FolderName(const uint8_t (&Random)[16])
{
    static const wchar_t Hex[] = L"0123456789ABCDEF";
    std::wstring Name = L"WDRL";
    for (uint8_t B : Random) {
        Name += Hex[B >> 4];
        Name += Hex[B & 15];
    }
    return Name;
}

std::wstring CreatePrivateFolder(std::wstring_view Parent, const TRandom& Random)
{
    TPrivateSecurity Security;
    std::wstring Base(Parent);
    while (!Base.empty() && (Base.back() == L'\\' || Base.back() == L'/'))
        Base.pop_back();
    for (int I = 0; I < MaxAttempts; ++I) {
        uint8_t Bytes[16];
        Random(Bytes, sizeof Bytes);
        const std::wstring Path = Base + L"\\" + FolderName(Bytes);
        if (CreateDirectoryW(Path.c_str(), Security.Attributes()))
            return Path;
        // Someone else's folder of that name: never ours to use.
        if (const DWORD Code = GetLastError(); Code != ERROR_ALREADY_EXISTS)
            FolderFailure(Parent, Code);
    }
    FolderFailure(Parent, ERROR_ALREADY_EXISTS);
}

bool RemoveFolder(const std::wstring& Folder)
{
    WIN32_FIND_DATAW Found;
    fw_Handles::TFindHandle Find(FindFirstFileW((Folder + L"\\*").c_str(), &Found));
    if (Find) {
        do {
            const std::wstring Name = Found.cFileName;
            if (Name == L"." || Name == L"..")
                continue;
            const std::wstring Path = Folder + L"\\" + Name;
            if ((Found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
                !(Found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
                RemoveFolder(Path);
            else if (Found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveDirectoryW(Path.c_str()); // a link: not followed
            else {
                if (Found.dwFileAttributes & FILE_ATTRIBUTE_READONLY)
                    SetFileAttributesW(Path.c_str(), FILE_ATTRIBUTE_NORMAL);
                Retry([&] { return DeleteFileW(Path.c_str()); });
            }
        } while (FindNextFileW(Find.Get(), &Found));
    }
    Find.Reset();
    return Retry([&] { return RemoveDirectoryW(Folder.c_str()); });
}

bool NamesProgramInside(std::wstring_view CommandLine, const std::vector<std::wstring>& FolderForms)
{
    const std::wstring Line = Upper(CommandLine);
    for (const std::wstring& Form : FolderForms) {
        std::wstring Key = Upper(Form);
        while (!Key.empty() && Key.back() == L'\\')
            Key.pop_back();
        if (!Key.empty() && Line.find(Key + L"\\") != std::wstring::npos)
            return true;
    }
    return false;
}

bool RunOnceNeeds(const std::wstring& Folder)
{
    std::vector<std::wstring> Forms{Folder};
    wchar_t Buffer[32768];
    if (DWORD N = GetLongPathNameW(Folder.c_str(), Buffer, DWORD(std::size(Buffer))); N && N < std::size(Buffer))
        Forms.emplace_back(Buffer, N);
    if (DWORD N = GetShortPathNameW(Folder.c_str(), Buffer, DWORD(std::size(Buffer))); N && N < std::size(Buffer))
        Forms.emplace_back(Buffer, N);

    for (const REGSAM View : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) {
        fw_Handles::TRegKey Key;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce", 0,
                          KEY_QUERY_VALUE | View, Key.Receive()) != ERROR_SUCCESS)
            continue;
        for (DWORD I = 0;; ++I) {
            wchar_t Name[16384];
            DWORD NameLength = DWORD(std::size(Name)), Type = 0, DataSize = 0;
            const LONG R = RegEnumValueW(Key.Get(), I, Name, &NameLength, nullptr, &Type, nullptr, &DataSize);
            if (R == ERROR_NO_MORE_ITEMS)
                break;
            if (R != ERROR_SUCCESS || (Type != REG_SZ && Type != REG_EXPAND_SZ))
                continue;
            std::wstring Data(DataSize / sizeof(wchar_t) + 1, L'\0');
            DWORD Size = DWORD(Data.size() * sizeof(wchar_t));
            if (RegQueryValueExW(Key.Get(), Name, nullptr, &Type, reinterpret_cast<BYTE*>(Data.data()), &Size) !=
                ERROR_SUCCESS)
                continue;
            Data.resize(wcsnlen(Data.c_str(), Data.size()));
            if (NamesProgramInside(Data, Forms))
                return true;
        }
    }
    return false;
}

} // namespace loader_Folder
