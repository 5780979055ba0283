#include "checker/menu.h"

namespace lum {

CheckerMenu::CheckerMenu() : mfile(std::make_unique<QMenu>(QStringLiteral("ﾌｧｲﾙ(&F)")))
{
    QMenu *m = mfile.get();
    m->setObjectName(QStringLiteral("mfile"));
    menu1 = m->addAction(QStringLiteral("ﾒｰﾙﾁｪｯｸ(&L)"));
    menu2 = m->addMenu(QStringLiteral("ﾒｰﾗｰ起動"));
    for (QAction *&a : mailer)
        a = menu2->addAction(QStringLiteral("未登録"));
    menu3 = m->addAction(QStringLiteral("ｱｲｺﾝを元に戻す(&C)"));
    menu3->setEnabled(false);
    m->addSeparator();
    menu02 = m->addAction(QStringLiteral("ポップアップ表示(&P)"));
    m->addSeparator();
    menu4 = m->addAction(QStringLiteral("OPTION(&O)"));
    m->addSeparator();
    menu5 = m->addAction(QStringLiteral("バージョン情報(&A)"));
    m->addSeparator();
    mend = m->addAction(QStringLiteral("終了(&X)"));
}

QString versionText(int major, int minor, int revision)
{
    return QStringLiteral("Lumora Ver.%1.%2%3").arg(major).arg(minor).arg(revision);
}

} // namespace lum
