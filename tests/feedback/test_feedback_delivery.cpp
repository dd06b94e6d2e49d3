// Feedback mail over a real SMTP server on 127.0.0.1 (smtp_sink.py): what
// arrives, with and without AUTH, over STARTTLS and from several threads at
// once; what a refused or silent server does to a send; and a send with
// nothing configured.
#include <gtest/gtest.h>

#include <chrono>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "../export/temp_folder.h"
#include "core/feedback/feedback_mail.h"
#include "core/feedback/post_line.h"
#include "core/log/log.h"
#include "smtp_sink.h"

#include <curl/curl.h>

namespace marlowen {
namespace {

using Clock = std::chrono::steady_clock;

// Collects the log lines of one test.
class LogCapture {
public:
    LogCapture() : previous_(setLogSink([this](std::string_view l) { lines.emplace_back(l); })) {}
    ~LogCapture() { setLogSink(previous_); }
    std::vector<std::string> lines;

private:
    LogSink previous_;
};

SmtpConfig localConfig(int port) {
    SmtpConfig c;
    c.host = "127.0.0.1";
    c.port = port;
    c.user = "feedback@marlowen.test";
    c.feedbackTo = "team@marlowen.test";
    c.timeout = std::chrono::milliseconds(5000);
    return c;
}

class FeedbackDelivery : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(std::filesystem::exists(testing::kPython))
            << "needs " << testing::kPython << " with python3-aiosmtpd";
    }
    testing::TempFolder folder;
};

TEST_F(FeedbackDelivery, MessageArrivesWithSubjectAddressesAndBody) {
    testing::SmtpSink sink(folder.path());
    ASSERT_NE(sink.port(), 0) << "smtp_sink.py did not start (python3-aiosmtpd installed?)";
    LogCapture log;
    const FeedbackSendResult r = sendFeedback(localConfig(sink.port()), "Marlowen", "Hello.");
    EXPECT_EQ(r.login, 0);
    EXPECT_EQ(r.send, 0);
    EXPECT_TRUE(r.delivered());
    EXPECT_EQ(log.lines, (std::vector<std::string>{"res=======0", "res=======0"}));

    const auto messages = sink.messages();
    ASSERT_EQ(messages.size(), 1u);
    const auto& m = messages[0];
    EXPECT_EQ(m["mail_from"], "feedback@marlowen.test");
    EXPECT_EQ(m["rcpt_tos"], nlohmann::json::array({"team@marlowen.test"}));
    EXPECT_EQ(m["from"], "feedback@marlowen.test");
    EXPECT_EQ(m["to"], "team@marlowen.test");
    EXPECT_EQ(m["subject"], "Marlowen");
    EXPECT_EQ(m["body"], "Hello.\n");
    EXPECT_EQ(m["content_type"], "text/plain");
    EXPECT_EQ(m["charset"], "utf-8");
    EXPECT_FALSE(m["date"].get<std::string>().empty());
    EXPECT_FALSE(m["message_id"].get<std::string>().empty());
    EXPECT_FALSE(m["authenticated"]) << "no password, no AUTH";
}

TEST_F(FeedbackDelivery, NonAsciiAndSingleDotLinesArriveIntact) {
    testing::SmtpSink sink(folder.path());
    ASSERT_NE(sink.port(), 0);
    LogCapture log;
    const std::string subject = "Marlowen – Rückmeldung 联系人 🙂";
    const std::string body =
        "Grüße aus Köln,\n.\n..\n. \nУ меня пропали контакты 联系人\n" + std::string(200, 'x');
    ASSERT_TRUE(sendFeedback(localConfig(sink.port()), subject, body).delivered());

    const auto messages = sink.messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0]["subject"], subject);
    EXPECT_EQ(messages[0]["body"], body + "\n");
    EXPECT_TRUE(messages[0]["raw_is_ascii"]);
    EXPECT_LE(messages[0]["raw_max_line"].get<int>(), 78);
}

