// The desk inside the rig's guest: the real main frame on the guest's own serial ports,
// driven by one command a line on standard input, telling on standard output what the
// operator would see as "EV <what> <detail>".
#include "rigdesk.h"

#include "app/deskstart.h"
#include "app/mdiform1.h"
#include "controls/controlregistry.h"
#include "controls/controlwindow.h"
#include "ui/press.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QScrollBar>
#include <QSerialPort>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

RigDesk::RigDesk()
{
    m_clock.start();
    connect(&m_input, &QSocketNotifier::activated, this, &RigDesk::readCommands);
    m_ticker.setTimerType(Qt::PreciseTimer);
    connect(&m_ticker, &QTimer::timeout, this, &RigDesk::tick);
    m_drag.setTimerType(Qt::PreciseTimer);
    connect(&m_drag, &QTimer::timeout, this,
            [this] { m_dragged->setValue((m_dragged->value() + 1) % 256); });
}

RigDesk::~RigDesk() = default;

bool RigDesk::start(QApplication &app)
{
    tell("start");
    m_frame = DeskStart::open(app, *this, systemPortMap());
    if (!m_frame)
        return false;
    m_frame->installEventFilter(this);
    for (const char *lamp : { "imgConnection_Status0", "imgConnection_Status1" })
        m_frame->findChild<QWidget *>(lamp)->installEventFilter(this);
    connect(&m_frame->MSComm1(), &CardLink::stateChanged, this, &RigDesk::followLink);
    followLink();
    m_lastTick = m_clock.elapsed();
    m_ticker.start(10);
    tell("ready",
         m_frame->findChild<QWidget *>("imgConnection_Status1")->isHidden() ? "unlit" : "lit");
    return true;
}

void RigDesk::tell(const QByteArray &what, const QString &detail)
{
    std::printf("EV %s %s\n", what.constData(), qPrintable(detail));
    std::fflush(stdout);
}

void RigDesk::message(Icon icon, const QString &title, const QString &text, const QString &detail)
{
    ScriptedDialogs::message(icon, title, text, detail);
    tell("box", text);
}

// The longest the event loop was blocked since it was last asked, up to the very end.
void RigDesk::endProgram(int exitCode)
{
    tellLate();
    std::_Exit(exitCode);
}

bool RigDesk::eventFilter(QObject *watched, QEvent *event)
{
    // The frame is the last window: hidden, the operator sees the program gone.
    if (watched == m_frame.get() && event->type() == QEvent::Hide)
        tell("hidden");
    else if (watched != m_frame.get() && event->type() == QEvent::Show)
        tell("lamp", watched->objectName().endsWith(u'1') ? "lit" : "unlit");
    return false;
}

void RigDesk::followLink()
{
    const CardLink &link = m_frame->MSComm1();
    // The port in use is the link's own; a closing one belongs to its drain.
    auto *port = link.findChild<QSerialPort *>(QString(), Qt::FindDirectChildrenOnly);
    tell("link",
         QStringLiteral("COM%1 %2 %3")
                 .arg(link.commPort())
                 .arg(link.portOpen() ? "open" : "closed", port->portName()));
    // The driver's silences: how long bytes waited with none taken, on the port in use.
    connect(port, &QSerialPort::bytesWritten, this, &RigDesk::taken, Qt::UniqueConnection);
}

void RigDesk::tellLate()
{
    tick(); // a block that has just ended counts here, though no tick has come since
    tell("late", QString::number(std::exchange(m_worstLate, 0)));
}

void RigDesk::tick()
{
    const qint64 now = m_clock.elapsed();
    m_worstLate = std::max(m_worstLate, now - m_lastTick - 10);
    m_lastTick = now;
}

void RigDesk::taken()
{
    const auto *port = qobject_cast<QSerialPort *>(sender());
    const qint64 now = m_clock.elapsed();
    if (m_lastTaken >= 0)
        m_worstSilence = std::max(m_worstSilence, now - m_lastTaken);
    m_lastTaken = port->bytesToWrite() > 0 ? now : -1;
}

void RigDesk::readCommands()
{
    char buffer[4096];
    const ssize_t n = ::read(0, buffer, sizeof buffer);
    if (n <= 0) {
        m_input.setEnabled(false);
        return;
    }
    m_pending.append(buffer, n);
    for (qsizetype end; (end = m_pending.indexOf('\n')) >= 0;) {
        const QList<QByteArray> words = m_pending.left(end).simplified().split(' ');
        m_pending.remove(0, end + 1);
        run(words);
    }
}

// send CH V [CH V ...] | drag CH (a new slider, moved) | still | port N | lamp | exit | late |
// silence
void RigDesk::run(const QList<QByteArray> &words)
{
    const QByteArray &verb = words.first();
    const int n = words.size() > 1 ? words[1].toInt() : 0;
    if (verb == "send") {
        for (qsizetype i = 1; i + 1 < words.size(); i += 2)
            m_frame->SendChannelFrame(QString::fromLatin1(words[i]),
                                      QString::fromLatin1(words[i + 1]));
    } else if (verb == "drag") {
        inputAnswers = { QString::number(n), QStringLiteral("Ch %1").arg(n) };
        m_frame->findChild<QAction *>("mnuNew_Slider")->trigger();
        QCoreApplication::sendPostedEvents(m_frame.get(), QEvent::MetaCall); // the queued command
        m_dragged =
                m_frame->findChild<ControlRegistry *>()->forms().last()->findChild<QScrollBar *>(
                        "vscSlide");
        m_drag.start(5);
    } else if (verb == "still") {
        m_drag.stop();
    } else if (verb == "port") {
        m_frame->findChild<QAbstractButton *>(QStringLiteral("optCommSelect%1").arg(n))->click();
    } else if (verb == "lamp") {
        QWidget *unlit = m_frame->findChild<QWidget *>("imgConnection_Status0");
        Press::click(unlit->isHidden() ? m_frame->findChild<QWidget *>("imgConnection_Status1")
                                       : unlit);
    } else if (verb == "exit") {
        m_frame->close();
    } else if (verb == "late") {
        tellLate();
    } else if (verb == "silence") {
        tell("silence", QString::number(std::exchange(m_worstSilence, 0)));
    }
}
