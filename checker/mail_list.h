#pragma once
// The mail list `lvwMailBox`: a table over MailListModel with the column widths of the
// settings store, the mark on click (or Space), the viewer on double click (or Enter), and
// Ctrl+C copying the current row's From and Subject, TAB-separated.

#include "checker/mail_list_model.h"

#include <QTableView>
#include <array>

namespace lum {

class MailList : public QTableView {
    Q_OBJECT
public:
    static inline const QString defaultTip =
        QStringLiteral("ｸﾘｯｸでｱｶｳﾝﾄ表示、ﾀﾞﾌﾞﾙｸﾘｯｸで取得したﾒｰﾙを表示します");

    explicit MailList(MailListModel *model, QWidget *parent = nullptr);

    MailListModel *mailModel() const { return model_; }

    // Sets the configured widths (twips) of columns 0..5 and hides column 6. When more
    // rows than fit are listed (total messages), the Subject column gives up 180 twips to
    // the vertical scroll bar.
    void setupColumns(const std::array<qint16, 6> &widthsTwips, int total);
    // The current widths in twips as they are to be stored: a column the user did not touch
    // keeps its configured value exactly, the Subject column without the scroll bar's share.
    std::array<qint16, 6> layoutWidths() const;
    // Whether rows for total messages need the vertical scroll bar.
    bool needsScrollBar(int total) const;

    double dpiX() const;
    double dpiY() const;

signals:
    // The current row was clicked or Space was pressed on it; marks have been toggled.
    void rowToggled(int row);
    void rowDoubleClicked(int row);
    void rowOpened(int row); // Enter

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    MailListModel *model_;
    std::array<qint16, 6> configured_{};
    bool narrowed_ = false;
};

} // namespace lum
