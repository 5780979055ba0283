#include "checker/mail_list.h"

#include "platform/twips.h"

#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QKeyEvent>
#include <QStyledItemDelegate>
#include <QPainter>
#include <limits>

namespace lum {

namespace {

// The scroll bar's share of the Subject column, in twips.
constexpr int scrollBarTwips = 180;

// Draws the attachment picture centred in its narrow cell, scaled to the row height.
class PictureDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter *p, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        QStyleOptionViewItem cell = option;
        initStyleOption(&cell, index);
        cell.icon = QIcon();
        cell.features &= ~QStyleOptionViewItem::HasDecoration;
        const QWidget *w = cell.widget;
        (w ? w->style() : QApplication::style())->drawControl(QStyle::CE_ItemViewItem, &cell, p, w);
        const QPixmap pic = index.data(Qt::DecorationRole).value<QPixmap>();
        if (pic.isNull())
            return;
        const int h = option.rect.height() - 2;
        const QPixmap scaled = pic.scaledToHeight(std::max(h, 1), Qt::SmoothTransformation);
        QRect target(QPoint(), scaled.size());
        target.moveCenter(option.rect.center());
        p->save();
        p->setClipRect(option.rect);
        p->drawPixmap(target, scaled);
        p->restore();
    }
};

qint16 toInt16(int v)
{
    return qint16(std::clamp(v, 0, int(std::numeric_limits<qint16>::max())));
}

} // namespace

MailList::MailList(MailListModel *model, QWidget *parent) : QTableView(parent), model_(model)
{
    setObjectName(QStringLiteral("lvwMailBox"));
    setModel(model);
    setToolTip(defaultTip);
    setSelectionBehavior(SelectRows);
    setSelectionMode(SingleSelection);
    setEditTriggers(NoEditTriggers);
    setWordWrap(false);
    setShowGrid(true);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setMinimumSectionSize(0);
    horizontalHeader()->setStretchLastSection(false);
    setItemDelegateForColumn(MailListModel::AttachCol, new PictureDelegate(this));
    model->setBaseFont(font());
    setColumnHidden(MailListModel::MessageCol, true);

    connect(this, &QTableView::clicked, this, [this](const QModelIndex &i) { emit rowToggled(i.row()); });
    connect(this, &QTableView::doubleClicked, this,
            [this](const QModelIndex &i) { emit rowDoubleClicked(i.row()); });
}

double MailList::dpiX() const
{
    return logicalDpiX();
}

double MailList::dpiY() const
{
    return logicalDpiY();
}

bool MailList::needsScrollBar(int total) const
{
    const int rowHeight = std::max(verticalHeader()->defaultSectionSize(), 1);
    const int capacity = height() / rowHeight;
    return total > capacity - 1;
}

void MailList::setupColumns(const std::array<qint16, 6> &widthsTwips, int total)
{
    configured_ = widthsTwips;
    narrowed_ = needsScrollBar(total);
    for (int c = 0; c < 6; ++c) {
        int twips = widthsTwips[size_t(c)];
        if (c == MailListModel::SubjectCol && narrowed_)
            twips -= scrollBarTwips;
        setColumnWidth(c, std::max(twipsToPixels(twips, dpiX()), 0));
    }
    setColumnHidden(MailListModel::MessageCol, true);
}

std::array<qint16, 6> MailList::layoutWidths() const
{
    std::array<qint16, 6> out{};
    for (int c = 0; c < 6; ++c) {
        int configured = configured_[size_t(c)];
        const bool narrowed = c == MailListModel::SubjectCol && narrowed_;
        if (narrowed)
            configured -= scrollBarTwips;
        const int px = columnWidth(c);
        int twips = px == std::max(twipsToPixels(configured, dpiX()), 0) ? configured
                                                                          : pixelsToTwips(px, dpiX());
        if (narrowed)
            twips += scrollBarTwips;
        out[size_t(c)] = toInt16(twips);
    }
    return out;
}

void MailList::keyPressEvent(QKeyEvent *event)
{
    const int row = currentIndex().row();
    if (row >= 0 && event->matches(QKeySequence::Copy)) {
        const auto text = [this, row](int col) { return model_->index(row, col).data().toString(); };
        QGuiApplication::clipboard()->setText(text(MailListModel::FromCol) + QLatin1Char('\t')
                                              + text(MailListModel::SubjectCol));
        return;
    }
    if (row >= 0 && event->modifiers() == Qt::NoModifier) {
        if (event->key() == Qt::Key_Space) {
            emit rowToggled(row);
            return;
        }
        if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
            emit rowOpened(row);
            return;
        }
    }
    QTableView::keyPressEvent(event);
}

} // namespace lum
