#include <gtest/gtest.h>

#include "common/AppError.h"
#include "common/HexBytes.h"
#include "platform/PortClaim.h"
#include "station/Signing.h"
#include "support/TempFolder.h"

namespace {

// A key pair on disk signs what only its public half, or the secret file
// itself, verifies; anything else is refused by name.
TEST(Signing, KeyFilesSignAndVerifyAndNothingElseDoes) {
    TempFolder folder;
    const std::string key = folder / "bench.key";
    generateKeyFiles(key);
    EXPECT_THROW(generateKeyFiles(key), AppError);  // never overwritten
    const SecretKey secret = readSecretKey(key);
    const PublicKey fromPublic = readPublicKey(key + ".pub");
    EXPECT_EQ(readPublicKey(key).bytes, fromPublic.bytes);
    EXPECT_EQ(fromPublic.id().size(), 16u);
    const std::string message = "tarvel-checkpoint 1\n";
    const std::string signature = signatureHex(secret, message);
    EXPECT_TRUE(signatureHolds(fromPublic, message, signature));
    EXPECT_FALSE(signatureHolds(fromPublic, "tarvel-checkpoint 2\n", signature));
    EXPECT_FALSE(signatureHolds(fromPublic, message, signature.substr(2)));
    generateKeyFiles(folder / "other.key");
    EXPECT_FALSE(signatureHolds(readPublicKey(folder / "other.key.pub"), message, signature));
    writeFile(folder / "junk.key", "tarvel-key 1 ed25519 zz\n");
    EXPECT_THROW(readPublicKey(folder / "junk.key"), AppError);
    EXPECT_THROW(readSecretKey(key + ".pub"), AppError);
    EXPECT_NE(randomId(), randomId());
    EXPECT_EQ(randomId().size(), 32u);
}

TEST(HexBytes, ReadsBackWhatItWritesAndRefusesTheRest) {
    const std::string bytes("\x00\x1f\xa0\xff", 4);
    EXPECT_EQ(lowercaseHex(bytes), "001fa0ff");
    EXPECT_EQ(bytesFromHex("001FA0ff"), bytes);
    for (const char* broken : {"0", "0g", "zz", "001"})
        EXPECT_FALSE(bytesFromHex(broken)) << broken;
}

// One claim per device: the second is told who holds it, and gets it once
// the first lets go.
TEST(PortClaim, ASecondClaimHearsWhoHoldsTheDevice) {
    TempFolder folder;
    auto first = platform::claimPort(folder.path(), "COM7", "the station of tech for CNV-07");
    ASSERT_TRUE(first.claim) << first.reason;
    const auto second = platform::claimPort(folder.path(), "COM7", "another");
    EXPECT_FALSE(second.claim);
    EXPECT_EQ(second.heldBy, "the station of tech for CNV-07");
    EXPECT_TRUE(platform::claimPort(folder.path(), "COM8", "another").claim);
    first.claim.reset();
    EXPECT_TRUE(platform::claimPort(folder.path(), "COM7", "another").claim);
}

}  // namespace
