// A card on the far end of a pseudo-terminal, decoding what the program sends it.
#pragma once

#include "framedecoder.h"
#include "ptypair.h"

#include <QObject>
#include <QSocketNotifier>
#include <memory>

class VirtualCard : public QObject
{
    Q_OBJECT

public:
    explicit VirtualCard(QObject *parent = nullptr);

    QString devicePath() const { return m_pty->slavePath(); }
    bool isPlugged() const { return m_pty->isValid(); }

    // Pulling the adapter out: the line goes away. Plugging in makes a fresh line, whose
    // device path is new; the demo maps its COM number to it.
    void unplug();
    void plugIn();

    qint64 bytesReceived() const { return m_bytes; }
    qint64 framesReceived() const { return m_frames; }

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
};
