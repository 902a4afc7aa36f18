#pragma once

#include <QtGlobal>
#include <fstream>
#include <string>

// How far this process's peak resident memory rose above what it held when the object was made, as
// the kernel counts it: the peak is reset first, so what earlier tests reached does not count.
class TPeakMemoryGrowth {
public:
    TPeakMemoryGrowth() {
        std::ofstream("/proc/self/clear_refs") << "5";
        Base = StatusBytes("VmRSS:");
    }
    qint64 Bytes() const { return StatusBytes("VmHWM:") - Base; }
    qint64 MiB() const { return Bytes() >> 20; }

private:
    static qint64 StatusBytes(const std::string& field) {
        std::ifstream status("/proc/self/status");
        std::string name;
        while (status >> name) {
            if (name == field) {
                qint64 kib = 0;
                status >> kib;
                return kib * 1024;
            }
            status.ignore(1 << 16, '\n');
        }
        return 0;
    }

    qint64 Base = 0;
};
