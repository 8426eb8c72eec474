// Child processes of a test: a program with its arguments, extra environment and output
// files, or a function run in a copy of the test process; and their exit status as a shell
// reports it (128 + the signal when a signal ended them).
#pragma once
#include <fcntl.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

extern char** environ;

// Variables set in the child, each replacing one of the same name.
using ChildEnvironment = std::vector<std::pair<std::string, std::string>>;

// The exit status of a wait status: the exit code, or 128 + the signal.
inline int ExitStatus(int waitStatus) {
    return WIFEXITED(waitStatus) ? WEXITSTATUS(waitStatus) : 128 + WTERMSIG(waitStatus);
}

// Starts program with args, its stdout in the file out and its stderr in err (empty: in out
// as well); both files are created or emptied. The process id; the child exits with 127 when
// a file cannot be opened or the program cannot be started.
inline pid_t StartProgram(const std::string& program, const std::vector<std::string>& args,
                          const std::string& out, const std::string& err = "",
                          const ChildEnvironment& env = {}) {
    // Everything the child needs is prepared here: after fork it only opens, dups and execs.
    std::vector<std::string> variables;
    for (char** e = environ; *e; ++e) {
        const std::string v = *e;
        bool replaced = false;
        for (const auto& [name, value] : env) replaced = replaced || v.rfind(name + "=", 0) == 0;
        if (!replaced) variables.push_back(v);
    }
    for (const auto& [name, value] : env) variables.push_back(name + "=" + value);
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (auto& v : variables) envp.push_back(v.data());
    envp.push_back(nullptr);

    const pid_t pid = fork();
    if (pid == 0) {
        const int o = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int e = err.empty() ? o : open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (o < 0 || e < 0 || dup2(o, 1) < 0 || dup2(e, 2) < 0) _exit(127);
        execve(program.c_str(), argv.data(), envp.data());
        _exit(127);
    }
    return pid;
}

// Runs body in a copy of this process, which exits with what body returns. The process id.
inline pid_t StartInChild(const std::function<int()>& body) {
    const pid_t pid = fork();
    if (pid == 0) _exit(body());
    return pid;
}

// Waits for the child to end: its exit status, or -1 when pid is not a child.
inline int WaitForExit(pid_t pid) {
    int status = 0;
    if (waitpid(pid, &status, 0) != pid) return -1;
    return ExitStatus(status);
}

// True, with *exitStatus set, when the child has ended (it is then reaped); false while it runs.
inline bool HasEnded(pid_t pid, int* exitStatus) {
    int status = 0;
    if (waitpid(pid, &status, WNOHANG) != pid) return false;
    *exitStatus = ExitStatus(status);
    return true;
}
