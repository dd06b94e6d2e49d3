// Feedback mail: the bodies of the two feedback forms and the send that both
// make on a thread of their own. Delivery failures are only logged; the
// caller gets the two results back but nothing tells the user.
#pragma once

#include <string>
#include <string_view>

#include "core/feedback/smtp_config.h"

namespace marlowen {

inline constexpr const char* kFeedbackSubject = "Marlowen";

// Logged, once per send, when no server or address is configured.
inline constexpr const char* kFeedbackNotConfiguredLine =
    "feedback mail not sent: no SMTP server configured (settings file or MARLOWEN_SMTP_HOST, "
    "MARLOWEN_SMTP_USER or MARLOWEN_FEEDBACK_TO)";

// Body of the feedback window: "RegEmail: <email>\nSuggestion:<suggestion>",
// both texts as they are, placeholder or empty included.
std::string getFeedBackInfo(std::string_view email, std::string_view suggestion);

struct FeedbackSendResult {
    bool attempted = false;  // false: nothing configured, nothing sent
    int login = -1;          // result of Login, when attempted
    int send = -1;           // result of Send, when attempted; 0 = delivered
    bool delivered() const { return attempted && send == 0; }
};

// Runs Login, SetAddress, SetMail, RemoveAllAffix and Send in that order on
// the calling thread, logging "res=======<n>" after Login and after Send.
// With nothing configured it logs kFeedbackNotConfiguredLine and returns
// without touching the network.
FeedbackSendResult sendFeedback(const SmtpConfig& config, std::string_view subject,
                                std::string_view body);

// The thread bodies' mail part: the feedback window's mail (subject
// "Marlowen", getFeedBackInfo body) and the feedback sheet's (the suggestion
// alone).
FeedbackSendResult sendFeedBackEmailHandle(const SmtpConfig& config, std::string_view email,
                                           std::string_view suggestion);
FeedbackSendResult sendEmailHandle(const SmtpConfig& config, std::string_view suggestion);

}  // namespace marlowen
