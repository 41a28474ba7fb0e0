#pragma once
// A fresh context with recording dialogs and a folder for fixture files.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "forms/RecordingDialogs.h"
#include "state/VltContext.h"
#include "tests/datafiles/TempDir.h"

// "21 02 FF" -> {0x21, 0x02, 0xFF}
inline std::vector<uint8_t> Hex(const std::string &text) {
    std::vector<uint8_t> out;
    std::istringstream in(text);
    std::string b;
    while (in >> b)
        out.push_back(static_cast<uint8_t>(std::stoul(b, nullptr, 16)));
    return out;
}

class DataFileTest : public ::testing::Test {
protected:
    DataFileTest() { Ctx.Dialogs = &Dialogs; }

    std::vector<uint8_t> Data(size_t from, size_t n) const {
        return {Ctx.DataBuffer.begin() + static_cast<std::ptrdiff_t>(from),
                Ctx.DataBuffer.begin() + static_cast<std::ptrdiff_t>(from + n)};
    }
    void Fill(size_t from, size_t n, uint8_t v) {
        std::fill_n(Ctx.DataBuffer.begin() + static_cast<std::ptrdiff_t>(from), n, v);
    }
    std::vector<std::string> Messages() const { return Dialogs.Texts(RecordingDialogs::Kind::Message); }
    std::vector<std::string> Errors() const { return Dialogs.Texts(RecordingDialogs::Kind::Error); }

    std::unique_ptr<VltContext> Owned = std::make_unique<VltContext>();
    VltContext &Ctx = *Owned;
    RecordingDialogs Dialogs;
    TTempDir Dir;
};

// The format error box of a line.
inline std::string FormatErrorOf(const std::string &line) {
    return "File Format Error :\"" + line + "\"!";
}
