#pragma once
// The serial device map: (device name, port name) pairs, the list port
// discovery works through. USB serial ports carry device names
// "\Device\VCP0", "\Device\VCP1", ...; other serial ports "\Device\Serial0", ...
//
// A map file (named by the environment variable PELMOR_SERIAL_MAP) replaces
// the scan of /sys/class/tty. One pair per line: the device name, blanks or
// tabs, then the port name (the rest of the line, trimmed). Empty lines and
// lines starting with '#' are skipped, as are lines with a single field.
//     \Device\VCP0  /dev/pts/3
//     \Device\VCP1  ttyUSB0
#include <string>
#include <vector>

struct TSerialDevice {
    std::string DeviceName;
    std::string PortName;
    bool operator==(const TSerialDevice &) const = default;
};
using TSerialDeviceMap = std::vector<TSerialDevice>;

inline constexpr const char *kSerialMapVariable = "PELMOR_SERIAL_MAP";
inline constexpr const char *kSysTtyRoot = "/sys/class/tty";

// Serial ports under a /sys/class/tty tree: entries with a "device" link. USB
// ports (ttyACM*, ttyUSB*) come first, in name order with numbers compared by
// value, then the others in the same order.
TSerialDeviceMap ScanSysTty(const std::string &root);

// The pairs of a map file's text; lines longer than a path are skipped.
TSerialDeviceMap ParseSerialMap(const std::string &text);

// The map: from mapFile when it is given (non-null and non-empty; a file that
// cannot be read gives an empty map), else the scan of sysRoot.
TSerialDeviceMap ReadSerialDeviceMap(const char *mapFile, const std::string &sysRoot = kSysTtyRoot);

// The map as this process sees it (PELMOR_SERIAL_MAP or /sys/class/tty).
TSerialDeviceMap SerialDeviceMap();
