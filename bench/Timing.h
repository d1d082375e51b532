#pragma once
// How the bench times its measures.

#include <QElapsedTimer>
#include <QtGlobal>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <vector>

namespace bench {

inline double median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// The calling thread's processor time, which other work on the machine does not stretch.
inline double threadCpuMs()
{
    timespec ts;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

// Wall time of f in ms; with TALLYFOLD_BENCH_CPU set, its processor time on standard error too.
template <class F>
double timeMs(F&& f)
{
    QElapsedTimer timer;
    const double cpu = threadCpuMs();
    timer.start();
    f();
    if (qEnvironmentVariableIsSet("TALLYFOLD_BENCH_CPU"))
        std::fprintf(stderr, "cpu %.1f ms\n", threadCpuMs() - cpu);
    return double(timer.nsecsElapsed()) / 1e6;
}

} // namespace bench
