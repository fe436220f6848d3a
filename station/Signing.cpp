#include "station/Signing.h"

#include <sodium.h>

#include "common/AppError.h"
#include "common/HexBytes.h"
#include "common/Sha256.h"
#include "platform/FileSystem.h"

namespace {

constexpr const char* kSecretHeader = "tarvel-key 1 ed25519-secret ";
constexpr const char* kPublicHeader = "tarvel-key 1 ed25519 ";

void ensureSodium() {
    if (sodium_init() < 0)
        throw AppError("the cryptography library cannot start");
}

const unsigned char* bytesOf(const std::string& text) {
    return reinterpret_cast<const unsigned char*>(text.data());
}

// The key bytes of a key file's one line with this header, or nothing.
std::optional<std::string> keyBytes(const std::string& text, const std::string& header,
                                    std::size_t size) {
    std::string line = text;
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
    if (line.compare(0, header.size(), header) != 0)
        return std::nullopt;
    const auto bytes = bytesFromHex(std::string_view(line).substr(header.size()));
    if (!bytes || bytes->size() != size)
        return std::nullopt;
    return bytes;
}

std::string readKeyFile(const std::string& file) {
    std::string message;
    const auto text = platform::readFileContents(file, &message);
    if (!text)
        throw AppError(message);
    return *text;
}

}  // namespace

std::string PublicKey::id() const {
    return sha256Hex(bytes).substr(0, 16);
}

PublicKey SecretKey::publicKey() const {
    unsigned char publicBytes[crypto_sign_PUBLICKEYBYTES];
    crypto_sign_ed25519_sk_to_pk(publicBytes, bytesOf(bytes));
    return {std::string(reinterpret_cast<const char*>(publicBytes), sizeof publicBytes)};
}

void generateKeyFiles(const std::string& file) {
    ensureSodium();
    unsigned char publicBytes[crypto_sign_PUBLICKEYBYTES];
    unsigned char secretBytes[crypto_sign_SECRETKEYBYTES];
    crypto_sign_keypair(publicBytes, secretBytes);
    const std::string secret(reinterpret_cast<const char*>(secretBytes), sizeof secretBytes);
    sodium_memzero(secretBytes, sizeof secretBytes);
    const std::string publicKey(reinterpret_cast<const char*>(publicBytes), sizeof publicBytes);
    std::string reason;
    if (!platform::writeNewFile(file, kSecretHeader + lowercaseHex(secret) + "\n", &reason, 0600))
        throw AppError("Cannot write " + file + ": " + reason);
    if (!platform::writeNewFile(file + ".pub", kPublicHeader + lowercaseHex(publicKey) + "\n",
                                &reason))
        throw AppError("Cannot write " + file + ".pub: " + reason);
}

SecretKey readSecretKey(const std::string& file) {
    const auto bytes = keyBytes(readKeyFile(file), kSecretHeader, crypto_sign_SECRETKEYBYTES);
    if (!bytes)
        throw AppError(file + " is no secret key of tarvel-cli keygen");
    return {*bytes};
}

PublicKey readPublicKey(const std::string& file) {
    const std::string text = readKeyFile(file);
    if (const auto bytes = keyBytes(text, kPublicHeader, crypto_sign_PUBLICKEYBYTES))
        return {*bytes};
    if (const auto bytes = keyBytes(text, kSecretHeader, crypto_sign_SECRETKEYBYTES))
        return SecretKey{*bytes}.publicKey();
    throw AppError(file + " is no key of tarvel-cli keygen");
}

std::string signatureHex(const SecretKey& key, std::string_view message) {
    ensureSodium();
    unsigned char signature[crypto_sign_BYTES];
    crypto_sign_detached(signature, nullptr, reinterpret_cast<const unsigned char*>(message.data()),
                         message.size(), bytesOf(key.bytes));
    return lowercaseHex({reinterpret_cast<const char*>(signature), sizeof signature});
}

bool signatureHolds(const PublicKey& key, std::string_view message, std::string_view signature) {
    ensureSodium();
    const auto bytes = bytesFromHex(signature);
    return bytes && bytes->size() == crypto_sign_BYTES &&
           key.bytes.size() == crypto_sign_PUBLICKEYBYTES &&
           crypto_sign_verify_detached(bytesOf(*bytes),
                                       reinterpret_cast<const unsigned char*>(message.data()),
                                       message.size(), bytesOf(key.bytes)) == 0;
}

std::string randomId() {
    ensureSodium();
    unsigned char bytes[16];
    randombytes_buf(bytes, sizeof bytes);
    return lowercaseHex({reinterpret_cast<const char*>(bytes), sizeof bytes});
}
