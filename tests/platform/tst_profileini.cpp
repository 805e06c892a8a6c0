#include "platform/gbk.h"
#include "platform/profileini.h"
#include "support/gbkfiles.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

class tst_ProfileIni : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init() { QVERIFY(m_dir.isValid()); }
    void read_data();
    void read();
    void readMissingFile();
    void write_data();
    void write();
    void writeCreatesFileAsGbk();
    void writeToReadOnlyFileChangesNothing();
    void writeRefusesWhatTheFileCannotHold_data();
    void writeRefusesWhatTheFileCannotHold();

private:
    QString iniPath() const { return m_dir.filePath(QStringLiteral("config.ini")); }
    QTemporaryDir m_dir;
};

void tst_ProfileIni::read_data()
{
    QTest::addColumn<QString>("content");
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("defaultValue");
    QTest::addColumn<int>("buffer");
    QTest::addColumn<QString>("expected");

    const QString display = QStringLiteral("[DisplayMode]\nSetVolTime=07:30:00\nTermVol=15\n");
    QTest::newRow("plain") << display << "DisplayMode"
                           << "TermVol"
                           << "22" << 9 << "15";
    QTest::newRow("key matched without case") << display << "DisplayMode"
                                              << "SetVoltime"
                                              << "33:33:33" << 9 << "07:30:00";
    QTest::newRow("section matched without case") << display << "displaymode"
                                                  << "TERMVOL"
                                                  << "22" << 9 << "15";
    QTest::newRow("missing key gives default") << display << "DisplayMode"
                                               << "VCD"
                                               << "0" << 2 << "0";
    QTest::newRow("missing section gives default") << display << "外设提前"
                                                   << "外设1"
                                                   << "00:00:00" << 9 << "00:00:00";
    QTest::newRow("key of another section is not taken")
        << QStringLiteral("[A]\nk=1\n[B]\nx=2\n") << "B"
        << "k"
        << "none" << 9 << "none";
    QTest::newRow("value cut to buffer minus one")
        << QStringLiteral("[D]\nTermVol=1234567890\n") << "D"
        << "TermVol"
        << "22" << 9 << "12345678";
    QTest::newRow("60-byte name reads as 49 bytes")
        << QStringLiteral("[分组名称]\n分组1=") + QString(60, u'x') + u'\n' << "分组名称"
        << "分组1"
        << "分组1" << 50 << QString(49, u'x');
    QTest::newRow("Chinese cut at a whole character")
        << QStringLiteral("[分组名称]\n分组2=") + QString(30, u'楼') + u'\n' << "分组名称"
        << "分组2"
        << "分组2" << 50 << QString(24, u'楼');
    QTest::newRow("blanks around key and value") << QStringLiteral("[ S ]\n  k  =  v w  \n") << "S"
                                                 << "k"
                                                 << "" << 9 << "v w";
    QTest::newRow("quotes around the value are dropped")
        << QStringLiteral("[S]\nk=\"a b\"\n") << "S"
        << "k"
        << "" << 9 << "a b";
    QTest::newRow("empty quoted value is empty, not the default")
        << QStringLiteral("[S]\nk=\"\"\n") << "S"
        << "k"
        << "def" << 9 << "";
    QTest::newRow("a lone quote stays") << QStringLiteral("[S]\nk=\"\n") << "S"
                                        << "k"
                                        << "def" << 9 << "\"";
    QTest::newRow("empty value is not the default") << QStringLiteral("[S]\nk=\n") << "S"
                                                    << "k"
                                                    << "def" << 9 << "";
    QTest::newRow("default is cut too") << QString() << "S"
                                        << "k"
                                        << "abcdef" << 4 << "abc";
    QTest::newRow("VCD takes one character")
        << QStringLiteral("[DisplayMode]\nVCD=10\n") << "DisplayMode"
        << "VCD"
        << "0" << 2 << "1";
    QTest::newRow("comment lines are ignored") << QStringLiteral("[S]\n;k=1\nk=2\n") << "S"
                                               << "k"
                                               << "" << 9 << "2";
}

void tst_ProfileIni::read()
{
    QFETCH(QString, content);
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, defaultValue);
    QFETCH(int, buffer);
    QFETCH(QString, expected);
    GbkFiles::writeText(iniPath(), content);
    QCOMPARE(ProfileIni(iniPath()).getString(section, key, defaultValue, buffer), expected);
}

void tst_ProfileIni::readMissingFile()
{
    const ProfileIni ini(m_dir.filePath(QStringLiteral("none.ini")));
    QCOMPARE(ini.getString(QStringLiteral("分组名称"), QStringLiteral("分组3"),
                           QStringLiteral("分组3"), 50),
             QStringLiteral("分组3"));
}

