#pragma once

#include <memory>
#include <string>

#include "support/FakeSerialApi.h"
#include "support/TempFolder.h"

// COM1 to COM16 of the tests' serial layer, which always open and take DTR;
// each a USB adapter with a serial number (FAKE0001 …) and a place on the
// bus (1-1.1 …), laid out as sysfs and /dev show them below a folder of its
// own. The programs that run a bench as a whole process on a machine
// without adapters use them.
struct FakeAdapters {
    FakeAdapters();
    TempFolder root;
    std::shared_ptr<FakeSerialApi> serial;
    std::string systemRoot() const { return root / "sys"; }
    std::string deviceRoot() const { return root / "dev"; }
};
