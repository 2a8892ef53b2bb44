// The desk inside the rig's guest: the real main frame on the guest's own serial ports,
// driven by one command a line on standard input, telling on standard output what the
// operator would see as "EV <what> <detail>". Its boxes and its ending are its own: every box
// is told as it comes, and the ending is carried out at once, as the program's dialogs do.
#pragma once

#include "virtualcard/scripteddialogs.h"

#include <QElapsedTimer>
#include <QObject>
#include <QSocketNotifier>
#include <QTimer>
#include <memory>

class MDIForm1;
class QApplication;
class QScrollBar;

class RigDesk : public QObject, public ScriptedDialogs
{
    Q_OBJECT

public:
    RigDesk();
    ~RigDesk() override;

    // Starts the desk as the program does; false when start-up found no port.
    bool start(QApplication &app);

    void message(Icon icon, const QString &title, const QString &text,
                 const QString &detail) override;
    void endProgram(int exitCode) override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void tell(const QByteArray &what, const QString &detail = {});
    void readCommands();
    void run(const QList<QByteArray> &words);
    void followLink();
    void tellLate();
    void tick();
    void taken();

    std::unique_ptr<MDIForm1> m_frame;
    QSocketNotifier m_input{ 0, QSocketNotifier::Read };
    QByteArray m_pending;
    QElapsedTimer m_clock;
    QTimer m_ticker; // every 10 ms: how late the event loop runs it is how long it was blocked
    qint64 m_lastTick = 0;
    qint64 m_worstLate = 0;
    qint64 m_lastTaken = -1; // when the driver last took bytes, while bytes wait
    qint64 m_worstSilence = 0;
    QTimer m_drag; // moves the dragged slider every 5 ms, as a hand does
    QScrollBar *m_dragged = nullptr;
};
