#include "platform/elidedtext.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QHelpEvent>
#include <QListView>
#include <QPainter>
#include <QScrollBar>
#include <QStyleOptionButton>
#include <QStyleOptionFrame>
#include <QStylePainter>
#include <QToolTip>

using namespace Qt::StringLiterals;

namespace {
// Room either side of a field's text, as QLineEdit leaves it.
constexpr int kLineEditMargin = 2;

// The shortest a shortened caption gets: its first characters and "…".
QString shortest(const QString &text)
{
    return text.left(3) + u"…"_s;
}

// A resting pointer shows the whole of a shortened text. A tooltip of the
// widget's own is left to the widget.
bool showWhole(QWidget *widget, QEvent *event, const QString &text, bool elided)
{
    if (event->type() != QEvent::ToolTip || !elided || !widget->toolTip().isEmpty())
        return false;
    QToolTip::showText(static_cast<QHelpEvent *>(event)->globalPos(), text, widget);
    return true;
}
} // namespace

ElidedLabel::ElidedLabel(Qt::TextElideMode mode, QWidget *parent)
    : QLabel(parent)
    , m_mode(mode)
{
    setTextFormat(Qt::PlainText);
}

QRect ElidedLabel::textRect() const
{
    QRect rect = contentsRect().adjusted(margin(), margin(), -margin(), -margin());
    // QLabel's own indent: half an "x" inside a frame unless set.
    int indentation = indent();
    if (indentation < 0 && frameWidth() > 0)
        indentation = fontMetrics().horizontalAdvance(u'x') / 2 - margin();
    if (indentation > 0) {
        if (alignment() & Qt::AlignLeft)
            rect.setLeft(rect.left() + indentation);
        if (alignment() & Qt::AlignRight)
            rect.setRight(rect.right() - indentation);
    }
    return rect;
}

bool ElidedLabel::isElided() const
{
    if (wordWrap() || text().contains(u'\n'))
        return false;
    return fontMetrics().horizontalAdvance(text()) > textRect().width();
}

QSize ElidedLabel::minimumSizeHint() const
{
    QSize size = QLabel::minimumSizeHint();
    if (wordWrap() || text().isEmpty())
        return size;
    const int cut = fontMetrics().horizontalAdvance(text())
        - fontMetrics().horizontalAdvance(shortest(text()));
    if (cut > 0)
        size.setWidth(size.width() - cut);
    return size;
}

void ElidedLabel::paintEvent(QPaintEvent *event)
{
    if (!isElided()) {
        QLabel::paintEvent(event);
        return;
    }
    QPainter painter(this);
    drawFrame(&painter);
    const QRect rect = textRect();
    const QString shown = fontMetrics().elidedText(text(), m_mode, rect.width());
    style()->drawItemText(&painter, rect, QStyle::visualAlignment(layoutDirection(), alignment()),
                          palette(), isEnabled(), shown, foregroundRole());
}

bool ElidedLabel::event(QEvent *event)
{
    if (showWhole(this, event, text(), isElided()))
        return true;
    return QLabel::event(event);
}

ElidedCheckBox::ElidedCheckBox(const QString &text, QWidget *parent)
    : QCheckBox(text, parent)
{
    // A check box never gets less than its whole caption otherwise.
    QSizePolicy policy = sizePolicy();
    policy.setHorizontalPolicy(QSizePolicy::Preferred);
    setSizePolicy(policy);
}

QRect ElidedCheckBox::textRect() const
{
    QStyleOptionButton option;
    initStyleOption(&option);
    return style()->subElementRect(QStyle::SE_CheckBoxContents, &option, this);
}

bool ElidedCheckBox::isElided() const
{
    return fontMetrics().horizontalAdvance(text()) > textRect().width();
}

QSize ElidedCheckBox::minimumSizeHint() const
{
    QSize size = sizeHint();
    const int cut = fontMetrics().horizontalAdvance(text())
        - fontMetrics().horizontalAdvance(shortest(text()));
    if (cut > 0)
        size.setWidth(size.width() - cut);
    return size;
}

void ElidedCheckBox::paintEvent(QPaintEvent *)
{
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    option.text = fontMetrics().elidedText(text(), Qt::ElideRight, textRect().width());
    painter.drawControl(QStyle::CE_CheckBox, option);
}

bool ElidedCheckBox::event(QEvent *event)
{
    if (showWhole(this, event, text(), isElided()))
        return true;
    return QCheckBox::event(event);
}

