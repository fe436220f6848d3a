// Writes the manual pages tarvel-cli.1 and Tarvel.1, and the bash completion,
// from the command table that --help and the option parser read, so that
// none of them can drift from the program.
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "cli/CommandTable.h"
#include "common/Version.h"

namespace {

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
    for (const CommandRow& command : commandTable())
        page += ".SS " + command.name + "\n" + block(command.usage);
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
    page +=
        ".SH SYNOPSIS\n.B Tarvel\n.br\n.B Tarvel --station\n.RI [ QUEUE.csv ]\n"
        "[\\fB--port\\fR \\fICOMn\\fR | \\fB--fixtures\\fR \\fIBENCH.csv\\fR]\n"
        "[\\fB--log\\fR \\fIFILE\\fR] [\\fB--key\\fR \\fIFILE\\fR] "
        "[\\fB--anchor\\fR \\fIDIR\\fR] [\\fB--unit ask\\fR]\n";
    page += ".SH DESCRIPTION\n" +
            block(
                "Tarvel keeps one project folder per converter, edits its general parameters,\n"
                "stores them as XML, encodes them into the device image and runs the serial\n"
                "updater over a COM port, guided by a wizard. It needs a desktop session;\n"
                "without one it says so and exits with status 1.\n") +
            ".PP\n" +
            block(
                "With --station it opens the provisioning station of tarvel-cli(1) in a\n"
                "window instead: a tile for each fixture (or the one port), with the step,\n"
                "its state in words and colour and a large button for the answer. The queue\n"
                "and the port are asked for when not given; the log is QUEUE.audit.jsonl\n"
                "unless --log names another. Check record checks the log as audit does,\n"
                "with the public half of --key and the --anchor folder. --unit ask asks each\n"
                "unit's serial number on its tile. An argument it does not know prints the\n"
                "usage and exits with status 2.\n");
    page += ".SH FILES\n" + block(kFiles);
    page += ".SH SEE ALSO\ntarvel-cli(1)\n";
    return page;
}

// ---- The bash completion ---------------------------------------------

std::string joined(const std::vector<std::string>& names, const std::string& separator) {
    std::string text;
    for (const std::string& name : names) text += (text.empty() ? "" : separator) + name;
    return text;
}

std::vector<std::string> commandsWith(Operands operands) {
    std::vector<std::string> names;
    for (const CommandRow& command : commandTable()) {
        if (command.operands == operands)
            names.push_back(command.name);
    }
    return names;
}

std::vector<std::string> optionsWith(OptionValue value) {
    std::vector<std::string> names;
    for (const OptionRow& option : optionTable()) {
        if (option.value == value)
            names.push_back(option.name);
    }
    return names;
}

// The case branches for what follows an option that takes a value.
std::string optionValueCases() {
    const struct {
        OptionValue value;
        const char* reply;
    } kinds[] = {
        {OptionValue::Folder, "            COMPREPLY=($(compgen -d -- \"$cur\"))\n"},
        {OptionValue::File, "            COMPREPLY=($(compgen -f -- \"$cur\"))\n"},
        {OptionValue::Text, ""},
        {OptionValue::Port,
         "            COMPREPLY=($(compgen -W \"$(tarvel-cli ports 2>/dev/null | cut -d' ' "
         "-f1)\" -- \"$cur\"))\n"},
    };
    std::string cases;
    for (const auto& kind : kinds) {
        cases += "        " + joined(optionsWith(kind.value), " | ") + ")\n" + kind.reply +
                 "            return\n            ;;\n";
    }
    cases.pop_back();
    return cases;
}

std::string commandOptionCases() {
    std::string cases;
    for (const CommandRow& command : commandTable()) {
        if (!command.options.empty())
            cases += "            " + command.name + ") options+=\" " +
                     joined(command.options, " ") + "\" ;;\n";
    }
    cases.pop_back();
    return cases;
}

std::string completion(std::string text) {
    std::vector<std::string> valueOptions;
    for (const OptionRow& option : optionTable()) {
        if (option.value != OptionValue::None)
            valueOptions.push_back(option.name);
    }
    std::vector<std::string> commands;
    for (const CommandRow& command : commandTable()) commands.push_back(command.name);
    const std::pair<std::string, std::string> fills[] = {
        {"@OPTION_VALUES@", optionValueCases()},
        {"@VALUE_OPTIONS@", joined(valueOptions, " | ")},
        {"@COMMON_OPTIONS@", joined(commonOptions(), " ")},
        {"@COMMAND_OPTIONS@", commandOptionCases()},
        {"@COMMANDS@", joined(commands, " ")},
        {"@FILE_COMMANDS@", joined(commandsWith(Operands::Files), " | ")},
        {"@PLAIN_COMMANDS@", joined(commandsWith(Operands::None), " | ")},
        {"@KEY_COMMANDS@", joined(commandsWith(Operands::ProjectAndKeys), " | ")},
    };
    for (const auto& [mark, fill] : fills) {
        const std::size_t at = text.find(mark);
        if (at == std::string::npos)
            throw std::runtime_error("the completion template has no " + mark);
        text.replace(at, mark.size(), fill);
    }
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::cerr << "usage: tarvel-cli-reference MAN_FOLDER COMPLETION_TEMPLATE COMPLETION\n";
        return 2;
    }
    const std::string folder = argv[1];
    std::ofstream(folder + "/tarvel-cli.1") << cliPage();
    std::ofstream(folder + "/Tarvel.1") << windowPage();
    std::ifstream template_(argv[2], std::ios::binary);
    const std::string text{std::istreambuf_iterator<char>(template_), {}};
    std::ofstream(argv[3], std::ios::binary) << completion(text);
    return 0;
}
