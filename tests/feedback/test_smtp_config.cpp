// The mail settings: ports, the environment overlay and its precedence over
// the settings file, and what counts as configured.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "core/feedback/smtp_config.h"
#include "core/log/log.h"

namespace marlowen {
namespace {

// A fake environment for smtpOverlayFromEnvironment().
struct FakeEnv {
    std::map<std::string, std::string> vars;
    EnvLookup lookup() const {
        return [this](const char* name) -> const char* {
            const auto it = vars.find(name);
            return it == vars.end() ? nullptr : it->second.c_str();
        };
    }
};

SmtpConfig settingsFile() {
    SmtpConfig c;
    c.host = "file.example.org";
    c.port = 587;
    c.user = "file@example.org";
    c.password = "file-secret";
    c.feedbackTo = "file-to@example.org";
    return c;
}

TEST(SmtpPort, AcceptsPortNumbersOnly) {
    EXPECT_EQ(parseSmtpPort("25"), 25);
    EXPECT_EQ(parseSmtpPort(" 587\n"), 587);
    EXPECT_EQ(parseSmtpPort("1"), 1);
    EXPECT_EQ(parseSmtpPort("65535"), 65535);
    for (const char* bad : {"", " ", "0", "65536", "-25", "25x", "x25", "2 5", "99999999999"})
        EXPECT_EQ(parseSmtpPort(bad), std::nullopt) << '"' << bad << '"';
}

TEST(SmtpConfigDefaults, NothingConfiguredByDefault) {
    const SmtpConfig c;
    EXPECT_EQ(c.port, 25);
    EXPECT_TRUE(c.host.empty());
    EXPECT_TRUE(c.password.empty());
    EXPECT_FALSE(c.isConfigured());
}

TEST(SmtpConfigDefaults, AddressesStandInForEachOther) {
    SmtpConfig c;
    c.host = "mail.example.org";
    c.user = "account@example.org";
    EXPECT_TRUE(c.isConfigured());
    EXPECT_EQ(c.sender(), "account@example.org");
    EXPECT_EQ(c.recipient(), "account@example.org");

    c.feedbackTo = "team@example.org";
    EXPECT_EQ(c.sender(), "account@example.org");
    EXPECT_EQ(c.recipient(), "team@example.org");

    c.user.clear();
    EXPECT_TRUE(c.isConfigured());
    EXPECT_EQ(c.sender(), "team@example.org");

    c.feedbackTo.clear();
    EXPECT_FALSE(c.isConfigured()) << "a host but no address";
    c.feedbackTo = "team@example.org";
    c.host.clear();
    EXPECT_FALSE(c.isConfigured()) << "an address but no host";
}

TEST(SmtpEnvironment, EmptyEnvironmentKeepsTheSettingsFile) {
    const FakeEnv env;
    const SmtpConfig c = effectiveSmtpConfig(settingsFile(), env.lookup());
    EXPECT_EQ(c.host, "file.example.org");
    EXPECT_EQ(c.port, 587);
    EXPECT_EQ(c.user, "file@example.org");
    EXPECT_EQ(c.password, "file-secret");
    EXPECT_EQ(c.feedbackTo, "file-to@example.org");
}

TEST(SmtpEnvironment, EveryVariableWinsOverTheSettingsFile) {
    const FakeEnv env{{{"MARLOWEN_SMTP_HOST", "env.example.org"},
                       {"MARLOWEN_SMTP_PORT", "2525"},
                       {"MARLOWEN_SMTP_USER", "env@example.org"},
                       {"MARLOWEN_SMTP_PASSWORD", "env-secret"},
                       {"MARLOWEN_FEEDBACK_TO", "env-to@example.org"}}};
    const SmtpConfig c = effectiveSmtpConfig(settingsFile(), env.lookup());
    EXPECT_EQ(c.host, "env.example.org");
    EXPECT_EQ(c.port, 2525);
    EXPECT_EQ(c.user, "env@example.org");
    EXPECT_EQ(c.password, "env-secret");
    EXPECT_EQ(c.feedbackTo, "env-to@example.org");
}

TEST(SmtpEnvironment, EachVariableOverridesOnlyItsOwnValue) {
    const FakeEnv env{{{"MARLOWEN_SMTP_PASSWORD", "only-this"}}};
    const SmtpConfig c = effectiveSmtpConfig(settingsFile(), env.lookup());
    EXPECT_EQ(c.password, "only-this");
    EXPECT_EQ(c.host, "file.example.org");
    EXPECT_EQ(c.port, 587);
    EXPECT_EQ(c.user, "file@example.org");
    EXPECT_EQ(c.feedbackTo, "file-to@example.org");
}

TEST(SmtpEnvironment, EmptyVariablesAreUnset) {
    const FakeEnv env{{{"MARLOWEN_SMTP_HOST", ""}, {"MARLOWEN_SMTP_PORT", ""}}};
    const SmtpConfig c = effectiveSmtpConfig(settingsFile(), env.lookup());
    EXPECT_EQ(c.host, "file.example.org");
    EXPECT_EQ(c.port, 587);
}

TEST(SmtpEnvironment, BadPortIsLoggedAndIgnored) {
    std::vector<std::string> lines;
    const LogSink previous = setLogSink([&](std::string_view line) { lines.emplace_back(line); });
    const FakeEnv env{{{"MARLOWEN_SMTP_PORT", "smtp"}}};
    const SmtpConfig c = effectiveSmtpConfig(settingsFile(), env.lookup());
    setLogSink(previous);
    EXPECT_EQ(c.port, 587);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("MARLOWEN_SMTP_PORT"), std::string::npos) << lines[0];
}

TEST(SmtpEnvironment, EnvironmentAloneConfiguresTheSend) {
    const FakeEnv env{
        {{"MARLOWEN_SMTP_HOST", "127.0.0.1"}, {"MARLOWEN_FEEDBACK_TO", "team@example.org"}}};
    const SmtpConfig c = effectiveSmtpConfig(SmtpConfig{}, env.lookup());
    EXPECT_TRUE(c.isConfigured());
    EXPECT_EQ(c.port, 25);
}

TEST(SmtpEnvironment, ReadsTheProcessEnvironmentByDefault) {
    ::setenv("MARLOWEN_SMTP_HOST", "process.example.org", 1);
    ::setenv("MARLOWEN_SMTP_PORT", "465", 1);
    const SmtpConfig c = effectiveSmtpConfig(settingsFile());
    ::unsetenv("MARLOWEN_SMTP_HOST");
    ::unsetenv("MARLOWEN_SMTP_PORT");
    EXPECT_EQ(c.host, "process.example.org");
    EXPECT_EQ(c.port, 465);
}

}  // namespace
}  // namespace marlowen
