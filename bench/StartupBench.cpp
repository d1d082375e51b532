#include "bench/StartupBench.h"

#include "bench/Timing.h"
#include "data/Ledger.h"
#include "main/Form1.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <cstdio>
#include <memory>
#include <vector>

namespace bench {

namespace {

// One start from outside: ms from starting the process to its "filled" line, or a
// negative number when it failed; `cpu`, the processor time the process had used by then.
double startOnce(int rows, double* cpu = nullptr)
{
    QProcess probe;
    probe.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QElapsedTimer timer;
    timer.start();
    probe.start(QCoreApplication::applicationDirPath() + QStringLiteral("/tallyfold-startup-probe"), QStringList{});
    if (!probe.waitForStarted(10000))
        return -1;
    QByteArray line;
    while (!line.contains('\n') && probe.waitForReadyRead(60000))
        line += probe.readAllStandardOutput();
    const double ms = double(timer.nsecsElapsed()) / 1e6;
    probe.waitForFinished(10000);
    const QList<QByteArray> words = line.trimmed().split(' ');
    if (words.size() != 3 || words[0] != "filled" || words[1] != QByteArray::number(rows)) {
        std::fprintf(stderr, "bench: the start-up probe said \"%s\"\n", line.trimmed().constData());
        return -1;
    }
    if (cpu)
        *cpu = words[2].toDouble();
    return ms;
}

} // namespace

bool measureStartup(int rows, int runs, const std::function<void(const char*, int, double)>& report)
{
    // The first start backs up the ledger the bench has just written and turns it to a
    // write-ahead log; the second backs up that change. From the third on, a start finds
    // the ledger as a user's ordinary start does: unchanged since its newest backup.
    for (int warm = 0; warm < 2; ++warm) {
        if (startOnce(rows) < 0)
            return false;
    }
    std::vector<double> outside, outsideCpu, load, reload;
    for (int run = 0; run < runs; ++run) {
        double cpu = 0;
        const double ms = startOnce(rows, &cpu);
        if (ms < 0)
            return false;
        outside.push_back(ms);
        outsideCpu.push_back(cpu);
        // In this process, whose libraries are loaded: the window's loading, a reload.
        auto form = std::make_unique<mainwindow::Form1>();
        load.push_back(timeMs([&] { form->Form_Load(); }));
        reload.push_back(timeMs([&] { form->ListData(); }));
        form.reset();
        data::releaseConnection();
    }
    report("process_start_to_filled_list", rows, median(outside));
    // What the machine's other work does not stretch: the processor time of all its threads.
    report("process_start_to_filled_list_cpu", rows, median(outsideCpu));
    report("startup_to_filled_list", rows, median(load));
    report("listdata", rows, median(reload));
    return true;
}

} // namespace bench
