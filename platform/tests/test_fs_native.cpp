// Native files through the mount chain: path rules, language folders, the user data folder and its
// safe-replace protocol, by-path operations, listings, mapping and the last-error codes.
#include "fs_test_support.h"

#include "platform/src/fs_last_error.h"
#include "platform/src/fs_locale.h"

#include <cerrno>
#include <csignal>
#include <sys/resource.h>

using namespace fs_test;

namespace {

class NativeFiles : public FileSystemTest {
protected:
    void SetUp() override {
        FileSystemTest::SetUp();
        unsetenv("KD_LOCALE");
        platform::forgetLocale();
        mountAll();
    }
    void TearDown() override {
        unsetenv("KD_LOCALE");
        platform::forgetLocale();
        FileSystemTest::TearDown();
    }
    void useLocale(const char* locale) {
        setenv("KD_LOCALE", locale, 1);
        platform::forgetLocale();
    }
};

TEST_F(NativeFiles, MountsFileThenHttpAndUnmountsInReverse) {
    kdUnmountAll();
    EXPECT_EQ(m_log, (std::vector<std::string>{"mount: file()\n", "mount: http()\n", "unmount: http()\n",
                                               "unmount: file()\n"}));
    EXPECT_TRUE(stdfs::is_directory(userData()));
}

TEST_F(NativeFiles, LanguageFoldersAreTriedMostSpecificFirst) {
    struct Case {
        const char* locale;
        std::vector<const char*> folders; // folders holding ui.png, its contents being the folder name
        const char* expected;
    };
    const Case cases[] = {
        {"de_DE", {"res", "res_de", "res_de_DE"}, "res_de_DE"},
        {"de_DE", {"res", "res_de"}, "res_de"},
        {"de_DE", {"res"}, "res"},
        {"de", {"res", "res_de"}, "res_de"},
        {"de_DE_x", {"res", "res_de", "res_de_DE"}, "res"}, // too long: no locale at all
        {"", {"res", "res_"}, "res"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.locale) + " → " + c.expected);
        std::error_code ignored;
        for (const char* folder : {"res", "res_", "res_de", "res_de_DE"})
            stdfs::remove_all(work() / folder, ignored);
        for (const char* folder : c.folders) writeFile(work() / folder / "ui.png", folder);
        useLocale(c.locale);
        EXPECT_EQ(readKd("res/ui.png"), c.expected);
        EXPECT_EQ(readKd("./res/ui.png"), c.expected);
    }
}

TEST_F(NativeFiles, LongLocaleIsEmptyWithInvalidArgument) {
    useLocale("de_DE_x");
    kdSetError(0);
    EXPECT_STREQ(kdGetLocale(), "");
    EXPECT_EQ(kdGetError(), KD_EINVAL);
}

TEST_F(NativeFiles, LocaleFromPosixVariables) {
    struct Case {
        const char* lcAll;
        const char* lang;
        const char* expected;
    };
    const Case cases[] = {
        {nullptr, "de_DE.UTF-8", "de_DE"}, {nullptr, "fr_FR@euro", "fr_FR"}, {nullptr, "C.UTF-8", ""},
        {"POSIX", "de_DE.UTF-8", ""},      {"pt_BR", "de_DE", "pt_BR"},      {nullptr, "ast_ES.UTF-8", "ast"},
    };
    const char* savedLang = std::getenv("LANG");
    std::string lang = savedLang ? savedLang : "";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expected);
        c.lcAll ? setenv("LC_ALL", c.lcAll, 1) : unsetenv("LC_ALL");
        unsetenv("LC_MESSAGES");
        setenv("LANG", c.lang, 1);
        platform::forgetLocale();
        EXPECT_STREQ(kdGetLocale(), c.expected);
    }
    unsetenv("LC_ALL");
    savedLang ? setenv("LANG", lang.c_str(), 1) : unsetenv("LANG");
}

TEST_F(NativeFiles, StatSeesNeitherLanguageFoldersNorSkipping) {
    useLocale("de");
    writeFile(work() / "res_de" / "a.png", "de");
    EXPECT_EQ(readKd("res/a.png"), "de");
    KDStat st{};
    EXPECT_EQ(kdStat("res/a.png", &st), -1);
    ASSERT_EQ(kdStat("res_de/a.png", &st), 0);
    EXPECT_EQ(st.st_mode, KD_S_IFREG);
    EXPECT_EQ(st.st_size, 2);
    ASSERT_EQ(kdStat("res_de", &st), 0);
    EXPECT_EQ(st.st_mode, KD_S_IFDIR);
}

