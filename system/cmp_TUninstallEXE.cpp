#include "system/cmp_TUninstallEXE.h"
