#include "system/cmp_TProgramManager.h"