TEST_F(NativeFiles, ReplaceWritesOnlyTheTemporaryUntilClose) {
    for (const char* mode : {"w", "wb", "wt"}) {
        SCOPED_TRACE(mode);
        writeFile(userData() / "options.cfg", "old");
        KDFile* file = kdFopen("data/options.cfg", mode);
        ASSERT_NE(file, nullptr);
        ASSERT_EQ(kdFwrite("new", 1, 3, file), 3u);
        EXPECT_EQ(readNative(userData() / "options.cfg"), "old");
        EXPECT_TRUE(stdfs::exists(userData() / "options.cfg.kdtmp"));
        EXPECT_EQ(kdFclose(file), 0);
        EXPECT_EQ(readNative(userData() / "options.cfg"), "new");
        EXPECT_FALSE(stdfs::exists(userData() / "options.cfg.kdtmp"));
        EXPECT_FALSE(stdfs::exists(userData() / "options.cfg.kdbak"));
    }
}

TEST_F(NativeFiles, AppendAndUpdateModesWriteInPlace) {
    writeFile(userData() / "log.txt", "ab");
    ASSERT_TRUE(writeKd("/data/log.txt", "cd", "ab"));
    EXPECT_EQ(readNative(userData() / "log.txt"), "abcd");
    KDFile* file = kdFopen("data/log.txt", "r+b");
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(kdPutc('X', file), 'X');
    EXPECT_FALSE(stdfs::exists(userData() / "log.txt.kdtmp"));
    EXPECT_EQ(kdFclose(file), 0);
    EXPECT_EQ(readNative(userData() / "log.txt"), "Xbcd");
}

TEST_F(NativeFiles, BackupIsRestoredOnlyWhenTheFileIsMissing) {
    // A commit cut short between its two renames: only the backup is left, and any open brings it back.
    writeFile(userData() / "save.sav", "");
    stdfs::remove(userData() / "save.sav");
    writeFile(userData() / "save.sav.kdbak", "previous");
    EXPECT_EQ(readKd("data/save.sav"), "previous");
    EXPECT_FALSE(stdfs::exists(userData() / "save.sav.kdbak"));

    // A backup left beside a newer save (its final delete was cut short) must never replace it.
    writeFile(userData() / "save.sav", "newest");
    writeFile(userData() / "save.sav.kdbak", "stale");
    EXPECT_EQ(readKd("data/save.sav"), "newest");
    ASSERT_TRUE(writeKd("data/save.sav", "next"));
    EXPECT_EQ(readNative(userData() / "save.sav"), "next");
    EXPECT_FALSE(stdfs::exists(userData() / "save.sav.kdbak"));
}

TEST_F(NativeFiles, StatOfASaveCutShortInItsCommitAnswersAsTheOpenWould) {
    // Killed between "X → X.kdbak" and "X.kdtmp → X": only the backup and the temporary are on disk.
    writeFile(userData() / "save.bin.kdbak", "previous");
    writeFile(userData() / "save.bin.kdtmp", "unconfirmed");
    KDStat st{};
    ASSERT_EQ(kdStat("data/save.bin", &st), 0);
    EXPECT_EQ(st.st_size, 8);
    EXPECT_EQ(readNative(userData() / "save.bin"), "previous");
    EXPECT_FALSE(stdfs::exists(userData() / "save.bin.kdbak"));
    EXPECT_FALSE(stdfs::exists(userData() / "save.bin.kdtmp"));

    // A stale temporary beside a complete save (killed while writing) is no reason to touch anything.
    writeFile(userData() / "save.bin.kdtmp", "half");
    ASSERT_EQ(kdStat("data/save.bin", &st), 0);
    EXPECT_EQ(readNative(userData() / "save.bin"), "previous");
    EXPECT_TRUE(stdfs::exists(userData() / "save.bin.kdtmp"));

    // An open that restores clears the temporary too.
    stdfs::remove(userData() / "save.bin");
    writeFile(userData() / "save.bin.kdbak", "oldest");
    writeFile(userData() / "save.bin.kdtmp", "cut");
    EXPECT_EQ(readKd("data/save.bin"), "oldest");
    EXPECT_FALSE(stdfs::exists(userData() / "save.bin.kdtmp"));

    // Only the temporary of a first save ever: there is no save.
    stdfs::remove(userData() / "save.bin");
    writeFile(userData() / "first.bin.kdtmp", "cut");
    EXPECT_EQ(kdStat("data/first.bin", &st), -1);
    EXPECT_TRUE(stdfs::exists(userData() / "first.bin.kdtmp"));
}

