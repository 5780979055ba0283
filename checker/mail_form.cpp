#include "checker/mail_form.h"

#include "checker/pictures.h"
#include "platform/twips.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QScreen>

namespace lum {

namespace {

constexpr int buttonHeight = 22;
constexpr int gridLeft = 2;
constexpr int gridTop = buttonHeight + 4;
constexpr int okHeight = 24;
constexpr int bottomMargin = 4;
// Below these inner sizes (twips) the layout is left as it is.
constexpr int minLayoutHeightTwips = 1500;
constexpr int minLayoutWidthTwips = 1000;
// The smallest stored size that is used; no window is narrower, so that a labelled log
// button fits whole.
constexpr QSize smallestWindow(160, 120);
// The log button's right edge stays this far from the window's.
constexpr int logRightMargin = 6;

struct ButtonPlace {
    int textLeft, textWidth, pictureLeft, pictureWidth;
};
// MailBt(1), MailBt(2), RetrBt, DelBt, LogBt.
constexpr std::array<ButtonPlace, 5> places{{
    {0, 100, 0, 20},
    {110, 100, 24, 20},
    {220, 100, 56, 20},
    {330, 100, 88, 20},
    {472, 100, 552, 20},
}};

QPushButton *makeButton(QWidget *parent, const char *name, const QString &tip)
{
    auto *b = new QPushButton(parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setToolTip(tip);
    b->setFocusPolicy(Qt::TabFocus);
    return b;
}

} // namespace

MailForm::MailForm(MailListModel *model, QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("mailform"));
    setWindowTitle(QStringLiteral("Lumora"));
    const QString mailerTip = QStringLiteral("OPTIONで指定したﾒｰﾗｰを起動します");
    mailBt_[0] = makeButton(this, "MailBt1", mailerTip);
    mailBt_[1] = makeButton(this, "MailBt2", mailerTip);
    retrBt_ = makeButton(this, "RetrBt", QStringLiteral("選択したメールを取得します"));
    delBt_ = makeButton(this, "DelBt", QStringLiteral("選択したメールをサーバから削除します"));
    logBt_ = makeButton(this, "LogBt", QStringLiteral("ログを表示します"));
    logBt_->setText(QStringLiteral("L"));
    okBt_ = makeButton(this, "OkBt", QStringLiteral("ﾎﾟｯﾌﾟｱｯﾌﾟを閉じます"));
    okBt_->setText(QStringLiteral("OK"));
    for (QPushButton *b : {mailBt_[0], mailBt_[1], retrBt_, delBt_})
        b->setEnabled(false);
    logBt_->hide();
    trayNote_ = new QLabel(QStringLiteral("通知領域がないため、ウィンドウを表示しています"), this);
    trayNote_->setObjectName(QStringLiteral("trayNote"));
    trayNote_->hide();
    list_ = new MailList(model, this);
    list_->setFocus();
    setMinimumWidth(smallestWindow.width());
    layoutButtons(false);
}

void MailForm::layoutButtons(bool textButtons)
{
    textButtons_ = textButtons;
    const std::array<QPushButton *, 5> buttons{mailBt_[0], mailBt_[1], retrBt_, delBt_, logBt_};
    const std::array<ToolPicture, 4> pictures{ToolPicture::Mailer1, ToolPicture::Mailer2,
                                              ToolPicture::Retrieve, ToolPicture::Delete};
    for (size_t i = 0; i < buttons.size(); ++i) {
        QPushButton *b = buttons[i];
        const ButtonPlace &p = places[i];
        if (textButtons) {
            b->setGeometry(p.textLeft, 0, p.textWidth, buttonHeight);
            b->setIcon(QIcon());
        } else {
            b->setGeometry(p.pictureLeft, 0, p.pictureWidth, buttonHeight);
            if (i < pictures.size())
                b->setIcon(QIcon(toolPicture(pictures[i])));
        }
    }
    const std::array<QString, 5> labels{QStringLiteral("メーラー1"), QStringLiteral("メーラー2"),
                                        QStringLiteral("メール取得"), QStringLiteral("メール削除"),
                                        QStringLiteral("ログ表示")};
    for (size_t i = 0; i < buttons.size(); ++i)
        buttons[i]->setText(textButtons ? labels[i] : i == 4 ? QStringLiteral("L") : QString());
    layoutControls();
}

void MailForm::setSizeTwips(int widthTwips, int heightTwips)
{
    QSize size(twipsToPixels(widthTwips, logicalDpiX()), twipsToPixels(heightTwips, logicalDpiY()));
    QSize limit(4096, 4096);
    if (const QScreen *s = screen() ? screen() : QGuiApplication::primaryScreen())
        limit = s->availableSize();
    size = size.expandedTo(smallestWindow).boundedTo(limit.expandedTo(smallestWindow));
    resize(size);
    layoutControls();
}

QSize MailForm::sizeTwips() const
{
    return {pixelsToTwips(width(), logicalDpiX()), pixelsToTwips(height(), logicalDpiY())};
}

void MailForm::setListEnabled(bool on)
{
    if (on == list_->isEnabled())
        return;
    if (!on)
        listHadFocus_ = list_->hasFocus() || focusWidget() == list_;
    list_->setEnabled(on);
    if (on && listHadFocus_)
        list_->setFocus();
}

void MailForm::setTrayMissing(bool missing)
{
    trayNote_->setVisible(missing);
    layoutControls();
}

void MailForm::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    layoutControls();
}

// The log button at the right edge, whole at every width (with labels it may cover the
// other tool buttons of a narrow window); grid below the tool buttons, OK under the grid.
void MailForm::layoutControls()
{
    logBt_->move(std::max(width() - logRightMargin - logBt_->width(), 0), logBt_->y());
    if (pixelsToTwips(height(), logicalDpiY()) <= minLayoutHeightTwips
        || pixelsToTwips(width(), logicalDpiX()) <= minLayoutWidthTwips)
        return;
    const int gridWidth = width() - 2 * gridLeft;
    const int gridHeight = height() - gridTop - okHeight - 3 - bottomMargin;
    list_->setGeometry(gridLeft, gridTop, gridWidth, gridHeight);
    okBt_->setGeometry(gridLeft, gridTop + gridHeight + 3, gridWidth - 18, okHeight);
    const int noteLeft = (textButtons_ ? places[3].textLeft + places[3].textWidth
                                       : places[3].pictureLeft + places[3].pictureWidth) + 8;
    trayNote_->setGeometry(noteLeft, 0, std::max(logBt_->x() - noteLeft - 4, 0), buttonHeight);
}

void MailForm::closeEvent(QCloseEvent *event)
{
    event->ignore();
    emit closeRequested();
}

} // namespace lum
