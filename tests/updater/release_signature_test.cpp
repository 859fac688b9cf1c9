// Release signatures: keys and signatures made here agree with OpenSSL used
// directly (Ed25519 signatures are deterministic), any change of file,
// signature or key is caught, keys are never overwritten, and the database
// version of a folder is read as the loader reads it.

#include "updater/release_signature.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "support/release_keys.h"
#include "support/temp_dir.h"
#include "updater/release_version.h"

namespace veldan::updater {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

class ReleaseSignatureTest : public ::testing::Test {
  protected:
    void SetUp() override {
        keys_ = test::MakeReleaseKeys();
        privatePath_ = tmp_.Write("release.key", keys_.privatePem).string();
        publicPath_ = tmp_.Write("release.pub", keys_.publicPem).string();
        archive_ =
            tmp_.Write("bin.zip", std::string("PK\x03\x04 release bytes\0\xff", 20)).string();
    }

    TempDir tmp_;
    test::ReleaseKeys keys_;
    std::string privatePath_, publicPath_, archive_;
};

TEST_F(ReleaseSignatureTest, SignsAsOpenSslDoesAndVerifies) {
    std::string signature;
    ASSERT_EQ(SignReleaseFile(privatePath_, archive_, signature), kSignatureOk);
    EXPECT_EQ(signature.size(), kSignatureSize);
    EXPECT_EQ(signature, test::SignRelease(keys_, tmp_.Read("bin.zip")));
    EXPECT_EQ(VerifyReleaseFile(publicPath_, archive_, signature), kSignatureOk);
}

TEST_F(ReleaseSignatureTest, EveryChangeIsCaught) {
    const std::string bytes = tmp_.Read("bin.zip");
    const std::string good = test::SignRelease(keys_, bytes);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        std::string changed = bytes;
        changed[i] ^= 0x80;
        EXPECT_EQ(VerifyReleaseBytes(publicPath_, changed, good), kSignatureMismatch) << i;
    }
    for (std::size_t i = 0; i < good.size(); i += 7) {
        std::string bad = good;
        bad[i] ^= 0x01;
        EXPECT_EQ(VerifyReleaseBytes(publicPath_, bytes, bad), kSignatureMismatch) << i;
    }
    EXPECT_EQ(VerifyReleaseBytes(publicPath_, bytes + "x", good), kSignatureMismatch);
    EXPECT_EQ(VerifyReleaseBytes(publicPath_, bytes.substr(1), good), kSignatureMismatch);
    EXPECT_EQ(VerifyReleaseBytes(publicPath_, bytes, good.substr(0, 63)), kSignatureMalformed);
    EXPECT_EQ(VerifyReleaseBytes(publicPath_, bytes, good + '\0'), kSignatureMalformed);
    EXPECT_EQ(VerifyReleaseBytes(publicPath_, bytes, ""), kSignatureMalformed);
    const test::ReleaseKeys other = test::MakeReleaseKeys();
    EXPECT_EQ(VerifyReleaseBytes(publicPath_, bytes, test::SignRelease(other, bytes)),
              kSignatureMismatch);
}

TEST_F(ReleaseSignatureTest, KeysOfTheWrongKindAreNotKeys) {
    std::string signature;
    const std::string bytes = tmp_.Read("bin.zip");
    const std::string good = test::SignRelease(keys_, bytes);
    // The private key file is no public key, and the other way round.
    EXPECT_EQ(VerifyReleaseBytes(privatePath_, bytes, good), kSignatureNoKey);
    EXPECT_EQ(SignReleaseFile(publicPath_, archive_, signature), kSignatureNoKey);
    EXPECT_TRUE(signature.empty());
    const std::string junk = tmp_.Write("junk.pub", "-----BEGIN PUBLIC KEY-----\nAAAA\n").string();
    EXPECT_EQ(VerifyReleaseBytes(junk, bytes, good), kSignatureNoKey);
    EXPECT_EQ(VerifyReleaseBytes(tmp_.str() + "/missing.pub", bytes, good), kSignatureNoKey);
    EXPECT_EQ(VerifyReleaseFile(publicPath_, tmp_.str() + "/missing.zip", good), kSignatureNoFile);
    EXPECT_EQ(SignReleaseFile(privatePath_, tmp_.str(), signature), kSignatureNoFile);
}

TEST_F(ReleaseSignatureTest, GeneratedKeysWorkAndAreNeverOverwritten) {
    const std::string priv = tmp_.str() + "/new.key";
    const std::string pub = tmp_.str() + "/new.pub";
    ASSERT_EQ(GenerateReleaseKeys(priv, pub), kSignatureOk);
    struct stat st {};
    ASSERT_EQ(::stat(priv.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    std::string signature;
    ASSERT_EQ(SignReleaseFile(priv, archive_, signature), kSignatureOk);
    EXPECT_EQ(VerifyReleaseFile(pub, archive_, signature), kSignatureOk);
    EXPECT_EQ(VerifyReleaseFile(publicPath_, archive_, signature), kSignatureMismatch);

    const std::string keptPrivate = tmp_.Read("new.key");
    EXPECT_EQ(GenerateReleaseKeys(priv, tmp_.str() + "/other.pub"), kSignatureExists);
    EXPECT_EQ(tmp_.Read("new.key"), keptPrivate);
    EXPECT_FALSE(fs::exists(tmp_.str() + "/other.pub"));
    // The public key exists: the private key just written is taken back.
    EXPECT_EQ(GenerateReleaseKeys(tmp_.str() + "/other.key", pub), kSignatureExists);
    EXPECT_FALSE(fs::exists(tmp_.str() + "/other.key"));
    EXPECT_EQ(GenerateReleaseKeys(tmp_.str() + "/no/such/folder.key", tmp_.str() + "/x.pub"),
              kSignatureWriteFailed);
}

TEST(ReleaseVersion, ReadsTheDatabaseAsTheLoaderDoes) {
    TempDir tmp;
    EXPECT_EQ(FolderDatabaseVersion(tmp.str()), "");
    tmp.Write("core/addb.txt", "; a comment\n#VERSION 2006.9.1\r\n#NAME a\nFile x\n");
    EXPECT_EQ(FolderDatabaseVersion(tmp.str()), "2006.9.1");
    // The last directive counts, as for the loader.
    tmp.Write("core/addb.txt", "#VERSION 2006.9.1\n#NAME a\n#VERSION 2006.9.3 \n");
    EXPECT_EQ(FolderDatabaseVersion(tmp.str()), "2006.9.3");
    tmp.Write("core/addb.txt", "#NAME a\nFile x\n");
    EXPECT_EQ(FolderDatabaseVersion(tmp.str()), "");
}

TEST(ReleaseVersion, OlderMeansSmallerByBytes) {
    EXPECT_TRUE(IsOlderRelease("2006.9.1", "2006.9.2"));
    EXPECT_FALSE(IsOlderRelease("2006.9.2", "2006.9.2"));
    EXPECT_FALSE(IsOlderRelease("2006.9.3", "2006.9.2"));
    EXPECT_TRUE(IsOlderRelease("", "2006.9.2"));
    EXPECT_FALSE(IsOlderRelease("", ""));
    // By characters, as the update check compares: "10" sorts before "9".
    EXPECT_TRUE(IsOlderRelease("2006.10.1", "2006.9.1"));
}

}  // namespace
}  // namespace veldan::updater
