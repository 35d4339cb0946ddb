// Runs a command and prints its peak resident memory in KiB. The kernel
// counts the memory of the process that started the command up to its exec,
// so the starter must be this small program, not a script interpreter.
//   peak_memory COMMAND [ARGUMENT...]   (prints "<KiB> <exit status>")
#include <cstdio>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    const pid_t child = ::fork();
    if (child < 0) return 2;
    if (child == 0) {
        ::execv(argv[1], argv + 1);
        ::_exit(127);
    }
    int status = 0;
    struct rusage usage {};
    if (::wait4(child, &status, 0, &usage) != child) return 2;
    std::printf("%ld %d\n", usage.ru_maxrss, WIFEXITED(status) ? WEXITSTATUS(status) : -1);
    return 0;
}
