#include "platform/Format.h"

#include "platform/Errors.h"

namespace {

[[noreturn]] void BadFormat(std::string_view fmt) {
    throw EConvertError("Bad format text '" + std::string(fmt) + "'");
}

std::string Digits(uint64_t v, unsigned base) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    char tmp[24];
    int n = 0;
    do {
        tmp[n++] = kDigits[v % base];
        v /= base;
    } while (v != 0);
    std::string out;
    while (n > 0)
        out.push_back(tmp[--n]);
    return out;
}

// Reads a field number; -1 when none is there.
int ReadNumber(std::string_view fmt, size_t &i) {
    if (i >= fmt.size() || fmt[i] < '0' || fmt[i] > '9')
        return -1;
    int v = 0;
    while (i < fmt.size() && fmt[i] >= '0' && fmt[i] <= '9') {
        v = v * 10 + (fmt[i] - '0');
        if (v > kFormatMaxField)
            BadFormat(fmt);
        ++i;
    }
    return v;
}

} // namespace

std::string FormatList(std::string_view fmt, std::initializer_list<TFormatArg> args) {
    std::string out;
    auto next = args.begin();
    size_t i = 0;
    while (i < fmt.size()) {
        const char c = fmt[i++];
        if (c != '%') {
            out.push_back(c);
            continue;
        }
        if (i >= fmt.size())
            BadFormat(fmt);
        if (fmt[i] == '%') {
            out.push_back('%');
            ++i;
            continue;
        }
        bool left = false;
        if (fmt[i] == '-') {
            left = true;
            ++i;
        }
        const int width = ReadNumber(fmt, i);
        int precision = -1;
        if (i < fmt.size() && fmt[i] == '.') {
            ++i;
            precision = ReadNumber(fmt, i);
            if (precision < 0)
                precision = 0;
        }
        if (i >= fmt.size())
            BadFormat(fmt);
        const char type = static_cast<char>(fmt[i++] | 0x20); // either case
        if (next == args.end())
            BadFormat(fmt);
        const TFormatArg &arg = *next++;

        std::string field;
        bool negative = false;
        switch (type) {
        case 'd':
        case 'u':
        case 'x': {
            if (arg.ArgKind == TFormatArg::Text)
                BadFormat(fmt);
            uint64_t mag;
            if (type == 'x') {
                mag = arg.ArgKind == TFormatArg::Signed ? static_cast<uint64_t>(arg.S) : arg.U;
                if (arg.ArgKind == TFormatArg::Signed && arg.Bits < 64) {
                    const unsigned bits = arg.Bits < 32 ? 32 : arg.Bits;
                    if (bits < 64)
                        mag &= (uint64_t{1} << bits) - 1;
                }
            } else if (arg.ArgKind == TFormatArg::Signed && arg.S < 0) {
                negative = true;
                mag = uint64_t{0} - static_cast<uint64_t>(arg.S);
            } else {
                mag = arg.ArgKind == TFormatArg::Signed ? static_cast<uint64_t>(arg.S) : arg.U;
            }
            field = Digits(mag, type == 'x' ? 16 : 10);
            if (precision > 0 && field.size() < static_cast<size_t>(precision))
                field.insert(0, static_cast<size_t>(precision) - field.size(), '0');
            if (negative)
                field.insert(0, 1, '-');
            break;
        }
        case 's':
            if (arg.ArgKind != TFormatArg::Text)
                BadFormat(fmt);
            field = std::string(precision >= 0 ? arg.T.substr(0, static_cast<size_t>(precision)) : arg.T);
            break;
        default:
            BadFormat(fmt);
        }
        if (width > 0 && field.size() < static_cast<size_t>(width)) {
            const size_t pad = static_cast<size_t>(width) - field.size();
            if (left)
                field.append(pad, ' ');
            else
                field.insert(0, pad, ' ');
        }
        out += field;
    }
    return out;
}
