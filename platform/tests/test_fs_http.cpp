// HTTP files against a small HTTP server on 127.0.0.1 run by the test: GET and POST, failures and hostile
// replies.
#include "fs_test_support.h"

#include <arpa/inet.h>
#include <atomic>
#include <mutex>
#include <netinet/in.h>
#include <poll.h>
#include <regex>
#include <sys/socket.h>
#include <thread>

using namespace fs_test;

namespace {

struct Request {
    std::string method;
    std::string path;
    std::string userAgent;
    std::string body;
};

// Serves one request per connection until stopped. Replies by path; anything the client sent is recorded.
class LoopbackServer {
public:
    LoopbackServer() {
        m_listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof address);
        listen(m_listener, 16);
        socklen_t length = sizeof address;
        getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length);
        m_port = ntohs(address.sin_port);
        m_thread = std::thread([this] { serve(); });
    }

    ~LoopbackServer() {
        m_stop = true;
        m_thread.join();
        close(m_listener);
    }

    std::string url(const std::string& path) const {
        return "http://127.0.0.1:" + std::to_string(m_port) + path;
    }

    Request lastRequest() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_last;
    }

    static const std::string& bigBody() {
        static const std::string body = patternBytes(300000, 9);
        return body;
    }

private:
    void serve() {
        while (!m_stop) {
            pollfd waiting{m_listener, POLLIN, 0};
            if (poll(&waiting, 1, 50) <= 0) continue;
            int connection = accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
            if (connection < 0) continue;
            answer(connection);
            close(connection);
        }
    }

    static bool readSome(int connection, std::string* data) {
        pollfd waiting{connection, POLLIN, 0};
        if (poll(&waiting, 1, 5000) <= 0) return false;
        char buffer[4096];
        ssize_t got = recv(connection, buffer, sizeof buffer, 0);
        if (got <= 0) return false;
        data->append(buffer, size_t(got));
        return true;
    }

    static std::string header(const std::string& head, const std::string& name) {
        std::smatch match;
        if (!std::regex_search(head, match, std::regex("\r\n" + name + ": *([^\r]*)", std::regex::icase)))
            return {};
        return match[1];
    }

    void answer(int connection) {
        std::string data;
        size_t end;
        while ((end = data.find("\r\n\r\n")) == std::string::npos) {
            if (!readSome(connection, &data)) return;
        }
        std::string head = data.substr(0, end);
        std::string body = data.substr(end + 4);
        size_t length = std::strtoul(header(head, "Content-Length").c_str(), nullptr, 10);
        while (body.size() < length && readSome(connection, &body)) {
        }
        Request request;
        request.method = head.substr(0, head.find(' '));
        size_t pathStart = head.find(' ') + 1;
        request.path = head.substr(pathStart, head.find(' ', pathStart) - pathStart);
        request.userAgent = header(head, "User-Agent");
        request.body = body;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_last = request;
        }
        sendAll(connection, reply(request));
    }

    static std::string reply(const Request& request) {
        auto ok = [](const std::string& body) {
            return "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) +
                   "\r\nConnection: close\r\n\r\n" + body;
        };
        if (request.path == "/hello") return ok("hello\r\nworld\n");
        if (request.path == "/big") return ok(bigBody());
        if (request.path == "/echo") return ok(request.body);
        if (request.path == "/nolength") return "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\nstreamed";
        if (request.path == "/short") return "HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\nonly ten b";
        if (request.path == "/huge") return "HTTP/1.1 200 OK\r\nContent-Length: 99999999999999\r\n\r\nx";
        if (request.path == "/garbage") return "SSH-2.0-nonsense\r\n\r\n";
        return "HTTP/1.1 404 Not Found\r\nContent-Length: 8\r\nConnection: close\r\n\r\nnot here";
    }

    static void sendAll(int connection, const std::string& data) {
        size_t sent = 0;
        while (sent < data.size()) {
            ssize_t n = send(connection, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
            if (n <= 0) return;
            sent += size_t(n);
        }
    }

    int m_listener = -1;
    int m_port = 0;
    std::atomic<bool> m_stop{false};
    std::mutex m_mutex;
    Request m_last;
    std::thread m_thread;
};

class HttpFiles : public FileSystemTest {
protected:
    void SetUp() override {
        FileSystemTest::SetUp();
        mountAll();
        m_log.clear();
    }

    // Reads the whole reply in small pieces, as a streaming caller would.
    static std::string readAll(KDFile* file, size_t piece = 1000) {
        std::string contents;
        std::vector<char> buffer(piece);
        while (KDsize got = kdFread(buffer.data(), 1, buffer.size(), file))
            contents.append(buffer.data(), got);
        return contents;
    }

    LoopbackServer m_server;
};

TEST_F(HttpFiles, GetReadsABodyLargerThanOneRead) {
    KDFile* file = kdFopen(m_server.url("/big").c_str(), "rb");
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(kdFEOF(file), 0);
    KDStat st{};
    ASSERT_EQ(kdFstat(file, &st), 0);
    EXPECT_EQ(st.st_mode, KD_S_IFREG);
    EXPECT_EQ(st.st_size, KDoff(LoopbackServer::bigBody().size()));
    EXPECT_TRUE(readAll(file) == LoopbackServer::bigBody());
    EXPECT_NE(kdFEOF(file), 0);
    EXPECT_EQ(kdFerror(file), 0);
    EXPECT_EQ(kdFseek(file, -5, KD_SEEK_END), 0);
    EXPECT_EQ(kdFtell(file), KDoff(LoopbackServer::bigBody().size() - 5));
    EXPECT_EQ(kdFseek(file, 1, KD_SEEK_END), -1);
    EXPECT_EQ(kdFclose(file), 0);
    Request request = m_server.lastRequest();
    EXPECT_EQ(request.method, "GET");
    EXPECT_EQ(request.path, "/big");
    EXPECT_TRUE(
        std::regex_match(request.userAgent, std::regex("OpenKODE .+ .+ Linux v[0-9]+\\.[0-9]+\\.[0-9]+")))
        << request.userAgent;
    EXPECT_TRUE(m_log.empty());
}

