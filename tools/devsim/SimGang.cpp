#include <fstream>
#include <stdexcept>

#include "tools/devsim/SimDevice.h"

TSimGang::TSimGang(size_t count, const TSimOptions &opt) {
    for (size_t i = 0; i < count; ++i)
        Devices.push_back(std::make_unique<TSimDevice>(opt));
}

void TSimGang::WriteDeviceMap(const std::string &path) const {
    std::ofstream out(path, std::ios::trunc);
    for (size_t i = 0; i < Devices.size(); ++i)
        out << "\\Device\\VCP" << i << ' ' << Devices[i]->PortPath() << '\n';
    out.close();
    if (!out)
        throw std::runtime_error("cannot write the device map " + path);
}
