// Why a serial device cannot be had, in words an operator can act on.
#include "portprobe.h"

#include <QDir>
#include <QtEndian>
#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_UNIX
#  include <cerrno>
#  include <csignal>
#  include <fcntl.h>
#  include <grp.h>
#  include <sys/ioctl.h>
#  include <sys/stat.h>
#  include <unistd.h>
#endif

namespace PortProbe {

namespace {

#ifdef Q_OS_UNIX
QString groupOf(const QString &devicePath)
{
    struct stat st
    {
    };
    if (::stat(QFile::encodeName(devicePath).constData(), &st) != 0)
        return {};
    if (const struct group *g = ::getgrgid(st.st_gid))
        return QString::fromLocal8Bit(g->gr_name);
    return QString::number(st.st_gid);
}

OpenOutcome permissionDenied(const QString &devicePath)
{
    const QString group = groupOf(devicePath);
    return { PortFailure::Held,
             QStringLiteral("permission denied on %1: your user must join the group %2 that owns "
                            "it, then log out and in again")
                     .arg(devicePath, group.isEmpty() ? QStringLiteral("dialout") : group) };
}

bool processAlive(qint64 pid)
{
    return pid > 0 && (::kill(pid_t(pid), 0) == 0 || errno == EPERM);
}

// Whether any process, this one included, has the device open: read from /proc without
// touching the device. The device's own file system must match too: a root with a /dev of
// its own numbers its pseudo-terminals from 0 again.
bool openAnywhere(const QByteArray &path)
{
    struct stat device
    {
    };
    if (::stat(path.constData(), &device) != 0 || !S_ISCHR(device.st_mode))
        return false;
    const QDir proc(QStringLiteral("/proc"));
    for (const QString &process :
         proc.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Unsorted)) {
        const QDir fds(proc.filePath(process + QStringLiteral("/fd")));
        for (const QString &fd : fds.entryList(
                     QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot, QDir::Unsorted)) {
            struct stat held
            {
            };
            if (::stat(QFile::encodeName(fds.filePath(fd)).constData(), &held) == 0
                && S_ISCHR(held.st_mode) && held.st_rdev == device.st_rdev
                && held.st_dev == device.st_dev)
                return true;
        }
    }
    return false;
}
#endif

OpenOutcome noSuchDevice(const QString &devicePath)
{
    return { PortFailure::NoSuchPort,
             QStringLiteral("there is no such device (%1)").arg(devicePath) };
}

OpenOutcome inUse(const QString &devicePath)
{
    QString who;
    if (const auto owner = lockOwner(devicePath)) {
        who = owner->name.isEmpty()
                ? QStringLiteral(" (process %1)").arg(owner->pid)
                : QStringLiteral(" (process %1, %2)").arg(owner->pid).arg(owner->name);
    }
    return { PortFailure::Held,
             QStringLiteral("%1 is in use by another program%2").arg(devicePath, who) };
}

} // namespace

std::optional<LockOwner> lockOwner(const QString &devicePath)
{
#ifdef Q_OS_UNIX
    // Lock files name the device below /dev with slashes turned into underscores
    // (LCK..ttyUSB0, LCK..pts_3); some programs use the bare file name.
    QString relative = devicePath;
    if (relative.startsWith(QLatin1String("/dev/")))
        relative = relative.mid(5);
    const QStringList names{ relative.replace(u'/', u'_'), QFileInfo(devicePath).fileName() };
    const QStringList dirs{ QStringLiteral("/var/lock"),       QStringLiteral("/run/lock"),
                            QStringLiteral("/etc/locks"),      QStringLiteral("/var/spool/locks"),
                            QStringLiteral("/var/spool/uucp"), QDir::tempPath() };
    for (const QString &dir : dirs) {
        for (const QString &name : names) {
            QFile lock(dir + QStringLiteral("/LCK..") + name);
            if (!lock.open(QIODevice::ReadOnly))
                continue;
            // UUCP locks hold the pid as ten blank-padded digits or as four binary bytes;
            // Qt's own hold it as the first of several lines.
            const QByteArray data = lock.read(128);
            bool ok = false;
            qint64 pid = data.split('\n').value(0).trimmed().toLongLong(&ok);
            if (!ok && data.size() == 4)
                pid = qFromUnaligned<qint32>(data.constData());
            if (!processAlive(pid))
                continue;
            QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
            QString program;
            if (comm.open(QIODevice::ReadOnly))
                program = QString::fromLocal8Bit(comm.readAll().trimmed());
            return LockOwner{ pid, program };
        }
    }
#else
    Q_UNUSED(devicePath);
#endif
    return std::nullopt;
}

OpenOutcome beforeOpen(const QString &devicePath)
{
#ifdef Q_OS_UNIX
    if (!QFileInfo::exists(devicePath))
        return noSuchDevice(devicePath);
    const QByteArray path = QFile::encodeName(devicePath);
    if (::access(path.constData(), R_OK | W_OK) != 0 && errno == EACCES)
        return permissionDenied(devicePath);
    // Qt honours only its own lock files; another program's UUCP lock is a claim too.
    if (const auto owner = lockOwner(devicePath); owner && owner->pid != qint64(::getpid()))
        return inUse(devicePath);
    // Root passes through another program's exclusive access, so look for it first, but
    // only where someone has the device open: closing a look of our own would otherwise be
    // the device's last close, and the driver would drop DTR and RTS, a reset pulse for a
    // card that resets on DTR. Where someone has it open, this close leaves the line and
    // the other program's flag alone.
    if (::geteuid() == 0 && openAnywhere(path)) {
        const int fd = ::open(path.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fd >= 0) {
            int exclusive = 0;
#  ifdef TIOCGEXCL
            if (::ioctl(fd, TIOCGEXCL, &exclusive) != 0)
                exclusive = 0;
#  endif
            ::close(fd);
            if (exclusive)
                return inUse(devicePath);
        }
    }
#else
    Q_UNUSED(devicePath);
#endif
    return {};
}

OpenOutcome afterFailedOpen(const QString &devicePath, QSerialPort::SerialPortError error,
                            const QString &errorString)
{
    switch (error) {
    case QSerialPort::DeviceNotFoundError:
        return noSuchDevice(devicePath);
    case QSerialPort::PermissionError:
#ifdef Q_OS_UNIX
        if (::access(QFile::encodeName(devicePath).constData(), R_OK | W_OK) != 0
            && errno == EACCES)
            return permissionDenied(devicePath);
#endif
        // A held port answers "access denied" on Windows, and a lock or exclusive access
        // answers the same way here.
        return inUse(devicePath);
    default:
        return { PortFailure::Other, QStringLiteral("%1: %2").arg(devicePath, errorString) };
    }
}

} // namespace PortProbe