TEST_F(FeedbackDelivery, FeedbackWindowBodyAndSheetBody) {
    testing::SmtpSink sink(folder.path());
    ASSERT_NE(sink.port(), 0);
    LogCapture log;
    const SmtpConfig config = localConfig(sink.port());
    EXPECT_TRUE(sendFeedBackEmailHandle(config, "", "Provide any suggestions or problems to us.")
                    .delivered());
    EXPECT_TRUE(sendEmailHandle(config, "write something.").delivered());

    const auto messages = sink.messages();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0]["subject"], "Marlowen");
    EXPECT_EQ(messages[0]["body"],
              "RegEmail: \nSuggestion:Provide any suggestions or problems to us.\n");
    EXPECT_EQ(messages[1]["subject"], "Marlowen");
    EXPECT_EQ(messages[1]["body"], "write something.\n");
    EXPECT_EQ(log.lines.size(), 4u);
}

TEST_F(FeedbackDelivery, SendsOnSeveralThreadsAtOnceEachArrive) {
    testing::SmtpSink sink(folder.path());
    ASSERT_NE(sink.port(), 0);
    LogCapture log;
    const SmtpConfig config = localConfig(sink.port());
    std::vector<FeedbackSendResult> results(4);
    std::vector<std::thread> threads;
    for (std::size_t i = 0; i < results.size(); ++i)
        threads.emplace_back([&, i] {
            results[i] = sendFeedBackEmailHandle(config, "t" + std::to_string(i) + "@example.org",
                                                 "from thread " + std::to_string(i));
        });
    for (auto& t : threads) t.join();
    for (const auto& r : results) EXPECT_TRUE(r.delivered());

    std::set<std::string> bodies;
    for (const auto& m : sink.messages()) bodies.insert(m["body"].get<std::string>());
    std::set<std::string> expected;
    for (std::size_t i = 0; i < results.size(); ++i)
        expected.insert("RegEmail: t" + std::to_string(i) +
                        "@example.org\nSuggestion:from thread " + std::to_string(i) + "\n");
    EXPECT_EQ(bodies, expected);
    EXPECT_EQ(log.lines.size(), 2 * results.size());
}

TEST_F(FeedbackDelivery, OneAddressServesAsSenderAndRecipient) {
    testing::SmtpSink sink(folder.path());
    ASSERT_NE(sink.port(), 0);
    LogCapture log;
    SmtpConfig config = localConfig(sink.port());
    config.feedbackTo.clear();
    ASSERT_TRUE(sendEmailHandle(config, "x").delivered());
    const auto messages = sink.messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0]["mail_from"], "feedback@marlowen.test");
    EXPECT_EQ(messages[0]["rcpt_tos"], nlohmann::json::array({"feedback@marlowen.test"}));
}

TEST_F(FeedbackDelivery, AuthenticatesWithTheConfiguredPassword) {
    testing::SmtpSink sink(folder.path(), "feedback@marlowen.test", "s3cret-from-settings");
    ASSERT_NE(sink.port(), 0);
    LogCapture log;
    SmtpConfig config = localConfig(sink.port());
    config.password = "s3cret-from-settings";
    ASSERT_TRUE(sendEmailHandle(config, "with auth").delivered());
    const auto messages = sink.messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_TRUE(messages[0]["authenticated"]);
}

TEST_F(FeedbackDelivery, WrongPasswordIsRefusedAndLogged) {
    testing::SmtpSink sink(folder.path(), "feedback@marlowen.test", "right");
    ASSERT_NE(sink.port(), 0);
    LogCapture log;
    SmtpConfig config = localConfig(sink.port());
    config.password = "wrong";
    const FeedbackSendResult r = sendEmailHandle(config, "x");
    EXPECT_TRUE(r.attempted);
    EXPECT_EQ(r.send, CURLE_LOGIN_DENIED);
    EXPECT_TRUE(sink.messages().empty());
    ASSERT_EQ(log.lines.size(), 2u);
    EXPECT_EQ(log.lines[1], "res=======" + std::to_string(CURLE_LOGIN_DENIED));
}

