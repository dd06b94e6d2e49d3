// PostLine: the small mail layer the feedback senders use, over libcurl's
// SMTP. One object is one mail; it is made, used and dropped on the sending
// thread, so two sends on two threads share nothing. The calls are made in
// this order:
//
//   Login(host, account, password, port)  -> 0, or a libcurl error code when
//                                            the server settings are unusable
//   SetAddress(from, to)
//   SetMail(subject, body)                   UTF-8 texts
//   RemoveAllAffix()                         no attachment goes with the mail
//   Send()                                -> 0 when the server took the mail,
//                                            else the libcurl error code
//
// Login records the session; the SMTP dialogue itself runs in Send(): greeting,
// EHLO, STARTTLS when the server offers it, AUTH when a password is given,
// the envelope and the message (see mail_message.h). The whole of it is
// bounded by the timeout (kDefaultSmtpTimeout unless setTimeout() says
// otherwise).
#pragma once

#include <chrono>
#include <string>
#include <utility>

#include "core/feedback/smtp_config.h"

namespace marlowen {

class PostLine {
public:
    PostLine();
    ~PostLine();
    PostLine(const PostLine&) = delete;
    PostLine& operator=(const PostLine&) = delete;

    int Login(const char* host, const char* account, const char* password, int port);
    void SetAddress(const char* from, const char* to);
    void SetMail(const char* subject, const char* body);
    void RemoveAllAffix();
    int Send();

    void setTimeout(std::chrono::milliseconds timeout) { timeout_ = timeout; }
    // Certificate authorities for TLS (PEM file); empty: the system's store.
    void setCaFile(std::string path) { caFile_ = std::move(path); }

    // The smtp:// (or smtps://) address Send() connects to; empty before a
    // successful Login.
    const std::string& serverUrl() const { return url_; }

private:
    std::string url_;
    std::string account_;
    std::string password_;
    std::string from_;
    std::string to_;
    std::string subject_;
    std::string body_;
    std::chrono::milliseconds timeout_ = kDefaultSmtpTimeout;
    std::string caFile_;
};

// The address Send() uses for a host setting and a port: "mail.example.org"
// -> "smtp://mail.example.org:25"; a host given as "smtp://..." or
// "smtps://..." keeps its scheme. Empty when the host is empty, has another
// scheme or a path, or the port is out of range.
std::string smtpServerUrl(const std::string& host, int port);

}  // namespace marlowen
