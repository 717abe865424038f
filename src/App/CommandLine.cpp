#include "App/CommandLine.h"

#include "Store/AppVersion.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>

namespace quorvane {

namespace {

void describe(QCommandLineParser& parser, const CommandLineSyntax& syntax) {
    parser.setApplicationDescription(syntax.description);
    parser.addHelpOption();
    parser.addVersionOption();
    if (!syntax.argumentName.isEmpty())
        parser.addPositionalArgument(syntax.argumentName, syntax.argumentHelp,
                                     QStringLiteral("[%1]").arg(syntax.argumentName));
}

// Without one of these Qt cannot open a window and aborts; the offscreen platform needs none.
bool hasDisplay() {
    return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
           !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
}

} // namespace

std::optional<int> answerWithoutWindow(int& argc, char** argv, const CommandLineSyntax& syntax) {
    // A core application needs no display; it is gone before the window's application is made.
    const QCoreApplication core(argc, argv);
    QCoreApplication::setApplicationVersion(appVersion());
    QCommandLineParser parser;
    describe(parser, syntax);
    // Options of Qt itself are unknown here; they are checked once QApplication has taken them.
    parser.parse(QCoreApplication::arguments());
    if (parser.isSet(QStringLiteral("help")) || parser.isSet(QStringLiteral("help-all"))) {
        std::fputs(qPrintable(parser.helpText()), stdout);
        return 0;
    }
    if (parser.isSet(QStringLiteral("version"))) {
        std::printf("%s %s\n", qPrintable(QCoreApplication::applicationName()), qPrintable(appVersion()));
        return 0;
    }
    if (!hasDisplay()) {
        std::fprintf(stderr,
                     "%s: no display found (neither DISPLAY nor WAYLAND_DISPLAY is set); run it in a "
                     "desktop session, under xvfb-run, or with QT_QPA_PLATFORM=offscreen\n",
                     qPrintable(QCoreApplication::applicationName()));
        return 1;
    }
    return std::nullopt;
}

std::expected<QString, QString> acceptedArgument(const QStringList& arguments,
                                                 const CommandLineSyntax& syntax) {
    QCommandLineParser parser;
    describe(parser, syntax);
    if (!parser.parse(arguments))
        return std::unexpected(parser.errorText());
    const QStringList given = parser.positionalArguments();
    const qsizetype allowed = syntax.argumentName.isEmpty() ? 0 : 1;
    if (given.size() > allowed)
        return std::unexpected(
            QCoreApplication::translate("CommandLine", "Unexpected argument '%1'.").arg(given.at(allowed)));
    return given.isEmpty() ? QString() : given.constFirst();
}

} // namespace quorvane
