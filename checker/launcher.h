#pragma once
// Starting other programs: the user's two mail programs, started and forgotten, and the
// options program lumsetup, whose end is reported so that the checker can reload.

#include <QObject>
#include <QProcess>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

namespace lum {

struct MailCommand {
    QString program;
    QStringList arguments;
    bool operator==(const MailCommand &) const = default;
};

// What a mail-program text starts, or nothing:
//   - a text not starting with a double quote must name an existing file as a whole and
//     starts it without arguments (a path followed by arguments names no file);
//   - "path" args...: the quoted path, as it is, must name an existing file and is the
//     program (mailerProgram, as for its caption); the text after the closing quote is
//     split into arguments as a shell would, without running a shell;
//   - an empty text, or an opening quote without its closing one, starts nothing.
std::optional<MailCommand> mailCommand(const QString &text);

// Words of a command line as a POSIX shell splits them, without expanding anything: blanks
// separate, '…' keeps everything, "…" keeps everything but \" \\ \$ \`, and \ outside
// quotes keeps the next character.
QStringList splitCommandLine(const QString &text);

enum class LaunchResult { NotStarted, Started, Failed };

// Starts the mail program of text. NotStarted when the text names nothing to start,
// Failed when the file exists but the system refused to run it.
LaunchResult execMailapp(const QString &text);

class OptionsProgram : public QObject {
public:
    // path: the options program, by default lumsetup in the checker's own folder.
    explicit OptionsProgram(QString path = defaultPath(), QObject *parent = nullptr);
    ~OptionsProgram() override;

    static QString defaultPath();
    QString path() const { return path_; }

    // Starts the program; done(true) once it has ended, done(false) at once when it could
    // not be started. A start while it runs is refused (false, done is not called).
    bool start(std::function<void(bool started)> done);
    bool running() const { return process_->state() != QProcess::NotRunning; }

private:
    void finish(bool started);

    QString path_;
    QProcess *process_; // left running, not killed, when the checker ends first
    std::function<void(bool)> done_;
};

} // namespace lum
