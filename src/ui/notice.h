// A line that a screen reader speaks as it is given, wherever the focus is: what the desk tells
// without a box, such as the port opening or closing. Nothing of it is seen.
#pragma once

#include <QWidget>

class Notice : public QWidget
{
    Q_OBJECT

public:
    explicit Notice(QWidget *parent = nullptr);

    // A notification is spoken when it shows: it shows anew, named `text`.
    void say(const QString &text);
};
