#include "demo/TlsIdentity.h"

#include <arpa/inet.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <memory>
#include <stdexcept>

namespace tallyvane::demo {
namespace {

using Key = std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)>;
using Certificate = std::unique_ptr<X509, decltype(&X509_free)>;

void require(bool ok, const char* what) {
  if (!ok) throw std::runtime_error(std::string("cannot make the test certificate: ") + what);
}

Key newKey() {
  Key key(EVP_EC_gen("P-256"), EVP_PKEY_free);
  require(key != nullptr, "key");
  return key;
}

void addExtension(X509* certificate, X509* issuer, int nid, const std::string& value) {
  X509V3_CTX context;
  X509V3_set_ctx(&context, issuer, certificate, nullptr, nullptr, 0);
  X509_EXTENSION* extension = X509V3_EXT_nconf_nid(nullptr, &context, nid, value.c_str());
  require(extension != nullptr, "extension");
  X509_add_ext(certificate, extension, -1);
  X509_EXTENSION_free(extension);
}

Certificate newCertificate(EVP_PKEY* key, const char* commonName, long serial) {
  Certificate certificate(X509_new(), X509_free);
  require(certificate != nullptr, "certificate");
  X509_set_version(certificate.get(), 2);
  ASN1_INTEGER_set(X509_get_serialNumber(certificate.get()), serial);
  X509_gmtime_adj(X509_getm_notBefore(certificate.get()), -3600);
  X509_gmtime_adj(X509_getm_notAfter(certificate.get()), 30L * 24 * 3600);
  X509_set_pubkey(certificate.get(), key);
  X509_NAME* name = X509_get_subject_name(certificate.get());
  X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>(commonName), -1, -1, 0);
  return certificate;
}

template <typename Write>
std::string pemOf(Write write) {
  const std::unique_ptr<BIO, decltype(&BIO_free)> bio(BIO_new(BIO_s_mem()), BIO_free);
  require(bio && write(bio.get()), "PEM");
  char* data = nullptr;
  const long length = BIO_get_mem_data(bio.get(), &data);
  return std::string(data, static_cast<size_t>(length));
}

std::string subjectAltNames(const std::vector<std::string>& hostNames) {
  std::string names;
  for (const std::string& host : hostNames) {
    in_addr address{};
    if (!names.empty()) names += ",";
    names += (::inet_pton(AF_INET, host.c_str(), &address) == 1 ? "IP:" : "DNS:") + host;
  }
  return names;
}

}  // namespace

TlsIdentity makeTlsIdentity(const std::vector<std::string>& hostNames) {
  const Key authorityKey = newKey();
  const Certificate authority = newCertificate(authorityKey.get(), "Tallyvane Test Authority", 1);
  X509_set_issuer_name(authority.get(), X509_get_subject_name(authority.get()));
  addExtension(authority.get(), authority.get(), NID_basic_constraints, "critical,CA:TRUE");
  addExtension(authority.get(), authority.get(), NID_key_usage, "critical,keyCertSign,cRLSign");
  addExtension(authority.get(), authority.get(), NID_subject_key_identifier, "hash");
  require(X509_sign(authority.get(), authorityKey.get(), EVP_sha256()) > 0, "signing the authority");

  const Key serverKey = newKey();
  const Certificate server = newCertificate(serverKey.get(), hostNames.empty() ? "localhost" : hostNames[0].c_str(), 2);
  X509_set_issuer_name(server.get(), X509_get_subject_name(authority.get()));
  addExtension(server.get(), authority.get(), NID_basic_constraints, "critical,CA:FALSE");
  addExtension(server.get(), authority.get(), NID_ext_key_usage, "serverAuth");
  addExtension(server.get(), authority.get(), NID_authority_key_identifier, "keyid");
  if (!hostNames.empty()) addExtension(server.get(), authority.get(), NID_subject_alt_name, subjectAltNames(hostNames));
  require(X509_sign(server.get(), authorityKey.get(), EVP_sha256()) > 0, "signing the server");

  TlsIdentity identity;
  identity.authorityPem = pemOf([&](BIO* bio) { return PEM_write_bio_X509(bio, authority.get()) == 1; });
  identity.certificatePem = pemOf([&](BIO* bio) { return PEM_write_bio_X509(bio, server.get()) == 1; });
  identity.keyPem = pemOf([&](BIO* bio) {
    return PEM_write_bio_PrivateKey(bio, serverKey.get(), nullptr, nullptr, 0, nullptr, nullptr) == 1;
  });
  return identity;
}

}  // namespace tallyvane::demo
