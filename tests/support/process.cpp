// The harness's processes: temporary folders, child processes with their output, the clock.
#include "harness.h"

#include "shader/shader.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <regex>
#include <stdexcept>
#include <thread>

void nap() {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
}

double monotonicSeconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

std::string makeTempDir() {
    // Every directory made here goes when the test process exits normally.
    static struct Made {
        std::vector<std::string> dirs;
        ~Made() {
            for (const auto& dir : dirs) {
                std::error_code ignored;
                std::filesystem::permissions(dir, std::filesystem::perms::owner_all,
                                             std::filesystem::perm_options::add, ignored);
                std::filesystem::remove_all(dir, ignored);
            }
        }
    } made;
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base != nullptr ? base : "/tmp") + "/corvane-test-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("mkdtemp failed");
    }
    made.dirs.push_back(pattern);
    return pattern;
}

void writeFile(const std::string& path, const std::string& content) {
    std::ofstream(path, std::ios::binary) << content;
}

ProcessRun::ProcessRun(const std::vector<std::string>& argv, const std::string& workDir,
                       const std::map<std::string, std::string>& env)
    : outputPath_(makeTempDir() + "/stdout") {
    startTime_ = monotonicSeconds();
    pid_ = fork();
    if (pid_ == 0) {
        if (chdir(workDir.c_str()) != 0) {
            _exit(126);
        }
        for (const auto& [name, value] : env) {
            if (value.empty()) {
                unsetenv(name.c_str());
            } else {
                setenv(name.c_str(), value.c_str(), 1);
            }
        }
        const int out = open(outputPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(out, STDOUT_FILENO);
        const std::string errorPath = outputPath_ + ".stderr";
        const int err = open(errorPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(err, STDERR_FILENO);
        std::vector<char*> args;
        args.reserve(argv.size() + 1);
        for (const auto& arg : argv) {
            args.push_back(const_cast<char*>(arg.c_str()));
        }
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
}

ProcessRun::~ProcessRun() {
    if (running()) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
}

bool ProcessRun::running() {
    if (status_ || pid_ <= 0) {
        return false;
    }
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
        status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        return false;
    }
    return true;
}

std::optional<int> ProcessRun::waitForExit(double seconds) {
    const double deadline = monotonicSeconds() + seconds;
    while (running()) {
        if (monotonicSeconds() > deadline) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
            pid_ = -1;
            return std::nullopt;
        }
        nap();
    }
    return status_;
}

std::string ProcessRun::output() const {
    return readFile(outputPath_);
}

std::string ProcessRun::errors() const {
    return readFile(outputPath_ + ".stderr");
}

double statusMiB(int pid, const std::string& field) {
    const std::string status = readFile("/proc/" + std::to_string(pid) + "/status");
    std::smatch match;
    return std::regex_search(status, match, std::regex(field + ":\\s+(\\d+) kB"))
               ? std::stod(match[1]) / 1024
               : 0;
}
