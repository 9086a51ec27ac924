// qormap-cli: the universe's routes and data from the command line; the commands live in the core.
#include "app/clicommands.h"

#include <QCoreApplication>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("qormap-cli"));
    int status = 0;
    {
        QTextStream out(stdout);
        QTextStream err(stderr);
        status = cli::RunCli(app.arguments().mid(1), QCoreApplication::applicationDirPath(), out, err, true);
    }
    // Nothing is left to write or close: skip the teardown of the libraries.
    std::fflush(stdout);
    std::fflush(stderr);
    std::_Exit(status);
}
