#include "fuzztargets.h"

#include "audio/protocol.h"
#include "directory/ampnamefile.h"
#include "directory/nodefile.h"
#include "directory/remotelistfile.h"
#include "platform/fieldreader.h"
#include "platform/gbk.h"
#include "platform/profileini.h"
#include "schedule/schedulefile.h"
#include "zonelink/framedecoder.h"
#include "zonelink/frames.h"

#include <QFile>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;

namespace Fuzz {
namespace {

QByteArray bytesOf(const std::uint8_t *data, std::size_t size)
{
    return QByteArray(reinterpret_cast<const char *>(data), qsizetype(size));
}

// The readers take paths: every input goes to the same scratch file.
QString scratchFile(const QByteArray &bytes)
{
    static QTemporaryDir dir;
    check(dir.isValid(), "scratch folder");
    const QString path = dir.filePath(u"input.txt"_s);
    QFile file(path);
    check(file.open(QIODevice::WriteOnly | QIODevice::Truncate), "scratch file opens");
    check(file.write(bytes) == bytes.size(), "scratch file written");
    return path;
}

// A failed read says why, a good one says nothing.
template<class Read> void errorMatchesOutcome(const Read &read)
{
    check(read.ok == read.error.isEmpty(), "ok exactly when there is no error text");
}

bool cleanText(const QString &text)
{
    return !text.contains(QChar(0)) && gbkCanHold(text);
}

} // namespace

int fieldReader(const std::uint8_t *data, std::size_t size)
{
    if (size < 1)
        return 0;
    // The first byte chooses the kinds of the fields (bit set: a number).
    const unsigned kinds = data[0];
    const QByteArray fields = bytesOf(data + 1, size - 1);
    FieldReader reader(fields);
    const qsizetype lines = fields.count('\n') + fields.count('\r') + 1;
    std::size_t reads = 0;
    for (unsigned i = 0; !reader.atEnd(); ++i) {
        check(++reads <= size + 1, "every field read moves on");
        bool ok = false;
        if (kinds & (1u << (i % 8))) {
            qint16 number = 0;
            ok = reader.readInt16(number);
        } else {
            QString text;
            ok = reader.readText(text);
            check(!ok || cleanText(text), "a text field holds no NUL and only GBK");
        }
        check(reader.line() >= 1 && reader.line() <= lines, "the line is in the data");
        if (!ok) {
            check(reader.errorText().startsWith(u"第%1行："_s.arg(reader.line())),
                  "an error names the field's line");
            break;
        }
    }
    return 0;
}

int scheduleFile(const std::uint8_t *data, std::size_t size)
{
    const QString path = scratchFile(bytesOf(data, size));
    const ScheduleFile::WeekRead week = ScheduleFile::readWeekForEditor(path);
    errorMatchesOutcome(week);
    if (!week.ok) {
        for (const DayTable &day : week.days)
            check(day.isEmpty(), "nothing of a broken week is kept");
    }
    errorMatchesOutcome(ScheduleFile::readDateForEditor(path));
    for (const ScheduleFile::DayRead &day :
         {ScheduleFile::readDayOfWeekFile(path, u"星期三"_s), ScheduleFile::readDateFile(path)}) {
        errorMatchesOutcome(day);
        check(day.ok || day.entries.isEmpty(), "nothing of a broken day is kept");
        // What the console takes, its tick can compare.
        for (const ScheduleEntry &e : day.entries)
            check(ScheduleFile::timeProblem(e, 1).isEmpty(), "the console's rows have times");
    }
    return 0;
}

int nodeFile(const std::uint8_t *data, std::size_t size)
{
    const NodeFileRead read = readNodeFile(scratchFile(bytesOf(data, size)));
    errorMatchesOutcome(read);
    for (const NodeRecord &node : read.records)
        check(cleanText(node.name) && cleanText(node.address) && cleanText(node.group),
              "node fields are clean text");
    return 0;
}

int ampNameFile(const std::uint8_t *data, std::size_t size)
{
    const AmpNamesRead read = readAmpNameFile(scratchFile(bytesOf(data, size)));
    check(read.ok || !read.error.isEmpty(), "a failed read says why");
    check(read.names.amps.size() == 8 && read.names.devices.size() == 8
              && read.names.frequencies.size() == 8,
          "eight names of each kind");
    return 0;
}

int remoteListFile(const std::uint8_t *data, std::size_t size)
{
    const RemoteListRead read = readRemoteListFile(scratchFile(bytesOf(data, size)));
    errorMatchesOutcome(read);
    for (const QString &p : read.paths)
        check(cleanText(p), "paths are clean text");
    return 0;
}

int configIni(const std::uint8_t *data, std::size_t size)
{
    if (size < 1)
        return 0;
    const ProfileIni ini(scratchFile(bytesOf(data + 1, size - 1)));
    const int buffer = 1 + data[0] % 64;
    for (const QString &section : {u"DisplayMode"_s, u"分组名称"_s, u"外设提前"_s}) {
        const QString value = ini.getString(section, u"k"_s, u"默认"_s, buffer);
        check(toGbk(value).size() <= buffer - 1, "a value fits its buffer");
    }
    // What is written is what is read back, whatever else the file holds.
    const QString written = u"值 %1"_s.arg(size);
    if (ini.writeString(u"分组名称"_s, u"分组9"_s, written).isEmpty())
        check(ini.getString(u"分组名称"_s, u"分组9"_s, QString(), 256) == written,
              "a written value reads back");
    return 0;
}

int frames(const std::uint8_t *data, std::size_t size)
{
    if (size < 1)
        return 0;
    const QByteArray bytes = bytesOf(data + 1, size - 1);
    // The same bytes in one piece and cut at a point give the same stream.
    const auto flatten = [](const QList<QList<FrameDecoder::Piece>> &feeds) {
        QList<QByteArray> out;
        QByteArray stray;
        for (const auto &pieces : feeds) {
            for (const FrameDecoder::Piece &p : pieces) {
                if (!p.isFrame) {
                    stray += p.stray;
                    continue;
                }
                if (!stray.isEmpty())
                    out << QByteArrayLiteral("stray ") + stray;
                stray.clear();
                check(p.frame.raw.startsWith(QByteArrayLiteral("\xEB\x14")),
                      "a frame starts with EB 14");
                out << QByteArrayLiteral("frame ") + p.frame.raw;
            }
        }
        if (!stray.isEmpty())
            out << QByteArrayLiteral("stray ") + stray;
        return out;
    };
    FrameDecoder whole;
    FrameDecoder cut;
    const qsizetype at = bytes.isEmpty() ? 0 : data[0] % (bytes.size() + 1);
    check(flatten({whole.feed(bytes)})
              == flatten({cut.feed(bytes.left(at)), cut.feed(bytes.mid(at))}),
          "cutting the stream changes nothing");
    const int address = data[0];
    if (const auto reply = parseStatusReply(bytes, address)) {
        check(bytes.size() >= 12 && static_cast<unsigned char>(bytes.at(2)) == 0x41
                  && static_cast<unsigned char>(bytes.at(3)) == 0xFF
                  && static_cast<unsigned char>(bytes.at(6)) == address,
              "a reply is taken only with A, FF and its address");
        check(reply->address == address, "the reply's address");
    }
    return 0;
}

int audioLines(const std::uint8_t *data, std::size_t size)
{
    // The sound engine's lines as they may come from a pipe: the first byte
    // sets the size of the pieces the bytes arrive in.
    if (size < 1)
        return 0;
    const std::size_t piece = std::size_t(data[0]) * 37 + 1;
    const std::string_view bytes(reinterpret_cast<const char *>(data + 1), size - 1);
    audioproto::LineReader reader;
    std::size_t lines = 0;
    for (std::size_t at = 0; at < bytes.size(); at += piece) {
        reader.append(bytes.substr(at, piece));
        while (std::optional<std::string> line = reader.next()) {
            ++lines;
            check(line->size() <= audioproto::kMaxLine, "no line over the limit");
            check(line->find('\n') == std::string::npos, "a line holds no line end");
            const std::optional<audioproto::Message> m = audioproto::decode(*line);
            if (!m)
                continue;
            // What was read is written back to one line that reads the same.
            const std::string again = audioproto::encode(*m);
            check(again.find('\n') == again.size() - 1, "a message is one line");
            const std::optional<audioproto::Message> back
                = audioproto::decode(std::string_view(again).substr(0, again.size() - 1));
            check(back && back->verb == m->verb && back->args == m->args,
                  "a message reads back the same");
            for (const std::string &a : m->args)
                check(audioproto::unescape(audioproto::escape(a)) == a, "escaping round trip");
        }
    }
    check(lines <= std::size_t(std::count(bytes.begin(), bytes.end(), '\n')),
          "no more lines than line ends");
    return 0;
}

} // namespace Fuzz
