// What slider and preset windows share: the channel they send on, where they send, and Close.
#pragma once

#include <QWidget>

class ChannelSink;

class ControlWindow : public QWidget
{
    Q_OBJECT

public:
    explicit ControlWindow(ChannelSink &sink, QWidget *parent = nullptr);

    // The channel as decimal text, set once when the window is made.
    QString Tag() const { return m_tag; }
    virtual void setTag(const QString &tag) { m_tag = tag; }
    // The operator's name for the window, shown in its title bar and in the window list.
    QString Caption() const { return m_caption; }
    void setCaption(const QString &caption) { m_caption = caption; }

signals:
    // The window has been put away by its Close; whoever hides it gives the focus on.
    void closed();

protected:
    // Sends `value` on this window's own channel, whichever window is active by now.
    void send(const QString &value);
    // Hides the workspace window that holds this one; it is never destroyed and keeps its
    // registry slot.
    void hideWindow();

private:
    ChannelSink &m_sink;
    QString m_tag;
    QString m_caption;
};
