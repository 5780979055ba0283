#include "checker/mail_list_model.h"

#include "platform/color_ref.h"

namespace lum {

bool isRetrieved(const MailRecord &record)
{
    return record.retrieved;
}

MailListModel::MailListModel(MailTable &table, const std::vector<AccountDisplay> &accounts,
                             QObject *parent)
    : QAbstractTableModel(parent), table_(table), accounts_(accounts)
{
    setBaseFont(QFont());
}

void MailListModel::setBaseFont(const QFont &font)
{
    font_ = font;
    bold_ = font;
    bold_.setBold(true);
}

void MailListModel::resizeAccounts(int accountCount)
{
    shownCount_.resize(size_t(std::max(accountCount, 0)) + 1, 0);
}

qint32 MailListModel::shownCount(int account) const
{
    return account >= 0 && size_t(account) < shownCount_.size() ? shownCount_[size_t(account)] : 0;
}

void MailListModel::buildList(int accountCount, const std::function<int(int)> &count,
                              bool newestFirst, bool suppress)
{
    beginResetModel();
    rows_.clear();
    if (size_t(accountCount) + 1 > shownCount_.size())
        resizeAccounts(accountCount);
    for (int a = 1; a <= accountCount; ++a) {
        const int n = std::max(count(a), 0);
        qint32 &shown = shownCount_[size_t(a)];
        if (n < shown)
            shown = 0; // messages went away on the server: every one left counts as new
        const size_t start = rows_.size();
        for (int m = 1; m <= n; ++m) {
            const MailRecord *r = table_.record(a, m);
            const bool arrived = r && r->arrived ? *r->arrived : m > shown;
            rows_.push_back({a, m, arrived && !suppress});
        }
        if (newestFirst)
            std::reverse(rows_.begin() + std::ptrdiff_t(start), rows_.end());
        shown = n;
    }
    endResetModel();
}

void MailListModel::refreshRows()
{
    for (size_t r = 0; r < rows_.size(); ++r) {
        if (MailRecord *rec = record(int(r)))
            rec->mark = false;
    }
    if (!rows_.empty())
        emit dataChanged(index(0, 0), index(int(rows_.size()) - 1, ColumnCount - 1));
}

void MailListModel::clearRows()
{
    beginResetModel();
    rows_.clear();
    endResetModel();
}

int MailListModel::account(int row) const
{
    return row >= 0 && size_t(row) < rows_.size() ? rows_[size_t(row)].account : 0;
}

int MailListModel::message(int row) const
{
    return row >= 0 && size_t(row) < rows_.size() ? rows_[size_t(row)].message : 0;
}

bool MailListModel::fresh(int row) const
{
    return row >= 0 && size_t(row) < rows_.size() && rows_[size_t(row)].fresh;
}

const MailRecord *MailListModel::record(int row) const
{
    return table_.record(account(row), message(row));
}

MailRecord *MailListModel::record(int row)
{
    return table_.record(account(row), message(row));
}

bool MailListModel::toggleMark(int row)
{
    const MailRecord *rec = record(row);
    const bool on = rec && !rec->mark;
    setMark(row, on);
    return on;
}

void MailListModel::setMark(int row, bool on)
{
    MailRecord *rec = record(row);
    if (!rec || rec->mark == on)
        return;
    rec->mark = on;
    emit dataChanged(index(row, MarkCol), index(row, MarkCol));
}

bool MailListModel::anyMarked() const
{
    for (size_t r = 0; r < rows_.size(); ++r) {
        const MailRecord *rec = record(int(r));
        if (rec && rec->mark)
            return true;
    }
    return false;
}

int MailListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(rows_.size());
}

int MailListModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant MailListModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid))
        return {};
    const Row &row = rows_[size_t(index.row())];
    const MailRecord *rec = table_.record(row.account, row.message);
    if (!rec)
        return {};
    const int col = index.column();
    switch (role) {
    case Qt::DisplayRole:
        switch (col) {
        case NewCol:
            return row.fresh ? QStringLiteral("N") : QString();
        case MarkCol:
            return rec->mark ? QStringLiteral("○") : QString();
        case FromCol:
            return rec->from;
        case SubjectCol:
            return rec->subject;
        case AccountCol:
            return row.account;
        case MessageCol:
            return row.message;
        default:
            return {};
        }
    case Qt::DecorationRole:
        if (col == AttachCol && rec->attach)
            return bound_;
        return {};
    case Qt::FontRole:
        return (col == FromCol || col == SubjectCol) && isRetrieved(*rec) ? bold_ : font_;
    case Qt::ForegroundRole:
    case Qt::BackgroundRole: {
        if (row.account < 1 || size_t(row.account) > accounts_.size())
            return {};
        const AccountDisplay &d = accounts_[size_t(row.account - 1)];
        return fromColorRef(role == Qt::ForegroundRole ? d.scolor1 : d.scolor2);
    }
    case Qt::TextAlignmentRole:
        return col == FromCol || col == SubjectCol ? QVariant(Qt::AlignLeft | Qt::AlignVCenter)
                                                   : QVariant(Qt::AlignCenter);
    default:
        return {};
    }
}

QVariant MailListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    if (section == FromCol)
        return QStringLiteral("差出人");
    if (section == SubjectCol)
        return QStringLiteral("件名");
    return QString();
}

Qt::ItemFlags MailListModel::flags(const QModelIndex &index) const
{
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

} // namespace lum
