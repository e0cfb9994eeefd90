// Lengths and counts read from a stream are checked against what the stream really holds before anything is
// allocated: short and lying streams fail cleanly with a log line.
#include "persistence/blob.h"
#include "persistence/stream_formats.h"

#include "component/component_ref.h"
#include "platform/kd.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace {

// A stream over fixed bytes that may hide its size, and remembers the largest read it was asked for.
class ProbeStream final : public IInputStream {
public:
    ProbeStream(std::vector<std::uint8_t> data, bool tellsSize)
        : m_data(std::move(data)), m_tellsSize(tellsSize) {}
    void* QueryInterface(InterfaceId id) override { return queryAmong<IInputStream>(this, id); }
    std::int32_t Read(void* buffer, std::int32_t count) override {
        m_largestRequest = std::max(m_largestRequest, count);
        std::int32_t n = std::min<std::int32_t>(count, static_cast<std::int32_t>(m_data.size() - m_at));
        if (buffer != nullptr && n > 0)
            std::memcpy(buffer, m_data.data() + m_at, static_cast<std::size_t>(n));
        m_at += static_cast<std::size_t>(n);
        return n;
    }
    std::int64_t Available() override {
        return m_tellsSize ? static_cast<std::int64_t>(m_data.size() - m_at) : -1;
    }
    std::int32_t largestRequest() const { return m_largestRequest; }

private:
    std::vector<std::uint8_t> m_data;
    std::size_t m_at = 0;
    bool m_tellsSize;
    std::int32_t m_largestRequest = 0;
};

std::vector<std::uint8_t> withLength(std::uint32_t length, std::size_t realBytes) {
    // Sized once and filled in place: growing a four-byte vector trips GCC's bounds warning at -O3.
    std::vector<std::uint8_t> out(4 + realBytes, 'z');
    for (int i = 0; i < 4; ++i) {
        out[i] = std::uint8_t(length >> (8 * i));
    }
    return out;
}

class HostileStreams : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override { kdSetLogHook(&HostileStreams::capture, this); }
    void TearDown() override { kdSetLogHook(nullptr, nullptr); }
    ComponentRef<ProbeStream> stream(std::vector<std::uint8_t> data) {
        return ComponentRef<ProbeStream>::adopt(new ProbeStream(std::move(data), GetParam()));
    }
    std::string m_log;

private:
    static void capture(const KDchar* text, void* self) { static_cast<HostileStreams*>(self)->m_log += text; }
};

// The most a lying length may make a reader ask for beyond the real bytes.
constexpr std::int32_t kBoundedChunk = 64 * 1024;

TEST_P(HostileStreams, StringLengthsBeyondTheStreamFailBeforeAllocating) {
    for (std::uint32_t length : {0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFFu, 11u}) {
        auto s = stream(withLength(length, 10));
        std::string text = "old";
        m_log.clear();
        EXPECT_FALSE(qx::readString(s.get(), text)) << length;
        EXPECT_EQ(text, "");
        EXPECT_EQ(m_log, "error: qx::readSimple failed\n") << length;
        EXPECT_LE(s->largestRequest(), kBoundedChunk) << length;
    }
}

TEST_P(HostileStreams, ShortPrimitivesAndCharsFailWithTheirName) {
    auto s = stream({1, 2, 3});
    std::uint32_t value = 99;
    EXPECT_FALSE(qx::readSimple(s.get(), value, 4));
    EXPECT_EQ(value, 0u);
    auto chars = stream({'a', 'b'});
    std::string text;
    EXPECT_FALSE(qx::readChars(chars.get(), 3, text));
    EXPECT_FALSE(qx::readChars(chars.get(), -1, text));
    EXPECT_EQ(m_log,
              "error: qx::readSimple failed\nerror: qx::readChars failed\nerror: qx::readChars failed\n");
    auto huge = stream({'a'});
    EXPECT_FALSE(qx::readChars(huge.get(), 0x7FFFFFFF, text));
    EXPECT_LE(huge->largestRequest(), kBoundedChunk);
}

TEST_P(HostileStreams, BlobRecordWithALyingLengthKeepsTheOldContents) {
    auto blob = ComponentRef<Blob>::adopt(new Blob());
    blob->Write("keep", 4);
    for (std::uint32_t length : {0xFFFFFFFFu, 0x40000000u, 5u}) {
        auto s = stream(withLength(length, 4));
        m_log.clear();
        EXPECT_FALSE(blob->ReadFrom(s.get())) << length;
        EXPECT_NE(m_log.find("[Blob] error: "), std::string::npos) << length;
        EXPECT_LE(s->largestRequest(), kBoundedChunk) << length;
        EXPECT_EQ(std::string(blob->data().begin(), blob->data().end()), "keep");
    }
    auto cut = stream({1, 0});
    EXPECT_FALSE(blob->ReadFrom(cut.get())) << "a header cut short";
    auto exact = stream(withLength(3, 3));
    EXPECT_TRUE(blob->ReadFrom(exact.get()));
    EXPECT_EQ(std::string(blob->data().begin(), blob->data().end()), "zzz");
}

INSTANTIATE_TEST_SUITE_P(SizeKnownOrNot, HostileStreams, ::testing::Bool(),
                         [](const auto& param) { return param.param ? "SizeKnown" : "SizeUnknown"; });

} // namespace
