#include "framework/fw_DDE.h"

#include <utility>

namespace fw_DDE {

// ---- TDdeString ------------------------------------------------------------------

TDdeString::TDdeString(DWORD AInstance, const std::string& Text) noexcept : FInstance(AInstance)
{
    // DDEML answers no handle for an empty text; Valid() tells the caller.
    if (!Text.empty())
        FHandle = DdeCreateStringHandleA(AInstance, Text.c_str(), CP_WINANSI);
}

TDdeString::TDdeString(TDdeString&& Other) noexcept
    : FInstance(Other.FInstance), FHandle(std::exchange(Other.FHandle, nullptr))
{
}

TDdeString& TDdeString::operator=(TDdeString&& Other) noexcept
{
    if (this != &Other) {
        Reset();
        FInstance = Other.FInstance;
        FHandle = std::exchange(Other.FHandle, nullptr);
    }
    return *this;
}

void TDdeString::Reset() noexcept
{
    if (HSZ H = std::exchange(FHandle, nullptr))
        DdeFreeStringHandle(FInstance, H);
}

// ---- TDdeClientConv --------------------------------------------------------------

static const fw_Classes::TEnumInfo DataModeInfo{"TDataMode", {"ddeAutomatic", "ddeManual"}};

static void DefineDdeClientConv(fw_Classes::TPropertyBuilder<TDdeClientConv>& B)
{
    B.Enum<TDataMode>("ConnectMode", DataModeInfo, &TDdeClientConv::ConnectMode, &TDdeClientConv::SetConnectMode,
                      TDataMode::ddeAutomatic)
        .String("DdeService", &TDdeClientConv::DdeService, &TDdeClientConv::SetService)
        .String("DdeTopic", &TDdeClientConv::DdeTopic, &TDdeClientConv::SetTopic);
}

FW_DEFINE_CLASS(TDdeClientConv, TComponent, fw_Classes::CreateComponent<TDdeClientConv>, DefineDdeClientConv)

// A client-only instance is told nothing it has to answer: the transactions
// are synchronous, and a partner's disconnect shows as the next one failing.
static HDDEDATA CALLBACK ClientCallback(UINT, UINT, HCONV, HSZ, HSZ, HDDEDATA, ULONG_PTR, ULONG_PTR) { return nullptr; }

TDdeClientConv::TDdeClientConv(TComponent* AOwner) : TComponent(AOwner) {}

// The members end the conversation, then the instance (see their order).
TDdeClientConv::~TDdeClientConv() = default;

void TDdeClientConv::SetService(const std::string& Value)
{
    if (Value != FService) {
        CloseLink();
        FService = Value;
    }
}

void TDdeClientConv::SetTopic(const std::string& Value)
{
    if (Value != FTopic) {
        CloseLink();
        FTopic = Value;
    }
}

void TDdeClientConv::NoteError()
{
    FLastError = FInstance ? DdeGetLastError(FInstance.Get()) : DMLERR_DLL_NOT_INITIALIZED;
}

bool TDdeClientConv::OpenLink()
{
    if (Connected())
        return true;
    FLastError = DMLERR_NO_ERROR;
    if (!FInstance) {
        UINT Rc = DdeInitializeA(FInstance.Receive(), ClientCallback, APPCMD_CLIENTONLY, 0);
        if (Rc != DMLERR_NO_ERROR) {
            FInstance.Release(); // nothing was made: there is nothing to uninitialize
            FLastError = Rc;
            return false;
        }
    }
    TDdeString Service(FInstance.Get(), FService), Topic(FInstance.Get(), FTopic);
    if (!Service.Valid() || !Topic.Valid()) {
        FLastError = DMLERR_INVALIDPARAMETER;
        return false;
    }
    FConversation.Reset(DdeConnect(FInstance.Get(), Service.Get(), Topic.Get(), nullptr));
    if (!FConversation) {
        NoteError();
        return false;
    }
    return true;
}

void TDdeClientConv::CloseLink() { FConversation.Reset(); }

bool TDdeClientConv::EnsureLink()
{
    if (Connected())
        return true;
    if (FConnectMode == TDataMode::ddeAutomatic)
        return OpenLink();
    FLastError = DMLERR_NO_CONV_ESTABLISHED;
    return false;
}

bool TDdeClientConv::ExecuteMacro(const std::string& Macro)
{
    if (!EnsureLink())
        return false;
    FLastError = DMLERR_NO_ERROR;
    // The terminating zero is part of the data: the server reads up to it.
    auto* Bytes = reinterpret_cast<BYTE*>(const_cast<char*>(Macro.c_str()));
    HDDEDATA Rc = DdeClientTransaction(Bytes, DWORD(Macro.size() + 1), FConversation.Get(), nullptr, CF_TEXT,
                                       XTYP_EXECUTE, TransactionTimeout, nullptr);
    // An execute answers TRUE, not a data handle: nothing to free.
    if (!Rc) {
        NoteError();
        return false;
    }
    return true;
}

bool TDdeClientConv::RequestData(const std::string& Item, std::string& Data)
{
    Data.clear();
    if (!EnsureLink())
        return false;
    FLastError = DMLERR_NO_ERROR;
    TDdeString ItemName(FInstance.Get(), Item);
    if (!ItemName.Valid()) {
        FLastError = DMLERR_INVALIDPARAMETER;
        return false;
    }
    TDdeData Answer(DdeClientTransaction(nullptr, 0, FConversation.Get(), ItemName.Get(), CF_TEXT, XTYP_REQUEST,
                                         TransactionTimeout, nullptr));
    if (!Answer) {
        NoteError();
        return false;
    }
    DWORD Size = DdeGetData(Answer.Get(), nullptr, 0, 0);
    std::string Bytes(Size, '\0');
    if (Size > 0 && DdeGetData(Answer.Get(), reinterpret_cast<BYTE*>(Bytes.data()), Size, 0) != Size) {
        NoteError();
        return false;
    }
    // CF_TEXT ends at its zero; whatever the server allocated beyond is not text.
    Data = Bytes.substr(0, Bytes.find('\0'));
    return true;
}

std::string TDdeClientConv::ErrorText(UINT Code)
{
    struct TName {
        UINT Code;
        const char* Name;
    };
    static const TName Names[] = {
        {DMLERR_NO_ERROR, "DMLERR_NO_ERROR"},
        {DMLERR_ADVACKTIMEOUT, "DMLERR_ADVACKTIMEOUT"},
        {DMLERR_BUSY, "DMLERR_BUSY"},
        {DMLERR_DATAACKTIMEOUT, "DMLERR_DATAACKTIMEOUT"},
        {DMLERR_DLL_NOT_INITIALIZED, "DMLERR_DLL_NOT_INITIALIZED"},
        {DMLERR_DLL_USAGE, "DMLERR_DLL_USAGE"},
        {DMLERR_EXECACKTIMEOUT, "DMLERR_EXECACKTIMEOUT"},
        {DMLERR_INVALIDPARAMETER, "DMLERR_INVALIDPARAMETER"},
        {DMLERR_LOW_MEMORY, "DMLERR_LOW_MEMORY"},
        {DMLERR_MEMORY_ERROR, "DMLERR_MEMORY_ERROR"},
        {DMLERR_NOTPROCESSED, "DMLERR_NOTPROCESSED"},
        {DMLERR_NO_CONV_ESTABLISHED, "DMLERR_NO_CONV_ESTABLISHED"},
        {DMLERR_POKEACKTIMEOUT, "DMLERR_POKEACKTIMEOUT"},
        {DMLERR_POSTMSG_FAILED, "DMLERR_POSTMSG_FAILED"},
        {DMLERR_REENTRANCY, "DMLERR_REENTRANCY"},
        {DMLERR_SERVER_DIED, "DMLERR_SERVER_DIED"},
        {DMLERR_SYS_ERROR, "DMLERR_SYS_ERROR"},
        {DMLERR_UNADVACKTIMEOUT, "DMLERR_UNADVACKTIMEOUT"},
        {DMLERR_UNFOUND_QUEUE_ID, "DMLERR_UNFOUND_QUEUE_ID"},
    };
    for (const TName& N : Names)
        if (N.Code == Code)
            return N.Name;
    return fw_SysUtils::Format("DDE error 0x%.4x", {Code});
}

} // namespace fw_DDE
