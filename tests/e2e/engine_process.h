// Starts the real engine in its own temporary base directory, feeds its standard
// input and reads its standard output.  Shared by the end-to-end tests.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace e2e {

// The end of a wait by the wall clock: a wait runs until what it waits for has come or
// its deadline has passed, however long each of its passes takes.
class Deadline {
public:
    explicit Deadline(double seconds)
        : end_(std::chrono::steady_clock::now() +
               std::chrono::duration_cast<std::chrono::steady_clock::duration>(std::chrono::duration<double>(seconds))) {}
    bool passed() const { return std::chrono::steady_clock::now() >= end_; }
    // Seconds left, 0 once passed.
    double left() const {
        return std::max(0.0, std::chrono::duration<double>(end_ - std::chrono::steady_clock::now()).count());
    }

private:
    std::chrono::steady_clock::time_point end_;
};

// A fresh directory under the system's temporary directory, removed on destruction.
class TempDir {
public:
    TempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "hm_e2e_XXXXXX").string();
        path_ = mkdtemp(pattern.data()) ? pattern : std::string();
    }
    ~TempDir() {
        std::error_code ec;
        if (!path_.empty()) std::filesystem::remove_all(path_, ec);
    }
    const std::string &path() const { return path_; }
    std::string file(const std::string &name) const { return path_ + "/" + name; }
    void write(const std::string &name, const std::string &text) const { std::ofstream(file(name)) << text; }
    std::string read(const std::string &name) const {
        std::ifstream f(file(name), std::ios::binary);
        std::stringstream s;
        s << f.rdbuf();
        return s.str();
    }
    bool exists(const std::string &name) const { return std::filesystem::exists(file(name)); }

private:
    std::string path_;
};

// One engine process with pipes on its standard input and output (standard error
// joins the output).
class Engine {
public:
    // Starts build/<program> (the shipped engine unless a test build is named) with args,
    // working directory dir.
    Engine(const std::string &dir, const std::vector<std::string> &args, const std::string &program = "engine") {
        int in[2], out[2];
        if (pipe(in) || pipe(out)) return;
        pid_ = fork();
        if (pid_ == 0) {
            dup2(in[0], 0);
            dup2(out[1], 1);
            dup2(out[1], 2);
            close(in[0]), close(in[1]), close(out[0]), close(out[1]);
            if (chdir(dir.c_str())) _exit(127);
            const std::string exe = std::string(HM_BUILD_DIR) + "/" + program;
            // Every engine of the tests binds a port the system chose, never the
            // default one, unless the test names the port itself.
            static char set[] = "+set", name[] = "net_port", any[] = "0";
            std::vector<char *> argv{const_cast<char *>(exe.c_str())};
            if (std::find(args.begin(), args.end(), std::string(name)) == args.end())
                argv.insert(argv.end(), {set, name, any});
            for (const std::string &a : args) argv.push_back(const_cast<char *>(a.c_str()));
            argv.push_back(nullptr);
            execv(exe.c_str(), argv.data());
            _exit(127);
        }
        close(in[0]);
        close(out[1]);
        in_ = in[1];
        out_ = out[0];
        signal(SIGPIPE, SIG_IGN);
    }
    ~Engine() {
        if (pid_ > 0 && !exited_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        if (in_ >= 0) close(in_);
        if (out_ >= 0) close(out_);
    }

    // Writes text on the engine's standard input.
    void send(const std::string &text) {
        if (in_ >= 0 && write(in_, text.data(), text.size()) < 0) closeInput();
    }
    void closeInput() {
        if (in_ >= 0) close(in_);
        in_ = -1;
    }

    // Reads until the output holds needle; false when it did not come within seconds.
    bool waitFor(const std::string &needle, double seconds = 30) {
        const Deadline deadline(seconds);
        while (output_.find(needle) == std::string::npos) {
            const int ms = static_cast<int>(deadline.left() * 1000);
            if (ms <= 0 || !readSome(ms)) return false;
        }
        return true;
    }

    // Reads the rest of the output and waits for the end; the exit status, or -1
    // when the engine did not end within seconds (it is killed then).
    int finish(double seconds = 30) {
        const Deadline deadline(seconds);
        for (;;) {
            const int ms = static_cast<int>(deadline.left() * 1000);
            if (ms <= 0) {
                kill(pid_, SIGKILL);
                waitpid(pid_, nullptr, 0);
                exited_ = true;
                return -1;
            }
            if (!readSome(ms)) break;
        }
        int status = 0;
        waitpid(pid_, &status, 0);
        exited_ = true;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

    const std::string &output() const { return output_; }

private:
    // Reads what is there within ms; false at the end of the output or on time-out.
    bool readSome(int ms) {
        pollfd p{out_, POLLIN, 0};
        if (poll(&p, 1, ms) <= 0) return false;
        char buf[4096];
        const ssize_t n = read(out_, buf, sizeof(buf));
        if (n <= 0) return false;
        output_.append(buf, static_cast<size_t>(n));
        return true;
    }

    pid_t pid_ = -1;
    int in_ = -1, out_ = -1;
    bool exited_ = false;
    std::string output_;
};

// The shipped default data, copied into a test's directory as a player's installation has it.
inline void CopyData(const TempDir &dir) {
    std::filesystem::copy(std::filesystem::path(HM_SOURCE_DIR) / "data", dir.path(),
                          std::filesystem::copy_options::recursive);
}

// Strips the colour escapes (the byte 0xA4 and two digits) from a displayed text.
inline std::string Plain(const std::string &text) {
    std::string out;
    for (size_t i = 0; i < text.size(); i++) {
        if (static_cast<unsigned char>(text[i]) == 0xA4 && i + 2 < text.size()) i += 2;
        else out += text[i];
    }
    return out;
}

// The output split into lines.
inline std::vector<std::string> Lines(const std::string &text) {
    std::vector<std::string> lines;
    std::stringstream s(text);
    for (std::string line; std::getline(s, line);) lines.push_back(line);
    return lines;
}

}  // namespace e2e
