// A slider window: one channel's level from 0 (bottom) to 255 (top).
#include "frmslider.h"

#include "app/twips.h"
#include "channelsink.h"
#include "sliderticker.h"

#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QWheelEvent>

frmSlider::frmSlider(ChannelSink &sink, SliderTicker &ticker, QWidget *parent)
    : QWidget(parent)
    , m_sink(sink)
    , m_ticker(ticker)
    , m_vscSlide(new QScrollBar(Qt::Vertical, this))
    , m_lblValue(new QLabel(QStringLiteral("0"), this))
    , m_cmdClose(new QPushButton(QStringLiteral("Close"), this))
{
    setWindowTitle(QStringLiteral("Slider"));
    setFixedSize(twipsSize(768, 6312));

    // 255 at the top, 0 at the bottom; the thumb starts at the bottom.
    m_vscSlide->setObjectName(QStringLiteral("vscSlide"));
    m_vscSlide->setGeometry(twipsRect(135, 120, 495, 5295));
    m_vscSlide->setRange(0, 255);
    m_vscSlide->setInvertedAppearance(true);
    m_vscSlide->setSingleStep(1);
    m_vscSlide->setPageStep(1);
    m_vscSlide->setValue(0);
    m_vscSlide->setFocusPolicy(Qt::StrongFocus);
    m_vscSlide->installEventFilter(this);

    m_lblValue->setObjectName(QStringLiteral("lblValue"));
    m_lblValue->setGeometry(twipsRect(135, 5520, 495, 255));
    m_lblValue->setAlignment(Qt::AlignCenter);
    m_lblValue->setAutoFillBackground(true);
    m_lblValue->setBackgroundRole(QPalette::Base);
    m_lblValue->installEventFilter(this);

    m_cmdClose->setObjectName(QStringLiteral("cmdClose_Slider"));
    m_cmdClose->setGeometry(twipsRect(75, 5880, 615, 255));
    m_cmdClose->setAutoDefault(false);
    m_cmdClose->installEventFilter(this);

    setFocusProxy(m_vscSlide);
    setTabOrder(m_vscSlide, m_cmdClose);

    connect(m_vscSlide, &QScrollBar::valueChanged, this, [this] { m_ticker.wake(this); });
    connect(m_cmdClose, &QPushButton::clicked, this, &frmSlider::cmdClose_Slider_Click);
}

void frmSlider::setTag(const QString &tag)
{
    m_tag = tag;
    m_vscSlide->setAccessibleName(QStringLiteral("Channel %1 level").arg(tag));
}

void frmSlider::Timer1_Timer()
{
    const QString shown = QString::number(m_vscSlide->value());
    if (m_lblValue->text() == shown)
        return;
    m_lblValue->setText(shown);
    lblValue_Change();
}

void frmSlider::lblValue_Change()
{
    // Its own channel, whichever window is active by now.
    m_sink.SendChannelFrame(m_tag, m_lblValue->text());
}

void frmSlider::cmdClose_Slider_Click()
{
    // Hidden, never destroyed: the window keeps its registry slot.
    QWidget *window = parentWidget() ? parentWidget() : this;
    window->hide();
}

void frmSlider::stepBy(int delta)
{
    m_vscSlide->setValue(m_vscSlide->value() + delta);
}

bool frmSlider::eventFilter(QObject *watched, QEvent *event)
{
    // Keys and wheel are spelt out so that "up" always means a higher level.
    if (watched == m_vscSlide && event->type() == QEvent::KeyPress) {
        switch (static_cast<QKeyEvent *>(event)->key()) {
        case Qt::Key_Up:
        case Qt::Key_PageUp:
            stepBy(1);
            return true;
        case Qt::Key_Down:
        case Qt::Key_PageDown:
            stepBy(-1);
            return true;
        case Qt::Key_Home:
            m_vscSlide->setValue(m_vscSlide->maximum());
            return true;
        case Qt::Key_End:
            m_vscSlide->setValue(m_vscSlide->minimum());
            return true;
        default:
            break;
        }
    } else if (event->type() == QEvent::Wheel
               && (watched == m_vscSlide || watched == m_lblValue || watched == m_cmdClose)) {
        wheel(static_cast<QWheelEvent *>(event));
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void frmSlider::wheelEvent(QWheelEvent *event)
{
    // Anywhere over the window the wheel moves this slider.
    wheel(event);
}

void frmSlider::wheel(QWheelEvent *event)
{
    // One step a notch; high-resolution wheels and touchpads add up to notches.
    m_wheelRemainder += event->angleDelta().y();
    const int notches = m_wheelRemainder / QWheelEvent::DefaultDeltasPerStep;
    m_wheelRemainder -= notches * QWheelEvent::DefaultDeltasPerStep;
    if (notches != 0)
        stepBy(notches);
    event->accept();
}
