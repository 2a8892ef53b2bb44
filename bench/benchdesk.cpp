// The bench's own desk: the real main frame on pseudo-terminals, filled through the same
// creation path New > Slider and New > Preset use, with the questions answered by script.
#include "benchdesk.h"

#include "app/appearance.h"
#include "app/dialogs.h"
#include "app/mdiform1.h"
#include "controls/controlregistry.h"
#include "controls/frmpresets.h"
#include "controls/frmslider.h"
#include "controls/presetdetails.h"
#include "virtualcard/ptypair.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLineEdit>
#include <QRandomGenerator>
#include <QScrollBar>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>
#include <array>
#include <cstdio>
#include <memory>
#include <poll.h>
#include <unistd.h>

namespace {

class ScriptedDialogs : public Dialogs
{
public:
    QStringList answers;
    void message(Icon, const QString &, const QString &, const QString &) override {}
    bool askYesNo(const QString &, const QString &) override { return false; }
    std::optional<QString> input(const QString &, const QString &, const QString &def) override
    {
        return answers.isEmpty() ? def : answers.takeFirst();
    }
    void endProgram(int exitCode) override { ::_exit(exitCode); }
};

double percentile(std::vector<double> values, double p)
{
    std::sort(values.begin(), values.end());
    const size_t index = std::min(values.size() - 1, size_t(p * double(values.size() - 1) + 0.5));
    return values[index];
}

void print(const QString &line)
{
    std::fputs(qPrintable(line + u'\n'), stdout);
    std::fflush(stdout);
}

// Scroll-bar change to both bytes readable on the master, over `count` changes made at
// random moments. A thread of its own waits on the master, so that the time is when the
// bytes arrived, not when this thread next looked.
std::vector<double> sliderLatencies(frmSlider *slider, PtyPair &pty, int count)
{
    using Clock = std::chrono::steady_clock;
    std::vector<double> result;
    std::atomic<bool> done {false};
    Clock::time_point changedAt;
    QEventLoop loop;
    QRandomGenerator random(7);
    const auto change = [&] {
        changedAt = Clock::now();
        slider->vscSlide()->setValue((slider->vscSlide()->value() + 1) % 256);
    };
    const auto arrived = [&](Clock::time_point at) {
        result.push_back(std::chrono::duration<double, std::milli>(at - changedAt).count());
        if (int(result.size()) == count)
            loop.quit();
        else
            QTimer::singleShot(int(random.bounded(60)), change);
    };
    std::thread reader([&] {
        QByteArray got;
        while (!done) {
            pollfd p {pty.masterFd(), POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0)
                continue;
            got += pty.drain();
            if (got.size() >= 2) {
                got.clear();
                const Clock::time_point at = Clock::now();
                QMetaObject::invokeMethod(qApp, [&arrived, at] { arrived(at); }, Qt::QueuedConnection);
            }
        }
    });
    change();
    loop.exec();
    done = true;
    reader.join();
    return result;
}

// Button press to both bytes readable on the master.
std::vector<double> presetLatencies(frmPresets *presets, PtyPair &pty, int count)
{
    std::vector<double> result;
    for (int i = 0; i < count; ++i) {
        QElapsedTimer clock;
        clock.start();
        presets->cmdPresets_Click(i % 10);
        QByteArray got;
        while (got.size() < 2) {
            pollfd p {pty.masterFd(), POLLIN, 0};
            ::poll(&p, 1, 100);
            got += pty.drain();
        }
        result.push_back(double(clock.nsecsElapsed()) / 1e6);
        QCoreApplication::processEvents();
    }
    return result;
}

} // namespace

namespace BenchDesk {

int run(int argc, char *argv[])
{
    QApplication app(argc, argv);
    Appearance::apply(app);
    std::array<std::unique_ptr<PtyPair>, 5> ptys;
    for (auto &p : ptys)
        p = std::make_unique<PtyPair>();
    ScriptedDialogs dialogs;
    MDIForm1 frame(dialogs, [&ptys](int n) -> QString {
        return n >= 1 && n <= 5 ? ptys[n - 1]->slavePath() : QString();
    });
    if (!frame.MDIForm_Load())
        return 1;
    frame.show();
    ControlRegistry &registry = frame.registry();
    registry.showPresetDetails = [](Preset_Details &d) { d.OK_Button_Click(); };
    for (int i = 0; i < 10; ++i)
        registry.presetDetails().Preset_Value(i)->setText(QString::number(25 * i));

    QStringList times;
    for (int i = 0; i < 224; ++i) {
        const int channel = 1 + (i / 2) % 112;
        dialogs.answers = {QString::number(channel), QStringLiteral("Ch %1").arg(channel)};
        QElapsedTimer clock;
        clock.start();
        if (i % 2 == 0)
            frame.mnuNew_Slider_Click();
        else
            frame.mnuNew_Preset_Click();
        times << QString::number(double(clock.nsecsElapsed()) / 1e6, 'f', 3);
        // As between an operator's commands: the workspace repaints, and the X server has
        // drawn it, before the next one. Without the pause the next creation would wait in
        // its first round trip for the server to finish the previous picture.
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
            ptys[0]->drain();
            const auto slider = sliderLatencies(registry.SliderForms().last(), *ptys[0], 1000);
            const auto preset = presetLatencies(registry.PresetForms().last(), *ptys[0], 1000);
            print(QStringLiteral("LATENCY slider p50 %1 p99 %2 max %3 preset p50 %4 p99 %5 max %6")
                          .arg(percentile(slider, 0.5), 0, 'f', 3)
                          .arg(percentile(slider, 0.99), 0, 'f', 3)
                          .arg(percentile(slider, 1.0), 0, 'f', 3)
                          .arg(percentile(preset, 0.5), 0, 'f', 3)
                          .arg(percentile(preset, 0.99), 0, 'f', 3)
                          .arg(percentile(preset, 1.0), 0, 'f', 3));
        }
    });
    return app.exec();
}

} // namespace BenchDesk
