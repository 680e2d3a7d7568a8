// The update's authenticity: the signed manifest beside the version file,
// checked against a key handed to the launcher; which servers are used
// without a key; and the release signing script against the same check.
#include <gtest/gtest.h>
#include <sodium.h>
#include <stdlib.h>

#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <vector>

#include "HttpTestServer.h"
#include "TempDir.h"
#include "modAutoUpdateV1_Download.h"
#include "modAutoUpdateV1_Launcher.h"

namespace dex {
namespace {

namespace fs = std::filesystem;
using test::ReadText;
using test::WriteText;

const std::string kBase = "/download/자동업데이트_v1/";
const std::string kChecker = "DaroRerirodArodoruV1.exe", kChanger = "filechanger.exe";
const std::string kSig = kBase + "update-manifest.txt.sig";
const std::string kSigFailed = "의 서명 확인에 실패했습니다: ";
const std::string kKept = ".\r\n\r\n업데이트하지 않고 이전 버전을 그대로 사용합니다.";

struct KeyPair {
    UpdatePublicKey publicKey{};
    unsigned char secretKey[crypto_sign_SECRETKEYBYTES]{};
    KeyPair() { crypto_sign_keypair(publicKey.data(), secretKey); }
    std::string sign(const std::string& text) const {
        std::string signature(crypto_sign_BYTES, '\0');
        crypto_sign_detached(reinterpret_cast<unsigned char*>(signature.data()), nullptr,
                             reinterpret_cast<const unsigned char*>(text.data()), text.size(), secretKey);
        return signature;
    }
};

std::string Sha256(const std::string& bytes) {
    unsigned char digest[crypto_hash_sha256_BYTES];
    crypto_hash_sha256(digest, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
    char hex[2 * sizeof digest + 1];
    return sodium_bin2hex(hex, sizeof hex, digest, sizeof digest);
}

class SignedUpdateTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_GE(sodium_init(), 0);
        fs::create_directory(folder());
        WriteText(inFolder("tool.exe"), "the running program");
        test::WriteScript(inFolder(kChecker), "echo old > '" + dir.file("checker.log") + "'\n");
        WriteText(inFolder(kChanger), "old changer");
    }
    fs::path folder() const { return dir.path() / "app"; }
    std::string inFolder(const std::string& name) const { return (folder() / name).string(); }
    std::string newChecker() const { return "#!/bin/sh\necho new > '" + dir.file("checker.log") + "'\n"; }

    // Publishes release 8 (the local checker is 7) with its manifest signed
    // by `signer`; `checker` is the checker actually served.
    void publish(const KeyPair& signer, const std::string& checker = "") {
        manifest = "version 8\nsha256 " + Sha256(newChecker()) + " " + kChecker + "\nsha256 " +
                   Sha256("new changer") + " " + kChanger + "\n";
        server.serve(kBase + "DaroRerirodArodoruV1_lastver.txt", "8");
        server.serve(kBase + kChecker, checker.empty() ? newChecker() : checker);
        server.serve(kBase + kChanger, "new changer");
        server.serve(kBase + "update-manifest.txt", manifest);
        server.serve(kSig, signer.sign(manifest));
    }
    void run(const UpdateTrust& trust, const std::string& url = "", bool skipRefresh = false) {
        UpdateActions actions;
        actions.endProgram = [this] { ++ended; };
        actions.checkerVersion = [](const std::string&) { return std::string("1.00.7"); };
        modAutoUpdateV1_Launcher({folder().string(), "tool.exe", 15}, url.empty() ? server.url() : url, trust,
                                 dialogs, actions)
            .RunAutoUpdate(skipRefresh);
    }
    // Nothing replaced, run or left behind; one message.
    void expectKeptWith(const std::string& message) {
        EXPECT_EQ(ReadText(inFolder(kChecker)), "#!/bin/sh\necho old > '" + dir.file("checker.log") + "'\n");
        EXPECT_EQ(ReadText(inFolder(kChanger)), "old changer");
        EXPECT_FALSE(fs::exists(dir.file("checker.log")));
        EXPECT_EQ(std::distance(fs::directory_iterator(folder()), fs::directory_iterator()), 3);
        EXPECT_EQ(ended, 0);
        ASSERT_EQ(dialogs.shown.size(), 1u);
        EXPECT_EQ(dialogs.shown[0].text, message);
        dialogs.shown.clear();
    }

