// The real Qt dialogs behind the program's questions and boxes.
#pragma once

#include "ui/dialogs.h"

#include <QPointer>
#include <QWidget>

class QtDialogs : public Dialogs
{
public:
    void setParentWidget(QWidget *parent) override { m_parent = parent; }

    void message(Icon icon, const QString &title, const QString &text,
                 const QString &detail) override;
    bool askYesNo(const QString &title, const QString &text) override;
    std::optional<QString> input(const QString &title, const QString &prompt,
                                 const QString &defaultAnswer) override;
    void showModal(QDialog &dialog) override;
    void endProgram(int exitCode) override;

private:
    QPointer<QWidget> m_parent;
};
