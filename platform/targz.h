#pragma once

#include <QByteArray>
#include <QFile>
#include <QSaveFile>
#include <QString>

#include <memory>

// A gzip-compressed tar archive (POSIX ustar, with pax headers for long
// names), the kind `tar czf` makes and `tar xzf` reads, written and read
// here so that what goes in and what comes out is in our hands: a read
// archive is untrusted input, and each entry is seen before anything of it
// reaches the disk.
namespace TarGz {

// Limits against an archive made to fill the disk: the size of one entry
// and of all of them together, uncompressed. The writer keeps to them as
// well, so that an archive made here can always be read back.
constexpr qint64 kMaxEntrySize = qint64(256) << 20;
constexpr qint64 kMaxTotal = qint64(1) << 30;

struct Entry
{
    enum class Type { File, Folder, Link, Other };
    QString name; // as stored, after pax and GNU long names
    Type type = Type::File;
    qint64 size = 0;
    QString linkTarget;
};

class Writer
{
public:
    explicit Writer(qint64 maxEntrySize = kMaxEntrySize, qint64 maxTotal = kMaxTotal);
    ~Writer();
    // The archive reaches path whole when finish() succeeds, never in part.
    bool open(const QString &path);
    // Names are stored as given ("table/week/a.txt"); folders end without "/".
    bool addFile(const QString &name, const QByteArray &data, qint64 modified);
    bool addFolder(const QString &name, qint64 modified);
    bool addLink(const QString &name, const QString &target);
    bool finish();
    // Drops what was written; the file at path stays as it was.
    void abandon();
    QString errorString() const { return m_error; }

private:
    bool addEntry(const QString &name, char type, const QByteArray &data, const QString &link,
                  qint64 modified);
    bool write(const QByteArray &bytes, bool finishStream = false);

    QSaveFile m_file;
    struct Stream;
    std::unique_ptr<Stream> m_z;
    qint64 m_total = 0;
    qint64 m_maxEntry;
    qint64 m_maxTotal;
    QString m_error;
};

class Reader
{
public:
    explicit Reader(qint64 maxEntrySize = kMaxEntrySize, qint64 maxTotal = kMaxTotal);
    ~Reader();
    bool open(const QString &path);
    // The next entry; false at the end of the archive or on an error
    // (errorString() then says which).
    bool next(Entry &entry);
    // The data of the entry next() gave, read once (before the next next()).
    bool readData(QByteArray &data);
    QString errorString() const { return m_error; }
    bool atEnd() const { return m_end; }

private:
    bool fill(qint64 bytes);
    bool take(qint64 bytes, QByteArray &into);
    bool skipPending();
    bool fail(const QString &error);

    QFile m_file;
    struct Stream;
    std::unique_ptr<Stream> m_z;
    QByteArray m_buffer;
    qint64 m_pending = 0; // data bytes of the current entry not read yet
    qint64 m_padding = 0;
    qint64 m_total = 0;
    qint64 m_maxEntry;
    qint64 m_maxTotal;
    bool m_end = false;
    QString m_error;
};

} // namespace TarGz
