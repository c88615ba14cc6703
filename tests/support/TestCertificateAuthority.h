#pragma once

#include <QString>
#include <QStringList>

#include <memory>

typedef struct ssl_ctx_st SSL_CTX;
typedef struct x509_st X509;
typedef struct evp_pkey_st EVP_PKEY;

namespace test_support {

// A certificate authority made with OpenSSL when a test first needs it, trusted by nobody but the tests
// that hand its certificate to the network layer (through `caFile()`). Keys are P-256, made fresh in each
// test process; nothing is read from or left on disk beyond the CA's PEM file in a temporary folder.
class TestCertificateAuthority {
public:
    static TestCertificateAuthority& shared();

    // The CA's certificate as a PEM file, to trust it.
    QString caFile() const { return caPath; }
    // A TLS server context whose certificate, signed by this CA, names `dnsNames` (and nothing else: a client
    // that asks for 127.0.0.1 by address gets a name mismatch).
    std::shared_ptr<SSL_CTX> makeServerContext(const QStringList& dnsNames = {
                                                   QStringLiteral("localhost")}) const;

    ~TestCertificateAuthority();

private:
    TestCertificateAuthority();
    X509* issue(EVP_PKEY* subjectKey, const QStringList& dnsNames) const;

    EVP_PKEY* caKey = nullptr;
    X509* caCertificate = nullptr;
    QString folder;
    QString caPath;
};

} // namespace test_support
