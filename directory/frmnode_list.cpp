#include "directory/frmnode_list.h"

#include <QHeaderView>
#include <QIcon>
#include <QIdentityProxyModel>
#include <QLinearGradient>
#include <QListView>
#include <QPainter>
#include <QPainterPath>
#include <QTreeView>

using namespace Qt::StringLiterals;

namespace {

// A loudspeaker with its sound waves, designed on a 32-pixel square. The
// small size keeps two waves and thicker strokes so that it stays legible.
QPixmap speakerPixmap(int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 32.0, size / 32.0);
    const bool small = size < 24;
    const QColor outline(30, 44, 70);

    // The magnet and the cone.
    QPainterPath body;
    body.addRect(QRectF(3, 11.5, 6, 9));
    QPainterPath cone;
    cone.moveTo(9, 11.5);
    cone.lineTo(17, 4);
    cone.lineTo(17, 28);
    cone.lineTo(9, 20.5);
    cone.closeSubpath();
    QLinearGradient shade(0, 4, 0, 28);
    shade.setColorAt(0, QColor(120, 150, 200));
    shade.setColorAt(1, QColor(40, 66, 110));
    p.setPen(QPen(outline, small ? 2.0 : 1.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(QColor(70, 80, 96));
    p.drawPath(body);
    p.setBrush(shade);
    p.drawPath(cone);

    // The waves, arcs around the front of the cone.
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(0, 120, 70), small ? 2.6 : 2.0, Qt::SolidLine, Qt::RoundCap));
    const QList<qreal> radii = small ? QList<qreal> {6, 11} : QList<qreal> {5, 9, 13};
    for (qreal r : radii)
        p.drawArc(QRectF(17 - r, 16 - r, 2 * r, 2 * r), -50 * 16, 100 * 16);
    return pixmap;
}

// Adds the speaker icon to the names of the node model.
class SpeakerModel final : public QIdentityProxyModel
{
public:
    explicit SpeakerModel(QObject *parent)
        : QIdentityProxyModel(parent)
        , m_icon(speakerIcon())
    {
    }

    QVariant data(const QModelIndex &index, int role) const override
    {
        if (role == Qt::DecorationRole && index.column() == 0)
            return m_icon;
        return QIdentityProxyModel::data(index, role);
    }

private:
    QIcon m_icon;
};

} // namespace

QIcon speakerIcon()
{
    QIcon icon;
    icon.addPixmap(speakerPixmap(32));
    icon.addPixmap(speakerPixmap(16));
    return icon;
}

NodeListView::NodeListView(QAbstractItemModel *model, QWidget *parent)
    : QStackedWidget(parent)
    , m_model(new SpeakerModel(this))
    , m_icons(new QListView(this))
    , m_report(new QTreeView(this))
{
    setObjectName(u"lvwnode"_s);
    setAccessibleName(u"lvwnode"_s);
    static_cast<QIdentityProxyModel *>(m_model)->setSourceModel(model);

    m_report->setObjectName(u"lvwnodeReport"_s);
    m_report->setAccessibleName(u"lvwnode"_s);
    m_report->setModel(m_model);
    m_report->setRootIsDecorated(false);
    m_report->setUniformRowHeights(true);
    m_report->setItemsExpandable(false);
    m_report->setIconSize(QSize(16, 16));
    m_report->header()->setSectionsClickable(true);
    m_report->header()->setSectionsMovable(false);
    m_report->setColumnWidth(0, 220);
    m_report->setColumnWidth(1, 90);

    m_icons->setObjectName(u"lvwnodeIcons"_s);
    m_icons->setAccessibleName(u"lvwnode"_s);
    m_icons->setModel(m_model);
    // One selection for both views: the current node does not depend on the view.
    m_icons->setSelectionModel(m_report->selectionModel());

    for (QAbstractItemView *v :
         {static_cast<QAbstractItemView *>(m_icons), static_cast<QAbstractItemView *>(m_report)}) {
        v->setSelectionMode(QAbstractItemView::ExtendedSelection);
        v->setSelectionBehavior(QAbstractItemView::SelectRows);
        v->setEditTriggers(QAbstractItemView::NoEditTriggers);
        v->setTextElideMode(Qt::ElideRight);
        connect(v, &QAbstractItemView::clicked, this,
                [this](const QModelIndex &index) { Q_EMIT itemClicked(index.row()); });
        addWidget(v);
    }
    // Moving with the keyboard selects the node it moves to; the focus
    // alone makes an item current without selecting it, which chooses nothing.
    connect(selectionModel(), &QItemSelectionModel::currentChanged, this, [this] {
        if (const int row = currentRow(); row >= 0)
            Q_EMIT itemClicked(row);
    });
    connect(m_report->header(), &QHeaderView::sectionClicked, this, &NodeListView::columnClicked);
    setView(LargeIcons);
}

QItemSelectionModel *NodeListView::selectionModel() const
{
    return m_report->selectionModel();
}

QAbstractItemView *NodeListView::currentView() const
{
    if (m_view == Report)
        return m_report;
    return m_icons;
}

void NodeListView::setView(int view)
{
    m_view = qBound(int(LargeIcons), view, int(Report));
    if (m_view != Report) {
        // setViewMode() resets flow, wrapping and movement: set them after it.
        const bool large = m_view == LargeIcons;
        m_icons->setViewMode(large ? QListView::IconMode : QListView::ListMode);
        m_icons->setFlow(m_view == List ? QListView::TopToBottom : QListView::LeftToRight);
        m_icons->setWrapping(true);
        m_icons->setMovement(QListView::Static);
        m_icons->setResizeMode(QListView::Adjust);
        m_icons->setWordWrap(large);
        m_icons->setIconSize(large ? QSize(32, 32) : QSize(16, 16));
        m_icons->setGridSize(large ? QSize(96, 68) : QSize(150, 22));
        m_icons->setSpacing(0);
    }
    QAbstractItemView *shown = currentView();
    const bool hadFocus = currentWidget() && currentWidget()->hasFocus();
    setCurrentWidget(shown);
    setFocusProxy(shown);
    if (hadFocus)
        shown->setFocus();
    const QModelIndex current = selectionModel()->currentIndex();
    if (current.isValid())
        shown->scrollTo(current);
}

int NodeListView::currentRow() const
{
    const QModelIndex current = selectionModel()->currentIndex();
    return current.isValid() && selectionModel()->isRowSelected(current.row()) ? current.row() : -1;
}

void NodeListView::clearCurrent()
{
    selectionModel()->clear();
}

void NodeListView::scrollToRow(int row)
{
    currentView()->scrollTo(m_model->index(row, 0));
}
