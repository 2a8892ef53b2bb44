// A main frame on pseudo-terminal ports with scripted dialogs: the program as a test sees it.
#include "desk.h"

#include "app/svgimage.h"

#include <QAbstractButton>
#include <QMdiSubWindow>

QMdiSubWindow *windowOf(QWidget *control)
{
    return qobject_cast<QMdiSubWindow *>(control->parentWidget());
}

Desk::Desk(bool load)
    : frame(std::make_unique<MDIForm1>(dialogs, ports.map()))
{
    if (load)
        frame->MDIForm_Load();
}

QString Desk::lamp() const
{
    const bool lit = !frame->imgConnection_Status(1)->isHidden();
    const bool unlit = !frame->imgConnection_Status(0)->isHidden();
    if (lit && unlit)
        return QStringLiteral("both");
    if (!lit && !unlit)
        return QStringLiteral("none");
    return lit ? QStringLiteral("lit") : QStringLiteral("unlit");
}

int Desk::checkedPort() const
{
    for (int n = 1; n <= MDIForm1::kPorts; ++n) {
        if (frame->optCommSelect(n)->isChecked())
            return n;
    }
    return 0;
}
