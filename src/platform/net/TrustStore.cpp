#include "platform/net/TrustStore.h"

#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <openssl/x509_vfy.h>

#include <QFile>

#include <map>
#include <memory>
#include <mutex>
#include <utility>

namespace platform::net {

namespace {

void loadFile(X509_STORE* store, const QString& path) {
    if (!path.isEmpty() && QFile::exists(path))
        X509_STORE_load_file(store, QFile::encodeName(path).constData());
}

void loadFolder(X509_STORE* store, const QString& path) {
    if (!path.isEmpty())
        X509_STORE_load_path(store, QFile::encodeName(path).constData());
}

X509_STORE* makeStore(const QString& extraFile, const QString& extraFolder) {
    X509_STORE* store = X509_STORE_new();
    if (!store)
        return nullptr;
    // The compiled-in locations, not SSL_CTX_set_default_verify_paths: that one lets SSL_CERT_FILE replace
    // the system store, where the environment's authorities are meant to come in addition to it.
    loadFile(store, QFile::decodeName(X509_get_default_cert_file()));
    loadFolder(store, QFile::decodeName(X509_get_default_cert_dir()));
    loadFile(store, extraFile);
    loadFolder(store, extraFolder);
    ERR_clear_error(); // missing locations are not errors; an empty store simply trusts nobody
    return store;
}

} // namespace

X509_STORE* TrustStore::store(const NetworkEnvironment& environment) {
    static std::mutex mutex;
    using Store = std::unique_ptr<X509_STORE, decltype(&X509_STORE_free)>;
    static std::map<std::pair<QString, QString>, Store> stores;
    std::lock_guard lock(mutex);
    const auto key = std::make_pair(environment.caFile, environment.caDirectory);
    auto found = stores.find(key);
    if (found == stores.end()) {
        X509_STORE* made = makeStore(environment.caFile, environment.caDirectory);
        if (!made)
            return nullptr;
        found = stores.emplace(key, Store(made, X509_STORE_free)).first;
    }
    X509_STORE_up_ref(found->second.get());
    return found->second.get();
}

bool TrustStore::configure(SSL_CTX* context, const NetworkEnvironment& environment) {
    X509_STORE* shared = store(environment);
    if (!shared) {
        SSL_CTX_set_cert_store(context, X509_STORE_new());
        return false;
    }
    SSL_CTX_set1_cert_store(context, shared);
    X509_STORE_free(shared);
    return true;
}

} // namespace platform::net
