// Net install locations: one FTP or HTTP server from which the installer
// fetches archives and lists instead of the distribution folder. A location
// holds the login information, opens a WinINet session and connection when
// first needed and copies one remote file into one local file at a time,
// reporting every received block.
//
// WinINet is loaded at the first Connect, not at start, so that a machine
// without it fails only when a network install is really attempted.
#pragma once

#include "engine/cmp_TInstallContainer.h"
#include "framework/fw_Classes.h"
#include "framework/fw_Handles.h"
#include "framework/fw_SysUtils.h"
#include "routines/exceptions_Wendrel.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace cmp_TNetInstallLocation {

using fw_Classes::TComponent;
using fw_Classes::TNotifyEvent;
using fw_Classes::TObject;
using fw_Classes::TPersistent;
using fw_SysUtils::Exception;
using fw_SysUtils::TVarRecs;

// The process-wide user-abort request; the download loop stops when it is set.
using exceptions_Wendrel::UserAbortRequested;

enum TInternetProtocol : uint8_t { ipFTP, ipHTTP };
extern const fw_Classes::TEnumInfo TInternetProtocolInfo;

using cmp_TInstallContainer::TDataReceivedEvent;
using TAfterGetFileEvent = std::function<void(TObject* Sender, bool Aborted)>;

// A WinINet handle (HINTERNET).
using TInternetHandle = void*;

// The base of the network errors. Its message is extended with the name of
// the system's error code, the current location's host and the server's last
// response: "%s. Error message %s. Server %s. Response from server %s". The
// code is the one GetLastError held when the exception was made, or the one
// a failing call site saved before anything else could change it. These
// messages are not translated.
class ENIL : public Exception {
public:
    explicit ENIL(const std::string& Msg);
    ENIL(std::string_view Fmt, TVarRecs Args);
    ENIL(DWORD Code, std::string_view Fmt, TVarRecs Args);
    DWORD ErrorCode = 0;

private:
    void Extend(const std::string& Msg);
};
FW_EXCEPTION(ENIL_OpenSession, ENIL);
FW_EXCEPTION(ENIL_OpenService, ENIL);
FW_EXCEPTION(ENIL_FailDataQuery, ENIL);
FW_EXCEPTION(ENIL_ReadFile, ENIL);
FW_EXCEPTION(ENIL_FileNotFound, ENIL);
FW_EXCEPTION(ENIL_FTP, ENIL);
FW_EXCEPTION(ENIL_FTPSetDir, ENIL_FTP);
FW_EXCEPTION(ENIL_FTPOpenFile, ENIL_FTP);
FW_EXCEPTION(ENIL_FTPCloseFile, ENIL_FTP);
FW_EXCEPTION(ENIL_HTTP, ENIL);
FW_EXCEPTION(ENIL_HTTPOpenFile, ENIL_HTTP);
FW_EXCEPTION(ENIL_HTTPSendRequest, ENIL_HTTP);
// The server answered a request with a status other than 2xx and other than
// 404 or 410 (those are ENIL_FileNotFound): "The server answered the request
// for file %s with status %d".
FW_EXCEPTION(ENIL_HTTPStatus, ENIL_HTTP);
FW_EXCEPTION(IENetList, ENIL);
// These carry their message alone.
FW_EXCEPTION(ENIL_WriteDestFile, Exception);
FW_EXCEPTION(ENIL_FailLoadWININET, Exception);
FW_EXCEPTION(ENIL_FailLoadDLLProc, Exception);

// The WinINet name of an error code; "Unregistered error code" for others.
std::string ErrorCodeName(DWORD Code);

// "/" for a blank directory, else the directory with "/" for each "\".
std::string ServerPath(const std::string& Directory);

class TCustomNetInstallLocation;

// The server and how to log in to it.
class TCustomLoginInformation : public TPersistent {
    FW_CLASS(TCustomLoginInformation, TPersistent)

public:
    explicit TCustomLoginInformation(TCustomNetInstallLocation* AOwner = nullptr) : FOwner(AOwner) {}
    // Copies the six login fields of another login information.
    void Assign(TPersistent* Source) override;
    // Filled in well enough to try: an anonymous login needs a host; a named
    // one any of host, user or password.
    bool IsComplete() const;
    TCustomNetInstallLocation* Owner() const { return FOwner; }

    bool Anonymous = true;
    std::string Directory; // backslashes allowed
    std::string Hostname;
    std::string Password;
    TInternetProtocol Protocol = ipHTTP;
    std::string Username;

private:
    TCustomNetInstallLocation* FOwner;
};

class TLoginInformation : public TCustomLoginInformation {
    FW_CLASS(TLoginInformation, TCustomLoginInformation)

public:
    using TCustomLoginInformation::TCustomLoginInformation;
};

// Owns a WinINet handle and closes it through the loaded library. Close
// reports whether WinINet agreed; a handle it refused stays held.
class TInternetHandleOwner {
public:
    using TCloseFunc = BOOL(WINAPI*)(TInternetHandle);
    TInternetHandleOwner() = default;
    TInternetHandleOwner(const TInternetHandleOwner&) = delete;
    TInternetHandleOwner& operator=(const TInternetHandleOwner&) = delete;
    ~TInternetHandleOwner() { Close(); }
    void Reset(TInternetHandle Value, TCloseFunc CloseFunc)
    {
        Close();
        FHandle = Value;
        FClose = CloseFunc;
    }
    TInternetHandle Get() const { return FHandle; }
    explicit operator bool() const { return FHandle != nullptr; }
    bool Close();
    // Gives the handle up without closing it (the library is going away).
    void Release() { FHandle = nullptr; }

private:
    TInternetHandle FHandle = nullptr;
    TCloseFunc FClose = nullptr;
};

