#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>

#include <sys/inotify.h>
#include <unistd.h>

// Counts the times a file was put in place in its folder: QSettings and
// QSaveFile write a file afresh and link or rename it over the old one, so
// each event is one whole write of the file (each waiting for the disk). The
// kernel queues the events as the calls happen, so the count needs no
// waiting.
class FileWrites
{
public:
    explicit FileWrites(const QString &path)
        : m_name(QFile::encodeName(QFileInfo(path).fileName()))
        , m_fd(inotify_init1(IN_NONBLOCK | IN_CLOEXEC))
    {
        QDir().mkpath(QFileInfo(path).path());
        inotify_add_watch(m_fd, QFile::encodeName(QFileInfo(path).path()).constData(),
                          IN_CREATE | IN_MOVED_TO);
    }
    ~FileWrites() { ::close(m_fd); }
    FileWrites(const FileWrites &) = delete;
    FileWrites &operator=(const FileWrites &) = delete;

    // Writes since the last call.
    int take()
    {
        int writes = 0;
        alignas(inotify_event) char buffer[4096];
        ssize_t n;
        while ((n = ::read(m_fd, buffer, sizeof buffer)) > 0) {
            for (ssize_t at = 0; at < n;) {
                const auto *event = reinterpret_cast<const inotify_event *>(buffer + at);
                if (event->len > 0 && m_name == event->name)
                    ++writes;
                at += ssize_t(sizeof(inotify_event) + event->len);
            }
        }
        return writes;
    }

private:
    QByteArray m_name;
    int m_fd;
};
