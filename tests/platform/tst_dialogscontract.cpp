// The real dialogs and the tests' fake keep one contract, so that a fake can
// never answer what the real dialog cannot: a notice and a question asked
// without waiting return before anything is answered, the question shows
// what it was given and answers with the button pressed, once, later, from
// the event loop; nothing is answered once its context is gone.

#include "platform/widgetdialogs.h"
#include "support/fakedialogs.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <QMetaEnum>

#include <algorithm>
#include <memory>
#include <optional>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(MsgButtons)
Q_DECLARE_METATYPE(MsgAnswer)

namespace {
struct Question
{
    QString text;
    QString title;
    MsgIcon icon = MsgIcon::None;
    MsgButtons buttons = MsgButtons::Ok;
};

// What the test does to one implementation: what the operator sees and
// presses.
class Driver
{
public:
    virtual ~Driver() = default;
    virtual Dialogs &dialogs() = 0;
    // Before the question: the fake's script takes its answer when asked.
    virtual void expect(MsgAnswer) { }
    virtual void expectFile(const QString &) { }
    // Questions and file dialogs on screen, or answers still to arrive.
    virtual int open() = 0;
    virtual Question question() = 0;
    virtual QStringList fileDialog() = 0; // title, folder
    virtual bool noticeShown(const QString &text) = 0;
    virtual void press(MsgAnswer answer) = 0;
    virtual void choose(const QString &path) = 0; // empty cancels
};

QList<QWidget *> visibleDialogs()
{
    QList<QWidget *> dialogs;
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (w->isVisible() && (qobject_cast<QMessageBox *>(w) || qobject_cast<QFileDialog *>(w)))
            dialogs << w;
    }
    return dialogs;
}

template<class T> T *lastVisible()
{
    T *found = nullptr;
    for (QWidget *w : visibleDialogs()) {
        if (auto *dialog = qobject_cast<T *>(w); dialog && w->objectName() != u"notice")
            found = dialog;
    }
    return found;
}

MsgIcon iconOf(QMessageBox::Icon icon)
{
    switch (icon) {
    case QMessageBox::Information:
        return MsgIcon::Information;
    case QMessageBox::Warning:
        return MsgIcon::Exclamation;
    case QMessageBox::Critical:
        return MsgIcon::Error;
    case QMessageBox::Question:
        return MsgIcon::Question;
    default:
        return MsgIcon::None;
    }
}

const QList<MsgButtons> kAllButtons {MsgButtons::Ok,
                                     MsgButtons::OkCancel,
                                     MsgButtons::YesNo,
                                     MsgButtons::YesNoCancel,
                                     MsgButtons::RetryCancel,
                                     MsgButtons::AbortRetryIgnore,
                                     MsgButtons::SaveDiscardCancel,
                                     MsgButtons::Close};

// What the box on screen offers, read back from its buttons.
std::optional<MsgButtons> buttonsOf(const QMessageBox *box)
{
    QList<MsgAnswer> shown;
    for (QAbstractButton *button : box->buttons()) {
        const std::optional<MsgAnswer> answer
            = WidgetDialogs::answerOf(box->standardButton(button));
        if (!answer)
            return std::nullopt;
        shown << *answer;
    }
    for (MsgButtons buttons : kAllButtons) {
        QList<MsgAnswer> offered = offeredAnswers(buttons);
        if (offered.size() == shown.size()
            && std::all_of(shown.cbegin(), shown.cend(),
                           [&](MsgAnswer a) { return offered.contains(a); }))
            return buttons;
    }
    return std::nullopt;
}

QString answerName(MsgAnswer answer)
{
    const QMetaObject &meta = QMessageBox::staticMetaObject;
    const QMetaEnum buttons = meta.enumerator(meta.indexOfEnumerator("StandardButtons"));
    return QString::fromLatin1(buttons.valueToKey(WidgetDialogs::standardButton(answer)));
}

QString buttonsName(MsgButtons buttons)
{
    QStringList names;
    for (MsgAnswer answer : offeredAnswers(buttons))
        names << answerName(answer);
    return names.join(u", ");
}

