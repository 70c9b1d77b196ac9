// main() of every test program. A test program that leaves through exit() in the middle of its
// run (a path under test reaching quitDemo) would otherwise end with status 0 and skip every test
// after it: here that counts as a failure. Built with K3L_TEST_GL, the tests also get a current
// offscreen OpenGL context (Mesa through EGL, no window) of GL_TEST_WIDTH x GL_TEST_HEIGHT.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#ifdef K3L_TEST_GL
#include "platform/offscreen_gl.h"
#include "support/gl_test.h"
#endif

namespace {
// Whether every test ran: set once RUN_ALL_TESTS returns, read by the exit guard.
bool finished = false;

// Runs at exit: an exit before the tests finished fails the program.
void guardEarlyExit()
{
    if (!finished) {
        std::fputs("FAILED: the test program exited before its tests finished\n", stderr);
        _exit(1);
    }
}
}  // namespace

#ifdef K3L_TEST_GL
std::vector<uint8_t> readPixels()
{
    std::vector<uint8_t> pixels(static_cast<size_t>(offscreenWidth()) * offscreenHeight() * 4);
    readOffscreenPixels(pixels.data());
    return pixels;
}
#endif

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    // Death tests start a fresh process instead of forking: the GL driver and the player run threads.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const bool listing = GTEST_FLAG_GET(list_tests);
    if (GTEST_FLAG_GET(internal_run_death_test).empty() && !listing) {
        std::atexit(guardEarlyExit);
    }
#ifdef K3L_TEST_GL
    if (!listing && !createOffscreenGL(GL_TEST_WIDTH, GL_TEST_HEIGHT)) {
        std::fprintf(stderr, "no offscreen OpenGL context (Mesa EGL surfaceless)\n");
        return 1;
    }
#endif
    const int status = RUN_ALL_TESTS();
    finished = true;
    return status;
}
