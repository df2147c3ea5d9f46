// ShellExecuteExA: hands a URL to $BROWSER or xdg-open, started detached.
#include "shell.h"

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

bool IsExecutableFile(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && access(path.c_str(), X_OK) == 0;
}

// The program's path: as given when it holds a "/", else the first match in PATH. Empty when none.
std::string FindProgram(const std::string& name) {
    if (name.empty()) return std::string();
    if (name.find('/') != std::string::npos) return IsExecutableFile(name) ? name : std::string();
    const char* pathVariable = std::getenv("PATH");
    const std::string path = pathVariable ? pathVariable : "/usr/local/bin:/usr/bin:/bin";
    size_t start = 0;
    for (;;) {
        const size_t colon = path.find(':', start);
        std::string folder = path.substr(start, colon == std::string::npos ? std::string::npos : colon - start);
        if (folder.empty()) folder = ".";
        const std::string candidate = folder + "/" + name;
        if (IsExecutableFile(candidate)) return candidate;
        if (colon == std::string::npos) return std::string();
        start = colon + 1;
    }
}

// Closes the descriptors first..last, by one system call where the kernel has it.
void CloseRange(unsigned first, unsigned last, int limit) {
    if (first > last) return;
#ifdef SYS_close_range
    if (syscall(SYS_close_range, first, last, 0u) == 0) return;
#endif
    for (unsigned fd = first; fd <= last && fd < static_cast<unsigned>(limit); ++fd) close(static_cast<int>(fd));
}

void ReportAndExit(int pipeOut, int error) {
    while (write(pipeOut, &error, sizeof(error)) < 0 && errno == EINTR) {
    }
    _exit(127);
}

// Starts the program with one argument as a grandchild, so that the caller never has to reap it.
// Returns 0 once it has been exec'ed, else the errno of the failure.
int Launch(const std::string& program, const char* argument, const char* folder) {
    // Everything the children need is prepared here: between fork and exec only async-signal-safe
    // calls are made.
    std::vector<char*> argv = {const_cast<char*>(program.c_str()), const_cast<char*>(argument), nullptr};
    struct rlimit files {};
    const int fdLimit = (getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur != RLIM_INFINITY &&
                         files.rlim_cur < 65536)
                            ? static_cast<int>(files.rlim_cur)
                            : 65536;
    int report[2];
    if (pipe2(report, O_CLOEXEC) != 0) return errno;
    const int devNull = open("/dev/null", O_RDWR | O_CLOEXEC);
    if (devNull < 0) {
        const int error = errno;
        close(report[0]);
        close(report[1]);
        return error;
    }

    const pid_t child = fork();
    if (child == 0) {
        const pid_t grandchild = fork();
        if (grandchild < 0) ReportAndExit(report[1], errno);
        if (grandchild > 0) _exit(0);

        setsid();
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        for (int sig = 1; sig < NSIG; ++sig) signal(sig, SIG_DFL);  // ignored signals survive exec
        if (dup2(devNull, STDIN_FILENO) < 0) ReportAndExit(report[1], errno);
        // Keep only stdin, stdout, stderr and the report pipe (closed by exec).
        const int keep = report[1];
        CloseRange(3, static_cast<unsigned>(keep) - 1, fdLimit);
        CloseRange(static_cast<unsigned>(keep) + 1, ~0u, fdLimit);
        if (folder && *folder && chdir(folder) != 0) ReportAndExit(keep, errno);
        execv(argv[0], argv.data());
        ReportAndExit(keep, errno);
    }
    const int forkError = child < 0 ? errno : 0;
    close(report[1]);
    close(devNull);
    if (child > 0) {
        int status;
        while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
        }
    }
    int error = forkError;
    if (!error) {
        int reported = 0;
        ssize_t n;
        while ((n = read(report[0], &reported, sizeof(reported))) < 0 && errno == EINTR) {
        }
        if (n == static_cast<ssize_t>(sizeof(reported))) error = reported ? reported : EIO;
    }
    close(report[0]);
    return error;
}

bool IsOpenVerb(const char* verb) {
    if (!verb || !*verb) return true;
    static const char kOpen[] = "open";
    for (size_t i = 0; i < sizeof(kOpen); ++i) {
        char c = verb[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != kOpen[i]) return false;
    }
    return true;
}

HINSTANCE ShellResult(int code) { return reinterpret_cast<HINSTANCE>(static_cast<INT_PTR>(code)); }

}  // namespace

extern "C" BOOL ShellExecuteExA(SHELLEXECUTEINFOA* info) {
    if (!info || info->cbSize != sizeof(SHELLEXECUTEINFOA)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    info->hProcess = nullptr;
    if (!IsOpenVerb(info->lpVerb)) {
        info->hInstApp = ShellResult(SE_ERR_NOASSOC);
        SetLastError(ERROR_NO_ASSOCIATION);
        return FALSE;
    }
    if (!info->lpFile || !*info->lpFile) {
        info->hInstApp = ShellResult(SE_ERR_FNF);
        SetLastError(ERROR_FILE_NOT_FOUND);
        return FALSE;
    }

    std::vector<std::string> programs;
    if (const char* browser = std::getenv("BROWSER")) {
        const std::string first = std::string(browser).substr(0, std::string(browser).find(':'));
        programs.push_back(first);
    }
    programs.push_back("xdg-open");

    int lastError = ENOENT;
    for (const std::string& name : programs) {
        const std::string program = FindProgram(name);
        if (program.empty()) continue;
        const int error = Launch(program, info->lpFile, info->lpDirectory);
        if (error == 0) {
            info->hInstApp = ShellResult(42);  // above 32: success
            return TRUE;
        }
        lastError = error;
    }
    const bool denied = lastError == EACCES || lastError == EPERM;
    info->hInstApp = ShellResult(denied ? SE_ERR_ACCESSDENIED : SE_ERR_FNF);
    SetLastError(denied ? ERROR_ACCESS_DENIED : ERROR_FILE_NOT_FOUND);
    return FALSE;
}
