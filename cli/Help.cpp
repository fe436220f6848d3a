#include "cli/Help.h"

#include <map>

namespace {

const std::string kProgramUsage =
    "Usage: tarvel-cli [--workspace DIR] [--json] COMMAND [ARGUMENTS]\n"
    "\n"
    "Commands:\n"
    "  new NAME                 make a project with the default documents\n"
    "  copy SRC DST             make the project DST from the project SRC\n"
    "  show NAME                the general parameters, as the dialog reads them\n"
    "  set NAME KEY=VALUE...    change general parameters and save them\n"
    "  set NAME --from FILE     the same, from the JSON that show --json prints\n"
    "  apply FILE.csv           make or change many projects and write their images\n"
    "  image NAME               write bin/bank.bin and print the device image\n"
    "  decode FILE              print the bytes and fields of any bank.bin\n"
    "  ports                    the COM ports present\n"
    "  update NAME --port COMn [--no-firmware] [--no-read-firmware] [--no-project]\n"
    "         [--no-read-project]\n"
    "                           write the image, test the port, run the updater\n"
    "  station QUEUE.csv --port COMn | --wait-port [--watch DIR] [--yes]\n"
    "         [--retries N] [--log FILE] [--on-result CMD] [--redo NAME]\n"
    "         [update's --no-... options]\n"
    "                           provision a queue of converters, one after another\n"
    "  audit LOG [--csv]        check a station's log; each project's last outcome\n"
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

const std::map<std::string, std::string> kCommandUsage = {
    {"new",
     "Usage: tarvel-cli new NAME\n"
     "Makes the project NAME in PROJECTS: its folder, its bin folder, the default\n"
     "pargen.xml and an empty var.xml, with the checks and messages of New project.\n"
     "The project appears whole or not at all.\n"},
    {"copy",
     "Usage: tarvel-cli copy SRC DST\n"
     "Makes the project DST with the pargen.xml and var.xml of the project SRC and\n"
     "an empty bin folder, under New project's name rules.\n"},
    {"show",
     "Usage: tarvel-cli show NAME [--json]\n"
     "Prints the project's general parameters as the General Parameter dialog reads\n"
     "them: the mode, and for the rtu and ascii sides their line, baud rate, parity,\n"
     "data bits, stop bits and time-out, in the words of the dialog's lists.\n"},
    {"set",
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
     "Usage: tarvel-cli apply FILE.csv [--json]\n"
     "One row per project: the first line names the columns, name and then any of\n"
     "set's keys; an empty cell leaves a value as it is. UTF-8 with or without a\n"
     "byte order mark, CRLF or LF, quoted fields, and , or ; as the separator (as\n"
     "the header line uses it). Every row is checked first; if any fails, nothing is\n"
     "written. Then each project is made when missing, its values set and its image\n"
     "written, and a summary printed.\n"},
    {"image",
     "Usage: tarvel-cli image NAME [--json]\n"
     "Builds the device image from the project's pargen.xml, writes bin/bank.bin as\n"
     "Update Device does, and prints its bytes in hexadecimal and each field. A\n"
     "value that does not fit its field is stored as the device format has it, with\n"
     "a warning on standard error.\n"},
    {"decode",
     "Usage: tarvel-cli decode FILE [--json]\n"
     "Prints the bytes and fields of a device image file of 4 or 19 bytes.\n"},
    {"ports",
     "Usage: tarvel-cli ports [--json]\n"
     "Lists the COM ports present, with their devices: free, held by a program, or\n"
     "without access for this user.\n"},
    {"station",
     "Usage: tarvel-cli station QUEUE.csv --port COMn [OPTIONS]\n"
     "       tarvel-cli station QUEUE.csv --wait-port [--watch DIR] [OPTIONS]\n"
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
     "  --log FILE       the audit log (default: QUEUE.audit.jsonl beside QUEUE.csv);\n"
     "                   the updater's output of each attempt goes to FILE.d/\n"
     "  --yes            answer every step; --retries N retries a failed converter N\n"
     "                   times (default 0), then skips it\n"
     "  --on-result CMD  run CMD after each result, with TARVEL_PROJECT, TARVEL_PORT,\n"
     "                   TARVEL_OUTCOME, TARVEL_EXIT_CODE and TARVEL_IMAGE set\n"
     "  --redo NAME      provision NAME again although it was provisioned\n"
     "  --no-firmware, --no-read-firmware, --no-project, --no-read-project as update\n"
     "An updater still running after 150 s is left alone and the station stops.\n"
     "Exit status 0 when no row is pending, 1 otherwise.\n"},
    {"audit",
     "Usage: tarvel-cli audit LOG [--json | --csv]\n"
     "Checks every line of a station's log and the chain of SHA-256 sums that links\n"
     "them, then prints each project's last outcome, time, port, adapter and image.\n"
     "A broken chain exits 1 naming the first bad line.\n"},
    {"update",
     "Usage: tarvel-cli update NAME --port COMn [--no-firmware] [--no-read-firmware]\n"
     "                          [--no-project] [--no-read-project] [--json]\n"
     "Writes the device image, test-opens the port as Connect does, runs the updater\n"
     "with the wizard's command line and waits for it (at most 150 s), then prints\n"
     "how it ended. Exit status 1 also when the updater ends with a code other\n"
     "than 0 or still runs at the limit.\n"},
};

}  // namespace

const std::string& programUsage() {
    return kProgramUsage;
}

std::string commandUsage(const std::string& command) {
    const auto found = kCommandUsage.find(command);
    return found == kCommandUsage.end() ? std::string() : found->second;
}
