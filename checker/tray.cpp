#include "checker/tray.h"

#include "platform/builtin_icons.h"
#include "settings/setting_keys.h"

#include <QFileInfo>
#include <QImageReader>
#include <QMenu>
#include <QPixmap>
#include <QWidget>

namespace lum {

namespace {

QIcon builtIn(int i)
{
    QIcon icon;
    for (int side : {16, 22, 24, 32, 48, 64})
        icon.addPixmap(QPixmap::fromImage(builtInIconImage(BuiltInIcon(i), side)));
    return icon;
}

} // namespace

Tray::Tray(QWidget *window, QMenu *menu, TrayWatch &watch, QObject *parent)
    : QObject(parent), window_(window), menu_(menu), watch_(watch)
{
    for (int i = 0; i < 3; ++i)
        pictures_[size_t(i)] = builtIn(i);
    available_ = available();
    if (available_)
        makeIcon();
    connect(&watch_, &TrayWatch::changed, this, &Tray::watchChanged);
}

Tray::~Tray() = default;

bool Tray::available() const
{
    if (!icon_)
        return watch_.statusNotifierHost() || watch_.xembedManager();
    return statusNotifier_ ? watch_.statusNotifierHost() : watch_.xembedManager();
}

void Tray::watchChanged()
{
    const bool now = available();
    if (now == available_)
        return;
    available_ = now;
    if (now && !icon_)
        makeIcon();
    emit availabilityChanged(now);
}

// The desktop's icon implementation settles its kind when the first icon is made: a
// StatusNotifier host registered at that moment gives a StatusNotifierItem.
void Tray::makeIcon()
{
    statusNotifier_ = watch_.statusNotifierHost();
    icon_ = std::make_unique<QSystemTrayIcon>(this);
    icon_->setContextMenu(menu_);
    connect(icon_.get(), &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason r) {
        if (r == QSystemTrayIcon::DoubleClick || (r == QSystemTrayIcon::Trigger && statusNotifier_))
            emit opened();
    });
    showPicture();
    if (shown_)
        icon_->show();
}

void Tray::loadPictures(std::array<QString, 3> &paths)
{
    for (size_t i = 0; i < paths.size(); ++i) {
        QImage image;
        if (QFileInfo(paths[i]).isFile())
            image = QImageReader(paths[i]).read();
        if (image.isNull()) {
            paths[i] = builtInIconMarker;
            pictures_[i] = builtIn(int(i));
        } else {
            pictures_[i] = QIcon(QPixmap::fromImage(image));
        }
    }
}

void Tray::setTip(const QString &caption)
{
    tip_ = caption;
    if (icon_)
        icon_->setToolTip(caption);
}

void Tray::restore(Picture picture)
{
    tuskicon(Add);
    tuskicon(int(picture) - int(Normal) + int(ShowNormal));
}

void Tray::tuskicon(int op)
{
    current_ = op == ShowWorking ? Working : op == ShowArrival ? Arrival : Normal;
    tip_ = window_->windowTitle();
    if (op == Add)
        shown_ = true;
    else if (op == Remove)
        shown_ = false;
    showPicture();
    if (icon_)
        icon_->setVisible(shown_);
}

void Tray::showPicture()
{
    const QIcon &picture = pictures_[size_t(current_ - 1)];
    window_->setWindowIcon(picture);
    if (!icon_)
        return;
    icon_->setIcon(picture);
    icon_->setToolTip(tip_);
}

} // namespace lum
