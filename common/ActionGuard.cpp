#include "common/ActionGuard.h"

#include <exception>

#include "common/Messages.h"

void runGuarded(const std::function<void()>& action) {
    try {
        action();
    } catch (const std::exception& e) {
        messages::showErrorReport(e.what());
    } catch (...) {
        messages::showErrorReport("Unknown error");
    }
}
