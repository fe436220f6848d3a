#include "update/PortConnection.h"

#include "platform/SerialNames.h"
#include "update/CommInt.h"

void connectPort(TComm& comm, const std::string& port) {
    comm.SetDeviceName(port);
    comm.Open();
    comm.SetDtr(true);
}

void testPort(const std::shared_ptr<platform::SerialApi>& serial, const std::string& port) {
    TComm comm(serial);
    connectPort(comm, port);
    comm.Close();
}

std::string portErrorInWords(const std::string& port, const std::string& device,
                             const ECommError& error) {
    switch (error.ErrorCode) {
        case platform::kErrorFileNotFound:
        case platform::kErrorPathNotFound:
            return device + ": no such device";
        case platform::kErrorAccessDenied: {
            const std::string state = platform::unopenablePortState(port);
            if (state == "no access")
                return device + ": no access; " + kNoAccessHint;
            if (state == "held")
                return device + ": held by another program";
            return device + ": held by another program, or no access";
        }
        case platform::kErrorGenFailure:
            return device + ": not a working serial port (it refused its settings or DTR)";
        default: {
            std::string text = error.what();
            text.erase(text.find_last_not_of(' ') + 1);
            return device + ": " + text;
        }
    }
}
