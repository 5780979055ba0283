#include "options/pickers.h"

#include "platform/color_ref.h"

#include <QColorDialog>
#include <QDir>
#include <QFileDialog>

namespace lum {

void configureFileDialog(QFileDialog &dialog, const FileFilter &filter, const QString &initialDir,
                         const QString &title)
{
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setOption(QFileDialog::ReadOnly);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setWindowTitle(title);
    dialog.setNameFilter(filter.description + QStringLiteral(" (") + filter.pattern
                         + QLatin1Char(')'));
    const QFileInfo start(initialDir);
    if (start.isFile()) {
        dialog.setDirectory(start.absolutePath());
        dialog.selectFile(start.fileName());
    } else if (!initialDir.isEmpty()) {
        dialog.setDirectory(initialDir);
    }
}

QString pickerStart(const QString &currentPath)
{
    if (QDir::isAbsolutePath(currentPath)) {
        const QFileInfo current(currentPath);
        if (current.isFile())
            return currentPath;
        if (QFileInfo(current.absolutePath()).isDir())
            return current.absolutePath();
    }
    return QDir::homePath();
}

QString pickFile(QWidget *owner, const FileFilter &filter, const QString &initialDir,
                 const QString &title)
{
    QFileDialog dialog(owner);
    configureFileDialog(dialog, filter, initialDir, title);
    if (dialog.exec() != QDialog::Accepted)
        return QString();
    const QStringList files = dialog.selectedFiles();
    if (files.isEmpty() || !QFileInfo(files.first()).isFile())
        return QString();
    return files.first();
}

void clearCustomColors()
{
    for (int i = 0; i < QColorDialog::customCount(); ++i)
        QColorDialog::setCustomColor(i, QColor(Qt::black));
}

void configureColorDialog(QColorDialog &dialog)
{
    dialog.setOption(QColorDialog::DontUseNativeDialog);
    dialog.setCurrentColor(QColor(Qt::black));
}

qint32 pickColor(QWidget *owner)
{
    clearCustomColors();
    QColorDialog dialog(owner);
    configureColorDialog(dialog);
    if (dialog.exec() != QDialog::Accepted)
        return -1;
    return toColorRef(dialog.selectedColor());
}

} // namespace lum
