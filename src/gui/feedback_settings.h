// The feedback mail settings of the desktop program: the settings file of the
// organisation "Marlowen" read into an SmtpConfig, with the environment laid
// over it (see core/feedback/smtp_config.h). Keys of the settings file:
//
//   smtp/host  smtp/port  smtp/user  smtp/password  smtp/caFile  feedback/to
#pragma once

#include "core/feedback/smtp_config.h"

class QSettings;

namespace marlowen::gui {

// The values of `settings`; a missing key keeps the default, an unusable
// port is ignored.
SmtpConfig smtpConfigFromSettings(const QSettings& settings);

// What a feedback send uses: the user's settings file under the environment.
SmtpConfig feedbackSmtpConfig();

}  // namespace marlowen::gui
