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

Tray::Tray(QWidget *window, QMenu *menu, QObject *parent)
    : QObject(parent), window_(window), icon_(this)
{
    for (int i = 0; i < 3; ++i)
        pictures_[size_t(i)] = builtIn(i);
    icon_.setContextMenu(menu);
    connect(&icon_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason r) {
        if (r == QSystemTrayIcon::DoubleClick)
            emit doubleClicked();
    });
}

bool Tray::available()
{
    return QSystemTrayIcon::isSystemTrayAvailable();
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
    icon_.setToolTip(caption);
}

void Tray::restore(Picture picture)
{
    tuskicon(Add);
    tuskicon(int(picture) - int(Normal) + int(ShowNormal));
}

void Tray::tuskicon(int op)
{
    current_ = op == ShowWorking ? Working : op == ShowArrival ? Arrival : Normal;
    const QIcon &picture = pictures_[size_t(current_ - 1)];
    window_->setWindowIcon(picture);
    icon_.setIcon(picture);
    icon_.setToolTip(window_->windowTitle());
    if (op == Add)
        icon_.show();
    else if (op == Remove)
        icon_.hide();
}

} // namespace lum
