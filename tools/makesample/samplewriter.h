#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QStringList>

// Lays out a sample installation for demonstrations: schedule folders with a
// week file, a background picture, sample sounds, nodes with Chinese names,
// amplifier and device names, config.ini and the operator's settings.
// Files that already exist are left alone, so an operator's changes survive.
class SampleWriter
{
public:
    explicit SampleWriter(QString folder);

    // Returns the problems met; empty when everything is in place.
    QStringList write();
    // Puts two items into today's table of the sample week that start a
    // minute and a minute and a half after now, on two channels, replacing
    // the ones an earlier call put there.
    QString addItemsSoon(const QDateTime &now);

    // A PCM WAV file of a sine tone.
    static QByteArray sineWav(double seconds, double frequency, int sampleRate = 22050);

private:
    void writeIfMissing(const QString &name, const std::function<QString(const QString &)> &writer);
    void writeUserStore();

    QString m_folder;
    QStringList m_problems;
};
