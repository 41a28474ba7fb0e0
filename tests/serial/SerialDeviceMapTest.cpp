#include "platform/SerialDeviceMap.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace {

namespace fs = std::filesystem;

struct TempDir {
    fs::path Path;
    TempDir() {
        std::string tmpl = (fs::temp_directory_path() / "pelmor-map-XXXXXX").string();
        Path = ::mkdtemp(tmpl.data());
    }
    ~TempDir() {
        std::error_code ec;
        fs::remove_all(Path, ec);
    }
};

TEST(SerialDeviceMap, ParsesPairsOnePerLine) {
    struct Case {
        const char *Text;
        TSerialDeviceMap Expected;
    } cases[] = {
        {"\\Device\\VCP0 /dev/pts/3\n\\Device\\VCP1\tttyUSB0\n",
         {{"\\Device\\VCP0", "/dev/pts/3"}, {"\\Device\\VCP1", "ttyUSB0"}}},
        {"# demo ports\n\n  \\Device\\VCP0 \t /tmp/a b  \r\n", {{"\\Device\\VCP0", "/tmp/a b"}}},
        {"\\Device\\VCP0\n\\Device\\VCP1 ttyACM0", {{"\\Device\\VCP1", "ttyACM0"}}},
        {"", {}},
        {"\n\n#\\Device\\VCP0 x\n", {}},
    };
    for (const auto &c : cases)
        EXPECT_EQ(ParseSerialMap(c.Text), c.Expected) << c.Text;
    EXPECT_TRUE(ParseSerialMap("\\Device\\VCP0 " + std::string(10000, 'x')).empty()) << "overlong line";
}

TEST(SerialDeviceMap, AMapFileReplacesTheScanAndKeepsItsOrder) {
    TempDir dir;
    const auto file = dir.Path / "ports.map";
    std::ofstream(file) << "\\Device\\VCP1 /dev/pts/7\n\\Device\\VCP0 /dev/pts/2\n";
    fs::create_directories(dir.Path / "tty" / "ttyUSB0" / "device");

    const TSerialDeviceMap fromFile = ReadSerialDeviceMap(file.c_str(), (dir.Path / "tty").string());
    EXPECT_EQ(fromFile,
              (TSerialDeviceMap{{"\\Device\\VCP1", "/dev/pts/7"}, {"\\Device\\VCP0", "/dev/pts/2"}}));
    EXPECT_TRUE(ReadSerialDeviceMap((dir.Path / "missing.map").c_str(), (dir.Path / "tty").string()).empty());
    EXPECT_EQ(ReadSerialDeviceMap(nullptr, (dir.Path / "tty").string()),
              (TSerialDeviceMap{{"\\Device\\VCP0", "ttyUSB0"}}));
    EXPECT_EQ(ReadSerialDeviceMap("", (dir.Path / "tty").string()),
              (TSerialDeviceMap{{"\\Device\\VCP0", "ttyUSB0"}}));
}

TEST(SerialDeviceMap, ScanNamesUsbPortsInAStableOrder) {
    TempDir dir;
    const fs::path devices = dir.Path / "devices";
    const fs::path tty = dir.Path / "class" / "tty";
    fs::create_directories(tty);
    // Real ports have a "device" link; consoles and pseudo-terminals do not.
    for (const char *name : {"ttyUSB10", "ttyS1", "ttyUSB2", "ttyACM0", "ttyS0", "ttyUSB0"}) {
        fs::create_directories(devices / name);
        fs::create_directories(tty / name);
        fs::create_directory_symlink(devices / name, tty / name / "device");
    }
    for (const char *name : {"tty0", "ptmx", "ttyUSB9", "console"})
        fs::create_directories(tty / name);
    fs::create_directory_symlink(devices / "gone", tty / "ttyUSB9" / "device"); // dangling: unplugged

    const TSerialDeviceMap expected = {
        {"\\Device\\VCP0", "ttyACM0"},  {"\\Device\\VCP1", "ttyUSB0"},  {"\\Device\\VCP2", "ttyUSB2"},
        {"\\Device\\VCP3", "ttyUSB10"}, {"\\Device\\Serial0", "ttyS0"}, {"\\Device\\Serial1", "ttyS1"},
    };
    EXPECT_EQ(ScanSysTty(tty.string()), expected);
    EXPECT_TRUE(ScanSysTty((dir.Path / "nowhere").string()).empty());
}

} // namespace
