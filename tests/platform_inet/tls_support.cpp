// Keys and certificates made with OpenSSL at run time, the fake server's TLS streams, temporary files.
#include "tls_support.h"

#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>
#include <unistd.h>

#include <csignal>

#include <atomic>
#include <cstdlib>
#include <stdexcept>

namespace tls_support {

namespace {

using KeyPtr = std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)>;
using CertPtr = std::unique_ptr<X509, decltype(&X509_free)>;

void Check(bool ok, const char* what) {
    if (!ok) throw std::runtime_error(std::string("OpenSSL failed: ") + what);
}

KeyPtr NewKey() {
    KeyPtr key(EVP_EC_gen("P-256"), &EVP_PKEY_free);
    Check(key != nullptr, "key");
    return key;
}

void AddExtension(X509* cert, X509* issuer, int nid, const std::string& value) {
    X509V3_CTX context;
    X509V3_set_ctx_nodb(&context);
    X509V3_set_ctx(&context, issuer, cert, nullptr, nullptr, 0);
    X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &context, nid, value.c_str());
    Check(extension != nullptr, "extension");
    X509_add_ext(cert, extension, -1);
    X509_EXTENSION_free(extension);
}

std::string AltNames(const std::vector<std::string>& dnsNames) {
    std::string altNames;
    for (const std::string& dns : dnsNames) altNames += (altNames.empty() ? "DNS:" : ",DNS:") + dns;
    return altNames;
}

// A certificate for `key` named `commonName`; self-signed when no issuer is given.
CertPtr MakeCertificate(EVP_PKEY* key, const std::string& commonName, X509* issuer, EVP_PKEY* issuerKey,
                        long fromDays, long toDays, bool authority, const std::string& altNames) {
    static std::atomic<long> serial{1000};
    CertPtr cert(X509_new(), &X509_free);
    Check(cert != nullptr, "certificate");
    X509_set_version(cert.get(), 2);
    ASN1_INTEGER_set(X509_get_serialNumber(cert.get()), serial++);
    X509_gmtime_adj(X509_getm_notBefore(cert.get()), fromDays * 86400);
    X509_gmtime_adj(X509_getm_notAfter(cert.get()), toDays * 86400);
    X509_set_pubkey(cert.get(), key);
    X509_NAME* name = X509_get_subject_name(cert.get());
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>(commonName.c_str()),
                               -1, -1, 0);
    X509* signer = issuer ? issuer : cert.get();
    X509_set_issuer_name(cert.get(), X509_get_subject_name(signer));
    if (authority) {
        AddExtension(cert.get(), signer, NID_basic_constraints, "critical,CA:TRUE");
        AddExtension(cert.get(), signer, NID_key_usage, "critical,keyCertSign,cRLSign");
    } else {
        AddExtension(cert.get(), signer, NID_basic_constraints, "CA:FALSE");
        AddExtension(cert.get(), signer, NID_ext_key_usage, "serverAuth");
        AddExtension(cert.get(), signer, NID_subject_alt_name, altNames);
    }
    Check(X509_sign(cert.get(), issuerKey ? issuerKey : key, EVP_sha256()) > 0, "sign");
    return cert;
}

std::string ToPem(X509* cert) {
    BIO* bio = BIO_new(BIO_s_mem());
    PEM_write_bio_X509(bio, cert);
    char* data = nullptr;
    const long size = BIO_get_mem_data(bio, &data);
    std::string pem(data, size_t(size));
    BIO_free(bio);
    return pem;
}

std::string ToPem(EVP_PKEY* key) {
    BIO* bio = BIO_new(BIO_s_mem());
    PEM_write_bio_PrivateKey(bio, key, nullptr, nullptr, 0, nullptr, nullptr);
    char* data = nullptr;
    const long size = BIO_get_mem_data(bio, &data);
    std::string pem(data, size_t(size));
    BIO_free(bio);
    return pem;
}

class TlsStream : public fakes::Stream {
public:
    explicit TlsStream(SSL* ssl) : m_ssl(ssl) {}
    ~TlsStream() override {
        SSL_shutdown(m_ssl);
        SSL_free(m_ssl);
    }
    long Read(void* buffer, size_t size) override {
        const int n = SSL_read(m_ssl, buffer, int(size));
        return n > 0 ? long(n) : (SSL_get_error(m_ssl, n) == SSL_ERROR_ZERO_RETURN ? 0 : -1);
    }
    bool Write(const void* data, size_t size) override {
        const char* p = static_cast<const char*>(data);
        while (size) {
            const int n = SSL_write(m_ssl, p, int(size));
            if (n <= 0) return false;
            p += n;
            size -= size_t(n);
        }
        return true;
    }

private:
    SSL* m_ssl;
};

}  // namespace

struct Authority::Impl {
    KeyPtr key{nullptr, &EVP_PKEY_free};
    CertPtr cert{nullptr, &X509_free};
};

Authority::Authority(const std::string& name) : m_impl(std::make_unique<Impl>()) {
    m_impl->key = NewKey();
    m_impl->cert = MakeCertificate(m_impl->key.get(), name, nullptr, nullptr, -1, 365, true, std::string());
    m_identity.certificatePem = ToPem(m_impl->cert.get());
    m_identity.keyPem = ToPem(m_impl->key.get());
}

