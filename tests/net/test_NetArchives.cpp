// The install tree's side of net archives without a server: which location
// an object downloads from, the folder that mirrors the server, the checks
// before a download and the reports of a download in progress.
#include "NetTestSupport.h"

namespace net_tests {

using cmp_TInstallContainer::IEFileRel_NoNetLocation;
using cmp_TInstallContainer::IEFileRelated;
using cmp_TInstallContainer::TDownloadStatusParameter;
using cmp_TInstallContainer::TInstallDirectory;
using cmp_TInstallContainer::TInstallFile;

TEST(NetArchives, SourceFollowsTheTreeAndNamesTheServerFolder)
{
    TOwnedForm Form;
    auto* Root = engine_tests::MakeRootAt(Form, "C:\\nowhere");
    auto* Dir = Make<TInstallDirectory>(Form, "Dir1");
    Dir->SetContainer(Root);
    auto* File = engine_tests::MakeFileIn(Form, Dir, "File1", "a.txt");
    auto* RootFile = engine_tests::MakeFileIn(Form, Root, "File2", "b.txt");

    EXPECT_EQ(Dir->GetNetSource(), nullptr);
    EXPECT_TRUE(Raises<IEFileRel_NoNetLocation>([&] { File->GetNetPath(); },
                                                "Could not find a net install location for File1"));

    auto* Main = Make<TNetInstallLocation>(Form, "NetMain");
    auto* Own = Make<TNetInstallLocation>(Form, "NetOwn");
    Root->SetNetLocation(Main);
    EXPECT_EQ(Root->GetNetSource(), Main);
    EXPECT_EQ(Dir->GetNetSource(), Main);
    EXPECT_EQ(File->GetNetSource(), Main) << "a file asks its container";
    EXPECT_EQ(RootFile->GetNetSource(), Main);
    Dir->SetNetLocation(Own);
    EXPECT_EQ(File->GetNetSource(), Own);
    EXPECT_EQ(RootFile->GetNetSource(), Main);
    File->SetNetLocation(Main);
    EXPECT_EQ(File->GetNetSource(), Main);

    TLoginInformation* Login = Own->LoginInformation();
    Login->Hostname = "files.caldrevin.example";
    Login->Protocol = ipFTP;
    EXPECT_EQ(Dir->GetNetPath(), "files.caldrevin.example\\FTP Root directory");
    Login->Protocol = ipHTTP;
    Login->Directory = "  ";
    EXPECT_EQ(Dir->GetNetPath(), "files.caldrevin.example\\HTTP Root directory");
    Login->Directory = "pub\\files";
    EXPECT_EQ(Dir->GetNetPath(), "files.caldrevin.example\\pub\\files");
    // A server path's slashes cannot stand in a folder name.
    Login->Hostname = "host/mirror";
    Login->Directory = "pub/quorvane/1.0.2.9";
    EXPECT_EQ(Dir->GetNetPath(), "host-mirror\\pub-quorvane-1.0.2.9");

    // The location goes: everything falls back to the root's again.
    delete Own;
    EXPECT_EQ(Dir->NetLocation(), nullptr);
    EXPECT_EQ(Dir->GetNetSource(), Main);
}

TEST(NetArchives, OnlyANetLocationCanBeTheSource)
{
    TOwnedForm Form;
    auto* Dir = Make<TInstallDirectory>(Form, "Dir1");
    auto* Location = Make<TNetInstallLocation>(Form, "NetLoc1");
    Dir->SetNetLocation(Location);
    auto* NotALocation = Make<TInstallDirectory>(Form, "Dir2");
    EXPECT_TRUE(Raises<IEFileRelated>(
        [&] { Dir->SetNetLocation(NotALocation); },
        "Dir1 cannot take Dir2 as its net location: TInstallDirectory is not a net install location"));
    EXPECT_EQ(Dir->NetLocation(), Location);
    Dir->SetNetLocation(nullptr);
    EXPECT_EQ(Dir->NetLocation(), nullptr);
}

TEST(NetArchives, DownloadNeedsAFilledInLocation)
{
    // No recorded downloads to find.
    THookGuard<std::string> Key{cmp_TInstallContainer::InstallKey, ""};
    TOwnedForm Form;
    auto* Dir = Make<TInstallDirectory>(Form, "Dir1");
    EXPECT_EQ(MessageOf<fw_SysUtils::Exception>([&] { Dir->DownloadArchive(); }),
              "Could not find a net install location for Dir1");

    auto* Root = engine_tests::MakeRootAt(Form, "C:\\nowhere");
    Dir->SetContainer(Root);
    auto* Main = Make<TNetInstallLocation>(Form, "NetMain");
    Root->SetNetLocation(Main);
    EXPECT_TRUE(Raises<IEFileRelated>([&] { Dir->DownloadArchive(); },
                                      "Dir1 could not install itself because the LoginInformation property of the "
                                      "TInstall component has not been properly filled in"));
    auto* Own = Make<TNetInstallLocation>(Form, "NetOwn");
    Own->LoginInformation()->Anonymous = false;
    Dir->SetNetLocation(Own);
    EXPECT_TRUE(Raises<IEFileRelated>([&] { Dir->DownloadArchive(); },
                                      "Dir1 could not install itself because the TNetLocation component's properties, "
                                      "in the NetLocation property, have not been filled in"));
    EXPECT_EQ(Dir->LocalArchive(), "");
}

namespace {

// A helper that hears the information codes sent down the tree, as the
// dialogs do.
class TListener : public cmp_TInstallContainer::TInstallObject {
public:
    using TInstallObject::TInstallObject;
    int RegisteredType() const override { return 9000; }
    void HandleInformation(fw_Classes::TObject* Sender, int Code, fw_Classes::TObject* Param) override
    {
        if (Code == cmp_TInstallContainer::icDownloadStatus) {
            auto* P = static_cast<TDownloadStatusParameter*>(Param);
            Heard.push_back(std::to_string(P->Bytes) + "/" + std::to_string(P->TotalBytes) + "/" +
                            std::to_string(P->FileSize) + "/" + std::to_string(P->PercentDone) + " " + P->FileName);
        }
    }
    std::vector<std::string> Heard;
};

// Records the reports that climb the tree.
class TRecordingDirectory : public TInstallDirectory {
public:
    using TInstallDirectory::TInstallDirectory;
    void DoInformationEventControl(fw_Classes::TObject* Sender, int Code, fw_Classes::TObject* Param) override
    {
        auto* P = dynamic_cast<TDownloadStatusParameter*>(Param);
        Reports.push_back(std::to_string(Code) + " " +
                          (P ? std::to_string(P->TotalBytes) + "/" + std::to_string(P->PercentDone) : "?"));
        EXPECT_EQ(Sender, Expected);
    }
    std::vector<std::string> Reports;
    fw_Classes::TObject* Expected = nullptr;
};

} // namespace

TEST(NetArchives, ReceivedBlocksAreReportedUpAndDown)
{
    TOwnedForm Form;
    auto* Parent = new TRecordingDirectory(Form.get());
    auto* Dir = Make<TInstallDirectory>(Form, "Dir1");
    Dir->SetContainer(Parent);
    Parent->Expected = Dir;
    auto* Listener = new TListener(Form.get());
    Listener->SetContainer(Dir);
    std::vector<std::string> Fired;
    Dir->OnDataReceived = [&](fw_Classes::TObject* Sender, const std::string& FileName, int Bytes, int TotalBytes,
                              int FileSize, const char* Buffer) {
        EXPECT_EQ(Sender, Dir);
        Fired.push_back(FileName + " " + std::to_string(Bytes) + "/" + std::to_string(TotalBytes) + "/" +
                        std::to_string(FileSize) + " " + std::string(Buffer, 3));
    };
    const char Block[] = "abcdef";
    Dir->DataReceived(nullptr, "Dir1.1", 3000, 6000, 12000, Block);
    Dir->DataReceived(nullptr, "Dir1.1", 2000, 8000, 12000, Block + 3);
    // An unknown size gives no percentage.
    Dir->DataReceived(nullptr, "Dir1.1", 10, 10, 0, Block);
    EXPECT_EQ(Fired, (std::vector<std::string>{"Dir1.1 3000/6000/12000 abc", "Dir1.1 2000/8000/12000 def",
                                               "Dir1.1 10/10/0 abc"}));
    EXPECT_EQ(Listener->Heard,
              (std::vector<std::string>{"3000/6000/12000/50 Dir1.1", "2000/8000/12000/67 Dir1.1", "10/10/0/0 Dir1.1"}));
    EXPECT_EQ(Parent->Reports, (std::vector<std::string>{"1014 6000/50", "1014 8000/67", "1014 10/0"}));

    // At the top of a tree there is nobody to report to.
    Parent->Reports.clear();
    Dir->SetContainer(nullptr);
    Dir->DataReceived(nullptr, "Dir1.1", 1, 1, 2, Block);
    EXPECT_TRUE(Parent->Reports.empty());
    EXPECT_EQ(Listener->Heard.back(), "1/1/2/50 Dir1.1");
}

} // namespace net_tests
