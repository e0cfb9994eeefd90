// libFuzzer target for HTTP replies: the input (after a first byte of choices) is sent back, as it is, by a
// server on 127.0.0.1 in this process, to every request an "http" file makes; the file is then stat'ed, read
// whole (by blocks or by characters), sought and mapped. The engine's proxy settings are pointed at the same
// server, so a redirect the reply asks for, to whatever host, comes back here too: no input can make a
// request leave the machine. A file that reads without error holds no more than the server sent, and its
// stated size is what it reads.
#include "platform/kd.h"
#include "platform/kd_start.h"

#include <arpa/inet.h>
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

class ReplyServer {
public:
    ReplyServer() {
        m_listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (m_listener < 0 || bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            listen(m_listener, 16) != 0 ||
            getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
            std::abort();
        }
        m_port = ntohs(address.sin_port);
        std::thread([this] { serve(); }).detach(); // serves for the whole run
    }

    int port() const { return m_port; }

    void setReply(const std::uint8_t* data, std::size_t size) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_reply.assign(reinterpret_cast<const char*>(data), size);
    }

private:
    void serve() {
        for (;;) {
            const int connection = accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
            if (connection < 0) {
                continue;
            }
            answer(connection);
            close(connection);
        }
    }

    // Waits for the request's head, sends the reply, and reads on until the client hangs up, so that
    // nothing unread makes the close reset the connection before the client saw the reply.
    void answer(int connection) {
        std::string request;
        char buffer[4096];
        while (request.find("\r\n\r\n") == std::string::npos && request.size() < 65536) {
            pollfd waiting{connection, POLLIN, 0};
            if (poll(&waiting, 1, 2000) <= 0) {
                return;
            }
            const ssize_t got = recv(connection, buffer, sizeof buffer, 0);
            if (got <= 0) {
                return;
            }
            request.append(buffer, static_cast<std::size_t>(got));
        }
        std::string reply;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            reply = m_reply;
        }
        for (std::size_t sent = 0; sent < reply.size();) {
            const ssize_t put = send(connection, reply.data() + sent, reply.size() - sent, MSG_NOSIGNAL);
            if (put <= 0) {
                return;
            }
            sent += static_cast<std::size_t>(put);
        }
        shutdown(connection, SHUT_WR);
        for (;;) {
            pollfd waiting{connection, POLLIN, 0};
            if (poll(&waiting, 1, 2000) <= 0 || recv(connection, buffer, sizeof buffer, 0) <= 0) {
                return;
            }
        }
    }

    int m_listener = -1;
    int m_port = 0;
    std::mutex m_mutex;
    std::string m_reply;
};

ReplyServer* g_server = nullptr;
std::string g_url;

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    char folder[] = "/tmp/hh-fuzz-http-XXXXXX";
    if (mkdtemp(folder) == nullptr || chdir(folder) != 0) {
        std::abort();
    }
    g_server = new ReplyServer();
    const std::string proxy = "http://127.0.0.1:" + std::to_string(g_server->port());
    for (const char* name : {"http_proxy", "https_proxy", "all_proxy", "HTTPS_PROXY", "ALL_PROXY"}) {
        setenv(name, proxy.c_str(), 1);
    }
    unsetenv("no_proxy");
    unsetenv("NO_PROXY");
    g_url = proxy + "/reply.bin";
    platform::startFileSystems();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) {
        return 0;
    }
    const std::uint8_t choices = data[0];
    g_server->setReply(data + 1, size - 1);

    const bool post = (choices & 1) != 0;
    KDFile* file = kdFopen(g_url.c_str(), post ? "w+" : "rb");
    if (file == nullptr) {
        std::abort(); // the URL is always well formed
    }
    if (post) {
        kdFwrite("name=value", 1, 10, file);
    }
    KDStat st{};
    const bool stated = (choices & 2) != 0 && kdFstat(file, &st) == 0;

    std::string body;
    char buffer[512];
    if ((choices & 4) != 0) {
        for (KDint c; (c = kdGetc(file)) != KD_EOF;) {
            body.push_back(static_cast<char>(c));
        }
    } else {
        for (KDsize got; (got = kdFread(buffer, 1, sizeof buffer, file)) > 0;) {
            body.append(buffer, got);
        }
    }
    const bool clean = kdFerror(file) == 0;
    if (clean) {
        if (body.size() > size - 1) {
            std::abort();
        }
        if (stated && st.st_size != static_cast<KDoff>(body.size())) {
            std::abort();
        }
    }
    kdFseek(file, static_cast<KDoff>(choices >> 4) - 8, (choices & 8) != 0 ? KD_SEEK_END : KD_SEEK_SET);
    kdFtell(file);
    kdGetc(file);
    KDsize mapped = 0;
    if (void* map = kdMapFile(file, &mapped)) {
        if (clean && mapped != body.size()) {
            std::abort();
        }
        kdUnmapFile(file, map);
    }
    kdFclose(file);
    return 0;
}
