#include <gtest/gtest.h>

#ifdef WENDREL_TESTS_USE_ENGINE
#include "engine_test_settings.h"
#endif

int main(int argc, char** argv)
{
#ifdef WENDREL_TESTS_USE_ENGINE
    engine_test_settings::Use();
#endif
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
