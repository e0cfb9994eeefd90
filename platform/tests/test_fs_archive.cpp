// ".bar" archives made by the 7zz archiver at test time: every coder the engine accepts, the mount order,
// name lookup, entry reading rules, precedence, and damaged or foreign files.
#include "fs_test_support.h"

#include "platform/src/fs_file_system.h"
#include "platform/src/fs_locale.h"

#include <regex>

using namespace fs_test;

namespace {

constexpr KDtime kEntryTime = 1234567890;

struct Method {
    const char* name;
    std::vector<std::string> switches;
};

const Method kMethods[] = {
    {"lzma", {"-m0=LZMA"}},
    {"lzma2", {"-m0=LZMA2"}},
    {"bcj", {"-m0=BCJ", "-m1=LZMA"}},
    {"bcj2", {"-m0=BCJ2", "-m1=LZMA", "-m2=LZMA", "-m3=LZMA", "-mb0:1", "-mb0s1:2", "-mb0s2:3"}},
};

// The files every test archive holds, by entry name.
const std::vector<std::pair<std::string, std::string>>& sourceFiles() {
    static const std::vector<std::pair<std::string, std::string>> files = {
        {"Res/Fonts/A.FNT", patternBytes(3000, 1)},
        {"Straße/Café.txt", "hello\r\nworld\n"},
        {"empty.txt", ""},
        {"text100.bin", patternBytes(100, 2)},
        // Larger than several reads of the archive file, and x86-like bytes for the branch filters.
        {"big/data.bin", patternBytes(150000, 3) + std::string(50000, '\xE8')},
    };
    return files;
}

class Archives : public FileSystemTest {
protected:
    void SetUp() override {
        FileSystemTest::SetUp();
        unsetenv("KD_LOCALE");
        platform::forgetLocale();
    }

    // Writes the source tree (with a fixed modification time) and archives it as work()/name.
    void makeArchive(const std::string& name, const Method& method, const stdfs::path& source = {}) {
        stdfs::path folder = source.empty() ? root() / "src" : source;
        if (source.empty() && !stdfs::exists(folder)) {
            for (const auto& [entry, contents] : sourceFiles()) writeFile(folder / entry, contents);
            stampTimes(folder);
        }
        std::vector<std::string> argv = {"7zz", "a", "-t7z", "-ms=off", "-mf=off", "-mtc=off", "-mta=off"};
        argv.insert(argv.end(), method.switches.begin(), method.switches.end());
        argv.push_back((work() / name).string());
        argv.push_back(".");
        int status = run(argv, folder);
        ASSERT_NE(status, 127) << "the 7zz archiver (Debian package 7zip) is required: run dev/install-deps";
        ASSERT_EQ(status, 0) << "7zz failed for " << name;
    }

    static void stampTimes(const stdfs::path& folder) {
        auto time =
            stdfs::file_time_type::clock::from_sys(std::chrono::system_clock::from_time_t(kEntryTime));
        for (const auto& item : stdfs::recursive_directory_iterator(folder))
            stdfs::last_write_time(item, time);
        stdfs::last_write_time(folder, time);
    }

