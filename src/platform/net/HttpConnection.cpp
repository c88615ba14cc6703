#include "platform/net/HttpConnection.h"

#include "platform/net/HttpStreamError.h"
#include "platform/net/TrustStore.h"

#include <QHostAddress>

#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include <poll.h>
#include <sys/socket.h>

#include <cerrno>
#include <memory>

namespace platform::net {

namespace {

Error posixError(int code) {
    return makeStreamError(kPosixErrorDomain, code, QString::fromLocal8Bit(strerror(code)));
}

qint64 statusForVerifyResult(long result) {
    switch (result) {
    case X509_V_ERR_CERT_HAS_EXPIRED:
        return TlsCertificateExpired;
    case X509_V_ERR_CERT_NOT_YET_VALID:
        return TlsCertificateNotYetValid;
    case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT:
    case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN:
        return TlsNoRoot;
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT:
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY:
        return TlsUnknownRoot;
    default:
        return TlsChainInvalid;
    }
}

QString openSslReason() {
    const unsigned long code = ERR_peek_last_error();
    ERR_clear_error();
    if (!code)
        return QStringLiteral("the handshake failed");
    char text[256];
    ERR_error_string_n(code, text, sizeof text);
    return QString::fromLatin1(text);
}

template <typename T, void (*Free)(T*)>
using OpenSslPtr = std::unique_ptr<T, decltype([](T* p) { Free(p); })>;

bool useIdentity(SSL* ssl, const ClientIdentity& identity) {
    auto read = [](const QByteArray& pem) {
        return OpenSslPtr<BIO, BIO_free_all>(BIO_new_mem_buf(pem.constData(), int(pem.size())));
    };
    auto certificateBio = read(identity.certificate);
    OpenSslPtr<X509, X509_free> certificate(
        PEM_read_bio_X509(certificateBio.get(), nullptr, nullptr, nullptr));
    auto keyBio = read(identity.privateKey.isEmpty() ? identity.certificate : identity.privateKey);
    OpenSslPtr<EVP_PKEY, EVP_PKEY_free> key(PEM_read_bio_PrivateKey(keyBio.get(), nullptr, nullptr, nullptr));
    if (!certificate || !key || SSL_use_certificate(ssl, certificate.get()) != 1 ||
        SSL_use_PrivateKey(ssl, key.get()) != 1 || SSL_check_private_key(ssl) != 1)
        return false;
    for (const QByteArray& pem : identity.chain) {
        auto bio = read(pem);
        X509* link = PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr);
        if (!link || SSL_add0_chain_cert(ssl, link) != 1) {
            X509_free(link);
            return false;
        }
    }
    return true;
}

} // namespace

HttpConnection::HttpConnection(UniqueFd socket, Key key)
    : socket(std::move(socket)), madeFor(std::move(key)) {}

HttpConnection::~HttpConnection() {
    if (ssl)
        SSL_free(ssl);
}

