// Writes the manual pages tarvel-cli.1 and Tarvel.1 into the folder given,
// from the same usage texts that --help prints, so that they cannot drift.
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "cli/Help.h"
#include "common/Version.h"

namespace {

const std::vector<std::string> kCommands = {"new",    "copy",    "show",   "set",
                                            "apply",  "image",   "decode", "ports",
                                            "update", "station", "audit"};

// Text as roff takes it literally: backslashes doubled, no line starting a request.
std::string literal(const std::string& text) {
    std::string out;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        std::string escaped;
        for (const char c : line) escaped += c == '\\' ? std::string("\\e") : std::string(1, c);
        if (!escaped.empty() && (escaped.front() == '.' || escaped.front() == '\''))
            escaped.insert(0, "\\&");
        out += escaped + "\n";
    }
    return out;
}

std::string block(const std::string& text) {
    return ".nf\n" + literal(text) + ".fi\n";
}

const char* const kCsv =
    "The first line names the columns: name, then any of set's keys, each once.\n"
    "Every further line is one project; an empty cell leaves that value as it is\n"
    "(a new project starts from the defaults). UTF-8 with or without a byte order\n"
    "mark, CRLF or LF, fields in double quotes (\"\" for a quote), and , or ; as the\n"
    "separator, whichever the header line uses. Every row is checked first; each\n"
    "failing row is told as \"tarvel-cli: FILE: line N: message\", and if any fails\n"
    "nothing is written. Then new projects are built hidden and appear whole, and\n"
    "existing ones are changed under their lock.\n"
    "\n"
    "    name;rtu.baud;ascii.parity\n"
    "    Line-8;38400;\n"
    "    Line-9;;ODD\n";

const char* const kJson =
    "--json prints one object whose first member is \"version\": 1. mode is 0 or 1;\n"
    "baud, data, stop and timeout are numbers; line and parity their list text; a\n"
    "value outside its list, or a time-out that is no whole number, is null.\n"
    "\n"
    "show, and set after its change:\n"
    "  {\"version\": 1, \"name\": \"Line-7\", \"mode\": 1, \"modeText\": \"...\",\n"
    "   \"rtu\": {\"line\": \"RS485\", \"baud\": 19200, \"parity\": \"EVEN\", \"data\": 8,\n"
    "           \"stop\": 1, \"timeout\": 500}, \"ascii\": {...}}\n"
    "image and decode:\n"
    "  {\"version\": 1, \"bytes\": \"04 00 00 00 ...\", \"length\": 19,\n"
    "   \"fields\": {\"head\": 4, \"mode\": 1, \"rtu.line\": 1, ...}}\n"
    "new:    {\"version\": 1, \"created\": \"Line-7\", \"folder\": \"...\"}\n"
    "copy:   {\"version\": 1, \"copied\": \"Line-7\", \"created\": \"Line-8\"}\n"
    "apply:  {\"version\": 1, \"applied\": [{\"name\": \"Line-9\", \"created\": true,\n"
    "         \"image\": \"04 00 ...\"}], \"notApplied\": []}\n"
    "ports:  {\"version\": 1, \"ports\": [{\"name\": \"COM1\", \"device\": \"/dev/ttyS0\",\n"
    "         \"state\": \"free\", \"description\": \"\", \"adapter\": null}]}\n"
    "update: {\"version\": 1, \"name\": \"Line-7\", \"port\": \"COM1\", \"outcome\": \"ended\",\n"
    "         \"text\": \"Updater ended with exit code 0\", \"exitCode\": 0}\n";

const char* const kFiles =
    "An installed program keeps its workspace in $XDG_DATA_HOME/Tarvel\n"
    "(~/.local/share/Tarvel): Tarvel.ini, MASTER/sim40917.sim, PROJECTS/ and the\n"
    "updater Ser_40917_Update.exe, which the operator places there. A program run\n"
    "from its build folder or a portable copy keeps them beside itself.\n";

std::string header(const std::string& name) {
    return ".TH " + name + " 1 \"\" \"Tarvel " + kVersion + "\" \"User Commands\"\n";
}

std::string cliPage() {
    std::string page = header("TARVEL-CLI");
    page +=
        ".SH NAME\ntarvel-cli \\- configure Modbus RTU / Modbus ASCII converters from scripts\n";
    page += ".SH SYNOPSIS\n" + block(programUsage().substr(0, programUsage().find('\n') + 1));
    page += ".SH DESCRIPTION\n" + block(programUsage().substr(programUsage().find('\n') + 2));
    page += ".SH COMMANDS\n";
    for (const std::string& command : kCommands)
        page += ".SS " + command + "\n" + block(commandUsage(command));
    page += ".SH APPLY CSV FORMAT\n" + block(kCsv);
    page += ".SH JSON\n" + block(kJson);
    page +=
        ".SH EXIT STATUS\n" +
        block(
            "0  done\n"
            "1  refused or failed; the message on standard error as \"tarvel-cli: NAME: message\"\n"
            "   (update also when the updater ends with a code other than 0 or still runs\n"
            "   at the limit; station when a row is still pending)\n"
            "2  a usage error, with the usage\n");
    page += ".SH FILES\n" + block(kFiles);
    page += ".SH SEE ALSO\nTarvel(1)\n";
    return page;
}

std::string windowPage() {
    std::string page = header("TARVEL");
    page += ".SH NAME\nTarvel \\- configure a Modbus RTU / Modbus ASCII converter\n";
    page += ".SH SYNOPSIS\n.B Tarvel\n";
    page += ".SH DESCRIPTION\n" +
            block(
                "Tarvel keeps one project folder per converter, edits its general parameters,\n"
                "stores them as XML, encodes them into the device image and runs the serial\n"
                "updater over a COM port, guided by a wizard. It takes no arguments and needs\n"
                "a desktop session; without one it says so and exits with status 1.\n");
    page += ".SH FILES\n" + block(kFiles);
    page += ".SH SEE ALSO\ntarvel-cli(1)\n";
    return page;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: tarvel-man-pages FOLDER\n";
        return 2;
    }
    const std::string folder = argv[1];
    std::ofstream(folder + "/tarvel-cli.1") << cliPage();
    std::ofstream(folder + "/Tarvel.1") << windowPage();
    return 0;
}
