#pragma once
// Exceptions carrying the programs' own texts; the Qt layer shows them in
// its standard error dialog.
#include <stdexcept>
#include <string>

class EPelmorError : public std::runtime_error {
public:
    explicit EPelmorError(const std::string &msg) : std::runtime_error(msg) {}
};

// A text that is not a number, or a bad format string.
class EConvertError : public EPelmorError {
public:
    explicit EConvertError(const std::string &msg) : EPelmorError(msg) {}
};

// A file that cannot be read or written.
class EInOutError : public EPelmorError {
public:
    explicit EInOutError(const std::string &msg) : EPelmorError(msg) {}
};
