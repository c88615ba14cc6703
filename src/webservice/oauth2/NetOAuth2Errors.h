#pragma once

// Error domain, codes, notification names and keys of the OAuth 2 sign-in.

#include "platform/net/UrlRequest.h"

#include <QMetaType>

#include <memory>

inline constexpr char kNetOAuth2ErrorDomain[] = "org.vistrelle.OAuth2";

enum : long long {
    kNetOAuth2ErrorWindowClosed = -1000,         // the user closed the sign-in before it ended
    kNetOAuth2ErrorAuthorizationFailed = -1001,  // no access token, or the provider refused
    kNetOAuth2ErrorUnauthorizableRequest = -1004 // a request in clear that must not carry the token
};

// User information keys of the errors.
inline constexpr char kNetOAuth2ErrorRequestKey[] = "request"; // the request (NetOAuth2RequestRef)
inline constexpr char kNetOAuth2ErrorJSONKey[] = "json";       // the provider's JSON reply
inline constexpr char kNetOAuth2ErrorMessageKey[] = "error";   // the provider's error word

inline constexpr char kNetOAuth2FetchStarted[] = "kNetOAuth2FetchStarted";
inline constexpr char kNetOAuth2FetchStopped[] = "kNetOAuth2FetchStopped";
inline constexpr char kNetOAuth2RefreshTokenChanged[] = "kNetOAuth2RefreshTokenChanged";
inline constexpr char kNetOAuth2UserSignedIn[] = "kNetOAuth2UserSignedIn";
inline constexpr char kNetOAuthNetworkLost[] = "kNetOAuthNetworkLost";
inline constexpr char kNetOAuthNetworkFound[] = "kNetOAuthNetworkFound";

// User information keys of the fetch notifications, and the fetch types.
inline constexpr char kNetOAuth2FetcherKey[] = "fetcher";
inline constexpr char kNetOAuth2FetchTypeKey[] = "FetchType";
inline constexpr char kNetOAuth2FetchTypeToken[] = "token";
inline constexpr char kNetOAuth2FetchTypeRefresh[] = "refresh";
inline constexpr char kNetOAuth2FetchTypeUserInfo[] = "userInfo";

using NetOAuth2RequestRef = std::shared_ptr<platform::net::UrlRequest>;
Q_DECLARE_METATYPE(NetOAuth2RequestRef)
