// The controls of the options window, page by page. Controls carry their names as object
// names; the creation order is the keyboard's Tab order.
#include "options/option_form.h"

#include "options/form_values.h"
#include "platform/twips.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QToolButton>
#include <QVBoxLayout>

namespace lum {
namespace {

QCheckBox *checkBox(QWidget *parent, const QString &name, const QString &caption)
{
    auto *box = new QCheckBox(caption, parent);
    box->setObjectName(name);
    return box;
}

QLineEdit *timerBox(QWidget *parent, int n, const QString &tip)
{
    auto *box = new QLineEdit(parent);
    box->setObjectName(QStringLiteral("timerbox%1").arg(n));
    box->setToolTip(tip);
    box->setMaximumWidth(60);
    return box;
}

QPushButton *button(QWidget *parent, const QString &name, const QString &caption,
                    const QString &tip = QString())
{
    auto *b = new QPushButton(caption, parent);
    b->setObjectName(name);
    b->setToolTip(tip);
    b->setAutoDefault(false); // Return always means OK
    if (caption == QStringLiteral("..."))
        b->setMaximumWidth(40);
    return b;
}

} // namespace

void OptionForm::createTabs()
{
    tabs_ = new QTabWidget(this);
    tabs_->setObjectName(QStringLiteral("Tab1"));
    const std::array<QWidget *, 3> pages{createGeneralPage(), createAccountPage(),
                                         createIconPage()};
    const std::array<QString, 3> captions{QStringLiteral("全般"), QStringLiteral("ｱｶｳﾝﾄ"),
                                          QStringLiteral("ﾄﾚｲｱｲｺﾝ")};
    for (int i = 0; i < 3; ++i) {
        pages[i]->setObjectName(QStringLiteral("frm_Opt%1").arg(i));
        tabs_->addTab(pages[i], captions[i]);
    }
    tabs_->setCurrentIndex(0);
    layout_->addWidget(tabs_);
}

QWidget *OptionForm::createGeneralPage()
{
    auto *page = new QWidget;
    auto *column = new QVBoxLayout(page);

    auto *timers = new QHBoxLayout;
    timerBox_[0] = timerBox(page, 1, QStringLiteral("0ならﾁｪｯｸしません"));
    timers->addWidget(timerBox_[0]);
    timers->addWidget(new QLabel(QStringLiteral("分おきにチェック"), page));
    timers->addSpacing(24);
    timers->addWidget(new QLabel(QStringLiteral("タイムアップ"), page));
    timerBox_[2] = timerBox(page, 3, QStringLiteral("この時間が経過すると次のメールアドレスをチェックします"));
    timers->addWidget(timerBox_[2]);
    timers->addWidget(new QLabel(QStringLiteral("分"), page));
    timers->addStretch();
    column->addLayout(timers);

    // The two options of how checks go share a row, so the page grows no taller.
    auto *checks = new QHBoxLayout;
    flags_[4] = checkBox(page, QStringLiteral("option5"), QStringLiteral("起動時にﾒｰﾙ確認"));
    flags_[14] = checkBox(page, QStringLiteral("option15"),
                          QStringLiteral("高速チェック (CAPA/UIDL/PIPELINING)"));
    checks->addWidget(flags_[4]);
    checks->addSpacing(24);
    checks->addWidget(flags_[14]);
    checks->addStretch();
    column->addLayout(checks);
    flags_[2] = checkBox(page, QStringLiteral("option3"), QStringLiteral("ｴﾗｰﾒｯｾｰｼﾞは表示しない"));
    flags_[6] = checkBox(page, QStringLiteral("option7"), QStringLiteral("終了時にﾀﾞｲｱﾛｸﾞを表示しない"));
    flags_[7] = checkBox(page, QStringLiteral("option8"), QStringLiteral("ログ表示ボタン有効"));
    flags_[12] = checkBox(page, QStringLiteral("option12"), QStringLiteral("ツールボタンにラベルを使用"));
    flags_[13] = checkBox(page, QStringLiteral("option13"), QStringLiteral("UTF-8など新しい形式のメールも読む"));
    for (int i : {2, 6, 7, 12, 13})
        column->addWidget(flags_[i]);

    auto *mailers = new QGridLayout;
    for (int i = 0; i < 2; ++i) {
        mailerBox_[i] = new QLineEdit(page);
        mailerBox_[i]->setObjectName(QStringLiteral("Mailerbox%1").arg(i + 1));
        auto *ref = button(page, QStringLiteral("RefBt%1").arg(i + 1), QStringLiteral("..."));
        mailers->addWidget(new QLabel(QStringLiteral("ﾒｰﾗｰ%1:").arg(i + 1), page), i, 0);
        mailers->addWidget(mailerBox_[i], i, 1);
        mailers->addWidget(ref, i, 2);
        connect(ref, &QPushButton::clicked, this, [this, i] { chooseMailer(i); });
    }
    column->addLayout(mailers);

    auto *arrival = new QGroupBox(QStringLiteral("ﾒｰﾙ到着時"), page);
    auto *arrivalGrid = new QGridLayout(arrival);
    flags_[0] = checkBox(arrival, QStringLiteral("option1"), QStringLiteral("ﾎﾟｯﾌﾟｱｯﾌﾟ"));
    timerBox_[1] = timerBox(arrival, 2, QStringLiteral("0にするとﾎﾞﾀﾝを押さないと消えません"));
    arrivalGrid->addWidget(flags_[0], 0, 0);
    arrivalGrid->addWidget(timerBox_[1], 0, 1);
    arrivalGrid->addWidget(new QLabel(QStringLiteral("秒後に閉じる"), arrival), 0, 2);
    flags_[1] = checkBox(arrival, QStringLiteral("option2"), QStringLiteral("ｻｳﾝﾄﾞ"));
    arrivalGrid->addWidget(flags_[1], 1, 0);
    auto *wavRow = new QHBoxLayout;
    wavRow->addWidget(new QLabel(QStringLiteral("WAVﾌｧｲﾙの場所:"), arrival));
    wavBox_ = new QLineEdit(arrival);
    wavBox_->setObjectName(QStringLiteral("Wavbox"));
    wavRef_ = button(arrival, QStringLiteral("Command2"), QStringLiteral("..."));
    wavRow->addWidget(wavBox_);
    wavRow->addWidget(wavRef_);
    arrivalGrid->addLayout(wavRow, 2, 0, 1, 4);
    flags_[3] = checkBox(arrival, QStringLiteral("option4"), QStringLiteral("ﾗｲﾄ点滅"));
    timerBox_[3] = timerBox(arrival, 4, QString());
    arrivalGrid->addWidget(flags_[3], 3, 0);
    arrivalGrid->addWidget(timerBox_[3], 3, 1);
    arrivalGrid->addWidget(new QLabel(QStringLiteral("秒間"), arrival), 3, 2);
    flags_[5] = checkBox(arrival, QStringLiteral("option6"),
                         QStringLiteral("前回ﾁｪｯｸ時より新しいﾒｰﾙが届いている場合のみ知らせる"));
    arrivalGrid->addWidget(flags_[5], 4, 0, 1, 4);
    flags_[8] = checkBox(arrival, QStringLiteral("option9"), QStringLiteral("ｱｶｳﾝﾄ別 降順"));
    arrivalGrid->addWidget(flags_[8], 5, 0, 1, 4);
    // Last in the group, so the keyboard reaches the controls above as before.
    auto *noticeRow = new QHBoxLayout;
    noticeList_ = new QComboBox(arrival);
    noticeList_->setObjectName(QStringLiteral("cmb_Notice"));
    noticeList_->addItem(QStringLiteral("しない"), 0);
    noticeList_->addItem(QStringLiteral("差出人と件名"), 1);
    noticeList_->addItem(QStringLiteral("件数のみ"), 2);
    auto *noticeLabel = new QLabel(QStringLiteral("デスクトップ通知:"), arrival);
    noticeLabel->setBuddy(noticeList_);
    noticeRow->addWidget(noticeLabel);
    noticeRow->addWidget(noticeList_);
    noticeRow->addStretch();
    arrivalGrid->addLayout(noticeRow, 6, 0, 1, 4);
    arrivalGrid->setColumnStretch(3, 1);
    column->addWidget(arrival);
    connect(wavRef_, &QPushButton::clicked, this, &OptionForm::chooseWav);

    auto *keys = new QGroupBox(QStringLiteral("起動ｷｰ"), page);
    auto *keyGrid = new QGridLayout(keys);
    const std::array<QString, 6> labels{
        QStringLiteral("設定:"),   QStringLiteral("ﾒｰﾙﾁｪｯｸ:"), QStringLiteral("ﾎﾟｯﾌﾟｱｯﾌﾟ:"),
        QStringLiteral("ﾒｰﾗｰ1:"), QStringLiteral("ﾒｰﾗｰ2:"),   QStringLiteral("終了:")};
    for (int i = 0; i < 6; ++i) {
        hotkeyList_[i] = new QComboBox(keys);
        hotkeyList_[i]->setObjectName(QStringLiteral("cmb_Key%1").arg(i));
        hotkeyList_[i]->setSizeAdjustPolicy(QComboBox::AdjustToContents);
        keyGrid->addWidget(new QLabel(labels[i], keys), i / 2, (i % 2) * 2);
        keyGrid->addWidget(hotkeyList_[i], i / 2, (i % 2) * 2 + 1);
    }
    column->addWidget(keys);
    column->addStretch();
    return page;
}

QWidget *OptionForm::createAccountPage()
{
    auto *page = new QWidget;
    auto *column = new QVBoxLayout(page);
    accountList_ = new QTableWidget(0, 2, page);
    accountList_->setObjectName(QStringLiteral("accountList"));
    accountList_->setToolTip(QStringLiteral("ﾀﾞﾌﾞﾙｸﾘｯｸは編集と同じです"));
    accountList_->setHorizontalHeaderLabels({QString(), QString()});
    accountList_->verticalHeader()->hide();
    accountList_->horizontalHeader()->setMinimumSectionSize(8); // the mark column is narrow
    accountList_->setSelectionBehavior(QAbstractItemView::SelectRows);
    accountList_->setSelectionMode(QAbstractItemView::SingleSelection);
    accountList_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    accountList_->setWordWrap(false);
    const double dpi = logicalDpiX();
    accountList_->setColumnWidth(0, twipsToPixels(accountNameColumnTwips(0), dpi));
    accountList_->setColumnWidth(1, twipsToPixels(accountMarkColumnTwips, dpi));
    column->addWidget(accountList_);

    auto *buttons = new QHBoxLayout;
    addButton_ = button(page, QStringLiteral("addbutton"), QStringLiteral("追加"));
    editButton_ = button(page, QStringLiteral("editbutton"), QStringLiteral("編集"));
    delButton_ = button(page, QStringLiteral("delbutton"), QStringLiteral("削除"));
    editButton_->setEnabled(false);
    delButton_->setEnabled(false);
    buttons->addWidget(addButton_);
    buttons->addWidget(editButton_);
    buttons->addWidget(delButton_);
    buttons->addStretch();
    column->addLayout(buttons);

    connect(accountList_, &QTableWidget::currentCellChanged, this,
            [this](int row) { currentRowChanged(row); });
    connect(accountList_, &QTableWidget::itemSelectionChanged, this, &OptionForm::followHighlight);
    connect(accountList_, &QTableWidget::cellDoubleClicked, this,
            [this](int row) { if (row >= 0) editAccount(); });
    connect(addButton_, &QPushButton::clicked, this, &OptionForm::addAccount);
    connect(editButton_, &QPushButton::clicked, this, &OptionForm::editAccount);
    connect(delButton_, &QPushButton::clicked, this, &OptionForm::deleteAccount);
    return page;
}

QWidget *OptionForm::createIconPage()
{
    auto *page = new QWidget;
    auto *column = new QVBoxLayout(page);
    flags_[9] = checkBox(page, QStringLiteral("option10"), QStringLiteral("ﾄﾚｲｱｲｺﾝを使用する"));
    column->addWidget(flags_[9]);

    icoFrame_ = new QGroupBox(page);
    icoFrame_->setObjectName(QStringLiteral("IcoFrame"));
    auto *grid = new QGridLayout(icoFrame_);
    const std::array<QString, 3> labels{QStringLiteral("通常:"), QStringLiteral("作業中:"),
                                        QStringLiteral("メール到着時:")};
    for (int i = 0; i < 3; ++i) {
        icoImg_[i] = new QToolButton(icoFrame_);
        icoImg_[i]->setObjectName(QStringLiteral("IcoImg%1").arg(i + 1));
        icoImg_[i]->setToolTip(QStringLiteral("クリックすると内蔵のアイコンに戻ります"));
        icoImg_[i]->setIconSize(QSize(32, 32));
        icoImg_[i]->setAutoRaise(true);
        dirBox_[i] = new QLineEdit(icoFrame_);
        dirBox_[i]->setObjectName(QStringLiteral("DirBox%1").arg(i + 1));
        auto *ref = button(icoFrame_, QStringLiteral("RefBt2_%1").arg(i + 1), QStringLiteral("..."));
        grid->addWidget(new QLabel(labels[i], icoFrame_), i, 0);
        grid->addWidget(icoImg_[i], i, 1);
        grid->addWidget(dirBox_[i], i, 2);
        grid->addWidget(ref, i, 3);
        connect(icoImg_[i], &QToolButton::clicked, this, [this, i] { resetIcon(i); });
        connect(ref, &QPushButton::clicked, this, [this, i] { chooseIcon(i); });
    }
    auto *blink = new QHBoxLayout;
    flags_[10] = checkBox(icoFrame_, QStringLiteral("option11"),
                          QStringLiteral("到着時にアイコンを点滅させる"));
    timerBox_[4] = timerBox(icoFrame_, 5, QString());
    blink->addWidget(flags_[10]);
    blink->addWidget(timerBox_[4]);
    blink->addWidget(new QLabel(QStringLiteral("秒間"), icoFrame_));
    blink->addStretch();
    grid->addLayout(blink, 3, 0, 1, 4);
    flags_[11] = checkBox(icoFrame_, QStringLiteral("soption11"), QStringLiteral("点滅後 通常に戻す"));
    grid->addWidget(flags_[11], 4, 0, 1, 4);
    column->addWidget(icoFrame_);
    column->addStretch();
    return page;
}

void OptionForm::createButtons()
{
    auto *row = new QHBoxLayout;
    command3_ = button(this, QStringLiteral("Command3"), QStringLiteral("リスト列幅を元に戻す"));
    ok_ = button(this, QStringLiteral("OkBt"), QStringLiteral("OK"),
                 QStringLiteral("設定を保存して閉じます"));
    ok_->setDefault(true);
    cancel_ = button(this, QStringLiteral("CancelBt"), QStringLiteral("ｷｬﾝｾﾙ"),
                     QStringLiteral("ｱｶｳﾝﾄ以外の変更は保存せずに閉じます"));
    row->addWidget(command3_);
    row->addStretch();
    row->addWidget(ok_);
    row->addWidget(cancel_);
    layout_->addLayout(row);

    connect(command3_, &QPushButton::clicked, this, &OptionForm::restoreColumnWidths);
    connect(ok_, &QPushButton::clicked, this, &OptionForm::okClicked);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
}

} // namespace lum
