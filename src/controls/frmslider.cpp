// A slider window: one channel's level from 0 (bottom) to 255 (top).
#include "frmslider.h"

#include "framepacer.h"
#include "levelbar.h"
#include "steadyclock.h"
#include "ui/press.h"
#include "ui/twips.h"

#include <QLabel>
#include <QPushButton>
#include <QWheelEvent>

frmSlider::frmSlider(ChannelSink &sink, QWidget *parent)
    : ControlWindow(sink, parent),
      m_vscSlide(new LevelBar(this)),
      m_lblValue(new QLabel(QStringLiteral("0"), this)),
      m_cmdClose(new QPushButton(QStringLiteral("Close"), this)),
      m_pacer(new FramePacer(
              std::make_unique<SteadyClock>(), [this] { return Timer1_Timer(); }, this))
{
    setWindowTitle(QStringLiteral("Slider"));
    setFixedSize(twipsSize(768, 6312));

    m_vscSlide->setObjectName(QStringLiteral("vscSlide"));
    m_vscSlide->setGeometry(twipsRect(135, 120, 495, 5295));
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
    Press::byKeys(m_cmdClose);

    setFocusProxy(m_vscSlide);
    setTabOrder(m_vscSlide, m_cmdClose);

    connect(m_vscSlide, &QScrollBar::valueChanged, m_pacer, &FramePacer::changed);
    connect(m_cmdClose, &QPushButton::clicked, this, &frmSlider::cmdClose_Slider_Click);
}

void frmSlider::setTag(const QString &tag)
{
    ControlWindow::setTag(tag);
    m_vscSlide->setAccessibleName(QStringLiteral("Channel %1 level").arg(tag));
}

bool frmSlider::Timer1_Timer()
{
    const QString shown = QString::number(m_vscSlide->level());
    if (m_lblValue->text() == shown)
        return false;
    m_lblValue->setText(shown);
    lblValue_Change();
    return true;
}

void frmSlider::lblValue_Change()
{
    send(m_lblValue->text());
}

void frmSlider::cmdClose_Slider_Click()
{
    hideWindow();
}

bool frmSlider::eventFilter(QObject *watched, QEvent *event)
{
    // The wheel moves this slider from anywhere over its window, one level a notch.
    if (event->type() == QEvent::Wheel
        && (watched == m_vscSlide || watched == m_lblValue || watched == m_cmdClose)) {
        wheel(static_cast<QWheelEvent *>(event));
        return true;
    }
    return ControlWindow::eventFilter(watched, event);
}

void frmSlider::wheelEvent(QWheelEvent *event)
{
    wheel(event);
}

void frmSlider::wheel(QWheelEvent *event)
{
    // High-resolution wheels and touchpads add up to whole notches; up raises the level.
    m_wheelRemainder += event->angleDelta().y();
    const int notches = m_wheelRemainder / QWheelEvent::DefaultDeltasPerStep;
    m_wheelRemainder -= notches * QWheelEvent::DefaultDeltasPerStep;
    if (notches != 0)
        m_vscSlide->setLevel(m_vscSlide->level() + notches);
    event->accept();
}
