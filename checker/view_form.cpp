#include "checker/view_form.h"

#include "platform/twips.h"

#include <QVBoxLayout>

namespace lum {

namespace {
// The window's inner size as designed, in twips.
constexpr int designWidthTwips = 8580;
constexpr int designHeightTwips = 4335;
} // namespace

ViewForm::ViewForm(QWidget *parent) : QWidget(parent, Qt::Window), text1_(new QPlainTextEdit(this))
{
    setObjectName(QStringLiteral("viewform"));
    setWindowTitle(QStringLiteral("Viewer"));
    text1_->setObjectName(QStringLiteral("Text1"));
    text1_->setReadOnly(true);
    text1_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    text1_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(text1_);
    resize(twipsToPixels(designWidthTwips, logicalDpiX()), twipsToPixels(designHeightTwips, logicalDpiY()));
}

void ViewForm::showText(const QString &text)
{
    text1_->setPlainText(text);
    show();
    raise();
}

} // namespace lum
