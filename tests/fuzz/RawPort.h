// A serial backend for the link's fuzz targets: one port, COM1, that takes
// every byte the link writes and never has anything to read; the target
// hands the TA's bytes to the link itself, in the chunks it chooses.
#pragma once

#include "link/SerialDevice.h"

#include <memory>
#include <string>

namespace ta::fuzz {

class RawBackend : public link::SerialBackend {
public:
    std::unique_ptr<link::SerialDevice> open(const std::string& name) override;

    std::string written; // every byte written, across opens
    bool isOpen = false;
    int opens = 0;
};

} // namespace ta::fuzz
