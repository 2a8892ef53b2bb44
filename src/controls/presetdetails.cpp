// The dialog in which the ten presets of a new preset window are named and given levels.
#include "presetdetails.h"

#include "ui/accessibletextbox.h"
#include "ui/svgicon.h"
#include "ui/twips.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

Preset_Details::Preset_Details(QWidget *parent)
    : QDialog(parent,
              Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                      | Qt::MSWindowsFixedSizeDialogHint),
      m_ok(new QPushButton(QStringLiteral("OK"), this))
{
    AccessibleTextBox::install(); // before the boxes are made
    setObjectName(QStringLiteral("Preset_Details"));
    setWindowTitle(QStringLiteral("Set Presets"));
    setWindowIcon(svgIcon(QStringLiteral(":/icons/preset-hand.svg")));
    setFixedSize(twipsSize(2088, 4572));
    move(twips(4908), twips(2160));

    auto *nameHeading = new QLabel(QStringLiteral("Preset Name"), this);
    nameHeading->setObjectName(QStringLiteral("Label1"));
    nameHeading->setGeometry(twipsRect(240, 120, 975, 255));
    nameHeading->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    auto *valueHeading = new QLabel(QStringLiteral("Value"), this);
    valueHeading->setObjectName(QStringLiteral("Label2"));
    valueHeading->setGeometry(twipsRect(1440, 120, 615, 255));

    QWidget *previous = nullptr;
    for (int i = 0; i < kRows; ++i) {
        const int top = 360 + 360 * i;
        m_names[i] = new QLineEdit(this);
        m_names[i]->setObjectName(QStringLiteral("Preset_Name%1").arg(i));
        m_names[i]->setGeometry(twipsRect(240, top, 1095, 285));
        m_names[i]->setMaxLength(kNameLength);
        m_names[i]->setAlignment(Qt::AlignCenter);
        m_names[i]->setAccessibleName(QStringLiteral("Preset %1 name").arg(i + 1));
        m_values[i] = new QLineEdit(QStringLiteral("0"), this);
        m_values[i]->setObjectName(QStringLiteral("Preset_Value%1").arg(i));
        m_values[i]->setGeometry(twipsRect(1440, top, 375, 285));
        m_values[i]->setAlignment(Qt::AlignCenter);
        m_values[i]->setAccessibleName(QStringLiteral("Preset %1 value").arg(i + 1));
        if (previous)
            setTabOrder(previous, m_names[i]);
        setTabOrder(m_names[i], m_values[i]);
        previous = m_values[i];
    }

    m_ok->setObjectName(QStringLiteral("OK_Button"));
    m_ok->setGeometry(twipsRect(375, 4080, 1335, 375));
    // Neither default nor cancel: Enter in a row must not end the dialog half filled.
    m_ok->setAutoDefault(false);
    m_ok->setDefault(false);
    setTabOrder(previous, m_ok);
    connect(m_ok, &QPushButton::clicked, this, &Preset_Details::OK_Button_Click);
}

PresetRows Preset_Details::rows() const
{
    PresetRows rows;
    for (int i = 0; i < kRows; ++i)
        rows[i] = { m_names[i]->text(), m_values[i]->text() };
    return rows;
}

void Preset_Details::OK_Button_Click()
{
    // Hidden, not destroyed: the rows are the starting contents for the next preset window.
    accept();
}

void Preset_Details::reject()
{
    OK_Button_Click();
}

void Preset_Details::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Escape:
    case Qt::Key_Enter:
    case Qt::Key_Return:
        event->accept();
        return;
    default:
        QDialog::keyPressEvent(event);
    }
}

void Preset_Details::showEvent(QShowEvent *event)
{
    // Each showing starts at the first row, the way the tab order runs.
    QDialog::showEvent(event);
    m_names[0]->setFocus(Qt::TabFocusReason);
}
