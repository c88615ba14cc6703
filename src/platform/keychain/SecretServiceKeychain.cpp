#include "platform/keychain/SecretServiceKeychain.h"

#include <condition_variable>
#include <mutex>
#include <thread>

// GLib's headers name struct members "signals", which Qt defines as a keyword macro.
#pragma push_macro("signals")
#undef signals
#include <libsecret/secret.h>
#pragma pop_macro("signals")

namespace platform::keychain {

namespace {

const SecretSchema* schema() {
    static const SecretSchema passwordSchema = {"org.vistrelle.Vistrelle.GenericPassword",
                                                SECRET_SCHEMA_NONE,
                                                {
                                                    {"service", SECRET_SCHEMA_ATTRIBUTE_STRING},
                                                    {"account", SECRET_SCHEMA_ATTRIBUTE_STRING},
                                                    {nullptr, SECRET_SCHEMA_ATTRIBUTE_STRING},
                                                },
                                                0,
                                                nullptr,
                                                nullptr,
                                                nullptr,
                                                nullptr,
                                                nullptr,
                                                nullptr,
                                                nullptr};
    return &passwordSchema;
}

// Owns a GError for one call.
struct CallError {
    GError* error = nullptr;
    ~CallError() {
        if (error)
            g_error_free(error);
    }
    bool failed() const { return error != nullptr; }
};

// Cancels `cancellable` unless told the work finished within the deadline.
class Deadline {
public:
    Deadline(GCancellable* cancellable, int milliseconds)
        : watcher([this, cancellable, milliseconds] {
              std::unique_lock lock(mutex);
              if (!changed.wait_for(lock, std::chrono::milliseconds(milliseconds), [this] { return done; }))
                  g_cancellable_cancel(cancellable);
          }) {}
    ~Deadline() {
        {
            std::lock_guard lock(mutex);
            done = true;
        }
        changed.notify_all();
        watcher.join();
    }

private:
    std::mutex mutex;
    std::condition_variable changed;
    bool done = false;
    std::thread watcher;
};

bool probe(int deadlineMs) {
    GCancellable* cancellable = g_cancellable_new();
    SecretService* service = nullptr;
    {
        Deadline deadline(cancellable, deadlineMs);
        CallError call;
        service = secret_service_get_sync(SECRET_SERVICE_OPEN_SESSION, cancellable, &call.error);
        if (call.failed() && service) {
            g_object_unref(service);
            service = nullptr;
        }
    }
    g_object_unref(cancellable);
    if (!service)
        return false;
    g_object_unref(service);
    return true;
}

} // namespace

bool SecretServiceKeychain::isAvailable(int deadlineMs) {
    static const bool available = probe(deadlineMs);
    return available;
}

Status SecretServiceKeychain::findGenericPassword(const QString& service, const QString& account,
                                                  QByteArray* password) {
    CallError call;
    SecretValue* value = secret_password_lookup_binary_sync(schema(), nullptr, &call.error, "service",
                                                            service.toUtf8().constData(), "account",
                                                            account.toUtf8().constData(), nullptr);
    if (call.failed()) {
        if (value)
            secret_value_unref(value);
        return Status::Failed;
    }
    if (!value)
        return Status::ItemNotFound;
    gsize length = 0;
    const gchar* bytes = secret_value_get(value, &length);
    if (password)
        *password = QByteArray(bytes, qsizetype(length));
    secret_value_unref(value);
    return Status::Success;
}

Status SecretServiceKeychain::addGenericPassword(const QString& service, const QString& account,
                                                 const QByteArray& password) {
    SecretValue* value = secret_value_new(password.constData(), password.size(), "application/octet-stream");
    const QByteArray label = QStringLiteral("Vistrelle: %1").arg(service).toUtf8();
    CallError call;
    const gboolean stored = secret_password_store_binary_sync(
        schema(), SECRET_COLLECTION_DEFAULT, label.constData(), value, nullptr, &call.error, "service",
        service.toUtf8().constData(), "account", account.toUtf8().constData(), nullptr);
    secret_value_unref(value);
    return stored && !call.failed() ? Status::Success : Status::Failed;
}

Status SecretServiceKeychain::deleteGenericPassword(const QString& service, const QString& account) {
    CallError call;
    const gboolean deleted =
        secret_password_clear_sync(schema(), nullptr, &call.error, "service", service.toUtf8().constData(),
                                   "account", account.toUtf8().constData(), nullptr);
    if (call.failed())
        return Status::Failed;
    return deleted ? Status::Success : Status::ItemNotFound;
}

} // namespace platform::keychain