TEST_F(HttpFiles, PostSendsWhatWasWrittenBeforeTheFirstRead) {
    KDFile* file = kdFopen(m_server.url("/echo").c_str(), "w+");
    ASSERT_NE(file, nullptr);
    std::string payload = "name=value&" + std::string(70000, 'p');
    ASSERT_EQ(kdFwrite(payload.data(), 1, payload.size(), file), payload.size());
    EXPECT_EQ(kdPutc('!', file), '!');
    EXPECT_TRUE(readAll(file, 333) == payload + "!");
    EXPECT_EQ(kdFwrite("late", 1, 4, file), 0u); // the request is gone
    EXPECT_EQ(kdPutc('x', file), KD_EOF);
    EXPECT_EQ(kdFclose(file), 0);
    Request request = m_server.lastRequest();
    EXPECT_EQ(request.method, "POST");
    EXPECT_TRUE(request.body == payload + "!");
}

TEST_F(HttpFiles, CloseSendsAPostNobodyRead) {
    KDFile* file = kdFopen(m_server.url("/echo").c_str(), "r+");
    ASSERT_NE(file, nullptr);
    kdFwrite("score=12", 1, 8, file);
    EXPECT_EQ(kdFclose(file), 0);
    EXPECT_EQ(m_server.lastRequest().body, "score=12");
}

TEST_F(HttpFiles, LinesDropCarriageReturns) {
    KDFile* file = kdFopen(m_server.url("/hello").c_str(), "r");
    ASSERT_NE(file, nullptr);
    char line[32];
    ASSERT_NE(kdFgets(line, sizeof line, file), nullptr);
    EXPECT_STREQ(line, "hello\n");
    ASSERT_NE(kdFgets(line, sizeof line, file), nullptr);
    EXPECT_STREQ(line, "world\n");
    EXPECT_EQ(kdFgets(line, sizeof line, file), nullptr);
    EXPECT_EQ(kdGetc(file), KD_EOF);
    kdFclose(file);
}

TEST_F(HttpFiles, ReplyWithoutLengthIsReadToItsEnd) {
    KDFile* file = kdFopen(m_server.url("/nolength").c_str(), "rb");
    ASSERT_NE(file, nullptr);
    KDStat st{};
    ASSERT_EQ(kdFstat(file, &st), 0);
    EXPECT_EQ(st.st_size, 8);
    KDsize size = 0;
    void* data = kdMapFile(file, &size);
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(std::string(static_cast<char*>(data), size), "streamed");
    EXPECT_EQ(kdUnmapFile(file, data), 0);
    kdFclose(file);
}

TEST_F(HttpFiles, FailedRequestsReadAsEmptyWithErrorSet) {
    struct Case {
        std::string url;
        const char* logPattern;
    };
    // A port that was just free refuses the connection.
    int probe = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length);
    close(probe);
    const Case cases[] = {
        {m_server.url("/missing"), "\\[http\\] error: 404\n"},
        {"http://127.0.0.1:" + std::to_string(ntohs(address.sin_port)) + "/x",
         "\\[http\\] error: [^0-9].*\n"},
        {m_server.url("/short"), "\\[http\\] error: [^0-9].*\n"},
        {m_server.url("/huge"), "\\[http\\] error: [^0-9].*\n"},
        {m_server.url("/garbage"), "\\[http\\] error: [^0-9].*\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.url);
        m_log.clear();
        KDFile* file = kdFopen(c.url.c_str(), "rb");
        ASSERT_NE(file, nullptr);
        char buffer[64];
        EXPECT_EQ(kdFread(buffer, 1, sizeof buffer, file), 0u);
        EXPECT_EQ(kdFerror(file), KD_EIO);
        EXPECT_NE(kdFEOF(file), 0);
        KDsize size = 0;
        void* data = kdMapFile(file, &size);
        if (data) kdUnmapFile(file, data);
        EXPECT_EQ(size, 0u);
        ASSERT_EQ(m_log.size(), 1u);
        EXPECT_TRUE(std::regex_match(m_log[0], std::regex(c.logPattern))) << m_log[0];
        EXPECT_EQ(kdFclose(file), -1);
        EXPECT_EQ(kdGetError(), KD_EIO);
    }
}

TEST_F(HttpFiles, FileOpenAtUnmountStillWorks) {
    KDFile* file = kdFopen(m_server.url("/hello").c_str(), "rb");
    ASSERT_NE(file, nullptr);
    kdUnmountAll();
    EXPECT_EQ(readAll(file), "hello\r\nworld\n");
    EXPECT_EQ(kdFclose(file), 0);
}

TEST_F(HttpFiles, OnlyHttpUrlsAndNoStatByPath) {
    KDStat st{};
    EXPECT_EQ(kdStat(m_server.url("/hello").c_str(), &st), -1);
    EXPECT_EQ(kdFopen("ftp://127.0.0.1/x", "rb"), nullptr);
    std::string longHost = "http://" + std::string(300, 'h') + "/x";
    EXPECT_EQ(kdFopen(longHost.c_str(), "rb"), nullptr);
    EXPECT_EQ(kdGetError(), KD_EINVAL);
}

} // namespace
