#include "update/OutputFollower.h"

#include "platform/AppendFile.h"

OutputFollower::OutputFollower(std::string path, std::size_t keptBytes)
    : path_(std::move(path)), keptBytes_(keptBytes) {}

OutputFollower::~OutputFollower() = default;

std::string OutputFollower::readNew(std::size_t maxBytes) {
    std::string reason;
    if (!file_)
        file_ = platform::AppendFile::open(path_, reason);
    std::string bytes;
    if (!file_ || !file_->readFrom(read_, bytes, reason, maxBytes))
        return {};
    read_ += bytes.size();
    tail_ += bytes;
    if (tail_.size() > keptBytes_)
        tail_.erase(0, tail_.size() - keptBytes_);
    return bytes;
}
