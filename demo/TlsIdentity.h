#pragma once
// A throwaway certificate authority and a server certificate it signed, made in memory for
// local test sites: clients trust the authority (a CA bundle file) and check the host names.

#include <string>
#include <vector>

namespace tallyvane::demo {

struct TlsIdentity {
  std::string authorityPem;    // the CA certificate, for the client's CA bundle
  std::string certificatePem;  // the server's certificate
  std::string keyPem;          // the server's private key
};

// The server certificate names every host given (an IPv4 address as an IP entry) and is valid
// from an hour ago for thirty days. Keys are P-256, so making one takes milliseconds.
TlsIdentity makeTlsIdentity(const std::vector<std::string>& hostNames);

}  // namespace tallyvane::demo
