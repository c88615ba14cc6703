// The driver-call check (support/DriverCallCheck.cpp) in the render tests: a test's own thread is checked as
// the product's threads are, so a part of the player that enters the driver there without the lock fails the
// test that calls it.
#include "RenderTestSupport.h"

#include "platform/gl/DriverLock.h"
#include "support/ThreadReports.h"

#include <string>
#include <vector>

using DriverCallCheckInARenderTest = RenderTest;

TEST_F(DriverCallCheckInARenderTest, ACallIntoTheDriverOnTheTestsThreadWithoutTheLockFailsTheTest) {
    makeTarget(8, 8);
    const auto clear = [] { glClear(GL_COLOR_BUFFER_BIT); };
    {
        const platform::gl::DriverLock driver;
        EXPECT_EQ(reportsOf(clear), std::vector<std::string>()) << "under the lock";
    }
    const std::vector<std::string> unlocked = reportsOf(clear);
    ASSERT_EQ(unlocked.size(), 1u);
    EXPECT_NE(unlocked[0].find("glClear was called on a thread that does not hold the GL driver lock"),
              std::string::npos)
        << unlocked[0];
}
