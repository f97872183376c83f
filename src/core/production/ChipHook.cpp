#include "production/ChipHook.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

extern char **environ;

bool SplitCommandWords(const std::string &text, std::vector<std::string> &words, std::string &error)
{
    std::vector<std::string> out;
    std::string word;
    bool inWord = false;
    char quote = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quote == '\'') {
            if (c == '\'')
                quote = 0;
            else
                word += c;
        } else if (c == '\\' && i + 1 < text.size()) {
            word += text[++i];
            inWord = true;
        } else if (quote == '"') {
            if (c == '"')
                quote = 0;
            else
                word += c;
        } else if (c == '\'' || c == '"') {
            quote = c;
            inWord = true;
        } else if (c == ' ' || c == '\t' || c == '\n') {
            if (inWord) out.push_back(word);
            word.clear();
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (quote) {
        error = std::string("the command has an unclosed ") + quote;
        return false;
    }
    if (inWord) out.push_back(word);
    if (out.empty()) {
        error = "the command is empty";
        return false;
    }
    words = std::move(out);
    return true;
}

namespace {

constexpr size_t OutputKept = 64 * 1024;

// This process's environment with the variables set over it.
std::vector<std::string> Environment(const std::vector<std::pair<std::string, std::string>> &env)
{
    std::vector<std::string> vars;
    for (char **e = environ; e && *e; ++e) {
        const std::string var = *e;
        bool replaced = false;
        for (const auto &[name, value] : env)
            replaced = replaced || var.rfind(name + "=", 0) == 0;
        if (!replaced) vars.push_back(var);
    }
    for (const auto &[name, value] : env)
        vars.push_back(name + "=" + value);
    return vars;
}

std::vector<char *> Pointers(std::vector<std::string> &strings)
{
    std::vector<char *> p;
    for (std::string &s : strings)
        p.push_back(s.data());
    p.push_back(nullptr);
    return p;
}

// The hook's side of the fork: its own process group, the signals as a
// fresh program has them, no input, both outputs into the pipe. A failed
// exec tells its errno through the exec pipe. Only async-signal-safe calls.
[[noreturn]] void ExecHook(char *const argv[], char *const envp[], int out, int exec)
{
    setpgid(0, 0);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    signal(SIGPIPE, SIG_DFL);
    const int in = open("/dev/null", O_RDONLY);
    if (in >= 0) dup2(in, STDIN_FILENO);
    dup2(out, STDOUT_FILENO);
    dup2(out, STDERR_FILENO);
    execvpe(argv[0], argv, envp);
    const int failed = errno;
    (void)!write(exec, &failed, sizeof failed);
    _exit(127);
}

// The output until it ends (the hook and whatever it left running closed
// it) or the time is up (timedOut), the first OutputKept bytes kept.
template <class Left> void CollectOutput(int fd, Left left, HookRun &run)
{
    for (bool open = true; open;) {
        pollfd p{fd, POLLIN, 0};
        const int ready = poll(&p, 1, left());
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) {
            run.timedOut = true;
            break;
        }
        char chunk[4096];
        const ssize_t n = read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            open = false;
        } else if (run.output.size() < OutputKept) {
            run.output.append(chunk, std::min(static_cast<size_t>(n), OutputKept - run.output.size()));
        }
    }
}

} // namespace

HookRun RunHook(const std::vector<std::string> &words, const std::vector<std::pair<std::string, std::string>> &env,
                int timeoutMs)
{
    HookRun run;
    std::vector<std::string> args = words, vars = Environment(env);
    std::vector<char *> argv = Pointers(args), envp = Pointers(vars);
    // A pipe for the output and one that tells a failed exec (closed on exec).
    int out[2], exec[2];
    if (pipe2(out, O_CLOEXEC) != 0) {
        run.error = std::strerror(errno);
        return run;
    }
    if (pipe2(exec, O_CLOEXEC) != 0) {
        run.error = std::strerror(errno);
        close(out[0]);
        close(out[1]);
        return run;
    }
    const pid_t pid = fork();
    if (pid == 0) ExecHook(argv.data(), envp.data(), out[1], exec[1]);
    if (pid > 0) setpgid(pid, pid); // the group exists before any kill below
    close(out[1]);
    close(exec[1]);
    if (pid < 0) {
        run.error = std::strerror(errno);
        close(out[0]);
        close(exec[0]);
        return run;
    }
    int failed = 0;
    if (read(exec[0], &failed, sizeof failed) == static_cast<ssize_t>(sizeof failed))
        run.error = words[0] + ": " + std::strerror(failed);
    close(exec[0]);
    run.started = run.error.empty();

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    auto left = [&] {
        return static_cast<int>(std::max<long long>(
            0, std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now())
                   .count()));
    };
    CollectOutput(out[0], left, run);
    close(out[0]);
    if (run.timedOut) kill(-pid, SIGKILL);
    int status = 0;
    for (;;) {
        const pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid || (done < 0 && errno != EINTR)) break;
        if (done == 0 && !run.timedOut && left() == 0) {
            // It closed its output but goes on running.
            run.timedOut = true;
            kill(-pid, SIGKILL);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (run.timedOut) kill(-pid, SIGKILL); // what it left running
    if (WIFEXITED(status)) run.exitCode = WEXITSTATUS(status);
    if (WIFSIGNALED(status) && !run.timedOut) run.signal = WTERMSIG(status);
    return run;
}

std::string HookFailure(const HookRun &run)
{
    if (!run.started) return "could not be started: " + run.error;
    if (run.timedOut) return "did not end in time and was stopped";
    if (run.signal) return std::string("was ended by signal ") + strsignal(run.signal);
    if (run.exitCode != 0) return "failed with exit status " + std::to_string(run.exitCode);
    return {};
}
