// Every control window ever made, and where each new one is placed.
#include "controlregistry.h"

#include "frmpresets.h"
#include "frmslider.h"
#include "ui/twips.h"

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QScrollBar>

ControlRegistry::ControlRegistry(QMdiArea *area, ChannelSink &sink, QObject *parent)
    : QObject(parent), m_area(area), m_sink(sink)
{
}

void ControlRegistry::resetPlacement()
{
    NextLeft = 0;
}

int ControlRegistry::AddFormSlot()
{
    m_forms.append(nullptr);
    return int(m_forms.size()) - 1;
}

void ControlRegistry::ShowNewControl(ControlKind kind, int channel, const QString &name,
                                     const PresetRows &rows)
{
    const int slot = AddFormSlot();
    ControlWindow *content = nullptr;
    if (kind == Slider) {
        content = new frmSlider(m_sink);
    } else {
        auto *presets = new frmPresets(m_sink);
        presets->Form_Load(rows);
        content = presets;
    }
    content->setTag(QString::number(channel));
    content->setCaption(name);
    m_forms[slot] = content;
    place(content);
}

void ControlRegistry::place(ControlWindow *content)
{
    auto *window = new QMdiSubWindow;
    // No system menu, no minimize, maximize or close box: the window's own Close puts it away.
    window->setWindowFlags(Qt::SubWindow | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    window->setAttribute(Qt::WA_DeleteOnClose, false);
    // The menu is never reachable without its button; a desk of hundreds need not carry one each.
    window->setSystemMenu(nullptr);
    window->setWidget(content);
    // "[*]" in a title is Qt's placeholder for a modified mark; double it to show it.
    window->setWindowTitle(
            content->Caption().replace(QStringLiteral("[*]"), QStringLiteral("[*][*]")));
    m_area->addSubWindow(window);
    connect(content, &ControlWindow::closed, this, &ControlRegistry::windowClosed);

    // Sized only now: without a parent the window counts no title bar and would cut its
    // content off by that much. Still hidden, so neither this nor the move makes the
    // workspace look at all its windows again.
    window->setFixedSize(window->sizeHint());
    // The workspace has put it in a free spot of its own choosing; it goes along the top
    // instead. Positions are relative to the scrolled viewport; NextLeft is not.
    const QPoint scrolled(m_area->horizontalScrollBar()->value(),
                          m_area->verticalScrollBar()->value());
    window->move(QPoint(twips(NextLeft), 0) - scrolled);
    NextLeft += pixelsToTwips(window->frameGeometry().width());
    window->show();
    m_area->setActiveSubWindow(window);
    content->setFocus();
    bringIntoView(window);
}

void ControlRegistry::bringIntoView(QMdiSubWindow *window)
{
    // By as little as brings the window's top left corner and as much of the rest as fits
    // into the viewport; positions are relative to the scrolled viewport.
    const QRect placed = window->geometry();
    const QRect view = m_area->viewport()->rect();
    const auto scrollBy = [](QScrollBar *bar, int lo, int hi, int viewLo, int viewHi) {
        const int by = lo < viewLo ? lo - viewLo : std::max(0, std::min(hi - viewHi, lo - viewLo));
        if (by == 0)
            return;
        bar->setMaximum(std::max(bar->maximum(), bar->value() + by));
        bar->setValue(bar->value() + by);
    };
    scrollBy(m_area->horizontalScrollBar(), placed.left(), placed.right(), view.left(),
             view.right());
    scrollBy(m_area->verticalScrollBar(), placed.top(), placed.bottom(), view.top(), view.bottom());
}
