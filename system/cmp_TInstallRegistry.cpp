#include "system/cmp_TInstallRegistry.h"
