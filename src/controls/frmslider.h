// A slider window: one channel's level from 0 (bottom) to 255 (top).
#pragma once

#include <QWidget>

class ChannelSink;
class SliderTicker;
class QLabel;
class QPushButton;
class QScrollBar;
class QWheelEvent;

class frmSlider : public QWidget
{
    Q_OBJECT

public:
    frmSlider(ChannelSink &sink, SliderTicker &ticker, QWidget *parent = nullptr);

    QString Tag() const { return m_tag; }
    void setTag(const QString &tag);

    QScrollBar *vscSlide() const { return m_vscSlide; }
    QLabel *lblValue() const { return m_lblValue; }
    QPushButton *cmdClose_Slider() const { return m_cmdClose; }

    // The label catches up with the scroll bar; a change of the shown value sends it.
    void Timer1_Timer();
    void cmdClose_Slider_Click();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;

private:
    void wheel(QWheelEvent *event);
    void lblValue_Change();
    void stepBy(int delta);

    ChannelSink &m_sink;
    SliderTicker &m_ticker;
    QString m_tag;
    QScrollBar *m_vscSlide;
    QLabel *m_lblValue;
    QPushButton *m_cmdClose;
    int m_wheelRemainder = 0;
};
