// The real quellon-ctl against the console's own web server on the console
// rig: the status it prints comes from the console, a cancel and a restore
// change today's list and are written to the as-run log as 网页, and the
// console's refusals come back as exit code 1 with its message, changing
// nothing.

#include "console/mastervolume.h"
#include "console/programmemodel.h"
#include "console/todayschedule.h"
#include "consolerig.h"
#include "platform/asrunlog.h"
#include "support/gbkfiles.h"
#include "web/webpassword.h"
#include "web/webserver.h"

#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

quint16 freePort()
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0))
        return 0;
    return probe.serverPort();
}

QString stateName(RowState state)
{
    switch (state) {
    case RowState::Waiting:
        return u"waiting"_s;
    case RowState::Done:
        return u"done"_s;
    case RowState::Cancelled:
        return u"cancelled"_s;
    }
    return {};
}

const QString kPassword = u"广播室2026"_s;

} // namespace

class tst_QuellonCtlConsoleE2e : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void againstTheConsole_data();
    void againstTheConsole();

private:
    QStringList states() const;
    QString dayLog() const;

    std::unique_ptr<ConsoleRig> m_rig;
    std::unique_ptr<WebServer> m_server;
    quint16 m_port = 0;
};

void tst_QuellonCtlConsoleE2e::init()
{
    m_rig = std::make_unique<ConsoleRig>();
    m_port = freePort();
    QVERIFY(m_port != 0);
    m_rig->store.values.insert(u"operation/web_port"_s, QString::number(m_port));
    const QString song = m_rig->file(u"song/上课.wav"_s);
    GbkFiles::writeBytes(song, QByteArray("RIFF"));
    m_rig->writeWeek(ConsoleRig::line(u"07:30:00"_s, u"起床"_s, song, 12000)
                     + ConsoleRig::line(u"08:00:00"_s, u"上课"_s, song, 14000)
                     + ConsoleRig::line(u"12:00:00"_s, u"午间"_s, song, 16000));
}

void tst_QuellonCtlConsoleE2e::cleanup()
{
    m_server.reset();
    m_rig.reset();
}

QStringList tst_QuellonCtlConsoleE2e::states() const
{
    QStringList list;
    const ProgrammeModel &model = m_rig->console().programme();
    for (int row = 0; row < model.count(); ++row)
        list << stateName(model.state(row));
    return list;
}

QString tst_QuellonCtlConsoleE2e::dayLog() const
{
    Console &console = m_rig->console();
    QFile file(console.asRunLog().fileFor(m_rig->clock.now().date()));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}

void tst_QuellonCtlConsoleE2e::againstTheConsole_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("setup"); // "morning", "row 2 cancelled", "password", "off"
    QTest::addColumn<QString>("given"); // the password given: "none", "file", "wrong"
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QStringList>("out"); // parts of the output
    QTest::addColumn<QString>("err"); // a part of the errors; empty: nothing there
    QTest::addColumn<QStringList>("states");
    QTest::addColumn<QString>("logged"); // the as-run line of origin 网页, or empty

    const QStringList waiting {u"waiting"_s, u"waiting"_s, u"waiting"_s};
    QTest::newRow("status") << QStringList {u"status"_s} << u"morning"_s << u"none"_s << 0
                            << QStringList {u"时间：2026-12-07 06:30:00\n"_s,
                                            u"下一项：播放时间：07:30:00"_s, u"音量：%VOLUME%（"_s}
                            << QString() << waiting << QString();
    QTest::newRow("today") << QStringList {u"today"_s} << u"row 2 cancelled"_s << u"none"_s << 0
                           << QStringList {u"1  07:30:00  待播  起床  上课.wav\n"_s,
                                           u"2  08:00:00  已取消  上课  上课.wav\n"_s}
                           << QString() << QStringList {u"waiting"_s, u"cancelled"_s, u"waiting"_s}
                           << QString();
    QTest::newRow("cancel") << QStringList {u"cancel"_s, u"2"_s} << u"morning"_s << u"none"_s << 0
                            << QStringList {u"已取消第 2 项。\n"_s} << QString()
                            << QStringList {u"waiting"_s, u"cancelled"_s, u"waiting"_s}
                            << u"取消第 2 行 08:00:00 上课.wav"_s;
    QTest::newRow("restore") << QStringList {u"restore"_s, u"2"_s} << u"row 2 cancelled"_s
                             << u"none"_s << 0 << QStringList {u"已恢复第 2 项。\n"_s} << QString()
                             << waiting << u"恢复第 2 行 08:00:00 上课.wav"_s;
    QTest::newRow("cancel with the password from a file")
        << QStringList {u"--password-file"_s, u"%FILE%"_s, u"cancel"_s, u"3"_s} << u"password"_s
        << u"file"_s << 0 << QStringList {u"已取消第 3 项。\n"_s} << QString()
        << QStringList {u"waiting"_s, u"waiting"_s, u"cancelled"_s}
        << u"取消第 3 行 12:00:00 上课.wav"_s;
    QTest::newRow("409: restore a row not cancelled")
        << QStringList {u"restore"_s, u"1"_s} << u"morning"_s << u"none"_s << 1 << QStringList {}
        << u"这一行没有被取消，不能恢复"_s << waiting << QString();
    QTest::newRow("409: cancel a cancelled row")
        << QStringList {u"--json"_s, u"cancel"_s, u"2"_s} << u"row 2 cancelled"_s << u"none"_s << 1
        << QStringList {u"\"error\":\"not_possible\""_s} << u"这一行不是待播状态，不能取消"_s
        << QStringList {u"waiting"_s, u"cancelled"_s, u"waiting"_s} << QString();
    QTest::newRow("404: a row past the list")
        << QStringList {u"cancel"_s, u"4"_s} << u"morning"_s << u"none"_s << 1 << QStringList {}
        << u"没有这一行"_s << waiting << QString();
    QTest::newRow("401: wrong password")
        << QStringList {u"cancel"_s, u"1"_s} << u"password"_s << u"wrong"_s << 1 << QStringList {}
        << u"密码错误"_s << waiting << QString();
    QTest::newRow("switched off: cannot connect")
        << QStringList {u"cancel"_s, u"1"_s} << u"off"_s << u"none"_s << 3 << QStringList {}
        << u"连接被拒绝"_s << waiting << QString();
}

