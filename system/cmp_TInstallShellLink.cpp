#include "system/cmp_TInstallShellLink.h"
