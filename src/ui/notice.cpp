// A line that a screen reader speaks as it is given, wherever the focus is.
#include "notice.h"

#include <QAccessibleWidget>

namespace {

QAccessibleInterface *noticeFactory(const QString &key, QObject *object)
{
    if (key == u"Notice" && object->isWidgetType())
        return new QAccessibleWidget(static_cast<QWidget *>(object), QAccessible::Notification);
    return nullptr;
}

} // namespace

Notice::Notice(QWidget *parent) : QWidget(parent)
{
    static const bool installed = (QAccessible::installFactory(noticeFactory), true);
    Q_UNUSED(installed);
    setFixedSize(0, 0);
    hide();
}

void Notice::say(const QString &text)
{
    setAccessibleName(text);
    hide();
    show();
}
