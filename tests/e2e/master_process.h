// Starts the stand-in master server (build/hm_master) on 127.0.0.2 at a port the
// system chooses, and stops it again.  Shared by the tests that talk to it.
#pragma once

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>

namespace e2e {

class MasterProcess {
public:
    // newest: the release number the master reports to version checks.
    explicit MasterProcess(const char *newest = "7") {
        int fds[2];
        if (pipe(fds) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            dup2(fds[1], STDOUT_FILENO);
            close(fds[0]);
            close(fds[1]);
            execl(HM_BUILD_DIR "/hm_master", "hm_master", "-ip", "127.0.0.2", "-port", "0", "-newest", newest,
                  static_cast<char *>(nullptr));
            _exit(127);
        }
        close(fds[1]);
        out_ = fdopen(fds[0], "r");
        char line[256];
        int port = 0;
        if (out_ && fgets(line, sizeof line, out_) && sscanf(line, "hm_master: listening on 127.0.0.2:%d", &port) == 1) {
            port_ = static_cast<uint16_t>(port);
        }
    }
    ~MasterProcess() {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
        if (out_) fclose(out_);
    }
    MasterProcess(const MasterProcess &) = delete;
    MasterProcess &operator=(const MasterProcess &) = delete;

    uint16_t port() const { return port_; }  // 0 when it did not start
    std::string address() const { return "127.0.0.2:" + std::to_string(port_); }

private:
    pid_t pid_ = -1;
    uint16_t port_ = 0;
    FILE *out_ = nullptr;
};

}  // namespace e2e
