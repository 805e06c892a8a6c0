#include "console/folderplayback.h"

#include "console/playbackengine.h"
#include "platform/clock.h"

#include <QDir>
#include <QLoggingCategory>

#include <algorithm>

Q_LOGGING_CATEGORY(lcFolder, "quellon.folder")

FolderPlayback::FolderPlayback(const Clock &clock, PlaybackEngine &playback, QObject *parent)
    : QObject(parent)
    , m_clock(clock)
    , m_playback(playback)
    , m_random(QRandomGenerator::global()->generate())
{
    connect(&m_playback, &PlaybackEngine::songEnded, this, &FolderPlayback::songEnded);
}

FolderPlayback::Order FolderPlayback::orderFor(const QString &detail)
{
    return detail.trimmed() == u"随机播" ? Order::Random : Order::ByName;
}

QStringList FolderPlayback::audioFiles(const QString &folder)
{
    if (folder.isEmpty())
        return {};
    static const QStringList kinds {QStringLiteral("mp3"), QStringLiteral("wav"),
                                    QStringLiteral("mid"), QStringLiteral("wma"),
                                    QStringLiteral("dat")};
    const QDir dir(folder);
    QStringList files;
    for (const QFileInfo &info :
         dir.entryInfoList(QDir::Files | QDir::Readable, QDir::Name | QDir::IgnoreCase)) {
        if (kinds.contains(info.suffix().toLower()))
            files.append(info.filePath());
    }
    return files;
}

void FolderPlayback::start(const QString &folder, Order order, const QDateTime &end)
{
    stop();
    m_files = audioFiles(folder);
    m_index = -1;
    if (m_files.isEmpty()) {
        qCInfo(lcFolder) << "no audio file in" << folder;
        return;
    }
    if (order == Order::Random)
        std::shuffle(m_files.begin(), m_files.end(), m_random);
    m_end = end;
    m_active = true;
    qCInfo(lcFolder) << "playing" << m_files.size() << "files of" << folder << "until" << end;
    playNext();
}

void FolderPlayback::stop()
{
    m_active = false;
}

bool FolderPlayback::isActive() const
{
    return m_active && m_playback.playerTurn() == m_turn;
}

void FolderPlayback::songEnded()
{
    if (!isActive()) {
        m_active = false;
        return;
    }
    // The next file starts from the event loop, not from inside the player's
    // own end-of-stream report; the run may have been ended by then.
    QMetaObject::invokeMethod(
        this,
        [this, turn = m_turn] {
            if (isActive() && m_turn == turn)
                playNext();
        },
        Qt::QueuedConnection);
}

void FolderPlayback::playNext()
{
    // The first file starts whenever the entry's frames are out, as a single
    // file does; a later one only while the play length lasts. A file that
    // went away since the folder was read is passed over.
    while (m_index + 1 < m_files.size() && (m_index < 0 || m_clock.now() < m_end)) {
        ++m_index;
        const quint64 before = m_playback.playerTurn();
        m_playback.playsong(m_files.at(m_index), QStringLiteral("0"), PlayerHolder::Folder);
        if (m_playback.playerTurn() != before) {
            m_turn = m_playback.playerTurn();
            return;
        }
    }
    m_active = false;
    qCInfo(lcFolder) << "run ends after" << m_index + 1 << "of" << m_files.size() << "files";
}
