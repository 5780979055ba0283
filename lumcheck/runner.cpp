#include "lumcheck/runner.h"

#include "platform/codepage.h"
#include "pop3/kept_owners.h"
#include "settings/setting_keys.h"

#include <QCoreApplication>
#include <QTimer>

#include <cstdio>

namespace lum {

Runner::Runner(Options &options, const SettingsStore &store, const RunRequest &request)
    : opt_(options), store_(store), req_(request), table_(options.accountno),
      transport_(&engine_), timers_([this](TimerId id) { engine_.timerTick(id); }),
      engine_(options, store, table_, transport_, timers_, *this), out_(stdout), err_(stderr)
{
    engine_.setPauseBeforeCycleEnd(false);
    engine_.setReportAllErrors(true);
    engine_.setKeptStore(&kept_);
    engine_.setPasswordSource(&passwords_);
    engine_.setTokenSource(&tokens_);
    if (req_.log)
        opt_.keepLog = true;
    // A command must end: without a session limit ("Timeupval" 0) a server that never
    // answers would hold it forever. Only a lack of progress counts, so slow transfers are
    // not cut.
    if (opt_.timeUpMinutes <= 0)
        opt_.timeUpMinutes = 1;
}

void Runner::start()
{
    if (const QString problem = tidyKeptFiles(kept_, store_, opt_); !problem.isEmpty())
        err_ << "lumcheck: " << problem << Qt::endl;
    engine_.checkmail();
}

void Runner::showMsg(const QString &text)
{
    const QString name = store_.readSetting(numbered(key::aname, engine_.accountIndex()), QString());
    err_ << "lumcheck: " << visibleText(name) << ": " << visibleText(text.trimmed()) << Qt::endl;
}

void Runner::cycleStarting()
{
    log_ += engine_.log();
}

void Runner::checkCycleEnded(const CheckCycleResult &)
{
    clearMarks();
    const QList<ListRow> rows = listRows(
        table_, opt_.accountno, [this](int a) { return int(engine_.listedCount(a)); },
        [this](int a) { return store_.readSetting(numbered(key::aname, a), QString()); },
        opt_.newestFirst);
    out_ << (req_.json ? formatJson(rows) : formatTsv(rows));
    out_.flush();
    // The engine finishes its own bookkeeping before the next cycle begins.
    QTimer::singleShot(0, [this] { nextPhase(); });
}

void Runner::retrieveCycleEnded()
{
    for (const MessageRef &ref : std::as_const(req_.retrieve)) {
        const MailRecord *r = table_.record(ref.account, ref.message);
        if (!r || !r->retrieved) {
            err_ << "lumcheck: " << ref.account << ':' << ref.message
                 << ": ﾒｰﾙを取得できませんでした" << Qt::endl;
            continue;
        }
        out_ << "--- " << ref.account << ':' << ref.message << " ---\n";
        // A message may be large: one conversion and one write rather than the stream's
        // chunked conversion.
        out_.flush();
        const QByteArray text = visibleText(viewerText(*r), true).toUtf8();
        std::fwrite(text.constData(), 1, size_t(text.size()), stdout);
        std::fflush(stdout);
        if (!r->body.endsWith(QLatin1Char('\n')))
            out_ << '\n';
    }
    out_.flush();
    clearMarks();
    QTimer::singleShot(0, [this] { nextPhase(); });
}

bool Runner::mark(const QList<MessageRef> &refs)
{
    bool any = false;
    for (const MessageRef &ref : refs) {
        MailRecord *r = ref.message <= engine_.listedCount(ref.account)
            ? table_.record(ref.account, ref.message)
            : nullptr;
        if (!r) {
            err_ << "lumcheck: " << ref.account << ':' << ref.message
                 << ": 一覧にないﾒｰﾙです" << Qt::endl;
            continue;
        }
        r->mark = true;
        any = true;
    }
    return any;
}

void Runner::clearMarks()
{
    for (int a = 1; a <= table_.accountCount(); ++a) {
        for (int m = 1; m <= table_.messageSlots(a); ++m)
            table_.record(a, m)->mark = false;
    }
}

void Runner::nextPhase()
{
    switch (phase_) {
    case Phase::Check:
        phase_ = Phase::Retrieve;
        if (!req_.retrieve.isEmpty()) {
            mark(req_.retrieve);
            engine_.retrieveMarked();
            return;
        }
        [[fallthrough]];
    case Phase::Retrieve:
        phase_ = Phase::Delete;
        if (!req_.remove.isEmpty()) {
            if (mark(req_.remove)) {
                engine_.deleteMarked(); // ends with a check cycle
                return;
            }
        }
        [[fallthrough]];
    case Phase::Delete:
    case Phase::Done:
        phase_ = Phase::Done;
        finish();
        return;
    }
}

void Runner::finish()
{
    if (req_.log) {
        log_ += engine_.log();
        out_ << decodeCp932(log_);
        out_.flush();
    }
    QCoreApplication::exit(0);
}

} // namespace lum
