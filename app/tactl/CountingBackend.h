// A serial backend that counts the bytes crossing the line, for the figures
// `--stats` prints: the benchmark compares them with the line's own time.
#pragma once

#include "link/port/SerialDevice.h"

#include <cstdint>
#include <memory>

namespace ta::tactl {

struct ByteCounts {
    uint64_t sent = 0;
    uint64_t received = 0;
};

class CountingBackend : public link::SerialBackend {
public:
    explicit CountingBackend(link::SerialBackend& inner) : inner_(inner) {}
    std::unique_ptr<link::SerialDevice> open(const std::string& name) override;
    link::OpenFailure lastOpenFailure() const override { return inner_.lastOpenFailure(); }
    const ByteCounts& counts() const { return *counts_; }

private:
    link::SerialBackend& inner_;
    std::shared_ptr<ByteCounts> counts_ = std::make_shared<ByteCounts>();
};

} // namespace ta::tactl
