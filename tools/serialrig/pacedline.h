// The far end of one of the guest's serial lines, read as the card reads its line: at most
// so many bytes a second (960 is 9600 baud, 8N1), each pair of bytes decoded as a frame.
#pragma once

#include "virtualcard/framedecoder.h"

#include <QElapsedTimer>
#include <QObject>
#include <QSocketNotifier>
#include <QTimer>
#include <memory>

class PacedLine : public QObject
{
    Q_OBJECT

public:
    // 0 bytes a second: as fast as the line gives them.
    explicit PacedLine(int bytesPerSecond, QObject *parent = nullptr);
    ~PacedLine() override;

    // Connects to the line's socket, trying until `timeoutMs` has passed.
    bool connectTo(const QString &path, int timeoutMs);
    // Off: the card takes nothing more, and the line backs up into the guest.
    void setReading(bool on);

    const QByteArray &bytes() const { return m_bytes; }
    const QList<ReceivedFrame> &frames() const { return m_frames; }

signals:
    void arrived();

private:
    void read();

    const int m_rate;
    int m_fd = -1;
    bool m_reading = true;
    QTimer m_pace;
    QElapsedTimer m_clock;
    qint64 m_lastRead = 0;
    double m_allowance = 0;
    std::unique_ptr<QSocketNotifier> m_notifier;
    QByteArray m_bytes;
    FrameDecoder m_decoder;
    QList<ReceivedFrame> m_frames;
};
