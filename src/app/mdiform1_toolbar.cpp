// The main frame's toolbar strip and menu bar.
#include "mdiform1.h"

#include "controls/controlregistry.h"
#include "controls/controlwindow.h"
#include "ui/notice.h"
#include "ui/pressbutton.h"
#include "ui/svgicon.h"
#include "ui/svgimage.h"
#include "ui/twips.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QButtonGroup>
#include <QKeyEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QShortcut>
#include <QTimer>
#include <QWindow>
#include <QFrame>
#include <QMenuBar>

void MDIForm1::buildToolbar()
{
    // Everything sits at fixed places in a 360-twip strip that clips what reaches past it.
    m_optCommSelect = new QButtonGroup(this);
    m_optCommSelect->setExclusive(true);
    QFont portFont = font();
    portFont.setBold(true);
    portFont.setPointSizeF(7.8);
    for (int n = 1; n <= kComPorts; ++n) {
        auto *button = new PressButton(m_picture1);
        button->setObjectName(QStringLiteral("optCommSelect%1").arg(n));
        button->setText(QString::number(n));
        button->setFont(portFont);
        button->setCheckable(true);
        button->setGeometry(twipsRect(375 * (n - 1), 0, 375, 375));
        button->setToolTip(QStringLiteral("Use COM%1 to send data").arg(n));
        button->setAccessibleName(QStringLiteral("COM%1").arg(n));
        button->setFocusPolicy(Qt::StrongFocus);
        m_optCommSelect->addButton(button, n);
        m_toolbarOrder << button;
    }
    // A click on the button already down runs the selection again: that is how an operator
    // reconnects.
    connect(m_optCommSelect, &QButtonGroup::idClicked, this, &MDIForm1::optCommSelect_Click);

    const QStringList lamps{ QStringLiteral(":/icons/lamp-off.svg"),
                             QStringLiteral(":/icons/lamp-on.svg") };
    for (int i = 0; i < 2; ++i) {
        auto *lamp = new SvgImage(lamps[i], m_picture1);
        lamp->setObjectName(QStringLiteral("imgConnection_Status%1").arg(i));
        lamp->setGeometry(twipsRect(1872, -48, 384, 384));
        lamp->setToolTip(QStringLiteral("Toggle the COM port status (open/closed)"));
        lamp->setAccessibleName(i == 0 ? QStringLiteral("COM port closed")
                                       : QStringLiteral("COM port open"));
        lamp->setChecked(i == 1);
        lamp->setFocusPolicy(Qt::StrongFocus);
        lamp->setCursor(Qt::PointingHandCursor);
        connect(lamp, &SvgImage::clicked, this, [this, i] { imgConnection_Status_Click(i); });
        m_lamps[i] = lamp;
        m_toolbarOrder << lamp;
    }
    m_lamps[1]->hide();
    m_lampNotice = new Notice(m_picture1);

    auto *frame1 = new QFrame(m_picture1);
    frame1->setObjectName(QStringLiteral("Frame1"));
    frame1->setFrameShape(QFrame::Box);
    frame1->setFrameShadow(QFrame::Sunken);
    frame1->setGeometry(twipsRect(2400, -120, 975, 615));

    // The picture buttons, framed by Frame1; each picture is 20 x 22 pixels.
    const auto pictureButton = [&](const char *name, int left, const char *picture,
                                   const QString &tip, const QString &accessible) {
        auto *button = new PressButton(frame1);
        button->setObjectName(QLatin1String(name));
        button->setGeometry(twipsRect(left, 120, 375, 375));
        button->setIcon(svgIcon(QLatin1String(picture)));
        button->setIconSize(QSize(20, 22));
        button->setToolTip(tip);
        button->setAccessibleName(accessible);
        button->setFocusPolicy(Qt::StrongFocus);
        m_toolbarOrder << button;
        return button;
    };
    connect(pictureButton("cmdHelp", 120, ":/icons/help.svg", QStringLiteral("How to use Lumidesk"),
                          QStringLiteral("Help")),
            &PressButton::clicked, this, &MDIForm1::cmdHelp_Click);
    connect(pictureButton("cmdExit", 480, ":/icons/exit.svg", QStringLiteral("Exit Application"),
                          QStringLiteral("Exit")),
            &PressButton::clicked, this, &MDIForm1::cmdExit_Click);

    for (QWidget *w : std::as_const(m_toolbarOrder))
        w->installEventFilter(this);
    // The desktop's way between panes: from the toolbar to the workspace and back.
    for (const QKeySequence &keys :
         { QKeySequence(Qt::Key_F6), QKeySequence(Qt::SHIFT | Qt::Key_F6) })
        connect(new QShortcut(keys, this), &QShortcut::activated, this, &MDIForm1::switchPane);
}

bool MDIForm1::toolbarKey(QWidget *control, QKeyEvent *event)
{
    // The arrows only move the focus: a port changes only when the operator presses one.
    const int key = event->key();
    const bool back = key == Qt::Key_Left || key == Qt::Key_Up;
    if (back || key == Qt::Key_Right || key == Qt::Key_Down) {
        QList<QWidget *> reachable;
        for (QWidget *w : std::as_const(m_toolbarOrder)) {
            if (w->isVisibleTo(m_picture1))
                reachable << w;
        }
        const qsizetype at = reachable.indexOf(control);
        const qsizetype n = reachable.size();
        reachable[(at + (back ? n - 1 : 1)) % n]->setFocus(Qt::TabFocusReason);
        return true;
    }
    return false;
}

