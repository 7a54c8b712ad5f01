#pragma once
// The local calendar clock, behind an interface so that tests can fix the day.

namespace platform {

struct LocalTime {
    int year = 0;  // four digits
    int month = 0; // 1..12
    int day = 0;   // 1..31
    int hour = 0;
    int minute = 0;
    int second = 0;
};

class IClock {
public:
    virtual ~IClock() = default;
    virtual LocalTime Now() const = 0;
};

// The system clock in the process's time zone.
class SystemClock : public IClock {
public:
    LocalTime Now() const override;
};

// A clock that always answers the same time; for tests and reproducible runs.
class FixedClock : public IClock {
public:
    explicit FixedClock(LocalTime time) : time_(time) {}
    LocalTime Now() const override { return time_; }
    void Set(LocalTime time) { time_ = time; }
private:
    LocalTime time_;
};

} // namespace platform
