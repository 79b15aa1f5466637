#include <gtest/gtest.h>

#ifdef WENDREL_TESTS_USE_ENGINE
#include "engine/cmp_TInstall.h"
#endif

int main(int argc, char** argv)
{
#ifdef WENDREL_TESTS_USE_ENGINE
    // Test programs run side by side and make install roots of the same
    // product; the one-run-per-product rule has a test of its own.
    cmp_TInstall::TCustomInstall::SingleRunPerProduct = false;
    // A run that ends with a restart asks for it; under Wine the real request
    // ends the session of every test running beside this one.
    cmp_TInstall::TCustomInstall::RequestRestart = [](UINT, DWORD) { return TRUE; };
#endif
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
