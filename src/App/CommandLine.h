#pragma once

#include <QString>

#include <expected>
#include <memory>
#include <optional>

class QApplication;

namespace quorvane {

// What a program accepts on its command line besides the options of Qt itself.
struct CommandLineSyntax {
    QString description;
    // Empty when the program takes no argument.
    QString argumentName;
    QString argumentHelp;
};

// Answers what needs no window, before the windowing system is touched: `--help`, `--help-all` and
// `--version` (exit code 0), an option or argument the program does not take, and no display to
// open the window on (1). Returns nothing when the window can be opened.
std::optional<int> answerWithoutWindow(int& argc, char** argv, const CommandLineSyntax& syntax);

// Makes the window's application. When the windowing system cannot be reached after all, the
// program says so and ends with status 1 instead of aborting.
std::unique_ptr<QApplication> openWindowingSystem(int& argc, char** argv);

// Checks the arguments left once QApplication has taken its own: an unknown option or an argument
// the program does not take is refused with a sentence for the user. Gives the argument, empty
// when none was given.
[[nodiscard]] std::expected<QString, QString> acceptedArgument(const QStringList& arguments,
                                                               const CommandLineSyntax& syntax);

} // namespace quorvane
