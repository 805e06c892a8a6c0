// The Debian package made by cpack from this build tree: its control fields,
// its files, the console run from the unpacked tree, and lintian's verdict.

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

class tst_PackageE2e : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void fields_data();
    void fields();
    void dependencies_data();
    void dependencies();
    void contents_data();
    void contents();
    void consoleFindsItsEngine();
    void unpackedConsoleAnswers();
    void desktopEntry();
    void startsAtLoginOnlyWhenAsked();
    void lintianFindsNoError();

private:
    struct Run
    {
        int exitCode = -1;
        QString out;
        QString err;
    };
    static Run run(const QString &program, const QStringList &arguments, int timeoutMs = 60000);

    QTemporaryDir m_dir;
    QString m_deb;
    QHash<QString, QString> m_fields;
    // Path in the package -> its "ls -l" mode, and the target of a link.
    QHash<QString, QString> m_modes;
    QHash<QString, QString> m_links;
    QString m_unpacked;
};

tst_PackageE2e::Run tst_PackageE2e::run(const QString &program, const QStringList &arguments,
                                        int timeoutMs)
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    // The unpacked console must answer without a display.
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(QString::fromLatin1(name));
    process.setProcessEnvironment(env);
    process.start(program, arguments);
    Run result;
    if (!process.waitForStarted() || !process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
        result.err = program + QStringLiteral(" did not run to its end");
        return result;
    }
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = QString::fromUtf8(process.readAllStandardOutput());
    result.err = QString::fromUtf8(process.readAllStandardError());
    return result;
}

void tst_PackageE2e::initTestCase()
{
    QVERIFY(m_dir.isValid());
    const Run cpack = run(QStringLiteral(CPACK_COMMAND),
                          {QStringLiteral("-G"), QStringLiteral("DEB"), QStringLiteral("--config"),
                           QStringLiteral(CPACK_CONFIG), QStringLiteral("-B"), m_dir.path()},
                          120000);
    QVERIFY2(cpack.exitCode == 0, qPrintable(cpack.out + cpack.err));
    const QStringList debs = QDir(m_dir.path()).entryList({QStringLiteral("*.deb")}, QDir::Files);
    QCOMPARE(debs.size(), 1);
    QVERIFY2(debs.first().startsWith(QStringLiteral("quellon_" QUELLON_VERSION "_")),
             qPrintable(debs.first()));
    m_deb = m_dir.filePath(debs.first());

    // " Field: value", continued by lines that start with two spaces.
    const Run info = run(QStringLiteral("dpkg-deb"), {QStringLiteral("--info"), m_deb});
    QVERIFY2(info.exitCode == 0, qPrintable(info.err));
    static const QRegularExpression field(QStringLiteral("^ ([A-Za-z-]+): (.*)$"));
    QString last;
    for (const QString &line : info.out.split(u'\n')) {
        const QRegularExpressionMatch m = field.match(line);
        if (m.hasMatch()) {
            last = m.captured(1);
            m_fields.insert(last, m.captured(2));
        } else if (line.startsWith(QStringLiteral("  ")) && !last.isEmpty()) {
            m_fields[last] += u'\n' + line.trimmed();
        }
    }

    // "lrwxrwxrwx root/root 0 2026-12-08 07:01 ./usr/bin/quellon -> ../lib/quellon/quellon"
    const Run contents = run(QStringLiteral("dpkg-deb"), {QStringLiteral("--contents"), m_deb});
    QVERIFY2(contents.exitCode == 0, qPrintable(contents.err));
    static const QRegularExpression entry(
        QStringLiteral("^(\\S+) (\\S+) +\\d+ \\S+ \\S+ \\./(\\S+?)(?: -> (\\S+))?$"));
    for (const QString &line : contents.out.split(u'\n', Qt::SkipEmptyParts)) {
        const QRegularExpressionMatch m = entry.match(line);
        QVERIFY2(m.hasMatch(), qPrintable(line));
        QVERIFY2(m.captured(2) == QStringLiteral("root/root"), qPrintable(line));
        m_modes.insert(m.captured(3), m.captured(1));
        if (m.hasCaptured(4))
            m_links.insert(m.captured(3), m.captured(4));
    }

    m_unpacked = m_dir.filePath(QStringLiteral("root"));
    const Run extract = run(QStringLiteral("dpkg-deb"), {QStringLiteral("-x"), m_deb, m_unpacked});
    QVERIFY2(extract.exitCode == 0, qPrintable(extract.err));
}

