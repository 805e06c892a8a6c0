#pragma once

#include <QByteArray>
#include <QList>
#include <QStringView>

#include <optional>
#include <utility>

// The office page's files: index.html, app.js and style.css, built into the
// program as resources. A request's path only chooses among these few
// names; it is never used to open anything, so no path a browser sends can
// reach another file.
class WebPage
{
public:
    struct File
    {
        QByteArray contentType;
        QByteArray body;
    };

    // The file served at this request path ("/", "/app.js", "/style.css"),
    // or nothing for any other path.
    static std::optional<File> find(QStringView path);

    // The paths find() answers, in a fixed order.
    static QList<QByteArray> paths();
};
