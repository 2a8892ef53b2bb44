// A card on the far end of a pseudo-terminal, decoding what the program sends it.
#pragma once

#include "framedecoder.h"
#include "numbers/cardchannels.h"
#include "ptypair.h"

#include <QObject>
#include <QSocketNotifier>
#include <QTimer>
#include <array>
#include <memory>

class VirtualCard : public QObject
{
    Q_OBJECT

public:
    explicit VirtualCard(bool plugged = true, QObject *parent = nullptr);

    QString devicePath() const { return m_pty ? m_pty->slavePath() : QString(); }
    bool isPlugged() const { return m_pty && m_pty->isValid(); }
    int masterFd() const { return isPlugged() ? m_pty->masterFd() : -1; }

    // Pulling the adapter out: the line goes away. Plugging in makes a fresh line, whose
    // device path is new; the rig maps its COM number to it.
    void unplug();
    void plugIn();

    // Off: the card stops reading, so that someone else can read the line (the bench).
    void setListening(bool on);
    // Every byte received is also kept until taken (for tests that check the wire).
    void setRecording(bool on) { m_recording = on; }
    const QByteArray &unread() const { return m_unread; }
    QByteArray takeUnread() { return std::exchange(m_unread, {}); }
    // Waits up to `ms` for the line to have bytes to read.
    void waitForBytes(int ms) const;

    // The speed and framing of the line, as "9600 8N1", with "RTS/CTS" or "XON/XOFF" after it
    // when the program asked for flow control; empty while unplugged. A pseudo-terminal keeps
    // the speed, stop bits and flow control the program set, but always carries 8 bits
    // without parity.
    QString lineSettings() const;

    qint64 bytesReceived() const { return m_bytes; }
    qint64 framesReceived() const { return m_frames; }
    // The level last received for a channel (1 to 112), 0 before any.
    int level(int channel) const { return m_levels.at(channel); }
    int lastChannel() const { return m_lastChannel; }

signals:
    void frameReceived(int channel, int value);
    void plugChanged();
    // A channel byte has waited too long for its value: the program sent half a frame, and
    // a real card would pair every later byte wrongly.
    void loneByte(int channel);

private:
    void readLine();

    std::unique_ptr<PtyPair> m_pty;
    std::unique_ptr<QSocketNotifier> m_notifier;
    FrameDecoder m_decoder;
    QTimer m_loneByteTimer;
    bool m_recording = false;
    QByteArray m_unread;
    qint64 m_bytes = 0;
    qint64 m_frames = 0;
    std::array<int, kChannelCount + 1> m_levels{};
    int m_lastChannel = 0;
};
