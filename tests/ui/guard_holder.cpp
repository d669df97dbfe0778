// Takes the single-copy marker named by its argument, says what it got, and holds it until
// it is killed or its input closes.
#include "instance_guard.h"

#include <QCoreApplication>

#include <cstdio>
#include <iostream>
#include <string>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 2)
        return 2;
    const auto result = somnara::InstanceGuard::acquire(QString::fromUtf8(argv[1]));
    const char *word = result == somnara::InstanceGuard::Result::FirstCopy        ? "first"
                       : result == somnara::InstanceGuard::Result::AlreadyRunning ? "running"
                                                                                   : "unavailable";
    std::printf("%s\n", word);
    std::fflush(stdout);
    std::string line;
    while (std::getline(std::cin, line)) {
    }
    return 0;
}
