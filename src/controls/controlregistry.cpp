// Every control window ever made, the questions that make them, and where they are placed.
#include "controlregistry.h"

#include "app/dialogs.h"
#include "app/twips.h"
#include "channelanswer.h"
#include "frmpresets.h"
#include "frmslider.h"
#include "presetdetails.h"

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QScrollBar>

ControlRegistry::ControlRegistry(QMdiArea *area, Dialogs &dialogs, ChannelSink &sink,
                                 QWidget *dialogParent, QObject *parent)
    : QObject(parent)
    , m_area(area)
    , m_dialogs(dialogs)
    , m_sink(sink)
    , m_dialogParent(dialogParent)
{
    showPresetDetails = [](Preset_Details &dialog) { dialog.exec(); };
}

ControlRegistry::~ControlRegistry()
{
    delete m_presetDetails.data(); // null when its parent window went first
}

void ControlRegistry::resetPlacement()
{
    m_nextLeft = 0;
}

void ControlRegistry::dimensionRegistries()
{
    m_sliderForms = QList<frmSlider *>(2, nullptr);
    m_presetForms = QList<frmPresets *>(2, nullptr);
}

int ControlRegistry::AddFormSlot(ControlKind kind)
{
    if (kind == Slider) {
        m_sliderForms.append(nullptr);
        return int(m_sliderForms.size()) - 1;
    }
    m_presetForms.append(nullptr);
    return int(m_presetForms.size()) - 1;
}

QWidget *ControlRegistry::ShowNewControl(ControlKind kind, int channel, const QString &name)
{
    const int slot = AddFormSlot(kind);
    const QString tag = QString::number(channel);
    QWidget *content = nullptr;
    if (kind == Slider) {
        auto *slider = new frmSlider(m_sink, m_ticker);
        slider->setTag(tag);
        m_sliderForms[slot] = slider;
        content = slider;
    } else {
        auto *presets = new frmPresets(m_sink);
        presets->setTag(tag);
        presets->Form_Load(presetDetails());
        m_presetForms[slot] = presets;
        content = presets;
    }
    showPlaced(content, name);
    return content;
}

void ControlRegistry::showPlaced(QWidget *content, const QString &name)
{
    // Made whole before it joins the workspace: each change of a member's geometry makes the
    // workspace look at all its windows again, which a desk of hundreds would feel.
    auto *window = new QMdiSubWindow;
    // No system menu, no minimize, maximize or close box: the window's own Close puts it away.
    window->setWindowFlags(Qt::SubWindow | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    window->setAttribute(Qt::WA_DeleteOnClose, false);
    // The menu is never reachable without its button; a desk of hundreds need not carry one each.
    window->setSystemMenu(nullptr);
    window->setWidget(content);
    // "[*]" in a title is Qt's placeholder for a modified mark; double it to show it.
    window->setWindowTitle(QString(name).replace(QStringLiteral("[*]"), QStringLiteral("[*][*]")));
    // A fixed border: the window is exactly as large as its content and its title bar.
    window->setFixedSize(window->sizeHint());
    m_area->addSubWindow(window);

    // The workspace has put it in a free spot of its own choosing; it goes along the top
    // instead. Positions are relative to the scrolled viewport; NextLeft is not.
    const QPoint scrolled(m_area->horizontalScrollBar()->value(),
                          m_area->verticalScrollBar()->value());
    window->move(QPoint(m_nextLeft / 12, 0) - scrolled);
    m_nextLeft += window->frameGeometry().width() * 12;
    window->show();
    m_area->setActiveSubWindow(window);
    content->setFocus();

    // Bring the new window into view when it lies past the right edge.
    const int overshoot = window->geometry().right() - m_area->viewport()->width() + 1;
    if (overshoot > 0) {
        QScrollBar *bar = m_area->horizontalScrollBar();
        bar->setMaximum(std::max(bar->maximum(), bar->value() + overshoot));
        bar->setValue(bar->value() + overshoot);
    }
}

int ControlRegistry::askChannel(const QString &secondLine)
{
    const QString prompt = QStringLiteral("Please enter the value of the channel\r") + secondLine;
    for (;;) {
        // Cancel reads as an empty answer, which is no channel: the question comes again.
        const QString answer = m_dialogs.input(QString::fromUtf16(kAppTitle), prompt,
                                               QStringLiteral("0"))
                                       .value_or(QString());
        const std::optional<qint16> channel = ChannelAnswer::read(answer);
        if (channel && ChannelAnswer::isChannel(*channel))
            return *channel;
        m_dialogs.message(Dialogs::Icon::Exclamation, QString::fromUtf16(kAppTitle),
                          QStringLiteral("A Channel Number from 1 to 112 must be entered"));
    }
}

QString ControlRegistry::askName(int channel)
{
    return m_dialogs
            .input(QString::fromUtf16(kAppTitle),
                   QStringLiteral("If you would like to name this channel\rplease enter it here."),
                   QStringLiteral("Ch: %1").arg(channel))
            .value_or(QString());
}

void ControlRegistry::mnuNew_Slider_Click()
{
    const int channel = askChannel(QStringLiteral("that you wish to control with this slider"));
    const QString name = askName(channel);
    ShowNewControl(Slider, channel, name);
}

void ControlRegistry::mnuNew_Preset_Click()
{
    const int channel = askChannel(QStringLiteral("that you wish to control with these Presets."));
    const QString name = askName(channel);
    showPresetDetails(presetDetails());
    ShowNewControl(Preset, channel, name);
}

Preset_Details &ControlRegistry::presetDetails()
{
    if (!m_presetDetails)
        m_presetDetails = new Preset_Details(m_dialogParent);
    return *m_presetDetails;
}
