#include "tools/uninstall_Rules.h"

#include "framework/fw_Windows.h"

#include <algorithm>
#include <array>

namespace uninstall_Rules {

std::wstring Widen(std::string_view Utf8)
{
    if (Utf8.empty())
        return {};
    const int N = MultiByteToWideChar(CP_UTF8, 0, Utf8.data(), int(Utf8.size()), nullptr, 0);
    std::wstring R(size_t(std::max(N, 0)), L'\0');
    if (N > 0)
        MultiByteToWideChar(CP_UTF8, 0, Utf8.data(), int(Utf8.size()), R.data(), N);
    return R;
}

std::string Narrow(std::wstring_view Wide)
{
    if (Wide.empty())
        return {};
    const int N = WideCharToMultiByte(CP_UTF8, 0, Wide.data(), int(Wide.size()), nullptr, 0, nullptr, nullptr);
    std::string R(size_t(std::max(N, 0)), '\0');
    if (N > 0)
        WideCharToMultiByte(CP_UTF8, 0, Wide.data(), int(Wide.size()), R.data(), N, nullptr, nullptr);
    return R;
}

bool SameText(std::wstring_view A, std::wstring_view B)
{
    if (A.size() != B.size())
        return false;
    if (A.empty())
        return true;
    return CompareStringOrdinal(A.data(), int(A.size()), B.data(), int(B.size()), TRUE) == CSTR_EQUAL;
}

bool StartsText(std::wstring_view Prefix, std::wstring_view S)
{
    return S.size() >= Prefix.size() && SameText(Prefix, S.substr(0, Prefix.size()));
}

bool IsBlank(wchar_t C) { return C == L' ' || C == L'\t'; }

std::wstring TrimBlanks(std::wstring_view S)
{
    size_t B = 0, E = S.size();
    while (B < E && IsBlank(S[B]))
        ++B;
    while (E > B && IsBlank(S[E - 1]))
        --E;
    return std::wstring(S.substr(B, E - B));
}

std::wstring ExcludeTrailingBackslash(std::wstring_view S)
{
    if (!S.empty() && S.back() == L'\\')
        S.remove_suffix(1);
    return std::wstring(S);
}

std::wstring ParentFolder(std::wstring_view Path)
{
    const std::wstring P = ExcludeTrailingBackslash(Path);
    const size_t Slash = P.rfind(L'\\');
    if (Slash == std::wstring::npos)
        return {};
    // "C:\x" has the folder "C:\": a drive's root keeps its backslash.
    if (Slash == 2 && P.size() > 1 && P[1] == L':')
        return P.substr(0, 3);
    return P.substr(0, Slash);
}

std::wstring FileNameOf(std::wstring_view Path)
{
    const size_t Slash = Path.find_last_of(L"\\/:");
    return std::wstring(Slash == std::wstring_view::npos ? Path : Path.substr(Slash + 1));
}

std::vector<std::wstring> SplitPath(std::wstring_view Path)
{
    std::vector<std::wstring> Parts;
    size_t Start = 0;
    for (;;) {
        const size_t Slash = Path.find(L'\\', Start);
        Parts.emplace_back(
            Path.substr(Start, Slash == std::wstring_view::npos ? std::wstring_view::npos : Slash - Start));
        if (Slash == std::wstring_view::npos)
            return Parts;
        Start = Slash + 1;
    }
}

namespace {

// Whether S[At] ends a word of the command line.
bool EndsWord(std::wstring_view S, size_t At) { return At >= S.size() || IsBlank(S[At]); }

std::wstring_view WithoutExe(std::wstring_view Path)
{
    if (Path.size() > 4 && SameText(Path.substr(Path.size() - 4), L".exe"))
        Path.remove_suffix(4);
    return Path;
}

} // namespace

std::wstring CommandTail(std::wstring_view CommandLine, const std::vector<std::wstring>& OwnPaths)
{
    std::wstring_view S = CommandLine;
    while (!S.empty() && IsBlank(S.front()))
        S.remove_prefix(1);
    if (!S.empty() && S.front() == L'"') {
        const size_t Close = S.find(L'"', 1);
        return Close == std::wstring_view::npos ? std::wstring() : std::wstring(S.substr(Close + 1));
    }
    // The longest known form of the own path that the line starts with, with
    // or without its ".exe" (a user may type either).
    size_t Skip = 0;
    for (const std::wstring& Own : OwnPaths)
        for (std::wstring_view Form : {std::wstring_view(Own), WithoutExe(Own)})
            if (!Form.empty() && Form.size() > Skip && StartsText(Form, S) && EndsWord(S, Form.size()))
                Skip = Form.size();
    if (Skip)
        return std::wstring(S.substr(Skip));
    // A path of another form (relative, partly short, a host path under Wine):
    // it ends after the program's own file name.
    for (const std::wstring& Own : OwnPaths) {
        const std::wstring File = FileNameOf(Own);
        for (std::wstring_view Name : {std::wstring_view(File), WithoutExe(File)}) {
            if (Name.empty())
                continue;
            for (size_t At = 0; At + Name.size() <= S.size(); ++At) {
                // The name must be a whole part of a path: "myuninstall.exe" is not it.
                const bool Starts = At == 0 || S[At - 1] == L'\\' || S[At - 1] == L'/' || S[At - 1] == L':';
                if (Starts && SameText(Name, S.substr(At, Name.size())) && EndsWord(S, At + Name.size()))
                    return std::wstring(S.substr(At + Name.size()));
            }
        }
    }
    const size_t Blank = S.find_first_of(L" \t");
    return Blank == std::wstring_view::npos ? std::wstring() : std::wstring(S.substr(Blank));
}

TCommand ParseCommandTail(std::wstring_view Tail)
{
    TCommand C;
    std::wstring T = TrimBlanks(Tail);
    constexpr std::wstring_view Quiet = L"/quiet";
    if (StartsText(Quiet, T) && EndsWord(T, Quiet.size())) {
        C.Quiet = true;
        T = TrimBlanks(std::wstring_view(T).substr(Quiet.size()));
    }
    if (T.size() >= 2 && T.front() == L'"' && T.back() == L'"')
        T = TrimBlanks(std::wstring_view(T).substr(1, T.size() - 2));
    C.Name = T;
    return C;
}

std::wstring ProgramOfCommand(std::wstring_view Command)
{
    std::wstring_view S = Command;
    while (!S.empty() && IsBlank(S.front()))
        S.remove_prefix(1);
    if (!S.empty() && S.front() == L'"') {
        const size_t Close = S.find(L'"', 1);
        return Close == std::wstring_view::npos ? std::wstring() : std::wstring(S.substr(1, Close - 1));
    }
    for (size_t At = 0; At + 4 <= S.size(); ++At)
        if (SameText(S.substr(At, 4), L".exe") && EndsWord(S, At + 4))
            return std::wstring(S.substr(0, At + 4));
    return {};
}

bool IsNumberedName(std::wstring_view Name, std::wstring_view Prefix, uint64_t& Number)
{
    if (Name.size() <= Prefix.size() || !StartsText(Prefix, Name))
        return false;
    uint64_t N = 0;
    for (wchar_t C : Name.substr(Prefix.size())) {
        if (C < L'0' || C > L'9')
            return false;
        N = N > (UINT64_MAX - 9) / 10 ? UINT64_MAX : N * 10 + uint64_t(C - L'0');
    }
    Number = N;
    return true;
}

bool IsFilesKeyName(std::wstring_view Name, uint64_t& Order)
{
    if (SameText(Name, L"Files")) {
        Order = 0;
        return true;
    }
    return IsNumberedName(Name, L"Files", Order);
}

TServerEntry ParseServerEntry(std::wstring_view Entry)
{
    TServerEntry E;
    std::wstring_view Path = Entry;
    const size_t Semi = Entry.rfind(L';');
    if (Semi != std::wstring_view::npos && Semi + 2 == Entry.size() &&
        (Entry[Semi + 1] == L'0' || Entry[Semi + 1] == L'1')) {
        E.Program = Entry[Semi + 1] == L'1';
        Path = Entry.substr(0, Semi);
    } else {
        E.Program = Path.size() > 4 && SameText(Path.substr(Path.size() - 4), L".exe");
    }
    E.Path = TrimBlanks(Path);
    return E;
}

namespace {

// The parts of a path after its root ("C:\" or "\\server\share\"), or false
// when it has no such root.
bool PartsAfterRoot(std::wstring_view Path, std::vector<std::wstring>& Parts, size_t& RootParts)
{
    if (Path.size() >= 3 && ((Path[0] >= L'A' && Path[0] <= L'Z') || (Path[0] >= L'a' && Path[0] <= L'z')) &&
        Path[1] == L':' && Path[2] == L'\\') {
        Parts = SplitPath(Path.substr(3));
        RootParts = 0;
        return true;
    }
    if (Path.size() >= 2 && Path[0] == L'\\' && Path[1] == L'\\') {
        Parts = SplitPath(Path.substr(2));
        RootParts = 2; // server and share
        return true;
    }
    return false;
}

} // namespace

bool IsAbsoluteFilePath(std::wstring_view Path)
{
    std::vector<std::wstring> Parts;
    size_t RootParts = 0;
    if (!PartsAfterRoot(Path, Parts, RootParts) || Parts.size() <= RootParts)
        return false;
    for (const std::wstring& Part : Parts) {
        if (Part.empty() || Part == L"." || Part == L"..")
            return false;
        if (Part.find_first_of(L"/*?\"<>|:") != std::wstring::npos)
            return false;
        for (wchar_t C : Part)
            if (C < 32)
                return false;
    }
    return true;
}

bool IsDriveOrShareRoot(std::wstring_view Path)
{
    const std::wstring P = ExcludeTrailingBackslash(Path);
    if (P.size() == 2 && P[1] == L':')
        return true;
    if (P.size() >= 2 && P[0] == L'\\' && P[1] == L'\\')
        return SplitPath(std::wstring_view(P).substr(2)).size() <= 2;
    return false;
}

bool SameFolder(std::wstring_view A, std::wstring_view B)
{
    return SameText(ExcludeTrailingBackslash(A), ExcludeTrailingBackslash(B));
}

void TProtectedFolders::Add(std::wstring_view Folder)
{
    const std::wstring F = ExcludeTrailingBackslash(TrimBlanks(Folder));
    if (!F.empty())
        FFolders.push_back(F);
}

void TProtectedFolders::AddWithChildren(std::wstring_view Folder)
{
    Add(Folder);
    const std::wstring F = ExcludeTrailingBackslash(TrimBlanks(Folder));
    if (!F.empty())
        FParents.push_back(F);
}

bool TProtectedFolders::Protects(std::wstring_view Folder) const
{
    const std::wstring F = ExcludeTrailingBackslash(Folder);
    std::vector<std::wstring> Parts;
    size_t RootParts = 0;
    // Anything not plainly below a root is not the program's to judge.
    if (!PartsAfterRoot(F + L"\\", Parts, RootParts) || IsDriveOrShareRoot(F))
        return true;
    const std::wstring Below = F + L"\\";
    for (const std::wstring& P : FFolders)
        if (SameText(P, F) || StartsText(Below, P))
            return true;
    const std::wstring Parent = ParentFolder(F);
    for (const std::wstring& P : FParents)
        if (SameFolder(P, Parent))
            return true;
    return false;
}

std::wstring NormalizeKeyPath(std::wstring_view Key)
{
    std::wstring_view K = Key;
    while (!K.empty() && K.front() == L'\\')
        K.remove_prefix(1);
    while (!K.empty() && K.back() == L'\\')
        K.remove_suffix(1);
    if (K.empty())
        return {};
    for (const std::wstring& Part : SplitPath(K))
        if (TrimBlanks(Part).empty())
            return {};
    return std::wstring(K);
}

bool IsProtectedRegistryKey(std::wstring_view Path)
{
    const std::vector<std::wstring> Parts = SplitPath(NormalizeKeyPath(Path));
    if (Parts.size() < 2)
        return true;
    static constexpr std::array<std::wstring_view, 5> Kinds{L"Software", L"Wow6432Node", L"Classes", L"Policies",
                                                            L"Microsoft"};
    for (std::wstring_view Kind : Kinds)
        if (SameText(Parts.back(), Kind))
            return true;
    // Software\Microsoft\Windows\CurrentVersion\Run is four parts below
    // Microsoft: that deep, a key belongs to the system, not to a product.
    // The path may start with a user's key (HKEY_USERS\<sid>\Software).
    for (size_t I = 0; I < Parts.size() && I < 2; ++I) {
        if (!SameText(Parts[I], L"Software"))
            continue;
        size_t M = I + 1;
        if (M < Parts.size() && SameText(Parts[M], L"Wow6432Node"))
            ++M;
        if (M < Parts.size() && SameText(Parts[M], L"Microsoft") && Parts.size() - M <= 4)
            return true;
    }
    return false;
}

} // namespace uninstall_Rules
