#include "App/CommandLine.h"

#include "Store/AppVersion.h"

#include <QApplication>
#include <QCommandLineParser>

#include <cstdio>
#include <cstdlib>

namespace quorvane {

namespace {

// The options QApplication takes out of the command line itself. They are known here so that
// everything else can be checked before the windowing system is touched.
struct QtOption {
    const char* name;
    // Empty for an option that takes no value.
    const char* valueName;
    const char* help;
};

constexpr QtOption qtOptions[] = {
    {"platform", "platformName[:options]", "The Qt platform plugin to open the window with."},
    {"platformpluginpath", "path", "A folder of Qt platform plugins."},
    {"platformtheme", "theme", "The Qt platform theme."},
    {"plugin", "plugin", "An additional Qt plugin to load."},
    {"qwindowgeometry", "geometry", "The window's geometry, such as 1440x900+0+0."},
    {"qwindowicon", "icon", "The window's icon."},
    {"qwindowtitle", "title", "The window's title."},
    {"reverse", "", "Lays out the window right to left."},
    {"session", "session", "The session to restore."},
    {"display", "display", "The X display to open the window on."},
    {"name", "name", "The X resource name."},
    {"geometry", "geometry", "The window's geometry on X."},
    {"title", "title", "The window's title on X."},
    {"icon", "icon", "The window's icon on X."},
    {"visual", "id", "The X visual."},
    {"style", "style", "The widget style."},
    {"stylesheet", "file", "A style sheet for the widgets."},
    {"widgetcount", "", "Prints the number of widgets left at the end."},
    {"qmljsdebugger", "options", "Options of the QML debugger."},
};

void describe(QCommandLineParser& parser, const CommandLineSyntax& syntax) {
    parser.setApplicationDescription(syntax.description);
    parser.addHelpOption();
    parser.addVersionOption();
    if (!syntax.argumentName.isEmpty())
        parser.addPositionalArgument(syntax.argumentName, syntax.argumentHelp,
                                     QStringLiteral("[%1]").arg(syntax.argumentName));
}

// Qt writes its options with one dash; they are listed only by --help-all.
void describeWithQtOptions(QCommandLineParser& parser, const CommandLineSyntax& syntax, bool listed) {
    describe(parser, syntax);
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    for (const QtOption& qt : qtOptions) {
        QCommandLineOption option(QLatin1String(qt.name), QLatin1String(qt.help),
                                  QLatin1String(qt.valueName));
        if (!listed)
            option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }
}

// The argument a program takes, or why the ones given are refused.
std::expected<QString, QString> argumentOf(const QCommandLineParser& parser,
                                           const CommandLineSyntax& syntax) {
    const QStringList given = parser.positionalArguments();
    const qsizetype allowed = syntax.argumentName.isEmpty() ? 0 : 1;
    if (given.size() > allowed)
        return std::unexpected(
            QCoreApplication::translate("CommandLine", "Unexpected argument '%1'.").arg(given.at(allowed)));
    if (given.isEmpty())
        return QString();
    // Given after "--", or a lone "-": most likely a mistyped option, rarely meant as a name.
    if (given.constFirst().startsWith(u'-'))
        return std::unexpected(
            QCoreApplication::translate("CommandLine",
                                        "Unknown option '%1'. A %2 that begins with '-' is written ./%1.")
                .arg(given.constFirst(), syntax.argumentName));
    return given.constFirst();
}

// Without one of these, or a platform named outright, Qt cannot open a window and aborts.
bool hasDisplay(const QCommandLineParser& parser) {
    return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
           !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") || parser.isSet(QStringLiteral("platform"));
}

constexpr char displayHint[] =
    "run it in a desktop session, under xvfb-run, or with QT_QPA_PLATFORM=offscreen";

QByteArray programName;
bool windowOpening = false;
QtMessageHandler passOn = nullptr;

// Qt ends the program with a fatal message when no platform plugin can be made (no X server behind
// DISPLAY, say); said in one line and ended with status 1 instead of an abort.
void reportWindowFailure(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (type == QtFatalMsg && windowOpening) {
        std::fprintf(stderr,
                     "%s: the window could not be opened: no display could be reached with the Qt "
                     "platform plugin; %s\n",
                     programName.constData(), displayHint);
        std::_Exit(1);
    }
    if (passOn)
        passOn(type, context, message);
}

} // namespace

std::optional<int> answerWithoutWindow(int& argc, char** argv, const CommandLineSyntax& syntax) {
    // A core application needs no display; it is gone before the window's application is made.
    const QCoreApplication core(argc, argv);
    QCoreApplication::setApplicationVersion(appVersion());
    const QString name = QCoreApplication::applicationName();
    QCommandLineParser parser;
    describeWithQtOptions(parser, syntax, false);
    const bool parsed = parser.parse(QCoreApplication::arguments());
    if (parser.isSet(QStringLiteral("help-all"))) {
        QCommandLineParser listing;
        describeWithQtOptions(listing, syntax, true);
        std::fputs(qPrintable(listing.helpText()), stdout);
        return 0;
    }
    if (parser.isSet(QStringLiteral("help"))) {
        std::fputs(qPrintable(parser.helpText()), stdout);
        return 0;
    }
    if (parser.isSet(QStringLiteral("version"))) {
        std::printf("%s %s\n", qPrintable(name), qPrintable(appVersion()));
        return 0;
    }
    const auto argument = parsed ? argumentOf(parser, syntax) : std::unexpected(parser.errorText());
    if (!argument) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(name), qPrintable(argument.error()));
        return 1;
    }
    if (!hasDisplay(parser)) {
        std::fprintf(stderr, "%s: no display found (neither DISPLAY nor WAYLAND_DISPLAY is set); %s\n",
                     qPrintable(name), displayHint);
        return 1;
    }
    return std::nullopt;
}

std::unique_ptr<QApplication> openWindowingSystem(int& argc, char** argv) {
    programName = QByteArray(argv[0]).split('/').last();
    windowOpening = true;
    passOn = qInstallMessageHandler(reportWindowFailure);
    auto application = std::make_unique<QApplication>(argc, argv);
    windowOpening = false;
    qInstallMessageHandler(passOn);
    return application;
}

std::expected<QString, QString> acceptedArgument(const QStringList& arguments,
                                                 const CommandLineSyntax& syntax) {
    QCommandLineParser parser;
    describe(parser, syntax);
    if (!parser.parse(arguments))
        return std::unexpected(parser.errorText());
    return argumentOf(parser, syntax);
}

} // namespace quorvane
