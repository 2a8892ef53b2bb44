// The instructions window with the program's credits.
#pragma once

#include <QDialog>

class QPushButton;

class frmHelp : public QDialog
{
    Q_OBJECT

public:
    explicit frmHelp(QWidget *parent = nullptr);

    QPushButton *cmdOK() const { return m_ok; }
    void cmdOK_Click();

    // Escape hides the window as OK does.
    void reject() override;

    // Shows the window modally, centred over `frame`.
    void showOver(QWidget *frame);

private:
    QPushButton *m_ok;
};
