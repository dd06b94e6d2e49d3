// Where feedback mail goes: the SMTP server, the account that logs in and
// sends, and the address that receives it. Nothing of it is built into the
// program. The desktop program reads its settings file (QSettings of the
// organisation "Marlowen") into an SmtpConfig and calls effectiveSmtpConfig(),
// which lays the environment over it; a variable that is set wins:
//
//   MARLOWEN_SMTP_HOST      host name, or a URL "smtp://host" / "smtps://host"
//   MARLOWEN_SMTP_PORT      1..65535
//   MARLOWEN_SMTP_USER      account address: login name and sender
//   MARLOWEN_SMTP_PASSWORD  password; without one no AUTH is attempted
//   MARLOWEN_FEEDBACK_TO    recipient (the account address when unset)
#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace marlowen {

inline constexpr int kDefaultSmtpPort = 25;
// Connect and whole-transfer limit of one send: a dead server cannot hold
// the sending thread longer than this.
inline constexpr std::chrono::milliseconds kDefaultSmtpTimeout{8000};

inline constexpr const char* kEnvSmtpHost = "MARLOWEN_SMTP_HOST";
inline constexpr const char* kEnvSmtpPort = "MARLOWEN_SMTP_PORT";
inline constexpr const char* kEnvSmtpUser = "MARLOWEN_SMTP_USER";
inline constexpr const char* kEnvSmtpPassword = "MARLOWEN_SMTP_PASSWORD";
inline constexpr const char* kEnvFeedbackTo = "MARLOWEN_FEEDBACK_TO";

struct SmtpConfig {
    std::string host;
    int port = kDefaultSmtpPort;
    std::string user;
    std::string password;
    std::string feedbackTo;
    std::chrono::milliseconds timeout = kDefaultSmtpTimeout;
    // PEM file of the authorities a STARTTLS/smtps server certificate must
    // chain to; empty: the system's store.
    std::string caFile;

    // The envelope and header sender: the account, else the recipient.
    std::string sender() const { return user.empty() ? feedbackTo : user; }
    // The recipient: feedbackTo, else the account.
    std::string recipient() const { return feedbackTo.empty() ? user : feedbackTo; }
    // A server and at least one address: enough to try a delivery.
    bool isConfigured() const { return !host.empty() && !recipient().empty(); }
};

// The values an overlay sets; an unset one leaves the base value alone.
struct SmtpConfigOverlay {
    std::optional<std::string> host;
    std::optional<int> port;
    std::optional<std::string> user;
    std::optional<std::string> password;
    std::optional<std::string> feedbackTo;
};

// "25", " 587 " -> the port; empty, non-numeric or out of 1..65535 -> nothing.
std::optional<int> parseSmtpPort(std::string_view text);

// Reads the five variables through `getEnv` (std::getenv by default). A
// variable that is unset or empty sets nothing; an unusable port is logged
// and ignored.
using EnvLookup = std::function<const char*(const char* name)>;
SmtpConfigOverlay smtpOverlayFromEnvironment(const EnvLookup& getEnv = {});

// `base` with every value the overlay sets replaced.
SmtpConfig mergeSmtpConfig(SmtpConfig base, const SmtpConfigOverlay& overlay);

// What the program sends with: the settings-file values under the process
// environment.
SmtpConfig effectiveSmtpConfig(const SmtpConfig& fromSettings, const EnvLookup& getEnv = {});

}  // namespace marlowen