TEST_F(NativeFiles, FailedWriteKeepsThePreviousSave) {
    writeFile(userData() / "save.sav", "complete old save");
    // A file size limit makes the temporary copy fail to grow, as a full disk would.
    signal(SIGXFSZ, SIG_IGN);
    rlimit previous{};
    getrlimit(RLIMIT_FSIZE, &previous);
    rlimit small = previous;
    small.rlim_cur = 1000;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    KDFile* file = kdFopen("data/save.sav", "wb");
    ASSERT_NE(file, nullptr);
    std::string big = patternBytes(100000, 1);
    kdFwrite(big.data(), 1, big.size(), file);
    KDint closed = kdFclose(file);
    setrlimit(RLIMIT_FSIZE, &previous);
    signal(SIGXFSZ, SIG_DFL);
    EXPECT_EQ(closed, -1);
    EXPECT_EQ(kdGetError(), KD_EFBIG);
    EXPECT_EQ(readNative(userData() / "save.sav"), "complete old save");
    EXPECT_FALSE(stdfs::exists(userData() / "save.sav.kdtmp"));
    EXPECT_FALSE(stdfs::exists(userData() / "save.sav.kdbak"));
}

TEST_F(NativeFiles, FailedReadDoesNotBlockTheCommit) {
    writeFile(userData() / "save.sav", "old");
    KDFile* file = kdFopen("data/save.sav", "wb");
    ASSERT_NE(file, nullptr);
    ASSERT_EQ(kdFwrite("new ", 1, 4, file), 4u);
    char buffer[4];
    EXPECT_EQ(kdFread(buffer, 1, sizeof buffer, file), 0u); // a "wb" file cannot be read
    EXPECT_EQ(kdGetc(file), KD_EOF);
    EXPECT_NE(kdFerror(file), 0);
    ASSERT_EQ(kdFwrite("save", 1, 4, file), 4u);
    EXPECT_EQ(kdFclose(file), 0);
    EXPECT_EQ(readNative(userData() / "save.sav"), "new save");
    EXPECT_FALSE(stdfs::exists(userData() / "save.sav.kdtmp"));
}

TEST_F(NativeFiles, LongUserDataPathsStillCommit) {
    std::string deep = "data";
    for (int i = 0; i < 6; ++i) {
        deep += "/" + std::string(60, char('a' + i));
        ASSERT_EQ(kdMkdir(deep.c_str()), 0) << deep;
    }
    std::string path = deep + "/save.sav";
    ASSERT_GT((userData() / path.substr(5)).string().size(), 259u);
    ASSERT_TRUE(writeKd(path.c_str(), "v1"));
    ASSERT_TRUE(writeKd(path.c_str(), "v2"));
    EXPECT_EQ(readKd(path.c_str()), "v2");
    EXPECT_FALSE(stdfs::exists(userData() / (path.substr(5) + ".kdtmp")));
}

TEST_F(NativeFiles, UserDataPathsCannotLeaveTheFolder) {
    writeFile(work() / "victim.txt", "keep");
    kdSetError(0);
    EXPECT_EQ(kdFopen("data/../../work/victim.txt", "wb"), nullptr);
    EXPECT_EQ(kdGetError(), KD_EINVAL);
    EXPECT_EQ(kdRemove("data/../../work/victim.txt"), -1);
    EXPECT_EQ(kdGetError(), KD_EINVAL);
    EXPECT_EQ(kdRename("data/x", "data/a/../../y"), -1);
    EXPECT_EQ(kdMkdir("data/.."), -1);
    EXPECT_EQ(readNative(work() / "victim.txt"), "keep");
    // Steps that stay inside are fine.
    ASSERT_TRUE(writeKd("data/a/../inside.txt", "in"));
    EXPECT_EQ(readNative(userData() / "inside.txt"), "in");
    // By-path operations skip leading '/' like kdFopen: an absolute path stays in the working folder.
    writeFile(work() / "tmp" / "x", "x");
    EXPECT_EQ(kdRemove("/tmp/x"), 0);
    EXPECT_FALSE(stdfs::exists(work() / "tmp" / "x"));
}

