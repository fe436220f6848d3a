#include "common/Sha256.h"

#include <sodium.h>

#include "common/HexBytes.h"

std::string sha256Hex(std::string_view bytes) {
    // libsodium picks the fastest implementation the processor has at its
    // first use; the call is cheap and safe from any thread afterwards.
    [[maybe_unused]] static const int ready = sodium_init();
    unsigned char digest[crypto_hash_sha256_BYTES];
    crypto_hash_sha256(digest, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
    return lowercaseHex({reinterpret_cast<const char*>(digest), sizeof digest});
}
