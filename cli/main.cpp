#include "cli/command.h"

#include <QCoreApplication>

#include <iostream>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    foresyn::cli::TCliStreams io{std::cout, std::cerr};
    return foresyn::cli::RunCli(QCoreApplication::arguments().mid(1), io);
}
