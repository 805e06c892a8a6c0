#include "app/commandline.h"

#include <QCommandLineParser>
#include <QStringList>

#include <cstdio>

namespace {

const char16_t kTitle[] = u"QuellonQL-5300 数字广播控制台";

void print(std::FILE *to, const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), to);
    std::fflush(to);
}

QString usage()
{
    return QStringLiteral(
               "用法：quellon [选项]\n"
               "%1：按周节目表和日期节目表播放，并通过串口控制分区广播终端。\n"
               "\n"
               "选项：\n"
               "  -h, --help       显示本说明后退出\n"
               "  -v, --version    显示程序名称和版本后退出\n"
               "  --data-folder 文件夹\n"
               "                   数据文件（节目表、节点、设置、运行日志）所在的文件夹\n"
               "\n"
               "不给 --data-folder 时：程序所在的文件夹可写，且有 portable 或 config.ini\n"
               "文件，便是便携安装，数据就在那里；否则数据在\n"
               "$XDG_DATA_HOME/quellon（默认 ~/.local/share/quellon）。\n"
               "\n"
               "Qt 的窗口选项（如 -platform、-display、-style）照常可用。\n")
        .arg(QString::fromUtf16(kTitle));
}

} // namespace

std::optional<int> answerCommandLine(int argc, char *argv[], StartOptions &options)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));

    QCommandLineParser parser;
    // Qt's own window options are single-dash words ("-platform offscreen");
    // the parser must not read them as a run of one-letter options.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("显示本说明后退出"));
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                     QStringLiteral("显示程序名称和版本后退出"));
    const QCommandLineOption dataFolder(QStringLiteral("data-folder"),
                                        QStringLiteral("数据文件所在的文件夹"),
                                        QStringLiteral("文件夹"));
    parser.addOption(help);
    parser.addOption(version);
    parser.addOption(dataFolder);
    // QApplication takes these itself later; they are known here so that a
    // desktop session or a tester passing them still gets a console.
    for (const char16_t *name :
         {u"platform", u"platformpluginpath", u"platformtheme", u"plugin", u"display", u"style",
          u"stylesheet", u"session", u"qwindowgeometry", u"qwindowtitle", u"qwindowicon"}) {
        QCommandLineOption withValue(QString::fromUtf16(name), QString(), QStringLiteral("value"));
        withValue.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(withValue);
    }
    QCommandLineOption reverse(QStringLiteral("reverse"));
    reverse.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOption(reverse);

    if (!parser.parse(arguments)) {
        print(stderr, QStringLiteral("quellon: %1\n\n").arg(parser.errorText()) + usage());
        return 2;
    }
    if (!parser.positionalArguments().isEmpty()) {
        print(stderr,
              QStringLiteral("quellon: 多余的参数：%1\n\n")
                      .arg(parser.positionalArguments().join(u' '))
                  + usage());
        return 2;
    }
    if (parser.isSet(help)) {
        print(stdout, usage());
        return 0;
    }
    if (parser.isSet(version)) {
        print(stdout, QString::fromUtf16(kTitle) + u' ' + QStringLiteral(QUELLON_VERSION) + u'\n');
        return 0;
    }
    if (parser.isSet(dataFolder)) {
        options.dataFolder = parser.value(dataFolder);
        if (options.dataFolder.isEmpty()) {
            print(stderr, QStringLiteral("quellon: --data-folder 需要一个文件夹\n\n") + usage());
            return 2;
        }
    }
    return std::nullopt;
}
