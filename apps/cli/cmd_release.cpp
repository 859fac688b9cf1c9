// release: the publisher's tool for signed releases. keygen makes an Ed25519
// key pair, sign writes FILE.sig beside a release archive, verify checks it
// as VeldanUpdate does.

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "commands.h"
#include "updater/release_signature.h"

namespace veldan::cli {

namespace {

struct ReleaseOptions {
    std::string privateKey, publicKey;  // keygen
    std::string key;                    // sign, verify
    std::string file;                   // sign, verify
};

constexpr const char* kReleaseUsage =
    "usage: release keygen PRIVATE PUBLIC | release sign --key PRIVATE FILE | "
    "release verify --key PUBLIC FILE";

int KeyFailure(const std::string& path, int rc) {
    return Fail(kExitFailure, path + ": " + updater::SignatureResultText(rc));
}

int RunKeygen(const ReleaseOptions& o) {
    if (o.privateKey.empty() || o.publicKey.empty()) return Fail(kExitUsage, kReleaseUsage);
    // Never overwrite a key: a lost private key cannot be made again.
    for (const std::string* path : {&o.privateKey, &o.publicKey}) {
        std::error_code ec;
        if (std::filesystem::exists(std::filesystem::symlink_status(*path, ec))) {
            return KeyFailure(*path, updater::kSignatureExists);
        }
    }
    const int rc = updater::GenerateReleaseKeys(o.privateKey, o.publicKey);
    if (rc != updater::kSignatureOk) {
        return Fail(kExitFailure,
                    "cannot make the key pair: " + std::string(updater::SignatureResultText(rc)));
    }
    std::printf("private key: %s (keep it secret, never in the repository)\npublic key: %s\n",
                o.privateKey.c_str(), o.publicKey.c_str());
    return kExitOk;
}

int RunSign(const ReleaseOptions& o) {
    if (o.key.empty() || o.file.empty()) return Fail(kExitUsage, kReleaseUsage);
    std::string signature;
    const int rc = updater::SignReleaseFile(o.key, o.file, signature);
    if (rc != updater::kSignatureOk) {
        return KeyFailure(rc == updater::kSignatureNoFile ? o.file : o.key, rc);
    }
    const std::string out = o.file + std::string(updater::kSignatureSuffix);
    // A signature of an earlier build of the same file is replaced.
    std::remove(out.c_str());
    const int written = updater::WriteNewFile(out, signature, 0644);
    if (written != updater::kSignatureOk) return KeyFailure(out, written);
    std::printf("signed: %s\n", out.c_str());
    return kExitOk;
}

int RunVerify(const ReleaseOptions& o) {
    if (o.key.empty() || o.file.empty()) return Fail(kExitUsage, kReleaseUsage);
    const std::string sigPath = o.file + std::string(updater::kSignatureSuffix);
    std::string signature;
    if (!updater::ReadWholeFile(sigPath, signature)) {
        return Fail(kExitFailure, sigPath + ": no signature");
    }
    const int rc = updater::VerifyReleaseFile(o.key, o.file, signature);
    if (rc == updater::kSignatureNoKey) return KeyFailure(o.key, rc);
    if (rc != updater::kSignatureOk) return KeyFailure(o.file, rc);
    std::printf("good signature: %s\n", o.file.c_str());
    return kExitOk;
}

}  // namespace

void AddReleaseCommand(CLI::App& app, Globals& g, Action& action) {
    auto o = std::make_shared<ReleaseOptions>();
    CLI::App* cmd = AddCommand(app, "release", "make keys, sign and verify release archives", g);
    cmd->require_subcommand(1, 1);
    CLI::App* keygen = AddCommand(*cmd, "keygen", "make a new Ed25519 key pair (PEM files)", g);
    keygen->add_option("PRIVATE", o->privateKey, "new file for the private key (mode 0600)")
        ->required();
    keygen->add_option("PUBLIC", o->publicKey, "new file for the public key (data/release.pub)")
        ->required();
    CLI::App* sign = AddCommand(*cmd, "sign", "write FILE.sig, the signature of FILE", g);
    sign->add_option("-k,--key", o->key, "the private key")->type_name("PRIVATE")->required();
    sign->add_option("FILE", o->file, "the release archive")->required();
    CLI::App* verify = AddCommand(*cmd, "verify", "check FILE.sig as VeldanUpdate does", g);
    verify->add_option("-k,--key", o->key, "the trusted public key")
        ->type_name("PUBLIC")
        ->required();
    verify->add_option("FILE", o->file, "the release archive")->required();
    cmd->callback([&action, cmd, o] {
        action = [cmd, o] {
            const std::string word = ChosenWord(*cmd);
            if (word == "keygen") return RunKeygen(*o);
            if (word == "sign") return RunSign(*o);
            return RunVerify(*o);
        };
    });
}

}  // namespace veldan::cli