ElidedLineEdit::ElidedLineEdit(Qt::TextElideMode mode, QWidget *parent)
    : QLineEdit(parent)
    , m_mode(mode)
{
}

QRect ElidedLineEdit::textRect() const
{
    QStyleOptionFrame panel;
    initStyleOption(&panel);
    QRect rect = style()->subElementRect(QStyle::SE_LineEditContents, &panel, this);
    rect = rect.marginsRemoved(textMargins());
    return rect.adjusted(kLineEditMargin, 0, -kLineEditMargin, 0);
}

bool ElidedLineEdit::isElided() const
{
    return fontMetrics().horizontalAdvance(text()) > textRect().width();
}

void ElidedLineEdit::paintEvent(QPaintEvent *event)
{
    // While edited, the field shows what it holds, with its cursor and selection.
    if (hasFocus() || !isElided()) {
        QLineEdit::paintEvent(event);
        return;
    }
    QPainter painter(this);
    QStyleOptionFrame panel;
    initStyleOption(&panel);
    style()->drawPrimitive(QStyle::PE_PanelLineEdit, &panel, &painter, this);
    const QRect rect = textRect();
    painter.setClipRect(rect);
    painter.setPen(palette().color(QPalette::Text));
    painter.drawText(rect, Qt::AlignLeft | Qt::AlignVCenter,
                     fontMetrics().elidedText(text(), m_mode, rect.width()));
}

bool ElidedLineEdit::event(QEvent *event)
{
    if (showWhole(this, event, text(), isElided()))
        return true;
    return QLineEdit::event(event);
}

namespace {
// A list whose items lie one under the other in one column.
const QListView *singleColumnList(const QObject *view)
{
    const auto *list = qobject_cast<const QListView *>(view);
    if (list == nullptr || list->viewMode() != QListView::ListMode
        || list->flow() != QListView::TopToBottom || list->isWrapping())
        return nullptr;
    return list;
}

int textMargin(const QWidget *widget)
{
    const QStyle *style = widget ? widget->style() : QApplication::style();
    return style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) + 1;
}
} // namespace

ElidingItemDelegate::ElidingItemDelegate(QAbstractItemView *view)
    : QStyledItemDelegate(view)
{
}

QSize ElidingItemDelegate::sizeHint(const QStyleOptionViewItem &option,
                                    const QModelIndex &index) const
{
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    if (const QListView *list = singleColumnList(parent()))
        size.setWidth(qMin(size.width(), list->viewport()->width()));
    return size;
}

bool ElidingItemDelegate::helpEvent(QHelpEvent *event, QAbstractItemView *view,
                                    const QStyleOptionViewItem &option, const QModelIndex &index)
{
    if (event->type() == QEvent::ToolTip && index.isValid()
        && index.data(Qt::ToolTipRole).toString().isEmpty()) {
        QStyleOptionViewItem item = option;
        initStyleOption(&item, index);
        const QWidget *widget = item.widget;
        const QStyle *style = widget ? widget->style() : QApplication::style();
        const QRect text = style->subElementRect(QStyle::SE_ItemViewItemText, &item, widget)
                               .intersected(view->viewport()->rect());
        const bool elided = !item.text.contains(u'\n')
            && item.fontMetrics.horizontalAdvance(item.text)
                > text.width() - 2 * textMargin(widget);
        if (elided) {
            QToolTip::showText(event->globalPos(), item.text, view->viewport(), option.rect);
            return true;
        }
    }
    return QStyledItemDelegate::helpEvent(event, view, option, index);
}

void elideItems(QAbstractItemView *view, Qt::TextElideMode mode)
{
    view->setItemDelegate(new ElidingItemDelegate(view));
    view->setTextElideMode(mode);
    if (auto *list = qobject_cast<QListView *>(view); singleColumnList(list)) {
        list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        list->setResizeMode(QListView::Adjust);
    }
}

int widestItemWidth(const QListView *view)
{
    const QAbstractItemModel *model = view->model();
    int widest = 0;
    for (int row = 0; model && row < model->rowCount(view->rootIndex()); ++row) {
        const QString text
            = model->index(row, view->modelColumn(), view->rootIndex()).data().toString();
        widest = qMax(widest, view->fontMetrics().horizontalAdvance(text));
    }
    return widest + 2 * textMargin(view) + 2 * view->frameWidth()
        + view->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, view);
}
