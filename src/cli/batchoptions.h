#pragma once

#include <QMap>
#include <QStringList>

namespace fulmaro::batch {

// What the command line asks for.
enum class Command { None, Help, List };

struct BatchOptions
{
    Command command = Command::None;
    QStringList files;
    // Room for the render options to come (setting values, an output folder, a dry run, a
    // preview): each gets a field here and a branch in parseArguments.
    QString error; // Turkish text when the command line cannot be used
};

// Reads the arguments after the program's name.
BatchOptions parseArguments(const QStringList &arguments);

QString helpText();

// Exit codes.
inline constexpr int kExitOk = 0;
inline constexpr int kExitUsage = 2;

} // namespace fulmaro::batch
