#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

class QSocketNotifier;

// The simulator's end of the line: the master side of a new pseudo-terminal
// whose slave is reached through a fixed symbolic link, or a real serial
// device opened at 1200 8N1.
class PtyLine final : public QObject
{
    Q_OBJECT
public:
    explicit PtyLine(QObject *parent = nullptr);
    ~PtyLine() override;

    // Creates a pseudo-terminal and points linkPath at its slave.
    bool openPty(const QString &linkPath, QString *error);
    bool openDevice(const QString &devicePath, QString *error);

    QString slavePath() const { return m_slave; }
    void write(const QByteArray &bytes);

Q_SIGNALS:
    void received(const QByteArray &bytes);

private:
    void watch();

    int m_fd = -1;
    int m_slaveFd = -1; // kept open so the line survives the console's restarts
    QString m_slave;
    QString m_link;
    QSocketNotifier *m_notifier = nullptr;
};
