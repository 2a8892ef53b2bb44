// The demo's command line: which ports start without a card or held by another program.
#include "demooptions.h"

#include "cardlink/portmap.h"

namespace {

bool parsePorts(const QString &list, QSet<int> *ports)
{
    for (const QString &item : list.split(u',', Qt::SkipEmptyParts)) {
        bool ok = false;
        const int n = item.trimmed().toInt(&ok);
        if (!ok || n < 1 || n > kComPorts)
            return false;
        ports->insert(n);
    }
    return true;
}

} // namespace

DemoOptions DemoOptions::parse(const QStringList &arguments)
{
    DemoOptions options;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &arg = arguments[i];
        if (arg == u"--help" || arg == u"-h") {
            options.help = true;
        } else if (arg == u"--no-monitor") {
            options.monitor = false;
        } else if (arg == u"--missing" || arg == u"--busy" || arg == u"--screenshots") {
            if (i + 1 >= arguments.size()) {
                options.error = QStringLiteral("%1 needs a value").arg(arg);
                return options;
            }
            const QString value = arguments[++i];
            if (arg == u"--screenshots") {
                options.screenshotDir = value;
            } else if (!parsePorts(value, arg == u"--missing" ? &options.missing : &options.busy)) {
                options.error = QStringLiteral("%1 takes COM numbers from 1 to 5, such as 1,2: "
                                               "\"%2\"")
                                        .arg(arg, value);
                return options;
            }
        } else {
            options.error = QStringLiteral("unknown option \"%1\"").arg(arg);
            return options;
        }
    }
    return options;
}

QString DemoOptions::usage()
{
    return QStringLiteral(
            "Usage: lumidesk-demo [--missing N,...] [--busy N,...] [--screenshots DIR] "
            "[--no-monitor]\n"
            "\n"
            "Runs Lumidesk with COM1 to COM5 on virtual cards (pseudo-terminals). Every frame\n"
            "a card receives is printed as \"COM3 ch 12 = 200\", half a frame as \"COM3 ch 12 has\n"
            "no value\"; the card monitor window shows the card on the selected port.\n"
            "\n"
            "  --missing N,...     start with no card on these COM numbers (\"Plug in\" on the\n"
            "                      monitor brings one)\n"
            "  --busy N,...        hold these ports open with exclusive access, as another\n"
            "                      program would\n"
            "  --screenshots DIR   build a typical desk, save pictures of it to DIR, and end\n"
            "  --no-monitor        no card monitor window\n"
            "  --help              this text\n"
            "\n"
            "Try: lumidesk-demo --missing 1,2 --busy 3   (start-up falls back to COM4)\n");
}
