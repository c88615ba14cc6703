#include "support/TestCertificateAuthority.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include <atomic>
#include <cstdio>
#include <stdexcept>

namespace test_support {

namespace {

void addExtension(X509* certificate, X509* issuer, int nid, const char* value) {
    X509V3_CTX context;
    X509V3_set_ctx_nodb(&context);
    X509V3_set_ctx(&context, issuer, certificate, nullptr, nullptr, 0);
    X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &context, nid, value);
    if (!extension)
        throw std::runtime_error("test CA: bad extension");
    X509_add_ext(certificate, extension, -1);
    X509_EXTENSION_free(extension);
}

X509* newCertificate(EVP_PKEY* key, const char* commonName, long serial) {
    X509* certificate = X509_new();
    X509_set_version(certificate, 2);
    ASN1_INTEGER_set(X509_get_serialNumber(certificate), serial);
    X509_gmtime_adj(X509_getm_notBefore(certificate), -3600);
    X509_gmtime_adj(X509_getm_notAfter(certificate), 7L * 24 * 3600);
    X509_set_pubkey(certificate, key);
    X509_NAME* name = X509_get_subject_name(certificate);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>(commonName),
                               -1, -1, 0);
    return certificate;
}

} // namespace

TestCertificateAuthority& TestCertificateAuthority::shared() {
    static TestCertificateAuthority authority;
    return authority;
}

TestCertificateAuthority::TestCertificateAuthority() {
    caKey = EVP_EC_gen("P-256");
    caCertificate = newCertificate(caKey, "Vistrelle Test CA", 1);
    X509_set_issuer_name(caCertificate, X509_get_subject_name(caCertificate));
    addExtension(caCertificate, caCertificate, NID_basic_constraints, "critical,CA:TRUE");
    addExtension(caCertificate, caCertificate, NID_key_usage, "critical,keyCertSign,cRLSign");
    addExtension(caCertificate, caCertificate, NID_subject_key_identifier, "hash");
    X509_sign(caCertificate, caKey, EVP_sha256());

    QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/vistrelle-test-ca-XXXXXX"));
    dir.setAutoRemove(false);
    folder = dir.path();
    caPath = folder + QStringLiteral("/ca.pem");
    FILE* file = std::fopen(QFile::encodeName(caPath).constData(), "w");
    if (!file)
        throw std::runtime_error("test CA: cannot write the CA file");
    PEM_write_X509(file, caCertificate);
    std::fclose(file);
}

TestCertificateAuthority::~TestCertificateAuthority() {
    X509_free(caCertificate);
    EVP_PKEY_free(caKey);
    if (!folder.isEmpty())
        QDir(folder).removeRecursively();
}

X509* TestCertificateAuthority::issue(EVP_PKEY* subjectKey, const QStringList& dnsNames) const {
    static std::atomic<long> serial = 100;
    const QByteArray firstName = dnsNames.isEmpty() ? QByteArray("unnamed") : dnsNames.first().toLatin1();
    X509* certificate = newCertificate(subjectKey, firstName.constData(), ++serial);
    X509_set_issuer_name(certificate, X509_get_subject_name(caCertificate));
    QStringList alternatives;
    for (const QString& name : dnsNames)
        alternatives << QStringLiteral("DNS:") + name;
    addExtension(certificate, caCertificate, NID_basic_constraints, "critical,CA:FALSE");
    addExtension(certificate, caCertificate, NID_ext_key_usage, "serverAuth");
    addExtension(certificate, caCertificate, NID_authority_key_identifier, "keyid");
    if (!alternatives.isEmpty())
        addExtension(certificate, caCertificate, NID_subject_alt_name,
                     alternatives.join(u',').toLatin1().constData());
    X509_sign(certificate, caKey, EVP_sha256());
    return certificate;
}

std::shared_ptr<SSL_CTX> TestCertificateAuthority::makeServerContext(const QStringList& dnsNames) const {
    EVP_PKEY* key = EVP_EC_gen("P-256");
    X509* certificate = issue(key, dnsNames);
    std::shared_ptr<SSL_CTX> context(SSL_CTX_new(TLS_server_method()), SSL_CTX_free);
    SSL_CTX_set_min_proto_version(context.get(), TLS1_2_VERSION);
    SSL_CTX_use_certificate(context.get(), certificate);
    SSL_CTX_use_PrivateKey(context.get(), key);
    X509_free(certificate);
    EVP_PKEY_free(key);
    return context;
}

} // namespace test_support
