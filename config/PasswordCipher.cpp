#include "config/PasswordCipher.h"

#include <openssl/core_names.h>
#include <openssl/evp.h>

#include <array>
#include <memory>
#include <optional>
#include <vector>

#include "base/Text.h"

namespace tallyvane {
namespace {

// Tallyvane's own constants. Changing them makes every stored password unreadable.
constexpr std::array<unsigned char, 32> kKey = {0x54, 0x61, 0x6c, 0x6c, 0x79, 0x76, 0x61, 0x6e, 0x65, 0x2d, 0x70,
                                                0x72, 0x6f, 0x78, 0x79, 0x2d, 0x6b, 0x65, 0x79, 0x9e, 0x41, 0x07,
                                                0xd3, 0x5c, 0x28, 0xb1, 0x6f, 0xe4, 0x90, 0x13, 0x7a, 0xc2};
constexpr std::array<unsigned char, 16> kIv = {0x1f, 0x8b, 0x3c, 0x77, 0xa0, 0x5e, 0xd9, 0x42,
                                               0x66, 0x0b, 0xc5, 0x2e, 0x91, 0x7d, 0xf3, 0x08};
constexpr std::u16string_view kPrefix = u"TvProxy#1";  // 9 characters: the input is never under 16 bytes
constexpr size_t kBlockBytes = 16;

struct ContextDeleter {
  void operator()(EVP_CIPHER_CTX* context) const { EVP_CIPHER_CTX_free(context); }
};
struct CipherDeleter {
  void operator()(EVP_CIPHER* cipher) const { EVP_CIPHER_free(cipher); }
};

// AES-256-CBC with ciphertext stealing, variant CS3 (the Kerberos one: the last two blocks are
// always swapped), so the output is exactly as long as the input.
std::optional<std::vector<unsigned char>> runCipher(const std::vector<unsigned char>& input, bool encipher) {
  if (input.size() < kBlockBytes) return std::nullopt;
  std::unique_ptr<EVP_CIPHER, CipherDeleter> cipher(EVP_CIPHER_fetch(nullptr, "AES-256-CBC-CTS", nullptr));
  std::unique_ptr<EVP_CIPHER_CTX, ContextDeleter> context(EVP_CIPHER_CTX_new());
  if (!cipher || !context) return std::nullopt;
  char mode[] = "CS3";
  const OSSL_PARAM params[] = {OSSL_PARAM_construct_utf8_string(OSSL_CIPHER_PARAM_CTS_MODE, mode, 0),
                               OSSL_PARAM_construct_end()};
  if (EVP_CipherInit_ex2(context.get(), cipher.get(), kKey.data(), kIv.data(), encipher ? 1 : 0, params) != 1) {
    return std::nullopt;
  }
  std::vector<unsigned char> output(input.size() + kBlockBytes);
  int written = 0, finalWritten = 0;
  // Ciphertext stealing needs the whole message in one update.
  if (EVP_CipherUpdate(context.get(), output.data(), &written, input.data(), static_cast<int>(input.size())) != 1 ||
      EVP_CipherFinal_ex(context.get(), output.data() + written, &finalWritten) != 1) {
    return std::nullopt;
  }
  output.resize(static_cast<size_t>(written + finalWritten));
  if (output.size() != input.size()) return std::nullopt;
  return output;
}

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace

std::string encipherPassword(std::string_view password) {
  std::u16string text(kPrefix);
  text += utf16FromUtf8(password);
  text.push_back(u'\0');
  std::vector<unsigned char> bytes;
  bytes.reserve(text.size() * 2);
  for (const char16_t unit : text) {
    bytes.push_back(static_cast<unsigned char>(unit & 0xFF));
    bytes.push_back(static_cast<unsigned char>(unit >> 8));
  }
  const auto enciphered = runCipher(bytes, true);
  if (!enciphered) return {};
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string hex;
  hex.reserve(enciphered->size() * 2);
  for (const unsigned char byte : *enciphered) {
    hex.push_back(kDigits[byte >> 4]);
    hex.push_back(kDigits[byte & 0xF]);
  }
  return hex;
}

std::string decipherPassword(std::string_view stored) {
  const size_t n = stored.size() / 2;
  std::vector<unsigned char> bytes(n);
  for (size_t i = 0; i < n; ++i) {
    const int high = hexValue(stored[2 * i]);
    const int low = hexValue(stored[2 * i + 1]);
    if (high < 0 || low < 0) return {};
    bytes[i] = static_cast<unsigned char>(high << 4 | low);
  }
  const auto deciphered = runCipher(bytes, false);
  if (!deciphered) return {};
  // Read as zero-terminated UTF-16LE, never past the bytes there are.
  std::u16string text;
  for (size_t i = 0; i + 1 < deciphered->size(); i += 2) {
    const auto unit = static_cast<char16_t>((*deciphered)[i] | ((*deciphered)[i + 1] << 8));
    if (unit == u'\0') break;
    text.push_back(unit);
  }
  if (text.size() < kPrefix.size()) return {};
  return utf8FromUtf16(std::u16string_view(text).substr(kPrefix.size()));
}

}  // namespace tallyvane
