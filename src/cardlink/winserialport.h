// A Windows serial port of the desk's own, at 9600 8N1 without flow control: writes go out
// overlapped, so that the window's thread never waits on the line, and a read is always
// pending, so that a pulled adapter is heard while nothing is sent.
#pragma once

#include "openoutcome.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QObject>
#include <QTimer>
#include <QWinEventNotifier>
#include <qt_windows.h>

class WinSerialPort : public QObject
{
    Q_OBJECT

public:
    // Bytes that wait this long with none of them taken mean the line is lost.
    WinSerialPort(int stallMs, QObject *parent);
    ~WinSerialPort() override;

    // "COM1" and the like: the name Windows gives the port.
    const QString &name() const { return m_name; }
    OpenOutcome open(const QString &name);
    bool isOpen() const { return m_handle != INVALID_HANDLE_VALUE; }
    // Queues the bytes behind those already waiting; they go out in order, from flush() on.
    void write(const QByteArray &bytes);
    // Hands what waits to the system, unless a write is under way: its end sends the rest.
    void flush();
    // Closes now, dropping what has not gone out.
    void close();
    // Closes once what waits has gone out or the line is lost; then emits closed().
    void closeWhenSent();
    bool closing() const { return m_closing; }
    // Wanted open again before it closed: it stays open.
    void keepOpen() { m_closing = false; }
    // The program is ending: sends what it can by `deadline`, then closes.
    void finishBy(QDeadlineTimer deadline);

signals:
    void lost(const QString &why);
    void closed();

private:
    void startWrite();
    void writeDone();
    void startRead();
    void readDone();
    void fail(DWORD error);

    QString m_name;
    HANDLE m_handle = INVALID_HANDLE_VALUE;
    OVERLAPPED m_writeOv{};
    OVERLAPPED m_readOv{};
    QWinEventNotifier m_written;
    QWinEventNotifier m_read;
    QByteArray m_sending; // with the system, untouched until the write completes
    QByteArray m_queue; // waiting behind it
    char m_readByte = 0;
    bool m_reading = false;
    QTimer m_stall;
    bool m_closing = false;
};
