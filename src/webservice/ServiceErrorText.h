#pragma once

#include "platform/foundation/Error.h"

#include <QString>

// The one place that turns an error of the network, the sign-in or the service into a sentence for a person:
// the service's own words first (its error document, or the sign-in provider's reply), then the description
// the library that failed gave, then a sentence for the status or code, then what platform::errorDescription
// finds beneath it; an error nobody described at all gets platform::errorSentence's general sentence.
class ServiceErrorText {
public:
    static QString sentence(const platform::Error& error);
    // The sign-in provider's word for a refused token or sign-in ("invalid_grant"); empty when it gave none.
    static QString providerWord(const platform::Error& error);
    // Whether the provider refused a kept sign-in for good (its refresh token expired or was withdrawn).
    static bool isExpiredSignIn(const platform::Error& error);
};
