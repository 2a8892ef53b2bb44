// A card on the far end of a pseudo-terminal, decoding what the program sends it.
#pragma once

#include "framedecoder.h"
#include "ptypair.h"

#include <QObject>
#include <QSocketNotifier>
#include <array>
#include <memory>

class VirtualCard : public QObject
{
    Q_OBJECT

public:
    static constexpr int kChannels = 112;

    explicit VirtualCard(bool plugged = true, QObject *parent = nullptr);

    QString devicePath() const { return m_pty ? m_pty->slavePath() : QString(); }
    bool isPlugged() const { return m_pty && m_pty->isValid(); }

    // Pulling the adapter out: the line goes away. Plugging in makes a fresh line, whose
    // device path is new; the demo maps its COM number to it.
    void unplug();
    void plugIn();

    qint64 bytesReceived() const { return m_bytes; }
    qint64 framesReceived() const { return m_frames; }
    // The level last received for a channel (1 to 112), 0 before any.
    int level(int channel) const { return m_levels.at(channel); }
    int lastChannel() const { return m_lastChannel; }

signals:
    void frameReceived(int channel, int value);
    void plugChanged();

private:
    void attach();
    void readLine();

    std::unique_ptr<PtyPair> m_pty;
    std::unique_ptr<QSocketNotifier> m_notifier;
    FrameDecoder m_decoder;
    qint64 m_bytes = 0;
    qint64 m_frames = 0;
    std::array<int, kChannels + 1> m_levels {};
    int m_lastChannel = 0;
};
