// Kept summaries are read back only by the owner they were written for, and only whole.
#include "pop3/kept_owners.h"
#include "pop3/kept_summaries.h"
#include "pop3/qt/file_kept_store.h"
#include "support/file_modes.h"
#include "support/rig.h"

#include <QCryptographicHash>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace lum {
namespace {

const KeptOwner owner{QStringLiteral("pop.example.jp"), 995, QStringLiteral("hanako"), Decoding::Classic};

KeptSummaries twoKept()
{
    KeptSummaries kept;
    kept.put("uid-1", 1200, {QStringLiteral("山田花子"), QStringLiteral("会議"), true, {"<1@x>", {}, {}, {}}});
    kept.put("uid-2", 3400, {QStringLiteral("佐藤"), QString(), false, {{}, "Mon", "a@x", "=?ISO-2022-JP?B?x?="}});
    return kept;
}

TEST(KeptSummaries, ReadBackOnlyWholeAndByTheirOwner)
{
    const QByteArray good = twoKept().toBytes(owner);
    const auto flipped = [&](qsizetype at, bool resealed) {
        QByteArray b = good.first(good.size() - 32);
        b[at] = char(b[at] ^ 0x01);
        return b + (resealed ? QCryptographicHash::hash(b, QCryptographicHash::Blake2b_256) : good.last(32));
    };
    struct Row {
        const char *what;
        QByteArray bytes;
        KeptOwner reader;
        qsizetype kept;
    };
    const Row rows[] = {
        {"own", good, owner, 2},
        {"another host", good, {"pop.example.com", 995, "hanako", Decoding::Classic}, 0},
        {"another port", good, {"pop.example.jp", 110, "hanako", Decoding::Classic}, 0},
        {"another user", good, {"pop.example.jp", 995, "taro", Decoding::Classic}, 0},
        {"another decoding", good, {"pop.example.jp", 995, "hanako", Decoding::Modern}, 0},
        {"cut short", good.first(good.size() - 1), owner, 0},
        {"a byte changed in a summary", flipped(good.size() / 2, false), owner, 0},
        {"another version", flipped(7, true), owner, 0},
        {"a count beyond the summaries", flipped(good.indexOf("uid-") - 5, true), owner, 0},
        {"empty", QByteArray(), owner, 0},
        {"not ours", QByteArray(100, 'x'), owner, 0},
    };
    for (const Row &row : rows)
        EXPECT_EQ(KeptSummaries::fromBytes(row.bytes, row.reader).size(), row.kept) << row.what;

    const KeptSummaries back = KeptSummaries::fromBytes(good, owner);
    for (const auto &[uidl, size] : {std::pair{"uid-1", 1200}, std::pair{"uid-2", 3400}})
        EXPECT_EQ(*back.find(uidl, size), *twoKept().find(uidl, size)) << uidl;
    // One file per server, port and user, whatever the decoding mode.
    EXPECT_NE(owner.fileName(), KeptOwner({"pop.example.jp", 995, "taro", Decoding::Classic}).fileName());
    EXPECT_EQ(owner.fileName(), KeptOwner({"pop.example.jp", 995, "hanako", Decoding::Modern}).fileName());
}

TEST(KeptSummaries, FilesOnlyTheirOwnerReads)
{
    QTemporaryDir home;
    const QString folder = home.filePath("cache/lumwatch");
    test::ScopedUmask open(0);
    FileKeptStore store(folder);
    EXPECT_TRUE(store.load("a").isEmpty()); // nothing kept yet
    store.save("a", "first");
    store.save("a", "second");
    EXPECT_EQ(store.load("a"), "second");
    EXPECT_EQ(test::modeOf(folder), 0700);
    EXPECT_EQ(test::modeOf(folder + "/a"), 0600);
    EXPECT_EQ(QDir(folder).entryList(QDir::Files), QStringList{"a"}); // no temporary left

    // The file of a deleted account goes; the remaining account's stay, as does a file not of ours.
    test::setMode(folder, 0755); // made by hand, or by an older version
    const QString kept = owner.fileName(), deleted = KeptOwner{"pop.example.jp", 995, "taro"}.fileName();
    for (const QString &name : {kept, kept + ".capa", deleted, deleted + ".capa"})
        store.save(name, "x");
    test::Rig rig({{"A", owner.host, owner.port, owner.user}}, {{"Option15value", QStringLiteral("1")}});
    EXPECT_EQ(tidyKeptFiles(store, rig.temp.store(), rig.options), QString());
    EXPECT_EQ(QDir(folder).entryList(QDir::Files), (QStringList{kept, kept + ".capa", "a"}));
    EXPECT_EQ(test::modeOf(folder), 0700);
}

} // namespace
} // namespace lum
