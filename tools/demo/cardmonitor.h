// What the card on the selected port has received, beside the main frame.
#pragma once

#include <QPointer>
#include <QWidget>

class CardLink;
class ChannelGrid;
class CardRig;
class QLabel;
class QPushButton;
class VirtualCard;

class CardMonitor : public QWidget
{
    Q_OBJECT

public:
    CardMonitor(CardRig &rig, const CardLink &link, QWidget *parent = nullptr);

private:
    QString statusLine() const;
    void follow();
    void refresh();

    CardRig &m_rig;
    const CardLink &m_link;
    QPointer<VirtualCard> m_card;
    QLabel *m_status;
    QLabel *m_counts;
    ChannelGrid *m_grid;
    QPushButton *m_unplug;
    QPushButton *m_plugIn;
};
