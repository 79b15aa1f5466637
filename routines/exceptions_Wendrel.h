// The exception classes shared by every part of the install engine.
#pragma once

#include "framework/fw_SysUtils.h"

#include <string>
#include <string_view>

namespace exceptions_Wendrel {

using fw_SysUtils::Exception;
using fw_SysUtils::TVarRecs;

// Conditions of an install run.
FW_EXCEPTION(EAI, Exception);

// The one signal of a user abort anywhere in the system.
class EAIUserAbort : public EAI {
public:
    using EAI::EAI;
    EAIUserAbort() : EAI("Installation aborted by the user") {}
};

FW_EXCEPTION(EAICannotExpandContainerDirMV, EAI);
FW_EXCEPTION(EAICannotExpandInstallDirMV, EAI);

// Abnormal conditions of the library.
FW_EXCEPTION(ECustomWendrelAbnormal, Exception);
FW_EXCEPTION(EWendrelAbnormal, ECustomWendrelAbnormal);
// The archive engine's failures keep their fixed texts; the system's error
// code of the failure that caused one (0 when none) travels beside it.
class EWdrlCompress : public EWendrelAbnormal {
public:
    explicit EWdrlCompress(std::string Msg, DWORD Code = 0) : EWendrelAbnormal(std::move(Msg)), ErrorCode(Code) {}
    EWdrlCompress(std::string_view Fmt, TVarRecs Args, DWORD Code = 0)
        : EWendrelAbnormal(fw_SysUtils::Format(Fmt, Args)), ErrorCode(Code)
    {
    }
    DWORD ErrorCode;
};
FW_EXCEPTION(EycDiskFull, EWdrlCompress);
FW_EXCEPTION(EycAborted, EWdrlCompress);
FW_EXCEPTION(EAPIRoutines, EWendrelAbnormal);

// The process-wide message translation. Until a translator installs itself
// every text passes unchanged.
using TTranslateMessageFunc = std::string (*)(const std::string& Text);
std::string TranslateMessage(const std::string& Text);
// Installs Func (nullptr: none) and answers the previous one.
TTranslateMessageFunc SetTranslateMessageFunc(TTranslateMessageFunc Func);

// Base of the components' exceptions: the message is translated when raised.
class IException : public ECustomWendrelAbnormal {
public:
    explicit IException(const std::string& Msg) : ECustomWendrelAbnormal(TranslateMessage(Msg)) {}
    IException(std::string_view Fmt, TVarRecs Args)
        : ECustomWendrelAbnormal(fw_SysUtils::Format(TranslateMessage(std::string(Fmt)), Args))
    {
    }
};

// Set once the user confirmed a Cancel; the download loop and the archive
// downloads stop when they see it. False at start.
extern bool UserAbortRequested;

FW_EXCEPTION(IEInstall, IException);
FW_EXCEPTION(IEInstallNetLocNil, IEInstall);
// The install library's folder is not on its search path.
FW_EXCEPTION(IENoWendrelPath, IException);

} // namespace exceptions_Wendrel
