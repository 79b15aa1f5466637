// Framework: the client side of a DDE conversation over DDEML. The program
// names a service and a topic, opens the link, and sends command strings
// (macros) or asks for data items as text. Every call is made on the GUI
// thread; DDEML runs the message loop it needs inside its own synchronous
// transactions.
#pragma once

#include "framework/fw_Classes.h"
#include "framework/fw_Handles.h"
#include "framework/fw_Windows.h"

#include <ddeml.h>

#include <string>

namespace fw_DDE {

using fw_Classes::TComponent;

// ---- owners of DDEML handles ---------------------------------------------------

struct TDdeInstanceTraits {
    using THandle = DWORD; // the instance identifier DdeInitialize hands back
    static THandle Empty() noexcept { return 0; }
    static bool IsEmpty(THandle H) noexcept { return H == 0; }
    static void Close(THandle H) noexcept { DdeUninitialize(H); }
};

struct TDdeConversationTraits {
    using THandle = HCONV;
    static THandle Empty() noexcept { return nullptr; }
    static bool IsEmpty(THandle H) noexcept { return H == nullptr; }
    static void Close(THandle H) noexcept { DdeDisconnect(H); }
};

struct TDdeDataTraits {
    using THandle = HDDEDATA;
    static THandle Empty() noexcept { return nullptr; }
    static bool IsEmpty(THandle H) noexcept { return H == nullptr; }
    static void Close(THandle H) noexcept { DdeFreeDataHandle(H); }
};

// An instance (DdeInitialize ... DdeUninitialize). It must outlive every
// conversation and string handle made with it.
using TDdeInstance = fw_Handles::TUniqueHandle<TDdeInstanceTraits>;
// A conversation (DdeConnect ... DdeDisconnect).
using TDdeConversation = fw_Handles::TUniqueHandle<TDdeConversationTraits>;
// A data handle a transaction answered (freed with DdeFreeDataHandle).
using TDdeData = fw_Handles::TUniqueHandle<TDdeDataTraits>;

// A string handle of an instance (DdeCreateStringHandle ...
// DdeFreeStringHandle); freeing needs the instance, so it is kept beside.
class TDdeString {
public:
    TDdeString() noexcept = default;
    // Empty (Valid() false) when DDEML refuses the text, as it does an empty one.
    TDdeString(DWORD AInstance, const std::string& Text) noexcept;
    TDdeString(TDdeString&& Other) noexcept;
    TDdeString& operator=(TDdeString&& Other) noexcept;
    TDdeString(const TDdeString&) = delete;
    TDdeString& operator=(const TDdeString&) = delete;
    ~TDdeString() { Reset(); }

    HSZ Get() const noexcept { return FHandle; }
    bool Valid() const noexcept { return FHandle != nullptr; }
    void Reset() noexcept;

private:
    DWORD FInstance = 0;
    HSZ FHandle = nullptr;
};

// ---- the client conversation ---------------------------------------------------

// ddeAutomatic: a transaction opens the link itself when it is not open.
// ddeManual: only OpenLink opens it; a transaction without one fails.
enum class TDataMode { ddeAutomatic, ddeManual };

class TDdeClientConv : public TComponent {
    FW_CLASS(TDdeClientConv, TComponent)

public:
    // How long one transaction may wait for the server's answer.
    static constexpr DWORD TransactionTimeout = 10000;

    explicit TDdeClientConv(TComponent* AOwner);
    ~TDdeClientConv() override;

    TDataMode ConnectMode() const { return FConnectMode; }
    void SetConnectMode(TDataMode Value) { FConnectMode = Value; }
    const std::string& DdeService() const { return FService; }
    const std::string& DdeTopic() const { return FTopic; }
    // An open link is with the old names, so a change closes it.
    void SetService(const std::string& Value);
    void SetTopic(const std::string& Value);

    // Opens the conversation with the service and topic (DDEML is set up on
    // the first call and kept until the object goes). True when it is open;
    // false, with LastError set, when no server answers.
    bool OpenLink();
    void CloseLink();
    bool Connected() const { return FConversation.Valid(); }

    // Sends Macro (zero-terminated, 8-bit) as an execute transaction. False
    // when it cannot be sent, the server does not answer in time, or answers
    // that it did not process it (LastError tells which).
    bool ExecuteMacro(const std::string& Macro);
    // Asks for Item as text; true with Data set (up to its terminating zero)
    // when the server answers data, false with Data empty when it does not.
    bool RequestData(const std::string& Item, std::string& Data);

    // The DDEML error of the last failed call (DMLERR_NO_ERROR after a
    // success), and a text naming it for messages.
    UINT LastError() const { return FLastError; }
    std::string LastErrorText() const { return ErrorText(FLastError); }
    static std::string ErrorText(UINT Code);

private:
    bool EnsureLink();
    void NoteError();

    TDataMode FConnectMode = TDataMode::ddeAutomatic;
    std::string FService, FTopic;
    UINT FLastError = DMLERR_NO_ERROR;
    // Declared before the conversation: members go in reverse order, so the
    // conversation is ended while its instance still exists.
    TDdeInstance FInstance;
    TDdeConversation FConversation;
};

} // namespace fw_DDE