void tst_QuellonCtlConsoleE2e::againstTheConsole()
{
    QFETCH(QStringList, args);
    QFETCH(QString, setup);
    QFETCH(QString, given);
    QFETCH(int, exitCode);
    QFETCH(QStringList, out);
    QFETCH(QString, err);
    QFETCH(QStringList, states);
    QFETCH(QString, logged);

    if (setup != u"off")
        m_rig->store.values.insert(u"operation/web_control"_s, u"True"_s);
    if (setup == u"password")
        m_rig->store.values.insert(u"operation/web_password"_s,
                                   WebPassword::hash(kPassword, WebPassword::MinIterations));
    Console &console = m_rig->start();
    m_server = std::make_unique<WebServer>(console);
    m_server->follow();
    QCOMPARE(m_server->isListening(), setup != u"off");
    if (setup == u"row 2 cancelled")
        console.today().cancelRow(1);
    const QString logBefore = dayLog();

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString passwordFile = dir.filePath(u"password"_s);
    {
        QFile f(passwordFile);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(kPassword.toUtf8() + '\n');
    }
    args.replaceInStrings(u"%FILE%"_s, passwordFile);
    args << u"--port"_s << QString::number(m_port);

    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(u"QUELLON_PASSWORD"_s);
    if (given == u"wrong")
        env.insert(u"QUELLON_PASSWORD"_s, u"not the password"_s);
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(QUELLON_CTL_BINARY), args);
    QVERIFY(QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; }, 30000));
    const QString printed = QString::fromUtf8(process.readAllStandardOutput());
    const QString errors = QString::fromUtf8(process.readAllStandardError());

    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QVERIFY2(process.exitCode() == exitCode, qPrintable(errors));
    for (QString part : out) {
        part.replace(u"%VOLUME%"_s, QString::number(console.volume().value()));
        QVERIFY2(printed.contains(part), qPrintable(printed));
    }
    if (out.isEmpty())
        QCOMPARE(printed, QString());
    if (err.isEmpty())
        QCOMPARE(errors, QString());
    else
        QVERIFY2(errors.contains(err), qPrintable(errors));
    QCOMPARE(this->states(), states);

    const QString added = dayLog().mid(logBefore.size());
    if (logged.isEmpty())
        QVERIFY2(!added.contains(u",网页,"_s), qPrintable(added));
    else
        QVERIFY2(added.contains(u",网页,"_s + logged), qPrintable(added));
}

QTEST_MAIN(tst_QuellonCtlConsoleE2e)
#include "tst_quellonctl_console_e2e.moc"
