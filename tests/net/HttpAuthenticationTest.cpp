#include "platform/net/HttpAuthentication.h"
#include "platform/net/HttpDigest.h"
#include "platform/net/HttpStreamError.h"
#include "platform/net/Ntlm.h"

#include <QtEndian>

#include <gtest/gtest.h>

using namespace platform::net;

namespace {

HttpMessage reply(int status, const char* field, const QList<QByteArray>& challenges) {
    HttpMessage message = HttpMessage::response(HttpVersion::Http11, status, "HTTP/1.1");
    for (const QByteArray& value : challenges)
        message.addValue(field, value);
    return message;
}

HttpMessage challenge401(const QList<QByteArray>& challenges) {
    return reply(401, "WWW-Authenticate", challenges);
}

HttpMessage request() {
    return HttpMessage::request("GET", QUrl("http://h/dir/index.html"), HttpVersion::Http11);
}

TEST(HttpChallengeTest, FieldsSplitIntoChallengesWithTokensOrParameters) {
    const QList<HttpChallenge> parsed =
        parseChallenges({"Basic realm=\"a, b\", Digest realm=\"x\\\"y\", nonce=abc, qop=\"auth,auth-int\"",
                         "NTLM TlRMTQ==", ", , Negotiate"});
    ASSERT_EQ(parsed.size(), 4);
    EXPECT_EQ(parsed[0].scheme, "Basic");
    EXPECT_EQ(parsed[0].parameter("REALM"), "a, b");
    EXPECT_EQ(parsed[1].parameter("realm"), "x\"y");
    EXPECT_EQ(parsed[1].parameter("nonce"), "abc");
    EXPECT_EQ(parsed[1].parameter("qop"), "auth,auth-int");
    EXPECT_EQ(parsed[2].token, "TlRMTQ==");
    EXPECT_TRUE(parsed[3].isScheme("negotiate"));
    EXPECT_EQ(parseChallenges({"\"=,=\"\"", ""}).size(), 0); // junk gives nothing, and never hangs
}

TEST(HttpDigestTest, ThePublishedExampleGivesItsResponse) {
    HttpDigestInput input;
    input.username = "Mufasa";
    input.password = "Circle Of Life";
    input.realm = "testrealm@host.com";
    input.nonce = "dcd98b7102dd2f0e8b11d0f600bfb0c093";
    input.method = "GET";
    input.uri = "/dir/index.html";
    input.qop = "auth";
    input.nonceCount = "00000001";
    input.clientNonce = "0a4f113b";
    EXPECT_EQ(HttpDigest::response(input), "6629fae49393a05397450978507c4ef1");
    input.algorithm = "SHA-256";
    EXPECT_EQ(HttpDigest::response(input).size(), 64);
    EXPECT_FALSE(HttpDigest::supportsAlgorithm("SHA-512-256"));
}

TEST(NtlmTest, KnownHashesAndResponses) {
    EXPECT_EQ(Ntlm::ntHash("Password").toHex(), "a4f49c406510bdcab6824ee7c30fd852");
    const QByteArray v2 = Ntlm::ntlmv2Hash("User", "Domain", "Password");
    EXPECT_EQ(v2.toHex(), "0c868a403bfd7a93a3001ef22ef02e3f");
    const QByteArray server = QByteArray::fromHex("0123456789abcdef");
    const QByteArray client = QByteArray::fromHex("aaaaaaaaaaaaaaaa");
    EXPECT_EQ(Ntlm::lmv2Response(v2, server, client).toHex(),
              "86c35097ac9cec102554764a57cccc19aaaaaaaaaaaaaaaa");
    const QByteArray targetInfo = QByteArray::fromHex("02000c0044006f006d00610069006e00"
                                                      "01000c0053006500720076006500720000000000");
    EXPECT_EQ(Ntlm::ntlmv2Response(v2, server, client, 0, targetInfo).left(16).toHex(),
              "68cd0ab851e51c96aabc927bebef6a1c");
}

TEST(NtlmTest, ChallengeMessagesAreCheckedBeforeUse) {
    QByteArray message("NTLMSSP\0\x02\0\0\0", 12);
    message += QByteArray(8, '\0') + QByteArray("\x01\0\0\0", 4) + QByteArray(8, 'c') + QByteArray(8, '\0');
    message += QByteArray("\x04\x00\x04\x00\x30\x00\x00\x00", 8) + "info";
    const auto parsed = Ntlm::parseChallengeMessage(message);
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->serverChallenge, QByteArray(8, 'c'));
    EXPECT_EQ(parsed->targetInfo, "info");
    message[44] = '\x40'; // target information past the end
    EXPECT_FALSE(Ntlm::parseChallengeMessage(message));
    EXPECT_FALSE(Ntlm::parseChallengeMessage("NTLMSSP"));
}

