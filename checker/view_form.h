#pragma once
// The viewer `viewform`, captioned "Viewer": one read-only text box filling the window. It
// shows whichever text it was given last: a retrieved message or the protocol log.

#include <QPlainTextEdit>
#include <QWidget>

namespace lum {

class ViewForm : public QWidget {
public:
    explicit ViewForm(QWidget *parent = nullptr);

    // Replaces the text and shows the window, without making it modal.
    void showText(const QString &text);
    QString text() const { return text1_->toPlainText(); }

private:
    QPlainTextEdit *text1_;
};

} // namespace lum
