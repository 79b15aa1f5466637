// What the files of the install tree share and nothing outside uses.
#pragma once

#include "engine/cmp_TInstallContainer.h"
#include "engine/cmp_TPathSpecifier.h"

namespace cmp_TInstallContainer {

template <class T>
T* SharedSpecifier()
{
    return cmp_TPathSpecifier::StandardPathSpecifiers().Find<T>();
}

// Reports Code with PO to the container of Sender, when it has one.
inline void ReportUp(TInstallObject* Sender, int Code, TObject* PO)
{
    if (TInstallContainer* Container = Sender->Container())
        Container->DoInformationEventControl(Sender, Code, PO);
}

// Runs Body, then Finally also when Body raised. Finally may raise itself
// (it tells helpers that an operation ended), which a scope guard's
// destructor must not; its error then goes on in place of Body's.
template <class B, class F>
void TryFinally(B&& Body, F&& Finally)
{
    try {
        Body();
    } catch (...) {
        Finally();
        throw;
    }
    Finally();
}

// The UniqueID flags of the live install files.
bool ValidUniqueID(int ID);
void SetUniqueIDFlag(int ID, bool Taken);
// The lowest free number, now taken; -1 when every number is taken.
int TakeFreeUniqueID();

} // namespace cmp_TInstallContainer
