// How the certificates of https exchanges are checked beyond libcurl's own checks, and the WinINet
// error numbers of their failures.
#include <curl/curl.h>
#include <openssl/ssl.h>
#include <openssl/x509_vfy.h>
#include <strings.h>

#include "inet_internal.h"

namespace qp::inet {

namespace {

// A certificate passes when no usable revocation list of its issuer is known, as WinINet lets pass a
// certificate whose revocation cannot be checked; one that a known list names fails.
int PassUnknownRevocation(int ok, X509_STORE_CTX* context) {
    const int error = X509_STORE_CTX_get_error(context);
    if (!ok && (error == X509_V_ERR_UNABLE_TO_GET_CRL || error == X509_V_ERR_CRL_HAS_EXPIRED ||
                error == X509_V_ERR_CRL_NOT_YET_VALID)) {
        X509_STORE_CTX_set_error(context, X509_V_OK);
        return 1;
    }
    return ok;
}

CURLcode PrepareContext(CURL*, void* sslContext, void*) {
    auto* context = static_cast<SSL_CTX*>(sslContext);
    X509_VERIFY_PARAM_set_flags(SSL_CTX_get0_param(context), X509_V_FLAG_CRL_CHECK | X509_V_FLAG_CRL_CHECK_ALL);
    SSL_CTX_set_verify(context, SSL_CTX_get_verify_mode(context), &PassUnknownRevocation);
    return CURLE_OK;
}

bool Contains(const char* text, const char* part) { return text && strcasestr(text, part) != nullptr; }

}  // namespace

// The revocation lists come with the trusted certificates (a file may hold lists beside them, a
// folder holds them under their issuers' hashes, as OpenSSL keeps them).
void CheckRevocation(void* easy) {
    curl_easy_setopt(static_cast<CURL*>(easy), CURLOPT_SSL_CTX_FUNCTION, &PrepareContext);
}

DWORD CertificateError(void* easy, const char* message) {
    long verify = X509_V_OK;
    curl_easy_getinfo(static_cast<CURL*>(easy), CURLINFO_SSL_VERIFYRESULT, &verify);
    switch (verify) {
        case X509_V_ERR_CERT_NOT_YET_VALID:
        case X509_V_ERR_CERT_HAS_EXPIRED:
        case X509_V_ERR_ERROR_IN_CERT_NOT_BEFORE_FIELD:
        case X509_V_ERR_ERROR_IN_CERT_NOT_AFTER_FIELD: return ERROR_INTERNET_SEC_CERT_DATE_INVALID;
        case X509_V_ERR_HOSTNAME_MISMATCH:
        case X509_V_ERR_IP_ADDRESS_MISMATCH: return ERROR_INTERNET_SEC_CERT_CN_INVALID;
        case X509_V_ERR_CERT_REVOKED: return ERROR_INTERNET_SEC_CERT_REVOKED;
        case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT:
        case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY:
        case X509_V_ERR_UNABLE_TO_VERIFY_LEAF_SIGNATURE:
        case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT:
        case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN:
        case X509_V_ERR_CERT_UNTRUSTED: return ERROR_INTERNET_INVALID_CA;
        default: break;
    }
    if (Contains(message, "certificate has expired") || Contains(message, "not yet valid")) {
        return ERROR_INTERNET_SEC_CERT_DATE_INVALID;
    }
    if (Contains(message, "host name") || Contains(message, "subject name")) return ERROR_INTERNET_SEC_CERT_CN_INVALID;
    return ERROR_INTERNET_SEC_CERT_ERRORS;
}

}  // namespace qp::inet
