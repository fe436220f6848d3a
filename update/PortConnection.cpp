#include "update/PortConnection.h"

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
