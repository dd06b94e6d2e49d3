#include "core/feedback/smtp_config.h"

#include <charconv>
#include <cstdlib>

#include "core/log/log.h"

namespace marlowen {
namespace {

std::string_view trimmed(std::string_view s) {
    const auto isSpace = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!s.empty() && isSpace(s.front())) s.remove_prefix(1);
    while (!s.empty() && isSpace(s.back())) s.remove_suffix(1);
    return s;
}

std::optional<std::string> nonEmpty(const char* value) {
    if (!value || !*value) return std::nullopt;
    return std::string(value);
}

}  // namespace

std::optional<int> parseSmtpPort(std::string_view text) {
    text = trimmed(text);
    if (text.empty()) return std::nullopt;
    int port = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), port);
    if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    if (port < 1 || port > 65535) return std::nullopt;
    return port;
}

SmtpConfigOverlay smtpOverlayFromEnvironment(const EnvLookup& getEnv) {
    const EnvLookup lookup = getEnv ? getEnv : [](const char* name) { return std::getenv(name); };
    SmtpConfigOverlay overlay;
    overlay.host = nonEmpty(lookup(kEnvSmtpHost));
    overlay.user = nonEmpty(lookup(kEnvSmtpUser));
    overlay.password = nonEmpty(lookup(kEnvSmtpPassword));
    overlay.feedbackTo = nonEmpty(lookup(kEnvFeedbackTo));
    if (const auto portText = nonEmpty(lookup(kEnvSmtpPort))) {
        overlay.port = parseSmtpPort(*portText);
        if (!overlay.port)
            logLine(std::string(kEnvSmtpPort) +
                    " is not a port number (1-65535), ignored: " + *portText);
    }
    return overlay;
}

SmtpConfig mergeSmtpConfig(SmtpConfig base, const SmtpConfigOverlay& overlay) {
    if (overlay.host) base.host = *overlay.host;
    if (overlay.port) base.port = *overlay.port;
    if (overlay.user) base.user = *overlay.user;
    if (overlay.password) base.password = *overlay.password;
    if (overlay.feedbackTo) base.feedbackTo = *overlay.feedbackTo;
    return base;
}

SmtpConfig effectiveSmtpConfig(const SmtpConfig& fromSettings, const EnvLookup& getEnv) {
    return mergeSmtpConfig(fromSettings, smtpOverlayFromEnvironment(getEnv));
}

}  // namespace marlowen