void tst_ProfileIni::write_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QByteArray>("after");

    QTest::newRow("replace keeps every other line byte for byte")
        << QByteArray(
               "; note\r\n[DisplayMode]\r\nSetVolTime=33:33:33\r\nTermVol=22\r\n\r\n[X]\ny=1\n")
        << "displaymode"
        << "TERMVOL"
        << "30"
        << QByteArray(
               "; note\r\n[DisplayMode]\r\nSetVolTime=33:33:33\r\nTERMVOL=30\r\n\r\n[X]\ny=1\n");
    QTest::newRow("new key goes to the end of its section, before blank lines")
        << QByteArray("[A]\r\na=1\r\n\r\n[B]\r\nb=2\r\n") << "A"
        << "c"
        << "3" << QByteArray("[A]\r\na=1\r\nc=3\r\n\r\n[B]\r\nb=2\r\n");
    QTest::newRow("new section goes to the end") << QByteArray("[A]\r\na=1") << "B"
                                                 << "b"
                                                 << "2" << QByteArray("[A]\r\na=1\n[B]\r\nb=2\r\n");
    QTest::newRow("same key in another section is untouched")
        << QByteArray("[A]\r\nk=1\r\n[B]\r\nk=2\r\n") << "B"
        << "k"
        << "9" << QByteArray("[A]\r\nk=1\r\n[B]\r\nk=9\r\n");
}

void tst_ProfileIni::write()
{
    QFETCH(QByteArray, before);
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, value);
    QFETCH(QByteArray, after);
    GbkFiles::writeBytes(iniPath(), before);
    QCOMPARE(ProfileIni(iniPath()).writeString(section, key, value), QString());
    QCOMPARE(GbkFiles::readBytes(iniPath()), after);
}

void tst_ProfileIni::writeCreatesFileAsGbk()
{
    const ProfileIni ini(iniPath());
    QFile::remove(iniPath());
    QCOMPARE(ini.writeString(QStringLiteral("分组名称"), QStringLiteral("分组1"),
                             QStringLiteral("教学楼")),
             QString());
    QCOMPARE(GbkFiles::readBytes(iniPath()), toGbk(u"[分组名称]\r\n分组1=教学楼\r\n"));
    QCOMPARE(ini.getString(QStringLiteral("分组名称"), QStringLiteral("分组1"), QString(), 50),
             QStringLiteral("教学楼"));
}

void tst_ProfileIni::writeToReadOnlyFileChangesNothing()
{
    const QByteArray before("[A]\r\na=1\r\n");
    GbkFiles::writeBytes(iniPath(), before);
    QFile::setPermissions(iniPath(), QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
    const QString error = ProfileIni(iniPath()).writeString(
        QStringLiteral("A"), QStringLiteral("a"), QStringLiteral("2"));
    QFile::setPermissions(iniPath(), QFile::ReadOwner | QFile::WriteOwner);
    QVERIFY(!error.isEmpty());
    QCOMPARE(GbkFiles::readBytes(iniPath()), before);
}

void tst_ProfileIni::writeRefusesWhatTheFileCannotHold_data()
{
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("message"); // part of the refusal; empty when taken
    QTest::newRow("line break would inject a section")
        << u"A"_s << u"a"_s << u"x\n[B]\nb=1"_s << u"值“x [B] b=1”中有换行"_s;
    QTest::newRow("carriage return") << u"A"_s << u"a"_s << u"x\ry"_s << u"中有换行"_s;
    QTest::newRow("character without a GBK code")
        << u"A"_s << u"a"_s << u"铃声\U0001F514"_s << u"值“铃声\U0001F514”中有GBK编码没有的字符"_s;
    QTest::newRow("section whose GBK holds ]")
        << u"沒有"_s << u"a"_s << u"1"_s << u"节名“沒有”在配置文件中无法区分"_s;
    QTest::newRow("section with ]") << u"A]B"_s << u"a"_s << u"1"_s << u"节名“A]B”"_s;
    QTest::newRow("key with =") << u"A"_s << u"a=b"_s << u"1"_s << u"键名“a=b”"_s;
    QTest::newRow("line break in a key") << u"A"_s << u"a\nb"_s << u"1"_s << u"键名“a b”中有换行"_s;
    // An INI line has no quoting: a double quote does not hide a line break.
    QTest::newRow("double quote before a line break")
        << u"A"_s << u"a"_s << u"say \"hi\"\nb=1"_s << u"值“say \"hi\" b=1”中有换行"_s;
    QTest::newRow("comma and double quote are taken")
        << u"A"_s << u"a"_s << u"1, \"2\", 3"_s << QString();
    QTest::newRow("Chinese section, key and value are taken")
        << u"外设提前"_s << u"外设1"_s << u"00:00:30 “引号”"_s << QString();
    QTest::newRow("empty value is taken") << u"A"_s << u"a"_s << QString() << QString();
}

void tst_ProfileIni::writeRefusesWhatTheFileCannotHold()
{
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, value);
    QFETCH(QString, message);
    const QByteArray before("[A]\r\na=1\r\n\r\n[C]\r\nc=3\r\n");
    GbkFiles::writeBytes(iniPath(), before);
    const ProfileIni ini(iniPath());
    const QString error = ini.writeString(section, key, value);
    if (message.isEmpty()) {
        QCOMPARE(error, QString());
        QCOMPARE(ini.getString(section, key, u"-"_s, 200), value);
        // Every other line is kept.
        QVERIFY(GbkFiles::readBytes(iniPath()).contains("[C]\r\nc=3\r\n"));
        QCOMPARE(ini.getString(u"A"_s, u"a"_s, u"-"_s, 200), section == u"A" ? value : u"1"_s);
    } else {
        QVERIFY2(error.contains(message), qPrintable(error));
        QCOMPARE(error, ProfileIni::textProblem(section, key, value));
        QCOMPARE(GbkFiles::readBytes(iniPath()), before);
    }
}

QTEST_GUILESS_MAIN(tst_ProfileIni)
#include "tst_profileini.moc"
