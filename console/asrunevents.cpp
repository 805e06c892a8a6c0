#include "console/asrunevents.h"

#include "console/console.h"
#include "console/consolesettings.h"
#include "console/emergencybroadcast.h"
#include "console/playbackengine.h"
#include "console/programmemodel.h"
#include "console/scheduler.h"
#include "console/todayschedule.h"
#include "platform/asrunlog.h"
#include "platform/asrunreader.h"
#include "platform/mediaplayer.h"
#include "platform/savedfiles.h"
#include "zonelink/framedecoder.h"
#include "zonelink/zonelink.h"

#include <QFileInfo>
#include <QStringList>

namespace {
// How the operator's cancel and restore of a row read in the log; a
// restarted console reads them back.
const QString kCancelKind = QStringLiteral("取消");
const QString kRestoreKind = QStringLiteral("恢复");
const QString kCancelledBy = QStringLiteral("操作员取消：");
const QString kRestoredBy = QStringLiteral("操作员恢复：");
} // namespace

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
    // A frame is logged as it leaves for the wire, not as it is queued: a
    // queued frame may still be dropped, and the log must match what the
    // controller saw.
    QObject::connect(&link, &ZoneLink::frameSent, &console, [&log](const QByteArray &frame) {
        log.record(QStringLiteral("发送"), describeFrame(frame));
    });
    QObject::connect(&link, &ZoneLink::frameDropped, &console,
                     [&log](const QByteArray &frame, const QString &why) {
                         log.record(QStringLiteral("丢弃"),
                                    why + QStringLiteral("：") + describeFrame(frame));
                     });
    QObject::connect(&link, &ZoneLink::commandAnnounced, &console,
                     [&log](const QString &kind, const QString &what) { log.record(kind, what); });
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
                     [&log, &link](const QString &file, const QString &playLength) {
                         // The player takes no file that is not there: the
                         // rooms were opened, but nothing was heard.
                         if (!QFileInfo::exists(file)) {
                             log.record(QStringLiteral("跳过"),
                                        QStringLiteral("声音文件不存在，未播放：") + file);
                             return;
                         }
                         QString text = file + QStringLiteral("，播放时长 ") + playLength;
                         if (!link.isOpen())
                             text += QStringLiteral("（与分区控制器的连接中断，只在本机播放）");
                         log.record(QStringLiteral("播放"), text);
                     });
    QObject::connect(&console.scheduler(), &Scheduler::itemEnded, &console,
                     [&log](int channel, const QString &startTime, const QString &detail) {
                         log.record(QStringLiteral("结束播放"),
                                    QStringLiteral("第 %1 路 %2 开始的%3已结束，设备已关闭")
                                        .arg(channel)
                                        .arg(startTime, detail));
                     });
    PlaybackEngine &playback = console.playback();
    QObject::connect(
        &playback, &PlaybackEngine::holderChanged, &console,
        [&log, &playback](PlayerHolder now, PlayerHolder before) {
            if (now != PlayerHolder::Nobody
                || (before != PlayerHolder::Schedule && before != PlayerHolder::Folder))
                return;
            log.record(QStringLiteral("结束播放"), QStringLiteral("声音停止：") + playback.title());
        });
    TodaySchedule &today = console.today();
    ProgrammeModel &model = console.programme();
    const auto rowText = [&model](int row) -> QString {
        return model.entry(row).time + u' ' + model.cellText(row, ProgrammeModel::FileNameColumn);
    };
    QObject::connect(&today, &TodaySchedule::rowCancelled, &console, [&log, rowText](int row) {
        log.record(kCancelKind, kCancelledBy + rowText(row));
    });
    QObject::connect(&today, &TodaySchedule::rowRestored, &console, [&log, rowText](int row) {
        log.record(kRestoreKind, kRestoredBy + rowText(row));
    });
    ConsoleSettings &settings = console.settings();
    QObject::connect(&settings, &ConsoleSettings::applied, &console, [&log] {
        log.record(QStringLiteral("设置"), QStringLiteral("系统设置已保存"));
    });
    // The days kept follow the settings once they are read. The log removes
    // old days on the first line of a day; a shorter keep applied in the
    // settings waits for the next day rather than removing days at once.
    const auto keepDays = [&log, &settings] {
        if (settings.isLoaded())
            log.setKeepDays(settings.values().AsRunKeepDays);
    };
    keepDays();
    QObject::connect(&settings, &ConsoleSettings::changed, &console, keepDays);
    QObject::connect(&console.scheduler(), &Scheduler::rowsPassedOver, &console,
                     [&log](int count, const QString &firstTime, const QString &lastTime) {
                         log.record(QStringLiteral("错过"),
                                    QStringLiteral("%1 项的开始时间已过，未播放：%2 至 %3")
                                        .arg(count)
                                        .arg(firstTime, lastTime));
                     });
    QObject::connect(&console.emergency(), &EmergencyBroadcast::logged, &console,
                     [&log](const QString &text) { log.record(EmergencyBroadcast::kind(), text); });
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

QSet<QString> AsRunEvents::rowsLeftCancelled(const QString &dayFile)
{
    QSet<QString> rows;
    for (const AsRunEntry &entry : readAsRunDay(dayFile).entries) {
        if (entry.kind == kCancelKind && entry.text.startsWith(kCancelledBy))
            rows.insert(entry.text.mid(kCancelledBy.size()));
        else if (entry.kind == kRestoreKind && entry.text.startsWith(kRestoredBy))
            rows.remove(entry.text.mid(kRestoredBy.size()));
    }
    return rows;
}
