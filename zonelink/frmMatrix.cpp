#include "zonelink/frmMatrix.h"

#include "platform/dialogs.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {
const QString kTitle = u"矩阵控制"_s;
constexpr char16_t kOutputNames[Matrix::kOutputs][2]
    = {u"一", u"二", u"三", u"四", u"五", u"六", u"七", u"八"};
} // namespace

frmMatrix::frmMatrix(ZoneLink &link, MatrixRouteTable &routes, Dialogs &dialogs, QWidget *parent)
    : QWidget(parent)
    , m_dialogs(dialogs)
    , m_control(link, routes)
{
    setObjectName(u"frmMatrix"_s);
    setWindowTitle(kTitle);

    // The outputs side by side and their inputs down each frame, as the
    // crosspoints of the matrix would be drawn.
    auto *outputs = new QHBoxLayout;
    QWidget *previous = nullptr;
    const auto chain = [&previous](QWidget *next) {
        if (previous)
            QWidget::setTabOrder(previous, next);
        previous = next;
    };
    for (int k = 0; k < Matrix::kOutputs; ++k) {
        auto *frame = new QGroupBox(u"输出"_s + QString::fromUtf16(kOutputNames[k]), this);
        frame->setObjectName(u"fraOut_%1"_s.arg(k));
        auto *group = new QButtonGroup(this);
        group->setExclusive(true);
        m_groups[std::size_t(k)] = group;
        auto *column = new QVBoxLayout(frame);
        for (int i = 0; i < Matrix::kInputs; ++i) {
            auto *option = new QRadioButton(QString::number(i + 1), frame);
            option->setObjectName(u"optIn%1_%2"_s.arg(k).arg(i));
            group->addButton(option, i);
            column->addWidget(option);
            chain(option);
        }
        column->addStretch(1);
        auto *enter = new QPushButton(u"确 定"_s, frame);
        enter->setObjectName(u"cmdEnter_%1"_s.arg(k));
        // Enter presses the button that has the focus, as in a dialog; there
        // is no default button, so Enter on an option sends nothing.
        enter->setAutoDefault(true);
        column->addWidget(enter);
        chain(enter);
        connect(enter, &QPushButton::clicked, this, [this, k] { cmdEnter_Click(k); });
        outputs->addWidget(frame);
    }

    cmdEnterAll = new QPushButton(u"全部确定"_s, this);
    cmdEnterAll->setObjectName(u"cmdEnterAll"_s);
    cmdEnterAll->setAutoDefault(true);
    cmdCancel = new QPushButton(u"退 出"_s, this);
    cmdCancel->setObjectName(u"cmdCancel"_s);
    cmdCancel->setAutoDefault(true);
    chain(cmdEnterAll);
    chain(cmdCancel);
    connect(cmdEnterAll, &QPushButton::clicked, this, &frmMatrix::cmdEnterAll_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &QWidget::close);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdEnterAll);
    buttons->addWidget(cmdCancel);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(outputs, 1);
    layout->addLayout(buttons);

    // What the console last stored, not what the controller does: it is never asked.
    for (int k = 0; k < Matrix::kOutputs; ++k)
        m_groups[std::size_t(k)]->button(m_control.storedInput(k + 1))->setChecked(true);
    m_groups[0]->button(m_control.storedInput(1))->setFocus();
}

QString frmMatrix::portClosedText()
{
    return u"串行口没有打开，矩阵设置没有发送到分区控制器。\n"
           "请在“系统设置”的“串行口选择”中选择连接分区控制器的串行口。"_s;
}

int frmMatrix::chosenInput(int k) const
{
    // One option is checked in every frame from the start and an exclusive
    // group keeps it so.
    return m_groups.at(std::size_t(k))->checkedId();
}

void frmMatrix::cmdEnter_Click(int k)
{
    if (!m_control.confirmOne(k + 1, chosenInput(k)))
        showPortClosed();
}

void frmMatrix::cmdEnterAll_Click()
{
    std::array<int, Matrix::kOutputs> inputs {};
    for (int k = 0; k < Matrix::kOutputs; ++k)
        inputs[std::size_t(k)] = chosenInput(k);
    if (!m_control.confirmAll(inputs))
        showPortClosed();
}

void frmMatrix::showPortClosed()
{
    m_dialogs.message(portClosedText(), kTitle, MsgIcon::Exclamation, MsgButtons::Ok, this);
}

void frmMatrix::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}