void MDIForm1::switchPane()
{
    if (!m_picture1->isAncestorOf(focusWidget()))
        focusPort(Qt::ShortcutFocusReason);
    else if (!focusWorkspace(Qt::ShortcutFocusReason))
        m_area->setFocus(Qt::ShortcutFocusReason);
}

void MDIForm1::focusPort(Qt::FocusReason reason)
{
    QAbstractButton *port = m_optCommSelect->checkedButton();
    (port ? port : m_optCommSelect->button(1))->setFocus(reason);
}

bool MDIForm1::focusWorkspace(Qt::FocusReason reason)
{
    // The active window comes last in the history; a closed one can still be it.
    QMdiSubWindow *window = nullptr;
    const QList<QMdiSubWindow *> all = m_area->subWindowList(QMdiArea::ActivationHistoryOrder);
    for (auto it = all.rbegin(); it != all.rend() && !window; ++it)
        window = (*it)->isHidden() ? nullptr : *it;
    if (!window)
        return false;
    m_area->setActiveSubWindow(window);
    QWidget *last = window->widget()->focusWidget();
    (last ? last : window->widget())->setFocus(reason);
    return true;
}

void MDIForm1::buildMenus()
{
    // Each command that opens a box runs after the press that chose it has returned: a screen
    // reader, a voice or a switch tool presses an item and waits for the answer, which would
    // otherwise come only once the box was closed.
    const auto queued = Qt::QueuedConnection;
    QMenu *mnuNew = menuBar()->addMenu(QStringLiteral("&New"));
    mnuNew->setObjectName(QStringLiteral("mnuNew"));
    QAction *slider = mnuNew->addAction(QStringLiteral("&Slider"));
    slider->setObjectName(QStringLiteral("mnuNew_Slider"));
    slider->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    connect(slider, &QAction::triggered, this, &MDIForm1::mnuNew_Slider_Click, queued);
    QAction *preset = mnuNew->addAction(QStringLiteral("&Preset"));
    preset->setObjectName(QStringLiteral("mnuNew_Preset"));
    preset->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
    connect(preset, &QAction::triggered, this, &MDIForm1::mnuNew_Preset_Click, queued);
    connect(mnuNew, &QMenu::aboutToShow, this, [this, mnuNew] { listWindows(mnuNew); });
    connect(qApp, &QGuiApplication::focusWindowChanged, this, &MDIForm1::focusChosen);

    // Help and Exit are commands on the menu bar itself.
    QAction *help = menuBar()->addAction(QStringLiteral("&Help"));
    help->setObjectName(QStringLiteral("mnuHelp"));
    connect(help, &QAction::triggered, this, &MDIForm1::mnuHelp_Click, queued);
    QAction *exit = menuBar()->addAction(QStringLiteral("E&xit"));
    exit->setObjectName(QStringLiteral("mnuExit"));
    connect(exit, &QAction::triggered, this, &MDIForm1::mnuExit_Click, queued);
}

void MDIForm1::listWindows(QMenu *mnuNew)
{
    // Below New's two items, every control window that is showing, so that a keyboard or
    // screen-reader operator can reach one among forty; closed windows are not listed.
    const QList<QAction *> items = mnuNew->actions();
    for (qsizetype i = 2; i < items.size(); ++i)
        delete items[i];
    int number = 0;
    for (ControlWindow *content : m_registry->forms()) {
        auto *window = qobject_cast<QMdiSubWindow *>(content->parentWidget());
        if (window->isHidden())
            continue;
        if (number++ == 0)
            mnuNew->addSeparator();
        const QString name = QString(content->Caption()).replace(u'&', QStringLiteral("&&"));
        const QString text = QStringLiteral("%1 (channel %2)").arg(name, content->Tag());
        QAction *item = mnuNew->addAction(
                number <= 9 ? QStringLiteral("&%1 %2").arg(number).arg(text) : text);
        connect(item, &QAction::triggered, this, [this, mnuNew, window = QPointer(window)] {
            // A click closes the menu before it chooses; a screen reader's press does not.
            mnuNew->hide();
            if (!window)
                return;
            m_area->setActiveSubWindow(window);
            m_registry->bringIntoView(window);
            // A screen reader follows only the last focus change, and the frame is active again
            // only after the menu has gone: the control takes the focus then.
            m_chosen = window->widget();
            activateWindow();
            QTimer::singleShot(0, this, &MDIForm1::focusChosen);
        });
    }
}

void MDIForm1::focusChosen()
{
    if (!m_chosen || QGuiApplication::focusWindow() != windowHandle()
        || QApplication::activePopupWidget())
        return;
    m_chosen->setFocus(Qt::OtherFocusReason);
    m_chosen = nullptr;
    // The control had the focus back already as the menu closed, before the frame was active
    // again; a screen reader heard that, then the frame. It is told the focus once more.
    if (QWidget *control = QApplication::focusWidget()) {
        QAccessibleEvent focused(control, QAccessible::Focus);
        QAccessible::updateAccessibility(&focused);
    }
}
