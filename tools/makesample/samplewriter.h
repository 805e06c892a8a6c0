#pragma once

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

// Lays out a sample installation for demonstrations, a boarding school: a
// week schedule with a school day's bells, exercises, music and news, a few
// date schedules for special days, a background picture, sample sounds,
// terminals in eight named groups, amplifier and device names, source
// frequencies, device lead times and the operator's settings.
// Files that already exist are left alone, so an operator's changes survive.
class SampleWriter
{
public:
    explicit SampleWriter(QString folder);

    // Returns the problems met; empty when everything is in place. The date
    // schedules are named after days counted from today.
    QStringList write(const QDate &today);
    // What an installed console's first data folder starts with: the
    // background picture and the sample tunes, files that name no path of
    // this folder (the schedules and lists do, so they stay out).
    QStringList writeSeed();
    // Puts two items into today's table of the sample week that start a
    // minute and a minute and a half after now, on two channels, replacing
    // the ones an earlier call put there (on whichever day).
    QString addItemsSoon(const QDateTime &now);

    // Where the sample week lives, relative to the folder.
    static QString weekFileName();
    // What the details of the items of addItemsSoon begin with.
    static QString soonMarker();

    // One note of a sample sound; a frequency of 0 is a rest.
    struct Note
    {
        double frequency;
        double seconds;
    };
    enum class Touch { Struck, Held };
    // A mono 16-bit PCM WAV file playing the notes one after the other.
    static QByteArray wavFile(const QList<Note> &notes, Touch touch, int sampleRate = 22050);

private:
    void writeIfMissing(const QString &name, const std::function<QString(const QString &)> &writer);
    void writeDateFiles(const QDate &today);
    void writeUserStore();
    QString song(const QString &name) const;

    QString m_folder;
    QStringList m_problems;
};
