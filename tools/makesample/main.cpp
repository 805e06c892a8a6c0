// makesample FOLDER: lays out a sample installation of the console in FOLDER.

#include "samplewriter.h"

#include <QDir>
#include <QGuiApplication>
#include <QTextStream>

int main(int argc, char *argv[])
{
    // Painting the background picture needs no display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QTextStream err(stderr);
    const QStringList args = QGuiApplication::arguments();
    if (args.size() != 2) {
        err << "usage: makesample FOLDER\n";
        return 2;
    }
    const QString folder = QDir(args.at(1)).absolutePath();
    const QStringList problems = SampleWriter(folder).write();
    for (const QString &p : problems)
        err << p << '\n';
    return problems.isEmpty() ? 0 : 1;
}
