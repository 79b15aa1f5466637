#include "tools/loader_Failure.h"

namespace loader_Failure {

ELoader::ELoader(TExitCode ACode, std::wstring AText) : Code(ACode), Text(std::move(AText)), FNarrow(Narrow(Text)) {}

std::wstring Widen(std::string_view Utf8)
{
    if (Utf8.empty())
        return {};
    const int N = MultiByteToWideChar(CP_UTF8, 0, Utf8.data(), int(Utf8.size()), nullptr, 0);
    std::wstring Wide(size_t(N), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, Utf8.data(), int(Utf8.size()), Wide.data(), N);
    return Wide;
}

std::string Narrow(std::wstring_view Wide)
{
    if (Wide.empty())
        return {};
    const int N = WideCharToMultiByte(CP_UTF8, 0, Wide.data(), int(Wide.size()), nullptr, 0, nullptr, nullptr);
    std::string Utf8(size_t(N), '\0');
    WideCharToMultiByte(CP_UTF8, 0, Wide.data(), int(Wide.size()), Utf8.data(), N, nullptr, nullptr);
    return Utf8;
}

std::wstring SystemReason(DWORD Code)
{
    wchar_t Buffer[512] = {};
    const DWORD N = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, Code, 0, Buffer,
                                   DWORD(std::size(Buffer)), nullptr);
    std::wstring Text(Buffer, N);
    while (!Text.empty() && (Text.back() == L'\n' || Text.back() == L'\r' || Text.back() == L' '))
        Text.pop_back();
    if (Text.empty())
        Text = L"system error " + std::to_wstring(Code);
    return Text;
}

} // namespace loader_Failure
