// The 112 channels of a card at a glance: number, level and a bar, the latest change marked.
#pragma once

#include "numbers/cardchannels.h"

#include <QWidget>
#include <array>

class ChannelGrid : public QWidget
{
    Q_OBJECT

public:
    static constexpr int kChannels = kChannelCount;
    static constexpr int kColumns = 8;

    explicit ChannelGrid(QWidget *parent = nullptr);

    void setLevels(const std::array<int, kChannels + 1> &levels, int lastChannel);
    int level(int channel) const { return m_levels[channel]; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QRect cell(int channel) const;

    std::array<int, kChannels + 1> m_levels{};
    int m_last = 0;
};
