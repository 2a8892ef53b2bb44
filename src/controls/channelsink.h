// Where a control window's change goes: the main frame, which owns the card link.
#pragma once

#include <QString>

class ChannelSink
{
public:
    virtual ~ChannelSink() = default;
    // Both texts as the window holds them: its Tag and the level.
    virtual void SendChannelFrame(const QString &channel, const QString &value) = 0;
};
