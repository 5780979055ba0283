#include "platform/quit_signals.h"

#include <QSocketNotifier>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace lum {

namespace {

int pipeFds[2] = {-1, -1};

extern "C" void onQuitSignal(int number)
{
    const char byte = char(number);
    [[maybe_unused]] const ssize_t n = ::write(pipeFds[1], &byte, 1);
}

void install(void (*handler)(int))
{
    struct sigaction sa {};
    sa.sa_handler = handler;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
}

} // namespace

QuitSignals::QuitSignals(QObject *parent) : QObject(parent)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pipeFds) != 0)
        return;
    notifier_ = new QSocketNotifier(pipeFds[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] {
        char byte = 0;
        if (::read(pipeFds[0], &byte, 1) == 1)
            emit quitRequested(int(byte));
    });
    install(onQuitSignal);
}

QuitSignals::~QuitSignals()
{
    install(SIG_DFL);
    for (int &fd : pipeFds) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
}

} // namespace lum
