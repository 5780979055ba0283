#include "decode/mail_table.h"

#include <algorithm>

namespace lum {
namespace {

constexpr int kInitialSlots = 10;
// Message numbers are 16-bit: a server that claims more messages does not make the table
// grow without bound.
constexpr int kMaxSlots = 32767;

} // namespace

MailTable::MailTable(int accountCount)
{
    reset(accountCount);
}

void MailTable::reset(int accountCount)
{
    accounts_ = std::clamp(accountCount, 0, kMaxSlots);
    slots_ = kInitialSlots;
    records_.assign(size_t(accounts_) * size_t(slots_), MailRecord{});
}

void MailTable::ensureMessages(int count)
{
    count = std::min(count, kMaxSlots);
    if (count <= slots_)
        return;
    std::vector<MailRecord> grown(size_t(accounts_) * size_t(count));
    for (int a = 0; a < accounts_; ++a) {
        for (int m = 0; m < slots_; ++m)
            grown[size_t(a) * size_t(count) + size_t(m)] = std::move(records_[size_t(a) * size_t(slots_) + size_t(m)]);
    }
    records_ = std::move(grown);
    slots_ = count;
}

int MailTable::accountCount() const
{
    return accounts_;
}

int MailTable::messageSlots() const
{
    return slots_;
}

MailRecord *MailTable::record(int account, int message)
{
    if (account < 1 || account > accounts_ || message < 1 || message > slots_)
        return nullptr;
    return &records_[size_t(account - 1) * size_t(slots_) + size_t(message - 1)];
}

const MailRecord *MailTable::record(int account, int message) const
{
    return const_cast<MailTable *>(this)->record(account, message);
}

} // namespace lum
