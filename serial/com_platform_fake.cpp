#include "serial/com_platform_fake.h"

#include <algorithm>
#include <cerrno>
#include <chrono>

namespace r7730 {

class TFakeWakeSignal : public IComWakeSignal {
public:
    explicit TFakeWakeSignal(std::shared_ptr<TFakeSerialLine> line) : line_(std::move(line)) {}
    void Raise() override
    {
        std::lock_guard<std::mutex> lock(line_->mutex_);
        raised_ = true;
        line_->changed_.notify_all();
    }
    void Clear() override
    {
        std::lock_guard<std::mutex> lock(line_->mutex_);
        raised_ = false;
    }
    bool raised_ = false; // guarded by the line's mutex

private:
    std::shared_ptr<TFakeSerialLine> line_;
};

class TFakeComDevice : public IComDevice {
public:
    explicit TFakeComDevice(std::shared_ptr<TFakeSerialLine> line) : line_(std::move(line)) {}
    ~TFakeComDevice() override
    {
        std::lock_guard<std::mutex> lock(line_->mutex_);
        line_->state_.open = false;
        line_->state_.calls.push_back("Close");
        ++line_->changes_;
        line_->changed_.notify_all();
    }

    TSysResult SetQueueSizes(int inputSize, int outputSize) override
    {
        std::lock_guard<std::mutex> lock(line_->mutex_);
        if (TSysResult failed = Call("SetQueueSizes"); !failed.Ok())
            return failed;
        line_->state_.queueSizes.emplace_back(inputSize, outputSize);
        return TSysResult::Success();
    }
    TSysResult SetLine(const TLineSettings& line) override
    {
        std::lock_guard<std::mutex> lock(line_->mutex_);
        if (TSysResult failed = Call("SetLine"); !failed.Ok())
            return failed;
        line_->state_.lineSettings.push_back(line);
        return TSysResult::Success();
    }
    TSysResult SetTimeouts(const TTimeoutSettings& timeouts) override
    {
        std::lock_guard<std::mutex> lock(line_->mutex_);
        if (TSysResult failed = Call("SetTimeouts"); !failed.Ok())
            return failed;
        line_->state_.timeouts.push_back(timeouts);
        return TSysResult::Success();
    }
    TSysResult Read(void* buffer, int count, int& done, bool& endOfFile) override
    {
        std::lock_guard<std::mutex> lock(line_->mutex_);
        done = 0;
        endOfFile = false;
        if (TSysResult failed = Call("Read"); !failed.Ok())
            return failed;
        auto& input = line_->state_.input;
        auto* bytes = static_cast<unsigned char*>(buffer);
        while (done < count && !input.empty()) {
            bytes[done++] = input.front();
            input.pop_front();
        }
        endOfFile = done == 0 && line_->state_.hungUp;
        return TSysResult::Success();
    }
    TSysResult Write(const void* bytes, int count, int& done) override
    {
        std::lock_guard<std::mutex> lock(line_->mutex_);
        done = 0;
        if (TSysResult failed = Call("Write"); !failed.Ok())
            return failed;
        TFakeLineState& state = line_->state_;
        if (state.hungUp)
            return TSysResult::Failure(EIO, "Write");
        done = state.writeRoom < 0 ? count : std::min(count, state.writeRoom);
        if (state.writeRoom >= 0)
            state.writeRoom -= done;
        const auto* data = static_cast<const unsigned char*>(bytes);
        state.output.insert(state.output.end(), data, data + done);
        return TSysResult::Success();
    }
    TSysResult InputQueue(int& count) override
    {
        std::lock_guard<std::mutex> lock(line_->mutex_);
        count = 0;
        if (TSysResult failed = Ioctl("InputQueue"); !failed.Ok())
            return failed;
        count = static_cast<int>(line_->state_.input.size());
        return TSysResult::Success();
    }
    TSysResult OutputQueue(int& count) override
    {
        std::lock_guard<std::mutex> lock(line_->mutex_);
        count = 0;
        if (TSysResult failed = Ioctl("OutputQueue"); !failed.Ok())
            return failed;
        count = line_->state_.outputQueue;
        return TSysResult::Success();
    }
    TSysResult LineCounters(TLineCounters& counters, bool& supported) override
    {
        std::lock_guard<std::mutex> lock(line_->mutex_);
        supported = false;
        if (TSysResult failed = Ioctl("LineCounters"); !failed.Ok())
            return failed;
        supported = line_->state_.countersSupported;
        if (supported)
            counters = line_->state_.counters;
        return TSysResult::Success();
    }
    TSysResult ModemLines(ModemLineSet& lines, bool& supported) override
    {
        std::lock_guard<std::mutex> lock(line_->mutex_);
        lines = {};
        supported = false;
        if (TSysResult failed = Ioctl("ModemLines"); !failed.Ok())
            return failed;
        supported = line_->state_.modemSupported;
        if (supported)
            lines = line_->state_.modemLines;
        return TSysResult::Success();
    }
    TSysResult AbortTransfers() override
    {
        std::lock_guard<std::mutex> lock(line_->mutex_);
        return Call("AbortTransfers");
    }
    void DiscardQueues() override
    {
        std::lock_guard<std::mutex> lock(line_->mutex_);
        line_->state_.calls.push_back("DiscardQueues");
        line_->state_.input.clear();
        line_->state_.outputQueue = 0;
    }
    TSysResult CreateWakeSignal(std::unique_ptr<IComWakeSignal>& signal) override
    {
        {
            std::lock_guard<std::mutex> lock(line_->mutex_);
            if (TSysResult failed = Call("CreateWakeSignal"); !failed.Ok())
                return failed;
        }
        signal = std::make_unique<TFakeWakeSignal>(line_);
        return TSysResult::Success();
    }
    TSysResult Wait(IComWakeSignal* signal, bool forRead, bool forWrite, int timeoutMs, TWaitResult& result) override
    {
        auto* wake = static_cast<TFakeWakeSignal*>(signal);
        std::unique_lock<std::mutex> lock(line_->mutex_);
        result = {};
        if (TSysResult failed = Failure("Wait"); !failed.Ok())
            return failed;
        ++line_->state_.waitCount;
        const unsigned long seen = line_->changes_;
        const TFakeLineState& state = line_->state_;
        auto ready = [&] {
            return (wake && wake->raised_) || state.hungUp || (forRead && !state.input.empty()) ||
                   (forWrite && state.writeRoom != 0) || line_->changes_ != seen;
        };
        if (timeoutMs < 0)
            line_->changed_.wait(lock, ready);
        else
            line_->changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), ready);
        result.woken = wake && wake->raised_;
        result.hangUp = state.hungUp;
        result.readable = forRead && !state.input.empty();
        result.writable = forWrite && state.writeRoom != 0;
        return TSysResult::Success();
    }

