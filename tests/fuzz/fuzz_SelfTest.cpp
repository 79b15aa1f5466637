// A family whose reader fails in every bad way on some inputs: the loop
// must count each, write its case and go on after a crash or a hang.
#include "FuzzHarness.h"

#include <windows.h>

#include <memory>
#include <numeric>

using namespace fuzz;

namespace {

TOutcome Run(const std::string& Input, std::string& Message)
{
    // FNV-1a: each bad end comes up about once in 41 cases.
    const uint32_t Sum = std::accumulate(Input.begin(), Input.end(), 2166136261u,
                                         [](uint32_t A, char C) { return (A ^ (unsigned char)C) * 16777619u; });
    switch (Sum % 41) {
    case 0:
        *static_cast<volatile int*>(nullptr) = 1;
        break;
    case 1:
        Sleep(INFINITE);
        break;
    case 2:
        throw std::logic_error("not the reader's own");
    case 3: {
        std::unique_ptr<char[]> Huge(new char[size_t(1) << 31]);
        Message = std::to_string(Huge[size_t(Sum)]); // kept: not optimised away
        break;
    }
    case 4:
        throw TFault(TOutcome::Outside, "wrote beside its target");
    }
    Message = "read";
    return Sum % 2 ? TOutcome::CleanFailure : TOutcome::SuccessChecked;
}

} // namespace

int main(int argc, char** argv)
{
    TFamily Family;
    Family.Name = "selftest";
    Family.MakeSeeds = [] {
        TSeed Seed;
        Seed.Bytes = "Quorvane 1.0.2.9 by Caldrevin";
        Seed.Text = true;
        return std::vector<TSeed>{Seed};
    };
    Family.Run = Run;
    return Main(argc, argv, Family);
}
