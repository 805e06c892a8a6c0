// Builds the real services and the main window.

#include "console/frmback.h"
#include "platform/appfolder.h"
#include "platform/clock.h"
#include "platform/mixer.h"
#include "platform/power.h"
#include "platform/qtmediaplayer.h"
#include "platform/qtserialport.h"
#include "platform/userstore.h"
#include "platform/widgetdialogs.h"

#include <QApplication>
#include <QFont>
#include <QFontDatabase>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

int main(int argc, char *argv[])
{
    // Qt's FFmpeg media backend crashes without a sound device and cannot
    // play MIDI; GStreamer can.
    if (qEnvironmentVariableIsEmpty("QT_MEDIA_BACKEND"))
        qputenv("QT_MEDIA_BACKEND", "gstreamer");

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("QuellonQL-5300"));

    // Standard buttons and dialogs speak Chinese like the rest of the console.
    QTranslator qtTranslator;
    if (qtTranslator.load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qtbase"),
                          QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTranslator);
    const QStringList cjk = {QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("Noto Sans CJK SC")};
    for (const QString &family : cjk) {
        if (QFontDatabase::hasFamily(family)) {
            QFont font(family);
            font.setPointSize(10);
            QApplication::setFont(font);
            break;
        }
    }

    SystemClock clock;
    WidgetDialogs dialogs;
    SettingsUserStore store;
    QtMediaPlayer player;
    AlsaMixer mixer;
    QtSerialPort port;
    LogindPower power;
    const AppFolder folder(QCoreApplication::applicationDirPath());

    frmback window({clock, dialogs, store, player, mixer, port, power, folder});
    dialogs.setParent(&window);
    player.setVideoWidget(window.videoWidget());
    window.startUp();
    window.showMaximized();
    return QApplication::exec();
}
