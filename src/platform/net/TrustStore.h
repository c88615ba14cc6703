#pragma once

#include "platform/net/NetworkEnvironment.h"

typedef struct ssl_ctx_st SSL_CTX;
typedef struct x509_store_st X509_STORE;

namespace platform::net {

// The certificate authorities both HTTP stacks trust: the system store, plus the bundle and folder the
// network environment names. This only says whom to trust; whether to verify is the stacks' own business
// (the fetcher always does; the second HTTP library unless one request asks otherwise for itself).
class TrustStore {
public:
    // Gives an OpenSSL context the trust of `environment` (replacing its store). Answers false when the
    // store could not be made; the context then trusts nobody, so every handshake fails safely.
    static bool configure(SSL_CTX* context, const NetworkEnvironment& environment);
    // The store for `environment`, with one reference for the caller (X509_STORE_free it). Stores are made
    // once per set of locations and shared.
    static X509_STORE* store(const NetworkEnvironment& environment);
};

} // namespace platform::net
