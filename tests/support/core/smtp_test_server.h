#pragma once

// The test mail server (tests/e2e/smtp_server.py on Debian's python3-aiosmtpd) on a free loopback
// port, for as long as this object lives; POSIX only.

#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "support/core/temp_dir.h"

extern char** environ;

namespace zel::test {

// The test CA and its certificates, made once for the whole run (make_test_ca.sh).
inline const std::filesystem::path& testCertificates() {
    static const TempDir dir;
    static const bool made = std::system(("bash " ZEL_TEST_SOURCE_DIR "/e2e/make_test_ca.sh '" +
                                          dir.path().string() + "' >/dev/null")
                                             .c_str()) == 0;
    if (!made) throw std::runtime_error("make_test_ca.sh failed");
    return dir.path();
}

class SmtpTestServer {
public:
    // `mode`: starttls, tls, plain or hang; `certificate`: "server" or "untrusted".
    explicit SmtpTestServer(const std::string& mode, const std::string& certificate = "server") {
        port_ = freePort();
        const std::filesystem::path certs = testCertificates();
        std::vector<std::string> args = {"/usr/bin/python3", ZEL_TEST_SOURCE_DIR "/e2e/smtp_server.py",
                                         "--port", std::to_string(port_), "--out", out_.path().string(),
                                         "--mode", mode, "--user", "yedek@ornek.com", "--password", "gizli",
                                         "--cert", (certs / (certificate + ".pem")).string(),
                                         "--key", (certs / (certificate + ".key")).string()};
        // Its output goes to a file: a pipe nobody reads any more would end it at its next line.
        const std::string said = (log_.path() / "server.log").string();
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, said.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        const int spawned = posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        if (spawned != 0) throw std::runtime_error("python3 could not be started");
        for (int i = 0; i < 200; ++i) {
            if (readFile(said).find("ready") != std::string::npos) return;
            ::usleep(50000);
        }
        throw std::runtime_error("no SMTP server: " + readFile(said));
    }
    ~SmtpTestServer() {
        ::kill(pid_, SIGTERM);
        ::waitpid(pid_, nullptr, 0);
    }
    SmtpTestServer(const SmtpTestServer&) = delete;
    SmtpTestServer& operator=(const SmtpTestServer&) = delete;

    int port() const { return port_; }
    // The mails it took, in order, each as the bytes it got.
    std::vector<std::string> mails() const {
        std::vector<std::string> all;
        for (int n = 1; std::filesystem::exists(out_.path() / (std::to_string(n) + ".eml")); ++n)
            all.push_back(readFile(out_.path() / (std::to_string(n) + ".eml")));
        return all;
    }

private:
    static int freePort() {
        const int s = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t n = sizeof a;
        ::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
        ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &n);
        ::close(s);
        return ntohs(a.sin_port);
    }

    TempDir out_;
    TempDir log_;
    pid_t pid_ = 0;
    int port_ = 0;
};

}  // namespace zel::test
