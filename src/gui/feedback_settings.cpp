#include "gui/feedback_settings.h"

#include <QSettings>

namespace marlowen::gui {

namespace {

std::string stringValue(const QSettings& settings, const char* key) {
    return settings.value(QLatin1String(key)).toString().toStdString();
}

}  // namespace

SmtpConfig smtpConfigFromSettings(const QSettings& settings) {
    SmtpConfig config;
    config.host = stringValue(settings, "smtp/host");
    if (const auto port = parseSmtpPort(stringValue(settings, "smtp/port"))) config.port = *port;
    config.user = stringValue(settings, "smtp/user");
    config.password = stringValue(settings, "smtp/password");
    config.feedbackTo = stringValue(settings, "feedback/to");
    config.caFile = stringValue(settings, "smtp/caFile");
    return config;
}

SmtpConfig feedbackSmtpConfig() {
    const QSettings settings(QSettings::NativeFormat, QSettings::UserScope,
                             QStringLiteral("Marlowen"), QStringLiteral("Marlowen"));
    return effectiveSmtpConfig(smtpConfigFromSettings(settings));
}

}  // namespace marlowen::gui
