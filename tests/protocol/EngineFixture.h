#pragma once
// The gang programmer's state with its window model, recording dialogs and a
// fixed clock, without ports: for handlers that send nothing.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "forms/ProgramVLTForm.h"
#include "forms/RecordingDialogs.h"
#include "platform/Clock.h"
#include "state/VltContext.h"

struct EngineState {
    TFixedClock Clock{TDateTime{2026, 3, 9, 14, 5, 7, 0}};
    RecordingDialogs Dialogs;
    std::unique_ptr<TProgramVLT> Form = std::make_unique<TProgramVLT>();
    std::unique_ptr<VltContext> Ctx = std::make_unique<VltContext>();

    EngineState() {
        Form->Clock = &Clock;
        Ctx->Form = Form.get();
        Ctx->Dialogs = &Dialogs;
        Ctx->Clock = &Clock;
        for (int n = 1; n <= kChannels; ++n)
            Ctx->ChannelGauge[static_cast<size_t>(n - 1)] = &Form->GaugeBar(n);
    }
    VltContext &ctx() { return *Ctx; }
    const std::vector<std::string> &Lines() const { return Form->InfoMemo.Lines; }
    // Lines written since the given count.
    std::vector<std::string> LinesFrom(size_t from) const {
        return {Lines().begin() + static_cast<long>(std::min(from, Lines().size())), Lines().end()};
    }
};

// The line prefix of the fixed clock.
inline std::string Stamp() {
    return "> 2026-03-09 14:05:07 ";
}
inline std::string DevLine(int n, const std::string &text) {
    return Stamp() + "Device " + std::to_string(n) + " : " + text;
}
