// Lock file + Unix-domain socket. The lock holder is the running copy; it answers "front\n" with "ok\n" on a
// listener thread at once (even before the game's window exists) and leaves a flag for the window area to
// raise the window when it next pumps.
#include "platform/src/instance_guard.h"
#include "platform/platform_hooks.h"
#include "platform/src/user_data_folder.h"

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace platform {
namespace {

constexpr char kRequest[] = "front\n";
constexpr char kAnswer[] = "ok\n";
constexpr int kConnectTries = 50; // the running copy may be between taking the lock and listening
constexpr int kConnectRetryMs = 20;
constexpr int kAnswerTimeoutMs = 2000;

std::atomic<bool> g_frontRequested{false};
int g_lockFd = -1;
int g_listenFd = -1;
int g_wakePipe[2] = {-1, -1};
// Never destroyed: a process that ends through exit() while the listener runs must not meet a joinable
// std::thread's destructor (which terminates the process).
std::thread* g_listener = nullptr;
char g_socketPath[sizeof(sockaddr_un::sun_path)] = {}; // empty for an abstract socket name

bool socketAddress(const std::string& folder, sockaddr_un& address, socklen_t& length) {
    address = {};
    address.sun_family = AF_UNIX;
    std::string path = folder + "/Harbor Haven.sock";
    if (path.size() < sizeof address.sun_path) {
        std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
        length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + path.size() + 1);
        return true;
    }
    // A folder too deep for a socket path: an abstract name, private to this user by its uid.
    std::string name = "Harbor Haven." + std::to_string(getuid());
    std::memcpy(address.sun_path + 1, name.data(), name.size());
    length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size());
    return false;
}

void answerRequests() {
    pollfd fds[2] = {{g_listenFd, POLLIN, 0}, {g_wakePipe[0], POLLIN, 0}};
    for (;;) {
        if (poll(fds, 2, -1) < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if (fds[1].revents) return;
        if (!(fds[0].revents & POLLIN)) continue;
        int client = accept4(g_listenFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0) continue;
        pollfd readable{client, POLLIN, 0};
        char request[16] = {};
        if (poll(&readable, 1, kAnswerTimeoutMs) > 0 && read(client, request, sizeof request - 1) > 0 &&
            std::strncmp(request, kRequest, sizeof kRequest - 1) == 0) {
            g_frontRequested.store(true);
            (void)send(client, kAnswer, sizeof kAnswer - 1, MSG_NOSIGNAL);
        }
        close(client);
    }
}

void startListening(const std::string& folder) {
    sockaddr_un address;
    socklen_t length;
    // Only the lock holder gets here, so a socket file left by a crashed copy can be replaced safely.
    if (socketAddress(folder, address, length)) {
        unlink(address.sun_path);
        std::memcpy(g_socketPath, address.sun_path, sizeof g_socketPath);
    }
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return;
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), length) != 0 || listen(fd, 4) != 0 ||
        pipe2(g_wakePipe, O_CLOEXEC) != 0) {
        close(fd);
        return;
    }
    g_listenFd = fd;
    g_listener = new std::thread(answerRequests);
}

int requestComeToFront(const std::string& folder) {
    sockaddr_un address;
    socklen_t length;
    socketAddress(folder, address, length);
    for (int attempt = 0; attempt < kConnectTries; ++attempt) {
        int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0) return 0;
        if (connect(fd, reinterpret_cast<sockaddr*>(&address), length) != 0) {
            close(fd);
            usleep(kConnectRetryMs * 1000);
            continue;
        }
        char answer[8] = {};
        pollfd readable{fd, POLLIN, 0};
        bool acknowledged = send(fd, kRequest, sizeof kRequest - 1, MSG_NOSIGNAL) > 0 &&
                            poll(&readable, 1, kAnswerTimeoutMs) > 0 &&
                            read(fd, answer, sizeof answer - 1) > 0 && std::strcmp(answer, kAnswer) == 0;
        close(fd);
        return acknowledged ? 1 : 0;
    }
    return 0;
}

} // namespace

std::string instanceGuardFolder() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && runtime[0] == '/') return runtime;
    return userDataFolder();
}

GuardOutcome acquireInstanceGuard() {
    std::string folder = instanceGuardFolder();
    if (!makeFolderPath(folder)) return {false, 0};
    std::string lockPath = folder + "/Harbor Haven.lock";
    int fd = open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) return {false, 0};
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        bool held = errno == EWOULDBLOCK;
        close(fd);
        if (!held) return {false, 0};
        return {true, requestComeToFront(folder)};
    }
    g_lockFd = fd; // never closed: the lock lives as long as the process
    startListening(folder);
    return {false, 0};
}

void stopInstanceGuardListener() {
    if (!g_listener) return;
    char wake = 1;
    (void)write(g_wakePipe[1], &wake, 1);
    g_listener->join();
    delete g_listener;
    g_listener = nullptr;
    close(g_listenFd);
    close(g_wakePipe[0]);
    close(g_wakePipe[1]);
    g_listenFd = g_wakePipe[0] = g_wakePipe[1] = -1;
    if (g_socketPath[0]) unlink(g_socketPath);
}

bool takeComeToFrontRequest() {
    return g_frontRequested.exchange(false);
}

} // namespace platform
