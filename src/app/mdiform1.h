// The main frame: toolbar, menus, the card link and the workspace of control windows.
#pragma once

#include "cardlink/cardlink.h"
#include "controls/channelsink.h"
#include "frmhelp.h"

#include <QMainWindow>
#include <QPointer>
#include <array>
#include <optional>

class ControlRegistry;
class Dialogs;
class QAbstractButton;
class QButtonGroup;
class QFrame;
class QMdiArea;
class QToolButton;
class SvgImage;

class MDIForm1 : public QMainWindow, public ChannelSink
{
    Q_OBJECT

public:
    static constexpr int kPorts = 5;

    MDIForm1(Dialogs &dialogs, PortMap portMap, QWidget *parent = nullptr);
    ~MDIForm1() override;

    // Start-up: opens the first port that can be had and presses its button. False when the
    // program has ended (no port at all).
    bool MDIForm_Load();
    std::optional<int> OpenCOM(int port);

    void optCommSelect_Click(int index);
    void imgConnection_Status_Click(int index);
    void cmdExit_Click();
    void mnuExit_Click() { cmdExit_Click(); }
    void cmdHelp_Click();
    void mnuHelp_Click() { cmdHelp_Click(); }
    void mnuNew_Slider_Click();
    void mnuNew_Preset_Click();

    void SendChannelFrame(const QString &channel, const QString &value) override;

    CardLink &MSComm1() { return m_link; }
    ControlRegistry &registry() { return *m_registry; }
    QMdiArea *mdiArea() const { return m_area; }
    QWidget *Picture1() const { return m_picture1; }
    QAbstractButton *optCommSelect(int index) const;
    SvgImage *imgConnection_Status(int index) const { return m_lamps[index]; }
    QToolButton *cmdHelp() const { return m_cmdHelp; }
    QToolButton *cmdExit() const { return m_cmdExit; }
    frmHelp *helpWindow() const { return m_help; }

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void buildToolbar();
    void buildMenus();
    void showLamp(bool lit);
    void reportOpenFailure(int port, const OpenOutcome &outcome);
    void onLinkLost(int port, const QString &reason);
    void endAtOnce(int exitCode);

    Dialogs &m_dialogs;
    CardLink m_link;
    QWidget *m_picture1 = nullptr;
    QMdiArea *m_area = nullptr;
    ControlRegistry *m_registry = nullptr;
    QButtonGroup *m_optCommSelect = nullptr;
    std::array<SvgImage *, 2> m_lamps {};
    QFrame *m_frame1 = nullptr;
    QToolButton *m_cmdHelp = nullptr;
    QToolButton *m_cmdExit = nullptr;
    QPointer<frmHelp> m_help;
    bool m_ended = false;
};
