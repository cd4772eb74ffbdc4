#pragma once

// The process's resident memory as the system counts it (top's RES), for the checks
// that a running game's memory stays steady.

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include <unistd.h>

// Resident memory of this process in MiB (from /proc/self/statm); 0 when unreadable.
inline double residentMiB()
{
    std::FILE* file = std::fopen("/proc/self/statm", "r");
    if (file == nullptr) return 0.0;
    long total = 0;
    long resident = 0;
    const int read = std::fscanf(file, "%ld %ld", &total, &resident);
    std::fclose(file);
    if (read != 2) return 0.0;
    return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

// The most resident memory of this process in MiB since it started or since the last
// resetPeakResident (VmHWM of /proc/self/status); 0 when unreadable.
inline double peakResidentMiB()
{
    std::FILE* file = std::fopen("/proc/self/status", "r");
    if (file == nullptr) return 0.0;
    char line[256];
    long kib = 0;
    while (std::fgets(line, sizeof line, file) != nullptr) {
        if (std::sscanf(line, "VmHWM: %ld kB", &kib) == 1) break;
    }
    std::fclose(file);
    return static_cast<double>(kib) / 1024.0;
}

// Starts the peak anew from the present resident memory; false when the system cannot.
inline bool resetPeakResident()
{
    std::FILE* file = std::fopen("/proc/self/clear_refs", "w");
    if (file == nullptr) return false;
    const bool written = std::fputs("5", file) >= 0;
    return std::fclose(file) == 0 && written;
}

// A series of samples against its first one, the reference (taken once a warm-up is
// over).
struct ResidentSeries {
    std::vector<double> samples;

    void add(double sample) { samples.push_back(sample); }
    double reference() const { return samples.empty() ? 0.0 : samples.front(); }
    // The farthest any sample lies from the reference, either way.
    double maxDeviation() const
    {
        double farthest = 0.0;
        for (double sample : samples) farthest = std::max(farthest, std::abs(sample - reference()));
        return farthest;
    }
    // The median of the last quarter of the samples less that of the first quarter: a
    // steady growth shows here, a single step or a spike much less.
    double trend() const
    {
        const size_t quarter = std::max<size_t>(samples.size() / 4, 1);
        if (samples.size() < 2) return 0.0;
        return median(samples.end() - static_cast<long>(quarter), samples.end()) -
               median(samples.begin(), samples.begin() + static_cast<long>(quarter));
    }

private:
    static double median(std::vector<double>::const_iterator first, std::vector<double>::const_iterator last)
    {
        std::vector<double> part(first, last);
        std::nth_element(part.begin(), part.begin() + static_cast<long>(part.size() / 2), part.end());
        return part[part.size() / 2];
    }
};
