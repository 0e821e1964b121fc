#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <map>

#include "child_process.h"

extern char** environ;

namespace qeltest {

namespace {

std::string Why(const char* what, int error) { return std::string(what) + ": " + std::strerror(error); }

// Both ends of a pipe, closed when it goes.
class Pipe final {
public:
    Pipe() = default;
    Pipe(const Pipe&) = delete;
    Pipe& operator=(const Pipe&) = delete;
    ~Pipe() {
        CloseRead();
        CloseWrite();
    }
    bool Open() { return ::pipe2(fds_, O_CLOEXEC) == 0; }
    int read() const { return fds_[0]; }
    int write() const { return fds_[1]; }
    void CloseRead() { Close(fds_[0]); }
    void CloseWrite() { Close(fds_[1]); }

private:
    static void Close(int& fd) {
        if (fd >= 0) ::close(fd);
        fd = -1;
    }
    int fds_[2] = {-1, -1};
};

class SpawnSetup final {
public:
    SpawnSetup() {
        posix_spawn_file_actions_init(&actions_);
        posix_spawnattr_init(&attributes_);
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;
    ~SpawnSetup() {
        posix_spawn_file_actions_destroy(&actions_);
        posix_spawnattr_destroy(&attributes_);
    }
    posix_spawn_file_actions_t* actions() { return &actions_; }
    posix_spawnattr_t* attributes() { return &attributes_; }

private:
    posix_spawn_file_actions_t actions_;
    posix_spawnattr_t attributes_;
};

// This process's environment with the invocation's variables set on top.
std::vector<std::string> Environment(const Invocation& invocation) {
    std::map<std::string, std::string> variables;
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string entry = *e;
        const size_t eq = entry.find('=');
        if (eq != std::string::npos) variables[entry.substr(0, eq)] = entry.substr(eq + 1);
    }
    for (const auto& [name, value] : invocation.environment) variables[name] = value;
    std::vector<std::string> entries;
    for (const auto& [name, value] : variables) entries.push_back(name + "=" + value);
    return entries;
}

std::vector<char*> Pointers(std::vector<std::string>& strings) {
    std::vector<char*> pointers;
    for (std::string& s : strings) pointers.push_back(s.data());
    pointers.push_back(nullptr);
    return pointers;
}

// Writing to a pipe whose reader has gone raises SIGPIPE; while this thread
// feeds a child it blocks the signal, and takes back one that the writes
// raised, so that a program that does not read its input ends nothing here.
class SigpipeBlocked final {
public:
    SigpipeBlocked() {
        sigemptyset(&pipe_);
        sigaddset(&pipe_, SIGPIPE);
        pthread_sigmask(SIG_BLOCK, &pipe_, &previous_);
    }
    SigpipeBlocked(const SigpipeBlocked&) = delete;
    SigpipeBlocked& operator=(const SigpipeBlocked&) = delete;
    ~SigpipeBlocked() {
        const timespec now{0, 0};
        while (sigtimedwait(&pipe_, nullptr, &now) == SIGPIPE) {
        }
        pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
    }
    const sigset_t& previous() const { return previous_; }

private:
    sigset_t pipe_;
    sigset_t previous_;
};

// Feeds the input and drains both outputs until the child has closed them.
void Exchange(const std::string& input, Pipe& in, Pipe& out, Pipe& err, Outcome& outcome) {
    size_t written = 0;
    if (input.empty()) in.CloseWrite();
    if (in.write() >= 0) ::fcntl(in.write(), F_SETFL, ::fcntl(in.write(), F_GETFL) | O_NONBLOCK);
    char block[65536];
    while (in.write() >= 0 || out.read() >= 0 || err.read() >= 0) {
        pollfd fds[3] = {{in.write(), POLLOUT, 0}, {out.read(), POLLIN, 0}, {err.read(), POLLIN, 0}};
        if (::poll(fds, 3, -1) < 0) {
            if (errno == EINTR) continue;
            outcome.failure = Why("poll", errno);
            return;
        }
        if (fds[0].revents != 0) {
            const ssize_t n = ::write(in.write(), input.data() + written, input.size() - written);
            if (n > 0) written += static_cast<size_t>(n);
            // A child that stops reading (EPIPE) simply gets no more.
            if ((n < 0 && errno != EAGAIN && errno != EINTR) || written == input.size()) in.CloseWrite();
        }
        const std::pair<Pipe*, std::string*> readers[] = {{&out, &outcome.out}, {&err, &outcome.err}};
        for (size_t i = 0; i < 2; ++i) {
            if (fds[i + 1].revents == 0) continue;
            const ssize_t n = ::read(readers[i].first->read(), block, sizeof block);
            if (n > 0)
                readers[i].second->append(block, static_cast<size_t>(n));
            else if (n == 0 || errno != EINTR)
                readers[i].first->CloseRead();
        }
    }
}

}  // namespace

Outcome RunProcess(const Invocation& invocation) {
    Outcome outcome;
    Pipe in, out, err;
    const bool merged = invocation.streams == Streams::Merged;
    if (!in.Open() || !out.Open() || (!merged && !err.Open())) {
        outcome.failure = Why("pipe", errno);
        return outcome;
    }
    SpawnSetup setup;
    posix_spawn_file_actions_t* actions = setup.actions();
    // The directory first, so that a relative output file is the child's.
    if (!invocation.directory.empty())
        posix_spawn_file_actions_addchdir_np(actions, invocation.directory.c_str());
    posix_spawn_file_actions_adddup2(actions, in.read(), 0);
    if (invocation.stdoutPath.empty())
        posix_spawn_file_actions_adddup2(actions, out.write(), 1);
    else
        posix_spawn_file_actions_addopen(actions, 1, invocation.stdoutPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0666);
    posix_spawn_file_actions_adddup2(actions, merged ? 1 : err.write(), 2);

    SigpipeBlocked blocked;
    // The child starts with this thread's signal mask as it was, and with
    // SIGPIPE at its default, whatever this process does with it.
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    posix_spawnattr_setsigdefault(setup.attributes(), &defaults);
    posix_spawnattr_setsigmask(setup.attributes(), &blocked.previous());
    posix_spawnattr_setflags(setup.attributes(), POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);

    std::vector<std::string> argv{invocation.program};
    argv.insert(argv.end(), invocation.args.begin(), invocation.args.end());
    std::vector<std::string> envp = Environment(invocation);
    std::vector<char*> argvPointers = Pointers(argv);
    std::vector<char*> envpPointers = Pointers(envp);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, invocation.program.c_str(), actions, setup.attributes(),
                                    argvPointers.data(), envpPointers.data());
    if (spawned != 0) {
        outcome.failure = Why(("cannot run " + invocation.program).c_str(), spawned);
        return outcome;
    }
    in.CloseRead();
    out.CloseWrite();
    err.CloseWrite();
    Exchange(invocation.input, in, out, err, outcome);

    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) {
            outcome.failure = Why("waitpid", errno);
            return outcome;
        }
    }
    if (WIFEXITED(status))
        outcome.exitCode = WEXITSTATUS(status);
    else if (WIFSIGNALED(status))
        outcome.signal = WTERMSIG(status);
    return outcome;
}

}  // namespace qeltest
