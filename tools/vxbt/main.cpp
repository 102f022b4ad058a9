// vxbt: a command-line companion to VXORV for people who build or integrate
// devices that talk to it, and for its tests.

#include "command.hpp"

#include <QCoreApplication>

#include <iostream>

namespace {

using namespace vxorv::vxbt;

void printHelp(std::ostream& out) {
    out << "Usage: vxbt <command> [options]\n"
           "\n"
           "A companion to the VXORV keyboard wedge: builds and decodes the frames of its\n"
           "link protocol, shows what it would type, and plays the remote device.\n"
           "\n"
           "Commands:\n";
    for (const Command& command : allCommands()) {
        out << "  vxbt " << command.name << (command.synopsis.empty() ? "" : " ")
            << command.synopsis << "\n";
    }
    out << "\nRun \"vxbt <command> --help\" for what a command does and its options.\n";
}

void printCommandHelp(const Command& command, std::ostream& out) {
    out << "Usage: vxbt " << command.name << ' ' << command.synopsis << "\n\n" << command.help;
}

const Command* find(const std::string& name) {
    for (const Command& command : allCommands()) {
        if (command.name == name) {
            return &command;
        }
    }
    return nullptr;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication application(argc, argv);
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) {
        printHelp(std::cerr);
        return 2;
    }
    if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        printHelp(std::cout);
        return 0;
    }
    const Command* command = find(args[0]);
    if (!command) {
        std::cerr << "vxbt: unknown command \"" << args[0] << "\"\n\n";
        printHelp(std::cerr);
        return 2;
    }
    const std::vector<std::string> options(args.begin() + 1, args.end());
    if (options.size() == 1 && (options[0] == "--help" || options[0] == "-h")) {
        printCommandHelp(*command, std::cout);
        return 0;
    }
    Streams io{std::cin, std::cout, std::cerr};
    try {
        return command->run(options, io);
    } catch (const UsageError& error) {
        std::cerr << "vxbt " << command->name << ": " << error.what() << "\nTry \"vxbt "
                  << command->name << " --help\".\n";
        return 2;
    } catch (const Failure& error) {
        std::cerr << "vxbt " << command->name << ": " << error.what() << "\n";
        return 1;
    } catch (const std::exception& error) {
        std::cerr << "vxbt " << command->name << ": unexpected failure: " << error.what() << "\n";
        return 1;
    }
}
