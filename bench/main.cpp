// `make bench`: Lumidesk as an operator feels it, each figure against a bare-Qt floor
// measured in the same run. Reports; never fails the build.
#include "benchdesk.h"
#include "procstats.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QSysInfo>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>
#include <xcb/xcb.h>

extern char **environ;

namespace {

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

struct Started
{
    pid_t pid = -1;
    double ms = 0; // process start to its first window mapped
};

// Starts `program` and waits for the X server to map its first top-level window.
Started startAndWaitForMap(xcb_connection_t *x, const QByteArray &program,
                           const QByteArray &option = {})
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    char *argv[] = { const_cast<char *>(program.constData()),
                     option.isEmpty() ? nullptr : const_cast<char *>(option.constData()), nullptr };
    while (xcb_generic_event_t *stale = xcb_poll_for_event(x))
        free(stale);
    QElapsedTimer clock;
    clock.start();
    Started started;
    if (posix_spawn(&started.pid, program.constData(), &actions, nullptr, argv, environ) != 0)
        return {};
    posix_spawn_file_actions_destroy(&actions);
    const int fd = xcb_get_file_descriptor(x);
    while (clock.elapsed() < 20000) {
        while (xcb_generic_event_t *event = xcb_poll_for_event(x)) {
            const bool mapped = (event->response_type & 0x7f) == XCB_MAP_NOTIFY;
            free(event);
            if (mapped) {
                started.ms = double(clock.nsecsElapsed()) / 1e6;
                return started;
            }
        }
        pollfd p{ fd, POLLIN, 0 };
        ::poll(&p, 1, 50);
    }
    return started;
}

void stop(pid_t pid)
{
    ::kill(pid, SIGTERM);
    ::waitpid(pid, nullptr, 0);
}

struct Idle
{
    double wakeups = 0; // context switches a second, all threads
    double cpu = 0; // per cent of one core
};

Idle measureIdle(pid_t pid, int seconds)
{
    const ProcStats::Sample before = ProcStats::sample(pid);
    QThread::sleep(seconds);
    const ProcStats::Sample after = ProcStats::sample(pid);
    return { double(after.switches - before.switches) / seconds,
             100.0 * double(after.cpuTicks - before.cpuTicks) / double(::sysconf(_SC_CLK_TCK))
                     / seconds };
}

