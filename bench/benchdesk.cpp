// The bench's own desk: the real main frame on virtual cards, filled through the same
// commands New > Slider and New > Preset run, with the questions answered by script.
#include "benchdesk.h"

#include "app/deskstart.h"
#include "app/mdiform1.h"
#include "virtualcard/cardrig.h"
#include "virtualcard/scripteddialogs.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLineEdit>
#include <QPushButton>
#include <QRandomGenerator>
#include <QScrollBar>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <poll.h>
#include <thread>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

double ms(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

double percentile(std::vector<double> values, double p)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const size_t index = std::min(values.size() - 1, size_t(p * double(values.size() - 1) + 0.5));
    return values[index];
}

void print(const QString &line)
{
    std::fputs(qPrintable(line + u'\n'), stdout);
    std::fflush(stdout);
}

void wait(int milliseconds)
{
    QEventLoop loop;
    QTimer::singleShot(milliseconds, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

// Reads a line in a thread of its own, so that a frame's time is when its bytes arrived,
// not when the desk's thread next looked.
class LineReader
{
public:
    explicit LineReader(int fd)
        : m_thread([this, fd] {
              QByteArray got;
              while (!m_done) {
                  pollfd p{ fd, POLLIN, 0 };
                  if (::poll(&p, 1, 20) <= 0)
                      continue;
                  char buffer[256];
                  const ssize_t n = ::read(fd, buffer, sizeof buffer);
                  if (n <= 0)
                      continue;
                  got.append(buffer, n);
                  const Clock::time_point at = Clock::now();
                  std::lock_guard lock(m_mutex);
                  for (; got.size() >= 2; got.remove(0, 2))
                      m_frames.push_back({ at, quint8(got[1]) });
              }
          })
    {
    }
    ~LineReader()
    {
        m_done = true;
        m_thread.join();
    }
    struct Frame
    {
        Clock::time_point at;
        int value;
    };
    std::vector<Frame> frames()
    {
        std::lock_guard lock(m_mutex);
        return m_frames;
    }

private:
    std::atomic<bool> m_done{ false };
    std::mutex m_mutex;
    std::vector<Frame> m_frames;
    std::thread m_thread;
};

void setLevel(QScrollBar *bar, int level)
{
    bar->setValue(255 - level);
}

// Changes spaced further apart than the frame interval: each should go out at once.
QString isolatedChanges(QScrollBar *bar, int fd, int count)
{
    LineReader reader(fd);
    std::vector<double> latencies;
    QRandomGenerator random(7);
    for (int i = 0; i < count; ++i) {
        wait(55 + int(random.bounded(20)));
        const size_t before = reader.frames().size();
        const Clock::time_point changed = Clock::now();
        setLevel(bar, i % 2 ? 200 : 100);
        QElapsedTimer patience;
        patience.start();
        while (reader.frames().size() == before && patience.elapsed() < 1000)
            QThread::usleep(50);
        if (reader.frames().size() > before)
            latencies.push_back(ms(reader.frames()[before].at - changed));
    }
    return QStringLiteral("ISOLATED n %1 p50 %2 p99 %3 max %4")
            .arg(latencies.size())
            .arg(percentile(latencies, 0.5), 0, 'f', 3)
            .arg(percentile(latencies, 0.99), 0, 'f', 3)
            .arg(percentile(latencies, 1.0), 0, 'f', 3);
}

// A change every 5 ms for `seconds`: frames a second, the longest gap between frames, and
// how long after the last change its position arrived.
QString continuousDrag(QScrollBar *bar, int fd, int seconds)
{
    LineReader reader(fd);
    QElapsedTimer clock;
    clock.start();
    Clock::time_point lastChange;
    int level = 0, step = 1;
    QEventLoop loop;
    QTimer drag;
    drag.setTimerType(Qt::PreciseTimer);
    drag.setInterval(5);
    QObject::connect(&drag, &QTimer::timeout, [&] {
        if (clock.elapsed() >= seconds * 1000) {
            drag.stop();
            loop.quit();
            return;
        }
        if (level + step < 1 || level + step > 254)
            step = -step;
        level += step;
        lastChange = Clock::now();
        setLevel(bar, level);
    });
    drag.start();
    loop.exec();
    wait(300);
    const std::vector<LineReader::Frame> frames = reader.frames();
    double maxGap = 0;
    int maxPerSecond = 0;
    for (size_t i = 0; i < frames.size(); ++i) {
        if (i > 0)
            maxGap = std::max(maxGap, ms(frames[i].at - frames[i - 1].at));
        size_t j = i;
        while (j < frames.size() && frames[j].at - frames[i].at < std::chrono::seconds(1))
            ++j;
        maxPerSecond = std::max(maxPerSecond, int(j - i));
    }
    const bool lastIsFinal = !frames.empty() && frames.back().value == level;
    return QStringLiteral(
                   "DRAG frames %1 max-per-second %2 max-gap %3 final-after %4 final-right %5")
            .arg(frames.size())
            .arg(maxPerSecond)
            .arg(maxGap, 0, 'f', 2)
            .arg(frames.empty() ? -1.0 : ms(frames.back().at - lastChange), 0, 'f', 2)
            .arg(lastIsFinal ? 1 : 0);
}

// Button press to both bytes readable on the line.
QString presetLatencies(const QList<QPushButton *> &buttons, int fd, int count)
{
    std::vector<double> result;
    for (int i = 0; i < count; ++i) {
        const Clock::time_point pressed = Clock::now();
        buttons[i % buttons.size()]->click();
        QByteArray got;
        while (got.size() < 2) {
            pollfd p{ fd, POLLIN, 0 };
            ::poll(&p, 1, 100);
            char buffer[16];
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n > 0)
                got.append(buffer, n);
        }
        result.push_back(ms(Clock::now() - pressed));
        QCoreApplication::processEvents();
    }
    return QStringLiteral("PRESET p50 %1 p99 %2 max %3")
            .arg(percentile(result, 0.5), 0, 'f', 3)
            .arg(percentile(result, 0.99), 0, 'f', 3)
            .arg(percentile(result, 1.0), 0, 'f', 3);
}

} // namespace

