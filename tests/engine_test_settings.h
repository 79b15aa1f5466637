// What every test program that has the install engine sets before its first
// install root.
#pragma once

#include "engine/cmp_TInstall.h"

namespace engine_test_settings {

inline void Use()
{
    // Test programs run side by side and make install roots of the same
    // product; the one-run-per-product rule has a test of its own.
    cmp_TInstall::TCustomInstall::SingleRunPerProduct = false;
    // A run that ends with a restart asks for it; under Wine the real request
    // ends the session of every test running beside this one.
    cmp_TInstall::TCustomInstall::RequestRestart = [](UINT, DWORD) { return TRUE; };
}

} // namespace engine_test_settings
