#include "support/MessageRecorder.h"

MessageRecorder::MessageRecorder() : previous_(messages::setPresenter(this)) {}

MessageRecorder::~MessageRecorder() {
    messages::setPresenter(previous_);
}
