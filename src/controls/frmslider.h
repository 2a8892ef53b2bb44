// A slider window: one channel's level from 0 (bottom) to 255 (top).
#pragma once

#include "controlwindow.h"

class FramePacer;
class LevelBar;
class QLabel;
class QPushButton;
class QWheelEvent;

class frmSlider : public ControlWindow
{
    Q_OBJECT

public:
    explicit frmSlider(ChannelSink &sink, QWidget *parent = nullptr);

    void setTag(const QString &tag) override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;

private:
    // The label catches up with the scroll bar; true when that changed the shown value,
    // which then went to the card.
    bool Timer1_Timer();
    void lblValue_Change();
    void cmdClose_Slider_Click();
    void wheel(QWheelEvent *event);

    LevelBar *m_vscSlide;
    QLabel *m_lblValue;
    QPushButton *m_cmdClose;
    FramePacer *m_pacer;
    int m_wheelRemainder = 0;
};