TEST_F(FeedbackDelivery, ServerThatNeedsAuthRefusesAMailWithoutPassword) {
    testing::SmtpSink sink(folder.path(), "feedback@marlowen.test", "right");
    ASSERT_NE(sink.port(), 0);
    LogCapture log;
    const FeedbackSendResult r = sendEmailHandle(localConfig(sink.port()), "x");
    EXPECT_NE(r.send, 0);
    EXPECT_TRUE(sink.messages().empty());
}

TEST_F(FeedbackDelivery, GoesOverStartTlsWhenTheServerOffersIt) {
    ASSERT_TRUE(testing::makeSelfSignedCertificate(folder.path())) << "needs openssl";
    testing::SmtpSink sink(folder.path(), "feedback@marlowen.test", "pw", folder / "cert.pem",
                           folder / "key.pem");
    ASSERT_NE(sink.port(), 0);
    LogCapture log;
    SmtpConfig config = localConfig(sink.port());
    config.password = "pw";
    config.caFile = (folder / "cert.pem").string();
    ASSERT_TRUE(sendEmailHandle(config, "über TLS").delivered());
    const auto messages = sink.messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_TRUE(messages[0]["tls"]);
    EXPECT_TRUE(messages[0]["authenticated"]);
    EXPECT_EQ(messages[0]["body"], "über TLS\n");
}

TEST_F(FeedbackDelivery, UntrustedStartTlsCertificateStopsTheSend) {
    ASSERT_TRUE(testing::makeSelfSignedCertificate(folder.path())) << "needs openssl";
    testing::SmtpSink sink(folder.path(), "feedback@marlowen.test", "pw", folder / "cert.pem",
                           folder / "key.pem");
    ASSERT_NE(sink.port(), 0);
    LogCapture log;
    SmtpConfig config = localConfig(sink.port());
    config.password = "pw";  // must not go out over a connection nobody vouches for
    const FeedbackSendResult r = sendEmailHandle(config, "x");
    EXPECT_EQ(r.send, CURLE_PEER_FAILED_VERIFICATION);
    EXPECT_TRUE(sink.messages().empty());
}

TEST(FeedbackUnreachable, RefusedConnectionFailsQuicklyAndIsLogged) {
    testing::ClosedPort closed;
    ASSERT_NE(closed.port(), 0);
    LogCapture log;
    SmtpConfig config = localConfig(closed.port());
    config.timeout = std::chrono::milliseconds(8000);
    const auto start = Clock::now();
    const FeedbackSendResult r = sendEmailHandle(config, "nobody listens");
    const auto elapsed = Clock::now() - start;
    EXPECT_TRUE(r.attempted);
    EXPECT_EQ(r.send, CURLE_COULDNT_CONNECT);
    EXPECT_LT(elapsed, std::chrono::seconds(3));
    ASSERT_EQ(log.lines.size(), 2u);
    EXPECT_EQ(log.lines[1], "res=======" + std::to_string(CURLE_COULDNT_CONNECT));
}

TEST(FeedbackUnreachable, SilentServerIsGivenUpAfterTheTimeout) {
    testing::SilentServer silent;
    ASSERT_NE(silent.port(), 0);
    LogCapture log;
    SmtpConfig config = localConfig(silent.port());
    config.timeout = std::chrono::milliseconds(1000);
    const auto start = Clock::now();
    const FeedbackSendResult r = sendEmailHandle(config, "no greeting");
    const auto elapsed = Clock::now() - start;
    EXPECT_EQ(r.send, CURLE_OPERATION_TIMEDOUT);
    EXPECT_GE(elapsed, std::chrono::milliseconds(900));
    EXPECT_LT(elapsed, std::chrono::seconds(5));
}

TEST(FeedbackUnreachable, DefaultTimeoutStaysWithinTheSheetsTenSeconds) {
    EXPECT_LT(kDefaultSmtpTimeout, std::chrono::seconds(10));
    EXPECT_EQ(SmtpConfig{}.timeout, kDefaultSmtpTimeout);
}

