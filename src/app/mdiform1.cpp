// The main frame: toolbar, menus, the card link and the workspace of control windows.
#include "mdiform1.h"

#include "appearance.h"
#include "controls/controlregistry.h"
#include "frmhelp.h"
#include "ui/apptitle.h"
#include "ui/dialogs.h"
#include "ui/notice.h"
#include "ui/svgimage.h"
#include "ui/twips.h"

#include <QAbstractButton>
#include <QApplication>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QMdiArea>
#include <QMenuBar>
#include <QTimer>
#include <QVBoxLayout>

MDIForm1::MDIForm1(Dialogs &dialogs, PortMap portMap, QWidget *parent)
    : QMainWindow(parent),
      m_dialogs(dialogs),
      m_link(std::move(portMap)),
      m_questions(dialogs, this)
{
    setObjectName(QStringLiteral("MDIForm1"));
    setWindowTitle(appTitle());
    m_dialogs.setParentWidget(this);

    auto *central = new QWidget(this);
    auto *column = new QVBoxLayout(central);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    m_picture1 = new QWidget(central);
    m_picture1->setObjectName(QStringLiteral("Picture1"));
    m_picture1->setFixedHeight(twips(360));
    m_picture1->setAutoFillBackground(true);
    m_picture1->setBackgroundRole(QPalette::Button);
    m_picture1->installEventFilter(this);
    column->addWidget(m_picture1);
    m_area = new QMdiArea(central);
    m_area->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_area->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    column->addWidget(m_area, 1);
    setCentralWidget(central);

    m_registry = new ControlRegistry(m_area, *this, this);
    buildToolbar();
    buildMenus();
    // A hidden window would keep the keys, and its slider would go on sending: the focus goes
    // to the window active before it, or to the port in use when no window is showing.
    connect(m_registry, &ControlRegistry::windowClosed, this, [this] {
        if (!focusWorkspace(Qt::OtherFocusReason))
            focusPort(Qt::OtherFocusReason);
    });

    connect(&m_link, &CardLink::stateChanged, this, &MDIForm1::followLink);
    // Queued: the box must not open inside the serial port's own error handling.
    connect(&m_link, &CardLink::lost, this, &MDIForm1::onLinkLost, Qt::QueuedConnection);

    // The client area below the menu bar is 9564 x 7680 twips.
    resize(twips(9564), twips(7680) + menuBar()->sizeHint().height());
    move(twips(1128), twips(708));
}

MDIForm1::~MDIForm1() = default;

bool MDIForm1::MDIForm_Load()
{
    m_registry->resetPlacement();
    const std::optional<Opened> opened = OpenCOM(1);
    if (!opened)
        return false;
    m_optCommSelect->button(opened->port)->setChecked(true);
    // The port that opened stays open: closing it to open it again would drop DTR and RTS,
    // a reset pulse for a card that resets on them. One that failed in another way says why;
    // its button stays down, so that the lamp retries it.
    if (!opened->outcome.ok())
        reportOpenFailure(opened->port, opened->outcome);
    return true;
}

std::optional<MDIForm1::Opened> MDIForm1::OpenCOM(int port)
{
    QStringList answers;
    for (;;) {
        m_link.setCommPort(port);
        const OpenOutcome outcome = m_link.setPortOpen(true);
        if (outcome.failure != PortFailure::NoSuchPort && outcome.failure != PortFailure::Held)
            return Opened{ port, outcome };
        answers << QStringLiteral("COM%1: %2").arg(port).arg(outcome.reason);
        ++port;
        if (port > kLastStartupPort) {
            Appearance::showProgramIcon();
            m_dialogs.message(Dialogs::Icon::Critical, QStringLiteral("Fatal Error"),
                              QStringLiteral("A valid COM port cannot be found"),
                              answers.join(u'\n'));
            endAtOnce(1);
            return std::nullopt;
        }
    }
}

void MDIForm1::optCommSelect_Click(int index)
{
    if (m_link.portOpen())
        m_link.setPortOpen(false);
    m_link.setCommPort(index);
    const OpenOutcome outcome = m_link.setPortOpen(true);
    if (!outcome.ok()) {
        // The button stays down, so that the lamp retries this port.
        reportOpenFailure(index, outcome);
    }
}

void MDIForm1::imgConnection_Status_Click(int)
{
    // The lamp shows the link's state, and changes only when the link does: a retry that
    // fails leaves it unlit.
    if (m_link.portOpen()) {
        m_link.setPortOpen(false);
    } else if (const OpenOutcome outcome = m_link.setPortOpen(true); !outcome.ok()) {
        reportOpenFailure(m_link.commPort(), outcome);
    }
}

