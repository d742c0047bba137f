// Starting the binary on Linux: fork, then exec with the arguments as bytes.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

#include "harness.h"

namespace vantor::testing {

int currentProcessId() { return static_cast<int>(::getpid()); }

std::string vantorBinary() {
    const char* fromEnvironment = std::getenv("VANTOR_BINARY");
    return fromEnvironment != nullptr && *fromEnvironment != '\0' ? fromEnvironment : VANTOR_BINARY;
}

ProcessResult runBinary(const std::vector<std::string>& args, const fs::path& cwd, const RunOptions& options) {
    const fs::path outFile = cwd / ".stdout", errFile = cwd / ".stderr";
    std::string binary = vantorBinary();
    const pid_t pid = fork();
    if (pid == 0) {
        if (chdir(cwd.c_str()) != 0) _exit(126);
        if (options.memoryLimitBytes > 0) {
            const rlimit limit{options.memoryLimitBytes, options.memoryLimitBytes};
            setrlimit(RLIMIT_AS, &limit);
        }
        const int o = open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
        const int e = open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
        dup2(o, 1);
        dup2(e, 2);
        if (options.inChild) options.inChild();
        // Root may write anywhere; a test of refused writes runs as nobody.
        if (options.asNobody && geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(126);
        std::vector<char*> argv;
        argv.push_back(binary.data());
        std::vector<std::string> copies = args;
        for (auto& a : copies) argv.push_back(a.data());
        argv.push_back(nullptr);
        execv(binary.c_str(), argv.data());
        _exit(127);
    }
    int wstatus = 0;
    waitpid(pid, &wstatus, 0);
    ProcessResult r;
    r.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 128 + WTERMSIG(wstatus);
    r.out = slurp(outFile);
    r.err = slurp(errFile);
    fs::remove(outFile);
    fs::remove(errFile);
    return r;
}

}  // namespace vantor::testing
