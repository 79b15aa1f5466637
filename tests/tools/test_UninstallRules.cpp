// The decisions of uninstall.exe that need no system state: its command line,
// the record entries it accepts, and what it never removes.
#include "tools/uninstall_Rules.h"

#include <gtest/gtest.h>

using namespace uninstall_Rules;

namespace {

const std::wstring Long = L"C:\\Program Files\\Pellunar\\Ombo\\Teskor\\Uninstall\\uninstall.exe";
const std::wstring Short = L"C:\\PROGRA~1\\Pellunar\\Ombo\\Teskor\\UNINST~1\\uninstall.exe";

std::wstring Tail(std::wstring_view Line) { return TrimBlanks(CommandTail(Line, {Long, Short})); }

} // namespace

TEST(UninstallExeCommandLine, TheNameIsTheWholeTailAfterTheOwnPathInEveryForm)
{
    // The list of installed programs runs the uninstall string unquoted.
    EXPECT_EQ(Tail(Long + L" Quorvane"), L"Quorvane");
    EXPECT_EQ(Tail(L"  c:\\program files\\PELLUNAR\\Ombo\\Teskor\\Uninstall\\UNINSTALL.EXE Quorvane Pro "),
              L"Quorvane Pro");
    EXPECT_EQ(Tail(L"\"" + Long + L"\" /quiet Quorvane"), L"/quiet Quorvane");
    EXPECT_EQ(Tail(Short + L" Quorvane"), L"Quorvane");
    EXPECT_EQ(Tail(L"C:\\Program Files\\Pellunar\\Ombo\\Teskor\\Uninstall\\uninstall Quorvane"), L"Quorvane");
    // Typed in its folder, or given as a host path by Wine.
    EXPECT_EQ(Tail(L"uninstall /quiet Quorvane"), L"/quiet Quorvane");
    EXPECT_EQ(Tail(L"/tmp/x y/uninstall.exe Quorvane"), L"Quorvane");
    // A file name that merely ends like it is not the program's.
    EXPECT_EQ(Tail(L"myuninstall.exe Quorvane"), L"Quorvane");
    EXPECT_EQ(Tail(L"other.exe My uninstall.exe"), L"My uninstall.exe");
    EXPECT_EQ(Tail(Long), L"");
    EXPECT_EQ(Tail(L"\"" + Long), L"");
    EXPECT_EQ(Tail(L""), L"");
}

TEST(UninstallExeCommandLine, QuietIsAnOptionalFirstWordInAnyCase)
{
    TCommand C = ParseCommandTail(L"  /QuIeT   Quorvane  ");
    EXPECT_TRUE(C.Quiet);
    EXPECT_EQ(C.Name, L"Quorvane");
    C = ParseCommandTail(L"Quorvane /quiet");
    EXPECT_FALSE(C.Quiet);
    EXPECT_EQ(C.Name, L"Quorvane /quiet");
    C = ParseCommandTail(L"/quietly Quorvane");
    EXPECT_FALSE(C.Quiet);
    EXPECT_EQ(C.Name, L"/quietly Quorvane");
    C = ParseCommandTail(L"/quiet \" Quorvane Pro \"");
    EXPECT_TRUE(C.Quiet);
    EXPECT_EQ(C.Name, L"Quorvane Pro");
    C = ParseCommandTail(L"/quiet");
    EXPECT_TRUE(C.Quiet);
    EXPECT_EQ(C.Name, L"");
    EXPECT_EQ(ParseCommandTail(L" \t ").Name, L"");
}

TEST(UninstallExeCommandLine, TheProgramOfAnUninstallString)
{
    EXPECT_EQ(ProgramOfCommand(Long + L" Quorvane"), Long);
    EXPECT_EQ(ProgramOfCommand(L"\"" + Long + L"\" /quiet Quorvane"), Long);
    EXPECT_EQ(ProgramOfCommand(L"C:\\Apps\\x.exe.old\\Un.EXE"), L"C:\\Apps\\x.exe.old\\Un.EXE");
    EXPECT_EQ(ProgramOfCommand(L"no program here"), L"");
}

TEST(UninstallExeRecord, EntryNamesAndServerMarks)
{
    uint64_t N = 99;
    EXPECT_TRUE(IsFilesKeyName(L"Files", N));
    EXPECT_EQ(N, 0u);
    EXPECT_TRUE(IsFilesKeyName(L"files12", N));
    EXPECT_EQ(N, 12u);
    EXPECT_FALSE(IsFilesKeyName(L"Files1a", N));
    EXPECT_FALSE(IsFilesKeyName(L"FilesX", N));
    EXPECT_FALSE(IsFilesKeyName(L"File", N));
    EXPECT_TRUE(IsNumberedName(L"RegistryKey99999999999999999999999", L"RegistryKey", N));
    EXPECT_EQ(N, UINT64_MAX); // a huge number only orders last
    EXPECT_FALSE(IsNumberedName(L"Entries", L"File", N));
    EXPECT_FALSE(IsNumberedName(L"File-1", L"File", N));

    TServerEntry S = ParseServerEntry(L"C:\\A;B\\Server.exe;1");
    EXPECT_EQ(S.Path, L"C:\\A;B\\Server.exe");
    EXPECT_TRUE(S.Program);
    S = ParseServerEntry(L"C:\\A\\Lib.dll;0");
    EXPECT_EQ(S.Path, L"C:\\A\\Lib.dll");
    EXPECT_FALSE(S.Program);
    S = ParseServerEntry(L"C:\\A\\Tool.EXE");
    EXPECT_EQ(S.Path, L"C:\\A\\Tool.EXE");
    EXPECT_TRUE(S.Program);
}

