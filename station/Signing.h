#pragma once

#include <string>
#include <string_view>

// Ed25519 keys that sign the log's checkpoints, as files of one line each:
// the secret key "tarvel-key 1 ed25519-secret <128 hex digits>" (mode 0600)
// and the public key "tarvel-key 1 ed25519 <64 hex digits>" in FILE.pub.
struct PublicKey {
    std::string bytes;  // 32
    // The first 16 hex digits of the SHA-256 of its bytes.
    std::string id() const;
};

struct SecretKey {
    std::string bytes;  // 64, as libsodium keeps a signing key
    PublicKey publicKey() const;
};

// Makes a key pair into file and file.pub; refuses a file that exists.
// Raises AppError.
void generateKeyFiles(const std::string& file);

// The key in a secret key file; raises AppError naming the file.
SecretKey readSecretKey(const std::string& file);
// The public key of a public or a secret key file; raises AppError.
PublicKey readPublicKey(const std::string& file);

// The signature of message, in hex, and whether one holds.
std::string signatureHex(const SecretKey& key, std::string_view message);
bool signatureHolds(const PublicKey& key, std::string_view message, std::string_view signature);

// 128 random bits in hex, as a log's id.
std::string randomId();