void tst_PackageE2e::fields_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("pattern");
    QTest::newRow("Package") << u"Package"_qs << u"^quellon$"_qs;
    QTest::newRow("Version") << u"Version"_qs << QStringLiteral("^" QUELLON_VERSION "$");
    QTest::newRow("Architecture") << u"Architecture"_qs << u"^[a-z0-9]+$"_qs;
    QTest::newRow("Maintainer") << u"Maintainer"_qs << u"^[^<>]+ <[^@<>]+@[^@<>]+>$"_qs;
    QTest::newRow("Section") << u"Section"_qs << u"^sound$"_qs;
    QTest::newRow("Priority") << u"Priority"_qs << u"^optional$"_qs;
    // A summary line, then a longer description.
    QTest::newRow("Description") << u"Description"_qs << u"^\\S[^\\n]{10,78}\\n\\S"_qs;
    QTest::newRow("Installed-Size") << u"Installed-Size"_qs << u"^[1-9]\\d*$"_qs;
}

void tst_PackageE2e::fields()
{
    QFETCH(QString, name);
    QFETCH(QString, pattern);
    QVERIFY2(m_fields.contains(name), qPrintable(name + u" is missing"));
    const QString value = m_fields.value(name);
    QVERIFY2(QRegularExpression(pattern).match(value).hasMatch(), qPrintable(name + u": " + value));
}

void tst_PackageE2e::dependencies_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("package");
    // Found by dpkg-shlibdeps in the executables.
    for (const char16_t *library : {u"libqt6widgets6", u"libqt6serialport6", u"libqt6dbus6",
                                    u"libgstreamer1.0-0", u"libasound2", u"libc6"})
        QTest::newRow(qUtf8Printable(QString::fromUtf16(library)))
            << u"Depends"_qs << QString::fromUtf16(library);
    // Loaded or started at run time: no linker sees them.
    for (const char16_t *plugin : {u"qt6-qpa-plugins", u"gstreamer1.0-plugins-base",
                                   u"gstreamer1.0-plugins-good", u"gstreamer1.0-pulseaudio"})
        QTest::newRow(qUtf8Printable(QString::fromUtf16(plugin)))
            << u"Depends"_qs << QString::fromUtf16(plugin);
    for (const char16_t *wanted :
         {u"fonts-wqy-microhei", u"qt6-translations-l10n", u"pulseaudio", u"gstreamer1.0-libav"})
        QTest::newRow(qUtf8Printable(QString::fromUtf16(wanted)))
            << u"Recommends"_qs << QString::fromUtf16(wanted);
}

void tst_PackageE2e::dependencies()
{
    QFETCH(QString, field);
    QFETCH(QString, package);
    // "a (>= 1), b | c": the names, alternatives included, without versions.
    QStringList names;
    for (const QString &clause : m_fields.value(field).split(u','))
        for (const QString &alternative : clause.split(u'|'))
            names.append(alternative.section(u'(', 0, 0).trimmed());
    QVERIFY2(names.contains(package), qPrintable(field + u": " + m_fields.value(field)));
}

void tst_PackageE2e::contents_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("mode");
    QTest::newRow("console") << u"usr/lib/quellon/quellon"_qs << u"-rwxr-xr-x"_qs;
    QTest::newRow("sound engine") << u"usr/lib/quellon/quellon-audio"_qs << u"-rwxr-xr-x"_qs;
    QTest::newRow("command") << u"usr/bin/quellon"_qs << u"lrwxrwxrwx"_qs;
    QTest::newRow("simulator") << u"usr/bin/zonesim"_qs << u"-rwxr-xr-x"_qs;
    QTest::newRow("web control client") << u"usr/bin/quellon-ctl"_qs << u"-rwxr-xr-x"_qs;
    QTest::newRow("desktop entry")
        << u"usr/share/applications/quellon.desktop"_qs << u"-rw-r--r--"_qs;
    QTest::newRow("icon") << u"usr/share/icons/hicolor/scalable/apps/quellon.svg"_qs
                          << u"-rw-r--r--"_qs;
    QTest::newRow("copyright") << u"usr/share/doc/quellon/copyright"_qs << u"-rw-r--r--"_qs;
    QTest::newRow("changelog") << u"usr/share/doc/quellon/changelog.gz"_qs << u"-rw-r--r--"_qs;
    QTest::newRow("manual") << u"usr/share/man/man1/quellon.1.gz"_qs << u"-rw-r--r--"_qs;
    QTest::newRow("simulator's manual")
        << u"usr/share/man/man1/zonesim.1.gz"_qs << u"-rw-r--r--"_qs;
    QTest::newRow("web control client's manual")
        << u"usr/share/man/man1/quellon-ctl.1.gz"_qs << u"-rw-r--r--"_qs;
    // What a new data folder under ~/.local/share starts with.
    QTest::newRow("seed: bell") << u"usr/share/quellon/seed/song/bell.wav"_qs << u"-rw-r--r--"_qs;
    QTest::newRow("seed: background")
        << u"usr/share/quellon/seed/backimage/clouds.bmp"_qs << u"-rw-r--r--"_qs;
}