namespace BenchDesk {

int run(int argc, char *argv[])
{
    QApplication app(argc, argv);
    CardRig rig;
    ScriptedDialogs dialogs;
    dialogs.onModal = [](QDialog &details) {
        for (int i = 0; i < 10; ++i)
            details.findChild<QLineEdit *>(QStringLiteral("Preset_Value%1").arg(i))
                    ->setText(QString::number(25 * i));
    };
    const std::unique_ptr<MDIForm1> desk = DeskStart::open(app, dialogs, rig.map());
    if (!desk)
        return 1;
    MDIForm1 &frame = *desk;
    QAction *newSlider = frame.findChild<QAction *>(QStringLiteral("mnuNew_Slider"));
    QAction *newPreset = frame.findChild<QAction *>(QStringLiteral("mnuNew_Preset"));

    QStringList times;
    for (int i = 0; i < 224; ++i) {
        const int channel = 1 + (i / 2) % 112;
        dialogs.inputAnswers = { QString::number(channel), QStringLiteral("Ch %1").arg(channel) };
        QElapsedTimer clock;
        clock.start();
        (i % 2 == 0 ? newSlider : newPreset)->trigger();
        QCoreApplication::sendPostedEvents(&frame, QEvent::MetaCall); // the command itself
        times << QString::number(double(clock.nsecsElapsed()) / 1e6, 'f', 3);
        // As between an operator's commands: the workspace repaints, and the X server has
        // drawn it, before the next one.
        QCoreApplication::processEvents();
        QThread::msleep(15);
        QCoreApplication::processEvents();
    }
    print(QStringLiteral("CREATE ") + times.join(u' '));
    print(QStringLiteral("READY"));

    QSocketNotifier commands(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&commands, &QSocketNotifier::activated, [&] {
        char line[64] = {};
        const ssize_t n = ::read(STDIN_FILENO, line, sizeof line - 1);
        if (n <= 0) {
            QApplication::quit();
            return;
        }
        if (QByteArray(line).startsWith("latency")) {
            // COM1's card stops reading, so that the bench's own reader sees every byte.
            rig.card(1)->setListening(false);
            const int fd = rig.card(1)->masterFd();
            QScrollBar *bar = frame.findChildren<QScrollBar *>(QStringLiteral("vscSlide")).last();
            print(isolatedChanges(bar, fd, 1000));
            print(continuousDrag(bar, fd, 10));
            const QList<QPushButton *> presets = [&] {
                QList<QPushButton *> buttons;
                for (int i = 0; i < 10; ++i)
                    buttons << frame.findChildren<QPushButton *>(
                                            QStringLiteral("cmdPresets%1").arg(i))
                                       .last();
                return buttons;
            }();
            print(presetLatencies(presets, fd, 1000));
            print(QStringLiteral("DONE"));
        }
    });
    return app.exec();
}

} // namespace BenchDesk