void MDIForm1::reportOpenFailure(int port, const OpenOutcome &outcome)
{
    m_dialogs.message(Dialogs::Icon::Critical, appTitle(),
                      QStringLiteral("COM%1 cannot be opened: %2").arg(port).arg(outcome.reason));
}

void MDIForm1::onLinkLost(int port, const QString &reason)
{
    m_dialogs.message(Dialogs::Icon::Critical, appTitle(),
                      QStringLiteral("COM%1 was lost: %2").arg(port).arg(reason));
}

void MDIForm1::followLink()
{
    // The lamp is two pictures in one place; the focus stays on the lamp as it changes, and a
    // screen reader hears each change once, wherever the focus is, a reconnection included.
    const bool lit = m_link.portOpen();
    if (m_lamps[1]->isHidden() != lit)
        return;
    const bool focused = m_lamps[0]->hasFocus() || m_lamps[1]->hasFocus();
    m_lamps[lit ? 1 : 0]->show();
    if (focused)
        m_lamps[lit ? 1 : 0]->setFocus(Qt::OtherFocusReason);
    m_lamps[lit ? 0 : 1]->hide();
    m_lampNotice->say(
            QStringLiteral("COM%1 %2").arg(m_link.commPort()).arg(lit ? "open" : "closed"));
}

void MDIForm1::SendChannelFrame(const QString &channel, const QString &value)
{
    switch (m_link.SendChannelFrame(channel, value)) {
    case CardLink::SendOutcome::BadChannel:
        m_dialogs.message(Dialogs::Icon::Exclamation, appTitle(),
                          QStringLiteral("The channel \"%1\" cannot be sent: it must be a number "
                                         "from 0 to 255.")
                                  .arg(channel));
        break;
    case CardLink::SendOutcome::BadValue:
        m_dialogs.message(Dialogs::Icon::Exclamation, appTitle(),
                          QStringLiteral("The level \"%1\" cannot be sent: it must be a number "
                                         "from 0 to 255.")
                                  .arg(value));
        break;
    case CardLink::SendOutcome::LineLost: // the lamp and the box follow the link's own report
    case CardLink::SendOutcome::Sent:
    case CardLink::SendOutcome::PortClosed:
        break;
    }
}

void MDIForm1::cmdExit_Click()
{
    if (m_dialogs.askYesNo(QStringLiteral("Exit?"),
                           QStringLiteral("Please confirm that you wish to exit")))
        endAtOnce(0);
}

void MDIForm1::cmdHelp_Click()
{
    if (!m_help)
        m_help = new frmHelp(this);
    m_help->centreOver(this);
    m_dialogs.showModal(*m_help);
}

void MDIForm1::mnuNew_Slider_Click()
{
    const int channel = m_questions.askChannel(ControlRegistry::Slider);
    const QString name = m_questions.askName(channel);
    m_registry->ShowNewControl(ControlRegistry::Slider, channel, name);
}

void MDIForm1::mnuNew_Preset_Click()
{
    const int channel = m_questions.askChannel(ControlRegistry::Preset);
    const QString name = m_questions.askName(channel);
    // After both questions; there is no Cancel, so the window is always made.
    const PresetRows rows = m_questions.askPresets();
    m_registry->ShowNewControl(ControlRegistry::Preset, channel, name, rows);
}

bool MDIForm1::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress && m_toolbarOrder.contains(watched)
        && toolbarKey(static_cast<QWidget *>(watched), static_cast<QKeyEvent *>(event)))
        return true;
    // The toolbar strip is in the first picture the frame draws; the icon can wait for it.
    if (watched == m_picture1 && event->type() == QEvent::Paint) {
        m_picture1->removeEventFilter(this);
        QTimer::singleShot(0, this, &Appearance::showProgramIcon);
    }
    return QMainWindow::eventFilter(watched, event);
}

void MDIForm1::closeEvent(QCloseEvent *event)
{
    // The close box ends the program without asking.
    event->accept();
    endAtOnce(0);
}

void MDIForm1::endAtOnce(int exitCode)
{
    if (m_ended)
        return;
    m_ended = true;
    // Every window goes at once, a box showing included; what the port still holds goes out
    // after, within the stall window, while nothing of the desk acts any more.
    for (QWidget *window : QApplication::topLevelWidgets())
        window->hide();
    m_link.release();
    m_dialogs.endProgram(exitCode);
}
