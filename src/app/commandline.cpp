#include "app/commandline.h"

#include "ombrixversion.h"

#include <QCommandLineOption>
#include <QCommandLineParser>

#include <memory>

namespace ombrix {

namespace {

// Options QApplication takes out of the arguments itself; hidden from --help.
const char* const kQtValueOptions[] = {"platform",        "platformpluginpath",
                                       "platformtheme",   "plugin",
                                       "qwindowgeometry", "qwindowicon",
                                       "qwindowtitle",    "display",
                                       "geometry",        "name",
                                       "title",           "style",
                                       "stylesheet",      "session"};
const char* const kQtFlagOptions[] = {"reverse", "widgetcount", "nograb", "dograb", "sync"};

// The parser of ombrix's options; one more option is one more addOption here.
std::unique_ptr<QCommandLineParser> makeParser() {
    auto parser = std::make_unique<QCommandLineParser>();
    // "-platform offscreen" as Qt spells its options, and "-h" / "-v" too.
    parser->setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser->setApplicationDescription(
        "Describes waveforms for the six outputs of an arbitrary waveform generator, plots them\n"
        "and their spectra, keeps them in forms settings files and sends them to the generator\n"
        "on a serial line.");
    parser->addOption({{"h", "help"}, "Show this text and exit."});
    parser->addOption({{"v", "version"}, "Show the version and exit."});
    parser->addPositionalArgument("file", "A forms settings file (.set) to open at start.",
                                  "[file]");
    for (const char* name : kQtValueOptions) {
        QCommandLineOption option(QString::fromLatin1(name), QString(), "value");
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser->addOption(option);
    }
    for (const char* name : kQtFlagOptions) {
        QCommandLineOption option(QString::fromLatin1(name));
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser->addOption(option);
    }
    return parser;
}

// Takes "--remote" and "--remote=PORT" out of `arguments` into `line` (QCommandLineParser has
// no option whose value may be left out). False, with the error, for a PORT not 1..65535.
bool takeRemoteOption(QStringList& arguments, CommandLine& line) {
    for (qsizetype i = 1; i < arguments.size();) {
        const QString& a = arguments.at(i);
        if (a == "--")
            break; // what follows is a file name, whatever it looks like
        if (a != "--remote" && !a.startsWith("--remote=")) {
            ++i;
            continue;
        }
        line.remote = true;
        if (a.startsWith("--remote=")) {
            bool ok = false;
            const int port = a.mid(9).toInt(&ok);
            if (!ok || port < 1 || port > 65535) {
                line.error = QString("--remote: '%1' is no port (1..65535).").arg(a.mid(9));
                return false;
            }
            line.remotePort = static_cast<quint16>(port);
        }
        arguments.removeAt(i);
    }
    return true;
}

} // namespace

CommandLine parseCommandLine(const QStringList& givenArguments) {
    const auto parser = makeParser();
    CommandLine line;
    QStringList arguments = givenArguments;
    if (!takeRemoteOption(arguments, line)) {
        line.action = CommandLine::Action::Refuse;
        return line;
    }
    if (!parser->parse(arguments)) {
        line.action = CommandLine::Action::Refuse;
        line.error = parser->errorText();
        return line;
    }
    if (parser->isSet("help")) {
        line.action = CommandLine::Action::ShowHelp;
        return line;
    }
    if (parser->isSet("version")) {
        line.action = CommandLine::Action::ShowVersion;
        return line;
    }
    const QStringList files = parser->positionalArguments();
    if (files.size() > 1) {
        line.action = CommandLine::Action::Refuse;
        line.error = QString("More than one file: '%1' and '%2'.").arg(files[0], files[1]);
        return line;
    }
    if (!files.isEmpty())
        line.file = files.front();
    return line;
}

QString commandLineHelp() {
    // The parser's own usage line names the program as it was started (or not at all before
    // the application exists); the man page and the user want its installed name.
    QString text = makeParser()->helpText();
    text.remove(0, text.indexOf('\n'));
    // The one option the parser cannot describe: its value may be left out.
    const qsizetype versionLine = text.indexOf("--version");
    const qsizetype at = text.indexOf('\n', versionLine) + 1;
    text.insert(at, "  --remote[=PORT]  Start with remote control (SCPI over TCP) on, at PORT\n"
                    "                   (the port kept from the last choice, 5025 at first).\n");
    return "Usage: ombrix [options] [file]" + text;
}

QString commandLineVersion() {
    return QString("ombrix ") + kVersion;
}

} // namespace ombrix
