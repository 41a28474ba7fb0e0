#pragma once
// A gang programmer's state with its main window, a fixed clock and recording
// dialogs, as the chip and read-back routines see them.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "forms/ProgramVLTForm.h"
#include "forms/RecordingDialogs.h"
#include "platform/Clock.h"
#include "state/VltContext.h"

struct ChipsFixture : ::testing::Test {
    std::unique_ptr<VltContext> Ctx = std::make_unique<VltContext>();
    std::unique_ptr<TProgramVLT> Form = std::make_unique<TProgramVLT>();
    TFixedClock Clock{TDateTime{2026, 12, 7, 22, 15, 3, 0}};
    RecordingDialogs Dialogs;
    VltContext &ctx = *Ctx;
    TProgramVLT &form = *Form;

    ChipsFixture() {
        ctx.Form = Form.get();
        ctx.Clock = &Clock;
        ctx.Dialogs = &Dialogs;
        form.Clock = &Clock;
        for (int n = 1; n <= kChannels; ++n)
            ctx.ChannelGauge[static_cast<size_t>(n - 1)] = &form.GaugeBar(n);
    }

    // The prompt, date and time every info line starts with.
    static constexpr const char *kStamp = "> 2026-12-07 22:15:03 ";

    const std::vector<std::string> &Lines() { return form.InfoMemo.Lines; }
};
