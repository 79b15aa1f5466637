// The net install location without a server: its errors, login checks, the
// process-wide list and references, and the published class in a project.
#include "NetTestSupport.h"

#include "framework/fw_Reader.h"

namespace net_tests {

TEST(NetInstallLocation, ErrorsNameTheCodeTheHostAndTheResponse)
{
    EXPECT_EQ(ErrorCodeName(6), "ERROR_INVALID_HANDLE");
    EXPECT_EQ(ErrorCodeName(12001), "ERROR_INTERNET_OUT_OF_HANDLES");
    EXPECT_EQ(ErrorCodeName(12029), "ERROR_INTERNET_CANNOT_CONNECT");
    EXPECT_EQ(ErrorCodeName(12036), "ERROR_INTERNET_HANDLE_EXISTS");
    EXPECT_EQ(ErrorCodeName(12111), "ERROR_FTP_DROPPED");
    EXPECT_EQ(ErrorCodeName(12138), "ERROR_GOPHER_UNKNOWN_LOCATOR");
    EXPECT_EQ(ErrorCodeName(12150), "ERROR_HTTP_HEADER_NOT_FOUND");
    EXPECT_EQ(ErrorCodeName(12155), "ERROR_HTTP_HEADER_ALREADY_EXISTS");
    // Gaps in the table and codes around it.
    for (DWORD Code : {0ul, 5ul, 12000ul, 12033ul, 12035ul, 12042ul, 12139ul, 12156ul})
        EXPECT_EQ(ErrorCodeName(Code), "Unregistered error code") << Code;

    // The code is the one the failing call left, even though making the
    // message calls the system again. The response part depends on whether
    // a location of this process has loaded WinINet, so only its label is
    // checked.
    SetLastError(12029);
    ENIL_ReadFile Error("Could not read from file %s on the server", {std::string(3000, 'x')});
    EXPECT_EQ(Error.ErrorCode, 12029u);
    EXPECT_EQ(Error.Message().rfind("Could not read from file " + std::string(3000, 'x') +
                                        " on the server. Error message ERROR_INTERNET_CANNOT_CONNECT. Server . "
                                        "Response from server ",
                                    0),
              0u)
        << Error.Message();
    SetLastError(12345);
    EXPECT_EQ(ENIL("Plain").Message().rfind("Plain. Error message Unregistered error code. Server . ", 0), 0u);

    // The three that carry their message alone.
    EXPECT_EQ(ENIL_WriteDestFile("short").Message(), "short");
    EXPECT_EQ(ENIL_FailLoadDLLProc("gone").Message(), "gone");
}

TEST(NetInstallLocation, LoginInformationIsCheckedAndCopied)
{
    EXPECT_EQ(ServerPath(""), "/");
    EXPECT_EQ(ServerPath("  "), "/");
    EXPECT_EQ(ServerPath("pub\\files"), "pub/files");
    EXPECT_EQ(ServerPath("\\pub\\"), "/pub/");
    EXPECT_EQ(ServerPath("already/slashed"), "already/slashed");

    TLoginInformation Login;
    EXPECT_TRUE(Login.Anonymous);
    EXPECT_EQ(Login.Protocol, ipHTTP);
    EXPECT_FALSE(Login.IsComplete());
    Login.Username = "user";
    EXPECT_FALSE(Login.IsComplete()) << "an anonymous login needs the host";
    Login.Hostname = "  ";
    EXPECT_FALSE(Login.IsComplete());
    Login.Hostname = "files.caldrevin.example";
    EXPECT_TRUE(Login.IsComplete());
    Login.Anonymous = false;
    Login.Hostname = "";
    EXPECT_TRUE(Login.IsComplete()) << "a named login needs any of host, user or password";
    Login.Username = " ";
    EXPECT_FALSE(Login.IsComplete());
    Login.Password = "secret";
    EXPECT_TRUE(Login.IsComplete());

    TOwnedForm Form;
    auto* Location = Make<TNetInstallLocation>(Form, "NetLoc1");
    TLoginInformation Source;
    Source.Anonymous = false;
    Source.Directory = "pub\\files";
    Source.Hostname = "host";
    Source.Password = "pw";
    Source.Protocol = ipFTP;
    Source.Username = "me";
    Location->SetLoginInformation(&Source);
    const TLoginInformation* Copy = Location->LoginInformation();
    EXPECT_NE(Copy, &Source);
    EXPECT_EQ(Copy->Owner(), Location);
    EXPECT_FALSE(Copy->Anonymous);
    EXPECT_EQ(Copy->Directory, "pub\\files");
    EXPECT_EQ(Copy->Hostname, "host");
    EXPECT_EQ(Copy->Password, "pw");
    EXPECT_EQ(Copy->Protocol, ipFTP);
    EXPECT_EQ(Copy->Username, "me");
    EXPECT_TRUE(Location->LoginComplete());
    EXPECT_TRUE(Location->LoginIsFTP());
    EXPECT_EQ(Location->LoginHostname(), "host");
    EXPECT_EQ(Location->LoginDirectory(), "pub\\files");
}

TEST(NetInstallLocation, LocationsAreListedAndForgottenWhenTheyGo)
{
    const int Before = NetLocations().Count();
    EXPECT_EQ(MessageOf<IENetList>([] {
                  NetLocations().Add(nullptr);
              }).rfind("Cannot add a blank location to the global net location list. Error message ", 0),
              0u);
    EXPECT_EQ(NetLocations().Count(), Before);

    TOwnedForm Form;
    auto* Root = engine_tests::MakeRootAt(Form, "C:\\nowhere");
    auto* Main = Make<TNetInstallLocation>(Form, "NetMain");
    auto* Other = Make<TNetInstallLocation>(Form, "NetOther");
    ASSERT_EQ(NetLocations().Count(), Before + 2);
    EXPECT_EQ(NetLocations().Items(Before), Main);
    EXPECT_EQ(NetLocations().Items(Before + 1), Other);
    EXPECT_EQ(MainNetLocation(), nullptr);
    Root->SetNetLocation(Main);
    EXPECT_EQ(MainNetLocation(), Main);

    // An HTTP connection is only a handle until a request goes out: Connect
    // works without a server and makes the location the current one.
    Other->LoginInformation()->Hostname = "127.0.0.1";
    bool Before1 = false, Connected = false;
    Other->OnBeforeConnect = [&](fw_Classes::TObject* Sender) {
        EXPECT_EQ(Sender, Other);
        EXPECT_FALSE(Connected);
        Before1 = true;
    };
    Other->OnConnected = [&](fw_Classes::TObject* Sender) { Connected = true; };
    Other->Connect();
    EXPECT_TRUE(Before1 && Connected);
    EXPECT_TRUE(Other->WinINetLoaded());
    EXPECT_NE(Other->Session(), nullptr);
    EXPECT_NE(Other->Connection(), nullptr);
    EXPECT_EQ(CurrentNetLocation(), Other);
    // A second Connect opens nothing new.
    Before1 = Connected = false;
    Other->Connect();
    EXPECT_FALSE(Before1 || Connected);
    Other->Disconnect();
    EXPECT_EQ(Other->Connection(), nullptr);
    EXPECT_EQ(Other->Session(), nullptr);
    Other->Connect();
    EXPECT_TRUE(Connected);

    delete Other;
    EXPECT_EQ(CurrentNetLocation(), nullptr);
    EXPECT_EQ(NetLocations().Count(), Before + 1);
    delete Main;
    EXPECT_EQ(MainNetLocation(), nullptr);
    EXPECT_EQ(Root->NetLocation(), nullptr);
    EXPECT_EQ(NetLocations().Count(), Before);
    // With the library let go, an error no longer asks it for the response.
    SetLastError(0);
    EXPECT_EQ(ENIL("After").Message(),
              "After. Error message Unregistered error code. Server . Response from server No server response");
}

TEST(NetInstallLocation, ProjectPlacesALocationAndReferencesIt)
{
    engine_tests::TArguments Given({});
    // Loading the root looks for its install record and makes it current.
    THookGuard<std::string> Key{cmp_TInstallContainer::InstallKey, ""};
    TOwnedForm Form;
    cmp_TNetInstallLocation::RegisterNetClasses();
    engine_tests::ReadProject(Form.get(), R"(object Form: TForm
  object NetLoc1: TNetInstallLocation
    LoginInformation.Anonymous = False
    LoginInformation.Directory = 'pub\files'
    LoginInformation.Hostname = 'files.caldrevin.example'
    LoginInformation.Password = 'pw'
    LoginInformation.Protocol = ipFTP
    LoginInformation.Username = 'quorvane'
    Port = 2121
  end
  object Install1: TInstall
    NetLocation = NetLoc1
  end
  object Dir1: TInstallDirectory
    Container = Install1
    NetLocation = NetLoc1
  end
  object File1: TInstallFile
    Container = Dir1
    NetLocation = NetLoc1
  end
end
)");
    auto* Location = static_cast<TNetInstallLocation*>(Form->FindComponent("NetLoc1"));
    ASSERT_NE(Location, nullptr);
    const TLoginInformation* Login = Location->LoginInformation();
    EXPECT_FALSE(Login->Anonymous);
    EXPECT_EQ(Login->Directory, "pub\\files");
    EXPECT_EQ(Login->Hostname, "files.caldrevin.example");
    EXPECT_EQ(Login->Password, "pw");
    EXPECT_EQ(Login->Protocol, ipFTP);
    EXPECT_EQ(Login->Username, "quorvane");
    EXPECT_EQ(Location->Port(), 2121);
    EXPECT_EQ(MainNetLocation(), Location);
    for (const char* Name : {"Dir1", "File1"})
        EXPECT_EQ(static_cast<cmp_TInstallContainer::TFileRelated*>(Form->FindComponent(Name))->NetLocation(), Location)
            << Name;

    std::string Text = fw_Reader::WriteComponentText(Form.get());
    EXPECT_NE(Text.find("LoginInformation.Hostname = 'files.caldrevin.example'"), std::string::npos) << Text;
    EXPECT_NE(Text.find("Port = 2121"), std::string::npos) << Text;
    EXPECT_NE(Text.find("NetLocation = NetLoc1"), std::string::npos) << Text;
}

} // namespace net_tests