class WidgetDriver final : public Driver
{
public:
    Dialogs &dialogs() override { return m_dialogs; }
    int open() override { return int(visibleDialogs().size()); }
    Question question() override
    {
        QMessageBox *box = lastVisible<QMessageBox>();
        if (!box)
            return {};
        const std::optional<MsgButtons> buttons = buttonsOf(box);
        if (!buttons)
            return {};
        return {box->text(), box->windowTitle(), iconOf(box->icon()), *buttons};
    }
    QStringList fileDialog() override
    {
        QFileDialog *dialog = lastVisible<QFileDialog>();
        if (!dialog)
            return {};
        return {dialog->windowTitle(), dialog->directory().absolutePath()};
    }
    bool noticeShown(const QString &text) override
    {
        for (QWidget *w : visibleDialogs()) {
            if (auto *box = qobject_cast<QMessageBox *>(w); box && box->text() == text)
                return box->windowModality() != Qt::ApplicationModal;
        }
        return false;
    }
    void press(MsgAnswer answer) override
    {
        QMessageBox *box = lastVisible<QMessageBox>();
        if (!box)
            return;
        if (QAbstractButton *button
            = box->button(QMessageBox::StandardButton(WidgetDialogs::standardButton(answer))))
            button->click();
    }
    void choose(const QString &path) override
    {
        QFileDialog *dialog = lastVisible<QFileDialog>();
        if (!dialog)
            return;
        if (path.isEmpty()) {
            dialog->reject();
            return;
        }
        // What the operator's "Open" does.
        dialog->selectFile(path);
        QMetaObject::invokeMethod(dialog, "accept");
    }

private:
    WidgetDialogs m_dialogs;
};

class FakeDriver final : public Driver
{
public:
    explicit FakeDriver(bool held) { m_dialogs.holdAnswers = held; }
    Dialogs &dialogs() override { return m_dialogs; }
    void expect(MsgAnswer answer) override
    {
        if (!m_dialogs.holdAnswers)
            m_dialogs.answers.enqueue(answer);
    }
    void expectFile(const QString &path) override
    {
        if (!m_dialogs.holdAnswers && !path.isEmpty())
            m_dialogs.files.enqueue(path);
    }
    int open() override { return m_dialogs.held() + m_dialogs.answersUnderway(); }
    Question question() override
    {
        if (m_dialogs.shown.isEmpty())
            return {};
        const FakeDialogs::Shown &s = m_dialogs.shown.last();
        return {s.text, s.title, s.icon, s.buttons};
    }
    QStringList fileDialog() override
    {
        if (m_dialogs.fileDialogTitles.isEmpty())
            return {};
        return {m_dialogs.fileDialogTitles.last(), m_dialogs.fileDialogFolders.last()};
    }
    bool noticeShown(const QString &text) override
    {
        for (const FakeDialogs::Shown &s : std::as_const(m_dialogs.shown)) {
            if (s.text == text)
                return !s.waited;
        }
        return false;
    }
    void press(MsgAnswer answer) override
    {
        if (m_dialogs.holdAnswers)
            m_dialogs.answerHeld(answer);
    }
    void choose(const QString &path) override
    {
        if (m_dialogs.holdAnswers)
            m_dialogs.chooseHeld(path);
    }

private:
    FakeDialogs m_dialogs;
};

std::unique_ptr<Driver> driverFor(const QString &implementation)
{
    if (implementation == u"widgets")
        return std::make_unique<WidgetDriver>();
    return std::make_unique<FakeDriver>(implementation == u"fake, held");
}

const QStringList kImplementations {u"widgets"_s, u"fake, held"_s, u"fake, scripted"_s};
} // namespace

class tst_DialogsContract : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void cleanup();
    void noticeReturnsAtOnce_data();
    void noticeReturnsAtOnce();
    void questionAnswersLater_data();
    void questionAnswersLater();
    void contextGoneAnswersNothing_data();
    void contextGoneAnswersNothing();
    void fileDialogAnswersLater_data();
    void fileDialogAnswersLater();
    void questionStandsOverItsWindow();
    void messageAnswersWithTheButtonPressed_data();
    void messageAnswersWithTheButtonPressed();
};

