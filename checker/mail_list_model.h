#pragma once
// The rows of the mail list: one per message of every account, over the mail table.
//
// The model keeps only which (account, message) each row shows and whether it carries the
// "N" marker; texts, marks, attachment flags and the retrieved state are read from the mail
// table whenever the view asks, so the table stays the one place they live.

#include "decode/mail_table.h"
#include "settings/account_record.h"

#include <QAbstractTableModel>
#include <QFont>
#include <QPixmap>
#include <functional>
#include <vector>

namespace lum {

class MailListModel : public QAbstractTableModel {
public:
    enum Column { NewCol, MarkCol, AttachCol, FromCol, SubjectCol, AccountCol, MessageCol, ColumnCount };

    // accounts[a - 1] gives the colours of account a; both must outlive the model.
    MailListModel(MailTable &table, const std::vector<AccountDisplay> &accounts,
                  QObject *parent = nullptr);

    void setAttachPicture(const QPixmap &picture) { bound_ = picture; }
    void setBaseFont(const QFont &font);

    // Rebuilds every row: for each account 1..accountCount its messages 1..count(a),
    // newest first within the account when newestFirst. A message beyond the account's
    // count at the previous build gets "N" unless suppressed; an account whose count fell
    // below that has all of its messages counted as new. A row whose record tells its
    // arrival (an IMAP check's) is new by that instead.
    void buildList(int accountCount, const std::function<int(int)> &count, bool newestFirst,
                   bool suppress);
    // Clears every row's mark in the table and redraws the rows (bold, picture).
    void refreshRows();
    // No rows; the header stays.
    void clearRows();
    // The account count changed: counts at the previous build follow it, keeping the
    // entries that remain.
    void resizeAccounts(int accountCount);

    int account(int row) const;
    int message(int row) const;
    // The row shows "N".
    bool fresh(int row) const;
    // Toggles the row's mark and returns the new state.
    bool toggleMark(int row);
    void setMark(int row, bool on);
    bool anyMarked() const;
    qint32 shownCount(int account) const;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

private:
    struct Row {
        int account;
        int message;
        bool fresh; // shows "N"
    };
    const MailRecord *record(int row) const;
    MailRecord *record(int row);

    MailTable &table_;
    const std::vector<AccountDisplay> &accounts_;
    std::vector<Row> rows_;
    std::vector<qint32> shownCount_; // index = account number
    QPixmap bound_;
    QFont font_;
    QFont bold_;
};

// A message counts as retrieved once RETR has filed it, with or without a text part.
bool isRetrieved(const MailRecord &record);

} // namespace lum
