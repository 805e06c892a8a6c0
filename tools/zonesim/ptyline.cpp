#include "ptyline.h"

#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace {
void makeRaw(int fd)
{
    termios t {};
    if (tcgetattr(fd, &t) != 0)
        return;
    cfmakeraw(&t);
    cfsetispeed(&t, B1200);
    cfsetospeed(&t, B1200);
    t.c_cflag |= CLOCAL | CREAD;
    tcsetattr(fd, TCSANOW, &t);
}
QString systemError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}
} // namespace

PtyLine::PtyLine(QObject *parent)
    : QObject(parent)
{
}

PtyLine::~PtyLine()
{
    if (!m_link.isEmpty()) {
        const QFileInfo info(m_link);
        if (info.isSymLink() && info.symLinkTarget() == m_slave)
            QFile::remove(m_link);
    }
    if (m_fd >= 0)
        ::close(m_fd);
    if (m_slaveFd >= 0)
        ::close(m_slaveFd);
}

bool PtyLine::openPty(const QString &linkPath, QString *error)
{
    m_fd = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (m_fd < 0 || ::grantpt(m_fd) != 0 || ::unlockpt(m_fd) != 0) {
        *error = systemError();
        return false;
    }
    m_slave = QString::fromLocal8Bit(::ptsname(m_fd));
    // Raw from the start, so nothing the controller sends is echoed back
    // before the console has set the line up.
    m_slaveFd = ::open(m_slave.toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
    if (m_slaveFd >= 0)
        makeRaw(m_slaveFd);
    const QFileInfo existing(linkPath);
    if (existing.exists() && !existing.isSymLink()) {
        *error = QStringLiteral("%1 exists and is not a symbolic link").arg(linkPath);
        return false;
    }
    QFile::remove(linkPath);
    if (!QFile::link(m_slave, linkPath)) {
        *error = QStringLiteral("cannot create the link %1").arg(linkPath);
        return false;
    }
    m_link = linkPath;
    watch();
    return true;
}

bool PtyLine::openDevice(const QString &devicePath, QString *error)
{
    m_fd = ::open(devicePath.toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
    if (m_fd < 0) {
        *error = systemError();
        return false;
    }
    makeRaw(m_fd);
    m_slave = devicePath;
    watch();
    return true;
}

void PtyLine::watch()
{
    m_notifier = new QSocketNotifier(m_fd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] {
        char buffer[512];
        const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
        if (n > 0)
            Q_EMIT received(QByteArray(buffer, int(n)));
    });
}

void PtyLine::write(const QByteArray &bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(m_fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n <= 0)
            return;
        done += n;
    }
}
