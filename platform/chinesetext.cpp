#include "platform/chinesetext.h"

#include <QApplication>
#include <QFont>
#include <QFontDatabase>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

bool useChineseText(QApplication &app)
{
    const QLocale chinese(QLocale::Chinese, QLocale::China);
    // Whatever LANG says: the schools' operators read Chinese, and a file
    // dialog with English month names beside Chinese captions reads badly.
    QLocale::setDefault(chinese);
    auto *translator = new QTranslator(&app);
    const bool translated = translator->load(chinese, QStringLiteral("qtbase"), QStringLiteral("_"),
                                             QLibraryInfo::path(QLibraryInfo::TranslationsPath));
    if (translated)
        QApplication::installTranslator(translator);
    else
        delete translator;
    const QStringList cjk
        = {QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("Noto Sans CJK SC")};
    for (const QString &family : cjk) {
        if (QFontDatabase::hasFamily(family)) {
            QFont font(family);
            font.setPointSize(10);
            app.setFont(font);
            break;
        }
    }
    return translated;
}
