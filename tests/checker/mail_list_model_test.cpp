// The mail list model: row order, colours, "N" markers, marks and retrieved rows.
#include "checker/mail_list_model.h"

#include <QAbstractItemModelTester>
#include <QFont>
#include <gtest/gtest.h>

namespace lum {
namespace {

struct ListFixture {
    MailTable table{2};
    std::vector<AccountDisplay> accounts{{0x0000FF, 0xFFFF80, 0, {}}, {0x000000, 0x80FF80, 0, {}}};
    std::vector<int> counts{0, 3, 2}; // index = account
    MailListModel model{table, accounts};
    QAbstractItemModelTester tester{&model, QAbstractItemModelTester::FailureReportingMode::Warning};

    ListFixture()
    {
        for (int a = 1; a <= 2; ++a) {
            for (int m = 1; m <= 3; ++m) {
                MailRecord *r = table.record(a, m);
                r->from = QStringLiteral("差出人%1-%2").arg(a).arg(m);
                r->subject = QStringLiteral("件名%1-%2").arg(a).arg(m);
            }
        }
    }
    void build(bool newestFirst, bool suppress = false)
    {
        model.buildList(2, [this](int a) { return counts[size_t(a)]; }, newestFirst, suppress);
    }
    QString cell(int row, int col) const
    {
        return model.data(model.index(row, col), Qt::DisplayRole).toString();
    }
    QString rowKeys() const
    {
        QStringList keys;
        for (int r = 0; r < model.rowCount(); ++r)
            keys << cell(r, MailListModel::AccountCol) + ':' + cell(r, MailListModel::MessageCol);
        return keys.join(' ');
    }
    QString newMarks() const
    {
        QString s;
        for (int r = 0; r < model.rowCount(); ++r)
            s += cell(r, MailListModel::NewCol).isEmpty() ? '.' : 'N';
        return s;
    }
};

TEST(MailListModel, RowOrderByNewestFirst)
{
    struct Row {
        bool newestFirst;
        const char *order;
    };
    for (const Row &row : {Row{false, "1:1 1:2 1:3 2:1 2:2"}, Row{true, "1:3 1:2 1:1 2:2 2:1"}}) {
        ListFixture f;
        f.build(row.newestFirst);
        EXPECT_EQ(f.rowKeys(), QString::fromLatin1(row.order)) << row.newestFirst;
        EXPECT_EQ(f.cell(0, MailListModel::FromCol),
                  row.newestFirst ? QStringLiteral("差出人1-3") : QStringLiteral("差出人1-1"));
    }
}

TEST(MailListModel, ColoursPerAccountAndHeaderTexts)
{
    ListFixture f;
    f.build(false);
    const auto colour = [&f](int row, int role) {
        return f.model.data(f.model.index(row, MailListModel::SubjectCol), role).value<QColor>();
    };
    EXPECT_EQ(colour(0, Qt::ForegroundRole), QColor(255, 0, 0));   // 0x0000FF is red
    EXPECT_EQ(colour(0, Qt::BackgroundRole), QColor(128, 255, 255));
    EXPECT_EQ(colour(3, Qt::ForegroundRole), QColor(0, 0, 0));
    EXPECT_EQ(colour(3, Qt::BackgroundRole), QColor(128, 255, 128));
    EXPECT_EQ(f.model.headerData(MailListModel::FromCol, Qt::Horizontal, Qt::DisplayRole), QStringLiteral("差出人"));
    EXPECT_EQ(f.model.headerData(MailListModel::SubjectCol, Qt::Horizontal, Qt::DisplayRole), QStringLiteral("件名"));
    EXPECT_EQ(f.model.headerData(MailListModel::NewCol, Qt::Horizontal, Qt::DisplayRole), QString());
}

TEST(MailListModel, NewMarkersFollowTheCountsOfThePreviousBuild)
{
    struct Step {
        int count1;
        bool suppress;
        const char *marks; // account 1's rows, then account 2's two rows
    };
    // First build: all new. Unchanged: none. A count drop: all remaining rows of the
    // account new, unless suppressed (as after a delete). One more: only the last.
    const Step steps[] = {
        {3, false, "NNNNN"}, {3, false, "....."}, {2, false, "NN.."},
        {3, true, "....."},  {2, true, "...."},   {3, false, "..N.."},
    };
    ListFixture f;
    for (const Step &s : steps) {
        f.counts[1] = s.count1;
        f.build(false, s.suppress);
        EXPECT_EQ(f.newMarks(), QString::fromLatin1(s.marks)) << s.count1 << s.suppress;
        EXPECT_EQ(f.model.shownCount(1), s.count1);
    }
    // The rows of an IMAP check tell their arrival themselves: the counts don't decide.
    f.table.record(2, 1)->arrived = true;
    f.table.record(2, 2)->arrived = false;
    f.build(false);
    EXPECT_EQ(f.newMarks(), QStringLiteral("...N."));
}

TEST(MailListModel, MarksLiveInTheTableAndRefreshClearsThem)
{
    ListFixture f;
    f.build(false);
    EXPECT_FALSE(f.model.anyMarked());
    EXPECT_TRUE(f.model.toggleMark(3));
    EXPECT_TRUE(f.table.record(2, 1)->mark);
    EXPECT_EQ(f.cell(3, MailListModel::MarkCol), QStringLiteral("○"));
    EXPECT_TRUE(f.model.anyMarked());
    EXPECT_FALSE(f.model.toggleMark(3));
    EXPECT_FALSE(f.model.anyMarked());
    f.model.toggleMark(0);
    f.model.toggleMark(4);
    f.model.refreshRows();
    EXPECT_FALSE(f.model.anyMarked());
    EXPECT_EQ(f.cell(0, MailListModel::MarkCol), QString());
}

TEST(MailListModel, RetrievedRowsBoldAttachmentsPictured)
{
    ListFixture f;
    f.model.setAttachPicture(QPixmap(4, 4));
    f.table.record(1, 2)->retrieved = true; // an attachment-only message has no body
    f.table.record(1, 3)->attach = true;
    f.build(false);
    const auto bold = [&f](int row, int col) {
        return f.model.data(f.model.index(row, col), Qt::FontRole).value<QFont>().bold();
    };
    EXPECT_FALSE(bold(0, MailListModel::FromCol));
    EXPECT_TRUE(bold(1, MailListModel::FromCol));
    EXPECT_TRUE(bold(1, MailListModel::SubjectCol));
    EXPECT_FALSE(bold(1, MailListModel::AccountCol));
    const auto picture = [&f](int row) {
        return f.model.data(f.model.index(row, MailListModel::AttachCol), Qt::DecorationRole);
    };
    EXPECT_FALSE(picture(1).isValid());
    EXPECT_TRUE(picture(2).isValid());
}

TEST(MailListModel, ClearedRowsAndResetTableNameNoRecord)
{
    ListFixture f;
    f.build(true);
    f.table.reset(1);
    f.model.clearRows();
    EXPECT_EQ(f.model.rowCount(), 0);
    f.model.resizeAccounts(1);
    EXPECT_EQ(f.model.shownCount(2), 0);
    EXPECT_FALSE(f.model.toggleMark(0)); // no row: nothing to mark
}

} // namespace
} // namespace lum
