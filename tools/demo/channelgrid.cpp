// The 112 channels of a card at a glance: number, level and a bar, the latest change marked.
#include "channelgrid.h"

#include <QPaintEvent>
#include <QPainter>

namespace {
constexpr int kCellWidth = 84;
constexpr int kCellHeight = 22;
} // namespace

ChannelGrid::ChannelGrid(QWidget *parent) : QWidget(parent)
{
    setAccessibleName(QStringLiteral("Channel levels"));
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

QSize ChannelGrid::sizeHint() const
{
    return QSize(kColumns * kCellWidth, (kChannels / kColumns) * kCellHeight);
}

void ChannelGrid::setLevels(const std::array<int, kChannels + 1> &levels, int lastChannel)
{
    m_levels = levels;
    m_last = lastChannel;
    update();
}

QRect ChannelGrid::cell(int channel) const
{
    const int i = channel - 1;
    return QRect((i % kColumns) * kCellWidth, (i / kColumns) * kCellHeight, kCellWidth,
                 kCellHeight);
}

void ChannelGrid::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    const QPalette &pal = palette();
    for (int ch = 1; ch <= kChannels; ++ch) {
        const QRect box = cell(ch).adjusted(1, 1, -1, -1);
        if (!event->rect().intersects(box))
            continue;
        painter.fillRect(box, ch == m_last ? pal.highlight() : pal.base());
        const QColor text = (ch == m_last ? pal.highlightedText() : pal.text()).color();
        const QRect bar(box.left() + 28, box.top() + 6, 34, box.height() - 12);
        painter.setPen(pal.mid().color());
        painter.drawRect(bar);
        painter.fillRect(QRect(bar.left() + 1, bar.top() + 1,
                               (bar.width() - 1) * m_levels[ch] / 255, bar.height() - 1),
                         QColor(255, 190, 40));
        painter.setPen(text);
        painter.drawText(box.adjusted(3, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter,
                         QString::number(ch));
        painter.drawText(box.adjusted(0, 0, -3, 0), Qt::AlignRight | Qt::AlignVCenter,
                         QString::number(m_levels[ch]));
    }
}
