// A slider's scroll bar, read as a level from 0 at the bottom to 255 at the top.
#pragma once

#include "numbers/cardchannels.h"

#include <QScrollBar>

class LevelBar : public QScrollBar
{
    Q_OBJECT

public:
    static constexpr int kTop = kTopLevel;

    explicit LevelBar(QWidget *parent = nullptr);

    // A vertical scroll bar's arrows and trough always step its raw value down at the top,
    // so the bar stays as Qt draws it and the level is 255 minus the raw value: arrows,
    // trough, drag, keys and wheel then all raise the level towards the top.
    int level() const { return kTop - value(); }
    void setLevel(int level) { setValue(kTop - level); }
};
