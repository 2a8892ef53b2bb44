// The real program with five virtual cards on pseudo-terminals in place of COM1 to COM5,
// each printing the frames it receives.
#include "app/appearance.h"
#include "app/mdiform1.h"
#include "app/qtdialogs.h"
#include "virtualcard/virtualcard.h"

#include <QApplication>
#include <QTextStream>
#include <array>
#include <memory>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    Appearance::apply(app);

    std::array<std::unique_ptr<VirtualCard>, MDIForm1::kPorts> cards;
    QTextStream out(stdout);
    for (int n = 1; n <= MDIForm1::kPorts; ++n) {
        cards[n - 1] = std::make_unique<VirtualCard>();
        QObject::connect(cards[n - 1].get(), &VirtualCard::frameReceived, [&out, n](int ch, int v) {
            out << "COM" << n << " ch " << ch << " = " << v << Qt::endl;
        });
        out << "COM" << n << " is " << cards[n - 1]->devicePath() << Qt::endl;
    }
    const PortMap ptys = [&cards](int n) -> QString {
        if (n < 1 || n > int(cards.size()) || !cards[n - 1]->isPlugged())
            return {};
        return cards[n - 1]->devicePath();
    };

    QtDialogs dialogs;
    MDIForm1 frame(dialogs, ptys);
    dialogs.setParentWidget(&frame);
    if (!frame.MDIForm_Load())
        return 1;
    frame.show();
    return app.exec();
}
