// zonesim: plays the zone controller on a pseudo-terminal (or a device) for
// the console, logging every frame and sending remote keys on command.

#include "controllerstate.h"
#include "ptyline.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QSocketNotifier>
#include <QTextStream>
#include <QTimer>

#include <csignal>
#include <unistd.h>

namespace {
int g_signalPipe[2] = {-1, -1};

void onSignal(int)
{
    const char c = 1;
    [[maybe_unused]] const auto n = ::write(g_signalPipe[1], &c, 1);
}

QSet<int> parseAddresses(const QString &text)
{
    // "1-20,100,101"
    QSet<int> set;
    for (const QString &part : text.split(u',', Qt::SkipEmptyParts)) {
        const QStringList range = part.split(u'-');
        const int from = range.value(0).toInt();
        const int to = range.size() > 1 ? range.value(1).toInt() : from;
        for (int a = from; a <= to && a <= 255; ++a)
            set.insert(a);
    }
    return set;
}
} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("zonesim"));
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Zone controller simulator. Commands on standard input: \"key N\" (or just N) sends remote "
        "key N, "
        "\"send HEX\" sends raw bytes, \"silence N\" makes terminal N stop answering status "
        "queries "
        "and \"answer N\" lets it answer again, \"state\" prints what is on and the audio matrix, "
        "\"quit\" ends."));
    parser.addHelpOption();
    const QCommandLineOption link(
        {QStringLiteral("l"), QStringLiteral("link")},
        QStringLiteral("Symbolic link to the pseudo-terminal (default /tmp/quellon-zonesim)."),
        QStringLiteral("path"), QStringLiteral("/tmp/quellon-zonesim"));
    const QCommandLineOption device(
        {QStringLiteral("d"), QStringLiteral("device")},
        QStringLiteral("Use this serial device instead of a pseudo-terminal."),
        QStringLiteral("path"));
    const QCommandLineOption terminals(
        {QStringLiteral("t"), QStringLiteral("terminals")},
        QStringLiteral("Terminals that answer status queries, e.g. 1-20,100 (default 0-255)."),
        QStringLiteral("list"), QStringLiteral("0-255"));
    const QCommandLineOption cv(QStringLiteral("cv"),
                                QStringLiteral("Constant-voltage terminals (reply 8888)."),
                                QStringLiteral("list"));
    const QCommandLineOption answerDelay(
        QStringLiteral("answer-delay"),
        QStringLiteral("Milliseconds after a status query before the terminal answers (default "
                       "150: after the console's longest send delay, inside its shortest reply "
                       "window)."),
        QStringLiteral("ms"), QStringLiteral("150"));
    parser.addOptions({link, device, terminals, cv, answerDelay});
    parser.process(app);

    QTextStream out(stdout);
    const auto print = [&out](const QString &line) {
        out << line << '\n';
        out.flush();
    };

    bool delayValid = false;
    const int answerDelayMs = parser.value(answerDelay).toInt(&delayValid);
    if (!delayValid || answerDelayMs < 0) {
        QTextStream(stderr) << "zonesim: --answer-delay takes milliseconds\n";
        return 1;
    }

    ControllerState controller;
    controller.setConfiguredTerminals(parseAddresses(parser.value(terminals)));
    controller.setConstantVoltage(parseAddresses(parser.value(cv)));

    PtyLine line;
    QString error;
    const bool opened = parser.isSet(device) ? line.openDevice(parser.value(device), &error)
                                             : line.openPty(parser.value(link), &error);
    if (!opened) {
        QTextStream(stderr) << "zonesim: " << error << '\n';
        return 1;
    }
    print(parser.isSet(device) ? QStringLiteral("zonesim: listening on %1").arg(line.slavePath())
                               : QStringLiteral("zonesim: listening on %1 (link %2)")
                                     .arg(line.slavePath(), parser.value(link)));

    QObject::connect(&line, &PtyLine::received, &app, [&](const QByteArray &bytes) {
        const QByteArray reply = controller.receive(bytes);
        for (const QString &l : controller.takeLog())
            print(l);
        if (!reply.isEmpty())
            line.write(reply);
        const QByteArray answers = controller.takeTerminalAnswers();
        if (!answers.isEmpty())
            QTimer::singleShot(answerDelayMs, &line, [&line, answers] { line.write(answers); });
    });

    // Standard input: commands; its end is not the simulator's end.
    auto *input = new QSocketNotifier(STDIN_FILENO, QSocketNotifier::Read, &app);
    QByteArray pending;
    QObject::connect(input, &QSocketNotifier::activated, &app, [&] {
        char buffer[256];
        const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (n <= 0) {
            input->setEnabled(false);
            return;
        }
        pending.append(buffer, int(n));
        qsizetype eol;
        while ((eol = pending.indexOf('\n')) >= 0) {
            const QString command = QString::fromUtf8(pending.left(eol)).trimmed();
            pending.remove(0, eol + 1);
            const QStringList words = command.split(u' ', Qt::SkipEmptyParts);
            if (words.isEmpty())
                continue;
            bool isNumber = false;
            const int bare = words.at(0).toInt(&isNumber);
            if (words.at(0) == u"quit") {
                QCoreApplication::quit();
            } else if (words.at(0) == u"state") {
                print(controller.summary());
            } else if (words.at(0) == u"key" || isNumber) {
                const int k = isNumber ? bare : words.value(1).toInt();
                line.write(QByteArray(1, char(k)));
                print(QStringLiteral("key %1 sent").arg(k));
            } else if ((words.at(0) == u"silence" || words.at(0) == u"answer")
                       && words.size() == 2) {
                bool valid = false;
                const int address = words.at(1).toInt(&valid);
                if (!valid || address < 0 || address > 255) {
                    print(QStringLiteral("unknown command: %1").arg(command));
                    continue;
                }
                const bool silent = words.at(0) == u"silence";
                controller.setSilent(address, silent);
                print(silent ? QStringLiteral("terminal %1 silent").arg(address)
                             : QStringLiteral("terminal %1 answers").arg(address));
            } else if (words.at(0) == u"send") {
                const QByteArray bytes
                    = QByteArray::fromHex(words.mid(1).join(QString()).toLatin1());
                line.write(bytes);
                print(
                    QStringLiteral("sent %1").arg(QString::fromLatin1(bytes.toHex(' ').toUpper())));
            } else {
                print(QStringLiteral("unknown command: %1").arg(command));
            }
        }
    });

    // Ctrl-C and kill end it cleanly, taking the link away.
    if (::pipe(g_signalPipe) == 0) {
        auto *signals = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, &app);
        QObject::connect(signals, &QSocketNotifier::activated, &app, &QCoreApplication::quit);
        std::signal(SIGINT, onSignal);
        std::signal(SIGTERM, onSignal);
    }
    return QCoreApplication::exec();
}
