// Test servers on 127.0.0.1, each on a port the system picked, so parallel
// test runs never collide:
//   SmtpSink      smtp_sink.py (python3-aiosmtpd) run with /usr/bin/python3;
//                 messages() answers what it took, decoded.
//   makeSelfSignedCertificate()  a certificate for 127.0.0.1 (openssl).
//   ClosedPort    a port that is bound but not listening: connects are refused.
//   SilentServer  a port that accepts connections and never says a word.
#pragma once

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

extern char** environ;

namespace marlowen::testing {

inline constexpr const char* kPython = "/usr/bin/python3";

// A TCP socket bound to 127.0.0.1 on a free port.
class LoopbackSocket {
public:
    LoopbackSocket() {
        fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        if (fd_ < 0 || ::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
            ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len) != 0)
            return;
        port_ = ntohs(a.sin_port);
    }
    ~LoopbackSocket() {
        if (fd_ >= 0) ::close(fd_);
    }
    LoopbackSocket(const LoopbackSocket&) = delete;
    LoopbackSocket& operator=(const LoopbackSocket&) = delete;

    int fd() const { return fd_; }
    int port() const { return port_; }

private:
    int fd_ = -1;
    int port_ = 0;
};

class ClosedPort {
public:
    int port() const { return socket_.port(); }

private:
    LoopbackSocket socket_;
};

class SilentServer {
public:
    SilentServer() {
        if (socket_.port() != 0) ::listen(socket_.fd(), 4);
    }
    int port() const { return socket_.port(); }

private:
    LoopbackSocket socket_;
};

// Writes cert.pem and key.pem for 127.0.0.1 into `folder`; false when the
// openssl command failed.
inline bool makeSelfSignedCertificate(const std::filesystem::path& folder) {
    const std::string command =
        "openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj /CN=127.0.0.1"
        " -addext subjectAltName=IP:127.0.0.1 -keyout '" +
        (folder / "key.pem").string() + "' -out '" + (folder / "cert.pem").string() +
        "' >/dev/null 2>&1";
    return std::system(command.c_str()) == 0 && std::filesystem::exists(folder / "cert.pem");
}

class SmtpSink {
public:
    explicit SmtpSink(const std::filesystem::path& folder, const std::string& user = {},
                      const std::string& password = {}, const std::filesystem::path& tlsCert = {},
                      const std::filesystem::path& tlsKey = {})
        : output_(folder / "messages.jsonl") {
        int out[2];
        if (::pipe(out) != 0) return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        std::vector<std::string> args = {kPython, MARLOWEN_SMTP_SINK_SCRIPT, output_.string()};
        if (!user.empty()) args.insert(args.end(), {"--user", user, "--password", password});
        if (!tlsCert.empty())
            args.insert(args.end(), {"--tls-cert", tlsCert.string(), "--tls-key", tlsKey.string()});
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        if (::posix_spawn(&pid_, kPython, &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        if (pid_ > 0) port_ = readPort(out[0]);
        ::close(out[0]);
    }
    ~SmtpSink() {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    SmtpSink(const SmtpSink&) = delete;
    SmtpSink& operator=(const SmtpSink&) = delete;

    // 0 when the server did not come up (see stderr of the test).
    int port() const { return port_; }

    std::vector<nlohmann::json> messages() const {
        std::vector<nlohmann::json> all;
        std::ifstream in(output_);
        for (std::string line; std::getline(in, line);)
            if (!line.empty()) all.push_back(nlohmann::json::parse(line));
        return all;
    }

private:
    // The first line of the server's output, waiting at most 10 seconds.
    static int readPort(int fd) {
        std::string line;
        for (;;) {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, 10000) <= 0) return 0;
            char c;
            if (::read(fd, &c, 1) != 1) return 0;
            if (c == '\n') break;
            line += c;
        }
        try {
            return std::stoi(line);
        } catch (...) {
            return 0;
        }
    }

    std::filesystem::path output_;
    pid_t pid_ = -1;
    int port_ = 0;
};

}  // namespace marlowen::testing
