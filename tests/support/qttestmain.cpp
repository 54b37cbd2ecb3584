// The main of the test programs that use Qt: the tests' verdict is the exit code, and the way out
// skips Qt Multimedia's exit-time teardown as the window program does.
#include <gtest/gtest.h>

#include "playback/exitwithoutteardown.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    ExitWithoutTeardown(RUN_ALL_TESTS());
}
