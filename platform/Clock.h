#pragma once
// Date and time texts of the information panel behind an injectable clock.
// An info line is "> " + DateText() + " " + TimeText() + " " + message: the
// clock is read once for the date and once more for the time.
#include <cstdint>
#include <string>

struct TDateTime {
    int Year = 2000;
    int Month = 1; // 1..12
    int Day = 1;   // 1..31
    int Hour = 0;
    int Minute = 0;
    int Second = 0;
    int Millisecond = 0;
    bool operator==(const TDateTime &) const = default;
};

// Renders a date-time by a pattern of the user's formats:
//   yyyy / yy year, m / mm month, d / dd day, h / hh hour, n / nn minute
//   (m / mm directly after an hour also mean minutes), s / ss second,
//   z / zzz millisecond; text in "..." or '...' is copied as it is, every
//   other character too.
std::string FormatDateTime(const std::string &pattern, const TDateTime &dt);

class TClock {
public:
    virtual ~TClock() = default;
    virtual TDateTime Now() = 0;

    // One read of the clock each.
    std::string DateText() { return FormatDateTime(ShortDateFormat, Now()); }
    std::string TimeText() { return FormatDateTime(LongTimeFormat, Now()); }

    std::string ShortDateFormat = "yyyy-mm-dd";
    std::string LongTimeFormat = "hh:nn:ss";
};

// The computer's local time.
class TSystemClock : public TClock {
public:
    TDateTime Now() override;
};

// A clock for tests: shows the time it was set to, and moves on by
// StepSeconds after every read (0: stands still).
class TFixedClock : public TClock {
public:
    explicit TFixedClock(const TDateTime &start = {}) : Current(start) {}
    TDateTime Now() override;
    void Set(const TDateTime &dt) { Current = dt; }
    void Advance(int64_t seconds);
    int64_t StepSeconds = 0;

private:
    TDateTime Current;
};