TEST_F(NativeFiles, WithoutAUserDataFolderDataPathsStayInTheWorkingFolder) {
    const char* home = std::getenv("HOME");
    const std::string savedHome = home ? home : "";
    unsetenv("XDG_DATA_HOME");
    unsetenv("HOME");
    stdfs::create_directories(work() / "game" / "data");
    stdfs::current_path(work() / "game");
    kdSetError(0);
    EXPECT_EQ(kdFopen("data/../../escaped.txt", "wb"), nullptr);
    EXPECT_EQ(kdGetError(), KD_EINVAL);
    EXPECT_EQ(kdMkdir("data/../../d"), -1);
    EXPECT_EQ(kdGetError(), KD_EINVAL);
    writeFile(work() / "victim.txt", "keep");
    EXPECT_EQ(kdRemove("data/../../victim.txt"), -1);
    EXPECT_EQ(kdRename("data/../../victim.txt", "data/taken.txt"), -1);
    stdfs::create_directories(work() / "empty");
    EXPECT_EQ(kdRmdir("data/../../empty"), -1);
    // Inside, "data/" is the working folder's "data".
    const bool written = writeKd("data/a/../save.sav", "in");
    if (home) setenv("HOME", savedHome.c_str(), 1);
    EXPECT_TRUE(written);
    EXPECT_EQ(readNative(work() / "game" / "data" / "save.sav"), "in");
    EXPECT_FALSE(stdfs::exists(work() / "escaped.txt"));
    EXPECT_FALSE(stdfs::exists(work() / "d"));
    EXPECT_EQ(readNative(work() / "victim.txt"), "keep");
    EXPECT_TRUE(stdfs::is_directory(work() / "empty"));
}

TEST_F(NativeFiles, ByPathOperationsReportTranslatedErrors) {
    ASSERT_EQ(kdMkdir("data/saves"), 0);
    EXPECT_TRUE(stdfs::is_directory(userData() / "saves"));
    EXPECT_EQ(kdMkdir("data/saves"), -1);
    EXPECT_EQ(kdGetError(), KD_EEXIST);
    ASSERT_TRUE(writeKd("data/saves/a.sav", "a"));
    EXPECT_EQ(kdRmdir("data/saves"), -1); // not empty: an untranslated error
    EXPECT_EQ(kdGetError(), KD_EACCES);
    EXPECT_EQ(kdRename("data/saves/a.sav", "data/saves/b.sav"), 0);
    EXPECT_EQ(readKd("data/saves/b.sav"), "a");
    EXPECT_EQ(kdRemove("data/saves/a.sav"), -1);
    EXPECT_EQ(kdGetError(), KD_ENOENT);
    EXPECT_EQ(kdRemove("data/saves"), -1);
    EXPECT_EQ(kdGetError(), KD_EISDIR);
    EXPECT_EQ(kdRemove("data/saves/b.sav"), 0);
    EXPECT_EQ(kdRmdir("data/saves"), 0);
    EXPECT_EQ(kdFopen("missing.txt", "rb"), nullptr);
    EXPECT_EQ(kdGetError(), KD_ENOENT);
    EXPECT_EQ(kdFopen("data", "rb"), nullptr); // a folder is not a file
    std::string tooLong = "data/" + std::string(300, 'n');
    EXPECT_EQ(kdFopen(tooLong.c_str(), "wb"), nullptr);
    EXPECT_EQ(kdGetError(), KD_ENAMETOOLONG);
}

TEST(LastError, OsErrorsTranslate) {
    const std::pair<int, KDint> table[] = {
        {EACCES, 1},        {EAGAIN, 5},  {EBADF, 7},     {EBUSY, 8},   {EDEADLK, 11}, {EEXIST, 13},
        {EFBIG, 14},        {EINVAL, 17}, {EIO, 18},      {EISDIR, 21}, {EMFILE, 22},  {ENFILE, 22},
        {ENAMETOOLONG, 23}, {ENOENT, 24}, {ENOTDIR, 24},  {ENOMEM, 25}, {ENOSPC, 26},  {ENOSYS, 27},
        {ENOTSUP, 27},      {EPERM, 33},  {ENOTEMPTY, 1}, {EXDEV, 1},
    };
    for (auto [os, kd] : table) EXPECT_EQ(platform::translateErrno(os), kd) << os;
}

