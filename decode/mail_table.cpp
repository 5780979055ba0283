#include "decode/mail_table.h"

#include <algorithm>

namespace lum {
namespace {

constexpr int kInitialSlots = 10;
// Bound of one account's message numbers, beyond any real mailbox; it keeps a count that a
// server merely claims from reserving memory.
constexpr int kMaxSlots = 1 << 20;
constexpr int kMaxAccounts = 32767;

} // namespace

MailTable::MailTable(int accountCount)
{
    reset(accountCount);
}

void MailTable::reset(int accountCount)
{
    records_.assign(size_t(std::clamp(accountCount, 0, kMaxAccounts)),
                    std::vector<MailRecord>(size_t(kInitialSlots)));
}

void MailTable::ensureMessages(int count)
{
    for (int a = 1; a <= accountCount(); ++a)
        ensureMessages(a, count);
}

void MailTable::ensureMessages(int account, int count)
{
    if (account < 1 || account > accountCount())
        return;
    std::vector<MailRecord> &messages = records_[size_t(account - 1)];
    count = std::min(count, kMaxSlots);
    if (count > int(messages.size()))
        messages.resize(size_t(count));
}

int MailTable::accountCount() const
{
    return int(records_.size());
}

int MailTable::messageSlots() const
{
    int most = 0;
    for (const auto &messages : records_)
        most = std::max(most, int(messages.size()));
    return most;
}

int MailTable::messageSlots(int account) const
{
    if (account < 1 || account > accountCount())
        return 0;
    return int(records_[size_t(account - 1)].size());
}

MailRecord *MailTable::record(int account, int message)
{
    if (message < 1 || message > messageSlots(account))
        return nullptr;
    return &records_[size_t(account - 1)][size_t(message - 1)];
}

const MailRecord *MailTable::record(int account, int message) const
{
    return const_cast<MailTable *>(this)->record(account, message);
}

} // namespace lum
