// Blob as a native stream: one position for reading and writing, truncation by writes before the end, and
// its record for each header size, including lengths that do not fit.
#include "persistence/blob.h"

#include "component/component_factory.h"
#include "component/component_ref.h"
#include "platform/kd.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

ComponentRef<Blob> newBlob() {
    return ComponentRef<Blob>::adopt(new Blob());
}

std::vector<std::uint8_t> bytes(std::initializer_list<int> values) {
    std::vector<std::uint8_t> out;
    for (int v : values) out.push_back(static_cast<std::uint8_t>(v));
    return out;
}

class BlobTest : public ::testing::Test {
protected:
    void SetUp() override { kdSetLogHook(&BlobTest::capture, this); }
    void TearDown() override { kdSetLogHook(nullptr, nullptr); }
    std::string m_log;

private:
    static void capture(const KDchar* text, void* self) { static_cast<BlobTest*>(self)->m_log += text; }
};

TEST_F(BlobTest, ReadsAndWritesShareOnePosition) {
    auto blob = newBlob();
    const char text[] = "0123456789";
    EXPECT_EQ(blob->Write(text, 10), 10);
    EXPECT_EQ(blob->position(), 10u);
    char out[4] = {};
    EXPECT_EQ(blob->Read(out, 4), 0) << "the position is at the end";
    EXPECT_EQ(blob->Write(text, 0), 0);
    EXPECT_EQ(blob->Write(text, -5), 0);
    EXPECT_EQ(blob->data().size(), 10u);
}

TEST_F(BlobTest, WritingBeforeTheEndDropsWhatFollows) {
    // Writing 2 bytes at position 1 of a 10-byte blob leaves a blob of length 3.
    auto blob = newBlob();
    ASSERT_EQ(blob->Write("abcdefghij", 10), 10);
    auto source = newBlob();
    blob->SetHeaderSize(4);
    ASSERT_TRUE(blob->WriteTo(source.get()));
    // Reading its own record puts the position back at 0; skip one byte with a null buffer.
    auto again = newBlob();
    auto carrier = newBlob();
    ASSERT_TRUE(blob->WriteTo(carrier.get()));
    std::vector<std::uint8_t> record = carrier->data();
    struct Source : IInputStream {
        std::vector<std::uint8_t> data;
        std::size_t at = 0;
        void* QueryInterface(InterfaceId id) override { return queryAmong<IInputStream>(this, id); }
        std::int32_t Read(void* buffer, std::int32_t count) override {
            std::int32_t n = std::min<std::int32_t>(count, static_cast<std::int32_t>(data.size() - at));
            if (buffer) std::memcpy(buffer, data.data() + at, static_cast<std::size_t>(n));
            at += static_cast<std::size_t>(n);
            return n;
        }
    };
    auto input = ComponentRef<Source>::adopt(new Source());
    input->data = record;
    ASSERT_TRUE(again->ReadFrom(input.get()));
    EXPECT_EQ(again->position(), 0u);
    EXPECT_EQ(again->Read(nullptr, 1), 1);
    EXPECT_EQ(again->Write("XY", 2), 2);
    EXPECT_EQ(again->data(), bytes({'a', 'X', 'Y'}));
    EXPECT_EQ(again->Available(), 0);
}

TEST_F(BlobTest, RecordHeaderSizesAndLengthsThatDoNotFit) {
    struct Case {
        int headerSize;
        std::size_t length;
        bool fits;
        int clampedTo;
    };
    const Case cases[] = {
        {0, 300, true, 0}, {1, 255, true, 1}, {1, 256, false, 1}, {2, 300, true, 2},
        {3, 300, true, 3}, {4, 300, true, 4}, {7, 300, true, 4},  {-1, 300, true, 0},
    };
    for (const Case& c : cases) {
        auto blob = newBlob();
        std::vector<char> data(c.length, 'x');
        ASSERT_EQ(blob->Write(data.data(), static_cast<std::int32_t>(data.size())),
                  static_cast<std::int32_t>(data.size()));
        blob->SetHeaderSize(c.headerSize);
        EXPECT_EQ(blob->headerSize(), c.clampedTo);
        auto out = newBlob();
        m_log.clear();
        EXPECT_EQ(blob->WriteTo(out.get()), c.fits) << c.headerSize << " " << c.length;
        if (c.fits) {
            EXPECT_EQ(out->data().size(), c.length + static_cast<std::size_t>(c.clampedTo));
        } else {
            EXPECT_TRUE(out->data().empty()) << "a length that does not fit writes nothing";
            EXPECT_NE(m_log.find("[Blob] error: "), std::string::npos);
        }
    }
}

TEST_F(BlobTest, HeaderSizeTwoWritesTheLowBytesOfTheLength) {
    auto blob = newBlob();
    std::vector<char> data(300, 7);
    blob->Write(data.data(), 300);
    blob->SetHeaderSize(2);
    auto out = newBlob();
    ASSERT_TRUE(blob->WriteTo(out.get()));
    ASSERT_EQ(out->data().size(), 302u);
    EXPECT_EQ(out->data()[0], 0x2C);
    EXPECT_EQ(out->data()[1], 0x01);
}

} // namespace
