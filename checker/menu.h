#pragma once
// The popup menu `mfile` "ﾌｧｲﾙ(&F)" of the notification icon, with every item in order.

#include <QAction>
#include <QMenu>
#include <array>
#include <memory>

namespace lum {

struct CheckerMenu {
    CheckerMenu();

    std::unique_ptr<QMenu> mfile;
    QAction *menu1;  // ﾒｰﾙﾁｪｯｸ(&L)
    QMenu *menu2;    // ﾒｰﾗｰ起動
    std::array<QAction *, 2> mailer; // Mailer(1), Mailer(2)
    QAction *menu3;  // ｱｲｺﾝを元に戻す(&C)
    QAction *menu02; // ポップアップ表示(&P)
    QAction *menu4;  // OPTION(&O)
    QAction *menu5;  // バージョン情報(&A)
    QAction *mend;   // 終了(&X)
};

// "Lumora Ver." followed by major, ".", minor and revision: 2, 0, 10 -> "Lumora Ver.2.010".
QString versionText(int major, int minor, int revision);

} // namespace lum
