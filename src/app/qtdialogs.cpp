// The real Qt dialogs behind the program's questions and boxes.
#include "qtdialogs.h"

#include "ui/accessibletextbox.h"

#include <QInputDialog>
#include <QMessageBox>
#include <cstdio>
#include <cstdlib>

void QtDialogs::message(Icon icon, const QString &title, const QString &text, const QString &detail)
{
    const QMessageBox::Icon qtIcon = icon == Icon::Question ? QMessageBox::Question
            : icon == Icon::Exclamation                     ? QMessageBox::Warning
                                                            : QMessageBox::Critical;
    QMessageBox box(qtIcon, title, text, QMessageBox::Ok, m_parent);
    if (!detail.isEmpty())
        box.setInformativeText(detail);
    box.exec();
}

bool QtDialogs::askYesNo(const QString &title, const QString &text)
{
    QMessageBox box(QMessageBox::Question, title, text, QMessageBox::Yes | QMessageBox::No,
                    m_parent);
    box.setDefaultButton(QMessageBox::Yes);
    return box.exec() == QMessageBox::Yes;
}

std::optional<QString> QtDialogs::input(const QString &title, const QString &prompt,
                                        const QString &defaultAnswer)
{
    AccessibleTextBox::install(); // before the dialog makes its box
    QInputDialog dialog(m_parent);
    dialog.setWindowTitle(title);
    // The prompt's lines are joined by a carriage return alone; a label breaks on line feeds.
    dialog.setLabelText(QString(prompt).replace(u'\r', u'\n'));
    dialog.setTextValue(defaultAnswer);
    dialog.setInputMode(QInputDialog::TextInput);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.textValue();
}

void QtDialogs::showModal(QDialog &dialog)
{
    dialog.exec();
}

void QtDialogs::endProgram(int exitCode)
{
    // At once: no event loop turn, no further handler. The caller has released the port.
    std::fflush(stdout);
    std::fflush(stderr);
    std::_Exit(exitCode);
}
