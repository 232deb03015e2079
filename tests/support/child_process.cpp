#ifndef _WIN32
#include "support/child_process.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

namespace qvtest {

int RunInChild(const std::function<int()>& body) {
    std::fflush(nullptr);
    pid_t pid = fork();
    if (pid == 0)
        _exit(body());
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid)
        return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

} // namespace qvtest
#endif
