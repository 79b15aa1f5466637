#include "routines/routines_Strings.h"

namespace routines_Strings {

std::string IncludeTrailingBackslash(std::string_view S)
{
    std::string R(S);
    if (R.empty() || R.back() != '\\')
        R += '\\';
    return R;
}

std::string ExcludeTrailingBackslash(std::string_view S)
{
    if (!S.empty() && S.back() == '\\')
        S.remove_suffix(1);
    return std::string(S);
}

std::string GetToken(std::string_view S, int N, std::string_view Separator)
{
    if (N < 1)
        return std::string();
    size_t Start = 0;
    for (int I = 1; I < N; ++I) {
        size_t P = Separator.empty() ? std::string_view::npos : S.find(Separator, Start);
        if (P == std::string_view::npos)
            return std::string();
        Start = P + Separator.size();
    }
    size_t End = Separator.empty() ? std::string_view::npos : S.find(Separator, Start);
    return std::string(S.substr(Start, End == std::string_view::npos ? std::string_view::npos : End - Start));
}

int TokenCount(std::string_view S, std::string_view Separator)
{
    if (Separator.empty())
        return S.empty() ? 0 : 1;
    int Count = 0;
    for (size_t P = S.find(Separator); P != std::string_view::npos; P = S.find(Separator, P + Separator.size()))
        ++Count;
    bool EndsWithSeparator = S.size() >= Separator.size() && S.substr(S.size() - Separator.size()) == Separator;
    return EndsWithSeparator ? Count : Count + 1;
}

void SplitToList(std::string_view S, std::string_view Separator, fw_Classes::TStrings& List)
{
    List.BeginUpdate();
    List.Clear();
    size_t Start = 0;
    while (!Separator.empty()) {
        size_t P = S.find(Separator, Start);
        if (P == std::string_view::npos)
            break;
        List.Add(std::string(S.substr(Start, P - Start)));
        Start = P + Separator.size();
    }
    if (Start < S.size() || Separator.empty())
        List.Add(std::string(S.substr(Start)));
    List.EndUpdate();
}

std::string StripDrive(std::string_view S)
{
    size_t P = S.find(':');
    return std::string(P == std::string_view::npos ? S : S.substr(P + 1));
}

std::string MakeValidName(std::string_view S)
{
    std::string R;
    R.reserve(S.size());
    for (char C : S) {
        if (C == '/')
            R += '-';
        else if (std::string_view("\"*:;<>?\\|").find(C) == std::string_view::npos)
            R += C;
    }
    return R;
}

} // namespace routines_Strings