void tst_DialogsContract::cleanup()
{
    for (QWidget *w : visibleDialogs())
        w->close();
    QTest::qWait(1);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void tst_DialogsContract::noticeReturnsAtOnce_data()
{
    QTest::addColumn<QString>("implementation");
    for (const QString &implementation : kImplementations)
        QTest::newRow(qPrintable(implementation)) << implementation;
}

void tst_DialogsContract::noticeReturnsAtOnce()
{
    QFETCH(QString, implementation);
    const auto driver = driverFor(implementation);
    driver->dialogs().notify(u"没有读取到主机的时间。"_s, QString(), MsgIcon::Information, nullptr);
    QVERIFY(driver->noticeShown(u"没有读取到主机的时间。"_s));
}

void tst_DialogsContract::questionAnswersLater_data()
{
    QTest::addColumn<QString>("implementation");
    QTest::addColumn<MsgButtons>("buttons");
    QTest::addColumn<MsgAnswer>("pressed");
    for (const QString &implementation : kImplementations) {
        const auto row = [&](const char *name, MsgButtons buttons, MsgAnswer pressed) {
            QTest::addRow("%s: %s", qPrintable(implementation), name)
                << implementation << buttons << pressed;
        };
        // Every button of every set, pressed.
        for (MsgButtons buttons : kAllButtons) {
            for (MsgAnswer answer : offeredAnswers(buttons)) {
                const QString name = buttonsName(buttons) + u": " + answerName(answer);
                row(qPrintable(name), buttons, answer);
            }
        }
    }
}

void tst_DialogsContract::questionAnswersLater()
{
    QFETCH(QString, implementation);
    QFETCH(MsgButtons, buttons);
    QFETCH(MsgAnswer, pressed);
    const auto driver = driverFor(implementation);
    QWidget window;
    window.show();
    QList<MsgAnswer> answers;
    driver->expect(pressed);
    driver->dialogs().ask(u"确定要改变自动开机时间为  06:45:00  吗?"_s, u"请确认改变"_s,
                          MsgIcon::Question, buttons, &window,
                          [&answers](MsgAnswer answer) { answers << answer; });
    // Returned before any answer: nothing waited inside the call.
    QVERIFY(answers.isEmpty());
    const Question shown = driver->question();
    QCOMPARE(shown.text, u"确定要改变自动开机时间为  06:45:00  吗?"_s);
    QCOMPARE(shown.title, u"请确认改变"_s);
    QCOMPARE(shown.icon, MsgIcon::Question);
    QCOMPARE(shown.buttons, buttons);
    // The event loop goes on while the question is open.
    int ticks = 0;
    QTimer timer;
    connect(&timer, &QTimer::timeout, this, [&ticks] { ++ticks; });
    timer.start(1);
    QTRY_VERIFY(ticks >= 2);
    driver->press(pressed);
    QTRY_COMPARE(answers.size(), 1);
    QCOMPARE(answers.at(0), pressed);
    QTRY_COMPARE(driver->open(), 0);
    QTest::qWait(5);
    QCOMPARE(answers.size(), 1); // once
}

void tst_DialogsContract::contextGoneAnswersNothing_data()
{
    QTest::addColumn<QString>("implementation");
    QTest::addColumn<bool>("fileDialog");
    for (const QString &implementation : kImplementations) {
        QTest::addRow("%s: question", qPrintable(implementation)) << implementation << false;
        QTest::addRow("%s: file dialog", qPrintable(implementation)) << implementation << true;
    }
}

void tst_DialogsContract::contextGoneAnswersNothing()
{
    QFETCH(QString, implementation);
    QFETCH(bool, fileDialog);
    const auto driver = driverFor(implementation);
    QWidget window;
    window.show();
    auto context = std::make_unique<QWidget>(&window);
    int calls = 0;
    driver->expect(MsgAnswer::Yes);
    driver->expectFile(u"/srv/a.txt"_s);
    if (fileDialog) {
        driver->dialogs().askOpenFileName(u"打开星期播放列表文件"_s, QDir::tempPath(),
                                          u"播放列表文件(*.txt)|*.txt"_s, QString(), context.get(),
                                          [&calls](const QString &) { ++calls; });
    } else {
        driver->dialogs().ask(u"文件已修改，是否存盘？"_s, u"请确认是否存盘"_s, MsgIcon::Question,
                              MsgButtons::YesNo, context.get(), [&calls](MsgAnswer) { ++calls; });
    }
    QCOMPARE(driver->open(), 1);
    context.reset();
    // The question went with its context; pressing finds nothing.
    QTRY_COMPARE(driver->open(), 0);
    driver->press(MsgAnswer::Yes);
    driver->choose(u"/srv/a.txt"_s);
    QTest::qWait(5);
    QCOMPARE(calls, 0);
}

void tst_DialogsContract::fileDialogAnswersLater_data()
{
    QTest::addColumn<QString>("implementation");
    QTest::addColumn<bool>("chosen");
    for (const QString &implementation : kImplementations) {
        QTest::addRow("%s: chosen", qPrintable(implementation)) << implementation << true;
        QTest::addRow("%s: cancelled", qPrintable(implementation)) << implementation << false;
    }
}

void tst_DialogsContract::fileDialogAnswersLater()
{
    QFETCH(QString, implementation);
    QFETCH(bool, chosen);
    QTemporaryDir dir;
    const QString file = QFileInfo(dir.filePath(u"week.txt"_s)).absoluteFilePath();
    QFile f(file);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.close();
    const auto driver = driverFor(implementation);
    QWidget window;
    window.show();
    QStringList paths;
    driver->expectFile(chosen ? file : QString());
    driver->dialogs().askOpenFileName(u"打开星期播放列表文件"_s, dir.path(),
                                      u"播放列表文件(*.txt)|*.txt"_s, QString(), &window,
                                      [&paths](const QString &path) { paths << path; });
    QVERIFY(paths.isEmpty());
    QCOMPARE(driver->fileDialog(),
             (QStringList {u"打开星期播放列表文件"_s, QFileInfo(dir.path()).absoluteFilePath()}));
    driver->choose(chosen ? file : QString());
    QTRY_COMPARE(paths.size(), 1);
    QCOMPARE(paths.at(0), chosen ? file : QString());
    QTRY_COMPARE(driver->open(), 0);
    QTest::qWait(5);
    QCOMPARE(paths.size(), 1);
}

void tst_DialogsContract::questionStandsOverItsWindow()
{
    // The real box: over the window it concerns, modal to that window only,
    // and gone once answered.
    WidgetDialogs dialogs;
    QWidget main;
    main.show();
    QWidget editor(&main, Qt::Window);
    editor.show();
    auto *field = new QWidget(&editor);
    dialogs.ask(u"频率不对，请输入70MHz-110MHz之间的频率"_s, u"系统提示"_s, MsgIcon::Error,
                MsgButtons::Ok, field, [](MsgAnswer) {});
    auto *box = lastVisible<QMessageBox>();
    QVERIFY(box);
    QCOMPARE(box->parentWidget(), &editor);
    QCOMPARE(box->windowModality(), Qt::WindowModal);
    QPointer<QMessageBox> gone(box);
    box->button(QMessageBox::Ok)->click();
    QTRY_VERIFY(gone.isNull());
}

void tst_DialogsContract::messageAnswersWithTheButtonPressed_data()
{
    QTest::addColumn<QString>("implementation");
    QTest::addColumn<MsgButtons>("buttons");
    QTest::addColumn<QString>("press"); // a button, Return, Escape
    QTest::addColumn<MsgAnswer>("pressed"); // the button clicked, or scripted
    QTest::addColumn<MsgAnswer>("expected");
    for (MsgButtons buttons : kAllButtons) {
        const QString set = buttonsName(buttons);
        for (MsgAnswer answer : offeredAnswers(buttons)) {
            for (const QString &implementation : {u"widgets"_s, u"fake, scripted"_s}) {
                QTest::addRow("%s: %s: %s", qPrintable(implementation), qPrintable(set),
                              qPrintable(answerName(answer)))
                    << implementation << buttons << u"button"_s << answer << answer;
            }
        }
        // The keyboard: Enter takes the first button, Escape backs out.
        QTest::addRow("widgets: %s: Return", qPrintable(set))
            << u"widgets"_s << buttons << u"Return"_s << MsgAnswer::Ok << defaultAnswer(buttons);
        QTest::addRow("widgets: %s: Escape", qPrintable(set))
            << u"widgets"_s << buttons << u"Escape"_s << MsgAnswer::Ok << escapeAnswer(buttons);
    }
    // "全部删除" asks OK/Cancel: its OK must come back as OK.
    QTest::addRow("widgets: delete all, ok")
        << u"widgets"_s << MsgButtons::OkCancel << u"button"_s << MsgAnswer::Ok << MsgAnswer::Ok;
    // A script that answers a button the box lacks is a fault of the test:
    // the real box could never answer it.
    QTest::addRow("fake, scripted: yes, no answered ok")
        << u"fake, scripted"_s << MsgButtons::YesNo << u"unoffered"_s << MsgAnswer::Ok
        << MsgAnswer::No;
}

void tst_DialogsContract::messageAnswersWithTheButtonPressed()
{
    QFETCH(QString, implementation);
    QFETCH(MsgButtons, buttons);
    QFETCH(QString, press);
    QFETCH(MsgAnswer, pressed);
    QFETCH(MsgAnswer, expected);
    const auto driver = driverFor(implementation);
    QWidget window;
    window.show();
    driver->expect(pressed);
    // The real box waits for the operator: his press comes from the event
    // loop the box runs.
    QTimer operatorHand;
    QString seenTitle;
    connect(&operatorHand, &QTimer::timeout, this, [&] {
        QMessageBox *box = lastVisible<QMessageBox>();
        if (!box)
            return;
        operatorHand.stop();
        seenTitle = box->windowTitle();
        if (press == u"Return")
            QTest::keyClick(box, Qt::Key_Return);
        else if (press == u"Escape")
            QTest::keyClick(box, Qt::Key_Escape);
        else
            driver->press(pressed);
    });
    if (implementation == u"widgets")
        operatorHand.start(5);
    if (press == u"unoffered")
        QEXPECT_FAIL("", "the fake refuses a scripted answer its box does not offer", Continue);
    const MsgAnswer answer = driver->dialogs().message(u"确定要删除所有项目吗?"_s, u"删除确认"_s,
                                                       MsgIcon::Question, buttons, &window);
    QCOMPARE(answer, expected);
    const Question shown = driver->question();
    if (implementation == u"widgets") {
        QCOMPARE(seenTitle, u"删除确认"_s);
        QCOMPARE(driver->open(), 0);
    } else {
        QCOMPARE(shown.buttons, buttons);
    }
}

QTEST_MAIN(tst_DialogsContract)
#include "tst_dialogscontract.moc"