TEST_F(NativeFiles, NullHandlesAreInvalidArguments) {
    kdSetError(0);
    EXPECT_EQ(kdFclose(nullptr), KD_EOF);
    EXPECT_EQ(kdGetError(), KD_EINVAL);
    char buffer[4];
    EXPECT_EQ(kdFread(buffer, 1, 4, nullptr), 0u);
    EXPECT_EQ(kdFseek(nullptr, 0, KD_SEEK_SET), -1);
    EXPECT_EQ(kdFgets(buffer, 4, nullptr), nullptr);
    EXPECT_EQ(kdCloseDir(nullptr), -1);
    EXPECT_EQ(kdGetError(), KD_EBADF);
}

TEST_F(NativeFiles, ListingIsSortedIgnoringCaseAndRefusesFiles) {
    for (const char* name : {"b.bar", "A.bar", "c.txt", "a2"}) writeFile(work() / "list" / name, "");
    KDDir* dir = kdOpenDir("list");
    ASSERT_NE(dir, nullptr);
    std::vector<std::string> names;
    while (KDDirent* entry = kdReadDir(dir)) names.emplace_back(entry->d_name);
    EXPECT_EQ(kdCloseDir(dir), 0);
    EXPECT_EQ(names, (std::vector<std::string>{".", "..", "A.bar", "a2", "b.bar", "c.txt"}));
    EXPECT_EQ(kdOpenDir("list/c.txt"), nullptr);
    EXPECT_EQ(kdGetError(), KD_ENOENT);
}

TEST_F(NativeFiles, MapGivesTheWholeFile) {
    std::string contents = patternBytes(100000, 7);
    writeFile(work() / "big.bin", contents);
    writeFile(work() / "empty.bin", "");
    for (const char* name : {"big.bin", "empty.bin"}) {
        KDFile* file = kdFopen(name, "rb");
        ASSERT_NE(file, nullptr);
        KDsize size = 1;
        void* data = kdMapFile(file, &size);
        ASSERT_NE(data, nullptr);
        std::string expected = std::string(name) == "big.bin" ? contents : "";
        EXPECT_TRUE(std::string(static_cast<char*>(data), size) == expected);
        EXPECT_EQ(kdUnmapFile(file, data), 0);
        kdFclose(file);
    }
}

TEST_F(NativeFiles, MapOfAFileShorterThanItsSizeHandsOutNothing) {
    // A kernel attribute file announces a page and holds a few bytes: no map may expose the rest.
    const stdfs::path attribute = "/sys/devices/system/cpu/online";
    std::error_code error;
    const auto announced = stdfs::file_size(attribute, error);
    const std::string contents = readNative(attribute);
    if (error || contents.empty() || announced <= contents.size()) {
        GTEST_SKIP() << "no kernel attribute file to read";
    }
    stdfs::create_symlink(attribute, work() / "short.txt");
    KDFile* file = kdFopen("short.txt", "rb");
    ASSERT_NE(file, nullptr);
    KDsize size = 1;
    kdSetError(0);
    void* data = kdMapFile(file, &size);
    if (data != nullptr) {
        // A map, if any, holds exactly what the file holds.
        EXPECT_EQ(std::string(static_cast<char*>(data), size), contents);
        EXPECT_EQ(kdUnmapFile(file, data), 0);
    } else {
        EXPECT_EQ(size, 0u);
        EXPECT_NE(kdGetError(), 0);
    }
    EXPECT_EQ(kdFclose(file), 0);
}

TEST_F(NativeFiles, StreamOperations) {
    writeFile(work() / "lines.txt", "one\r\ntwo\n");
    KDFile* file = kdFopen("lines.txt", "r");
    ASSERT_NE(file, nullptr);
    char line[16];
    ASSERT_NE(kdFgets(line, sizeof line, file), nullptr);
    EXPECT_STREQ(line, "one\r\n"); // native files are plain stdio: nothing is dropped
    EXPECT_EQ(kdGetc(file), 't');
    EXPECT_EQ(kdFseek(file, -1, KD_SEEK_END), 0);
    EXPECT_EQ(kdFtell(file), 8);
    EXPECT_EQ(kdGetc(file), '\n');
    EXPECT_EQ(kdGetc(file), KD_EOF);
    EXPECT_NE(kdFEOF(file), 0);
    EXPECT_EQ(kdFerror(file), 0);
    KDStat st{};
    ASSERT_EQ(kdFstat(file, &st), 0);
    EXPECT_EQ(st.st_size, 9);
    EXPECT_EQ(kdFclose(file), 0);
}

} // namespace
