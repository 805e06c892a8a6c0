// quellon-ctl: the console's web control from a script or a terminal.

#include "ctlclient.h"

#include <QCoreApplication>
#include <QTimer>

#include <cstdio>

namespace {

void print(std::FILE *stream, const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fflush(stream);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("quellon-ctl"));

    const Ctl::Parsed parsed = Ctl::parseArguments(QCoreApplication::arguments().mid(1));
    if (parsed.kind == Ctl::Parsed::Kind::Help) {
        print(stdout, Ctl::helpText());
        return Ctl::Done;
    }
    if (parsed.kind == Ctl::Parsed::Kind::Usage) {
        print(stderr, parsed.error + QStringLiteral("\n用 quellon-ctl --help 查看用法。\n"));
        return Ctl::Usage;
    }
    const Ctl::Password password = Ctl::readPassword(parsed.options, qgetenv("QUELLON_PASSWORD"),
                                                     qEnvironmentVariableIsSet("QUELLON_PASSWORD"));
    if (!password.ok) {
        print(stderr, password.error + u'\n');
        return Ctl::Usage;
    }

    CtlClient client;
    QTimer::singleShot(0, &app, [&] {
        client.run(parsed.options, password.text, [](const Ctl::Outcome &outcome) {
            print(stdout, outcome.out);
            print(stderr, outcome.err);
            QCoreApplication::exit(outcome.exitCode);
        });
    });
    return QCoreApplication::exec();
}