bool HttpConnection::startTls(const QString& serverName, const TlsSettings& settings,
                              const NetworkEnvironment& environment, Error& error) {
    OpenSslPtr<SSL_CTX, SSL_CTX_free> context(SSL_CTX_new(TLS_client_method()));
    if (!context) {
        error = makeStreamError(kTlsErrorDomain, TlsProtocolError, openSslReason());
        return false;
    }
    SSL_CTX_set_min_proto_version(context.get(), TLS1_2_VERSION);
    // A server that drops the connection without a closing alert ends the body like a clear connection.
    SSL_CTX_set_options(context.get(), SSL_OP_IGNORE_UNEXPECTED_EOF);
    if (settings.validatesCertificate) {
        TrustStore::configure(context.get(), environment);
        SSL_CTX_set_verify(context.get(), SSL_VERIFY_PEER, nullptr);
    } else {
        SSL_CTX_set_verify(context.get(), SSL_VERIFY_NONE, nullptr);
    }
    ssl = SSL_new(context.get());
    SSL_set_fd(ssl, socket.get());
    const QByteArray name = serverName.toLatin1();
    const bool isAddress = !QHostAddress(serverName).isNull();
    if (!isAddress)
        SSL_set_tlsext_host_name(ssl, name.constData());
    if (settings.validatesCertificate) {
        X509_VERIFY_PARAM* parameters = SSL_get0_param(ssl);
        X509_VERIFY_PARAM_set_hostflags(parameters, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
        const int named = isAddress ? X509_VERIFY_PARAM_set1_ip_asc(parameters, name.constData())
                                    : X509_VERIFY_PARAM_set1_host(parameters, name.constData(), 0);
        if (named != 1) {
            error = makeStreamError(kTlsErrorDomain, TlsChainInvalid, QStringLiteral("Bad server name"));
            return false;
        }
    }
    if (!settings.identity.isEmpty() && !useIdentity(ssl, settings.identity)) {
        error = makeStreamError(
            kTlsErrorDomain, TlsBadCertificate,
            QStringLiteral("The client certificate could not be used: %1").arg(openSslReason()));
        return false;
    }
    SSL_set_connect_state(ssl);
    return true;
}

Error HttpConnection::handshakeError() const {
    const long verified = SSL_get_verify_result(ssl);
    if (verified != X509_V_OK)
        return makeStreamError(kTlsErrorDomain, statusForVerifyResult(verified),
                               QString::fromLatin1(X509_verify_cert_error_string(verified)));
    return makeStreamError(kTlsErrorDomain, TlsClosedAbort, openSslReason());
}

HttpConnection::Io HttpConnection::sslResult(int result, bool handshake) {
    Io io;
    if (result > 0) {
        io.bytes = handshake ? 0 : result;
        return io;
    }
    const int code = SSL_get_error(ssl, result);
    const int savedErrno = errno;
    switch (code) {
    case SSL_ERROR_WANT_READ:
        io.status = Io::WantRead;
        return io;
    case SSL_ERROR_WANT_WRITE:
        io.status = Io::WantWrite;
        return io;
    case SSL_ERROR_ZERO_RETURN:
        io.status = handshake ? Io::Failed : Io::Closed;
        if (handshake)
            io.error = handshakeError();
        return io;
    default:
        break;
    }
    io.status = Io::Failed;
    if (handshake)
        io.error = handshakeError();
    else if (code == SSL_ERROR_SYSCALL && savedErrno != 0)
        io.error = posixError(savedErrno);
    else if (code == SSL_ERROR_SYSCALL)
        io.status = Io::Closed;
    else
        io.error = makeStreamError(kTlsErrorDomain, TlsProtocolError, openSslReason());
    ERR_clear_error();
    return io;
}

HttpConnection::Io HttpConnection::continueHandshake() {
    ERR_clear_error();
    return sslResult(SSL_do_handshake(ssl), true);
}

HttpConnection::Io HttpConnection::read(char* buffer, qint64 max) {
    if (ssl) {
        ERR_clear_error();
        return sslResult(SSL_read(ssl, buffer, int(std::min<qint64>(max, 1 << 30))), false);
    }
    Io io;
    const ssize_t n = ::recv(socket.get(), buffer, size_t(max), 0);
    if (n > 0) {
        io.bytes = n;
    } else if (n == 0) {
        io.status = Io::Closed;
    } else if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) {
        io.status = Io::WantRead;
    } else {
        io.status = Io::Failed;
        io.error = posixError(errno);
    }
    return io;
}

HttpConnection::Io HttpConnection::write(const char* data, qint64 size) {
    if (ssl) {
        ERR_clear_error();
        return sslResult(SSL_write(ssl, data, int(std::min<qint64>(size, 1 << 30))), false);
    }
    Io io;
    const ssize_t n = ::send(socket.get(), data, size_t(size), MSG_NOSIGNAL);
    if (n >= 0) {
        io.bytes = n;
    } else if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) {
        io.status = Io::WantWrite;
    } else {
        io.status = Io::Failed;
        io.error = posixError(errno);
    }
    return io;
}

bool HttpConnection::hasBufferedBytes() const {
    return ssl && SSL_pending(ssl) > 0;
}

bool HttpConnection::isStillOpen() {
    pollfd waiting{socket.get(), POLLIN, 0};
    if (::poll(&waiting, 1, 0) < 0)
        return false;
    if (!(waiting.revents & (POLLIN | POLLHUP | POLLERR)))
        return true;
    if (waiting.revents & (POLLHUP | POLLERR))
        return false;
    char probe;
    if (!ssl)
        return false; // an end, or bytes nobody asked for
    const Io io = read(&probe, 1);
    return io.status == Io::WantRead;
}

} // namespace platform::net
