#include "app/ApplicationShell.h"
#include "platform/gl/DriverLock.h"

int main(int argc, char** argv) {
#ifdef NDEBUG
    // A user's window goes on past a break of the lock order, which is logged; the test programs, and a
    // build with assertions, still stop on one.
    platform::gl::lock_order::setOnBreak(platform::gl::lock_order::OnBreak::Log);
#endif
    return runApplication(argc, argv);
}
