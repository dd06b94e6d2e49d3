#include "core/feedback/feedback_mail.h"

#include "core/feedback/post_line.h"
#include "core/log/log.h"

namespace marlowen {
namespace {

void logResult(int res) {
    logLine("res=======" + std::to_string(res));
}

}  // namespace

std::string getFeedBackInfo(std::string_view email, std::string_view suggestion) {
    std::string body = "RegEmail: ";
    body += email;
    body += "\nSuggestion:";
    body += suggestion;
    return body;
}

FeedbackSendResult sendFeedback(const SmtpConfig& config, std::string_view subject,
                                std::string_view body) {
    FeedbackSendResult result;
    if (!config.isConfigured()) {
        logLine(kFeedbackNotConfiguredLine);
        return result;
    }
    result.attempted = true;
    const std::string sender = config.sender();
    const std::string recipient = config.recipient();
    const std::string subjectText(subject);
    const std::string bodyText(body);

    PostLine mail;
    mail.setTimeout(config.timeout);
    mail.setCaFile(config.caFile);
    result.login =
        mail.Login(config.host.c_str(), sender.c_str(), config.password.c_str(), config.port);
    logResult(result.login);
    mail.SetAddress(sender.c_str(), recipient.c_str());
    mail.SetMail(subjectText.c_str(), bodyText.c_str());
    mail.RemoveAllAffix();
    result.send = mail.Send();
    logResult(result.send);
    return result;
}

FeedbackSendResult sendFeedBackEmailHandle(const SmtpConfig& config, std::string_view email,
                                           std::string_view suggestion) {
    return sendFeedback(config, kFeedbackSubject, getFeedBackInfo(email, suggestion));
}

FeedbackSendResult sendEmailHandle(const SmtpConfig& config, std::string_view suggestion) {
    return sendFeedback(config, kFeedbackSubject, suggestion);
}

}  // namespace marlowen
