#include "net/cmp_TNetInstallLocation.h"

#include "engine/cmp_TInstall.h"
#include "framework/fw_Forms.h"
#include "framework/fw_Handles.h"
#include "framework/fw_Streams.h"

#include <wininet.h>

#include <exception>
#include <memory>
#include <type_traits>

namespace cmp_TNetInstallLocation {

using fw_SysUtils::Format;
using fw_SysUtils::Trim;

const fw_Classes::TEnumInfo TInternetProtocolInfo{"TInternetProtocol", {"ipFTP", "ipHTTP"}};

namespace {

using TInternetGetLastResponseInfoA = BOOL(WINAPI*)(DWORD*, char*, DWORD*);
// Kept process-wide: an exception asks for the last response without
// knowing which location raised it. It is valid while some location holds
// the library.
TInternetGetLastResponseInfoA InternetGetLastResponseInfoProc = nullptr;
int LibraryHolders = 0;

TCustomNetInstallLocation* TheCurrentNetLocation = nullptr;

constexpr DWORD TransferBlockSize = 8192;
constexpr DWORD ResponseBufferSize = 3000;
constexpr DWORD HttpHeaderNotFound = 12150;
constexpr DWORD OpenRequestFlags = 0xA4000000; // reload, existing connection, no cache write
constexpr char AcceptHeaders[] = "Accept: */*\r\n\r\n";

std::string LastServerResponse()
{
    if (!InternetGetLastResponseInfoProc)
        return "No server response";
    char Buffer[ResponseBufferSize] = {};
    DWORD Error = 0, Length = sizeof Buffer;
    if (!InternetGetLastResponseInfoProc(&Error, Buffer, &Length))
        return "No server response";
    std::string Text(Buffer, Length < sizeof Buffer ? Length : sizeof Buffer - 1);
    // The response ends in the protocol's line break, which would split the
    // message in two.
    while (!Text.empty() && (Text.back() == '\r' || Text.back() == '\n'))
        Text.pop_back();
    return Text;
}

// A failed WinINet call: saves the system's error code before anything else
// can overwrite it, then makes the message.
template <class E>
[[noreturn]] void RaiseNIL(std::string_view Fmt, TVarRecs Args)
{
    DWORD Code = GetLastError();
    throw E(Code, Fmt, Args);
}

} // namespace

// ---- errors ---------------------------------------------------------------------

std::string ErrorCodeName(DWORD Code)
{
    switch (Code) {
    case 6:
        return "ERROR_INVALID_HANDLE";
    case 12001:
        return "ERROR_INTERNET_OUT_OF_HANDLES";
    case 12002:
        return "ERROR_INTERNET_TIMEOUT";
    case 12003:
        return "ERROR_INTERNET_EXTENDED_ERROR";
    case 12004:
        return "ERROR_INTERNET_INTERNAL_ERROR";
    case 12005:
        return "ERROR_INTERNET_INVALID_URL";
    case 12006:
        return "ERROR_INTERNET_UNRECOGNIZED_SCHEME";
    case 12007:
        return "ERROR_INTERNET_NAME_NOT_RESOLVED";
    case 12008:
        return "ERROR_INTERNET_PROTOCOL_NOT_FOUND";
    case 12009:
        return "ERROR_INTERNET_INVALID_OPTION";
    case 12010:
        return "ERROR_INTERNET_BAD_OPTION_LENGTH";
    case 12011:
        return "ERROR_INTERNET_OPTION_NOT_SETTABLE";
    case 12012:
        return "ERROR_INTERNET_SHUTDOWN";
    case 12013:
        return "ERROR_INTERNET_INCORRECT_USER_NAME";
    case 12014:
        return "ERROR_INTERNET_INCORRECT_PASSWORD";
    case 12015:
        return "ERROR_INTERNET_LOGIN_FAILURE";
    case 12016:
        return "ERROR_INTERNET_INVALID_OPERATION";
    case 12017:
        return "ERROR_INTERNET_OPERATION_CANCELLED";
    case 12018:
        return "ERROR_INTERNET_INCORRECT_HANDLE_TYPE";
    case 12019:
        return "ERROR_INTERNET_INCORRECT_HANDLE_STATE";
    case 12020:
        return "ERROR_INTERNET_NOT_PROXY_REQUEST";
    case 12021:
        return "ERROR_INTERNET_REGISTRY_VALUE_NOT_FOUND";
    case 12022:
        return "ERROR_INTERNET_BAD_REGISTRY_PARAMETER";
    case 12023:
        return "ERROR_INTERNET_NO_DIRECT_ACCESS";
    case 12024:
        return "ERROR_INTERNET_NO_CONTEXT";
    case 12025:
        return "ERROR_INTERNET_NO_CALLBACK";
    case 12026:
        return "ERROR_INTERNET_REQUEST_PENDING";
    case 12027:
        return "ERROR_INTERNET_INCORRECT_FORMAT";
    case 12028:
        return "ERROR_INTERNET_ITEM_NOT_FOUND";
    case 12029:
        return "ERROR_INTERNET_CANNOT_CONNECT";
    case 12030:
        return "ERROR_INTERNET_CONNECTION_ABORTED";
    case 12031:
        return "ERROR_INTERNET_CONNECTION_RESET";
    case 12032:
        return "ERROR_INTERNET_FORCE_RETRY";
    case 12036:
        return "ERROR_INTERNET_HANDLE_EXISTS";
    case 12041:
        return "ERROR_INTERNET_MIXED_SECURITY";
    case 12110:
        return "ERROR_FTP_TRANSFER_IN_PROGRESS";
    case 12111:
        return "ERROR_FTP_DROPPED";
    case 12130:
        return "ERROR_GOPHER_PROTOCOL_ERROR";
    case 12131:
        return "ERROR_GOPHER_NOT_FILE";
    case 12132:
        return "ERROR_GOPHER_DATA_ERROR";
    case 12133:
        return "ERROR_GOPHER_END_OF_DATA";
    case 12134:
        return "ERROR_GOPHER_INVALID_LOCATOR";
    case 12135:
        return "ERROR_GOPHER_INCORRECT_LOCATOR_TYPE";
    case 12136:
        return "ERROR_GOPHER_NOT_GOPHER_PLUS";
    case 12137:
        return "ERROR_GOPHER_ATTRIBUTE_NOT_FOUND";
    case 12138:
        return "ERROR_GOPHER_UNKNOWN_LOCATOR";
    case 12150:
        return "ERROR_HTTP_HEADER_NOT_FOUND";
    case 12151:
        return "ERROR_HTTP_DOWNLEVEL_SERVER";
    case 12152:
        return "ERROR_HTTP_INVALID_SERVER_RESPONSE";
    case 12153:
        return "ERROR_HTTP_INVALID_HEADER";
    case 12154:
        return "ERROR_HTTP_INVALID_QUERY_REQUEST";
    case 12155:
        return "ERROR_HTTP_HEADER_ALREADY_EXISTS";
    default:
        return "Unregistered error code";
    }
}

// GetLastError comes first, before the message is formatted or the server
// asked: either could change it.
ENIL::ENIL(const std::string& Msg) : Exception(""), ErrorCode(GetLastError()) { Extend(Msg); }

ENIL::ENIL(std::string_view Fmt, TVarRecs Args) : Exception(""), ErrorCode(GetLastError())
{
    Extend(Format(Fmt, Args));
}

ENIL::ENIL(DWORD Code, std::string_view Fmt, TVarRecs Args) : Exception(""), ErrorCode(Code)
{
    Extend(Format(Fmt, Args));
}

void ENIL::Extend(const std::string& Msg)
{
    std::string Host = TheCurrentNetLocation ? TheCurrentNetLocation->LoginInformation()->Hostname : "";
    SetMessage(Format("%s. Error message %s. Server %s. Response from server %s",
                      {Msg, ErrorCodeName(ErrorCode), Host, LastServerResponse()}));
}

std::string ServerPath(const std::string& Directory)
{
    if (Trim(Directory).empty())
        return "/";
    std::string Result = Directory;
    for (char& C : Result)
        if (C == '\\')
            C = '/';
    return Result;
}

// ---- login information ------------------------------------------------------------

static void DefineLoginInformation(fw_Classes::TPropertyBuilder<TCustomLoginInformation>& P)
{
    using L = TCustomLoginInformation;
    P.Boolean("Anonymous", &L::Anonymous, &L::Anonymous, true);
    P.String("Directory", &L::Directory, &L::Directory);
    P.String("Hostname", &L::Hostname, &L::Hostname);
    P.String("Password", &L::Password, &L::Password);
    P.Enum<TInternetProtocol>("Protocol", TInternetProtocolInfo, &L::Protocol, &L::Protocol, ipHTTP);
    P.String("Username", &L::Username, &L::Username);
}

FW_DEFINE_CLASS(TCustomLoginInformation, TPersistent, nullptr, DefineLoginInformation)
FW_DEFINE_CLASS(TLoginInformation, TCustomLoginInformation, nullptr, nullptr)

void TCustomLoginInformation::Assign(TPersistent* Source)
{
    if (Source && Source->Is<TCustomLoginInformation>()) {
        auto* S = static_cast<TCustomLoginInformation*>(Source);
        Anonymous = S->Anonymous;
        Directory = S->Directory;
        Hostname = S->Hostname;
        Password = S->Password;
        Protocol = S->Protocol;
        Username = S->Username;
        return;
    }
    inherited::Assign(Source);
}

bool TCustomLoginInformation::IsComplete() const
{
    if (Anonymous)
        return !Trim(Hostname).empty();
    return !Trim(Hostname).empty() || !Trim(Password).empty() || !Trim(Username).empty();
}

// ---- handles ----------------------------------------------------------------------

bool TInternetHandleOwner::Close()
{
    if (!FHandle)
        return true;
    if (!FClose(FHandle))
        return false;
    FHandle = nullptr;
    return true;
}

// ---- the list of locations --------------------------------------------------------

void TNetLocationList::Add(TCustomNetInstallLocation* Item)
{
    if (!Item)
        throw IENetList("Cannot add a blank location to the global net location list");
    Append(Item);
}

TNetLocationList& NetLocations()
{
    static TNetLocationList List;
    return List;
}

TCustomNetInstallLocation* MainNetLocation()
{
    // The install root forgets its location when that is destroyed.
    cmp_TInstall::TCustomInstall* Root = cmp_TInstall::InstallRoot();
    return Root ? dynamic_cast<TCustomNetInstallLocation*>(Root->NetLocation()) : nullptr;
}

TCustomNetInstallLocation* CurrentNetLocation() { return TheCurrentNetLocation; }

// ---- TCustomNetInstallLocation ----------------------------------------------------

FW_DEFINE_CLASS(TCustomNetInstallLocation, TComponent, nullptr, nullptr)

TCustomNetInstallLocation::TCustomNetInstallLocation(TComponent* AOwner) : TComponent(AOwner)
{
    NetLocations().Add(this);
}

TCustomNetInstallLocation::~TCustomNetInstallLocation()
{
    if (TheCurrentNetLocation == this)
        TheCurrentNetLocation = nullptr;
    Disconnect();
    if (FLibrary) {
        // A handle WinINet refused to close cannot be closed once it is gone.
        FFileHandle.Release();
        FConnection.Release();
        FSession.Release();
        FLibrary.Reset();
        if (--LibraryHolders == 0)
            InternetGetLastResponseInfoProc = nullptr;
    }
    NetLocations().Remove(this);
}

void TCustomNetInstallLocation::LoadWinINet()
{
    // After a missing entry point the library stays loaded; a second try
    // looks again in the same module.
    if (!FLibrary) {
        FLibrary.Reset(LoadLibraryA("WININET.DLL"));
        if (FLibrary)
            ++LibraryHolders;
    }
    if (!FLibrary)
        throw ENIL_FailLoadWININET(
            "Failed to load the Wininet.dll. If this is a hybrid installation, you might want to "
            "include the WININET.DLL file in the PresetupFiles property of the TInstall "
            "component");
    auto Find = [this](auto& Proc, const char* Name) {
        Proc = reinterpret_cast<std::remove_reference_t<decltype(Proc)>>(GetProcAddress(FLibrary.Get(), Name));
        if (!Proc) {
            // The message names the function, not its ANSI form.
            std::string Short(Name);
            if (Short.back() == 'A')
                Short.pop_back();
            throw ENIL_FailLoadDLLProc("Failed to load the procedure %s from WININET.DLL", {Short});
        }
    };
    Find(InternetGetLastResponseInfoProc, "InternetGetLastResponseInfoA");
    Find(FInternetOpenA, "InternetOpenA");
    Find(FInternetConnectA, "InternetConnectA");
    Find(FFtpSetCurrentDirectoryA, "FtpSetCurrentDirectoryA");
    Find(FInternetCloseHandle, "InternetCloseHandle");
    Find(FInternetQueryDataAvailable, "InternetQueryDataAvailable");
    Find(FInternetReadFile, "InternetReadFile");
    Find(FFtpOpenFileA, "FtpOpenFileA");
    Find(FHttpOpenRequestA, "HttpOpenRequestA");
    Find(FHttpSendRequestA, "HttpSendRequestA");
    Find(FHttpQueryInfoA, "HttpQueryInfoA");
    FLoaded = true;
}

void TCustomNetInstallLocation::SetLoginInformation(TLoginInformation* Value) { FLoginInformation.Assign(Value); }

void TCustomNetInstallLocation::Connect()
{
    TheCurrentNetLocation = this;
    if (!FLoaded)
        LoadWinINet();
    const TLoginInformation& Login = FLoginInformation;
    if (!FSession) {
        std::string Agent = fw_Forms::Application ? fw_Forms::Application->Name() : "";
        TInternetHandle Session = FInternetOpenA(Agent.c_str(), INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
        if (!Session)
            RaiseNIL<ENIL_OpenSession>("Cannot open internet connection", {});
        FSession.Reset(Session, FInternetCloseHandle);
    }
    if (!FConnection) {
        if (OnBeforeConnect)
            OnBeforeConnect(this);
        const bool FTP = Login.Protocol == ipFTP;
        // An anonymous FTP login names no user; HTTP wants empty strings.
        const char* User = Login.Anonymous ? (FTP ? nullptr : "") : Login.Username.c_str();
        const char* Password = Login.Anonymous ? (FTP ? nullptr : "") : Login.Password.c_str();
        // Active FTP: flags 0.
        TInternetHandle Connection =
            FInternetConnectA(FSession.Get(), Login.Hostname.c_str(), WORD(FPort), User, Password,
                              FTP ? INTERNET_SERVICE_FTP : INTERNET_SERVICE_HTTP, 0, 0);
        if (!Connection)
            RaiseNIL<ENIL_OpenService>("Cannot connect to host %s", {Login.Hostname});
        FConnection.Reset(Connection, FInternetCloseHandle);
        if (OnConnected)
            OnConnected(this);
    }
    if (Login.Protocol == ipFTP) {
        std::string Path = ServerPath(Login.Directory);
        if (!FFtpSetCurrentDirectoryA(FConnection.Get(), Path.c_str()))
            RaiseNIL<ENIL_FTPSetDir>("Cannot set directory on server to %s", {Path});
    }
}

void TCustomNetInstallLocation::Disconnect()
{
    FConnection.Close();
    FSession.Close();
}

void TCustomNetInstallLocation::GetFile(const std::string& RemoteFileName, const std::string& LocalFileName)
{
    Connect();
    FRemoteFileName = RemoteFileName;
    FLocalFileName = LocalFileName;
    if (OnBeforeGetFile)
        OnBeforeGetFile(this);
    // Whatever happens once the remote file is open, it is closed again; a
    // close that fails is reported only when nothing went wrong before, so
    // that it cannot hide the error that ended the transfer.
    std::exception_ptr Failure;
    try {
        OpenRemoteFile();
        Transfer();
    } catch (...) {
        Failure = std::current_exception();
    }
    const bool Closed = FFileHandle.Close();
    const DWORD CloseError = GetLastError();
    FFileHandle.Release();
    if (Failure)
        std::rethrow_exception(Failure);
    if (!Closed)
        throw ENIL_FTPCloseFile(CloseError, "Cannot close the file %s on the server", {RemoteFileName});
    if (OnAfterGetFile)
        OnAfterGetFile(this, UserAbortRequested);
}

void TCustomNetInstallLocation::OpenRemoteFile()
{
    const TLoginInformation& Login = FLoginInformation;
    if (Login.Protocol == ipFTP) {
        TInternetHandle File = FFtpOpenFileA(FConnection.Get(), FRemoteFileName.c_str(), GENERIC_READ,
                                             FTP_TRANSFER_TYPE_BINARY, 0x80000000);
        if (!File)
            RaiseNIL<ENIL_FTPOpenFile>("Cannot open file %s on server", {FRemoteFileName});
        FFileHandle.Reset(File, FInternetCloseHandle);
        return;
    }
    std::string Directory = Login.Directory;
    if (!Directory.empty() && Directory.back() != '\\')
        Directory += '\\';
    std::string Object = ServerPath(Directory) + FRemoteFileName;
    const char* AcceptTypes[] = {nullptr};
    TInternetHandle Request =
        FHttpOpenRequestA(FConnection.Get(), "GET", Object.c_str(), nullptr, nullptr, AcceptTypes, OpenRequestFlags, 0);
    if (!Request)
        RaiseNIL<ENIL_HTTPOpenFile>("Cannot open file %s on server", {FRemoteFileName});
    FFileHandle.Reset(Request, FInternetCloseHandle);
    if (!FHttpSendRequestA(Request, AcceptHeaders, DWORD(sizeof AcceptHeaders - 1), nullptr, 0))
        RaiseNIL<ENIL_HTTPSendRequest>("Cannot send request for file %s to the server", {FRemoteFileName});
    // The status line decides whether the file is there; the body of a good
    // answer is the file, whatever its first bytes say.
    DWORD Status = 0, Size = sizeof Status;
    if (!FHttpQueryInfoA(Request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &Status, &Size, nullptr))
        RaiseNIL<ENIL_FailDataQuery>("Could not query file %s on server", {FRemoteFileName});
    if (Status == HTTP_STATUS_NOT_FOUND || Status == HTTP_STATUS_GONE)
        RaiseNIL<ENIL_FileNotFound>("Could not find the file %s on the server", {FRemoteFileName});
    if (Status < 200 || Status > 299)
        RaiseNIL<ENIL_HTTPStatus>("The server answered the request for file %s with status %d",
                                  {FRemoteFileName, int(Status)});
}

int TCustomNetInstallLocation::QueryFileSize()
{
    if (FLoginInformation.Protocol == ipFTP) {
        DWORD Available = 0;
        if (!FInternetQueryDataAvailable(FFileHandle.Get(), &Available, 0, 0))
            RaiseNIL<ENIL_FailDataQuery>("Could not query file %s on server", {FRemoteFileName});
        return int(Available);
    }
    char Text[33] = {};
    DWORD Size = sizeof Text - 1;
    if (!FHttpQueryInfoA(FFileHandle.Get(), HTTP_QUERY_CONTENT_LENGTH, Text, &Size, nullptr)) {
        DWORD Code = GetLastError();
        if (Code != HttpHeaderNotFound)
            throw ENIL_FailDataQuery(Code, "Could not query file %s on server", {FRemoteFileName});
        return 0;
    }
    return fw_SysUtils::StrToIntDef(Trim(std::string(Text, Size < sizeof Text ? Size : 0)), 0);
}

void TCustomNetInstallLocation::Transfer()
{
    const int FileSize = QueryFileSize();
    fw_Streams::TFileStream Local(FLocalFileName, fw_Streams::fmCreate);
    auto Buffer = std::make_unique<char[]>(TransferBlockSize);
    auto ReadBlock = [&] {
        DWORD Read = 0;
        if (!FInternetReadFile(FFileHandle.Get(), Buffer.get(), TransferBlockSize, &Read))
            RaiseNIL<ENIL_ReadFile>("Could not read from file %s on the server", {FRemoteFileName});
        return Read;
    };
    int TotalBytes = 0;
    DWORD Read = ReadBlock();
    while (Read > 0) {
        TotalBytes += int(Read);
        if (OnDataReceived)
            OnDataReceived(this, FRemoteFileName, int(Read), TotalBytes, FileSize, Buffer.get());
        if (DataHandler)
            DataHandler(this, FRemoteFileName, int(Read), TotalBytes, FileSize, Buffer.get());
        if (fw_Forms::Application)
            fw_Forms::Application->ProcessMessages();
        // A user abort ends quietly; the caller learns it from OnAfterGetFile.
        if (UserAbortRequested)
            return;
        if (Local.Write(Buffer.get(), Read) < Read)
            throw ENIL_WriteDestFile("%s could not write to the local dest file %s", {Name(), FLocalFileName});
        Read = ReadBlock();
    }
    if (TotalBytes == 0)
        RaiseNIL<ENIL_FileNotFound>("Could not find the file %s on the server", {FRemoteFileName});
    // A connection that ends before the announced length is a failed read,
    // not a smaller file.
    if (FLoginInformation.Protocol == ipHTTP && FileSize > 0 && TotalBytes < FileSize)
        RaiseNIL<ENIL_ReadFile>("Could not read from file %s on the server", {FRemoteFileName});
}

// ---- TNetInstallLocation ----------------------------------------------------------

static void DefineNetInstallLocation(fw_Classes::TPropertyBuilder<TNetInstallLocation>& P)
{
    using N = TNetInstallLocation;
    P.Object<TLoginInformation>("LoginInformation", [](N* Location) { return Location->LoginInformation(); });
    P.Integer("Port", &N::Port, &N::SetPort, 0);
}

FW_DEFINE_CLASS(TNetInstallLocation, TCustomNetInstallLocation, fw_Classes::CreateComponent<TNetInstallLocation>,
                DefineNetInstallLocation)

void RegisterNetClasses() { fw_Classes::RegisterClass(&TNetInstallLocation::StaticClass()); }

} // namespace cmp_TNetInstallLocation
