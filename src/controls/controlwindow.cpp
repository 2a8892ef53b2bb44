// What slider and preset windows share: the channel they send on, where they send, and Close.
#include "controlwindow.h"

#include "channelsink.h"

ControlWindow::ControlWindow(ChannelSink &sink, QWidget *parent) : QWidget(parent), m_sink(sink) { }

void ControlWindow::send(const QString &value)
{
    m_sink.SendChannelFrame(m_tag, value);
}

void ControlWindow::hideWindow()
{
    QWidget *window = parentWidget() ? parentWidget() : this;
    window->hide();
    emit closed();
}
