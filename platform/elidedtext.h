#pragma once

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QSize>
#include <QStyledItemDelegate>

class QAbstractItemView;
class QListView;

// What a window may take of the smallest screen the console runs on,
// 1024×768: a title bar and a panel take 40 pixels of the height, a frame's
// borders a few pixels of the width.
inline constexpr QSize kSmallestScreenRoom(1016, 728);

// Texts that may be wider than their place: names the operator typed and
// paths. Where one does not fit, it is shown shortened with "…" and the
// whole text appears when the pointer rests on it. What the widget holds
// (text(), what tests and screen readers read) stays the whole text.

// A label for a path or a name. Paths are best shortened in the middle, so
// that the start of the folder and the file's name stay in view.
class ElidedLabel : public QLabel
{
    Q_OBJECT
public:
    explicit ElidedLabel(Qt::TextElideMode mode, QWidget *parent = nullptr);

    bool isElided() const;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    bool event(QEvent *event) override;

private:
    QRect textRect() const;

    Qt::TextElideMode m_mode;
};

// A check box whose caption carries a name of any length.
class ElidedCheckBox : public QCheckBox
{
    Q_OBJECT
public:
    explicit ElidedCheckBox(const QString &text, QWidget *parent = nullptr);

    bool isElided() const;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    bool event(QEvent *event) override;

private:
    QRect textRect() const;
};

// A field holding a path or a name. While the operator edits it, it
// behaves as any field; otherwise a text too long for it is shortened, a
// path in the middle (its start and its file name stay in view, not just
// its end), a name at its end.
class ElidedLineEdit : public QLineEdit
{
    Q_OBJECT
public:
    explicit ElidedLineEdit(Qt::TextElideMode mode, QWidget *parent = nullptr);

    bool isElided() const;

protected:
    void paintEvent(QPaintEvent *event) override;
    bool event(QEvent *event) override;

private:
    QRect textRect() const;

    Qt::TextElideMode m_mode;
};

// Items of a list or tree that do not fit their cell end in "…" and show
// their whole text when the pointer rests on them. In a single-column list
// an item is never wider than the list, so the list does not scroll sideways
// to show a long name.
class ElidingItemDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    explicit ElidingItemDelegate(QAbstractItemView *view);

    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    bool helpEvent(QHelpEvent *event, QAbstractItemView *view, const QStyleOptionViewItem &option,
                   const QModelIndex &index) override;

    // Whether the item's text is cut in the view as it is now.
    static bool isElided(const QAbstractItemView *view, const QModelIndex &index);
};

// Gives view the delegate above, shortening texts as mode says (a column
// of paths is best shortened in the middle); a list also stops scrolling
// sideways and lays its items out afresh when it is resized.
void elideItems(QAbstractItemView *view, Qt::TextElideMode mode = Qt::ElideRight);

// The width a list needs to show its longest item whole, frame and
// vertical scroll bar included.
int widestItemWidth(const QListView *view);