TEST(HttpAuthenticationTest, TheStrongestKnownSchemeIsChosen) {
    struct Case {
        QList<QByteArray> challenges;
        QString method;
    } cases[] = {
        {{"Basic realm=\"r\"", "Digest realm=\"r\", nonce=\"n\""}, "Digest"},
        {{"Basic realm=\"r\"", "NTLM"}, "NTLM"},
        {{"Digest realm=\"r\", nonce=\"n\", qop=\"auth-int\"", "Basic realm=\"r\""}, "Basic"},
        {{"Negotiate", "Bearer"}, ""},
    };
    for (const Case& c : cases) {
        const auto made = HttpAuthentication::create(challenge401(c.challenges));
        EXPECT_EQ(made ? made->method() : QString(), c.method);
    }
    const auto proxy = HttpAuthentication::create(reply(407, "Proxy-Authenticate", {"Basic realm=\"p\""}));
    ASSERT_TRUE(proxy);
    EXPECT_EQ(proxy->target(), HttpAuthentication::Target::Proxy);
    HttpMessage sent = request();
    EXPECT_TRUE(proxy->apply(sent, {"u", "p", {}}));
    EXPECT_EQ(sent.value("Proxy-Authorization"), "Basic dTpw");
    EXPECT_FALSE(sent.headers().contains("Authorization"));
}

// What a second challenge does to credentials already sent: Basic and Digest are spent (unless Digest only
// renews a stale nonce); NTLM lives on while the server answers with its challenge message.
TEST(HttpAuthenticationTest, ASecondChallengeSpendsSentCredentials) {
    const auto basic = HttpAuthentication::create(challenge401({"Basic realm=\"r\""}));
    basic->update(challenge401({"Basic realm=\"r\""}));
    EXPECT_TRUE(basic->isValid()); // nothing was sent yet
    HttpMessage sent = request();
    ASSERT_TRUE(basic->apply(sent, {"user", "", {}}));
    EXPECT_EQ(sent.value("Authorization"), "Basic dXNlcjo=");
    basic->update(challenge401({"Basic realm=\"r\""}));
    std::optional<platform::Error> reason;
    EXPECT_FALSE(basic->isValid(&reason));
    EXPECT_EQ(reason->code, HttpStreamAuthenticationBadPassword);
    EXPECT_FALSE(basic->apply(sent, {"user", "", {}}));

    const auto digest =
        HttpAuthentication::create(challenge401({"Digest realm=\"r\", nonce=\"1\", qop=auth"}));
    ASSERT_TRUE(digest->apply(sent, {"u", "p", {}}));
    EXPECT_TRUE(sent.value("Authorization").contains("nc=00000001"));
    digest->update(challenge401({"Digest realm=\"r\", nonce=\"2\", qop=auth, stale=true"}));
    EXPECT_TRUE(digest->isValid());
    ASSERT_TRUE(digest->apply(sent, {"u", "p", {}}));
    EXPECT_TRUE(sent.value("Authorization").contains("nonce=\"2\""));
    digest->update(challenge401({"Digest realm=\"r\", nonce=\"3\", qop=auth"}));
    EXPECT_FALSE(digest->isValid());

    const auto ntlm = HttpAuthentication::create(challenge401({"NTLM"}));
    ASSERT_TRUE(ntlm->apply(sent, {"u", "p", "D"}));
    EXPECT_EQ(QByteArray::fromBase64(sent.value("Authorization").mid(5)), Ntlm::negotiateMessage());
    QByteArray type2("NTLMSSP\0\x02\0\0\0", 12);
    type2 += QByteArray(8, '\0') + QByteArray("\x01\0\0\0", 4) + QByteArray(16, 'c');
    ntlm->update(challenge401({"NTLM " + type2.toBase64()}));
    EXPECT_TRUE(ntlm->isValid());
    ASSERT_TRUE(ntlm->apply(sent, {"u", "p", "D"}));
    const QByteArray type3 = QByteArray::fromBase64(sent.value("Authorization").mid(5));
    EXPECT_EQ(qFromLittleEndian<quint32>(type3.constData() + 8), 3u);
    ntlm->update(challenge401({"NTLM"}));
    EXPECT_FALSE(ntlm->isValid());
}

} // namespace
