// tarnbox-sim started as a separate program: its first line on stdout is the
// path of the pseudo-terminal it serves. TARNBOX_SIM_PROGRAM names the binary.
#pragma once

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

class SimProcess {
public:
    explicit SimProcess(std::vector<std::string> args)
    {
        int out[2];
        if (pipe(out) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            dup2(out[1], STDOUT_FILENO);
            close(out[0]);
            close(out[1]);
            std::vector<char *> argv{const_cast<char *>(TARNBOX_SIM_PROGRAM)};
            for (std::string &a : args)
                argv.push_back(a.data());
            argv.push_back(nullptr);
            execv(TARNBOX_SIM_PROGRAM, argv.data());
            _exit(127);
        }
        close(out[1]);
        stdout_ = fdopen(out[0], "r");
        char line[512] = {};
        if (stdout_ && std::fgets(line, sizeof line, stdout_)) {
            path_ = line;
            while (!path_.empty() && (path_.back() == '\n' || path_.back() == '\r'))
                path_.pop_back();
        }
    }
    ~SimProcess()
    {
        if (pid_ > 0) Stop();
        if (stdout_) std::fclose(stdout_);
    }
    const std::string &Path() const { return path_; }
    // Ends the program with SIGTERM; returns its exit status (-1 if it died otherwise).
    int Stop()
    {
        if (pid_ <= 0) return -1;
        kill(pid_, SIGTERM);
        int status = 0;
        waitpid(pid_, &status, 0);
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

private:
    pid_t pid_ = -1;
    FILE *stdout_ = nullptr;
    std::string path_;
};