void tst_PackageE2e::startsAtLoginOnlyWhenAsked()
{
    // The console writes its own autostart entry when the operator asks for
    // it; the package puts none where every user's session would read it.
    QVERIFY(!m_modes.isEmpty());
    for (auto it = m_modes.cbegin(); it != m_modes.cend(); ++it)
        QVERIFY2(!it.key().startsWith(u"etc/"_qs), qPrintable(it.key()));
}

void tst_PackageE2e::contents()
{
    QFETCH(QString, path);
    QFETCH(QString, mode);
    QVERIFY2(m_modes.contains(path), qPrintable(path + u" is not in the package"));
    QCOMPARE(m_modes.value(path), mode);
}

void tst_PackageE2e::consoleFindsItsEngine()
{
    // The console starts quellon-audio from the folder of its executable,
    // links followed: the command on the path must lead to a console with
    // its engine beside it.
    QCOMPARE(m_links.value(u"usr/bin/quellon"_qs), u"../lib/quellon/quellon"_qs);
    const QFileInfo console(QDir(m_unpacked).filePath(u"usr/bin/quellon"_qs));
    QVERIFY(console.isSymLink());
    const QFileInfo target(console.canonicalFilePath());
    QVERIFY2(target.isExecutable(), qPrintable(console.filePath()));
    QVERIFY(QFileInfo(target.dir().filePath(u"quellon-audio"_qs)).isExecutable());
}

void tst_PackageE2e::unpackedConsoleAnswers()
{
    const QString console = QDir(m_unpacked).filePath(u"usr/bin/quellon"_qs);
    const Run version = run(console, {u"--version"_qs});
    QVERIFY2(version.exitCode == 0, qPrintable(version.err));
    QCOMPARE(version.out, QStringLiteral("QuellonQL-5300 数字广播控制台 " QUELLON_VERSION "\n"));
    const Run simulator
        = run(QDir(m_unpacked).filePath(u"usr/bin/zonesim"_qs), {u"--help"_qs}, 10000);
    QVERIFY2(simulator.exitCode == 0, qPrintable(simulator.err));
    QVERIFY2(simulator.out.contains(u"--link"), qPrintable(simulator.out));
}

void tst_PackageE2e::desktopEntry()
{
    QSettings entry(QDir(m_unpacked).filePath(u"usr/share/applications/quellon.desktop"_qs),
                    QSettings::IniFormat);
    entry.beginGroup(u"Desktop Entry"_qs);
    QCOMPARE(entry.value(u"Type"_qs).toString(), u"Application"_qs);
    QCOMPARE(entry.value(u"Name"_qs).toString(), QStringLiteral("QuellonQL-5300 数字广播控制台"));
    // The command and the icon name what the package installs.
    const QString exec = entry.value(u"Exec"_qs).toString().section(u' ', 0, 0);
    QVERIFY2(m_modes.contains(u"usr/bin/"_qs + exec), qPrintable(exec));
    const QString icon = entry.value(u"Icon"_qs).toString();
    QVERIFY2(m_modes.contains(u"usr/share/icons/hicolor/scalable/apps/"_qs + icon + u".svg"_qs),
             qPrintable(icon));
    QVERIFY(entry.value(u"Categories"_qs).toString().contains(u"AudioVideo"));
}

void tst_PackageE2e::lintianFindsNoError()
{
    const QString lintian = QStandardPaths::findExecutable(u"lintian"_qs);
    if (lintian.isEmpty())
        QSKIP("lintian is not installed");
    const Run check = run(lintian, {m_deb}, 120000);
    QStringList errors;
    for (const QString &line : check.out.split(u'\n'))
        if (line.startsWith(u"E: "))
            errors.append(line);
    QVERIFY2(errors.isEmpty(), qPrintable(errors.join(u'\n')));
    QVERIFY2(check.exitCode == 0, qPrintable(check.out + check.err));
}

QTEST_GUILESS_MAIN(tst_PackageE2e)
#include "tst_package_e2e.moc"
