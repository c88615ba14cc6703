#pragma once

// The driver-call check of the test programs that draw (DriverCallCheck.cpp).

namespace test_support {

// While it lives, the GL and EGL calls of the thread that made it pass the check without the driver lock: for
// a fixture whose tests draw on their own thread, with the product's parts that the product's drawers call
// under the lock, between the product's own calls. Every other thread, and this one before and after, stays
// checked.
class UncheckedDrawingHere {
public:
    UncheckedDrawingHere();
    ~UncheckedDrawingHere();
    UncheckedDrawingHere(const UncheckedDrawingHere&) = delete;
    UncheckedDrawingHere& operator=(const UncheckedDrawingHere&) = delete;
};

} // namespace test_support