    void mountOnly(const std::vector<std::string>& archives) {
        kdMount("file", "", platform::mountNative);
        for (const std::string& name : archives) kdMount("bar", name.c_str(), platform::mountArchive);
    }
};

TEST_F(Archives, EveryCoderDecodesEveryEntry) {
    for (const Method& method : kMethods) {
        SCOPED_TRACE(method.name);
        std::string name = std::string(method.name) + ".bar";
        makeArchive(name, method);
        mountOnly({name});
        ASSERT_EQ(m_log.back(), "mount: bar(" + name + ")\n");
        for (const auto& [entry, contents] : sourceFiles())
            EXPECT_TRUE(readKd(entry.c_str()) == contents) << entry;
        kdUnmountAll();
    }
}

TEST_F(Archives, LookupIgnoresCaseAndStatReportsEntries) {
    makeArchive("a.bar", kMethods[1]);
    mountOnly({"a.bar"});
    EXPECT_TRUE(readKd("res/fonts/a.fnt") == sourceFiles()[0].second);
    EXPECT_TRUE(readKd("RES/FONTS/A.FNT") == sourceFiles()[0].second);
    EXPECT_EQ(readKd("Res/Fonts/B.FNT"), "<missing>");
    EXPECT_EQ(readKd("Fonts/A.FNT"), "<missing>");

    KDStat st{};
    ASSERT_EQ(kdStat("res/FONTS", &st), 0);
    EXPECT_EQ(st.st_mode, KD_S_IFDIR);
    ASSERT_EQ(kdStat("big/data.bin", &st), 0);
    EXPECT_EQ(st.st_mode, KD_S_IFREG);
    EXPECT_EQ(st.st_size, 200000);
    EXPECT_EQ(st.st_modtime, kEntryTime);
    ASSERT_EQ(kdStat("Straße/Café.txt", &st), 0);
    EXPECT_EQ(st.st_size, 13);

    KDFile* file = kdFopen("empty.txt", "rb");
    ASSERT_NE(file, nullptr);
    ASSERT_EQ(kdFstat(file, &st), 0);
    EXPECT_EQ(st.st_size, 0);
    EXPECT_EQ(st.st_modtime, kEntryTime);
    EXPECT_NE(kdFEOF(file), 0);
    EXPECT_EQ(kdGetc(file), KD_EOF);
    kdFclose(file);
}

TEST_F(Archives, EntryReadingRules) {
    makeArchive("a.bar", kMethods[0]);
    mountOnly({"a.bar"});
    KDFile* file = kdFopen("text100.bin", "rb");
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(kdFseek(file, -10, KD_SEEK_END), 0);
    EXPECT_EQ(kdFtell(file), 90);
    EXPECT_EQ(kdFseek(file, 11, KD_SEEK_CUR), -1);
    EXPECT_EQ(kdFtell(file), 90);
    EXPECT_EQ(kdFseek(file, -91, KD_SEEK_CUR), -1);
    EXPECT_EQ(kdFseek(file, 100, KD_SEEK_SET), 0);
    EXPECT_NE(kdFEOF(file), 0);
    EXPECT_EQ(kdFseek(file, 5, KD_SEEK_SET), 0);
    EXPECT_EQ(kdGetc(file), static_cast<unsigned char>(sourceFiles()[3].second[5]));
    EXPECT_EQ(kdFwrite("x", 1, 1, file), 0u);
    EXPECT_EQ(kdPutc('x', file), KD_EOF);
    EXPECT_EQ(kdFflush(file), 0);
    EXPECT_EQ(kdFerror(file), 0);
    KDsize size = 0;
    const void* data = kdMapFile(file, &size);
    ASSERT_NE(data, nullptr);
    EXPECT_TRUE(std::string(static_cast<const char*>(data), size) == sourceFiles()[3].second);
    EXPECT_EQ(kdUnmapFile(file, const_cast<void*>(data)), 0);
    EXPECT_EQ(kdFclose(file), 0);

    // Lines drop carriage returns and stop at a line feed or when the buffer has one byte left.
    file = kdFopen("straße/café.txt", "rb");
    ASSERT_NE(file, nullptr);
    char line[32];
    ASSERT_NE(kdFgets(line, sizeof line, file), nullptr);
    EXPECT_STREQ(line, "hello\n");
    ASSERT_NE(kdFgets(line, 4, file), nullptr);
    EXPECT_STREQ(line, "wor");
    ASSERT_NE(kdFgets(line, sizeof line, file), nullptr);
    EXPECT_STREQ(line, "ld\n");
    EXPECT_EQ(kdFgets(line, sizeof line, file), nullptr);
    kdFclose(file);

    EXPECT_EQ(kdFopen("text100.bin", "r+b"), nullptr) << "archives are read-only";
    EXPECT_EQ(kdGetError(), KD_ENOENT); // what the native file system said
    EXPECT_EQ(kdFopen("data/../../x", "rb"), nullptr);
    EXPECT_EQ(kdGetError(), KD_EINVAL);
}

TEST_F(Archives, LooseFilesThenEarlierArchivesWin) {
    stdfs::path first = root() / "first";
    stdfs::path second = root() / "second";
    writeFile(first / "shared.txt", "first");
    writeFile(first / "res_de" / "only.txt", "de");
    writeFile(second / "shared.txt", "second");
    writeFile(second / "loose.txt", "archived");
    writeFile(second / "res" / "only.txt", "plain");
    makeArchive("Z.bar", kMethods[1], second);
    makeArchive("a.bar", kMethods[1], first);
    writeFile(work() / "loose.txt", "loose");
    mountAll();
    EXPECT_EQ(readKd("shared.txt"), "first");
    EXPECT_EQ(readKd("loose.txt"), "loose");
    setenv("KD_LOCALE", "de_AT", 1);
    platform::forgetLocale();
    EXPECT_EQ(readKd("res/only.txt"), "de");
    KDStat st{};
    EXPECT_EQ(kdStat("res/only.txt", &st), 0);
    EXPECT_EQ(st.st_size, 5); // the plain one: stat knows no language folders
    unsetenv("KD_LOCALE");
    platform::forgetLocale();
}

TEST_F(Archives, MountOrderIgnoresCaseAndBadArchivesAreSkipped) {
    makeArchive("b_lzma2.bar", kMethods[1]);
    makeArchive("A_lzma.bar", kMethods[0]);
    makeArchive("music.bar.old", kMethods[2]);
    std::string good = readNative(work() / "b_lzma2.bar");
    writeFile(work() / "damaged.bar", good.substr(0, good.size() - 40));
    writeFile(work() / "text.bar", "this is not an archive at all, just some text\n");
    stdfs::create_directories(work() / "folder.bar");
    mountAll();
    ASSERT_EQ(m_log.size(), 8u);
    EXPECT_EQ(m_log[0], "mount: file()\n");
    EXPECT_EQ(m_log[1], "mount: bar(A_lzma.bar)\n");
    EXPECT_EQ(m_log[2], "mount: bar(b_lzma2.bar)\n");
    EXPECT_TRUE(std::regex_match(m_log[3], std::regex("error: -?[0-9]+, can't mount bar\\(damaged.bar\\)\n")))
        << m_log[3];
    EXPECT_TRUE(std::regex_match(m_log[4], std::regex("error: -?[0-9]+, can't mount bar\\(folder.bar\\)\n")))
        << m_log[4];
    EXPECT_EQ(m_log[5], "mount: bar(music.bar.old)\n");
    EXPECT_TRUE(std::regex_match(m_log[6], std::regex("error: -?[0-9]+, can't mount bar\\(text.bar\\)\n")))
        << m_log[6];
    EXPECT_EQ(m_log[7], "mount: http()\n");
    EXPECT_TRUE(readKd("Res/Fonts/A.FNT") == sourceFiles()[0].second);
    m_log.clear();
    kdUnmountAll();
    EXPECT_EQ(m_log, (std::vector<std::string>{"unmount: http()\n", "unmount: bar(music.bar.old)\n",
                                               "unmount: bar(b_lzma2.bar)\n", "unmount: bar(A_lzma.bar)\n",
                                               "unmount: file()\n"}));
}

TEST_F(Archives, CorruptEntryDataFailsOnlyThatEntry) {
    makeArchive("a.bar", kMethods[1]);
    std::string bytes = readNative(work() / "a.bar");
    // The big entry's packed data fills most of the file; its middle is inside it.
    for (size_t i = bytes.size() / 2; i < bytes.size() / 2 + 64; ++i) bytes[i] = char(bytes[i] ^ 0x5A);
    writeFile(work() / "a.bar", bytes);
    mountOnly({"a.bar"});
    ASSERT_EQ(m_log.back(), "mount: bar(a.bar)\n");
    EXPECT_EQ(kdFopen("big/data.bin", "rb"), nullptr);
    EXPECT_TRUE(readKd("text100.bin") == sourceFiles()[3].second);
}

TEST_F(Archives, UnsupportedCodersFailCleanly) {
    // A coder the reader does not have: the archive mounts, its entries do not open.
    makeArchive("ppmd.bar", {"ppmd", {"-m0=PPMd"}});
    // An encrypted header cannot even be listed.
    makeArchive("secret.bar", {"aes", {"-m0=LZMA2", "-pSecret", "-mhe=on"}});
    mountOnly({"ppmd.bar", "secret.bar"});
    ASSERT_EQ(m_log.size(), 3u);
    EXPECT_EQ(m_log[1], "mount: bar(ppmd.bar)\n");
    EXPECT_EQ(m_log[2], "error: 4, can't mount bar(secret.bar)\n");
    KDStat st{};
    EXPECT_EQ(kdStat("big/data.bin", &st), 0);
    kdSetError(0);
    EXPECT_EQ(kdFopen("big/data.bin", "rb"), nullptr);
    EXPECT_EQ(kdGetError(), KD_EIO);
}

TEST_F(Archives, TruncatedArchivesNeverCrash) {
    makeArchive("a.bar", kMethods[3]);
    std::string bytes = readNative(work() / "a.bar");
    for (size_t cut = 0; cut < bytes.size(); cut += bytes.size() / 97 + 1) {
        writeFile(work() / "cut.bar", bytes.substr(0, cut));
        mountOnly({"cut.bar"});
        for (const auto& [entry, contents] : sourceFiles()) {
            std::string got = readKd(entry.c_str());
            EXPECT_TRUE(got == contents || got == "<missing>") << entry << " cut at " << cut;
        }
        kdUnmountAll();
    }
}

} // namespace
