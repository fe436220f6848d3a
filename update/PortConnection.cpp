#include "update/PortConnection.h"

#include "update/CommInt.h"

void connectPort(TComm& comm, const std::string& port) {
    comm.SetDeviceName(port);
    comm.Open();
    comm.SetDtr(true);
}
