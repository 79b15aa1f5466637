#include "routines/exceptions_Wendrel.h"

namespace exceptions_Wendrel {

namespace {
TTranslateMessageFunc TranslateFunc = nullptr;
}

bool UserAbortRequested = false;

std::string TranslateMessage(const std::string& Text) { return TranslateFunc ? TranslateFunc(Text) : Text; }

TTranslateMessageFunc SetTranslateMessageFunc(TTranslateMessageFunc Func)
{
    TTranslateMessageFunc Old = TranslateFunc;
    TranslateFunc = Func;
    return Old;
}

} // namespace exceptions_Wendrel
