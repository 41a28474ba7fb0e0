#include "platform/Clock.h"

#include <chrono>
#include <ctime>

namespace {

void PutNumber(std::string &out, int v, int digits) {
    std::string s = std::to_string(v < 0 ? -v : v);
    if (s.size() < static_cast<size_t>(digits))
        s.insert(0, static_cast<size_t>(digits) - s.size(), '0');
    out += s;
}

char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
}

} // namespace

std::string FormatDateTime(const std::string &pattern, const TDateTime &dt) {
    std::string out;
    bool afterHour = false;
    size_t i = 0;
    while (i < pattern.size()) {
        const char c = Lower(pattern[i]);
        if (pattern[i] == '"' || pattern[i] == '\'') {
            const char quote = pattern[i++];
            while (i < pattern.size() && pattern[i] != quote)
                out.push_back(pattern[i++]);
            if (i < pattern.size())
                ++i;
            continue;
        }
        size_t run = 1;
        while (i + run < pattern.size() && Lower(pattern[i + run]) == c)
            ++run;
        switch (c) {
        case 'y':
            if (run >= 3)
                PutNumber(out, dt.Year, 4);
            else
                PutNumber(out, dt.Year % 100, 2);
            break;
        case 'm':
            if (afterHour)
                PutNumber(out, dt.Minute, run >= 2 ? 2 : 1);
            else
                PutNumber(out, dt.Month, run >= 2 ? 2 : 1);
            afterHour = false;
            break;
        case 'd':
            PutNumber(out, dt.Day, run >= 2 ? 2 : 1);
            break;
        case 'h':
            PutNumber(out, dt.Hour, run >= 2 ? 2 : 1);
            afterHour = true;
            break;
        case 'n':
            PutNumber(out, dt.Minute, run >= 2 ? 2 : 1);
            afterHour = false;
            break;
        case 's':
            PutNumber(out, dt.Second, run >= 2 ? 2 : 1);
            break;
        case 'z':
            PutNumber(out, dt.Millisecond, run >= 3 ? 3 : 1);
            break;
        default:
            out.append(run, pattern[i]);
            break;
        }
        i += run;
    }
    return out;
}

TDateTime TSystemClock::Now() {
    using namespace std::chrono;
    const auto now = system_clock::now();
    const std::time_t t = system_clock::to_time_t(now);
    std::tm tm{};
    localtime_r(&t, &tm);
    TDateTime dt;
    dt.Year = tm.tm_year + 1900;
    dt.Month = tm.tm_mon + 1;
    dt.Day = tm.tm_mday;
    dt.Hour = tm.tm_hour;
    dt.Minute = tm.tm_min;
    dt.Second = tm.tm_sec;
    dt.Millisecond = static_cast<int>(duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000);
    return dt;
}

TDateTime TFixedClock::Now() {
    const TDateTime shown = Current;
    if (StepSeconds != 0)
        Advance(StepSeconds);
    return shown;
}

void TFixedClock::Advance(int64_t seconds) {
    std::tm tm{};
    tm.tm_year = Current.Year - 1900;
    tm.tm_mon = Current.Month - 1;
    tm.tm_mday = Current.Day;
    tm.tm_hour = Current.Hour;
    tm.tm_min = Current.Minute;
    tm.tm_sec = Current.Second;
    const std::time_t t = timegm(&tm) + static_cast<std::time_t>(seconds);
    std::tm out{};
    gmtime_r(&t, &out);
    Current.Year = out.tm_year + 1900;
    Current.Month = out.tm_mon + 1;
    Current.Day = out.tm_mday;
    Current.Hour = out.tm_hour;
    Current.Minute = out.tm_min;
    Current.Second = out.tm_sec;
}