private:
    // Call with the line's mutex held.
    TSysResult Failure(const char* call) const
    {
        const auto found = line_->state_.failures.find(call);
        return found == line_->state_.failures.end() ? TSysResult::Success() : TSysResult::Failure(found->second, call);
    }
    TSysResult Call(const char* call)
    {
        line_->state_.calls.push_back(call);
        return Failure(call);
    }
    // A hung-up device fails every ioctl with EIO.
    TSysResult Ioctl(const char* call)
    {
        if (line_->state_.hungUp)
            return TSysResult::Failure(EIO, call);
        return Failure(call);
    }

    std::shared_ptr<TFakeSerialLine> line_;
};

void TFakeSerialLine::Receive(const std::string& bytes)
{
    Change([&bytes](TFakeLineState& state) { state.input.insert(state.input.end(), bytes.begin(), bytes.end()); });
}

void TFakeSerialLine::Change(const std::function<void(TFakeLineState&)>& change)
{
    std::lock_guard<std::mutex> lock(mutex_);
    change(state_);
    ++changes_;
    changed_.notify_all();
}

void TFakeSerialLine::HangUp()
{
    Change([](TFakeLineState& state) { state.hungUp = true; });
}

void TFakeSerialLine::FailCall(const std::string& call, int error)
{
    Change([&](TFakeLineState& state) { state.failures[call] = error; });
}

std::vector<unsigned char> TFakeSerialLine::TakeOutput()
{
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<unsigned char> output;
    output.swap(state_.output);
    return output;
}

TFakeLineState TFakeSerialLine::State() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return state_;
}

std::shared_ptr<TFakeSerialLine> TFakeComPlatform::AddDevice(const std::string& path)
{
    std::lock_guard<std::mutex> lock(mutex_);
    auto line = std::make_shared<TFakeSerialLine>();
    devices_[path] = line;
    return line;
}

TSysResult TFakeComPlatform::Open(const std::string& path, std::unique_ptr<IComDevice>& device)
{
    std::shared_ptr<TFakeSerialLine> line;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        const auto found = devices_.find(path);
        if (found == devices_.end())
            return TSysResult::Failure(ENOENT, "open");
        line = found->second;
    }
    std::lock_guard<std::mutex> lock(line->mutex_);
    TFakeLineState& state = line->state_;
    state.calls.push_back("Open");
    if (const auto failure = state.failures.find("Open"); failure != state.failures.end())
        return TSysResult::Failure(failure->second, "open");
    if (state.open)
        return TSysResult::Failure(EWOULDBLOCK, "flock");
    state.open = true;
    ++state.openCount;
    device = std::make_unique<TFakeComDevice>(line);
    return TSysResult::Success();
}

} // namespace r7730