TEST(FeedbackNotConfigured, LogsOneLineAndSendsNothing) {
    LogCapture log;
    const FeedbackSendResult r = sendFeedBackEmailHandle(SmtpConfig{}, "me@example.org", "hi");
    EXPECT_FALSE(r.attempted);
    EXPECT_FALSE(r.delivered());
    EXPECT_EQ(log.lines, std::vector<std::string>{kFeedbackNotConfiguredLine});
}

TEST(FeedbackNotConfigured, AnAddressWithoutHostIsNotEnough) {
    testing::TempFolder folder;
    testing::SmtpSink sink(folder.path());
    ASSERT_NE(sink.port(), 0);
    LogCapture log;
    SmtpConfig config = localConfig(sink.port());
    config.host.clear();
    EXPECT_FALSE(sendEmailHandle(config, "hi").attempted);
    EXPECT_EQ(log.lines.size(), 1u);
    EXPECT_TRUE(sink.messages().empty());
}

TEST(PostLineCalls, LoginChecksTheServerSettings) {
    PostLine mail;
    EXPECT_EQ(mail.Login("127.0.0.1", "a@b.test", "", 25), 0);
    EXPECT_EQ(mail.serverUrl(), "smtp://127.0.0.1:25");
    EXPECT_EQ(mail.Login("", "a@b.test", "", 25), CURLE_URL_MALFORMAT);
    EXPECT_EQ(mail.Login("127.0.0.1", "a@b.test", "", 0), CURLE_URL_MALFORMAT);
    EXPECT_EQ(mail.Login(nullptr, nullptr, nullptr, 25), CURLE_URL_MALFORMAT);
    EXPECT_EQ(mail.Send(), CURLE_URL_MALFORMAT) << "no send after a failed login";
}

TEST(PostLineCalls, ServerUrls) {
    EXPECT_EQ(smtpServerUrl("mail.example.org", 25), "smtp://mail.example.org:25");
    EXPECT_EQ(smtpServerUrl("smtps://mail.example.org", 465), "smtps://mail.example.org:465");
    EXPECT_EQ(smtpServerUrl("smtp://mail.example.org/", 587), "smtp://mail.example.org:587");
    EXPECT_EQ(smtpServerUrl("::1", 25), "smtp://[::1]:25");
    EXPECT_EQ(smtpServerUrl("http://mail.example.org", 25), "");
    EXPECT_EQ(smtpServerUrl("mail.example.org/x", 25), "");
    EXPECT_EQ(smtpServerUrl("user@mail.example.org", 25), "");
    EXPECT_EQ(smtpServerUrl("mail.example.org", 70000), "");
}

TEST(PostLineCalls, AddressesThatWouldBreakTheEnvelopeAreRefused) {
    testing::ClosedPort closed;  // never reached
    PostLine mail;
    ASSERT_EQ(mail.Login("127.0.0.1", "a@b.test", "", closed.port()), 0);
    mail.SetAddress("a@b.test\r\nRCPT TO:<x@evil.test>", "team@b.test");
    mail.SetMail("Marlowen", "x");
    mail.RemoveAllAffix();
    EXPECT_EQ(mail.Send(), CURLE_BAD_FUNCTION_ARGUMENT);
    mail.SetAddress("a@b.test", "");
    EXPECT_EQ(mail.Send(), CURLE_BAD_FUNCTION_ARGUMENT);
}

TEST(FeedbackBody, WindowBodyFormat) {
    EXPECT_EQ(getFeedBackInfo("me@example.org", "More carvers, please."),
              "RegEmail: me@example.org\nSuggestion:More carvers, please.");
    EXPECT_EQ(getFeedBackInfo("", "Provide any suggestions or problems to us."),
              "RegEmail: \nSuggestion:Provide any suggestions or problems to us.");
    EXPECT_EQ(getFeedBackInfo("", ""), "RegEmail: \nSuggestion:");
}

}  // namespace
}  // namespace marlowen
