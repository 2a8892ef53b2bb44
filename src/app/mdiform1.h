// The main frame: toolbar, menus, the card link and the workspace of control windows.
#pragma once

#include "cardlink/cardlink.h"
#include "controls/channelsink.h"
#include "controls/creationquestions.h"

#include <QMainWindow>
#include <QPointer>
#include <array>
#include <optional>

class ControlRegistry;
class Dialogs;
class QButtonGroup;
class QKeyEvent;
class QMdiArea;
class QMenu;
class Notice;
class SvgImage;
class frmHelp;

class MDIForm1 : public QMainWindow, public ChannelSink
{
    Q_OBJECT

public:
    MDIForm1(Dialogs &dialogs, PortMap portMap, QWidget *parent = nullptr);
    ~MDIForm1() override;

    // Start-up: opens the first port that can be had and presses its button. False when the
    // program has ended (no port at all).
    bool MDIForm_Load();

    void SendChannelFrame(const QString &channel, const QString &value) override;

    // For views that follow the link, such as the demo's card monitor: they can read it and
    // hear its signals, never send or open.
    const CardLink &MSComm1() const { return m_link; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    // Where start-up's search for a port stopped, and how the port there answered.
    struct Opened
    {
        int port;
        OpenOutcome outcome;
    };
    std::optional<Opened> OpenCOM(int port);
    void buildToolbar();
    void buildMenus();
    void listWindows(QMenu *mnuNew);
    // Once the frame is active again after the menu.
    void focusChosen();
    // F6 and Shift+F6: the focus goes from the toolbar to the workspace and back.
    void switchPane();
    // To the control window last active that is showing; false when none is.
    bool focusWorkspace(Qt::FocusReason reason);
    void focusPort(Qt::FocusReason reason);
    // The arrows among the toolbar's buttons; true when the key was taken.
    bool toolbarKey(QWidget *control, QKeyEvent *event);
    void optCommSelect_Click(int index);
    void imgConnection_Status_Click(int index);
    void cmdExit_Click();
    void mnuExit_Click() { cmdExit_Click(); }
    void cmdHelp_Click();
    void mnuHelp_Click() { cmdHelp_Click(); }
    void mnuNew_Slider_Click();
    void mnuNew_Preset_Click();
    // The lamp and its announcement follow the link's open state.
    void followLink();
    void reportOpenFailure(int port, const OpenOutcome &outcome);
    void onLinkLost(int port, const QString &reason);
    void endAtOnce(int exitCode);

    Dialogs &m_dialogs;
    CardLink m_link;
    QWidget *m_picture1 = nullptr;
    QMdiArea *m_area = nullptr;
    ControlRegistry *m_registry = nullptr;
    CreationQuestions m_questions;
    QButtonGroup *m_optCommSelect = nullptr;
    std::array<SvgImage *, 2> m_lamps{};
    Notice *m_lampNotice = nullptr; // says the port opened or closed, whatever did it
    QList<QWidget *> m_toolbarOrder; // as Tab and the arrows walk them
    QPointer<frmHelp> m_help;
    QPointer<QWidget> m_chosen; // from the window list, to take the focus once the frame is active
    bool m_ended = false;
};
