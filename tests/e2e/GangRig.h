#pragma once
// The whole gang programmer against four simulated programmers on
// pseudo-terminals: the real program object, its TComm ports and handlers,
// with the main-thread queue pumped by the test and the timer ticked by hand.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "app/VltProgram.h"
#include "forms/ProgramVLTForm.h"
#include "forms/RecordingDialogs.h"
#include "platform/Clock.h"
#include "platform/EventQueue.h"
#include "serial/Comm.h"
#include "state/VltContext.h"
#include "tools/devsim/SimDevice.h"

struct GangRig {
    TSimGang Gang;
    TPumpQueue Queue;
    RecordingDialogs Dialogs;
    TFixedClock Clock{TDateTime{2026, 3, 9, 14, 5, 7, 0}};
    TVltProgram Program{Queue, Dialogs, Clock};
    std::filesystem::path Dir;
    std::vector<unsigned> Pauses;
    std::array<uint64_t, kChannels> Taken{}; // bytes each channel's receive handler was given

    explicit GangRig(size_t devices = 4, const TSimOptions &opt = {}) : Gang(devices, opt) {
        Dir = std::filesystem::temp_directory_path() /
              ("pelmor-e2e-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
               std::to_string(reinterpret_cast<uintptr_t>(this)));
        std::filesystem::create_directories(Dir);
        Program.ProgramPath = (Dir / "Pelmor200VLT").string();
        Program.PortScan.DeviceMap = [this] {
            TSerialDeviceMap map;
            for (size_t i = 0; i < Gang.Size(); ++i)
                map.push_back({"\\Device\\VCP" + std::to_string(i), Gang.Device(i).PortPath()});
            return map;
        };
        Program.PortScan.Pause = [this](unsigned ms) { Pauses.push_back(ms); };
        for (size_t i = 0; i < kChannels; ++i) {
            TComm &comm = Program.Comm(static_cast<int>(i + 1));
            comm.OnReceiveData = [this, i, inner = comm.OnReceiveData](TComm &c, const uint8_t *buf,
                                                                       uint16_t len) {
                Taken[i] += len;
                inner(c, buf, len);
            };
        }
    }
    ~GangRig() {
        Program.ClosePorts();
        std::error_code ec;
        std::filesystem::remove_all(Dir, ec);
    }

    VltContext &Ctx() { return Program.Context(); }
    TProgramVLT &Form() { return Program.Form(); }
    TSimDevice &Dev(int n) { return Gang.Device(static_cast<size_t>(n - 1)); }
    const std::vector<std::string> &Lines() { return Form().InfoMemo.Lines; }
    size_t k(int n) const { return static_cast<size_t>(n - 1); }

    bool PumpUntil(const std::function<bool()> &done, int limitMs = 20000) {
        return Queue.PumpUntil(done, std::chrono::milliseconds(limitMs));
    }
    // Waits until device n has written all it decided to send and channel n's
    // receive handler has taken every byte of it: nothing is still on its way.
    bool PumpUntilDelivered(int n) {
        TSimDevice &d = Dev(n);
        if (!d.WaitFor([](const TSimDevice &x) { return !x.Sending(); }))
            return false;
        return PumpUntil([&] { return Taken[k(n)] == d.Counters().BytesOut; });
    }
    bool Idle(int n) { return Ctx().ChannelBusy[k(n)] == 0; }
    bool AllIdle() {
        for (int n = 1; n <= static_cast<int>(std::min<size_t>(Gang.Size(), kChannels)); ++n)
            if (!Idle(n))
                return false;
        return true;
    }
    // First show: greeting, refresh, connect; waits for every device to answer.
    void ShowAndConnect() {
        Program.Show();
        ASSERT_TRUE(PumpUntil([this] {
            for (size_t i = 0; i < std::min<size_t>(Gang.Size(), kChannels); ++i)
                if (Ctx().ChannelConnected[i] == 0)
                    return false;
            return true;
        }));
    }
    // An image chip with `kb` KB of pattern data loaded.
    void ChooseImageChipWithData(uint16_t kb) {
        Ctx().ChipFamily = 80;
        Ctx().ChipSubType = 1;
        Form().MCUNameEdit.SetText("ImageChip");
        VltContext &c = Ctx();
        for (size_t i = 0; i < kBufferSize; ++i)
            c.DataBuffer[i] = static_cast<uint8_t>((i * 131 + (i >> 8) * 7 + 1) & 0xFF);
        c.RecordCount = static_cast<uint16_t>(std::min<uint32_t>(kb * 1024u, 65535u));
        c.TransferKB = kb;
        c.DataKB = kb;
        c.DataLoaded = 1;
        Form().EditFilName.SetText("pattern.bin");
    }
    void Ticks(int n) {
        for (int i = 0; i < n; ++i)
            Program.Tick();
    }
    // Lines of channel n's device prefix, without date and time.
    std::vector<std::string> ChannelTexts(int n) {
        const std::string tag = " Device " + std::to_string(n) + " : ";
        std::vector<std::string> out;
        for (const auto &l : Lines()) {
            auto at = l.find(tag);
            if (at != std::string::npos)
                out.push_back(l.substr(at + tag.size()));
        }
        return out;
    }
    // Every line without its "> date time " stamp.
    std::vector<std::string> Texts(size_t from = 0) {
        const std::string stamp = "> 2026-03-09 14:05:07 ";
        std::vector<std::string> out;
        for (size_t i = from; i < Lines().size(); ++i)
            out.push_back(Lines()[i].rfind(stamp, 0) == 0 ? Lines()[i].substr(stamp.size()) : Lines()[i]);
        return out;
    }
};
