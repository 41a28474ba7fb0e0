#pragma once
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "forms/ProgramVLTForm.h"
#include "forms/RecordingDialogs.h"
#include "platform/Clock.h"
#include "state/VltContext.h"

// A program folder of its own with a "Log" folder, the window, a recording
// dialogs port and a clock standing at 2026-12-07 22:15:03.
class LogFixture : public ::testing::Test {
protected:
    LogFixture() : clock({2026, 12, 7, 22, 15, 3, 0}) {
        dir = std::filesystem::temp_directory_path() /
              ("pelmor_log_" + std::to_string(::getpid()) + "_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir / "Log");
        ctx.ProgramDir = dir.string() + "/";
        ctx.Form = &form;
        ctx.Dialogs = &dialogs;
        ctx.Clock = &clock;
        form.Clock = &clock;
    }
    ~LogFixture() override { std::filesystem::remove_all(dir); }

    void AddLines(int n) {
        for (int i = 1; i <= n; ++i)
            form.InfoMemo.Add("> line " + std::to_string(i));
    }
    static std::string Read(const std::filesystem::path &p) {
        std::ifstream in(p, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    static void Write(const std::filesystem::path &p, const std::string &text) {
        std::ofstream(p, std::ios::binary) << text;
    }
    // The files in the "Log" folder.
    std::vector<std::string> LogFolder() const {
        std::vector<std::string> names;
        for (const auto &e : std::filesystem::directory_iterator(dir / "Log"))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    std::filesystem::path dir;
    TFixedClock clock;
    TProgramVLT form;
    RecordingDialogs dialogs;
    VltContext ctx;
};
