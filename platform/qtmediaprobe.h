#pragma once

#include "platform/mediaprobe.h"

#include <QTimer>

class QAudioOutput;
class QMediaPlayer;

// A probe over a player of its own on the same media stack as the console's
// player (Qt Multimedia on GStreamer), so it knows the same files.
class QtMediaProbe final : public MediaProbe
{
    Q_OBJECT
public:
    explicit QtMediaProbe(QObject *parent = nullptr);
    ~QtMediaProbe() override;

    void probe(const QString &path) override;
    void cancel() override;

    static constexpr int kGiveUpMs = 10000; // a file that says nothing in this time fails

private:
    void resetPlayer();
    void finish(qint64 milliseconds, const QString &reason);

    QMediaPlayer *m_player = nullptr;
    QAudioOutput *m_audio = nullptr;
    QString m_path;
    QString m_missing; // a missing file whose failure is still to be told
    QTimer m_giveUp;
};