class TCustomNetInstallLocation : public TComponent, public cmp_TInstallContainer::TNetSource {
    FW_CLASS(TCustomNetInstallLocation, TComponent)

public:
    explicit TCustomNetInstallLocation(TComponent* AOwner);
    ~TCustomNetInstallLocation() override;

    virtual void LoadWinINet();
    virtual void SetLoginInformation(TLoginInformation* Value);
    // Opens what is missing of library, session and connection; for FTP it
    // sets the server directory every time.
    virtual void Connect();
    // Fetches RemoteFileName into LocalFileName (created or overwritten).
    void GetFile(const std::string& RemoteFileName, const std::string& LocalFileName) override;
    // Closes the connection and the session (each only forgotten when the
    // close succeeded).
    void Disconnect();

    bool LoginComplete() const override { return FLoginInformation.IsComplete(); }
    std::string LoginHostname() const override { return FLoginInformation.Hostname; }
    std::string LoginDirectory() const override { return FLoginInformation.Directory; }
    bool LoginIsFTP() const override { return FLoginInformation.Protocol == ipFTP; }
    void SetDataHandler(TDataReceivedEvent Handler) override { DataHandler = std::move(Handler); }

    TLoginInformation* LoginInformation() { return &FLoginInformation; }
    const TLoginInformation* LoginInformation() const { return &FLoginInformation; }
    // The server's port; 0 is the service's default.
    int Port() const { return FPort; }
    void SetPort(int Value) { FPort = Value; }
    bool WinINetLoaded() const { return FLoaded; }
    TInternetHandle Session() const { return FSession.Get(); }
    TInternetHandle Connection() const { return FConnection.Get(); }
    const std::string& LocalFileName() const { return FLocalFileName; }
    const std::string& RemoteFileName() const { return FRemoteFileName; }

    TAfterGetFileEvent OnAfterGetFile;
    TNotifyEvent OnConnected;
    TNotifyEvent OnBeforeGetFile;
    TNotifyEvent OnBeforeConnect;
    TDataReceivedEvent OnDataReceived;
    // The second receiver of the blocks, set by an install object for the
    // time of its download.
    TDataReceivedEvent DataHandler;

private:
    void OpenRemoteFile();
    void Transfer();
    int QueryFileSize();

    bool FLoaded = false;
    std::string FLocalFileName;
    TInternetHandleOwner FFileHandle;
    fw_Handles::TModule FLibrary;
    TInternetHandleOwner FSession;
    TInternetHandleOwner FConnection;
    std::string FRemoteFileName;
    int FPort = 0;

    // The WinINet entry points (InternetGetLastResponseInfoA is kept
    // process-wide for the exceptions).
    using TInternetOpenA = TInternetHandle(WINAPI*)(const char*, DWORD, const char*, const char*, DWORD);
    using TInternetConnectA = TInternetHandle(WINAPI*)(TInternetHandle, const char*, WORD, const char*, const char*,
                                                       DWORD, DWORD, DWORD_PTR);
    using TFtpSetCurrentDirectoryA = BOOL(WINAPI*)(TInternetHandle, const char*);
    using TInternetQueryDataAvailable = BOOL(WINAPI*)(TInternetHandle, DWORD*, DWORD, DWORD_PTR);
    using TInternetReadFile = BOOL(WINAPI*)(TInternetHandle, void*, DWORD, DWORD*);
    using TFtpOpenFileA = TInternetHandle(WINAPI*)(TInternetHandle, const char*, DWORD, DWORD, DWORD_PTR);
    using THttpOpenRequestA = TInternetHandle(WINAPI*)(TInternetHandle, const char*, const char*, const char*,
                                                       const char*, const char**, DWORD, DWORD_PTR);
    using THttpSendRequestA = BOOL(WINAPI*)(TInternetHandle, const char*, DWORD, void*, DWORD);
    using THttpQueryInfoA = BOOL(WINAPI*)(TInternetHandle, DWORD, void*, DWORD*, DWORD*);
    TInternetOpenA FInternetOpenA = nullptr;
    TInternetConnectA FInternetConnectA = nullptr;
    TFtpSetCurrentDirectoryA FFtpSetCurrentDirectoryA = nullptr;
    TInternetHandleOwner::TCloseFunc FInternetCloseHandle = nullptr;
    TInternetQueryDataAvailable FInternetQueryDataAvailable = nullptr;
    TInternetReadFile FInternetReadFile = nullptr;
    TFtpOpenFileA FFtpOpenFileA = nullptr;
    THttpOpenRequestA FHttpOpenRequestA = nullptr;
    THttpSendRequestA FHttpSendRequestA = nullptr;
    THttpQueryInfoA FHttpQueryInfoA = nullptr;

    TLoginInformation FLoginInformation{this};
};

// The location a project places: its login information and port.
class TNetInstallLocation : public TCustomNetInstallLocation {
    FW_CLASS(TNetInstallLocation, TCustomNetInstallLocation)

public:
    using TCustomNetInstallLocation::TCustomNetInstallLocation;
};

// Every live location, in order of creation.
class TNetLocationList : public fw_Classes::TReferenceList<TCustomNetInstallLocation> {
public:
    // nil raises IENetList.
    void Add(TCustomNetInstallLocation* Item);
};
TNetLocationList& NetLocations();
// The install root's location, or nil.
TCustomNetInstallLocation* MainNetLocation();
// The location that last started Connect, or nil; its host goes into the
// messages of ENIL.
TCustomNetInstallLocation* CurrentNetLocation();

// Makes the published location class known to the project reader.
void RegisterNetClasses();

} // namespace cmp_TNetInstallLocation
