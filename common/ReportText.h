#pragma once

#include <string>

// The text of the general error report: the message, with a full stop
// appended when its last character sorts after ".".
std::string reportText(const std::string& message);
