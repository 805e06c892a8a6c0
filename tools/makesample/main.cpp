// makesample FOLDER [--soon]: lays out a sample installation of the console
// in FOLDER (the files that are missing); with --soon, today's sample table
// gets two items that start in a minute or two, so that a new user sees the
// console at work. makesample FOLDER --seed: only the picture and the tunes
// that the package gives a new data folder.

#include "samplewriter.h"

#include <QDate>
#include <QDateTime>
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
    const bool soon = args.contains(QStringLiteral("--soon"));
    const bool seed = args.contains(QStringLiteral("--seed"));
    if (args.size() != (soon || seed ? 3 : 2) || (soon && seed)) {
        err << "usage: makesample FOLDER [--soon | --seed]\n";
        return 2;
    }
    const QString folder = QDir(args.at(1)).absolutePath();
    SampleWriter writer(folder);
    QStringList problems = seed ? writer.writeSeed() : writer.write(QDate::currentDate());
    if (soon && problems.isEmpty()) {
        const QString problem = writer.addItemsSoon(QDateTime::currentDateTime());
        if (!problem.isEmpty())
            problems.append(problem);
    }
    for (const QString &p : problems)
        err << p << '\n';
    return problems.isEmpty() ? 0 : 1;
}
