// What an install file reads of its source file when the distribution is
// built: size, date and version, and whether it registers itself.
#include "EngineTestSupport.h"

#include "framework/fw_Handles.h"
#include "framework/fw_SysUtils.h"

#include <cmath>

namespace engine_tests {

namespace {

std::string Fixture(const std::string& Name) { return std::string(ARCHIVE_FIXTURE_DIR) + "\\" + Name; }

} // namespace

TEST(InstallFileInfo, SizeDateAndVersionOfTheSourceFile)
{
    TOwnedForm Form;
    auto* File = Make<TInstallFile>(Form, "InstallFile1");
    File->SetIncludeFromDir(ARCHIVE_FIXTURE_DIR);
    File->SetFileName("driver.dll");
    File->ReadInfoFromFiles();
    WIN32_FILE_ATTRIBUTE_DATA Seen;
    ASSERT_TRUE(GetFileAttributesExA(Fixture("driver.dll").c_str(), GetFileExInfoStandard, &Seen));
    EXPECT_EQ(File->Size(), int(Seen.nFileSizeLow));
    // The exact last-write time, not the packed 2-second form.
    EXPECT_LT(std::fabs(File->Date() - fw_SysUtils::FileTimeToDateTime(Seen.ftLastWriteTime)), 1.0 / 86400000);
    EXPECT_EQ(File->Version(), "1.2.3.4");

    // A file without a version resource has none; its size and date count.
    File->SetFileName("plain.dll");
    File->ReadInfoFromFiles();
    EXPECT_EQ(File->Version(), "");
    EXPECT_EQ(int64_t(File->Size()), fw_SysUtils::FileSizeByName(Fixture("plain.dll")));

    // A source that is locked against reading still gives its figures.
    test_support::TScratchDir Dir("fileinfo");
    ASSERT_TRUE(CopyFileA(Fixture("driver.dll").c_str(), (Dir / "locked.dll").c_str(), FALSE));
    fw_Handles::THandle Lock(CreateFileA((Dir / "locked.dll").c_str(), GENERIC_READ | GENERIC_WRITE,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
    File->SetIncludeFromDir(Dir.Path());
    File->SetFileName("locked.dll");
    File->ReadInfoFromFiles();
    EXPECT_EQ(File->Version(), "1.2.3.4");

    File->SetFileName("missing.dll");
    EXPECT_TRUE(Raises<exceptions_Wendrel::IException>(
        [&] { File->ReadInfoFromFiles(); },
        "Could not open or find the following file when trying to read the Size, Date, and Version :" +
            (Dir / "missing.dll")));
    EXPECT_EQ(File->Version(), "1.2.3.4"); // a failed read keeps what was known
}

TEST(InstallFileInfo, SelfRegisteringServersAreMarkedInTheirVersion)
{
    TOwnedForm Form;
    auto* File = Make<TInstallFile>(Form, "InstallFile1");
    File->SetIncludeFromDir(ARCHIVE_FIXTURE_DIR);
    for (const auto& [Name, Marked] : {std::pair<const char*, bool>{"selfreg.dll", true},
                                       {"driver.dll", false},
                                       {"plain.dll", false},
                                       {"missing.dll", false}}) {
        File->SetFileName(Name);
        EXPECT_EQ(File->HasOLESelfRegister(), Marked) << Name;
    }
}

} // namespace engine_tests
