#include "support/NetTestEnvironment.h"

#include "support/TestCertificateAuthority.h"

namespace test_support {

platform::net::NetworkEnvironment testNetworkEnvironment(bool trustTestCa) {
    platform::net::NetworkEnvironment environment = platform::net::NetworkEnvironment::direct();
    if (trustTestCa)
        environment.caFile = TestCertificateAuthority::shared().caFile();
    return environment;
}

} // namespace test_support
