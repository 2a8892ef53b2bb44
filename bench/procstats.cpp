// What /proc tells of a process: peak memory, CPU time and context switches of all threads.
#include "procstats.h"

#include <QDir>
#include <QFile>

namespace ProcStats {

namespace {

long long field(const QByteArray &status, const char *name)
{
    for (const QByteArray &line : status.split('\n')) {
        if (line.startsWith(name))
            return line.mid(int(qstrlen(name))).trimmed().split(' ').first().toLongLong();
    }
    return 0;
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

Sample sample(pid_t pid)
{
    Sample s;
    const QString base = QStringLiteral("/proc/%1").arg(pid);
    s.peakRssKiB = field(readAll(base + QStringLiteral("/status")), "VmHWM:");
    // utime and stime are fields 14 and 15, counted after the parenthesised name.
    const QByteArray stat = readAll(base + QStringLiteral("/stat"));
    const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
    s.cpuTicks = fields.value(11).toLongLong() + fields.value(12).toLongLong();
    const QStringList tasks =
            QDir(base + QStringLiteral("/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &task : tasks) {
        const QByteArray status =
                readAll(base + QStringLiteral("/task/") + task + QStringLiteral("/status"));
        s.switches += field(status, "voluntary_ctxt_switches:")
                + field(status, "nonvoluntary_ctxt_switches:");
    }
    return s;
}

} // namespace ProcStats
