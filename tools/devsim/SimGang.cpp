#include <cstdio>
#include <fstream>
#include <stdexcept>
#include <unistd.h>

#include "tools/devsim/SimDevice.h"

TSimGang::TSimGang(size_t count, const TSimOptions &opt) {
    for (size_t i = 0; i < count; ++i)
        Devices.push_back(std::make_unique<TSimDevice>(opt));
}

void TSimGang::WriteDeviceMap(const std::string &path) const {
    // Written aside and renamed, so that a reader never sees half a map.
    std::string temp = path + ".tmp" + std::to_string(getpid());
    std::ofstream out(temp, std::ios::trunc);
    for (size_t i = 0; i < Devices.size(); ++i)
        out << "\\Device\\VCP" << i << ' ' << Devices[i]->PortPath() << '\n';
    out.close();
    if (!out || std::rename(temp.c_str(), path.c_str()) != 0) {
        std::remove(temp.c_str());
        throw std::runtime_error("cannot write the device map " + path);
    }
}
