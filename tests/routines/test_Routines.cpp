// The string and operating-system routines and the shared exceptions.
#include "framework/fw_Handles.h"
#include "routines/exceptions_Wendrel.h"
#include "routines/routines_API.h"
#include "routines/routines_Strings.h"

#include <gtest/gtest.h>

using namespace routines_Strings;

TEST(StringRoutines, TokensAndLists)
{
    EXPECT_EQ(GetToken("a;b;c", 1, ";"), "a");
    EXPECT_EQ(GetToken("a;b;c", 3, ";"), "c");
    EXPECT_EQ(GetToken("a;b;c", 4, ";"), "");
    EXPECT_EQ(GetToken("C:\\VDE;D:\\Other", 1, ";"), "C:\\VDE");
    EXPECT_EQ(GetToken("only", 1, ";"), "only");
    EXPECT_EQ(GetToken("a;;c", 2, ";"), "");
    EXPECT_EQ(GetToken("a;;c", 3, ";"), "c");
    EXPECT_EQ(TokenCount("Ombo;Teskor", ";"), 2);
    EXPECT_EQ(TokenCount("Ombo;Teskor;", ";"), 2);
    EXPECT_EQ(TokenCount("single", ";"), 1);
    EXPECT_EQ(TokenCount("a,b,", ","), 2); // the final separator ends the list whatever it is

    fw_Classes::TStringList L;
    L.Add("stale");
    SplitToList("x;y;;z", ";", L);
    EXPECT_EQ(L.ToVector(), (std::vector<std::string>{"x", "y", "", "z"}));
    SplitToList("", ";", L);
    EXPECT_EQ(L.Count(), 0);
}

TEST(StringRoutines, PathsAndNames)
{
    EXPECT_EQ(IncludeTrailingBackslash("C:\\Pellunar"), "C:\\Pellunar\\");
    EXPECT_EQ(IncludeTrailingBackslash("C:\\"), "C:\\");
    EXPECT_EQ(IncludeTrailingBackslash(""), "\\");
    EXPECT_EQ(ExcludeTrailingBackslash("C:\\Ombo\\\\"), "C:\\Ombo\\");
    EXPECT_EQ(ExcludeTrailingBackslash("Ombo"), "Ombo");
    EXPECT_EQ(StripDrive("C:\\Program Files\\x"), "\\Program Files\\x");
    EXPECT_EQ(StripDrive("ftp://host:21/x"), "//host:21/x");
    EXPECT_EQ(StripDrive("\\no\\drive"), "\\no\\drive");
    EXPECT_EQ(MakeValidName("ftp.caldrevin.com/pub:\"x*?|<>;\\"), "ftp.caldrevin.com-pubx");
    EXPECT_EQ(MakeValidName(std::string("\x01\xE9 ok", 5)), std::string("\x01\xE9 ok", 5));
}

TEST(APIRoutines, FoldersVersionAndTemporaryFiles)
{
    EXPECT_EQ(routines_API::WindowsVersion(), 2); // Wine presents the NT family
    char Env[MAX_PATH];
    ASSERT_GT(GetEnvironmentVariableA("windir", Env, sizeof Env), 0u);
    EXPECT_EQ(fw_SysUtils::UpperCase(routines_API::WindowsDirectory()), fw_SysUtils::UpperCase(Env));
    EXPECT_EQ(fw_SysUtils::UpperCase(routines_API::SystemDirectory()), fw_SysUtils::UpperCase(Env) + "\\SYSTEM32");

    std::string Gone = routines_API::TempFileName(false);
    std::string Kept = routines_API::TempFileName(true);
    EXPECT_FALSE(fw_SysUtils::FileExists(Gone));
    EXPECT_TRUE(fw_SysUtils::FileExists(Kept));
    EXPECT_EQ(fw_SysUtils::UpperCase(fw_SysUtils::ExtractFileName(Kept)).rfind("BAT", 0), 0u);
    EXPECT_TRUE(fw_SysUtils::DeleteFile(Kept));

    std::string Short = routines_API::ShortPathName(Env);
    EXPECT_FALSE(Short.empty());
    EXPECT_EQ(routines_API::ShortPathName("Z:\\no\\such\\file"), "Z:\\no\\such\\file");
}

namespace {
std::string Shout(const std::string& S) { return "<" + S + ">"; }
} // namespace

TEST(Exceptions, UserAbortAndTranslatedMessages)
{
    using namespace exceptions_Wendrel;
    EXPECT_STREQ(EAIUserAbort().what(), "Installation aborted by the user");
    EAIUserAbort Abort;
    EXPECT_NE(dynamic_cast<EAI*>(&Abort), nullptr);
    EWdrlCompress Compress("error");
    EXPECT_NE(dynamic_cast<ECustomWendrelAbnormal*>(&Compress), nullptr);

    EXPECT_EQ(IEInstall("as is").Message(), "as is");
    TTranslateMessageFunc Old = SetTranslateMessageFunc(Shout);
    fw_Handles::TScopeExit Restore([Old] { SetTranslateMessageFunc(Old); }); // also when a check throws
    // The format is translated first, then the arguments go in.
    EXPECT_EQ(IEInstall("File %s", {"a%s"}).Message(), "<File a%s>");
    EXPECT_EQ(IException("plain").Message(), "<plain>");
    EXPECT_EQ(EWdrlCompress("not translated").Message(), "not translated");
}
