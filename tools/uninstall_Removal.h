// Removing one product by its uninstall record.
#pragma once

#include "tools/uninstall_Record.h"

#include <string>
#include <vector>

namespace uninstall_Removal {

struct TOutcome {
    // What could not be removed, one line each: the program ends with
    // ecFailed when there is any.
    std::vector<std::wstring> Problems;
    // What was left on purpose (entries refused as unsafe, a shared file
    // whose count cannot be read): reported, not a failure.
    std::vector<std::wstring> Notes;
    // Files (this program among them) that were in use and are removed when
    // the computer restarts.
    bool RestartPending = false;
};

// Removes what Record lists, in this order: the self-registered servers are
// unregistered; the recorded files are deleted (shared ones only when their
// count ends); the recorded registry values are deleted, with their keys
// while empty; the folders that held removed files go while empty; this
// program and its folder are scheduled for removal at the next restart when
// they belong to the product; last the record itself is deleted. A failing
// step is noted and the rest still done.
TOutcome RemoveProduct(const uninstall_Record::TRecord& Record);

} // namespace uninstall_Removal