TEST(UninstallExePaths, OnlyFullFilePathsAreDeleted)
{
    for (const wchar_t* P : {L"C:\\a.txt", L"c:\\Program Files\\X\\a b.dll", L"\\\\server\\share\\dir\\f.lnk"})
        EXPECT_TRUE(IsAbsoluteFilePath(P)) << Narrow(P);
    for (const wchar_t* P :
         {L"", L"C:", L"C:\\", L"C:a.txt", L"a.txt", L"\\a.txt", L"C:\\dir\\", L"C:\\dir\\..\\x.txt", L"C:\\.\\x",
          L"C:\\dir\\\\x", L"C:\\*.*", L"C:\\x?.txt", L"C:\\f.txt:stream", L"C:/dir/f.txt", L"\\\\server\\share",
          L"\\\\server\\share\\", L"\\\\?\\C:\\x.txt", L"1:\\x"})
        EXPECT_FALSE(IsAbsoluteFilePath(P)) << Narrow(P);
}

TEST(UninstallExePaths, FoldersThatAreNeverRemoved)
{
    TProtectedFolders P;
    P.Add(L"C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\");
    P.Add(L"C:\\Program Files");
    P.AddWithChildren(L"C:\\windows");
    // Roots and anything not below one.
    for (const wchar_t* F :
         {L"C:\\", L"C:", L"D:\\", L"\\\\server\\share", L"\\\\server\\share\\", L"relative\\dir", L""})
        EXPECT_TRUE(P.Protects(F)) << Narrow(F);
    // The folders given, in any case, and the folders above them.
    for (const wchar_t* F : {L"c:\\programdata\\microsoft\\windows\\start menu\\PROGRAMS", L"C:\\ProgramData",
                             L"C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\", L"C:\\Program Files\\"})
        EXPECT_TRUE(P.Protects(F)) << Narrow(F);
    // The system's folder and the folders directly in it, not deeper ones.
    EXPECT_TRUE(P.Protects(L"C:\\Windows"));
    EXPECT_TRUE(P.Protects(L"C:\\Windows\\Help"));
    EXPECT_FALSE(P.Protects(L"C:\\Windows\\Help\\Quorvane"));
    // A product's own folders.
    for (const wchar_t* F :
         {L"C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\Quorvane", L"C:\\Program Files\\Pellunar",
          L"C:\\Program Files (x86)", L"C:\\ProgramDataX", L"\\\\server\\share\\Quorvane"})
        EXPECT_FALSE(P.Protects(F)) << Narrow(F);
}

TEST(UninstallExePaths, FolderPartsAndComparisons)
{
    EXPECT_EQ(ParentFolder(L"C:\\a\\b.txt"), L"C:\\a");
    EXPECT_EQ(ParentFolder(L"C:\\b.txt"), L"C:\\");
    EXPECT_EQ(ParentFolder(L"C:\\"), L"");
    EXPECT_EQ(FileNameOf(L"C:\\a\\Guide.Hlp"), L"Guide.Hlp");
    EXPECT_TRUE(SameFolder(L"C:\\Program Files\\X\\", L"c:\\program files\\x"));
    EXPECT_FALSE(SameFolder(L"C:\\X", L"C:\\X2"));
    EXPECT_TRUE(IsDriveOrShareRoot(L"C:\\"));
    EXPECT_FALSE(IsDriveOrShareRoot(L"C:\\x"));
    EXPECT_FALSE(IsDriveOrShareRoot(L"\\\\server\\share\\x"));
}

TEST(UninstallExeRegistry, KeysThatAreNeverDeleted)
{
    EXPECT_EQ(NormalizeKeyPath(L"\\Software\\Pellunar\\Ombo\\"), L"Software\\Pellunar\\Ombo");
    EXPECT_EQ(NormalizeKeyPath(L"Software\\\\Pellunar"), L"");
    EXPECT_EQ(NormalizeKeyPath(L"Software\\ \\Pellunar"), L"");
    EXPECT_EQ(NormalizeKeyPath(L"\\"), L"");
    for (const wchar_t* K :
         {L"", L"Software", L"\\Pellunar", L"CLSID", L".txt", L"S-1-5-21-1\\Software", L"Software\\Classes",
          L"Software\\Wow6432Node", L"Software\\Microsoft", L"Software\\Microsoft\\Windows\\CurrentVersion\\Run",
          L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs", L"Software\\Microsoft\\Windows\\Help",
          L"Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall", L"Software\\Policies",
          L"S-1-5-21-1\\Software\\Microsoft\\Windows\\CurrentVersion\\Run"})
        EXPECT_TRUE(IsProtectedRegistryKey(K)) << Narrow(K);
    for (const wchar_t* K : {L"Software\\Pellunar", L"\\Software\\Pellunar\\Ombo\\Teskor", L"CLSID\\{0}",
                             L"Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Ombo_Teskor.exe",
                             L"S-1-5-21-1\\Software\\Pellunar"})
        EXPECT_FALSE(IsProtectedRegistryKey(K)) << Narrow(K);
}
