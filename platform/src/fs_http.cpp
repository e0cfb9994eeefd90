// The "http" handler: a URL opened as a file. GET, or POST when the mode has '+' (what is written before the
// first read becomes the request body). The request is sent once, on the first flush, read, getc, gets, seek,
// fstat or close; the response body is then read from memory.
#include "platform/src/fs_file_system.h"
#include "platform/src/fs_last_error.h"
#include "platform/src/fs_memory_file.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <curl/curl.h>
#include <new>
#include <string>
#include <vector>

namespace platform {

namespace {

constexpr size_t kMaxHost = 255;
constexpr size_t kMaxPathAndQuery = 1023;
// A reply larger than this is refused rather than allowed to exhaust memory.
constexpr size_t kMaxBody = size_t(256) << 20;
constexpr long kConnectTimeoutSeconds = 15;
constexpr long kStallSeconds = 30; // a reply that delivers nothing for this long fails

// "OpenKODE <vendor> <version> <platform>", the texts the start-up banner shows.
std::string clientIdentification() {
    return std::string("OpenKODE ") + engineVendorText() + " " + engineVersionText() + " " +
           platformDescription();
}

// The session shared by every HTTP file: one connection cache, so keep-alive connections are reused.
struct HttpSession {
    CURLSH* share = nullptr;
    std::string userAgent;
};

class HttpFile final : public MemoryFile {
public:
    // Copies what it needs of the session: a file still open at unmount must not point into it.
    HttpFile(const HttpSession& session, std::string url, bool post)
        : m_share(session.share), m_userAgent(session.userAgent), m_url(std::move(url)), m_post(post) {}

    ~HttpFile() override {
        if (m_easy) curl_easy_cleanup(m_easy);
    }

    KDint close() override {
        send();
        if (m_status == 0) return 0;
        kdSetError(KD_EIO);
        return -1;
    }

    KDint flush() override {
        send();
        return m_status == 0 ? 0 : KD_EOF;
    }

    KDsize write(const void* buffer, KDsize bytes) override {
        if (m_sent) return 0;
        const auto* bytesIn = static_cast<const char*>(buffer);
        m_request.insert(m_request.end(), bytesIn, bytesIn + bytes);
        return bytes;
    }

    KDint putc(KDint c) override {
        if (m_sent) return KD_EOF;
        m_request.push_back(char(c));
        return c & 0xFF;
    }

    // Nothing is known before the request went out. Seeking works on the received body: from the end means
    // from its length, and no position outside it is accepted.
    KDint eof() override { return m_sent && MemoryFile::eof(); }
    KDint error() override { return m_status; }
    void clearerr() override { m_status = 0; }

    KDint fstat(KDStat* buf) override {
        send();
        *buf = {KD_S_IFREG, m_contentLength >= 0 ? m_contentLength : KDoff(m_data.size()), 0};
        return 0;
    }

private:
    static size_t receive(char* data, size_t size, size_t count, void* self) {
        auto& body = static_cast<HttpFile*>(self)->m_data;
        size_t bytes = size * count;
        if (bytes > kMaxBody - body.size()) return 0; // aborts the transfer
        body.insert(body.end(), data, data + bytes);
        return bytes;
    }

    void fail() {
        m_status = KD_EIO;
        m_data.clear();
        m_contentLength = 0;
        kdSetError(KD_EIO);
    }

    void ready() override { send(); }

