// Starting the binary on Linux: fork, then exec with the arguments as bytes;
// the limits and the user a test asks for are set in the child in between.
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

#include "harness.h"

namespace vantor::testing {

int currentProcessId() { return static_cast<int>(::getpid()); }

std::optional<std::string> environmentVariable(const std::string& name) {
    const char* value = ::getenv(name.c_str());
    return value != nullptr ? std::optional<std::string>(value) : std::nullopt;
}

void setEnvironmentVariable(const std::string& name, const std::optional<std::string>& value) {
    if (value) {
        ::setenv(name.c_str(), value->c_str(), 1);
    } else {
        ::unsetenv(name.c_str());
    }
}

bool runningAsRoot() { return ::geteuid() == 0; }

bool underWine() { return false; }

unsigned systemAnsiCodePage() { return 0; }

std::uint64_t fileIdentity(const fs::path& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? static_cast<std::uint64_t>(st.st_ino) : 0;
}

unsigned currentUmask() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}

std::string readOnce(const fs::path& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return {};
    struct stat st {};
    std::string text;
    if (::fstat(fd, &st) == 0) {
        text.resize(static_cast<std::size_t>(st.st_size));
        const ssize_t got = ::read(fd, text.data(), text.size());
        text.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    }
    ::close(fd);
    return text;
}

std::shared_ptr<void> holdOpen(const fs::path& path, bool) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    return std::shared_ptr<void>(reinterpret_cast<void*>(static_cast<std::intptr_t>(fd)), [](void* held) {
        const int held_fd = static_cast<int>(reinterpret_cast<std::intptr_t>(held));
        if (held_fd >= 0) ::close(held_fd);
    });
}

std::string vantorBinary() {
    const char* fromEnvironment = std::getenv("VANTOR_BINARY");
    return fromEnvironment != nullptr && *fromEnvironment != '\0' ? fromEnvironment : VANTOR_BINARY;
}

std::string builtBeside(const std::string& name) { return (fs::path(VANTOR_BINARY).parent_path() / name).string(); }

ProcessResult runBinary(const std::vector<std::string>& args, const fs::path& cwd, const RunOptions& options) {
    const fs::path outFile = cwd / ".stdout", errFile = cwd / ".stderr";
    std::string binary = options.binary.empty() ? vantorBinary() : options.binary;
    const pid_t pid = fork();
    if (pid == 0) {
        if (chdir(cwd.c_str()) != 0) _exit(126);
        if (options.memoryLimitBytes > 0) {
            const rlimit limit{options.memoryLimitBytes, options.memoryLimitBytes};
            setrlimit(RLIMIT_AS, &limit);
        }
        if (options.fileSizeLimitBytes > 0) {
            // The run itself must turn a write past the limit into EFBIG: SIGXFSZ as it comes by default.
            signal(SIGXFSZ, SIG_DFL);
            const rlimit limit{options.fileSizeLimitBytes, options.fileSizeLimitBytes};
            setrlimit(RLIMIT_FSIZE, &limit);
        }
        const int o = open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
        const int e = open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
        dup2(o, 1);
        dup2(e, 2);
        // The alarm outlives exec: a run that blocks is ended by it.
        if (options.timeoutSeconds > 0) {
            signal(SIGALRM, SIG_DFL);
            alarm(static_cast<unsigned>(options.timeoutSeconds));
        }
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
    if (WIFSIGNALED(wstatus) && WTERMSIG(wstatus) == SIGALRM) {
        r.status = kKilled;
    } else {
        r.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 128 + WTERMSIG(wstatus);
    }
    r.out = slurp(outFile);
    r.err = slurp(errFile);
    fs::remove(outFile);
    fs::remove(errFile);
    return r;
}

}  // namespace vantor::testing
