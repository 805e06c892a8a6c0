// The options of the real console, run without a display, a sound server
// or a data folder: the answer comes before any window or engine is made.

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

class tst_CommandLineE2e : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void answers_data();
    void answers();
};

void tst_CommandLineE2e::answers_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    // Texts that must be in stdout and in stderr; an empty list: that stream is empty.
    QTest::addColumn<QStringList>("out");
    QTest::addColumn<QStringList>("err");

    const QString version = QStringLiteral("QuellonQL-5300 数字广播控制台 " QUELLON_VERSION "\n");
    const QStringList usage {QStringLiteral("用法：quellon [选项]"), QStringLiteral("--help"),
                             QStringLiteral("--version"), QStringLiteral("--data-folder"),
                             QStringLiteral("~/.local/share/quellon")};
    QTest::newRow("--version") << QStringList {QStringLiteral("--version")} << 0
                               << QStringList {version} << QStringList {};
    QTest::newRow("-v") << QStringList {QStringLiteral("-v")} << 0 << QStringList {version}
                        << QStringList {};
    QTest::newRow("--help") << QStringList {QStringLiteral("--help")} << 0 << usage
                            << QStringList {};
    QTest::newRow("-h") << QStringList {QStringLiteral("-h")} << 0 << usage << QStringList {};
    QTest::newRow("help wins over version")
        << QStringList {QStringLiteral("--version"), QStringLiteral("--help")} << 0 << usage
        << QStringList {};
    // Qt's window options pass through to the application, the parser
    // neither refuses them nor reads "-platform" as "-p -l -a ...".
    QTest::newRow("Qt's options with --version")
        << QStringList {QStringLiteral("-platform"), QStringLiteral("offscreen"),
                        QStringLiteral("-style"), QStringLiteral("fusion"),
                        QStringLiteral("--version")}
        << 0 << QStringList {version} << QStringList {};
    // The data folder is only read here; asking for the version creates nothing.
    QTest::newRow("--data-folder with --version")
        << QStringList {QStringLiteral("--data-folder"), QStringLiteral("data"),
                        QStringLiteral("--version")}
        << 0 << QStringList {version} << QStringList {};
    QTest::newRow("--data-folder=DIR with --help")
        << QStringList {QStringLiteral("--data-folder=data"), QStringLiteral("--help")} << 0
        << usage << QStringList {};
    QTest::newRow("--data-folder without its folder")
        << QStringList {QStringLiteral("--data-folder")} << 2 << QStringList {}
        << (QStringList {QStringLiteral("data-folder")} + usage);
    QTest::newRow("--data-folder with an empty folder")
        << QStringList {QStringLiteral("--data-folder=")} << 2 << QStringList {}
        << (QStringList {QStringLiteral("--data-folder 需要一个文件夹")} + usage);
    QTest::newRow("unknown long option")
        << QStringList {QStringLiteral("--portable")} << 2 << QStringList {}
        << (QStringList {QStringLiteral("portable")} + usage);
    QTest::newRow("unknown short option")
        << QStringList {QStringLiteral("-x"), QStringLiteral("--version")} << 2 << QStringList {}
        << (QStringList {QStringLiteral("x")} + usage);
    QTest::newRow("a value to an option without one")
        << QStringList {QStringLiteral("--version=2")} << 2 << QStringList {} << usage;
    QTest::newRow("Qt's option without its value")
        << QStringList {QStringLiteral("-platform")} << 2 << QStringList {} << usage;
    QTest::newRow("a stray argument")
        << QStringList {QStringLiteral("schedule.txt")} << 2 << QStringList {}
        << (QStringList {QStringLiteral("schedule.txt")} + usage);
}

void tst_CommandLineE2e::answers()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QStringList, out);
    QFETCH(QStringList, err);

    // A console that went on to start would need a display: without one
    // QApplication aborts, and the exit code tells it.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(QString::fromLatin1(name));
    QTemporaryDir config;
    QVERIFY(config.isValid());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), config.path());

    QProcess console;
    console.setProcessEnvironment(env);
    console.setWorkingDirectory(config.path());
    console.start(QStringLiteral(QUELLON_BINARY), arguments);
    QVERIFY(console.waitForStarted());
    QVERIFY2(console.waitForFinished(10000), "the console did not end by itself");
    const QString stdOut = QString::fromUtf8(console.readAllStandardOutput());
    const QString stdErr = QString::fromUtf8(console.readAllStandardError());
    QCOMPARE(console.exitStatus(), QProcess::NormalExit);
    QVERIFY2(console.exitCode() == exitCode, qPrintable(stdErr));

    for (const auto &[stream, texts] : {std::pair {stdOut, out}, std::pair {stdErr, err}}) {
        if (texts.isEmpty())
            QVERIFY2(stream.isEmpty(), qPrintable(stream));
        for (const QString &text : texts)
            QVERIFY2(stream.contains(text), qPrintable(text + u" is not in:\n" + stream));
    }
    // Nothing was written where a console at work keeps its settings.
    QVERIFY(QDir(config.path()).isEmpty());
}

QTEST_GUILESS_MAIN(tst_CommandLineE2e)
#include "tst_commandline_e2e.moc"
