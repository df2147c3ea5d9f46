// Certificates made at run time and a TLS layer for the fake HTTP server.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "tests/fakes/http_server.h"

namespace tls_support {

// A key and its certificate, both PEM.
struct Identity {
    std::string certificatePem;
    std::string keyPem;
};

// A certificate authority that signs server certificates.
class Authority {
public:
    explicit Authority(const std::string& name);
    ~Authority();
    Authority(const Authority&) = delete;
    Authority& operator=(const Authority&) = delete;

    const std::string& CertificatePem() const { return m_identity.certificatePem; }
    // A server certificate for the DNS names, valid from `fromDays` to `toDays` days from now.
    Identity Issue(const std::vector<std::string>& dnsNames, int fromDays = -1, int toDays = 30) const;
    // A current revocation list (PEM) of this authority that names the certificates given.
    std::string RevocationListPem(const std::vector<Identity>& revoked) const;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
    Identity m_identity;
};

// A server certificate for the DNS names that signs itself.
Identity SelfSigned(const std::vector<std::string>& dnsNames);

// Serves TLS with the identity on every accepted connection (null when the handshake fails).
fakes::StreamFactory TlsStreams(const Identity& identity);

// Writes text to a new temporary file and gives its path; the file is removed by the destructor.
class TempFile {
public:
    explicit TempFile(const std::string& text);
    ~TempFile();
    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
};

}  // namespace tls_support
