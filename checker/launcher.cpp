#include "checker/launcher.h"

#include "settings/mailer_caption.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace lum {

QStringList splitCommandLine(const QString &text)
{
    QStringList words;
    QString word;
    bool inWord = false;
    QChar quote; // '"' or '\'' while inside quotes
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (quote == u'\'') {
            if (c == u'\'')
                quote = QChar();
            else
                word += c;
        } else if (quote == u'"') {
            if (c == u'"')
                quote = QChar();
            else if (c == u'\\' && i + 1 < text.size() && QStringView(u"\"\\$`").contains(text[i + 1]))
                word += text[++i];
            else
                word += c;
        } else if (c == u'"' || c == u'\'') {
            quote = c;
            inWord = true;
        } else if (c == u'\\' && i + 1 < text.size()) {
            word += text[++i];
            inWord = true;
        } else if (c.isSpace()) {
            if (inWord)
                words << std::exchange(word, QString());
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord)
        words << word;
    return words;
}

std::optional<MailCommand> mailCommand(const QString &text)
{
    const std::optional<QString> program = mailerProgram(text);
    if (!program || !QFileInfo(*program).isFile()) // an empty text names no file
        return std::nullopt;
    if (!text.startsWith(QLatin1Char('"')))
        return MailCommand{text, {}};
    return MailCommand{*program, splitCommandLine(text.mid(program->size() + 2))};
}

LaunchResult execMailapp(const QString &text)
{
    const std::optional<MailCommand> command = mailCommand(text);
    if (!command)
        return LaunchResult::NotStarted;
    return QProcess::startDetached(command->program, command->arguments) ? LaunchResult::Started
                                                                           : LaunchResult::Failed;
}

OptionsProgram::OptionsProgram(QString path, QObject *parent)
    : QObject(parent), path_(std::move(path)), process_(new QProcess)
{
    connect(process_, &QProcess::finished, this, [this] { finish(true); });
    connect(process_, &QProcess::errorOccurred, this, [this](QProcess::ProcessError e) {
        if (e == QProcess::FailedToStart)
            finish(false);
    });
}

OptionsProgram::~OptionsProgram()
{
    // An options window still open outlives the checker: destroying its QProcess would
    // kill it and lose the user's edits, so the object is let go instead. A program still
    // starting (or failing to) has no window yet and goes with the checker.
    if (process_->state() == QProcess::Running) {
        process_->disconnect(this);
        return;
    }
    process_->disconnect(this);
    delete process_;
}

QString OptionsProgram::defaultPath()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/lumsetup");
}

bool OptionsProgram::start(std::function<void(bool)> done)
{
    if (running())
        return false;
    done_ = std::move(done);
    process_->setProcessChannelMode(QProcess::ForwardedChannels);
    process_->start(path_, {});
    return true;
}

void OptionsProgram::finish(bool started)
{
    if (auto done = std::exchange(done_, nullptr))
        done(started);
}

} // namespace lum
