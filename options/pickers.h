#pragma once
// The standard dialogs of the options program, reduced to plain values: one existing file,
// or one colour. Both use Qt's own dialogs rather than the desktop's, so they look and
// behave the same everywhere (and under a virtual display).

#include <QString>

class QColorDialog;
class QFileDialog;
class QWidget;

namespace lum {

// One filter of the file dialog: a description and one pattern ("WAVﾌｧｲﾙ", "*.wav").
struct FileFilter {
    QString description;
    QString pattern;
};

// Sets up dialog to choose one existing file through the single filter, starting in
// initialDir (a folder, or a file whose folder is opened with that file selected).
void configureFileDialog(QFileDialog &dialog, const FileFilter &filter, const QString &initialDir,
                         const QString &title);

// Where a file picker starts for the path a box holds: that file when it exists (its folder
// opens with it selected), else its folder when that exists, else the user's home. A text
// that is not an absolute path ("", "内蔵", "mailer.exe") has no folder.
QString pickerStart(const QString &currentPath);

// The full path of the chosen file, or "" when the user cancelled.
QString pickFile(QWidget *owner, const FileFilter &filter, const QString &initialDir,
                 const QString &title);

// Forgets the custom colours of the colour dialog: all sixteen become black, so nothing a
// user defined carries over from one choice to the next.
void clearCustomColors();

// Sets up dialog for one colour choice with black preselected.
void configureColorDialog(QColorDialog &dialog);

// Clears the custom colours, then asks. The chosen colour as 0x00BBGGRR (black is 0), or
// -1 when the user cancelled.
qint32 pickColor(QWidget *owner);

} // namespace lum
