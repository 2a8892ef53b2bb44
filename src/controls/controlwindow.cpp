// What slider and preset windows share: the channel they send on, where they send, and Close.
#include "controlwindow.h"

#include "channelsink.h"

#include <QKeyEvent>
#include <QPushButton>

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

bool ControlWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        auto *button = qobject_cast<QPushButton *>(watched);
        if (button && (key == Qt::Key_Return || key == Qt::Key_Enter)) {
            button->click();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}