Authority::~Authority() = default;

Identity Authority::Issue(const std::vector<std::string>& dnsNames, int fromDays, int toDays) const {
    KeyPtr key = NewKey();
    CertPtr cert = MakeCertificate(key.get(), dnsNames.empty() ? "server" : dnsNames[0], m_impl->cert.get(),
                                   m_impl->key.get(), fromDays, toDays, false, AltNames(dnsNames));
    return Identity{ToPem(cert.get()), ToPem(key.get())};
}

std::string Authority::RevocationListPem(const std::vector<Identity>& revoked) const {
    std::unique_ptr<X509_CRL, decltype(&X509_CRL_free)> list(X509_CRL_new(), &X509_CRL_free);
    Check(list != nullptr, "revocation list");
    X509_CRL_set_version(list.get(), 1);
    X509_CRL_set_issuer_name(list.get(), X509_get_subject_name(m_impl->cert.get()));
    std::unique_ptr<ASN1_TIME, decltype(&ASN1_TIME_free)> from(X509_gmtime_adj(nullptr, -86400), &ASN1_TIME_free);
    std::unique_ptr<ASN1_TIME, decltype(&ASN1_TIME_free)> to(X509_gmtime_adj(nullptr, 30 * 86400), &ASN1_TIME_free);
    X509_CRL_set1_lastUpdate(list.get(), from.get());
    X509_CRL_set1_nextUpdate(list.get(), to.get());
    for (const Identity& identity : revoked) {
        BIO* bio = BIO_new_mem_buf(identity.certificatePem.data(), int(identity.certificatePem.size()));
        CertPtr cert(PEM_read_bio_X509(bio, nullptr, nullptr, nullptr), &X509_free);
        BIO_free(bio);
        Check(cert != nullptr, "revoked certificate");
        X509_REVOKED* entry = X509_REVOKED_new();
        X509_REVOKED_set_serialNumber(entry, X509_get_serialNumber(cert.get()));
        X509_REVOKED_set_revocationDate(entry, from.get());
        X509_CRL_add0_revoked(list.get(), entry);
    }
    X509_CRL_sort(list.get());
    Check(X509_CRL_sign(list.get(), m_impl->key.get(), EVP_sha256()) > 0, "sign revocation list");
    BIO* bio = BIO_new(BIO_s_mem());
    PEM_write_bio_X509_CRL(bio, list.get());
    char* data = nullptr;
    const long size = BIO_get_mem_data(bio, &data);
    std::string pem(data, size_t(size));
    BIO_free(bio);
    return pem;
}

Identity SelfSigned(const std::vector<std::string>& dnsNames) {
    KeyPtr key = NewKey();
    CertPtr cert = MakeCertificate(key.get(), dnsNames.empty() ? "server" : dnsNames[0], nullptr, nullptr, -1, 30,
                                   false, AltNames(dnsNames));
    return Identity{ToPem(cert.get()), ToPem(key.get())};
}

fakes::StreamFactory TlsStreams(const Identity& identity) {
    // OpenSSL writes to the socket with write(); a client that hung up must not end the test process.
    std::signal(SIGPIPE, SIG_IGN);
    std::shared_ptr<SSL_CTX> context(SSL_CTX_new(TLS_server_method()), &SSL_CTX_free);
    Check(context != nullptr, "context");
    BIO* certBio = BIO_new_mem_buf(identity.certificatePem.data(), int(identity.certificatePem.size()));
    X509* cert = PEM_read_bio_X509(certBio, nullptr, nullptr, nullptr);
    BIO_free(certBio);
    BIO* keyBio = BIO_new_mem_buf(identity.keyPem.data(), int(identity.keyPem.size()));
    EVP_PKEY* key = PEM_read_bio_PrivateKey(keyBio, nullptr, nullptr, nullptr);
    BIO_free(keyBio);
    Check(cert && key, "identity");
    Check(SSL_CTX_use_certificate(context.get(), cert) == 1 && SSL_CTX_use_PrivateKey(context.get(), key) == 1,
          "use identity");
    X509_free(cert);
    EVP_PKEY_free(key);
    return [context](int socket) -> std::unique_ptr<fakes::Stream> {
        SSL* ssl = SSL_new(context.get());
        if (!ssl) return nullptr;
        SSL_set_fd(ssl, socket);
        if (SSL_accept(ssl) != 1) {
            SSL_free(ssl);
            ERR_clear_error();
            return nullptr;
        }
        return std::make_unique<TlsStream>(ssl);
    };
}

TempFile::TempFile(const std::string& text) {
    char path[] = "/tmp/quarnels-inet-XXXXXX";
    const int fd = mkstemp(path);
    Check(fd >= 0, "temporary file");
    const bool written = write(fd, text.data(), text.size()) == ssize_t(text.size());
    close(fd);
    m_path = path;
    Check(written, "temporary file");
}

TempFile::~TempFile() { unlink(m_path.c_str()); }

}  // namespace tls_support
