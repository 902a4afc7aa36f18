#pragma once

#include <QtGlobal>
#include <fstream>
#include <string>

// A field of /proc/<process>/status ("VmHWM:", the peak resident memory since the last reset), in
// KiB; -1 when the process or the field is not there.
inline qint64 ProcessStatusKiB(const std::string& process, const std::string& field) {
    std::ifstream status("/proc/" + process + "/status");
    std::string name;
    while (status >> name) {
        if (name == field) {
            qint64 kib = 0;
            status >> kib;
            return kib;
        }
        status.ignore(1 << 16, '\n');
    }
    return -1;
}

// Starts the process's peak resident memory over from what it holds now.
inline void ResetPeakMemory(const std::string& process) {
    std::ofstream("/proc/" + process + "/clear_refs") << "5";
}

// How far this process's peak resident memory rose above what it held when the object was made, as
// the kernel counts it: the peak is reset first, so what earlier tests reached does not count.
class TPeakMemoryGrowth {
public:
    TPeakMemoryGrowth() {
        ResetPeakMemory("self");
        Base = StatusBytes("VmRSS:");
    }
    qint64 Bytes() const { return StatusBytes("VmHWM:") - Base; }
    qint64 MiB() const { return Bytes() >> 20; }

private:
    static qint64 StatusBytes(const std::string& field) { return ProcessStatusKiB("self", field) * 1024; }

    qint64 Base = 0;
};
