#pragma once

#include "platform/net/NetworkEnvironment.h"

namespace test_support {

// The network set-up of a test: never the machine's proxies (a developer's "https_proxy" must not change a
// result), and trust in the test certificate authority unless a test says otherwise.
platform::net::NetworkEnvironment testNetworkEnvironment(bool trustTestCa = true);

// Holds that set-up for a scope (a fixture member, usually).
class NetTestEnvironment {
public:
    explicit NetTestEnvironment(bool trustTestCa = true) : scope(testNetworkEnvironment(trustTestCa)) {}

private:
    platform::net::ScopedNetworkEnvironment scope;
};

} // namespace test_support
