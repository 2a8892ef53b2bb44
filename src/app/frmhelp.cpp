// The instructions window with the program's credits.
#include "frmhelp.h"

#include "ui/svgicon.h"
#include "ui/svgimage.h"
#include "ui/twips.h"

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

namespace {

QLabel *addLabel(QWidget *parent, const char *name, const QRect &geometry, const QString &text)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setGeometry(geometry);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

} // namespace

frmHelp::frmHelp(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint), m_ok(nullptr)
{
    setObjectName(QStringLiteral("frmHelp"));
    setWindowTitle(QStringLiteral("Instructions"));
    setWindowIcon(svgIcon(QStringLiteral(":/icons/lumidesk.svg")));
    setModal(true);
    resize(twipsSize(6048, 4032));

    auto *frame = new QGroupBox(QStringLiteral("Lumidesk"), this);
    frame->setObjectName(QStringLiteral("Frame1"));
    frame->setGeometry(twipsRect(0, 0, 6015, 3975));
    QFont captionFont = frame->font();
    captionFont.setBold(true);
    captionFont.setPointSizeF(13.8);
    frame->setFont(captionFont);
    // The caption's font is the frame's own; everything inside keeps the normal font, set
    // explicitly so that it does not inherit the caption's.
    QFont normal = font();
    normal.setBold(false);
    normal.setPointSizeF(normal.pointSizeF());
    // The texts lie on a page of their own inside the frame: a titled frame labels its direct
    // children, and a screen reader reads no text that labels or is labelled by something.
    auto *page = new QWidget(frame);
    page->setGeometry(frame->rect());

    const QList<QLabel *> labels{
        addLabel(page, "Label1", twipsRect(120, 360, 5775, 495),
                 QStringLiteral("This program is designed to control the Serilume card from "
                                "Brackwater.")),
        addLabel(page, "Label2", twipsRect(120, 840, 5775, 615),
                 QStringLiteral("The 5 numbered buttons in the toolbar are for selecting which "
                                "COM port you have connected your card to. If you select an "
                                "invalid port (one that is already in use, or does not exist) the "
                                "program will tell you and leave the port closed. ")),
        addLabel(page, "Label3", twipsRect(120, 1560, 5775, 495),
                 QStringLiteral("The indicator beside these buttons shows the status of the COM "
                                "port that has been selected, and by clicking this indicator you "
                                "can open and close the port.")),
        addLabel(page, "Label4", twipsRect(120, 2040, 5535, 735),
                 QStringLiteral("You can add new Sliders and Presets with the 'New' Menu item. "
                                "Enter the channel number, and in the case of presets, the button "
                                "values, and arrange the controls as you wish!")),
        addLabel(page, "Label5", twipsRect(120, 2760, 1095, 255), QStringLiteral("Shortcuts")),
        addLabel(page, "Label8", twipsRect(4605, 2880, 1335, 615),
                 QStringLiteral("Lumidesk, by the Lumidesk team, for Brackwater")),
        addLabel(page, "Label6", twipsRect(120, 3000, 1455, 255),
                 QStringLiteral("Ctrl+S: New Slider")),
        addLabel(page, "Label7", twipsRect(120, 3240, 1335, 255),
                 QStringLiteral("Ctrl+P: New Preset")),
        addLabel(page, "Label9", twipsRect(240, 3600, 5055, 255),
                 QStringLiteral("For further assistance or info, contact "
                                "support@lumidesk.example")),
    };
    for (QLabel *label : labels)
        label->setFont(normal);
    QFont bold = normal;
    bold.setBold(true);
    frame->findChild<QLabel *>(QStringLiteral("Label5"))->setFont(bold);
    frame->findChild<QLabel *>(QStringLiteral("Label9"))->setWordWrap(false);

    auto *bulb = new SvgImage(QStringLiteral(":/icons/bulb.svg"), page);
    bulb->setObjectName(QStringLiteral("Image1"));
    bulb->setGeometry(twipsRect(4128, 2880, 240, 264));
    bulb->setAccessibleName(QStringLiteral("A lit bulb"));

    m_ok = new QPushButton(QStringLiteral("OK"), page);
    m_ok->setObjectName(QStringLiteral("cmdOK"));
    m_ok->setGeometry(twipsRect(2115, 3000, 1335, 375));
    m_ok->setFont(bold);
    // Enter presses OK from anywhere in the window.
    m_ok->setDefault(true);
    m_ok->setFocus();
    connect(m_ok, &QPushButton::clicked, this, &frmHelp::cmdOK_Click);
}

void frmHelp::cmdOK_Click()
{
    // Hidden, not destroyed: the same window shows next time.
    accept();
}

void frmHelp::reject()
{
    cmdOK_Click();
}

void frmHelp::centreOver(QWidget *frame)
{
    QRect area(QPoint(), frameGeometry().size());
    area.moveCenter(frame->frameGeometry().center());
    move(area.topLeft());
}
