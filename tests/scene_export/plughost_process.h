// plughost started as a process of its own, as a script or a shell starts it: optionally as
// another user, its output and errors read together, and its end (an exit or a signal) told.
#ifndef TESTS_SCENE_EXPORT_PLUGHOST_PROCESS_H
#define TESTS_SCENE_EXPORT_PLUGHOST_PROCESS_H

#include <grp.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>
#include <vector>

namespace plughosttest {

struct ProcessEnd {
    bool exited = false;
    int status = -1;  // the exit status when it exited
    int signal = 0;   // the signal that ended it otherwise
    std::string out;  // standard output and standard error together
};

class PlughostProcess {
public:
    // Starts plughost with the arguments; as the given user (and its group) when user is not -1,
    // which needs root. No core file is written should a signal end it.
    explicit PlughostProcess(const std::vector<std::string>& arguments, uid_t user = static_cast<uid_t>(-1)) {
        int pipeEnds[2] = {-1, -1};
        if (pipe(pipeEnds) != 0) {
            return;
        }
        pid_ = fork();
        if (pid_ == 0) {
            dup2(pipeEnds[1], STDOUT_FILENO);
            dup2(pipeEnds[1], STDERR_FILENO);
            close(pipeEnds[0]);
            close(pipeEnds[1]);
            const rlimit noCore{0, 0};
            setrlimit(RLIMIT_CORE, &noCore);
            if (user != static_cast<uid_t>(-1) &&
                (setgroups(0, nullptr) != 0 || setgid(static_cast<gid_t>(user)) != 0 || setuid(user) != 0)) {
                _exit(126);
            }
            std::vector<char*> argv{const_cast<char*>(QMP_PLUGHOST)};
            for (const std::string& argument : arguments) {
                argv.push_back(const_cast<char*>(argument.c_str()));
            }
            argv.push_back(nullptr);
            execv(QMP_PLUGHOST, argv.data());
            _exit(127);
        }
        close(pipeEnds[1]);
        output_ = pid_ > 0 ? pipeEnds[0] : -1;
        if (pid_ < 0) {
            close(pipeEnds[0]);
        }
    }
    ~PlughostProcess() {
        if (pid_ > 0) {
            wait();
        }
    }
    PlughostProcess(const PlughostProcess&) = delete;
    PlughostProcess& operator=(const PlughostProcess&) = delete;

    pid_t pid() const { return pid_; }

    // Reads its output to the end, then waits for it to end.
    ProcessEnd wait() {
        ProcessEnd end;
        char buffer[4096];
        ssize_t read = 0;
        while (output_ >= 0 && ((read = ::read(output_, buffer, sizeof buffer)) > 0 || (read < 0 && errno == EINTR))) {
            if (read > 0) {
                end.out.append(buffer, static_cast<size_t>(read));
            }
        }
        if (output_ >= 0) {
            close(output_);
            output_ = -1;
        }
        int status = 0;
        if (pid_ > 0 && waitpid(pid_, &status, 0) == pid_) {
            end.exited = WIFEXITED(status);
            end.status = end.exited ? WEXITSTATUS(status) : -1;
            end.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
        }
        pid_ = -1;
        return end;
    }

private:
    pid_t pid_ = -1;
    int output_ = -1;
};

inline ProcessEnd runPlughost(const std::vector<std::string>& arguments, uid_t user = static_cast<uid_t>(-1)) {
    PlughostProcess process(arguments, user);
    return process.wait();
}

inline size_t lineCount(const std::string& text) {
    size_t lines = 0;
    for (char c : text) {
        lines += c == '\n' ? 1 : 0;
    }
    return lines;
}

// What a shell command line of plughost printed and how it ended: `arguments` go through the shell
// as written (quote paths), standard error joins standard output.
struct CommandRun {
    int status = -1;  // the exit status; -1 when it did not exit
    std::string out;  // standard output and standard error together
};

// The shell command line, its standard error joined to its output.
inline CommandRun runShell(const std::string& commandLine) {
    CommandRun run;
    const std::string command = commandLine + " 2>&1";
    std::FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return run;
    }
    char buffer[4096];
    size_t read = 0;
    while ((read = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) {
        run.out.append(buffer, read);
    }
    const int status = pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

inline CommandRun plughost(const std::string& arguments) {
    return runShell(std::string(QMP_PLUGHOST) + " " + arguments);
}

}  // namespace plughosttest

#endif
