// What the card on the selected port has received, beside the main frame.
#pragma once

#include <QPointer>
#include <QWidget>

class CardLink;
class ChannelGrid;
class DemoRig;
class QLabel;
class QPushButton;
class VirtualCard;

class CardMonitor : public QWidget
{
    Q_OBJECT

public:
    CardMonitor(DemoRig &rig, CardLink &link, QWidget *parent = nullptr);

    QPushButton *unplugButton() const { return m_unplug; }
    QPushButton *plugInButton() const { return m_plugIn; }
    QString statusLine() const;
    ChannelGrid *grid() const { return m_grid; }

private:
    void follow();
    void refresh();

    DemoRig &m_rig;
    CardLink &m_link;
    QPointer<VirtualCard> m_card;
    QLabel *m_status;
    QLabel *m_counts;
    ChannelGrid *m_grid;
    QPushButton *m_unplug;
    QPushButton *m_plugIn;
};
