#include "cli/CommandTable.h"

#include <algorithm>

#include "cli/Cli.h"

namespace {

const char* const kUpdaterOptions[] = {"--no-firmware", "--no-read-firmware", "--no-project",
                                       "--no-read-project"};

const std::string kUsageHead =
    "Usage: tarvel-cli [--workspace DIR] [--json] COMMAND [ARGUMENTS]\n"
    "\n"
    "Commands:\n";

const std::string kUsageTail =
    "\n"
    "Options (anywhere after the program name; -- ends them):\n"
    "  --workspace DIR  the workspace (MASTER, PROJECTS), made when missing (its\n"
    "                   parent must exist); without it, the program's folder, or once\n"
    "                   installed ~/.local/share/Tarvel ($XDG_DATA_HOME/Tarvel)\n"
    "  --json           print one JSON object, with \"version\": 1\n"
    "  -h, --help       this text; COMMAND --help tells about one command\n"
    "  -V, --version    the version\n"
    "\n"
    "Exit status: 0 done, 1 refused or failed (the message on standard error),\n"
    "2 a usage error.\n";

}  // namespace

const std::vector<OptionRow>& optionTable() {
    static const std::vector<OptionRow> options = {
        {"--workspace", OptionValue::Folder},
        {"--json", OptionValue::None},
        {"--help", OptionValue::None},
        {"--version", OptionValue::None},
        {"--from", OptionValue::File},
        {"--port", OptionValue::Port},
        {"--no-firmware", OptionValue::None},
        {"--no-read-firmware", OptionValue::None},
        {"--no-project", OptionValue::None},
        {"--no-read-project", OptionValue::None},
        {"--wait-port", OptionValue::None},
        {"--watch", OptionValue::Folder},
        {"--log", OptionValue::File},
        {"--yes", OptionValue::None},
        {"--retries", OptionValue::Text},
        {"--on-result", OptionValue::Text},
        {"--redo", OptionValue::Text},
        {"--redo-outdated", OptionValue::None},
        {"--history", OptionValue::None},
        {"--csv", OptionValue::None},
        {"--key", OptionValue::File},
        {"--anchor", OptionValue::Folder},
        {"--shared-log", OptionValue::None},
        {"--unit", OptionValue::Text},
        {"--on-result-timeout", OptionValue::Text},
        {"--queue", OptionValue::File},
        {"--fixtures", OptionValue::File},
        {"--events", OptionValue::File},
        {"--ui", OptionValue::Text},
    };
    return options;
}

const std::vector<std::string>& commonOptions() {
    static const std::vector<std::string> names = {"--workspace", "--json", "--help", "--version"};
    return names;
}

const OptionRow* findOption(const std::string& name) {
    const auto& options = optionTable();
    const auto found = std::find_if(options.begin(), options.end(),
                                    [&](const OptionRow& row) { return row.name == name; });
    return found == options.end() ? nullptr : &*found;
}

