// A script host for one test: created with fixed arguments, the log captured, destroyed afterwards. The user
// data folder (where the log file goes) is a fresh temporary folder.
#pragma once

#include "platform/kd.h"
#include "script/script_host.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

class HostTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_folder = std::filesystem::temp_directory_path() /
                   ("hh_host_" + std::to_string(getpid()) + "_" +
                    ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(m_folder);
        std::filesystem::create_directories(m_folder);
        setenv("XDG_DATA_HOME", m_folder.c_str(), 1);
        const char* arguments[] = {"harborhaven", "first", "+print(1)"};
        ScriptHost::create(3, arguments);
        ASSERT_NE(ScriptHost::vm(), nullptr);
        kdSetLogHook(&HostTest::capture, this);
    }
    void TearDown() override {
        kdSetLogHook(nullptr, nullptr);
        ScriptHost::destroy();
        std::filesystem::remove_all(m_folder);
    }

    // Compiles and runs text at the root; its result.
    ScriptValue run(const char* text) { return ScriptHost::callClosure(ScriptHost::compileBuffer(text)); }
    // The log written since the last call.
    std::string takeLog() { return std::exchange(m_log, std::string()); }

    std::filesystem::path m_folder;

private:
    static void capture(const KDchar* text, void* self) { static_cast<HostTest*>(self)->m_log += text; }
    std::string m_log;
};
