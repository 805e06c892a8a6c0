#include "console/asrunevents.h"

#include "console/console.h"
#include "console/scheduler.h"
#include "platform/asrunlog.h"
#include "platform/mediaplayer.h"
#include "platform/savedfiles.h"
#include "zonelink/framedecoder.h"
#include "zonelink/zonelink.h"

#include <QStringList>

QString AsRunEvents::describeFrame(const QByteArray &frame)
{
    FrameDecoder decoder;
    QStringList parts;
    for (const FrameDecoder::Piece &piece : decoder.feed(frame)) {
        if (!piece.isFrame) {
            parts << QStringLiteral("杂散字节");
            continue;
        }
        const FrameDecoder::Frame &f = piece.frame;
        QString text = QStringLiteral("代码 0x%1 参数 %2 %3")
                           .arg(f.code, 2, 16, QLatin1Char('0'))
                           .arg(f.p1)
                           .arg(f.p2);
        if (!f.values.isEmpty()) {
            QStringList values;
            for (int v : f.values)
                values << QString::number(v);
            text += QStringLiteral(" 值 ") + values.join(u' ');
        }
        parts << text;
    }
    if (decoder.midFrame())
        parts << QStringLiteral("不完整的帧");
    return parts.join(QStringLiteral("；")) + QStringLiteral(" | ")
        + QString::fromLatin1(frame.toHex(' ').toUpper());
}

void AsRunEvents::connect(Console &console, AsRunLog &log)
{
    ZoneLink &link = console.link();
    QObject::connect(&link, &ZoneLink::frameQueued, &console,
                     [&log](const QByteArray &frame, bool) {
                         log.record(QStringLiteral("发送"), describeFrame(frame));
                     });
    QObject::connect(&link, &ZoneLink::linkLost, &console, [&log] {
        log.record(QStringLiteral("线路"), QStringLiteral("与分区控制器的连接中断"));
    });
    QObject::connect(&link, &ZoneLink::linkRestored, &console, [&log] {
        log.record(QStringLiteral("线路"), QStringLiteral("与分区控制器的连接已恢复"));
    });
    QObject::connect(&link, &ZoneLink::keyReceived, &console, [&log](int code) {
        log.record(QStringLiteral("遥控键"), QStringLiteral("键码 %1").arg(code));
    });
    QObject::connect(&console.scheduler(), &Scheduler::filePlayed, &console,
                     [&log](const QString &file, const QString &playLength) {
                         log.record(QStringLiteral("播放"),
                                    file + QStringLiteral("，播放时长 ") + playLength);
                     });
    QObject::connect(&console.scheduler(), &Scheduler::rowsPassedOver, &console,
                     [&log](int count, const QString &firstTime, const QString &lastTime) {
                         log.record(QStringLiteral("错过"),
                                    QStringLiteral("%1 项的开始时间已过，未播放：%2 至 %3")
                                        .arg(count)
                                        .arg(firstTime, lastTime));
                     });
    QObject::connect(&console.savedFiles(), &SavedFiles::saved, &console,
                     [&log](SavedFiles::Kind, const QString &path) {
                         log.record(QStringLiteral("保存"), path);
                     });
    QObject::connect(&console.player(), &MediaPlayer::restarted, &console,
                     [&log](const QString &why) {
                         log.record(QStringLiteral("声音引擎"), QStringLiteral("重新启动：") + why);
                     });
    QObject::connect(&console, &Console::programEnds, &console,
                     [&log] { log.record(QStringLiteral("结束"), QStringLiteral("程序结束")); });
}