const std::vector<CommandRow>& commandTable() {
    static const std::vector<CommandRow> commands = {
        {"new",
         newCommand,
         true,
         {},
         Operands::None,
         "  new NAME                 make a project with the default documents\n",
         "Usage: tarvel-cli new NAME\n"
         "Makes the project NAME in PROJECTS: its folder, its bin folder, the default\n"
         "pargen.xml and an empty var.xml, with the checks and messages of New project.\n"
         "The project appears whole or not at all.\n"},
        {"copy",
         copyCommand,
         true,
         {},
         Operands::Projects,
         "  copy SRC DST             make the project DST from the project SRC\n",
         "Usage: tarvel-cli copy SRC DST\n"
         "Makes the project DST with the pargen.xml and var.xml of the project SRC and\n"
         "an empty bin folder, under New project's name rules.\n"},
        {"show",
         showCommand,
         true,
         {},
         Operands::Projects,
         "  show NAME                the general parameters, as the dialog reads them\n",
         "Usage: tarvel-cli show NAME [--json]\n"
         "Prints the project's general parameters as the General Parameter dialog reads\n"
         "them: the mode, and for the rtu and ascii sides their line, baud rate, parity,\n"
         "data bits, stop bits and time-out, in the words of the dialog's lists.\n"},
        {"set",
         setCommand,
         true,
         {"--from"},
         Operands::ProjectAndKeys,
         "  set NAME KEY=VALUE...    change general parameters and save them\n"
         "  set NAME --from FILE     the same, from the JSON that show --json prints\n",
         "Usage: tarvel-cli set NAME KEY=VALUE...\n"
         "       tarvel-cli set NAME --from FILE   (FILE: show --json output, - for stdin)\n"
         "Changes general parameters and saves the document as the dialog's OK does.\n"
         "Keys: mode (0 or 1); rtu.line, ascii.line (RS232 or RS485); rtu.baud,\n"
         "ascii.baud (1200 2400 4800 9600 19200 38400 57600 115200); rtu.parity,\n"
         "ascii.parity (NONE ODD EVEN); rtu.data, ascii.data (5 6 7 8); rtu.stop,\n"
         "ascii.stop (1 2); rtu.timeout, ascii.timeout (milliseconds, 0 to 60000).\n"
         "Choices may be given in any case. Only one side may use RS232. A refused\n"
         "command writes nothing.\n"},
        {"apply",
         applyCommand,
         true,
         {},
         Operands::Files,
         "  apply FILE.csv           make or change many projects and write their images\n",
         "Usage: tarvel-cli apply FILE.csv [--json]\n"
         "One row per project: the first line names the columns, name and then any of\n"
         "set's keys; an empty cell leaves a value as it is. UTF-8 with or without a\n"
         "byte order mark, CRLF or LF, quoted fields, and , or ; as the separator (as\n"
         "the header line uses it). Every row is checked first; if any fails, nothing is\n"
         "written. Then each project is made when missing, its values set and its image\n"
         "written, and a summary printed.\n"},
        {"image",
         imageCommand,
         true,
         {},
         Operands::Projects,
         "  image NAME               write bin/bank.bin and print the device image\n",
         "Usage: tarvel-cli image NAME [--json]\n"
         "Builds the device image from the project's pargen.xml, writes bin/bank.bin as\n"
         "Update Device does, and prints its bytes in hexadecimal and each field. A\n"
         "value that does not fit its field is stored as the device format has it, with\n"
         "a warning on standard error.\n"},
        {"decode",
         decodeCommand,
         false,
         {},
         Operands::Files,
         "  decode FILE              print the bytes and fields of any bank.bin\n",
         "Usage: tarvel-cli decode FILE [--json]\n"
         "Prints the bytes and fields of a device image file of 4 or 19 bytes.\n"},
        {"ports",
         portsCommand,
         false,
         {},
         Operands::None,
         "  ports                    the COM ports present\n",
         "Usage: tarvel-cli ports [--json]\n"
         "Lists the COM ports present, with their devices: free, held by a program, or\n"
         "without access for this user.\n"},
        {"update",
         updateCommand,
         true,
         {"--port", kUpdaterOptions[0], kUpdaterOptions[1], kUpdaterOptions[2], kUpdaterOptions[3]},
         Operands::Projects,
         "  update NAME --port COMn [--no-firmware] [--no-read-firmware] [--no-project]\n"
         "         [--no-read-project]\n"
         "                           write the image, test the port, run the updater\n",
         "Usage: tarvel-cli update NAME --port COMn [--no-firmware] [--no-read-firmware]\n"
         "                          [--no-project] [--no-read-project] [--json]\n"
         "Writes the device image, test-opens the port as Connect does, runs the updater\n"
         "with the wizard's command line and waits for it (at most 150 s), then prints\n"
         "how it ended. Exit status 1 also when the updater ends with a code other\n"
         "than 0 or still runs at the limit.\n"},
        {"station",
         stationCommand,
         true,
         {"--port",
          "--wait-port",
          "--watch",
          "--log",
          "--yes",
          "--retries",
          "--on-result",
          "--on-result-timeout",
          "--redo",
          "--redo-outdated",
          "--key",
          "--anchor",
          "--shared-log",
          "--unit",
          "--fixtures",
          "--events",
          "--ui",
          kUpdaterOptions[0],
          kUpdaterOptions[1],
          kUpdaterOptions[2],
          kUpdaterOptions[3]},
         Operands::Files,
         "  station QUEUE.csv --port COMn | --wait-port [--watch DIR] |\n"
         "         --fixtures BENCH.csv [--events FILE] [--ui lines] [--yes]\n"
         "         [--retries N] [--log FILE] [--on-result CMD [--on-result-timeout S]]\n"
         "         [--redo NAME]\n"
         "         [--key FILE [--anchor DIR]]\n"
         "         [update's --no-... options]\n"
         "                           provision a queue of converters, one after another\n",
         "Usage: tarvel-cli station QUEUE.csv --port COMn [OPTIONS]\n"
         "       tarvel-cli station QUEUE.csv --wait-port [--watch DIR] [OPTIONS]\n"
         "       tarvel-cli station QUEUE.csv --fixtures BENCH.csv [--events FILE]\n"
         "                  [--ui lines] [OPTIONS]\n"
         "Applies QUEUE.csv as apply does, then provisions its rows in order, each as\n"
         "the wizard does: the steps on standard error, a line on standard input to go\n"
         "on (s skips the row, q quits), the port test, the image, the updater. Exit\n"
         "code 0 is PASS, any other FAIL. Each attempt is appended to the audit log; a\n"
         "row is pending until the log holds an ok result for it, and a restart goes\n"
         "on with the first pending row.\n"
         "  --port COMn      the port every converter is connected to\n"
         "  --wait-port      each converter brings its own adapter: wait for a port\n"
         "                   that appears after the start (in /dev/serial/by-id, or\n"
         "                   --watch DIR; in SERIALCOMM on Windows)\n"
         "  --fixtures BENCH.csv  up to 16 fixtures at once, each pinned to its adapter\n"
         "                   by port, usbPath or serial; answer a fixture by its\n"
         "                   number (3 goes on, 3s skips, q quits); a table of the\n"
         "                   bench on a terminal, else lines (or with --ui lines)\n"
         "  --events FILE    append a JSON line for each change of a fixture's state\n"
         "  --log FILE       the audit log (default: QUEUE.audit.jsonl beside QUEUE.csv);\n"
         "                   the updater's output of each attempt goes to FILE.d/\n"
         "  --yes            answer every step; --retries N retries a failed converter N\n"
         "                   times (default 0), then skips it\n"
         "  --on-result CMD  run CMD after each result is recorded, with TARVEL_PROJECT,\n"
         "                   TARVEL_PORT, TARVEL_OUTCOME, TARVEL_EXIT_CODE and\n"
         "                   TARVEL_IMAGE set; ended after --on-result-timeout SECONDS\n"
         "                   (default 60)\n"
         "  --redo NAME      provision NAME again although it was provisioned\n"
         "  --redo-outdated  provision again every row provisioned with an image other\n"
         "                   than the queue's now (outdated rows count as pending)\n"
         "  --key FILE       sign the log: a checkpoint after each result, signed with\n"
         "                   the secret key of tarvel-cli keygen\n"
         "  --anchor DIR     also keep each checkpoint in DIR/<log id>.checkpoint, on a\n"
         "                   disk the log's own writers cannot rewrite\n"
         "  --unit ask       ask each unit's serial number (typed, or scanned by a\n"
         "                   bar-code reader) after step 5; it goes into the record\n"
         "  --shared-log     take a log on a network file system, where locks may not\n"
         "                   hold across hosts (refused without it: one log per bench)\n"
         "  --no-firmware, --no-read-firmware, --no-project, --no-read-project as update\n"
         "An updater still running after 150 s is left alone and the station stops.\n"
         "Exit status 0 when no row is pending, 1 otherwise.\n"},
        {"audit",
         auditCommand,
         false,
         {"--csv", "--key", "--anchor", "--history", "--queue"},
         Operands::Files,
         "  audit LOG [--csv] [--history | --queue QUEUE.csv] [--key FILE.pub [--anchor DIR]]\n"
         "                           check a station's log; each project's last outcome\n",
         "Usage: tarvel-cli audit LOG [--json | --csv] [--history | --queue QUEUE.csv]\n"
         "                            [--key FILE.pub [--anchor DIR]]\n"
         "Checks every line of a station's log and the chain of SHA-256 sums that links\n"
         "them, then prints each project's last outcome, time, port, adapter and image,\n"
         "with its number of attempts and failures. --history lists every attempt's\n"
         "result instead; --queue lists every row of the queue, pending ones too. Then\n"
         "the SHA-256 of the updater and master file, once for each change. --csv adds\n"
         "each image's decoded parameters and those sums; a cell that a spreadsheet\n"
         "would take for a formula starts with an apostrophe.\n"
         "A broken chain exits 1 naming the first bad line. Without --key the chain\n"
         "proves only that the log was not edited naively.\n"
         "  --key FILE.pub   also check every checkpoint's signature with this public\n"
         "                   key (or the public half of a secret key file), and that\n"
         "                   the last line is a checkpoint: exit 1 names the first line\n"
         "                   at fault, exit 3 says how many lines are not sealed yet\n"
         "  --anchor DIR     also check that the log still holds the checkpoint kept in\n"
         "                   DIR: a log cut after it, or another log, exits 1\n"},
        {"keygen",
         keygenCommand,
         false,
         {},
         Operands::Files,
         "  keygen FILE              make a key pair that signs station logs\n",
         "Usage: tarvel-cli keygen FILE\n"
         "Makes an Ed25519 key pair: FILE, the secret key (mode 0600; keep it with the\n"
         "station), and FILE.pub, the public key an auditor checks the log with. A FILE\n"
         "that exists is refused.\n"},
    };
    return commands;
}

const CommandRow* findCommand(const std::string& name) {
    const auto& commands = commandTable();
    const auto found = std::find_if(commands.begin(), commands.end(),
                                    [&](const CommandRow& row) { return row.name == name; });
    return found == commands.end() ? nullptr : &*found;
}

std::string programUsage() {
    std::string usage = kUsageHead;
    for (const CommandRow& command : commandTable()) usage += command.summary;
    return usage + kUsageTail;
}

std::string commandUsage(const std::string& command) {
    const CommandRow* row = findCommand(command);
    return row ? row->usage : std::string();
}
