// How long 5,000 lines take to reach a language: as the project sets them
// (one bulk change) and, for comparison, line by line.
#include "translate/cmp_TTranslator.h"

#include <cstdio>

using namespace cmp_TTranslator;

namespace {

double Seconds(LARGE_INTEGER From, LARGE_INTEGER To)
{
    LARGE_INTEGER F;
    QueryPerformanceFrequency(&F);
    return double(To.QuadPart - From.QuadPart) / double(F.QuadPart);
}

} // namespace

int main()
{
    std::vector<std::string> Lines;
    for (int I = 0; I < 5000; ++I)
        Lines.push_back(std::to_string(I + 1) + ";Text number " + std::to_string(I));
    TTranslator T(nullptr);
    LARGE_INTEGER A, B, C;
    QueryPerformanceCounter(&A);
    T.Language(wlFrench)->SetStrings(Lines);
    QueryPerformanceCounter(&B);
    TLangFormatStrings* S = T.Language(wlGerman)->Strings();
    for (int I = 0; I < 1000; ++I)
        S->Add(Lines[size_t(I)]);
    QueryPerformanceCounter(&C);
    std::printf("5000 lines as one change: %.1f ms, %zu entries\n", Seconds(A, B) * 1000.0,
                T.Language(wlFrench)->StringEntries().size());
    std::printf("1000 lines added one by one (a parse each): %.1f ms\n", Seconds(B, C) * 1000.0);
    return 0;
}
