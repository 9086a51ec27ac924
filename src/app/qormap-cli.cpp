// qormap-cli: the universe's routes and data from the command line; the commands live in the core.
#include "app/clicommands.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("qormap-cli"));
    QTextStream out(stdout);
    QTextStream err(stderr);
    return cli::RunCli(app.arguments().mid(1), QCoreApplication::applicationDirPath(), out, err);
}
