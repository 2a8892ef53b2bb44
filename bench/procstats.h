// What /proc tells of a process: peak memory, CPU time and context switches of all threads.
#pragma once

#include <sys/types.h>

namespace ProcStats {

struct Sample
{
    long long peakRssKiB = 0; // VmHWM
    long long cpuTicks = 0; // user + system, in clock ticks
    long long switches = 0; // voluntary + involuntary, summed over threads
};

Sample sample(pid_t pid);

} // namespace ProcStats
