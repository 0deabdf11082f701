#include "data/history/ResultHistory.h"

#include "data/DataErrors.h"
#include "data/history/FrameCodec.h"
#include "data/records/RecordSet.h"

namespace {

// What a frame costs beyond its data: the deque's slot and the byte array's header.
qint64 FrameBytes(const HistoryFrame& frame)
{
    return qint64(sizeof(HistoryFrame)) + 32 + frame.data.capacity();
}

} // namespace

ResultHistory::ResultHistory(qint64 maxAgeMilliseconds, qint64 maxBytes)
    : maxAge_(maxAgeMilliseconds), maxBytes_(maxBytes)
{
}

ResultHistory::~ResultHistory() = default;

void ResultHistory::setLimits(qint64 maxAgeMilliseconds, qint64 maxBytes)
{
    maxAge_ = maxAgeMilliseconds;
    maxBytes_ = maxBytes;
    trim();
}

bool ResultHistory::append(HistoryFrame frame)
{
    if (frames_.empty() && !frame.keyframe)
        return false;
    // A frame's data may share a larger buffer it was cut from; held for an hour, it holds its own.
    frame.data.squeeze();
    frameBytes_ += FrameBytes(frame);
    frames_.push_back(std::move(frame));
    trim();
    return true;
}

void ResultHistory::clear()
{
    firstSerial_ += qint64(frames_.size());
    frames_.clear();
    frameBytes_ = 0;
    decoded_.reset();
    decodedSerial_ = -1;
    spare_.reset();
}

qint64 ResultHistory::bytesUsed() const
{
    return frameBytes_ + (decoded_ ? qint64(decoded_->bytesUsed()) : 0) + (spare_ ? qint64(spare_->bytesUsed()) : 0);
}

void ResultHistory::trim()
{
    // A group is older than the age limit once its newest frame is: the last hour stays whole.
    const auto tooOld = [this] {
        std::size_t next = 1;
        while (next < frames_.size() && !frames_[next].keyframe)
            ++next;
        return next < frames_.size() && frames_.back().time - frames_[next - 1].time > maxAge_;
    };
    const auto secondGroup = [this] {
        for (std::size_t i = 1; i < frames_.size(); ++i) {
            if (frames_[i].keyframe)
                return true;
        }
        return false;
    };
    while (secondGroup() && (frameBytes_ > maxBytes_ || tooOld()))
        dropFirstGroup();
}

void ResultHistory::dropFirstGroup()
{
    do {
        frameBytes_ -= FrameBytes(frames_.front());
        frames_.pop_front();
        ++firstSerial_;
    } while (!frames_.empty() && !frames_.front().keyframe);
    if (decodedSerial_ < firstSerial_) {
        decoded_.reset();
        decodedSerial_ = -1;
    }
}

std::unique_ptr<RecordSet> ResultHistory::snapshot(int index)
{
    if (index < 0 || index >= size())
        throw DataError(QStringLiteral("The history holds no refresh numbered %1").arg(firstSerial_ + index));
    const qint64 serial = firstSerial_ + index;
    int start = index;
    while (!frames_[std::size_t(start)].keyframe)
        --start;
    // The result decoded last serves when it is of the same group and not after this frame.
    const qint64 decodedIndex = decodedSerial_ - firstSerial_;
    if (decoded_ && decodedIndex >= start && decodedIndex <= index) {
        start = int(decodedIndex) + 1;
    } else {
        if (decoded_)
            spare_ = std::move(decoded_);
        decodedSerial_ = -1;
    }
    try {
        for (int i = start; i <= index; ++i) {
            std::unique_ptr<RecordSet> next = DecodeFrame(frames_[std::size_t(i)], decoded_.get(), std::move(spare_));
            spare_ = std::exchange(decoded_, std::move(next));
            decodedSerial_ = firstSerial_ + i;
        }
    } catch (...) {
        decoded_.reset();
        decodedSerial_ = -1;
        throw;
    }
    Q_ASSERT(decodedSerial_ == serial);
    return decoded_->clone();
}
