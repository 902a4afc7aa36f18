#pragma once

// Sets the drawing window's Busy flag for one scope and gives it back its earlier value when the
// scope ends, by an error too: a paint inside a longer busy command (a script load, whose dialog runs
// an event loop) must not clear the command's flag half-way.
class TBusyScope {
public:
    explicit TBusyScope(bool& flag) : Flag(flag), Before(flag) { Flag = true; }
    ~TBusyScope() { Flag = Before; }
    TBusyScope(const TBusyScope&) = delete;
    TBusyScope& operator=(const TBusyScope&) = delete;

private:
    bool& Flag;
    bool Before;
};
