// Test helper for programs that start the engine as a child process: runs a program with a chosen environment
// and collects what it did. Header-only, for test programs (the platform's own and those of the layers
// above).
#pragma once

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <optional>
#include <poll.h>
#include <signal.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>
#include <vector>

extern char** environ;

namespace platform_test {

// A temporary folder, removed with its contents at the end of the test.
class TempFolder {
public:
    TempFolder() {
        char pattern[] = "/tmp/hh-platform-XXXXXX";
        const char* made = mkdtemp(pattern);
        m_path = made ? made : "";
    }
    ~TempFolder() {
        if (!m_path.empty()) std::system(("rm -rf '" + m_path + "'").c_str());
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::string& path() const { return m_path; }

private:
    std::string m_path;
};

inline std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

inline bool fileExists(const std::string& path) {
    return access(path.c_str(), F_OK) == 0;
}

using EnvChanges = std::vector<std::pair<std::string, std::optional<std::string>>>; // nullopt removes

// One running child: stdin and stdout are pipes, stderr goes to a file.
class ChildProcess {
public:
    ChildProcess(const std::string& program, const std::vector<std::string>& args, const EnvChanges& env,
                 const std::string& stderrPath) {
        std::vector<std::string> environment;
        for (char** e = environ; *e; ++e) {
            std::string entry = *e;
            std::string name = entry.substr(0, entry.find('='));
            bool changed = false;
            for (const auto& change : env) changed = changed || change.first == name;
            if (!changed) environment.push_back(entry);
        }
        for (const auto& change : env)
            if (change.second) environment.push_back(change.first + "=" + *change.second);
        std::vector<std::string> argv{program};
        argv.insert(argv.end(), args.begin(), args.end());

        int in[2], out[2];
        if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0) return;
        m_pid = fork();
        if (m_pid == 0) {
            int err = open(stderrPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            dup2(in[0], STDIN_FILENO);
            dup2(out[1], STDOUT_FILENO);
            if (err >= 0) dup2(err, STDERR_FILENO);
            std::vector<char*> cargv, cenv;
            for (auto& a : argv) cargv.push_back(a.data());
            cargv.push_back(nullptr);
            for (auto& e : environment) cenv.push_back(e.data());
            cenv.push_back(nullptr);
            execve(program.c_str(), cargv.data(), cenv.data());
            _exit(127);
        }
        close(in[0]);
        close(out[1]);
        m_stdin = in[1];
        m_stdout = out[0];
    }

    ~ChildProcess() {
        closeStdin();
        if (m_pid > 0 && !m_waited) {
            kill(m_pid, SIGKILL);
            wait();
        }
        if (m_stdout >= 0) close(m_stdout);
    }

    bool started() const { return m_pid > 0; }

    // Reads stdout until it holds text or the child closed it, for at most timeoutMs.
    bool waitForOutput(const std::string& text, int timeoutMs) {
        while (m_output.find(text) == std::string::npos) {
            pollfd readable{m_stdout, POLLIN, 0};
            if (poll(&readable, 1, timeoutMs) <= 0) return false;
            char buffer[256];
            ssize_t n = read(m_stdout, buffer, sizeof buffer);
            if (n <= 0) return false;
            m_output.append(buffer, static_cast<size_t>(n));
        }
        return true;
    }

    // Writes to the child's standard input; false when it is closed.
    bool writeStdin(const std::string& text) {
        return m_stdin >= 0 && write(m_stdin, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    }

    void closeStdin() {
        if (m_stdin >= 0) close(m_stdin);
        m_stdin = -1;
    }

    // Waits for the end; returns the raw wait status. Collects the remaining stdout.
    int wait() {
        if (m_waited) return m_status;
        closeStdin();
        char buffer[256];
        ssize_t n;
        while (m_stdout >= 0 && (n = read(m_stdout, buffer, sizeof buffer)) > 0)
            m_output.append(buffer, static_cast<size_t>(n));
        while (waitpid(m_pid, &m_status, 0) < 0 && errno == EINTR) {
        }
        m_waited = true;
        return m_status;
    }

    const std::string& output() const { return m_output; }

private:
    pid_t m_pid = -1;
    int m_stdin = -1;
    int m_stdout = -1;
    int m_status = 0;
    bool m_waited = false;
    std::string m_output;
};

// Exit code of a normal end (as the child returned it, modulo 256), or -1 when it died of a signal.
inline int exitCodeOf(int status) {
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
inline int signalOf(int status) {
    return WIFSIGNALED(status) ? WTERMSIG(status) : 0;
}

} // namespace platform_test
