// The schedule editor's text fields as they become an entry: what the editor
// lets through, the writer writes and the console reads back unchanged; what
// the file cannot hold is refused at the field, naming it.

#include "schedule/entryfields.h"
#include "schedule/schedulefile.h"
#include "support/gbkfiles.h"

#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(EntryFields::Field)

class tst_EntryFields : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void textFields_data();
    void textFields();

private:
    QTemporaryDir m_dir;
};

void tst_EntryFields::textFields_data()
{
    QTest::addColumn<QString>("detail"); // as typed into txtdetail
    QTest::addColumn<QString>("file"); // as typed or chosen into txtfile
    QTest::addColumn<EntryFields::Field>("refused"); // the field named, or None
    QTest::addColumn<QString>("message"); // what the operator is told
    QTest::addColumn<QString>("savedDetail"); // the entry's fields when not refused
    QTest::addColumn<QString>("savedFile");
    using F = EntryFields::Field;
    const QString song = u"/srv/song/a.mp3"_s;
    QTest::newRow("plain") << u"早操"_s << song << F::None << QString() << u"早操"_s << song;
    // What is saved is what the list shows.
    QTest::newRow("blanks and tabs around the description")
        << u" \t早 操\t "_s << song << F::None << QString() << u"早 操"_s << song;
    // A path is kept exactly, blanks at its ends too (a chosen file may
    // have them).
    QTest::newRow("a path ending in a blank")
        << u"早操"_s << u"/srv/a.mp3 "_s << F::None << QString() << u"早操"_s << u"/srv/a.mp3 "_s;
    QTest::newRow("a folder with blanks at both ends")
        << u"顺序播"_s << u" /srv/歌 曲 "_s << F::None << QString() << u"顺序播"_s
        << u" /srv/歌 曲 "_s;
    QTest::newRow("a tab inside the description")
        << u"早\t操"_s << song << F::Detail << u"内容概述含有控制字符（0x09），无法保存。"_s
        << QString() << QString();
    QTest::newRow("a tab at the end of the file")
        << u"早操"_s << song + u"\t"_s << F::FileName
        << u"播放文件含有控制字符（0x09），无法保存。"_s << QString() << QString();
    // Every control character, in either field: 0x1A ends the file for the
    // console, NUL makes it refuse the day, the others are invisible here.
    for (char16_t c = 0; c <= 0x7f; c = c == 0x1f ? 0x7f : c + 1) {
        const QString code = QString::number(c, 16).toUpper().rightJustified(2, u'0');
        const bool lineBreak = c == u'\r' || c == u'\n';
        const QString why = lineBreak ? u"不能含有英文逗号“,”、双引号“\"”或换行。"_s
                                      : u"含有控制字符（0x"_s + code + u"），无法保存。"_s;
        QTest::addRow("0x%02X in the description", int(c))
            << u"早"_s + QChar(c) + u"操"_s << song << F::Detail << u"内容概述"_s + why << QString()
            << QString();
        QTest::addRow("0x%02X in the file name", int(c))
            << u"早操"_s << u"/srv/a"_s + QChar(c) + u".mp3"_s << F::FileName << u"播放文件"_s + why
            << QString() << QString();
    }
}

void tst_EntryFields::textFields()
{
    QFETCH(QString, detail);
    QFETCH(QString, file);
    QFETCH(EntryFields::Field, refused);
    QFETCH(QString, message);
    QFETCH(QString, savedDetail);
    QFETCH(QString, savedFile);
    EntryFields::Input input;
    input.time = u"07:30:00"_s;
    input.channelIndex = 0;
    input.detail = detail;
    input.file = file;
    input.volume = 16000;
    input.length = u"00:01:00"_s;
    input.zone = u"3.17."_s;
    const ScheduleEntry entry = EntryFields::entry(input);
    const EntryFields::Problem problem = EntryFields::check(entry);
    QCOMPARE(problem.field, refused);
    QCOMPARE(problem.text, message);

    const QString path = m_dir.filePath(u"20261207.txt"_s);
    const QByteArray old = "08:00:00, 1 ,x,/srv/b.mp3, 1 ,00:00:10,,,\r\n";
    GbkFiles::writeBytes(path, old);
    const QString error = ScheduleFile::writeDateFile(path, {entry});
    if (refused != EntryFields::Field::None) {
        // The writer refuses it too, should the editor ever let it through.
        QVERIFY(!error.isEmpty());
        QCOMPARE(GbkFiles::readBytes(path), old);
        return;
    }
    QCOMPARE(entry.detail, savedDetail);
    QCOMPARE(entry.filename, savedFile);
    // The console reads what the editor saved.
    QCOMPARE(error, QString());
    const ScheduleFile::DayRead read = ScheduleFile::readDateFile(path);
    QVERIFY2(read.ok, qPrintable(read.error));
    QCOMPARE(read.entries, DayTable {entry});
}

QTEST_GUILESS_MAIN(tst_EntryFields)
#include "tst_entryfields.moc"
