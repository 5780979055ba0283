#pragma once
// The main window `mailform`: tool buttons, the mail list and the OK button, laid out in
// pixels as the settings ask. It only shows things and reports what the user does; the
// commands live in Checker.

#include "checker/mail_list.h"

#include <QLabel>
#include <QPushButton>
#include <QWidget>
#include <array>

namespace lum {

class MailForm : public QWidget {
    Q_OBJECT
public:
    explicit MailForm(MailListModel *model, QWidget *parent = nullptr);

    QPushButton *mailBt(int n) const { return mailBt_[size_t(n - 1)]; } // n = 1, 2
    QPushButton *retrBt() const { return retrBt_; }
    QPushButton *delBt() const { return delBt_; }
    QPushButton *logBt() const { return logBt_; }
    QPushButton *okBt() const { return okBt_; }
    MailList *list() const { return list_; }

    // Text labels ("メーラー1", …) or pictures on the tool buttons.
    void layoutButtons(bool textButtons);
    // The window's inner size from the stored twips, kept within the screen.
    void setSizeTwips(int widthTwips, int heightTwips);
    QSize sizeTwips() const;
    // The list is disabled while a session works on it; it gets the keyboard back when it
    // had it before.
    void setListEnabled(bool on);
    // Shown when the desktop has no notification area, so the window stands in for it.
    void setTrayMissing(bool missing);

signals:
    // The window manager's close button: the resident window is hidden, not ended.
    void closeRequested();

protected:
    void resizeEvent(QResizeEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void layoutControls();

    std::array<QPushButton *, 2> mailBt_{};
    QPushButton *retrBt_;
    QPushButton *delBt_;
    QPushButton *logBt_;
    QPushButton *okBt_;
    QLabel *trayNote_;
    MailList *list_;
    bool textButtons_ = false;
    bool listHadFocus_ = false;
};

} // namespace lum
