// What the card on the selected port has received, beside the main frame.
#include "cardmonitor.h"

#include "cardlink/cardlink.h"
#include "channelgrid.h"
#include "virtualcard/cardrig.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

CardMonitor::CardMonitor(CardRig &rig, const CardLink &link, QWidget *parent)
    : QWidget(parent, Qt::Window),
      m_rig(rig),
      m_link(link),
      m_status(new QLabel(this)),
      m_counts(new QLabel(this)),
      m_grid(new ChannelGrid(this)),
      m_unplug(new QPushButton(QStringLiteral("&Unplug"), this)),
      m_plugIn(new QPushButton(QStringLiteral("&Plug in"), this))
{
    setObjectName(QStringLiteral("CardMonitor"));
    setWindowTitle(QStringLiteral("Card monitor"));
    m_unplug->setObjectName(QStringLiteral("unplug"));
    m_plugIn->setObjectName(QStringLiteral("plugIn"));
    m_status->setObjectName(QStringLiteral("status"));
    m_status->setAccessibleName(QStringLiteral("Port"));
    m_counts->setAccessibleName(QStringLiteral("Received"));
    m_unplug->setToolTip(QStringLiteral("Pull the card's cable out, as unplugging a USB adapter"));
    m_plugIn->setToolTip(QStringLiteral("Plug the card back in at the same COM number"));

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_counts, 1);
    buttons->addWidget(m_unplug);
    buttons->addWidget(m_plugIn);
    auto *column = new QVBoxLayout(this);
    column->addWidget(m_status);
    column->addWidget(m_grid);
    column->addLayout(buttons);
    column->setSizeConstraint(QLayout::SetFixedSize);

    connect(m_unplug, &QPushButton::clicked, this, [this] {
        if (m_card)
            m_card->unplug();
    });
    connect(m_plugIn, &QPushButton::clicked, this, [this] {
        if (m_card)
            m_card->plugIn();
    });
    connect(&m_link, &CardLink::stateChanged, this, &CardMonitor::follow);
    follow();
}

void CardMonitor::follow()
{
    VirtualCard *card = m_rig.card(qBound(1, m_link.commPort(), kComPorts));
    if (card != m_card) {
        if (m_card)
            m_card->disconnect(this);
        m_card = card;
        connect(card, &VirtualCard::frameReceived, this, &CardMonitor::refresh);
        connect(card, &VirtualCard::plugChanged, this, &CardMonitor::refresh);
    }
    refresh();
}

QString CardMonitor::statusLine() const
{
    const int port = m_link.commPort();
    if (!m_card || !m_card->isPlugged())
        return QStringLiteral("COM%1: no card plugged in").arg(port);
    // The settings as the card's end of the line sees them, so that a port opened at the
    // wrong speed or framing shows here rather than as garbled levels.
    return QStringLiteral("COM%1 on %2, %3")
            .arg(port)
            .arg(m_card->devicePath(),
                 m_link.portOpen() ? QStringLiteral("open at ") + m_card->lineSettings()
                                   : QStringLiteral("closed"));
}

void CardMonitor::refresh()
{
    m_status->setText(statusLine());
    if (!m_card)
        return;
    std::array<int, ChannelGrid::kChannels + 1> levels{};
    for (int ch = 1; ch <= ChannelGrid::kChannels; ++ch)
        levels[ch] = m_card->level(ch);
    m_grid->setLevels(levels, m_card->lastChannel());
    m_counts->setText(QStringLiteral("%1 frames, %2 bytes received")
                              .arg(m_card->framesReceived())
                              .arg(m_card->bytesReceived()));
    m_unplug->setEnabled(m_card->isPlugged());
    m_plugIn->setEnabled(!m_card->isPlugged());
}
