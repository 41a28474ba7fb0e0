// pelmor-devsim: serves simulated programmer devices on pseudo-terminals and
// writes the serial device map that lists their ports. Runs until SIGINT or
// SIGTERM.
#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <pthread.h>
#include <string>
#include <vector>

#include "platform/ProcessSignals.h"
#include "platform/ProcessUmask.h"
#include "tools/devsim/SimDevice.h"

namespace {

void Usage() {
    std::puts("usage: pelmor-devsim [options]\n"
              "  -n COUNT            devices to serve (default 4)\n"
              "  --map PATH          serial device map to write (default devsim.map)\n"
              "  --suffix TEXT       appended to the device name Pelmor200VLT\n"
              "  --fill BYTE         start contents of the chip image (default 0xFF)\n"
              "  --image FILE        chip image contents from a file, from offset 0\n"
              "  --reg KEY=VALUE     a register of the chip (repeatable; numbers in C syntax)\n"
              "  --info HEX          payload of the chip information reply, as hex digits\n"
              "  --reports SECONDS   every SECONDS each device sends a stand-alone run\n"
              "  --runs COUNT        with --reports: COUNT runs back to back in one write (default 1)");
}

bool ParseNumber(const char *text, unsigned long max, unsigned long &out) {
    char *end = nullptr;
    errno = 0;
    out = std::strtoul(text, &end, 0);
    return errno == 0 && end != text && *end == '\0' && out <= max;
}

bool ParseHex(const std::string &text, std::vector<uint8_t> &out) {
    if (text.size() % 2 != 0 || text.size() > 2 * 256)
        return false;
    std::vector<uint8_t> bytes;
    for (size_t i = 0; i < text.size(); i += 2) {
        unsigned long b = 0;
        std::string pair = text.substr(i, 2);
        if (!std::isxdigit(static_cast<unsigned char>(pair[0])) ||
            !std::isxdigit(static_cast<unsigned char>(pair[1])) ||
            !ParseNumber(("0x" + pair).c_str(), 0xFF, b))
            return false;
        bytes.push_back(static_cast<uint8_t>(b));
    }
    out = std::move(bytes);
    return true;
}

} // namespace

int main(int argc, char **argv) {
    // A closed stdout or a map past the file size limit is a write error, not
    // the end of the process.
    IgnoreWriteSignals();
    ReadUmaskAtStart();
    unsigned long count = 4, reportSeconds = 0, runs = 1;
    std::string mapPath = "devsim.map";
    std::string imagePath;
    std::vector<std::pair<uint16_t, uint8_t>> regs;
    TSimOptions opt;
    // Every option but --help takes one value.
    for (int i = 1; i < argc; i += 2) {
        std::string a = argv[i];
        const char *v = i + 1 < argc ? argv[i + 1] : nullptr;
        unsigned long num = 0;
        if (a == "-h" || a == "--help") {
            Usage();
            return 0;
        } else if (a == "-n" && v && ParseNumber(v, 64, num) && num > 0) {
            count = num;
        } else if (a == "--map" && v) {
            mapPath = v;
        } else if (a == "--suffix" && v) {
            opt.NameSuffix = v;
        } else if (a == "--fill" && v && ParseNumber(v, 0xFF, num)) {
            opt.ImageFill = static_cast<uint8_t>(num);
        } else if (a == "--image" && v) {
            imagePath = v;
        } else if (a == "--reg" && v && std::strchr(v, '=')) {
            std::string kv = v;
            size_t eq = kv.find('=');
            unsigned long key = 0, value = 0;
            if (!ParseNumber(kv.substr(0, eq).c_str(), 0xFFFF, key) ||
                !ParseNumber(kv.substr(eq + 1).c_str(), 0xFF, value)) {
                std::fprintf(stderr, "pelmor-devsim: bad register %s\n", v);
                return 2;
            }
            regs.emplace_back(static_cast<uint16_t>(key), static_cast<uint8_t>(value));
        } else if (a == "--info" && v && ParseHex(v, opt.ChipInfo)) {
        } else if (a == "--reports" && v && ParseNumber(v, 3600, num) && num > 0) {
            reportSeconds = num;
        } else if (a == "--runs" && v && ParseNumber(v, 1000, num) && num > 0) {
            runs = num;
        } else {
            Usage();
            return 2;
        }
    }

    std::vector<uint8_t> image;
    if (!imagePath.empty()) {
        std::ifstream in(imagePath, std::ios::binary);
        if (!in) {
            std::fprintf(stderr, "pelmor-devsim: cannot read %s\n", imagePath.c_str());
            return 1;
        }
        image.assign(std::istreambuf_iterator<char>(in), {});
        if (image.size() > kSimImageSize)
            image.resize(kSimImageSize);
    }

    // The signals are taken synchronously; the device threads inherit the mask.
    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, SIGINT);
    sigaddset(&stop, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stop, nullptr);

    try {
        TSimGang gang(count, opt);
        for (size_t d = 0; d < gang.Size(); ++d) {
            gang.Device(d).SetChipImage(0, image);
            for (auto [key, value] : regs)
                gang.Device(d).SetRegister(key, value);
        }
        gang.WriteDeviceMap(mapPath);
        std::string absMap = std::filesystem::absolute(mapPath).string();
        std::printf("device map: %s\n(start the programs with PELMOR_SERIAL_MAP=%s)\n", absMap.c_str(),
                    absMap.c_str());
        for (size_t d = 0; d < gang.Size(); ++d)
            std::printf("\\Device\\VCP%zu %s %s\n", d, gang.Device(d).PortPath().c_str(),
                        gang.Device(d).DeviceName().c_str());
        std::fflush(stdout);

        uint8_t next = 6;
        for (;;) {
            timespec wait{static_cast<time_t>(reportSeconds ? reportSeconds : 3600), 0};
            int sig = sigtimedwait(&stop, nullptr, &wait);
            if (sig == SIGINT || sig == SIGTERM)
                break;
            if (reportSeconds) {
                // OK and NG in turn.
                std::vector<uint8_t> results(runs);
                for (uint8_t &r : results) {
                    r = next;
                    next = next == 6 ? 0x1E : 6;
                }
                for (size_t d = 0; d < gang.Size(); ++d)
                    gang.Device(d).SendStandAloneRuns(results);
            }
        }
    } catch (const std::exception &e) {
        std::fprintf(stderr, "pelmor-devsim: %s\n", e.what());
        return 1;
    }
    return 0;
}
