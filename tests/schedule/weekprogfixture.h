// What the tests of "编制自动播放列表" share: the console rig, the editor
// opened the way the main window's window host opens it (after raising a
// request flag), and small helpers that drive its controls.

#pragma once

#include "console/consolerig.h"
#include "console/mastervolume.h"
#include "console/programmemodel.h"
#include "platform/gbk.h"
#include "schedule/daytablemodel.h"
#include "schedule/entrytargetspanel.h"
#include "schedule/schedulefile.h"
#include "schedule/weekeditor.h"
#include "schedule/weekprog.h"
#include "support/consolewindows.h"
#include "support/gbkfiles.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDir>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QProgressDialog>
#include <QPushButton>
#include <QSlider>
#include <QTabWidget>
#include <QTest>
#include <QTimeEdit>
#include <QTreeView>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(MsgAnswer)

namespace WeekprogTest {
using Request = void (ConsoleState::*)(bool);

inline QStringList message(const QString &text, const QString &title, MsgIcon icon)
{
    return {text, title, QString::number(int(icon))};
}

const QString kEditor = u"编制自动播放列表"_s;
const QString kSaveQuestion = u"文件已修改，是否存盘？"_s;
const QString kSaveTitle = u"请确认是否存盘"_s;
} // namespace WeekprogTest

using namespace WeekprogTest;

class WeekprogFixture
{
protected:
    void setUp();
    void tearDown();

    weekprog *openEditor(Request request);
    template<class T> T *child(const QString &name) { return m_w->findChild<T *>(name); }
    QLineEdit *edit(const QString &name) { return child<QLineEdit>(name); }
    QTimeEdit *picker(const QString &name) { return child<QTimeEdit>(name); }
    void click(const QString &button)
    {
        QTest::mouseClick(child<QPushButton>(button), Qt::LeftButton);
    }
    void trigger(const QString &item) { child<QAction>(item)->trigger(); }
    QTreeView *list() { return child<QTreeView>(u"lvw_"_s + QString::number(m_w->currentDay())); }
    void clickRow(int row);
    void setFields(const QString &time, int channel, const QString &detail, const QString &file,
                   int volume = 16000, const QString &length = u"00:00:30"_s);
    void addEntry(const QString &time, const QString &detail)
    {
        setFields(time, 0, detail, u"/srv/a.mp3"_s);
        click(u"cmdadd"_s);
    }
    QStringList times(int day) const;
    // The input fields as one text: time, channel entry, description, file,
    // volume, play length.
    QString fields();
    const DayTableModel &day(int index) const { return *m_w->editor().day(index); }
    qsizetype mondayInFile(const QString &path) const
    {
        return ScheduleFile::readDayOfWeekFile(path, u"星期一"_s).entries.size();
    }
    bool modified() const { return m_w->editor().isModified(); }
    void settle();
    QStringList lastMessage() const;

    std::unique_ptr<ConsoleRig> m_rig;
    std::unique_ptr<QWidget> m_main; // stands for the main window
    QPointer<weekprog> m_w;
};

inline void WeekprogFixture::setUp()
{
    m_rig = std::make_unique<ConsoleRig>();
    m_rig->start();
    m_rig->dialogs.shown.clear();
    m_main = std::make_unique<QWidget>();
    m_main->resize(300, 200);
    m_main->show();
}

inline void WeekprogFixture::tearDown()
{
    // The editor goes before the console it shows.
    delete m_w.data();
    m_main.reset();
    m_rig.reset();
    QCOMPARE(QApplication::overrideCursor(), nullptr);
}

// Raises the request and opens the editor as the main window's window host
// does: a new window is made and shown, one already open is shown and
// activated again (the host also raises it, which the test platform cannot
// do); a window closed by the operator is deleted.

inline weekprog *WeekprogFixture::openEditor(Request request)
{
    ConsoleState &state = m_rig->console().state();
    if (m_w) {
        m_main->activateWindow();
        if (!QTest::qWaitForWindowActive(m_main.get()))
            qWarning("the main window did not become active");
    }
    (state.*request)(true);
    if (!m_w) {
        m_w = new weekprog(weekprogServices(m_rig->console()));
        m_w->setAttribute(Qt::WA_DeleteOnClose, true);
    }
    m_w->show();
    m_w->activateWindow();
    if (!QTest::qWaitFor(
            [&state] {
                return !state.NewWeekFileRequest() && !state.OpenWeekFileRequest()
                    && !state.EditCurrentWeekFileRequest();
            },
            5000))
        qWarning("the editor did not take its request");
    settle();
    return m_w;
}

inline void WeekprogFixture::settle()
{
    bool done = false;
    QMetaObject::invokeMethod(
        qApp, [&done] { done = true; }, Qt::QueuedConnection);
    QVERIFY(QTest::qWaitFor([&done] { return done; }, 5000));
    // Answers to questions asked without waiting may follow one another.
    QVERIFY(QTest::qWaitFor([this] { return m_rig->dialogs.answersUnderway() == 0; }, 5000));
    // A window closed with WA_DeleteOnClose goes with the deferred deletions.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

inline void WeekprogFixture::clickRow(int row)
{
    QTreeView *view = list();
    const QModelIndex index = view->model()->index(row, 0);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(index).center());
}

inline void WeekprogFixture::setFields(const QString &time, int channel, const QString &detail,
                                       const QString &file, int volume, const QString &length)
{
    picker(u"DTPicker"_s)->setTime(QTime::fromString(time, u"HH:mm:ss"_s));
    child<QComboBox>(u"cmbchannel"_s)->setCurrentIndex(channel);
    edit(u"txtdetail"_s)->setText(detail);
    edit(u"txtfile"_s)->setText(file);
    child<QSlider>(u"Slidervol"_s)->setValue(volume);
    picker(u"dtpplen"_s)->setTime(QTime::fromString(length, u"HH:mm:ss"_s));
}

inline QString WeekprogFixture::fields()
{
    return QStringList({picker(u"DTPicker"_s)->text(),
                        QString::number(child<QComboBox>(u"cmbchannel"_s)->currentIndex()),
                        edit(u"txtdetail"_s)->text(), edit(u"txtfile"_s)->text(),
                        QString::number(child<QSlider>(u"Slidervol"_s)->value()),
                        picker(u"dtpplen"_s)->text()})
        .join(u'|');
}

inline QStringList WeekprogFixture::times(int d) const
{
    QStringList result;
    for (const ScheduleEntry &e : day(d).entries())
        result << e.time;
    return result;
}

inline QStringList WeekprogFixture::lastMessage() const
{
    if (m_rig->dialogs.shown.isEmpty())
        return {};
    const FakeDialogs::Shown &s = m_rig->dialogs.shown.last();
    return message(s.text, s.title, s.icon);
}
