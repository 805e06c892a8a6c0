// The WebDriver client that the browser tests stand on, against a real
// headless Chromium and a small page of its own: typing reaches the page,
// clicks run its script, its confirmation dialog is read and answered both
// ways, a missing element is told apart, and quitting leaves no browser
// process behind.

#include "webdriver.h"

#include <QDir>
#include <QFile>
#include <QTest>
#include <QUrl>

using namespace Qt::StringLiterals;

namespace {

const char kPage[] = R"(<!DOCTYPE html>
<html lang="zh-CN"><head><meta charset="utf-8"><title>试验页</title></head><body>
<input id="name"><button id="echo">回显</button><p id="out"></p>
<button id="ask">停止</button><p id="answer">未答</p>
<section id="box" hidden><p id="inside">里面</p></section>
<button id="show">显示</button>
<script>
document.getElementById('echo').onclick = function () {
  document.getElementById('out').textContent = '[' + document.getElementById('name').value + ']';
};
document.getElementById('show').onclick = function () {
  document.getElementById('box').hidden = false;
};
document.getElementById('ask').onclick = function () {
  document.getElementById('answer').textContent = confirm('确定停止播放吗？') ? '是' : '否';
};
</script></body></html>)";

// Processes whose command line names the folder.
int processesNaming(const QString &folder)
{
    int count = 0;
    const QByteArray marker = folder.toLocal8Bit();
    const QStringList entries = QDir(u"/proc"_s).entryList(QDir::Dirs);
    for (const QString &entry : entries) {
        QFile cmdline(u"/proc/"_s + entry + u"/cmdline"_s);
        if (cmdline.open(QIODevice::ReadOnly) && cmdline.readAll().contains(marker))
            ++count;
    }
    return count;
}

} // namespace

class tst_WebDriverE2e : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void typedTextReachesThePage_data();
    void typedTextReachesThePage();
    void confirmationAnswered_data();
    void confirmationAnswered();
    void hiddenUntilShown_data();
    void hiddenUntilShown();
    void missingElementIsNoElement();
    void scriptResultComesBack();
    void quitEndsTheBrowser();

private:
    WebDriver m_driver;
};

void tst_WebDriverE2e::initTestCase()
{
    QString why;
    if (!WebDriver::available(&why))
        QSKIP(qPrintable(why));
    QVERIFY2(m_driver.start(), qPrintable(m_driver.lastError()));
}

void tst_WebDriverE2e::init()
{
    const QString url = u"data:text/html;charset=utf-8,"_s
        + QString::fromLatin1(QUrl::toPercentEncoding(QString::fromUtf8(kPage)));
    QVERIFY2(m_driver.navigate(url), qPrintable(m_driver.lastError()));
    QCOMPARE(m_driver.execute(u"return document.title;"_s).value_or(QJsonValue()).toString(),
             u"试验页"_s);
}

void tst_WebDriverE2e::typedTextReachesThePage_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");
    QTest::newRow("latin") << u"abc 123"_s << u"[abc 123]"_s;
    QTest::newRow("chinese") << u"一班 操场"_s << u"[一班 操场]"_s;
    QTest::newRow("nothing typed") << QString() << u"[]"_s;
}

void tst_WebDriverE2e::typedTextReachesThePage()
{
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    const QString input = m_driver.find(u"#name"_s);
    QVERIFY2(!input.isEmpty(), qPrintable(m_driver.lastError()));
    if (!typed.isEmpty())
        QVERIFY2(m_driver.sendKeys(input, typed), qPrintable(m_driver.lastError()));
    QCOMPARE(m_driver.property(input, u"value"_s).value_or(QJsonValue()).toString(), typed);
    QVERIFY2(m_driver.click(m_driver.find(u"#echo"_s)), qPrintable(m_driver.lastError()));
    QCOMPARE(m_driver.textOf(u"#out"_s).value_or(u"(gone)"_s), shown);
}

void tst_WebDriverE2e::confirmationAnswered_data()
{
    QTest::addColumn<bool>("accept");
    QTest::addColumn<QString>("answer");
    QTest::newRow("accepted") << true << u"是"_s;
    QTest::newRow("dismissed") << false << u"否"_s;
}

void tst_WebDriverE2e::confirmationAnswered()
{
    QFETCH(bool, accept);
    QFETCH(QString, answer);
    QVERIFY(!m_driver.alertText().has_value()); // none open yet
    QVERIFY2(m_driver.click(m_driver.find(u"#ask"_s)), qPrintable(m_driver.lastError()));
    QCOMPARE(m_driver.alertText().value_or(u"(none)"_s), u"确定停止播放吗？"_s);
    QVERIFY2(accept ? m_driver.acceptAlert() : m_driver.dismissAlert(),
             qPrintable(m_driver.lastError()));
    QVERIFY(!m_driver.alertText().has_value());
    QCOMPARE(m_driver.textOf(u"#answer"_s).value_or(u"(gone)"_s), answer);
}

void tst_WebDriverE2e::hiddenUntilShown_data()
{
    QTest::addColumn<bool>("shown");
    QTest::addColumn<QString>("text");
    QTest::newRow("hidden") << false << QString();
    QTest::newRow("shown") << true << u"里面"_s;
}

void tst_WebDriverE2e::hiddenUntilShown()
{
    QFETCH(bool, shown);
    QFETCH(QString, text);
    if (shown)
        QVERIFY2(m_driver.click(m_driver.find(u"#show"_s)), qPrintable(m_driver.lastError()));
    // The element inside the hidden section is there but not shown, and
    // its text is only what is shown.
    QCOMPARE(m_driver.displayedOf(u"#inside"_s), std::optional<bool>(shown));
    QCOMPARE(m_driver.displayedOf(u"#box"_s), std::optional<bool>(shown));
    QCOMPARE(m_driver.textOf(u"#inside"_s), std::optional<QString>(text));
    QCOMPARE(m_driver.displayedOf(u"#nothing-here"_s), std::optional<bool>());
}

void tst_WebDriverE2e::missingElementIsNoElement()
{
    QVERIFY(m_driver.find(u"#nothing-here"_s).isEmpty());
    QVERIFY2(m_driver.lastError().startsWith(u"no such element"_s),
             qPrintable(m_driver.lastError()));
    QVERIFY(!m_driver.textOf(u"#nothing-here"_s).has_value());
    // The session goes on after the refusal.
    QCOMPARE(m_driver.textOf(u"#answer"_s).value_or(u"(gone)"_s), u"未答"_s);
}

void tst_WebDriverE2e::scriptResultComesBack()
{
    const QJsonValue sum = m_driver.execute(u"return arguments[0] + arguments[1];"_s, {40, 2})
                               .value_or(QJsonValue());
    QCOMPARE(sum.toInt(), 42);
    QVERIFY(!m_driver.execute(u"throw new Error('坏');"_s).has_value());
    QVERIFY2(m_driver.lastError().startsWith(u"javascript error"_s),
             qPrintable(m_driver.lastError()));
}

void tst_WebDriverE2e::quitEndsTheBrowser()
{
    const QString profile = m_driver.profilePath();
    QVERIFY(processesNaming(profile) > 0);
    m_driver.quit();
    QVERIFY(!m_driver.isRunning());
    QTRY_COMPARE_WITH_TIMEOUT(processesNaming(profile), 0, 5000);
    QVERIFY(!m_driver.navigate(u"about:blank"_s));
}

QTEST_GUILESS_MAIN(tst_WebDriverE2e)
#include "tst_webdriver_e2e.moc"
