#include <cstring>
#include <stdexcept>
#include <string>

#include "platform/FileWrite.h"
#include "tools/devsim/SimDevice.h"

TSimGang::TSimGang(size_t count, const TSimOptions &opt) {
    for (size_t i = 0; i < count; ++i)
        Devices.push_back(std::make_unique<TSimDevice>(opt));
}

void TSimGang::WriteDeviceMap(const std::string &path) const {
    // Written whole or not at all, so that a reader never sees half a map, and
    // never through another user's link or temporary file.
    std::string text;
    for (size_t i = 0; i < Devices.size(); ++i)
        text += "\\Device\\VCP" + std::to_string(i) + " " + Devices[i]->PortPath() + "\n";
    if (const auto err = WriteWholeFile(path, text, TFileWriteMode::Replace))
        throw std::runtime_error("cannot write the device map " + path + ": " + std::strerror(err->Errno));
}