    void send() {
        if (m_sent) return;
        m_sent = true;
        m_easy = curl_easy_init();
        if (!m_easy) {
            kdLogMessage("[http] error: %s\n", "out of memory");
            fail();
            return;
        }
        curl_easy_setopt(m_easy, CURLOPT_URL, m_url.c_str());
        curl_easy_setopt(m_easy, CURLOPT_SHARE, m_share);
        curl_easy_setopt(m_easy, CURLOPT_USERAGENT, m_userAgent.c_str());
        curl_easy_setopt(m_easy, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(m_easy, CURLOPT_PROTOCOLS_STR, "http,https");
        curl_easy_setopt(m_easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
        curl_easy_setopt(m_easy, CURLOPT_FOLLOWLOCATION, 1L);
        curl_easy_setopt(m_easy, CURLOPT_MAXREDIRS, 5L);
        curl_easy_setopt(m_easy, CURLOPT_CONNECTTIMEOUT, kConnectTimeoutSeconds);
        curl_easy_setopt(m_easy, CURLOPT_LOW_SPEED_LIMIT, 1L);
        curl_easy_setopt(m_easy, CURLOPT_LOW_SPEED_TIME, kStallSeconds);
        curl_easy_setopt(m_easy, CURLOPT_WRITEFUNCTION, &HttpFile::receive);
        curl_easy_setopt(m_easy, CURLOPT_WRITEDATA, this);
        if (m_post) {
            curl_easy_setopt(m_easy, CURLOPT_POST, 1L);
            curl_easy_setopt(m_easy, CURLOPT_POSTFIELDSIZE_LARGE, curl_off_t(m_request.size()));
            curl_easy_setopt(m_easy, CURLOPT_POSTFIELDS, m_request.data());
        } else {
            curl_easy_setopt(m_easy, CURLOPT_HTTPGET, 1L);
        }
        CURLcode result = curl_easy_perform(m_easy);
        m_request.clear();
        m_request.shrink_to_fit();
        if (result != CURLE_OK) {
            kdLogMessage("[http] error: %s\n", curl_easy_strerror(result));
            fail();
            return;
        }
        long status = 0;
        curl_easy_getinfo(m_easy, CURLINFO_RESPONSE_CODE, &status);
        if (status != 200) {
            kdLogMessage("[http] error: %u\n", unsigned(status));
            fail();
            return;
        }
        curl_off_t length = -1;
        curl_easy_getinfo(m_easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
        m_contentLength = length >= 0 ? KDoff(length) : -1;
        m_position = 0;
    }

    CURLSH* m_share;
    std::string m_userAgent;
    std::string m_url;
    bool m_post;
    bool m_sent = false;
    CURL* m_easy = nullptr;
    std::vector<char> m_request;
    KDoff m_contentLength = -1;
    KDint m_status = 0;
};

// True when the URL parses and its host and path with query fit the sizes the request records allow.
bool urlFits(const char* url) {
    CURLU* parts = curl_url();
    if (!parts) return false;
    bool fits = false;
    if (curl_url_set(parts, CURLUPART_URL, url, 0) == CURLUE_OK) {
        char* host = nullptr;
        char* path = nullptr;
        char* query = nullptr;
        curl_url_get(parts, CURLUPART_HOST, &host, 0);
        curl_url_get(parts, CURLUPART_PATH, &path, 0);
        curl_url_get(parts, CURLUPART_QUERY, &query, 0);
        size_t pathAndQuery = (path ? std::strlen(path) : 0) + (query ? std::strlen(query) + 1 : 0);
        fits = host && std::strlen(host) <= kMaxHost && pathAndQuery <= kMaxPathAndQuery;
        curl_free(host);
        curl_free(path);
        curl_free(query);
    }
    curl_url_cleanup(parts);
    return fits;
}

class HttpFileSystem final : public FileSystem {
public:
    ~HttpFileSystem() override {
        // A file still open keeps the session in use; then the library stays up for it.
        if (m_session.share && curl_share_cleanup(m_session.share) == CURLSHE_OK) curl_global_cleanup();
    }

    KDFile* open(const KDchar* path, const KDchar* mode) override {
        if (std::strncmp(path, "http", 4) != 0) return nullptr;
        if (!startSession()) {
            kdSetError(KD_EIO);
            return nullptr;
        }
        if (!urlFits(path)) {
            kdSetError(KD_EINVAL);
            return nullptr;
        }
        auto* file = new (std::nothrow) HttpFile(m_session, path, std::strchr(mode, '+') != nullptr);
        if (!file) kdSetError(KD_ENOMEM);
        return file;
    }

    KDint stat(const KDchar*, KDStat*) override { return -1; }
    KDint access(const KDchar*, KDint) override { return -1; }

private:
    bool startSession() {
        if (m_session.share) return true;
        if (curl_global_init(CURL_GLOBAL_DEFAULT) != CURLE_OK) return false;
        m_session.share = curl_share_init();
        if (!m_session.share) {
            curl_global_cleanup();
            return false;
        }
        curl_share_setopt(m_session.share, CURLSHOPT_SHARE, CURL_LOCK_DATA_CONNECT);
        curl_share_setopt(m_session.share, CURLSHOPT_SHARE, CURL_LOCK_DATA_DNS);
        m_session.userAgent = clientIdentification();
        return true;
    }

    HttpSession m_session;
};

} // namespace

std::unique_ptr<FileSystem> mountHttp(const KDchar*, KDint*) {
    return std::make_unique<HttpFileSystem>();
}

} // namespace platform
