#include "Internal.h"

#include <array>

namespace cmp_TInstallContainer {

namespace {

std::array<bool, UniqueIDCount>& UniqueIDs()
{
    static std::array<bool, UniqueIDCount> Flags{};
    return Flags;
}

} // namespace

bool ValidUniqueID(int ID) { return ID >= 0 && ID < UniqueIDCount; }

bool UniqueIDTaken(int ID) { return ValidUniqueID(ID) && UniqueIDs()[size_t(ID)]; }

void SetUniqueIDFlag(int ID, bool Taken)
{
    if (ValidUniqueID(ID))
        UniqueIDs()[size_t(ID)] = Taken;
}

int TakeFreeUniqueID()
{
    auto& Flags = UniqueIDs();
    for (int N = 0; N < UniqueIDCount; ++N)
        if (!Flags[size_t(N)]) {
            Flags[size_t(N)] = true;
            return N;
        }
    return -1;
}

// The number taken at creation is given back as soon as the project names
// its own, so that flags of files that live outside this project stay set.
void TCustomInstallFile::SetUniqueID(int Value)
{
    if (FOwnsUniqueIDFlag)
        SetUniqueIDFlag(FUniqueID, false);
    FOwnsUniqueIDFlag = false;
    FUniqueID = Value;
    if (!IsLoading() && ValidUniqueID(Value)) {
        SetUniqueIDFlag(Value, true);
        FOwnsUniqueIDFlag = true;
    }
}

} // namespace cmp_TInstallContainer
