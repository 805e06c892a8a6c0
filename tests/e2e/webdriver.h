#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QNetworkAccessManager>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <optional>

// A headless Chromium driven through chromedriver over the W3C WebDriver
// protocol, for tests that use a page the way a person does: load it, find
// elements by CSS, click, type, read texts and answer the browser's own
// confirmation dialogs. Every call waits for its answer at most a few
// seconds; a failed call returns nothing (or false) and leaves the reason
// in lastError().
//
// The browser runs in a profile folder of its own, which is also how the
// processes it left behind are found and ended when the driver goes.
class WebDriver
{
public:
    WebDriver();
    ~WebDriver();
    WebDriver(const WebDriver &) = delete;
    WebDriver &operator=(const WebDriver &) = delete;

    // Whether chromedriver and Chromium are installed here.
    static bool available(QString *why = nullptr);

    // Starts chromedriver and a browser session; false (with lastError())
    // when either does not come up.
    bool start();
    // Ends the session, chromedriver and whatever browser process is left.
    void quit();
    bool isRunning() const { return !m_session.isEmpty(); }

    bool navigate(const QString &url);
    // The element's reference, or an empty string when no element matches.
    QString find(const QString &css);
    bool click(const QString &element);
    // Types the text into the element, after what it already holds.
    bool sendKeys(const QString &element, const QString &text);
    // The element's visible text, or nothing when the element is gone.
    std::optional<QString> text(const QString &element);
    // The text of the first element matching css; nothing when none does.
    std::optional<QString> textOf(const QString &css);
    // Whether the element is shown (not hidden by itself or a container);
    // nothing when the element is gone.
    std::optional<bool> displayed(const QString &element);
    std::optional<bool> displayedOf(const QString &css);
    // A DOM property ("value", "disabled", "className" ...).
    std::optional<QJsonValue> property(const QString &element, const QString &name);
    // The script's return value; arguments are JSON values.
    std::optional<QJsonValue> execute(const QString &script, const QJsonArray &arguments = {});

    // The text of the open alert or confirmation; nothing when none is open.
    std::optional<QString> alertText();
    bool acceptAlert();
    bool dismissAlert();

    QString lastError() const { return m_error; }
    // The browser's profile folder, named on the command line of each of its processes.
    QString profilePath() const { return m_profile.path(); }
    // Milliseconds a single call may take before it counts as failed.
    void setCallTimeout(int ms) { m_callTimeoutMs = ms; }

    // The key of an element reference in the protocol's JSON.
    static QString elementKey() { return QStringLiteral("element-6066-11e4-a52e-4f735466cecf"); }

private:
    struct Answer
    {
        int status = 0; // HTTP status; 0 when no answer came
        QJsonValue value; // the answer's "value"
    };
    Answer call(const QByteArray &method, const QString &path, const QJsonObject &body = {});
    // call() on the session; true when the answer is a success.
    bool command(const QByteArray &method, const QString &path, const QJsonObject &body = {},
                 QJsonValue *value = nullptr);
    void endBrowserProcesses();

    QProcess m_driver;
    QNetworkAccessManager m_nam;
    QTemporaryDir m_profile;
    quint16 m_port = 0;
    QString m_session;
    QString m_error;
    int m_callTimeoutMs = 15000;
};
