// The instructions window with the program's credits.
#pragma once

#include <QDialog>

class QPushButton;

class frmHelp : public QDialog
{
    Q_OBJECT

public:
    explicit frmHelp(QWidget *parent = nullptr);

    // Escape hides the window as OK does.
    void reject() override;

    void centreOver(QWidget *frame);

private:
    void cmdOK_Click();

    QPushButton *m_ok;
};
