#include "shell/command_line.h"

#include "varnoth_version.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <cstdio>

namespace {

bool FileExists(const QString& path)
{
    return QFileInfo::exists(path);
}

// A positive decimal line number; 0 when text is not one.
uint64_t LineNumber(const QString& text)
{
    bool ok = false;
    const qulonglong n = text.toULongLong(&ok, 10);
    if (!ok || text.isEmpty() || text.front() == u'+' || n > (qulonglong(1) << 62))
        return 0;
    return n;
}

QString Absolute(const QString& path, const QString& working_directory)
{
    const QString joined = QDir::isAbsolutePath(path) ? path : QDir(working_directory).filePath(path);
    return QDir::cleanPath(joined);
}

} // namespace

QString UsageText()
{
    return QStringLiteral("Usage: varnoth [OPTIONS] [FILE[:LINE]...]\n"
                          "A viewer for very large plain-text log files.\n"
                          "\n"
                          "Options:\n"
                          "  -h, --help        Show this help and exit.\n"
                          "  -v, --version     Show the version and exit.\n"
                          "  -l, --line <N>    Open the files with line N shown and selected.\n"
                          "  --                Take every argument after this as a file name.\n"
                          "\n"
                          "Arguments:\n"
                          "  FILE              A log file to open; several open as tabs. FILE:N opens\n"
                          "                    FILE at line N. A viewer that runs already opens them.\n"
                          "  -                 Read standard input into a tab of its own and follow it:\n"
                          "                    journalctl | varnoth -\n");
}

QString VersionText()
{
    return QStringLiteral("varnoth %1\n").arg(QString::fromLatin1(kVarnothVersion));
}

command_line ParseCommandLine(const QStringList& arguments, const QString& working_directory,
                              const file_exists_function& exists)
{
    command_line result;
    const file_exists_function& is_file = exists ? exists : file_exists_function(FileExists);

    QCommandLineParser parser;
    // "-platform offscreen" and Qt's other options are the toolkit's: long
    // options with one dash, accepted here and left to it.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    for (const char* name :
         {"platform", "platformpluginpath", "platformtheme", "plugin", "qwindowgeometry", "qwindowicon", "qwindowtitle",
          "style", "stylesheet", "session", "display", "geometry", "name", "title", "fontengine", "qmljsdebugger"}) {
        QCommandLineOption toolkit(QString::fromLatin1(name), QString(), QStringLiteral("value"));
        toolkit.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(toolkit);
    }
    for (const char* name : {"reverse", "widgetcount", "nograb", "dograb", "sync"}) {
        QCommandLineOption toolkit(QString::fromLatin1(name));
        toolkit.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(toolkit);
    }
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QString());
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")}, QString());
    const QCommandLineOption line({QStringLiteral("l"), QStringLiteral("line")}, QString(), QStringLiteral("N"));
    parser.addOptions({help, version, line});
    QStringList all = arguments;
    if (all.isEmpty())
        all.append(QStringLiteral("varnoth"));
    if (!parser.parse(all)) {
        result.what = command_line::action::usage_error;
        result.error = parser.errorText();
        return result;
    }
    if (parser.isSet(help)) {
        result.what = command_line::action::help;
        return result;
    }
    if (parser.isSet(version)) {
        result.what = command_line::action::version;
        return result;
    }
    uint64_t default_line = 0;
    if (parser.isSet(line)) {
        default_line = LineNumber(parser.value(line));
        if (default_line == 0) {
            result.what = command_line::action::usage_error;
            result.error = QStringLiteral("The line must be a positive number: '%1'.").arg(parser.value(line));
            return result;
        }
    }

    static const QRegularExpression with_line(QStringLiteral("^(.+):([0-9]+)$"));
    for (const QString& argument : parser.positionalArguments()) {
        if (argument.isEmpty())
            continue;
        if (argument == u'-') {
            result.standard_input = true;
            continue;
        }
        handed_file file{Absolute(argument, working_directory).toStdU16String(), default_line};
        const QRegularExpressionMatch match = with_line.match(argument);
        if (match.hasMatch() && !is_file(Absolute(argument, working_directory))) {
            const uint64_t n = LineNumber(match.captured(2));
            if (n > 0)
                file = {Absolute(match.captured(1), working_directory).toStdU16String(), n};
        }
        result.files.push_back(std::move(file));
    }
    return result;
}

bool AnswerCommandLine(const command_line& line, int& exit_status)
{
    switch (line.what) {
    case command_line::action::run: return false;
    case command_line::action::help:
        std::fputs(UsageText().toLocal8Bit().constData(), stdout);
        exit_status = 0;
        break;
    case command_line::action::version:
        std::fputs(VersionText().toLocal8Bit().constData(), stdout);
        exit_status = 0;
        break;
    case command_line::action::usage_error:
        std::fputs(QStringLiteral("varnoth: %1\n\n").arg(line.error).toLocal8Bit().constData(), stderr);
        std::fputs(UsageText().toLocal8Bit().constData(), stderr);
        exit_status = kUsageErrorStatus;
        break;
    }
    std::fflush(stdout);
    return true;
}
