// The dialogs' start-up: the form registries and the classes a project text
// may name, made in one fixed order by one call (a static library keeps no
// start-up code of its own that nothing refers to, and start-up across files
// has no order).
#pragma once

namespace dialogs_Start {

// Starts every unit of the dialogs once; later calls do nothing.
void StartDialogUnits();

} // namespace dialogs_Start
