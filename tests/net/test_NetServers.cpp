// Downloads from real servers on loopback, started by net_servers.py: FTP
// (anonymous and with a user), HTTP, and a server with odd answers. Without
// that driver every test here is skipped.
#include "NetTestSupport.h"

#include "archive/cmp_TWdrlCompress.h"

#include <sstream>

namespace net_tests {

using cmp_TInstallContainer::IEFileRelated;
using cmp_TInstallContainer::TInstallDirectory;

namespace {

#define NEED_SERVERS()                                                                                                 \
    if (Env("WDRL_NET_ROOT").empty())                                                                                  \
    GTEST_SKIP() << "run by net_servers.py"

// Each test's files have names of their own, so that tests never share one.
std::string Unique(const std::string& Base) { return Base + "-" + std::to_string(GetCurrentProcessId()); }

// Fetches Remote through Location into a scratch file and answers its bytes.
std::string Fetch(TCustomNetInstallLocation* Location, const std::string& Remote)
{
    TScratchDir Local("net-fetch");
    Location->GetFile(Remote, Local / "got.bin");
    return ReadBytes(Local / "got.bin");
}

// The events of one location in the order they fire.
struct TEventLog {
    std::vector<std::string> Events;
    std::string Received; // the blocks' bytes as the data events saw them
    std::vector<int> FileSizes;
    void Attach(TCustomNetInstallLocation* Location)
    {
        Location->OnBeforeConnect = [this](fw_Classes::TObject*) { Events.push_back("BeforeConnect"); };
        Location->OnConnected = [this](fw_Classes::TObject*) { Events.push_back("Connected"); };
        Location->OnBeforeGetFile = [this](fw_Classes::TObject*) { Events.push_back("BeforeGetFile"); };
        Location->OnAfterGetFile = [this](fw_Classes::TObject*, bool Aborted) {
            Events.push_back(Aborted ? "AfterGetFile(aborted)" : "AfterGetFile");
        };
        Location->OnDataReceived = [this, Location](fw_Classes::TObject* Sender, const std::string& FileName, int Bytes,
                                                    int TotalBytes, int FileSize, const char* Buffer) {
            EXPECT_EQ(Sender, Location);
            EXPECT_GT(Bytes, 0);
            EXPECT_LE(Bytes, 8192);
            Received.append(Buffer, size_t(Bytes));
            EXPECT_EQ(size_t(TotalBytes), Received.size());
            FileSizes.push_back(FileSize);
            Events.push_back("Data " + FileName);
        };
        Location->DataHandler = [this](fw_Classes::TObject*, const std::string&, int Bytes, int TotalBytes, int,
                                       const char*) { Events.push_back("Handler " + std::to_string(TotalBytes)); };
    }
};

} // namespace

TEST(NetServers, FtpDownloadsAreByteEqual)
{
    NEED_SERVERS();
    const std::string Name = Unique("ftp") + ".bin";
    const std::string Bytes = NoiseBytes(20000, 1);
    const std::string Nested = NoiseBytes(8192, 2); // exactly one block
    TServedFile Top(Name, Bytes);
    TServedDir Pub("pub"), Files("pub\\files");
    TServedFile Deep("pub\\files\\" + Name, Nested);

    TOwnedForm Form;
    auto* Anonymous = MakeLocation(Form, "NetAnon", ipFTP, PortOf("FTP"));
    EXPECT_EQ(Fetch(Anonymous, Name), Bytes);
    // The directory is set again for every file.
    Anonymous->LoginInformation()->Directory = "pub\\files";
    EXPECT_EQ(Fetch(Anonymous, Name), Nested);
    Anonymous->LoginInformation()->Directory = "";
    EXPECT_EQ(Fetch(Anonymous, Name), Bytes);

    auto* User = MakeLocation(Form, "NetUser", ipFTP, PortOf("FTPUSER"), "pub\\files");
    User->LoginInformation()->Anonymous = false;
    User->LoginInformation()->Username = Env("WDRL_NET_FTP_USER");
    User->LoginInformation()->Password = Env("WDRL_NET_FTP_PASSWORD");
    EXPECT_EQ(Fetch(User, Name), Nested);
}

TEST(NetServers, HttpDownloadsAreByteEqualWhateverTheyStartWith)
{
    NEED_SERVERS();
    const std::string Name = Unique("http") + ".bin";
    const std::string Bytes = NoiseBytes(30000, 3);
    // A good answer whose body looks like an error page is still the file.
    const std::string LooksLikeAnError = "HTTP/1.0 404 Not Found\r\n<h1>404</h1>" + NoiseBytes(100, 4);
    TServedFile Top(Name, Bytes);
    TServedFile Error404("404" + Name, LooksLikeAnError);
    TServedDir Pub("pub"), Files("pub\\files");
    TServedFile Deep("pub\\files\\" + Name, LooksLikeAnError + Bytes);

    TOwnedForm Form;
    auto* Location = MakeLocation(Form, "NetHttp", ipHTTP, PortOf("HTTP"));
    EXPECT_EQ(Fetch(Location, Name), Bytes);
    EXPECT_EQ(Fetch(Location, "404" + Name), LooksLikeAnError);
    Location->LoginInformation()->Directory = "pub\\files";
    EXPECT_EQ(Fetch(Location, Name), LooksLikeAnError + Bytes);
    Location->LoginInformation()->Directory = "pub\\files\\";
    EXPECT_EQ(Fetch(Location, Name), LooksLikeAnError + Bytes);
}

TEST(NetServers, MissingFilesAreReportedOnBothProtocols)
{
    NEED_SERVERS();
    TOwnedForm Form;
    TScratchDir Local("net-missing");
    const std::string Target = Local / "never.bin";

    auto* Http = MakeLocation(Form, "NetHttp", ipHTTP, PortOf("HTTP"));
    std::string Message = MessageOf<ENIL_FileNotFound>([&] { Http->GetFile("nothere.bin", Target); });
    EXPECT_EQ(Message.rfind("Could not find the file nothere.bin on the server. Error message ", 0), 0u) << Message;
    EXPECT_NE(Message.find(". Server 127.0.0.1. Response from server "), std::string::npos) << Message;
    EXPECT_FALSE(FileExists(Target)) << "a missing file makes no local file";

    // Other refusals are no missing file.
    auto* Odd = MakeLocation(Form, "NetOdd", ipHTTP, PortOf("ODD"));
    Message = MessageOf<ENIL_HTTPStatus>([&] { Odd->GetFile("secret.bin", Target); });
    EXPECT_EQ(Message.rfind("The server answered the request for file secret.bin with status 403. ", 0), 0u) << Message;

    auto* Ftp = MakeLocation(Form, "NetFtp", ipFTP, PortOf("FTP"));
    Message = MessageOf<ENIL_FTPOpenFile>([&] { Ftp->GetFile("nothere.bin", Target); });
    EXPECT_EQ(Message.rfind("Cannot open file nothere.bin on server. Error message ", 0), 0u) << Message;
    EXPECT_NE(Message.find("Response from server 550"), std::string::npos) << "the server's own answer: " << Message;
    Ftp->LoginInformation()->Directory = "no\\such\\dir";
    Message = MessageOf<ENIL_FTPSetDir>([&] { Ftp->GetFile("nothere.bin", Target); });
    EXPECT_EQ(Message.rfind("Cannot set directory on server to no/such/dir. Error message ", 0), 0u) << Message;

    // An empty file is as good as none.
    const std::string Empty = Unique("empty") + ".bin";
    TServedFile EmptyFile(Empty, "");
    Ftp->LoginInformation()->Directory = "";
    EXPECT_EQ(MessageOf<ENIL_FileNotFound>([&] {
                  Ftp->GetFile(Empty, Target);
              }).rfind("Could not find the file " + Empty + " on the server. ", 0),
              0u);
}

TEST(NetServers, EventsFollowTheTransferBlockByBlock)
{
    NEED_SERVERS();
    const std::string Name = Unique("events") + ".bin";
    const std::string Bytes = NoiseBytes(8192 * 2 + 100, 5);
    TServedFile Served(Name, Bytes);
    TOwnedForm Form;
    auto* Location = MakeLocation(Form, "NetHttp", ipHTTP, PortOf("HTTP"));
    TEventLog Log;
    Log.Attach(Location);
    EXPECT_EQ(Fetch(Location, Name), Bytes);
    EXPECT_EQ(Log.Received, Bytes);
    ASSERT_GE(Log.Events.size(), 5u);
    EXPECT_EQ(std::vector<std::string>(Log.Events.begin(), Log.Events.begin() + 3),
              (std::vector<std::string>{"BeforeConnect", "Connected", "BeforeGetFile"}));
    EXPECT_EQ(Log.Events.back(), "AfterGetFile");
    // Each block goes to the location's event and then to the handler.
    for (size_t I = 3; I + 1 < Log.Events.size(); I += 2) {
        EXPECT_EQ(Log.Events[I], "Data " + Name);
        EXPECT_EQ(Log.Events[I + 1].rfind("Handler ", 0), 0u) << Log.Events[I + 1];
    }
    EXPECT_EQ(Log.Events[Log.Events.size() - 2], "Handler " + std::to_string(Bytes.size()));
    for (int Size : Log.FileSizes)
        EXPECT_EQ(Size, int(Bytes.size())) << "HTTP announces the length";

    // The connection stays for the next file.
    Log = TEventLog{};
    Log.Attach(Location);
    EXPECT_EQ(Fetch(Location, Name), Bytes);
    EXPECT_EQ(Log.Events.front(), "BeforeGetFile");

    // Without a length the size is 0 and the file still arrives whole.
    auto* Odd = MakeLocation(Form, "NetOdd", ipHTTP, PortOf("ODD"));
    TEventLog Unsized;
    Unsized.Attach(Odd);
    std::string Got = Fetch(Odd, "unsized.bin");
    EXPECT_EQ(Got.size(), size_t(std::stoi(Env("WDRL_NET_UNSIZED_LENGTH"))));
    EXPECT_EQ(Unsized.Received, Got);
    ASSERT_FALSE(Unsized.FileSizes.empty());
    for (int Size : Unsized.FileSizes)
        EXPECT_EQ(Size, 0);
    EXPECT_EQ(Unsized.Events.back(), "AfterGetFile");
}

TEST(NetServers, ShortBodyIsAFailedRead)
{
    NEED_SERVERS();
    TOwnedForm Form;
    auto* Odd = MakeLocation(Form, "NetOdd", ipHTTP, PortOf("ODD"));
    bool After = false;
    Odd->OnAfterGetFile = [&](fw_Classes::TObject*, bool) { After = true; };
    std::string Message = MessageOf<ENIL_ReadFile>([&] { Fetch(Odd, "short.bin"); });
    EXPECT_EQ(Message.rfind("Could not read from file short.bin on the server. Error message ", 0), 0u) << Message;
    EXPECT_FALSE(After);
}

TEST(NetServers, ClosedPortNamesTheErrorAndTheHost)
{
    NEED_SERVERS();
    TOwnedForm Form;
    TScratchDir Local("net-closed");
    // FTP connects at once; HTTP when the request goes out.
    auto* Ftp = MakeLocation(Form, "NetFtp", ipFTP, PortOf("CLOSED"));
    std::string Message = MessageOf<ENIL_OpenService>([&] { Ftp->GetFile("a.bin", Local / "a.bin"); });
    EXPECT_EQ(Message.rfind("Cannot connect to host 127.0.0.1. Error message ERROR_INTERNET_CANNOT_CONNECT. Server "
                            "127.0.0.1. Response from server ",
                            0),
              0u)
        << Message;
    auto* Http = MakeLocation(Form, "NetHttp", ipHTTP, PortOf("CLOSED"));
    Message = MessageOf<ENIL_HTTPSendRequest>([&] { Http->GetFile("a.bin", Local / "a.bin"); });
    EXPECT_NE(Message.find("ERROR_INTERNET_CANNOT_CONNECT"), std::string::npos) << Message;
    EXPECT_NE(Message.find("Server 127.0.0.1."), std::string::npos) << Message;
}

TEST(NetServers, UserAbortEndsTheTransferQuietly)
{
    NEED_SERVERS();
    THookGuard<bool> Abort{UserAbortRequested, false};
    const std::string Name = Unique("abort") + ".bin";
    TServedFile Served(Name, NoiseBytes(8192 * 4, 6));
    for (TInternetProtocol Protocol : {ipFTP, ipHTTP}) {
        TOwnedForm Form;
        UserAbortRequested = false;
        auto* Location = MakeLocation(Form, "NetLoc", Protocol, PortOf(Protocol == ipFTP ? "FTP" : "HTTP"));
        int Blocks = 0;
        Location->OnDataReceived = [&](fw_Classes::TObject*, const std::string&, int, int, int, const char*) {
            ++Blocks;
            UserAbortRequested = true; // as the copy window's Cancel does
        };
        std::vector<bool> After;
        Location->OnAfterGetFile = [&](fw_Classes::TObject*, bool Aborted) { After.push_back(Aborted); };
        TScratchDir Local("net-abort");
        EXPECT_NO_THROW(Location->GetFile(Name, Local / "part.bin"));
        EXPECT_EQ(Blocks, 1);
        EXPECT_EQ(After, std::vector<bool>{true});
        EXPECT_EQ(ReadBytes(Local / "part.bin"), "") << "the block that saw the abort is not written";
    }
}

TEST(NetServers, LocalFileThatFillsUp)
{
    NEED_SERVERS();
    if (Env("WDRL_NET_BIG").empty())
        GTEST_SKIP() << "run under a file-size limit by net_servers.py";
    TOwnedForm Form;
    auto* Location = MakeLocation(Form, "NetHttp", ipHTTP, PortOf("HTTP"));
    TScratchDir Local("net-full");
    EXPECT_TRUE(Raises<ENIL_WriteDestFile>([&] { Location->GetFile(Env("WDRL_NET_BIG"), Local / "big.bin"); },
                                           "NetHttp could not write to the local dest file " + Local / "big.bin"));
}

namespace {

// A small archive of two files, as its bytes.
std::string MakeArchiveBytes()
{
    TScratchDir Sources("net-archive");
    WriteBytes(Sources / "readme.txt", "Quorvane 1.0.2.9 by Caldrevin\r\n");
    WriteBytes(Sources / "data.bin", NoiseBytes(5000, 7));
    cmp_TWdrlCompress::TWdrlCompress Engine(nullptr);
    Engine.SetCompressedFile(Sources / "made.1");
    Engine.FilesToProcess().Add(Sources / "readme.txt");
    Engine.FilesToProcess().Add(Sources / "data.bin");
    Engine.Compress(cmp_TWdrlCompress::lzcOverwrite, 0);
    return ReadBytes(Sources / "made.1");
}

} // namespace

TEST(NetServers, DownloadedArchiveIsRecordedAndUsedAgain)
{
    NEED_SERVERS();
    TScratchInstallKey Record("NetRecord");
    const std::string Archive = MakeArchiveBytes();
    const std::string Name = "NetDir" + std::to_string(GetCurrentProcessId());
    auto Served = std::make_unique<TServedFile>(Name + ".1", Archive);

    TOwnedForm Form;
    auto* Location = MakeLocation(Form, "NetFtp", ipFTP, PortOf("FTP"));
    auto* Dir = Make<TInstallDirectory>(Form, Name);
    Dir->SetNetLocation(Location);
    int Reports = 0;
    Dir->OnDataReceived = [&](fw_Classes::TObject*, const std::string& FileName, int, int, int, const char*) {
        EXPECT_EQ(FileName, Name + ".1");
        ++Reports;
    };
    Dir->DownloadArchive();
    const std::string Local = Dir->LocalArchive();
    fw_Handles::TScopeExit Remove([&] { DeleteFileA(Local.c_str()); });
    EXPECT_EQ(fw_SysUtils::ExtractFileExt(Local), ".1");
    EXPECT_EQ(ReadBytes(Local), Archive);
    EXPECT_EQ(Record.LocalFile(Name), Local);
    EXPECT_GT(Reports, 0);
    EXPECT_FALSE(Location->DataHandler) << "the handler is the object's only for its download";

    // The server's copy is gone: the recorded one serves without a download.
    Served.reset();
    Reports = 0;
    TOwnedForm Later;
    auto* Again = Make<TInstallDirectory>(Later, Name);
    Again->SetNetLocation(MakeLocation(Later, "NetFtp", ipFTP, PortOf("FTP")));
    Again->DownloadArchive();
    EXPECT_EQ(Again->LocalArchive(), Local);
}

TEST(NetServers, FailedDownloadLeavesNoFileAndNoRecord)
{
    NEED_SERVERS();
    TScratchInstallKey Record("NetFailed");
    THookGuard<bool> Abort{UserAbortRequested, false};
    const std::string Archive = MakeArchiveBytes();
    const std::string Name = "NetDir" + std::to_string(GetCurrentProcessId());
    TOwnedForm Form;
    auto Check = [&](TInstallDirectory* Dir, TCustomNetInstallLocation* Location, const char* Case) {
        EXPECT_EQ(Dir->LocalArchive(), "") << Case;
        EXPECT_FALSE(Location->LocalFileName().empty()) << Case;
        EXPECT_FALSE(FileExists(Location->LocalFileName())) << Case << ": " << Location->LocalFileName();
        EXPECT_EQ(Record.LocalFile(Dir->Name()), "<none>") << Case;
    };

    // Cut short by the server: the table does not read.
    auto* Dir = Make<TInstallDirectory>(Form, Name);
    {
        TServedFile Truncated(Name + ".1", Archive.substr(0, 40));
        auto* Ftp = MakeLocation(Form, "NetFtp", ipFTP, PortOf("FTP"));
        Dir->SetNetLocation(Ftp);
        std::string Message = MessageOf<IEFileRelated>([&] { Dir->DownloadArchive(); });
        EXPECT_EQ(Message.rfind(Name + " downloaded its archive, but the archive cannot be read: ", 0), 0u) << Message;
        Check(Dir, Ftp, "truncated");
    }
    // Cut short on the way, and refused: the location's error comes through.
    auto* Odd = MakeLocation(Form, "NetOdd", ipHTTP, PortOf("ODD"));
    auto* Short = Make<TInstallDirectory>(Form, "short" + std::to_string(GetCurrentProcessId()));
    Short->SetNetLocation(Odd);
    EXPECT_NE(MessageOf<ENIL_ReadFile>([&] { Short->DownloadArchive(); }), "");
    Check(Short, Odd, "short");
    Dir->SetNetLocation(Odd);
    EXPECT_NE(MessageOf<ENIL_HTTPStatus>([&] { Dir->DownloadArchive(); }), "");
    EXPECT_EQ(Dir->LocalArchive(), "");
    EXPECT_EQ(Record.LocalFile(Name), "<none>");
    // Aborted by the user.
    {
        TServedFile Served(Name + ".1", Archive);
        auto* Ftp = MakeLocation(Form, "NetFtp2", ipFTP, PortOf("FTP"));
        Dir->SetNetLocation(Ftp);
        Ftp->OnDataReceived = [](fw_Classes::TObject*, const std::string&, int, int, int, const char*) {
            UserAbortRequested = true;
        };
        EXPECT_TRUE(Raises<exceptions_Wendrel::EAIUserAbort>([&] { Dir->DownloadArchive(); },
                                                             "Installation aborted by the user"));
        Check(Dir, Ftp, "aborted");
    }
}

TEST(NetServers, RecordedArchiveThatNoLongerReadsIsFetchedAgain)
{
    NEED_SERVERS();
    TScratchInstallKey Record("NetStale");
    const std::string Name = "NetDir" + std::to_string(GetCurrentProcessId());
    TScratchDir Old("net-stale");
    WriteBytes(Old / "stale.1", "not an archive at all");
    Record.SetLocalFile(Name, Old / "stale.1");

    TOwnedForm Form;
    auto* Dir = Make<TInstallDirectory>(Form, Name);
    // Nothing to fetch from: the stale record is dropped all the same.
    Dir->SetNetLocation(MakeLocation(Form, "NetClosed", ipFTP, PortOf("CLOSED")));
    EXPECT_NE(MessageOf<ENIL_OpenService>([&] { Dir->DownloadArchive(); }), "");
    EXPECT_EQ(Record.LocalFile(Name), "<none>");
    EXPECT_EQ(Dir->LocalArchive(), "");

    Record.SetLocalFile(Name, Old / "stale.1");
    const std::string Archive = MakeArchiveBytes();
    TServedFile Served(Name + ".1", Archive);
    Dir->SetNetLocation(MakeLocation(Form, "NetFtp", ipFTP, PortOf("FTP")));
    Dir->DownloadArchive();
    const std::string Local = Dir->LocalArchive();
    fw_Handles::TScopeExit Remove([&] { DeleteFileA(Local.c_str()); });
    EXPECT_NE(Local, Old / "stale.1");
    EXPECT_EQ(ReadBytes(Local), Archive);
    EXPECT_EQ(Record.LocalFile(Name), Local);
}

} // namespace net_tests