QString fmt(double v, int decimals = 1)
{
    return QString::number(v, 'f', decimals);
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc > 1 && QByteArray(argv[1]) == "desk")
        return BenchDesk::run(argc, argv);

    QCoreApplication app(argc, argv);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("results.md");
    const QByteArray floorProgram = LUMIDESK_FLOOR_PATH;
    const QByteArray demoProgram = LUMIDESK_DEMO_PATH;
    xcb_connection_t *x = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(x)) {
        std::fprintf(stderr, "lumidesk-bench: needs an X display (make bench starts Xvfb)\n");
        return 2;
    }
    xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(x)).data;
    const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(x, screen->root, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(x);

    // Start-up and memory at rest: one warm-up each, then alternated runs.
    constexpr int kRuns = 15;
    std::vector<double> startFloor, startDemo, startText, rssFloor, rssDemo, rssText;
    for (int run = -1; run < kRuns; ++run) {
        for (const int which : { 0, 1, 2 }) {
            // The demo without its card monitor: the program's own windows only. The floor
            // with one menu title is a reference: what text alone costs.
            const Started s = which == 1 ? startAndWaitForMap(x, demoProgram, "--no-monitor")
                    : which == 2         ? startAndWaitForMap(x, floorProgram, "--menu")
                                         : startAndWaitForMap(x, floorProgram);
            QThread::msleep(700);
            const double rss = double(ProcStats::sample(s.pid).peakRssKiB) / 1024.0;
            stop(s.pid);
            if (run < 0)
                continue;
            (which == 1 ? startDemo : which == 2 ? startText : startFloor).push_back(s.ms);
            (which == 1 ? rssDemo : which == 2 ? rssText : rssFloor).push_back(rss);
        }
    }
    std::fprintf(stderr, "start-up measured: floor %.1f ms, with text %.1f ms, Lumidesk %.1f ms\n",
                 median(startFloor), median(startText), median(startDemo));
    if (out == u"--startup-only")
        return 0;

    // The floor at idle.
    const Started floorIdleRun = startAndWaitForMap(x, floorProgram);
    QThread::sleep(1);
    const Idle floorIdle = measureIdle(floorIdleRun.pid, 10);
    stop(floorIdleRun.pid);

    // The full desk: memory, idle cost, latencies.
    QProcess desk;
    desk.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    desk.start(QCoreApplication::applicationFilePath(), { QStringLiteral("desk") });
    desk.waitForStarted();
    QList<double> created;
    while (desk.waitForReadyRead(60000) || desk.canReadLine()) {
        const QByteArray line = desk.readLine().trimmed();
        if (line.startsWith("CREATE ")) {
            for (const QByteArray &t : line.mid(7).split(' '))
                created << t.toDouble();
        }
        if (line == "READY")
            break;
    }
    QThread::sleep(1);
    const Idle deskIdle = measureIdle(pid_t(desk.processId()), 10);
    const double rssDesk = double(ProcStats::sample(pid_t(desk.processId())).peakRssKiB) / 1024.0;
    std::fprintf(stderr, "idle measured\n");
    desk.write("latency\n");
    QMap<QByteArray, QList<QByteArray>> measured;
    while (desk.canReadLine() || desk.waitForReadyRead(300000)) {
        if (!desk.canReadLine())
            continue;
        const QList<QByteArray> words = desk.readLine().trimmed().split(' ');
        if (words.first() == "DONE")
            break;
        measured.insert(words.first(), words);
    }
    desk.closeWriteChannel();
    desk.waitForFinished(5000);
    // Each line is NAME key value key value ...
    const auto figure = [&](const char *line, const char *key) {
        const QList<QByteArray> words = measured.value(line);
        const qsizetype at = words.indexOf(key);
        return at > 0 && at + 1 < words.size() ? words[at + 1].toDouble() : -1.0;
    };

    double worst = 0, total = 0;
    for (const double t : created) {
        worst = std::max(worst, t);
        total += t;
    }

    const double sf = median(startFloor), sd = median(startDemo), st = median(startText);
    const double mf = median(rssFloor), md = median(rssDemo), mt = median(rssText);
    const auto verdict = [](bool ok) {
        return ok ? QStringLiteral("met") : QStringLiteral("MISSED");
    };
    const double isoP50 = figure("ISOLATED", "p50"), isoP99 = figure("ISOLATED", "p99");
    const double perSecond = figure("DRAG", "max-per-second"), gap = figure("DRAG", "max-gap");
    const double finalAfter = figure("DRAG", "final-after");
    const bool finalRight = figure("DRAG", "final-right") == 1;
    const double presetP99 = figure("PRESET", "p99");
    QStringList rows;
    rows << QStringLiteral("| figure | floor | Lumidesk | ratio or figure | target | |")
         << QStringLiteral("|---|---|---|---|---|---|");
    rows << QStringLiteral("| start-up to window mapped, against the floor with one menu title "
                           "(median of %1) | %2 ms | %3 ms | %4 × | ≤ 1.15 × | %5 |")
                    .arg(kRuns)
                    .arg(fmt(st))
                    .arg(fmt(sd))
                    .arg(fmt(sd / st, 2))
                    .arg(verdict(sd <= 1.15 * st));
    rows << QStringLiteral("| (reference) start-up, bare floor | %1 ms | %2 ms | %3 × | | |")
                    .arg(fmt(sf))
                    .arg(fmt(sd))
                    .arg(fmt(sd / sf, 2));
    rows << QStringLiteral("| peak RSS at rest | %1 MB | %2 MB | %3 × | ≤ 1.2 × | %4 |")
                    .arg(fmt(mf))
                    .arg(fmt(md))
                    .arg(fmt(md / mf, 2))
                    .arg(verdict(md <= 1.2 * mf));
    rows << QStringLiteral("| (reference) peak RSS, floor with one menu title | %1 MB | %2 MB | %3 "
                           "× | | |")
                    .arg(fmt(mt))
                    .arg(fmt(md))
                    .arg(fmt(md / mt, 2));
    rows << QStringLiteral(
                    "| peak RSS, 112 sliders + 112 presets | %1 MB | %2 MB | %3 × | ≤ 1.6 × | %4 |")
                    .arg(fmt(mf))
                    .arg(fmt(rssDesk))
                    .arg(fmt(rssDesk / mf, 2))
                    .arg(verdict(rssDesk <= 1.6 * mf));
    rows << QStringLiteral(
                    "| wake-ups at idle, full desk, 10 s | %1 /s | %2 /s | +%3 /s | +0 /s | %4 |")
                    .arg(fmt(floorIdle.wakeups))
                    .arg(fmt(deskIdle.wakeups))
                    .arg(fmt(deskIdle.wakeups - floorIdle.wakeups))
                    .arg(verdict(deskIdle.wakeups <= floorIdle.wakeups));
    rows << QStringLiteral("| CPU at idle, full desk, 10 s | %1 % | %2 % | | 0.0 % | %3 |")
                    .arg(fmt(floorIdle.cpu))
                    .arg(fmt(deskIdle.cpu))
                    .arg(verdict(deskIdle.cpu < 0.05));
    rows << QStringLiteral("| slider, isolated changes: change to bytes on the line, p50 / p99 "
                           "(1,000) | | %1 / %2 ms | | ≤ 1 / ≤ 5 ms | %3 |")
                    .arg(fmt(isoP50, 3))
                    .arg(fmt(isoP99, 3))
                    .arg(verdict(isoP50 >= 0 && isoP50 <= 1 && isoP99 >= 0 && isoP99 <= 5));
    rows << QStringLiteral("| slider, drag (a change every 5 ms, 10 s): most frames in any second "
                           "| | %1 | | ≤ 20 | %2 |")
                    .arg(perSecond)
                    .arg(verdict(perSecond > 0 && perSecond <= 20));
    rows << QStringLiteral(
                    "| slider, drag: longest gap between frames | | %1 ms | | ≤ 55 ms | %2 |")
                    .arg(fmt(gap, 2))
                    .arg(verdict(gap > 0 && gap <= 55));
    rows << QStringLiteral("| slider, drag: final position after the last change | | %1 ms | | ≤ "
                           "55 ms | %2 |")
                    .arg(fmt(finalAfter, 2))
                    .arg(verdict(finalRight && finalAfter >= 0 && finalAfter <= 55));
    rows << QStringLiteral("| preset latency p99 (1,000 presses) | | %1 ms | | ≤ 2 ms | %2 |")
                    .arg(fmt(presetP99, 3))
                    .arg(verdict(presetP99 > 0 && presetP99 <= 2));
    rows << QStringLiteral("| window creation, worst of %1 | | %2 ms | | ≤ 10 ms | %3 |")
                    .arg(created.size())
                    .arg(fmt(worst, 2))
                    .arg(verdict(created.size() == 224 && worst <= 10));
    rows << QStringLiteral("| window creation, total for %1 | | %2 ms | | | |")
                    .arg(created.size())
                    .arg(fmt(total, 1));
    QStringList detail;
    for (auto it = measured.cbegin(); it != measured.cend(); ++it)
        detail << QString::fromLatin1(it.value().join(' '));

    QFile meminfo(QStringLiteral("/proc/meminfo"));
    meminfo.open(QIODevice::ReadOnly);
    const QString memTotal =
            QString::fromLatin1(meminfo.readLine()).simplified().section(u' ', 1, 2);
    const QString report =
            QStringLiteral("# Benchmark results\n\n%1, %2 cores, %3 memory, Qt %4, %5, under Xvfb "
                           "with openbox; Lumidesk is the demo without its card "
                           "monitor.\n\n%6\n\nDetail:\n\n```\n%7\n```\n")
                    .arg(QDateTime::currentDateTimeUtc().toString(Qt::ISODate))
                    .arg(QThread::idealThreadCount())
                    .arg(memTotal, QString::fromLatin1(qVersion()), QSysInfo::prettyProductName(),
                         rows.join(u'\n'), detail.join(u'\n'));
    std::fputs(qPrintable(report), stdout);
    QFile file(out);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(report.toUtf8());
    xcb_disconnect(x);
    return 0;
}