    test::TempDir dir;
    test::HttpTestServer server;
    RecordingDialogs dialogs;
    KeyPair key;
    const UpdateTrust trust{key.publicKey, false};
    std::string manifest;
    int ended = 0;
};

TEST_F(SignedUpdateTest, GoodSignatureUpdatesBothProgramsAndRunsTheNewChecker) {
    publish(key);
    run(trust);
    EXPECT_EQ(server.requestedPaths(),
              (std::vector<std::string>{kBase + "DaroRerirodArodoruV1_lastver.txt", kBase + "update-manifest.txt", kSig,
                                        kBase + kChecker, kBase + kChanger}));
    EXPECT_EQ(ReadText(inFolder(kChanger)), "new changer");
    EXPECT_EQ(ReadText(dir.file("checker.log")), "new\n");
    EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(SignedUpdateTest, TamperedProgramIsDiscardedAndNothingRuns) {
    publish(key, "#!/bin/sh\necho evil\n");
    const auto permissions = fs::status(inFolder(kChecker)).permissions();
    run(trust);
    EXPECT_EQ(server.requestedPaths().back(), kBase + kChecker);  // the changer is not fetched
    expectKeptWith(kChecker + "의 해시 확인에 실패했습니다: 받은 파일의 SHA-256 값이 서명된 업데이트 목록"
                              "(update-manifest.txt)과 다릅니다.\r\n\r\n받은 파일은 버리고 이전 버전을 그대로 사용합니다.");
    EXPECT_EQ(fs::status(inFolder(kChecker)).permissions(), permissions);
}

TEST_F(SignedUpdateTest, ManifestThatDoesNotVerifyIsRefusedBeforeAnyDownload) {
    const std::string bad = kChecker + kSigFailed + "업데이트 목록(update-manifest.txt)의 서명이 올바르지 않습니다" + kKept;
    const std::pair<std::function<void()>, std::string> cases[] = {
        {[&] { server.serve(kSig, KeyPair().sign(manifest)); }, bad},  // another key
        {[&] { server.serve(kBase + "update-manifest.txt", manifest + "#\n"); }, bad},  // changed after signing
        {[&] { server.serve(kSig, {404, "", 0}); },
         kChecker + kSigFailed + "업데이트 목록의 서명(update-manifest.txt.sig)을 받을 수 없습니다" + kKept},
        {[&] { server.serve(kBase + "DaroRerirodArodoruV1_lastver.txt", "9"); },  // an older release replayed
         kChecker + kSigFailed + "업데이트 목록의 버전(8)이 최신버전 정보(9)와 다릅니다" + kKept},
        {[&] {  // signed, but without the changer's hash
             const std::string checkerOnly = manifest.substr(0, manifest.find("\nsha256 ", manifest.find(kChecker)) + 1);
             server.serve(kBase + "update-manifest.txt", checkerOnly);
             server.serve(kSig, key.sign(checkerOnly));
         },
         kChanger + kSigFailed + "업데이트 목록에 " + kChanger + "의 해시가 없습니다" + kKept},
    };
    for (const auto& [tamper, message] : cases) {
        publish(key);
        tamper();
        const size_t asked = server.requests().size();
        run(trust);
        SCOPED_TRACE(message);
        expectKeptWith(message);
        for (size_t i = asked; i < server.requests().size(); ++i)
            EXPECT_EQ(server.requests()[i].path.find(".exe"), std::string::npos);
    }
}

TEST_F(SignedUpdateTest, WithoutKeyPlainHttpElsewhereIsRefusedBeforeAnyConnection) {
    // Should the refusal ever come too late, the request goes to the local
    // server as a proxy and is seen there; nothing leaves this machine.
    const char* const names[] = {"http_proxy", "no_proxy", "NO_PROXY"};
    std::vector<std::optional<std::string>> saved;
    for (const char* name : names)
        saved.push_back(getenv(name) ? std::optional<std::string>(getenv(name)) : std::nullopt);
    setenv("http_proxy", server.url().c_str(), 1);
    unsetenv("no_proxy");
    unsetenv("NO_PROXY");
    for (bool skipRefresh : {false, true}) {
        run(UpdateTrust{}, "http://updates.example.invalid", skipRefresh);
        expectKeptWith("업데이트 서버 주소가 안전하지 않아 업데이트를 확인하지 않습니다: http://updates.example.invalid"
                       "/download/자동업데이트_v1/\r\n\r\n서명 확인용 공개 키가 설정되지 않은 프로그램은 https 주소에서만 "
                       "업데이트를 받습니다.");
    }
    run(UpdateTrustFromHex(std::string(63, 'a')));  // a key that cannot be read refuses every server
    expectKeptWith("업데이트 서명 확인용 공개 키가 올바르지 않아 업데이트를 확인하지 않습니다.");
    EXPECT_TRUE(server.requests().empty());
    server.serve("http://updates.example.invalid/probe", "seen");  // the guard itself works
    EXPECT_EQ(modAutoUpdateV1_Download::OpenUrl("http://updates.example.invalid/probe"), "seen");
    for (size_t i = 0; i < saved.size(); ++i)
        saved[i] ? setenv(names[i], saved[i]->c_str(), 1) : unsetenv(names[i]);
}

TEST_F(SignedUpdateTest, SignScriptOutputVerifiesWithLibsodium) {
    if (std::system("command -v openssl >/dev/null 2>&1") != 0) GTEST_SKIP() << "openssl is not installed";
    const fs::path release = dir.path() / "release";
    fs::create_directory(release);
    WriteText((release / "DaroRerirodArodoruV1_lastver.txt").string(), " 8\r\n");
    WriteText((release / kChecker).string(), newChecker());
    WriteText((release / kChanger).string(), "new changer");
    const std::string script = std::string("'") + DEX_SIGN_RELEASE_SCRIPT + "' ", pem = "'" + dir.file("k.pem") + "'";
    ASSERT_EQ(std::system((script + "keygen " + pem + " 2>/dev/null >'" + dir.file("k.hex") + "'").c_str()), 0);
    ASSERT_EQ(std::system((script + "sign " + pem + " '" + release.string() + "' 2>/dev/null").c_str()), 0);
    for (const auto& e : fs::directory_iterator(release))
        server.serve(kBase + e.path().filename().string(), ReadText(e.path().string()));
    run(UpdateTrustFromHex(ReadText(dir.file("k.hex")).substr(0, 64)));
    EXPECT_TRUE(dialogs.shown.empty());
    EXPECT_EQ(ReadText(dir.file("checker.log")), "new\n");
    EXPECT_EQ(ReadText(inFolder(kChanger)), "new changer");
}

TEST(UpdateTrust, ServersUsableWithoutKey) {
    for (const char* ok : {"https://updates.example.com", "HTTPS://h/x/", "http://127.0.0.1:8080/", "http://127.9.8.7",
                           "http://LOCALHOST:1/a", "http://[::1]:80/"})
        EXPECT_TRUE(AcceptableWithoutKey(ok)) << ok;
    for (const char* refused : {"http://updates.example.com/", "http://127.0.0.1@example.com/", "http://[::2]/",
                                "http://localhost.example.com/", "http://2130706433/", "http://127.0.0.1:x/",
                                "ftp://127.0.0.1/", "127.0.0.1", ""})
        EXPECT_FALSE(AcceptableWithoutKey(refused)) << refused;
}

TEST(UpdateTrust, ManifestLinesAndKeysAtTheirLimits) {
    const std::string hash(64, 'a'), name = "DaroRerirodArodoruV1.exe";
    const std::string upper = "0123456789ABCDEF0123456789abcdef0123456789ABCDEF0123456789abcdef";
    const auto parsed = ParseManifest("# release 8\r\n\nversion 8\r\nsha256 " + upper + " " + name + "\r\nsha256 " +
                                      hash + " file changer.exe  \n");
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->version, "8");
    EXPECT_EQ(parsed->sha256, (std::map<std::string, std::string>{
                                  {name, "0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef"},
                                  {"file changer.exe", hash}}));
    for (const std::string& bad : std::vector<std::string>{
             "sha256 " + hash + " " + name + "\n",                                    // no version line
             "version 8\nversion 8\n",                                                // two version lines
             "version  \n",                                                           // a blank version
             "version 8\nsha256 " + std::string(63, 'a') + " " + name + "\n",         // 63 digits
             "version 8\nsha256 " + std::string(65, 'a') + " " + name + "\n",         // 65 digits
             "version 8\nsha256 " + std::string(63, 'a') + "g " + name + "\n",        // not hex
             "version 8\nsha256 " + std::string(63, 'a') + "  " + name + "\n",        // a blank among the digits
             "version 8\nsha256 " + hash + "\n",                                       // no file name
             "version 8\nsha256 " + hash + " \n",                                      // a blank name
             "version 8\nsha256 " + hash + name + "\n",                                // no blank before the name
             "version 8\nsha256 " + hash + " " + name + "\nsha256 " + hash + " " + name + "\n",  // named twice
             "version 8\nmd5 " + hash + " " + name + "\n",                             // another kind of line
         })
        EXPECT_FALSE(ParseManifest(bad)) << bad;

    const UpdateTrust none = UpdateTrustFromHex("");
    EXPECT_FALSE(none.publicKey);
    EXPECT_FALSE(none.keyUnreadable);
    const UpdateTrust key = UpdateTrustFromHex("00FF" + std::string(60, '0'));
    ASSERT_TRUE(key.publicKey);
    EXPECT_EQ((*key.publicKey)[0], 0x00);
    EXPECT_EQ((*key.publicKey)[1], 0xFF);
    EXPECT_FALSE(key.keyUnreadable);
    for (const std::string& bad : std::vector<std::string>{std::string(63, '0'), std::string(65, '0'), std::string(63, '0') + "x",
                                   std::string(62, '0') + " 0"}) {
        const UpdateTrust t = UpdateTrustFromHex(bad);
        EXPECT_TRUE(t.keyUnreadable && !t.publicKey) << bad;
    }
    for (const char* ok : {"http://127.0.0.1:65535/", "http://localhost:1"})
        EXPECT_TRUE(AcceptableWithoutKey(ok)) << ok;
    for (const char* refused : {"http://127.0.0.1:123456/", "http://127.0.0.1:/", "http://[::1]x/", "http://128.0.0.1/"})
        EXPECT_FALSE(AcceptableWithoutKey(refused)) << refused;
}

}  // namespace
}  // namespace dex
