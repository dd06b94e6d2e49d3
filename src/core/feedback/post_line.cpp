#include "core/feedback/post_line.h"

#include <curl/curl.h>

#include <algorithm>
#include <cstring>
#include <ctime>
#include <memory>
#include <mutex>
#include <string_view>

#include "core/feedback/mail_message.h"

namespace marlowen {
namespace {

CURLcode globalInit() {
    static std::once_flag once;
    static CURLcode code = CURLE_OK;
    std::call_once(once, [] { code = curl_global_init(CURL_GLOBAL_DEFAULT); });
    return code;
}

std::string text(const char* s) {
    return s ? std::string(s) : std::string();
}

struct Upload {
    std::string_view rest;
};

size_t readUpload(char* buffer, size_t size, size_t count, void* userdata) {
    auto* upload = static_cast<Upload*>(userdata);
    const std::size_t n = std::min(size * count, upload->rest.size());
    std::memcpy(buffer, upload->rest.data(), n);
    upload->rest.remove_prefix(n);
    return n;
}

struct EasyDeleter {
    void operator()(CURL* curl) const { curl_easy_cleanup(curl); }
};
struct ListDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

}  // namespace

std::string smtpServerUrl(const std::string& host, int port) {
    if (host.empty() || port < 1 || port > 65535) return {};
    std::string scheme = "smtp://";
    std::string name = host;
    for (const char* known : {"smtp://", "smtps://"}) {
        if (name.rfind(known, 0) == 0) {
            scheme = known;
            name.erase(0, std::strlen(known));
            break;
        }
    }
    if (!name.empty() && name.back() == '/') name.pop_back();
    if (name.empty() || name.find_first_of("/?#@ \t\r\n") != std::string::npos ||
        name.find("://") != std::string::npos)
        return {};
    // An IPv6 literal needs brackets before the port.
    if (name.find(':') != std::string::npos && name.front() != '[') name = "[" + name + "]";
    return scheme + name + ":" + std::to_string(port);
}

PostLine::PostLine() = default;
PostLine::~PostLine() = default;

int PostLine::Login(const char* host, const char* account, const char* password, int port) {
    url_ = smtpServerUrl(text(host), port);
    account_ = text(account);
    password_ = text(password);
    if (url_.empty()) return CURLE_URL_MALFORMAT;
    return globalInit();
}

void PostLine::SetAddress(const char* from, const char* to) {
    from_ = text(from);
    to_ = text(to);
}

void PostLine::SetMail(const char* subject, const char* body) {
    subject_ = text(subject);
    body_ = text(body);
}

// No attachments are ever added, so there is nothing to remove; the call
// stays so that a send reads the same everywhere.
void PostLine::RemoveAllAffix() {}

int PostLine::Send() {
    if (url_.empty()) return CURLE_URL_MALFORMAT;
    if (const CURLcode init = globalInit(); init != CURLE_OK) return init;
    if (!isPlainAddress(from_) || !isPlainAddress(to_)) return CURLE_BAD_FUNCTION_ARGUMENT;

    const std::time_t now = std::time(nullptr);
    const std::string message = composeMessage({.from = from_,
                                                .to = to_,
                                                .subject = subject_,
                                                .date = now,
                                                .messageId = makeMessageId(from_, now)},
                                               body_);

    std::unique_ptr<CURL, EasyDeleter> curl(curl_easy_init());
    if (!curl) return CURLE_FAILED_INIT;
    std::unique_ptr<curl_slist, ListDeleter> recipients(
        curl_slist_append(nullptr, ("<" + to_ + ">").c_str()));
    if (!recipients) return CURLE_OUT_OF_MEMORY;
    const std::string mailFrom = "<" + from_ + ">";
    Upload upload{message};
    const long timeoutMs = static_cast<long>(std::max<long long>(1, timeout_.count()));

    CURL* c = curl.get();
    curl_easy_setopt(c, CURLOPT_URL, url_.c_str());
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "smtp,smtps");
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS, timeoutMs);
    curl_easy_setopt(c, CURLOPT_TIMEOUT_MS, timeoutMs);
    // Encrypt whenever the server offers STARTTLS; its certificate is
    // verified, and a failed verification fails the send.
    curl_easy_setopt(c, CURLOPT_USE_SSL, static_cast<long>(CURLUSESSL_TRY));
    if (!caFile_.empty()) curl_easy_setopt(c, CURLOPT_CAINFO, caFile_.c_str());
    if (!password_.empty()) {
        curl_easy_setopt(c, CURLOPT_USERNAME, account_.c_str());
        curl_easy_setopt(c, CURLOPT_PASSWORD, password_.c_str());
    }
    curl_easy_setopt(c, CURLOPT_MAIL_FROM, mailFrom.c_str());
    curl_easy_setopt(c, CURLOPT_MAIL_RCPT, recipients.get());
    curl_easy_setopt(c, CURLOPT_READFUNCTION, readUpload);
    curl_easy_setopt(c, CURLOPT_READDATA, &upload);
    curl_easy_setopt(c, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(message.size()));
    curl_easy_setopt(c, CURLOPT_UPLOAD, 1L);
    return curl_easy_perform(c);
}

}  // namespace marlowen
