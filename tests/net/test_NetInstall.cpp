// A net distribution installed end to end: the archives built by the tree's
// own Compress, served by the loopback FTP server, fetched and installed by a
// run, the downloaded copy recorded and removed with the install record.
#include "NetTestSupport.h"

#include "engine/cmp_TInstall.h"

#include <cstring>

namespace net_tests {

using namespace cmp_TInstallContainer;

TEST(NetServers, ANetDistributionInstallsFromTheServer)
{
    if (PortOf("FTP") == 0)
        GTEST_SKIP() << "needs the servers of net_servers.py";
    TScratchDir Scratch("netinstall");
    const std::string Payload = Scratch / "payload", Build = Scratch / "build", Dest = Scratch / "dest";
    fw_SysUtils::ForceDirectories(Payload);
    fw_SysUtils::ForceDirectories(Build);
    const std::string Name = "NetDir" + std::to_string(GetCurrentProcessId());
    const std::vector<std::pair<std::string, std::string>> Sources{{"one.bin", NoiseBytes(70000, 1)},
                                                                   {"two.txt", std::string(5000, 'q')}};
    for (auto& [File, Bytes] : Sources)
        WriteBytes(Payload + "\\" + File, Bytes);

    // The same project twice: once for the build, once for the install, as
    // two runs of the setup program would read it.
    struct TTree {
        cmp_TInstall::TInstall* Root;
        TInstallDirectory* Dir;
        std::vector<TInstallFile*> Files;
    };
    engine_tests::TArguments Arguments({"-s" + Build});
    auto MakeTree = [&](const TOwnedForm& Form) {
        TTree T;
        auto* Location = MakeLocation(Form, "NetFtp", ipFTP, PortOf("FTP"));
        auto* Own = Make<cmp_TPathSpecifier::TPathSpecifier>(Form, "psOwn");
        Own->OnGetPath = [Dest](const fw_Classes::TComponent*, std::string& P) { P = Dest; };
        T.Root = Make<cmp_TInstall::TInstall>(Form, "Install1");
        T.Root->SetDestDirType(Own);
        T.Root->SetDestDir("");
        T.Root->Information()->ProductName = "Wendrel Net Test " + std::to_string(GetCurrentProcessId());
        T.Root->SetRunAutomatic(false);
        T.Root->SetNetLocation(Location);
        // The distribution's kind is a setting of the project, made while designing.
        T.Root->SetDesigning(true);
        T.Root->SetDistributeType(cmp_TInstall::dtTraditionalNet);
        T.Root->SetDesigning(false);
        T.Root->Loaded();
        T.Dir = Make<TInstallDirectory>(Form, Name);
        T.Dir->SetContainer(T.Root);
        for (auto& [File, Bytes] : Sources) {
            auto* F = Make<TInstallFile>(Form, "F" + std::to_string(T.Files.size()));
            F->SetContainer(T.Dir);
            F->SetIncludeFromDir(Payload);
            F->SetFileName(File);
            F->SetNet(true);
            F->SetUniqueID(int(T.Files.size()) + 20);
            T.Files.push_back(F);
        }
        return T;
    };
    auto BuildForm = std::make_unique<TOwnedForm>();
    TTree B = MakeTree(*BuildForm);
    // Built as for the server: the directory's files go into its own archive
    // in the folder that mirrors the server.
    B.Root->Compress(0);
    const std::string Built = Build + "\\" + B.Dir->GetNetPath() + "\\" + Name + ".1";
    ASSERT_TRUE(FileExists(Built)) << Built;
    TServedFile Served(Name + ".1", ReadBytes(Built));
    // The list of the distribution's files, written beside the archive as a
    // net build does, and read here byte by byte.
    B.Root->SetArchiveFileType(nullptr);
    B.Root->SetArchiveFile(Build + "\\files.1");
    B.Root->WriteFileList();
    const std::string List = ReadBytes(Build + "\\" + B.Root->GetNetPath() + "\\filelist.lst");
    ASSERT_EQ(List.size(), 4 + 72 * B.Files.size());
    int32_t Count = 0;
    memcpy(&Count, List.data(), 4);
    EXPECT_EQ(Count, int32_t(B.Files.size()));
    for (size_t I = 0; I < B.Files.size(); ++I) {
        const char* Record = List.data() + 4 + 72 * I;
        int32_t Size = 0;
        double Date = 0;
        memcpy(&Size, Record, 4);
        memcpy(&Date, Record + 4, 8);
        EXPECT_EQ(Size, int32_t(Sources[I].second.size()));
        EXPECT_EQ(Date, B.Files[I]->Date());
        EXPECT_EQ(std::string(Record + 12), B.Files[I]->Name());
        EXPECT_EQ(std::string(Record + 52, strnlen(Record + 52, 20)), B.Files[I]->Version());
    }
    TServedFile ServedList("filelist.lst", List);
    BuildForm.reset();

    TOwnedForm Form;
    TTree T = MakeTree(Form);
    auto* Root = T.Root;
    auto* Dir = T.Dir;
    auto& Files = T.Files;

    std::string Recorded;
    Root->OnBeforeNotifyGoodInstall = [&](cmp_TInstall::TCustomInstall*) {
        Dir->FindLocalArchive(Recorded);
        EXPECT_TRUE(FileExists(Recorded)) << Recorded;
    };
    Root->Process();

    for (size_t I = 0; I < Files.size(); ++I)
        EXPECT_EQ(ReadBytes(Dest + "\\" + Sources[I].first), Sources[I].second) << Sources[I].first;
    EXPECT_EQ(fw_SysUtils::ExtractFileExt(Recorded), ".1");
    // The run ended well: the downloaded copy went with the install record.
    EXPECT_FALSE(FileExists(Recorded)) << Recorded;
    EXPECT_TRUE(Root->FindInstallRecord(false).empty());
    HKEY Key = nullptr;
    const std::string Uninstall = std::string(UninstallKeyBase).substr(1) + Root->Information()->ProductName;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "", 0, KEY_ALL_ACCESS, &Key) == ERROR_SUCCESS) {
        RegDeleteTreeA(Key, Uninstall.c_str());
        RegCloseKey(Key);
    }
}

} // namespace net_tests
