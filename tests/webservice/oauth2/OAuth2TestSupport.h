#pragma once

#include "support/FakeOAuth2Provider.h"
#include "support/OAuth2TestFakes.h"
#include "webservice/FetcherTestSupport.h"
#include "webservice/oauth2/NetOAuth2Authentication.h"
#include "webservice/oauth2/NetOAuth2SignIn.h"

namespace oauth2_test {

using namespace fetcher_test;
using test_support::FakeOAuth2Provider;

inline constexpr char kClientID[] = "508314729066.desktop-clients.id.invalid";
inline constexpr char kClientSecret[] = "Rt7vQm2LpW9xZc4NbH6sJd3F";

// The provider on the loopback server, the sign-in's outside world faked, and a clock the test moves.
class OAuth2Test : public FetcherTest {
protected:
    FakeOAuth2Provider provider{server};
    test_support::OAuth2TestScope scope;
    std::shared_ptr<platform::ManualClock> clock = std::make_shared<platform::ManualClock>();

    // An account as the keychain restores it: a refresh token, no access token.
    std::shared_ptr<NetOAuth2Authentication> restoredAuthentication() {
        auto auth =
            NetOAuth2SignIn::standardProviderAuthenticationForScope(QString(), kClientID, kClientSecret);
        auth->setRefreshToken(QString::fromLatin1(FakeOAuth2Provider::kRefreshToken));
        auth->setClock(clock);
        return auth;
    }
};

} // namespace oauth2_test
