#include "web/webpage.h"

#include <QFile>

namespace {

struct Entry
{
    const char *path; // as requested
    const char *resource; // where the build put it
    const char *contentType;
};

// The whole list: anything not named here is not served.
constexpr Entry kFiles[] = {
    {"/", ":/web/index.html", "text/html; charset=utf-8"},
    {"/app.js", ":/web/app.js", "text/javascript; charset=utf-8"},
    {"/style.css", ":/web/style.css", "text/css; charset=utf-8"},
};

} // namespace

std::optional<WebPage::File> WebPage::find(QStringView path)
{
    for (const Entry &entry : kFiles) {
        if (path != QLatin1StringView(entry.path))
            continue;
        // The resource name is our own constant, never the request's path.
        QFile file(QString::fromLatin1(entry.resource));
        if (!file.open(QIODevice::ReadOnly))
            return std::nullopt;
        return File {QByteArray(entry.contentType), file.readAll()};
    }
    return std::nullopt;
}

QList<QByteArray> WebPage::paths()
{
    QList<QByteArray> list;
    for (const Entry &entry : kFiles)
        list.append(QByteArray(entry.path));
    return list;
}
